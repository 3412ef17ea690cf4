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
std::atomic<bool> Exiting{false};

// The open request and its outcome, under Capture_Lock.
struct Open_Request {
    bool Pending = false;
    int64_t Serial = 0;
    Camera_Info Camera;
    std::string Resolution;
    Capture_Params Target;
};
Open_Request Request;
bool Opening = false;  // the thread is inside the component's open
int64_t Last_Serial = 0;
Capture_Open_Outcome Outcome;

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
    // The main loop marks the live picture changed and asks for the redraw
    // when it has taken the frame: a redraw asked for here would show the
    // picture before the frame reaches it.
    Stage_Times.Capture = Elapsed_Ms() - t0;
    Set_Capture_State(CAPTURE_READY);
}

void Stop_Capture() {
    {
        std::lock_guard<std::mutex> lock(Capture_Lock);
        Capture_Stop_Request = 0;
    }
    // No device number from here on: the main thread's property calls give
    // up at once instead of waiting for the component while it closes.
    int64_t device = Capture_Device.exchange(-1);
    if (device != -1) {
        if (!Exiting.load()) Capture_Sleep(1000);
        Capture_Deinit(device);
    }
    Set_Capture_State(CAPTURE_IDLE);
}

// Idle with an open request and no device: opens the source here, however long
// it takes, and leaves the outcome for the main thread.
void Open_Requested_Source() {
    Open_Request r;
    {
        std::lock_guard<std::mutex> lock(Capture_Lock);
        if (!Request.Pending) return;
        r = Request;
        Request.Pending = false;
        Opening = true;
    }
    Install_Capture_Library(Gst_Capture_Table());
    int64_t device = Gst_Capture_Add_Source(r.Camera, r.Resolution);
    Capture_Params target = r.Target;
    Capture_Open_Outcome out;
    out.Serial = r.Serial;
    if (Capture_Init(device, &target)) {
        out.Device = device;
        Capture_Device = device;
    } else {
        out.Result = Gst_Capture_Open_Result(&out.Text);
    }
    std::lock_guard<std::mutex> lock(Capture_Lock);
    out.Cancelled = out.Device == -1 && (Capture_Stop_Request != 0 || Capture_State == CAPTURE_STOP);
    Outcome = out;
    Opening = false;
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
    Request.Pending = false;  // not opened yet: then it is not opened at all
}

int64_t Request_Capture_Open(const Camera_Info& camera, const std::string& resolution, const Capture_Params& target) {
    std::lock_guard<std::mutex> lock(Capture_Lock);
    // The device open now (or the one being opened) goes first.
    if (Capture_Device.load() != -1 || Opening) Capture_Stop_Request = 1;
    Request.Pending = true;
    Request.Serial = ++Last_Serial;
    Request.Camera = camera;
    Request.Resolution = resolution;
    Request.Target = target;
    return Request.Serial;
}

bool Take_Capture_Open_Outcome(int64_t serial, Capture_Open_Outcome* outcome) {
    std::lock_guard<std::mutex> lock(Capture_Lock);
    if (Outcome.Serial != serial || serial == 0) return false;
    *outcome = Outcome;
    return true;
}

bool Capture_Component_In_Use() {
    std::lock_guard<std::mutex> lock(Capture_Lock);
    return Capture_Device.load() != -1 || Request.Pending || Opening || Capture_Stop_Request != 0 ||
           Capture_State == CAPTURE_STOP;
}

bool Capture_Open_Cancelled() {
    std::lock_guard<std::mutex> lock(Capture_Lock);
    return Capture_Stop_Request != 0 || Capture_State == CAPTURE_STOP;
}

void Capture_Prepare_Exit() { Exiting = true; }

void Capture_Thread_Step() {
    {
        std::lock_guard<std::mutex> lock(Capture_Lock);
        if (Capture_Stop_Request == 1) Capture_State = CAPTURE_STOP;
    }
    switch (Get_Capture_State()) {
        case CAPTURE_IDLE: {
            bool open = false;
            {
                std::lock_guard<std::mutex> lock(Capture_Lock);
                open = Request.Pending && Capture_Device.load() == -1;
            }
            if (open)
                Open_Requested_Source();
            else
                Capture_Sleep(100);
            break;
        }
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
    Mark_Prefs_Changed();
    Leave_Live_Job();
    Mark_Job_List_Changed();
}
