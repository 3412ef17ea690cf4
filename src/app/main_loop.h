// Start-up, the main loop with its dispatch table and idle pass, the
// once-per-second timing line, and the orderly shutdown.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

#include "base/app_state.h"

struct Platform_Event;

// Steps 1 to 5 of the start-up (tables, names, folders, log, clock).
void Startup_Shared_State();
// Runs the whole program; returns the process exit code.
int Run_Program();
// One pass of the main loop: dispatches one pending event, or runs the idle
// pass (and, when allowed, sleeps until the next due work). False once the
// loop must end.
bool Main_Loop_Pass(bool may_wait);
// Dispatches one event by the window it belongs to.
void Dispatch_Event(const Platform_Event& event);
// Brings the windows up to date with what lower modules marked as changed,
// in a fixed order: the video toggle and windows, the current slot's panels
// (or the thumbnail column and the measurement list), then the preferences
// file. Run after each event and once per idle pass.
void Update_Windows();
// One idle pass (threshold caption, processing, rendering, read-outs,
// acquisition, timing line).
void Idle_Pass();
// Milliseconds the loop may sleep before its next due work (0 = none).
int64_t Idle_Wait_Ms();
void Shutdown_Program();
// The performance line "Time, ... ms" for the given stage times.
std::string Format_Timing_Line(const Stage_Times_Record& times);
// Set by SIGTERM and SIGINT; the loop turns it into Main_Loop.Quit_Request.
extern volatile sig_atomic_t Signal_Quit;
void Install_Signal_Handlers();
