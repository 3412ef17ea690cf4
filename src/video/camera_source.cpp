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
#include "video/capture_lib.h"
#include "video/capture_thread.h"
#include "video/emulator.h"
#include "video/gst_capture.h"

namespace {

// The source started last in this run (the toggle starts it again).
bool Run_Source_Set = false;
std::string Run_Source, Run_Resolution;

// The frame the component writes while the capture state is Requested.
std::vector<uint8_t> Frame_Buffer;

// The capture thread waits 1 s before it closes a device, and closing may
// take up to 3 s more on a device that vanished.
const int64_t CLOSE_WAIT_MS = 6000;

void Remember_Run_Source(const std::string& source, const std::string& resolution) {
    Run_Source_Set = true;
    Run_Source = source;
    Run_Resolution = resolution;
}

}  // namespace

// No device open and no stop still to be carried out (a pending stop would
// close the next device instead).
static bool Camera_Closed() {
    if (Capture_Device.load() != -1) return false;
    std::lock_guard<std::mutex> lock(Capture_Lock);
    return Capture_Stop_Request == 0 && Capture_State != CAPTURE_STOP;
}

bool Wait_Camera_Closed(int64_t timeout_ms) {
    if (Camera_Closed()) return true;
    if (Capture_Device.load() != -1) Request_Capture_Stop();
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!Camera_Closed() && std::chrono::steady_clock::now() < until) Sleep_Ms(10);
    return Camera_Closed();
}

void Camera_Take_Frame() {
    if (Frame_Buffer.empty()) return;
    Job_Slot& live = Jobs[0];
    if (live.Doc.Resolution.x != CAMERA_LIVE_WIDTH || live.Doc.Resolution.y != CAMERA_LIVE_HEIGHT ||
        live.Doc.Image_Buffer.size() != Frame_Buffer.size())
        Allocate_Image(&live, CAMERA_LIVE_WIDTH, CAMERA_LIVE_HEIGHT);
    memcpy(live.Doc.Image_Buffer.data(), Frame_Buffer.data(), Frame_Buffer.size());
    live.Image_Changed = 1;
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
    if (!Wait_Camera_Closed(CLOSE_WAIT_MS)) {
        if (why) *why = "the previous camera did not close";
        return CAMERA_FAILED;
    }
    if (Video_Mode == VIDEO_EMULATOR) Close_Emulator();

    Allocate_Image(&Jobs[0], CAMERA_LIVE_WIDTH, CAMERA_LIVE_HEIGHT);
    // No device is open, so nothing writes the frame buffer now.
    Frame_Buffer.assign((size_t)CAMERA_LIVE_WIDTH * CAMERA_LIVE_HEIGHT * 4, 0);
    Install_Capture_Library(Gst_Capture_Table());
    int64_t device = Gst_Capture_Add_Source(camera, resolution);
    Capture_Params target;
    target.Buffer = reinterpret_cast<int32_t*>(Frame_Buffer.data());
    target.Width = CAMERA_LIVE_WIDTH;
    target.Height = CAMERA_LIVE_HEIGHT;
    Log("Opening camera: " + Gst_Pipeline_Text(camera, resolution, CAMERA_LIVE_WIDTH, CAMERA_LIVE_HEIGHT));
    if (!Capture_Init(device, &target)) {
        Gst_Open_Result r = Gst_Capture_Open_Result(&reason);
        Log("Camera not started: " + reason);
        if (why) *why = reason;
        return r == GST_OPEN_BUSY ? CAMERA_BUSY : r == GST_OPEN_NOT_FOUND ? CAMERA_NOT_FOUND : CAMERA_FAILED;
    }
    Set_Capture_State(CAPTURE_IDLE);
    Capture_Device = device;
    Video_Mode = VIDEO_CAMERA;
    Jobs[0].In_Use = 1;
    Jobs[0].Image_Changed = 1;
    Current_Job = 0;
    Set_State(CTL_VIDEO_TOGGLE, 1);
    Threshold_Label_Dirty = 1;
    Redraw_Request = 1;
    Job_List_Changed();
    Log("Camera started: " + camera.Name);
    return CAMERA_STARTED;
}

bool Start_Video_Source(const std::string& source, const std::string& resolution) {
    if (source.empty()) {
        if (Capture_Device.load() != -1 && !Wait_Camera_Closed(CLOSE_WAIT_MS)) Log("Camera still closing");
        if (Video_Mode == VIDEO_CAMERA) Disable_Video();
        Remember_Run_Source("", "");
        Start_Emulator();
        return true;
    }
    std::string why;
    switch (Start_Camera(source, resolution, &why)) {
        case CAMERA_STARTED: Remember_Run_Source(source, resolution); return true;
        case CAMERA_NOT_FOUND:
            Message_Box("Warning", "Camera not found: " + source + ". Using the video emulator.", MSG_ICON_WARNING);
            if (Video_Mode == VIDEO_CAMERA) Disable_Video();
            Start_Emulator();
            return false;
        case CAMERA_BUSY:
            Message_Box("Error", "Camera busy: " + source, MSG_ICON_ERROR);
            break;
        case CAMERA_FAILED:
            Message_Box("Error", "Unable to start the camera: " + source + "\n" + why, MSG_ICON_ERROR);
            break;
    }
    // Video stays off: a failed start leaves no live document behind (and,
    // unlike switching video off, does not rewrite the preferences).
    if (Video_Mode == VIDEO_CAMERA) {
        Disable_Video();
        return false;
    }
    Video_Mode = VIDEO_NONE;
    Jobs[0].In_Use = 0;
    Set_State(CTL_VIDEO_TOGGLE, 0);
    if (Current_Job == 0) Current_Job = First_Used_Job();
    Job_List_Changed();
    return false;
}

bool Choose_Video_Source(const std::string& source, const std::string& resolution) {
    Last_Device = source;
    Last_Resolution = source.empty() ? "" : resolution;
    Prefs_Changed();
    return Start_Video_Source(source, resolution);
}

bool Start_Chosen_Video_Source() {
    if (Run_Source_Set) return Start_Video_Source(Run_Source, Run_Resolution);
    return Start_Video_Source(Last_Device, Last_Resolution);
}
