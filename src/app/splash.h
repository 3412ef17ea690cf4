// Splash screen: a borderless picture window that fades in, stays for a
// given time (or until space or the left mouse button) and fades out. Shown
// at start-up and as the About box; it polls and discards window events
// while it is up, so it blocks its caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/icons.h"

// Whether the start of the program shows the splash (Build_Main_Window);
// --no-splash clears it. The About box shows it regardless.
extern bool Splash_At_Start;

// Shows the splash for `hold_ms` milliseconds between fade-in and fade-out
// and returns after the window is closed.
void Show_Splash(int64_t hold_ms);

// The picture the splash shows: `png` decoded, or when it does not decode
// the drawn 640 x 200 replacement (name and version on white) for display
// scale `scale`.
Icon_Image Prepare_Splash_Picture(const uint8_t* png, size_t size, double scale);
