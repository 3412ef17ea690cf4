// The event pump of the tests that run on a real display: passes until a
// condition holds or a time has passed. What one pass does is the caller's
// choice of Pump_Pass: the UI tests run the program's main-loop pass, the
// render tests (below the application) only drain the window events.
#pragma once

#include <functional>

#include "platform/platform.h"

// Drains the pending window events and sleeps a little.
inline void Drain_Events_Pass() {
    Platform_Event e;
    while (Poll_Event(&e)) {
    }
    Sleep_Ms(5);
}

// One pass of the pump; Drain_Events_Pass unless a test program sets another.
inline void (*Pump_Pass)() = Drain_Events_Pass;

// Passes until `done` holds (true) or `max_ms` milliseconds have passed (false).
inline bool Pump_Until(const std::function<bool()>& done, int max_ms = 120000) {
    double until = (double)Elapsed_Ms() + max_ms;
    while (!done()) {
        if ((double)Elapsed_Ms() > until) return false;
        Pump_Pass();
    }
    return true;
}

// Passes for `ms` milliseconds (at least one pass).
inline void Pump(int ms) {
    double until = (double)Elapsed_Ms() + ms;
    do {
        Pump_Pass();
    } while ((double)Elapsed_Ms() < until);
}
