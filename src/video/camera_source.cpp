#include "video/camera_source.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "base/app_state.h"
#include "base/control_ids.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "video/camera_list.h"
#include "video/camera_settings.h"
#include "video/capture_lib.h"
#include "video/capture_thread.h"
#include "video/emulator.h"
#include "video/gst_capture.h"

namespace {

// The source started last in this run (the toggle starts it again).
bool Run_Source_Set = false;
std::string Run_Source, Run_Resolution;

// The frame the component writes while the capture state is Requested.
// Allocated once at its only size and never moved: a device being opened or
// closed may still hold its address.
std::vector<uint8_t> Frame_Buffer;

// The start the main loop waits for.
struct Pending_Start {
    bool Pending = false;
    int64_t Serial = 0;
    std::string Source, Resolution, Name;
    bool Remember = false;  // a description typed in the dialog: remembered once it runs
};
Pending_Start Start;
// The source of camera mode, also while it starts.
std::string Camera_Source, Camera_Resolution;
bool Waiting_First_Frame = false;

void Remember_Run_Source(const std::string& source, const std::string& resolution) {
    Run_Source_Set = true;
    Run_Source = source;
    Run_Resolution = resolution;
}

// Video off after a failed start: no live document is left behind, and,
// unlike switching video off, the preferences are not rewritten.
void Failed_Start_Video_Off() {
    if (Video_Mode == VIDEO_EMULATOR) Close_Emulator();
    if (Camera_Settings_Window_Open()) Close_Camera_Settings_Window();
    Video_Mode = VIDEO_NONE;
    Jobs[0].In_Use = 0;
    Set_State(CTL_VIDEO_TOGGLE, 0);
    Leave_Live_Job();
    Mark_Job_List_Changed();
}

// The message of a camera that could not be opened, and the video that runs then.
void Report_Failed_Open(const std::string& source, Camera_Start_Result r, const std::string& why) {
    switch (r) {
        case CAMERA_NOT_FOUND:
            Message_Box("Warning", "Camera not found: " + source + ". Using the video emulator.", MSG_ICON_WARNING);
            if (Video_Mode == VIDEO_CAMERA) Failed_Start_Video_Off();
            Start_Emulator();
            return;
        case CAMERA_BUSY: Message_Box("Error", "Camera busy: " + source, MSG_ICON_ERROR); break;
        default: Message_Box("Error", "Unable to start the camera: " + source + "\n" + why, MSG_ICON_ERROR); break;
    }
    Failed_Start_Video_Off();
}

}  // namespace

bool Wait_Camera_Closed(int64_t timeout_ms) {
    if (!Capture_Component_In_Use()) return true;
    Request_Capture_Stop();
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (Capture_Component_In_Use() && std::chrono::steady_clock::now() < until) Sleep_Ms(10);
    return !Capture_Component_In_Use();
}

void Camera_Take_Frame() {
    if (Frame_Buffer.empty()) return;
    Job_Slot& live = Jobs[0];
    if (live.Doc.Resolution.x != CAMERA_LIVE_WIDTH || live.Doc.Resolution.y != CAMERA_LIVE_HEIGHT ||
        live.Doc.Image_Buffer.size() != Frame_Buffer.size())
        Allocate_Image(&live, CAMERA_LIVE_WIDTH, CAMERA_LIVE_HEIGHT);
    memcpy(live.Doc.Image_Buffer.data(), Frame_Buffer.data(), Frame_Buffer.size());
    live.Image_Changed = 1;
    Request_Redraw();
    Waiting_First_Frame = false;
}

Camera_Start_Result Camera_Result_Of_Open(int gst_open_result) {
    switch (gst_open_result) {
        case GST_OPEN_BUSY: return CAMERA_BUSY;
        case GST_OPEN_NOT_FOUND: return CAMERA_NOT_FOUND;
        case GST_OPEN_OK: return CAMERA_STARTED;
        default: return CAMERA_FAILED;
    }
}

Camera_Start_Result Start_Camera(const std::string& source, const std::string& resolution, std::string* why) {
    std::string reason;
    if (why) why->clear();
    Camera_Info camera;
    if (!Gstreamer_Ready(&reason)) {
        if (why) *why = reason;
        return CAMERA_FAILED;
    }
    if (!Find_Camera(source, &camera)) return CAMERA_NOT_FOUND;
    if (Video_Mode == VIDEO_EMULATOR) Close_Emulator();
    // The settings window belongs to the camera that stops now.
    if (Camera_Settings_Window_Open()) Close_Camera_Settings_Window();

    Allocate_Image(&Jobs[0], CAMERA_LIVE_WIDTH, CAMERA_LIVE_HEIGHT);
    size_t bytes = (size_t)CAMERA_LIVE_WIDTH * CAMERA_LIVE_HEIGHT * 4;
    if (Frame_Buffer.size() != bytes) Frame_Buffer.assign(bytes, 0);
    Capture_Params target;
    target.Buffer = reinterpret_cast<int32_t*>(Frame_Buffer.data());
    target.Width = CAMERA_LIVE_WIDTH;
    target.Height = CAMERA_LIVE_HEIGHT;
    Log("Opening camera: " + Gst_Pipeline_Text(camera, resolution, CAMERA_LIVE_WIDTH, CAMERA_LIVE_HEIGHT));
    // A camera still open is stopped by the thread before it opens this one.
    Start.Serial = Request_Capture_Open(camera, resolution, target);
    Start.Pending = true;
    Start.Source = source;
    Start.Resolution = resolution;
    Start.Name = camera.Name;
    Start.Remember = false;
    Camera_Source = source;
    Camera_Resolution = resolution;
    Waiting_First_Frame = true;

    Video_Mode = VIDEO_CAMERA;
    Jobs[0].In_Use = 1;
    Jobs[0].Image_Changed = 1;
    Make_Current_Job(0);
    Set_State(CTL_VIDEO_TOGGLE, 1);
    Request_Threshold_Label();
    Request_Redraw();
    Mark_Job_List_Changed();
    return CAMERA_STARTING;
}

bool Camera_Start_Pending() { return Start.Pending && Video_Mode == VIDEO_CAMERA; }

bool Camera_Starting() {
    return Video_Mode == VIDEO_CAMERA && (Start.Pending || (Waiting_First_Frame && Capture_Device.load() != -1));
}

void Camera_Finish_Start() {
    Capture_Open_Outcome out;
    if (!Camera_Start_Pending() || !Take_Capture_Open_Outcome(Start.Serial, &out)) return;
    Start.Pending = false;
    if (out.Device != -1) {
        Remember_Run_Source(Start.Source, Start.Resolution);
        if (Start.Remember) {
            Last_Device = Start.Source;
            Last_Resolution = "";
            Mark_Prefs_Changed();
        }
        Log("Camera started: " + Start.Name);
        return;
    }
    // Stopped on purpose before it was open: whoever stopped it chose what runs.
    if (out.Cancelled) return;
    Log("Camera not started: " + out.Text);
    Report_Failed_Open(Start.Source, Camera_Result_Of_Open(out.Result), out.Text);
}

std::string Shown_Video_Source() {
    if (Video_Mode == VIDEO_CAMERA) return Camera_Source;
    if (Video_Mode == VIDEO_EMULATOR) return "";
    return Run_Source_Set ? Run_Source : Last_Device;
}

std::string Shown_Video_Resolution() {
    if (Video_Mode == VIDEO_CAMERA) return Camera_Resolution;
    if (Video_Mode == VIDEO_EMULATOR) return "";
    return Run_Source_Set ? Run_Resolution : Last_Resolution;
}

bool Start_Video_Source(const std::string& source, const std::string& resolution) {
    if (source.empty()) {
        // The capture thread closes a camera by itself; nothing waits for it here.
        if (Video_Mode == VIDEO_CAMERA) Disable_Video();
        Remember_Run_Source("", "");
        Start_Emulator();
        return true;
    }
    std::string why;
    Camera_Start_Result r = Start_Camera(source, resolution, &why);
    if (r == CAMERA_STARTING) return true;
    // Refused before camera mode was entered: a running camera is switched off as usual.
    if (Video_Mode == VIDEO_CAMERA) Disable_Video();
    Report_Failed_Open(source, r, why);
    return false;
}

bool Choose_Video_Source(const std::string& source, const std::string& resolution) {
    bool description = source.compare(0, 4, "gst:") == 0;
    if (!description) {
        Last_Device = source;
        Last_Resolution = source.empty() ? "" : resolution;
        Mark_Prefs_Changed();
    }
    bool started = Start_Video_Source(source, resolution);
    // A typed description is checked by starting it: one that fails is not
    // tried again at every start of the program.
    if (description && started) Start.Remember = true;
    return started;
}

bool Start_Chosen_Video_Source() {
    if (Run_Source_Set) return Start_Video_Source(Run_Source, Run_Resolution);
    return Start_Video_Source(Last_Device, Last_Resolution);
}
