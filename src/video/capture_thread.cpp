#include "video/capture_thread.h"

#include <thread>
#include <vector>

#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "video/camera_settings.h"
#include "video/capture_lib.h"
#include "video/emulator.h"
#include "video/gst_capture.h"


static void Default_Sleep(int64_t ms) { Sleep_Ms(ms); }
void (*Capture_Sleep)(int64_t ms) = Default_Sleep;

namespace {

// The open request, under Shared.Lock.
struct Open_Request {
    bool Pending = false;
    int64_t Serial = 0;
    Camera_Info Camera;
    std::string Resolution;
};

// The frame every source writes into; see Capture_Frame_Target.
struct Frame_State {
    std::vector<uint8_t> Pixels;  // Width x Height x 4 bytes
    int32_t Width = 0, Height = 0;
};

// The thread's own side of the module: its handle and flags, and the open
// request with its outcome (under Shared.Lock).
struct Thread_State {
    std::thread Handle;
    std::atomic<bool> Started{false};
    // Set at shutdown so a detached thread stops calling into state that is
    // being torn down.
    std::atomic<bool> Quit{false};
    std::atomic<int64_t> Lost_Device_Pending{0};
    std::atomic<bool> Running{false};
    std::atomic<bool> Exiting{false};
    Open_Request Request;
    bool Opening = false;  // the thread is inside the component's open
    int64_t Last_Serial = 0;
    Capture_Open_Outcome Outcome;
};

Capture_Shared Shared;
Thread_State Thread_Side;
Frame_State Frame;
Video_Toggle_Mark Toggle;

const char* const Lost_Device_Text = "Lost video device, force-closing the video window\nA software crash may occur.";

void Thread_Main() {
    while (!Thread_Side.Quit.load()) Capture_Thread_Step();
    Thread_Side.Running = false;
}

// Requested: one frame from the open device, or back to Idle without one.
void Capture_One_Frame() {
    float t0 = Elapsed_Ms();
    int64_t device = Shared.Device.load();
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
        Thread_Side.Lost_Device_Pending.store(1);
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
        std::lock_guard<std::mutex> lock(Shared.Lock);
        Shared.Stop_Request = 0;
    }
    // No device number from here on: the main thread's property calls give
    // up at once instead of waiting for the component while it closes.
    int64_t device = Shared.Device.exchange(-1);
    if (device != -1) {
        if (!Thread_Side.Exiting.load()) Capture_Sleep(1000);
        Capture_Deinit(device);
    }
    Set_Capture_State(CAPTURE_IDLE);
}

// Idle with an open request and no device: opens the source here, however long
// it takes, and leaves the outcome for the main thread.
void Open_Requested_Source() {
    Open_Request r;
    {
        std::lock_guard<std::mutex> lock(Shared.Lock);
        if (!Thread_Side.Request.Pending) return;
        r = Thread_Side.Request;
        Thread_Side.Request.Pending = false;
        Thread_Side.Opening = true;
    }
    Install_Capture_Library(Gst_Capture_Table());
    int64_t device = Gst_Capture_Add_Source(r.Camera, r.Resolution);
    Capture_Params target = Capture_Frame_Target();
    Capture_Open_Outcome out;
    out.Serial = r.Serial;
    if (Capture_Init(device, &target)) {
        out.Device = device;
        Shared.Device = device;
    } else {
        out.Result = Gst_Capture_Open_Result(&out.Text);
    }
    std::lock_guard<std::mutex> lock(Shared.Lock);
    out.Cancelled = out.Device == -1 && (Shared.Stop_Request != 0 || Shared.State == CAPTURE_STOP);
    Thread_Side.Outcome = out;
    Thread_Side.Opening = false;
}

// Capture_Params::Next_Frame of the thread's frame.
bool Next_Frame_Target(Capture_Params* target, int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > CAMERA_MAX_SIDE || height > CAMERA_MAX_SIDE) return false;
    size_t bytes = (size_t)width * height * 4;
    // Exactly the frame's size, so that the live picture can take it in exchange.
    if (Frame.Pixels.size() != bytes) Frame.Pixels.resize(bytes);
    Frame.Width = width;
    Frame.Height = height;
    target->Buffer = reinterpret_cast<int32_t*>(Frame.Pixels.data());
    target->Width = width;
    target->Height = height;
    return true;
}

}  // namespace

Capture_Params Capture_Frame_Target() {
    Capture_Params t;
    t.Buffer = reinterpret_cast<int32_t*>(Frame.Pixels.data());
    t.Width = Frame.Width;
    t.Height = Frame.Height;
    t.Next_Frame = Next_Frame_Target;
    return t;
}

Capture_Frame_View Capture_Frame() {
    Capture_Frame_View v;
    v.Pixels = Frame.Width > 0 ? Frame.Pixels.data() : nullptr;
    v.Width = Frame.Width;
    v.Height = Frame.Height;
    return v;
}

bool Capture_Exchange_Frame(std::vector<uint8_t>* pixels) {
    if (Frame.Width <= 0 || pixels->size() != Frame.Pixels.size()) return false;
    pixels->swap(Frame.Pixels);
    return true;
}

int64_t Capture_Device_Number() { return Shared.Device.load(); }
void Clear_Capture_Device() { Shared.Device = -1; }
Capture_Shared& Capture_Test_Access() { return Shared; }

bool Capture_Stop_Requested() {
    std::lock_guard<std::mutex> lock(Shared.Lock);
    return Shared.Stop_Request != 0;
}

bool Capture_Frame_Wanted(std::unique_lock<std::mutex>* lock) {
    *lock = std::unique_lock<std::mutex>(Shared.Lock);
    return Shared.State == CAPTURE_REQUESTED && Shared.Stop_Request == 0;
}

void Mark_Video_Toggle(bool on) {
    Toggle.On = on;
    Toggle.Serial++;
}

Video_Toggle_Mark Video_Toggle_Wanted() { return Toggle; }

int64_t Get_Capture_State() {
    std::lock_guard<std::mutex> lock(Shared.Lock);
    return Shared.State;
}

void Set_Capture_State(int64_t state) {
    std::lock_guard<std::mutex> lock(Shared.Lock);
    Shared.State = state;
}

void Request_Capture_Stop() {
    std::lock_guard<std::mutex> lock(Shared.Lock);
    Shared.Stop_Request = 1;
    Thread_Side.Request.Pending = false;  // not opened yet: then it is not opened at all
}

int64_t Request_Capture_Open(const Camera_Info& camera, const std::string& resolution) {
    std::lock_guard<std::mutex> lock(Shared.Lock);
    // The device open now (or the one being opened) goes first.
    if (Shared.Device.load() != -1 || Thread_Side.Opening) Shared.Stop_Request = 1;
    Thread_Side.Request.Pending = true;
    Thread_Side.Request.Serial = ++Thread_Side.Last_Serial;
    Thread_Side.Request.Camera = camera;
    Thread_Side.Request.Resolution = resolution;
    return Thread_Side.Request.Serial;
}

bool Take_Capture_Open_Outcome(int64_t serial, Capture_Open_Outcome* outcome) {
    std::lock_guard<std::mutex> lock(Shared.Lock);
    if (Thread_Side.Outcome.Serial != serial || serial == 0) return false;
    *outcome = Thread_Side.Outcome;
    return true;
}

bool Capture_Component_In_Use() {
    std::lock_guard<std::mutex> lock(Shared.Lock);
    return Shared.Device.load() != -1 || Thread_Side.Request.Pending || Thread_Side.Opening || Shared.Stop_Request != 0 ||
           Shared.State == CAPTURE_STOP;
}

bool Capture_Open_Cancelled() {
    std::lock_guard<std::mutex> lock(Shared.Lock);
    return Shared.Stop_Request != 0 || Shared.State == CAPTURE_STOP;
}

void Capture_Prepare_Exit() { Thread_Side.Exiting = true; }

void Capture_Thread_Step() {
    {
        std::lock_guard<std::mutex> lock(Shared.Lock);
        if (Shared.Stop_Request == 1) Shared.State = CAPTURE_STOP;
    }
    switch (Get_Capture_State()) {
        case CAPTURE_IDLE: {
            bool open = false;
            {
                std::lock_guard<std::mutex> lock(Shared.Lock);
                open = Thread_Side.Request.Pending && Shared.Device.load() == -1;
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
    if (!Thread_Side.Started.compare_exchange_strong(expected, true)) return;
    Thread_Side.Quit = false;
    Thread_Side.Running = true;
    Thread_Side.Handle = std::thread(Thread_Main);
}

void Detach_Capture_Thread() {
    Thread_Side.Quit = true;
    if (Thread_Side.Handle.joinable()) Thread_Side.Handle.detach();
}

bool Capture_Thread_Running() { return Thread_Side.Running.load(); }

int64_t Capture_Messages_Pending() { return Thread_Side.Lost_Device_Pending.load(); }

int Show_Capture_Messages() {
    if (Thread_Side.Lost_Device_Pending.exchange(0) == 0) return 0;
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
    Mark_Camera_Settings_Window_Closed();
    Jobs[0].In_Use = 0;
    Mark_Video_Toggle(false);
    Video_Mode = VIDEO_NONE;
    Mark_Prefs_Changed();
    Leave_Live_Job();
    Mark_Job_List_Changed();
}
