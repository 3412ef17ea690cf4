// The "Video source..." dialog (File menu): the video emulator, every
// camera the device monitor reports, with the resolutions each offers, and a
// GStreamer source description typed by the user; OK starts the chosen
// source and remembers it in the preferences. The source that runs is shown
// chosen. Also the source started with the main window.
#pragma once

#include <cstdint>

struct Platform_Event;

const int64_t CTL_SRC_LABEL = 520;       // "Source:"
const int64_t CTL_SRC_LIST = 521;        // one row per source: name, device node
const int64_t CTL_SRC_RES_LABEL = 522;   // "Resolution:"
const int64_t CTL_SRC_RESOLUTION = 523;  // drop-down: "Camera default", then the sizes offered
const int64_t CTL_SRC_OK = 524;
const int64_t CTL_SRC_CANCEL = 525;
const int64_t CTL_SRC_GST_LABEL = 526;   // "GStreamer source:"
const int64_t CTL_SRC_GST_TEXT = 527;    // the description, without "gst:"

void Open_Video_Source_Dialog();
void Close_Video_Source_Dialog();
bool Video_Source_Dialog_Open();
// Events of WINDOW_VIDEO_SOURCE, from the main loop.
void Video_Source_Event(const Platform_Event& event);

// Brings the video windows and the main window's video toggle up to date
// with what video marked (toggle, emulator window, settings window). Called
// after every event and after the acquisition step of every idle pass.
void Show_Video_Changes();

// Start-up: the --camera source if one was given, else the chosen source of
// the preferences (the emulator when none was ever chosen).
void Start_Startup_Video();
