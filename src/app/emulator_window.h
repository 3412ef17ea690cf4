// The "Video emulator" window: "< Previous", "Next >", the sample name and
// the overview of the whole sample with the crop drawn on it in red. It
// shows the emulator's state (video/emulator.h) and hands its input to it.
#pragma once

struct Platform_Event;

// Every event of the emulator window.
void Emulator_Event(const Platform_Event& event);
// Builds, closes, relabels and redraws the window as the emulator's state
// asks; nothing when it is up to date.
void Show_Emulator_Changes();
