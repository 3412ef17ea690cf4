#include "video/capture_thread.h"

#include <thread>

#include "base/app_state.h"
#include "base/control_ids.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "video/camera_settings.h"
#include "video/capture_lib.h"
#include "video/emulator.h"
#include "video/gst_capture.h"

std::mutex Capture_Lock;
int64_t Capture_State = CAPTURE_IDLE;
int64_t Capture_Stop_Request = 0;
std::atomic<int64_t> Capture_Device{-1};

static void Default_Sleep(int64_t ms) { Sleep_Ms(ms); }
void (*Capture_Sleep)(int64_t ms) = Default_Sleep;

namespace {

std::thread Thread;
std::atomic<bool> Thread_Started{false};
// Set at shutdown so a detached thread stops calling into state that is
// being torn down.
std::atomic<bool> Thread_Quit{false};
std::atomic<int64_t> Lost_Device_Pending{0};
std::atomic<bool> Thread_Running{false};

const char* const Lost_Device_Text = "Lost video device, force-closing the video window\nA software crash may occur.";

void Thread_Main() {
    while (!Thread_Quit.load()) Capture_Thread_Step();
    Thread_Running = false;
}

// Requested: one frame from the open device, or back to Idle without one.
void Capture_One_Frame() {
    float t0 = Elapsed_Ms();
    int64_t device = Capture_Device.load();
    if (device == -1) {
        Set_Capture_State(CAPTURE_IDLE);
        return;
    }
    Capture_Do(device);
    int64_t polls = 0;
    int answer = 0;
    // A negative answer: the component knows the frame will never come
    // (the camera was unplugged, the pipeline failed or ended).
    while ((answer = Capture_Is_Done(device)) == 0 && polls < CAPTURE_MAX_POLLS) {
        if (Get_Capture_State() != CAPTURE_REQUESTED) return;  // someone else decided (Stop at shutdown): keep it
        Capture_Sleep(1);
        polls++;
    }
    if (answer <= 0) {
        Lost_Device_Pending.store(1);
        Set_Capture_State(CAPTURE_STOP);
        return;
    }
    Set_Capture_State(CAPTURE_READY);
    Stage_Times.Capture = Elapsed_Ms() - t0;
    Redraw_Request = 1;
    Jobs[0].Image_Changed = 1;
}

void Stop_Capture() {
    {
        std::lock_guard<std::mutex> lock(Capture_Lock);
        Capture_Stop_Request = 0;
    }
    int64_t device = Capture_Device.load();
    if (device != -1) {
        Capture_Sleep(1000);
        Capture_Deinit(device);
        Capture_Device = -1;
    }
    Set_Capture_State(CAPTURE_IDLE);
}

}  // namespace

int64_t Get_Capture_State() {
    std::lock_guard<std::mutex> lock(Capture_Lock);
    return Capture_State;
}

void Set_Capture_State(int64_t state) {
    std::lock_guard<std::mutex> lock(Capture_Lock);
    Capture_State = state;
}

void Request_Capture_Stop() {
    std::lock_guard<std::mutex> lock(Capture_Lock);
    Capture_Stop_Request = 1;
}

void Capture_Thread_Step() {
    {
        std::lock_guard<std::mutex> lock(Capture_Lock);
        if (Capture_Stop_Request == 1) Capture_State = CAPTURE_STOP;
    }
    switch (Get_Capture_State()) {
        case CAPTURE_IDLE: Capture_Sleep(100); break;
        case CAPTURE_REQUESTED: Capture_One_Frame(); break;
        case CAPTURE_READY: Capture_Sleep(1); break;
        case CAPTURE_STOP: Stop_Capture(); break;
        default: Capture_Sleep(1); break;  // an unknown code must not spin a core
    }
}

void Start_Capture_Thread() {
    bool expected = false;
    if (!Thread_Started.compare_exchange_strong(expected, true)) return;
    Thread_Quit = false;
    Thread_Running = true;
    Thread = std::thread(Thread_Main);
}

void Detach_Capture_Thread() {
    Thread_Quit = true;
    if (Thread.joinable()) Thread.detach();
}

bool Capture_Thread_Running() { return Thread_Running.load(); }

int64_t Capture_Messages_Pending() { return Lost_Device_Pending.load(); }

int Show_Capture_Messages() {
    if (Lost_Device_Pending.exchange(0) == 0) return 0;
    std::string why = Gst_Capture_Take_Stream_Error();
    Log(why.empty() ? "Lost video device" : "Lost video device: " + why);
    Message_Box("Error", Lost_Device_Text, MSG_ICON_ERROR);
    return 1;
}

void Disable_Video() {
    if (Video_Mode == VIDEO_CAMERA) {
        Request_Capture_Stop();
        Log("Video disabled");
    } else if (Video_Mode == VIDEO_EMULATOR) {
        Close_Emulator();
    }
    if (Camera_Settings_Window_Open()) Close_Camera_Settings_Window();
    Jobs[0].In_Use = 0;
    Set_State(CTL_VIDEO_TOGGLE, 0);
    Video_Mode = VIDEO_NONE;
    Prefs_Changed();
    if (Current_Job == 0) Current_Job = First_Used_Job();
    Job_List_Changed();
}
