#include "video/camera_source.h"

#include <chrono>
#include <vector>

#include "base/app_state.h"
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

// The start the main loop waits for.
struct Pending_Start {
    bool Pending = false;
    int64_t Serial = 0;
    std::string Source, Resolution, Name;
    bool Remember = false;  // a description typed in the dialog: remembered once it runs
};

struct Camera_Source_State {
    // The source started last in this run (the toggle starts it again).
    bool Run_Source_Set = false;
    std::string Run_Source, Run_Resolution;
    Pending_Start Start;
    // The source of camera mode, also while it starts.
    std::string Camera_Source, Camera_Resolution;
    bool Waiting_First_Frame = false;
};
Camera_Source_State Source;

void Remember_Run_Source(const std::string& source, const std::string& resolution) {
    Source.Run_Source_Set = true;
    Source.Run_Source = source;
    Source.Run_Resolution = resolution;
}

// Video off after a failed start: no live document is left behind, and,
// unlike switching video off, the preferences are not rewritten.
void Failed_Start_Video_Off() {
    if (Video_Mode == VIDEO_EMULATOR) Close_Emulator();
    Mark_Camera_Settings_Window_Closed();
    Video_Mode = VIDEO_NONE;
    Jobs[0].In_Use = 0;
    Mark_Video_Toggle(false);
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

namespace {

// Gives the live picture the size w x h. Its measurements were placed on a
// picture of the old size and mean nothing on the new one: they go. True
// when the size changed.
bool Size_Live_Picture(int32_t w, int32_t h) {
    Job_Slot& live = Jobs[0];
    if (live.Doc.Resolution.x == w && live.Doc.Resolution.y == h &&
        live.Doc.Image_Buffer.size() == (size_t)w * h * 4)
        return false;
    Allocate_Image(&live, w, h);
    if (!live.Doc.Tools.empty()) {
        live.Doc.Tools.clear();
        Mark_Measurement_List_Changed();
    }
    Mark_Job_List_Changed();
    return true;
}

}  // namespace

void Camera_Take_Frame() {
    Capture_Frame_View frame = Capture_Frame();
    if (!frame.Pixels) return;
    if (Size_Live_Picture(frame.Width, frame.Height))
        Log("Camera picture: " + std::to_string(frame.Width) + "x" + std::to_string(frame.Height));
    Job_Slot& live = Jobs[0];
    // The sizes match now: the frame becomes the live picture, and the next
    // one is written into the buffer of this one.
    if (!Capture_Exchange_Frame(&live.Doc.Image_Buffer)) return;
    live.Image_Changed = 1;
    Request_Redraw();
    Source.Waiting_First_Frame = false;
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
    Mark_Camera_Settings_Window_Closed();

    // Black until the first frame, at the chosen size if there is one (the
    // camera may still give another: the first frame decides).
    int32_t w = CAMERA_LIVE_WIDTH, h = CAMERA_LIVE_HEIGHT;
    Parse_Resolution(resolution, &w, &h);
    if (!Size_Live_Picture(w, h)) Allocate_Image(&Jobs[0], w, h);
    Log("Opening camera: " + Gst_Pipeline_Text(camera, resolution));
    // A camera still open is stopped by the thread before it opens this one.
    Source.Start.Serial = Request_Capture_Open(camera, resolution);
    Source.Start.Pending = true;
    Source.Start.Source = source;
    Source.Start.Resolution = resolution;
    Source.Start.Name = camera.Name;
    Source.Start.Remember = false;
    Source.Camera_Source = source;
    Source.Camera_Resolution = resolution;
    Source.Waiting_First_Frame = true;

    Video_Mode = VIDEO_CAMERA;
    Jobs[0].In_Use = 1;
    Jobs[0].Image_Changed = 1;
    Make_Current_Job(0);
    Mark_Video_Toggle(true);
    Request_Threshold_Label();
    Request_Redraw();
    Mark_Job_List_Changed();
    return CAMERA_STARTING;
}

bool Camera_Start_Pending() { return Source.Start.Pending && Video_Mode == VIDEO_CAMERA; }

bool Camera_Starting() {
    return Video_Mode == VIDEO_CAMERA && (Source.Start.Pending || (Source.Waiting_First_Frame && Capture_Device_Number() != -1));
}

void Camera_Finish_Start() {
    Capture_Open_Outcome out;
    if (!Camera_Start_Pending() || !Take_Capture_Open_Outcome(Source.Start.Serial, &out)) return;
    Source.Start.Pending = false;
    if (out.Device != -1) {
        Remember_Run_Source(Source.Start.Source, Source.Start.Resolution);
        if (Source.Start.Remember) {
            Last_Device = Source.Start.Source;
            Last_Resolution = "";
            Mark_Prefs_Changed();
        }
        Log("Camera started: " + Source.Start.Name);
        return;
    }
    // Stopped on purpose before it was open: whoever stopped it chose what runs.
    if (out.Cancelled) return;
    Log("Camera not started: " + out.Text);
    Report_Failed_Open(Source.Start.Source, Camera_Result_Of_Open(out.Result), out.Text);
}

std::string Shown_Video_Source() {
    if (Video_Mode == VIDEO_CAMERA) return Source.Camera_Source;
    if (Video_Mode == VIDEO_EMULATOR) return "";
    return Source.Run_Source_Set ? Source.Run_Source : Last_Device;
}

std::string Shown_Video_Resolution() {
    if (Video_Mode == VIDEO_CAMERA) return Source.Camera_Resolution;
    if (Video_Mode == VIDEO_EMULATOR) return "";
    return Source.Run_Source_Set ? Source.Run_Resolution : Last_Resolution;
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
    if (description && started) Source.Start.Remember = true;
    return started;
}

bool Start_Chosen_Video_Source() {
    if (Source.Run_Source_Set) return Start_Video_Source(Source.Run_Source, Source.Run_Resolution);
    return Start_Video_Source(Last_Device, Last_Resolution);
}
