// Live capture: the capture thread that services a camera through the capture
// library, the small state it shares with the main loop under its lock,
// and switching live video (camera or emulator) off.
//
// The thread never touches the GUI: the "Lost video device" error is left
// for the main thread, which shows it from Show_Capture_Messages.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "video/camera_list.h"
#include "video/capture_lib.h"

enum Capture_State_Code : int64_t {
    CAPTURE_IDLE = 0,
    CAPTURE_REQUESTED = 1,
    CAPTURE_READY = 2,
    CAPTURE_STOP = 4,  // 3 is not used
};

// Polls of isCaptureDone (1 ms apart) before a frame counts as lost.
const int64_t CAPTURE_MAX_POLLS = 2500;

// What the main thread and the capture thread share, written only by
// capture_thread.cpp (the thread's open and close included).
struct Capture_Shared {
    std::mutex Lock;                  // guards State and Stop_Request
    int64_t State = CAPTURE_IDLE;     // Capture_State_Code; use the accessors
    int64_t Stop_Request = 0;         // 1 = stop and close the device
    std::atomic<int64_t> Device{-1};  // open device number, -1 none
};

// The open device number, -1 when none.
int64_t Capture_Device_Number();
// Start-up: no device is open.
void Clear_Capture_Device();
// True while a stop of the device is asked for and not yet carried out.
bool Capture_Stop_Requested();
// The component may write the frame now (the main loop waits for one and no
// stop is asked); the capture lock is then held in *lock until it is released.
bool Capture_Frame_Wanted(std::unique_lock<std::mutex>* lock);
// Tests only: sets up what the thread or the component would reach.
Capture_Shared& Capture_Test_Access();

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

// ---- opening a source, on the thread
// Opening a camera may take seconds (a pipeline that negotiates, a device
// that never delivers), so the main thread only leaves the source here and
// learns the outcome in a later pass. The thread opens it once no device is
// open (a device still open is asked to stop first); a stop request, or the
// state Stop, cancels an open in progress.
struct Capture_Open_Outcome {
    int64_t Serial = 0;      // the request it answers
    int64_t Device = -1;     // the device opened (now the open device); -1 when none was
    int Result = 0;          // Gst_Open_Result of a failed open
    std::string Text;        // the component's reason for a failed open
    bool Cancelled = false;  // stopped before the device was open
};
// Leaves `camera` to be opened into the thread's frame (below) and returns
// the request's serial number. A request not yet taken is replaced.
int64_t Request_Capture_Open(const Camera_Info& camera, const std::string& resolution);
// True (and the outcome) once the request `serial` has been carried out.
bool Take_Capture_Open_Outcome(int64_t serial, Capture_Open_Outcome* outcome);
// An open is waiting or in progress, a device is open, or a stop is still
// to be carried out: the component must stay loaded.
bool Capture_Component_In_Use();
// For the component's waits while it opens a source: give up now.
bool Capture_Open_Cancelled();
// Shutdown: the pause before a device is closed is skipped from now on.
void Capture_Prepare_Exit();

// ---- the frame
// Every source is opened into the thread's one frame target. Its buffer
// follows the size of the frames (Capture_Params::Next_Frame, up to
// CAMERA_MAX_SIDE a side); it is written and moved only while the state is
// Requested, so the main thread may read or take it while the state is Ready.
Capture_Params Capture_Frame_Target();
struct Capture_Frame_View {
    const uint8_t* Pixels = nullptr;  // Width x Height pixels, BGRA, rows from the top
    int32_t Width = 0, Height = 0;    // 0 x 0 before the first frame
};
// The last frame delivered. Main thread, while the state is Ready.
Capture_Frame_View Capture_Frame();
// Main thread, while the state is Ready: exchanges the frame's pixels with
// `pixels` when both have the same size (the next frame is written into the
// buffer given, so a frame reaches the live picture without a copy). False,
// and nothing exchanged, otherwise.
bool Capture_Exchange_Frame(std::vector<uint8_t>* pixels);

// ---- messages posted by the thread for the main thread
// Shows the pending "Lost video device" error, if any. Main loop, once per pass.
// Returns 1 when a message was shown.
int Show_Capture_Messages();
int64_t Capture_Messages_Pending();

// ---- what the windows show (app brings them up to date)
// The state video asks the main window's video toggle to take; Serial is
// one more at every request.
struct Video_Toggle_Mark {
    bool On = false;
    int64_t Serial = 0;
};
void Mark_Video_Toggle(bool on);
Video_Toggle_Mark Video_Toggle_Wanted();

// ---- video off
// Camera: asks the thread to stop (or not to open); emulator: closes it. Then
// asks for the video settings window to close, takes the live document out of
// use, releases the video toggle, saves the preferences and moves the current document off the live one.
void Disable_Video();
