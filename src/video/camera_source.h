// Starting live video from a chosen source: the emulator (an empty source)
// or a camera through the built-in capture component, and the source the
// video toggle starts. The choice made in the source dialog is kept in the
// preferences (LastDevice, LastResolution); empty means the emulator, so a
// program that never chose a camera behaves and saves exactly as before.
#pragma once

#include <cstdint>
#include <string>

// The live picture every source delivers.
const int32_t CAMERA_LIVE_WIDTH = 640;
const int32_t CAMERA_LIVE_HEIGHT = 480;

enum Camera_Start_Result {
    CAMERA_STARTED = 0,
    CAMERA_NOT_FOUND = 1,  // no such device (unplugged, a name not listed)
    CAMERA_BUSY = 2,       // in use by another program
    CAMERA_FAILED = 3,     // anything else (a bad gst: description, no frames)
};

// Opens a camera source ("gst:...", a device node or a listed name) into the
// live document and enters camera mode. Nothing is shown to the user; on
// failure video is as it was, except that a running emulator is closed.
// `why` receives the component's reason.
Camera_Start_Result Start_Camera(const std::string& source, const std::string& resolution, std::string* why = nullptr);

// Starts a source with the user-facing messages: "" starts the emulator; a
// camera that is not found gives "Camera not found: <name>. Using the video
// emulator." and the emulator; a busy one "Camera busy: <name>" and no video.
// Returns true when the wanted source runs.
bool Start_Video_Source(const std::string& source, const std::string& resolution);

// The source dialog's OK: remembers the choice in the preferences and starts it.
bool Choose_Video_Source(const std::string& source, const std::string& resolution);

// The video toggle: the source started last in this run, or else the one in
// the preferences.
bool Start_Chosen_Video_Source();

// The main loop saw a frame Ready: it moves from the component's frame
// buffer into the live picture here, on the main thread. (The component never
// writes the live picture itself: the main thread reads that at any time, and
// a frame written meanwhile would be torn.)
void Camera_Take_Frame();

// Asks the capture thread to close the open camera and waits for it, at
// most `timeout_ms`; true when no camera is open afterwards.
bool Wait_Camera_Closed(int64_t timeout_ms);
