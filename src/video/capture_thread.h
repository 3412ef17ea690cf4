// Live capture: the capture thread that services a camera through the capture
// library, the small state it shares with the main loop under Capture_Lock,
// and switching live video (camera or emulator) off.
//
// The thread never touches the GUI: the "Lost video device" error is left
// for the main thread, which shows it from Show_Capture_Messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

enum Capture_State_Code : int64_t {
    CAPTURE_IDLE = 0,
    CAPTURE_REQUESTED = 1,
    CAPTURE_READY = 2,
    CAPTURE_STOP = 4,  // 3 is not used
};

// Polls of isCaptureDone (1 ms apart) before a frame counts as lost.
const int64_t CAPTURE_MAX_POLLS = 2500;

extern std::mutex Capture_Lock;            // guards Capture_State and Capture_Stop_Request
extern int64_t Capture_State;              // Capture_State_Code; use the accessors
extern int64_t Capture_Stop_Request;       // 1 = stop and close the device
extern std::atomic<int64_t> Capture_Device;  // open device number, -1 none

// ---- accessors (each one locked read or write)
int64_t Get_Capture_State();
void Set_Capture_State(int64_t state);
void Request_Capture_Stop();

// ---- the thread
void Start_Capture_Thread();   // once at start-up; later calls do nothing
void Detach_Capture_Thread();  // shutdown: lets the thread go without waiting for it
bool Capture_Thread_Running();  // false once a detached thread has left its loop
// One pass of the thread's loop (the thread runs it forever; tests call it).
void Capture_Thread_Step();
// The thread's sleep; tests replace it to run without waiting.
extern void (*Capture_Sleep)(int64_t ms);

// ---- messages posted by the thread for the main thread
// Shows the pending "Lost video device" error, if any. Main loop, once per pass.
// Returns 1 when a message was shown.
int Show_Capture_Messages();
int64_t Capture_Messages_Pending();

// ---- video off
// Camera: asks the thread to stop; emulator: closes it. Then closes the video
// settings window, takes the live document out of use, releases the video
// toggle, saves the preferences and moves the current document off the live one.
void Disable_Video();
