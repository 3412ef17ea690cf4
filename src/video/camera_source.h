// Starting live video from a chosen source: the emulator (an empty source)
// or a camera through the built-in capture component, and the source the
// video toggle starts. The choice made in the source dialog is kept in the
// preferences (LastDevice, LastResolution); empty means the emulator, so a
// program that never chose a camera behaves and saves exactly as before.
//
// A camera starts on the capture thread: Start_Camera enters camera mode at
// once with a black live picture, and the main loop finishes the start
// (Camera_Finish_Start) when the thread has opened the source or failed.
#pragma once

#include <cstdint>
#include <string>

// The black live picture of a camera that is starting, when no resolution
// was chosen: its frames' size is known only once the first one arrives.
const int32_t CAMERA_LIVE_WIDTH = 640;
const int32_t CAMERA_LIVE_HEIGHT = 480;

enum Camera_Start_Result {
    CAMERA_STARTED = 0,
    CAMERA_NOT_FOUND = 1,  // no such device (unplugged, a name not listed)
    CAMERA_BUSY = 2,       // in use by another program
    CAMERA_FAILED = 3,     // anything else (a bad gst: description, no frames)
    CAMERA_STARTING = 4,   // handed to the capture thread; the outcome comes later
};

// The start result of a failed open of the capture component (a
// Gst_Open_Result).
Camera_Start_Result Camera_Result_Of_Open(int gst_open_result);

// Hands a camera source ("gst:...", a device node or a listed name) to the
// capture thread and enters camera mode (CAMERA_STARTING); a camera that
// does not exist gives CAMERA_NOT_FOUND at once, with video as it was.
// A running emulator or camera is stopped. Nothing is shown to the user.
// `why` receives the reason of a failure.
Camera_Start_Result Start_Camera(const std::string& source, const std::string& resolution, std::string* why = nullptr);

// Starts a source with the user-facing messages: "" starts the emulator; a
// camera that is not found gives "Camera not found: <name>. Using the video
// emulator." and the emulator; a busy one "Camera busy: <name>" and no video.
// Returns true when the emulator runs or the camera is starting; the
// messages of a camera that fails later come from Camera_Finish_Start.
bool Start_Video_Source(const std::string& source, const std::string& resolution);

// The source dialog's OK: remembers the choice in the preferences and starts
// it. A "gst:" description is remembered only once it has started.
bool Choose_Video_Source(const std::string& source, const std::string& resolution);

// The video toggle: the source started last in this run, or else the one in
// the preferences.
bool Start_Chosen_Video_Source();

// ---- the start in progress (main thread)
// True from Start_Camera until Camera_Finish_Start took the outcome.
bool Camera_Start_Pending();
// True while camera mode waits for its first frame (the status bar says so).
bool Camera_Starting();
// The main loop's camera step, while a start is pending: takes the thread's
// outcome if there is one. Opened: the camera runs; otherwise the messages
// of Start_Video_Source and video as they say.
void Camera_Finish_Start();
// The source video runs from now (camera mode: the camera, also while it
// starts; the emulator: ""), or, with video off, the one the toggle starts.
std::string Shown_Video_Source();
std::string Shown_Video_Resolution();

// The main loop saw a frame Ready: it moves from the capture thread's frame
// into the live picture here, on the main thread. (The component never
// writes the live picture itself: the main thread reads that at any time, and
// a frame written meanwhile would be torn.) The live picture takes the
// frame's size; when that changes, the live document's measurements go.
void Camera_Take_Frame();

// Asks the capture thread to close the open camera (or to give up opening
// one) and waits for it, at most `timeout_ms`; true when no camera is open
// or opening afterwards.
bool Wait_Camera_Closed(int64_t timeout_ms);
