#include "app/video_source.h"

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/emulator_window.h"
#include "app/video_settings_window.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "platform/platform.h"
#include "video/camera_list.h"
#include "video/camera_source.h"
#include "video/capture_thread.h"

namespace {

// Row 0 is the emulator; row i in 1..n is Cameras[i - 1]; row n + 1 is the
// typed GStreamer description.
std::vector<Camera_Info> Cameras;
// The description typed last in this run, offered again.
std::string Typed_Description;

const char* const Default_Size = "Camera default";
const char* const Description_Prefix = "gst:";

int64_t Description_Row() { return (int64_t)Cameras.size() + 1; }
bool Is_Description(const std::string& source) { return source.compare(0, 4, Description_Prefix) == 0; }

std::string Trimmed(const std::string& text) {
    size_t a = text.find_first_not_of(" \t\r\n"), b = text.find_last_not_of(" \t\r\n");
    return a == std::string::npos ? "" : text.substr(a, b - a + 1);
}

// A mode as the drop-down shows it: "1920 x 1080 (16:9)"; a size that does
// not read as one is shown as it is.
std::string Mode_Row(const std::string& resolution) {
    int32_t w = 0, h = 0;
    return Parse_Resolution(resolution, &w, &h) ? Resolution_Caption(w, h) : resolution;
}

bool Same_Resolution(const std::string& a, const std::string& b) {
    int32_t aw = 0, ah = 0, bw = 0, bh = 0;
    return Parse_Resolution(a, &aw, &ah) && Parse_Resolution(b, &bw, &bh) && aw == bw && ah == bh;
}

void Fill_Resolutions(int64_t row) {
    Clear_Rows(CTL_SRC_RESOLUTION);
    bool camera = row > 0 && row <= (int64_t)Cameras.size();
    // The emulator's picture is always 640 x 480.
    Add_Row(CTL_SRC_RESOLUTION, row == 0 ? Resolution_Caption(640, 480) : std::string(Default_Size));
    int64_t chosen = 0;
    if (camera) {
        const Camera_Info& c = Cameras[row - 1];
        std::string shown = Shown_Video_Source();
        bool running = c.Name == shown || (!c.Node.empty() && c.Node == shown);
        for (size_t i = 0; i < c.Resolutions.size(); i++) {
            Add_Row(CTL_SRC_RESOLUTION, Mode_Row(c.Resolutions[i]));
            if (running && Same_Resolution(c.Resolutions[i], Shown_Video_Resolution())) chosen = (int64_t)i + 1;
        }
    }
    Set_State(CTL_SRC_RESOLUTION, chosen);
    // A description sets its own size in its caps.
    Disable_Control(CTL_SRC_RESOLUTION, !camera);
}

void Accept() {
    int64_t row = Get_State(CTL_SRC_LIST);
    if (row < 0) row = 0;
    std::string source, resolution;
    if (row == Description_Row()) {
        std::string text = Trimmed(Get_Text(CTL_SRC_GST_TEXT));
        if (Is_Description(text)) text = Trimmed(text.substr(4));
        if (text.empty()) {
            Message_Box("Error", "Type a GStreamer source description, such as: videotestsrc pattern=ball",
                        MSG_ICON_ERROR);
            return;
        }
        Typed_Description = text;
        source = Description_Prefix + text;
    } else if (row > 0 && row <= (int64_t)Cameras.size()) {
        source = Cameras[row - 1].Name;
        // Kept as the camera lists it ("1920x1080"), not as shown.
        int64_t r = Get_State(CTL_SRC_RESOLUTION);
        if (r > 0 && r <= (int64_t)Cameras[row - 1].Resolutions.size()) resolution = Cameras[row - 1].Resolutions[r - 1];
    }
    Close_Video_Source_Dialog();
    Choose_Video_Source(source, resolution);
    Show_Video_Changes();
}

// The video toggle request already shown.
int64_t Shown_Toggle_Serial = 0;

}  // namespace

void Show_Video_Changes() {
    Video_Toggle_Mark toggle = Video_Toggle_Wanted();
    if (toggle.Serial != Shown_Toggle_Serial) {
        Shown_Toggle_Serial = toggle.Serial;
        Set_State(CTL_VIDEO_TOGGLE, toggle.On ? 1 : 0);
    }
    Show_Camera_Settings_Changes();
    Show_Emulator_Changes();
}

bool Video_Source_Dialog_Open() { return Window_Exists(WINDOW_VIDEO_SOURCE); }

void Open_Video_Source_Dialog() {
    if (Video_Source_Dialog_Open()) return;
    Cameras = List_Cameras();
    Open_Window(WINDOW_VIDEO_SOURCE, "Video source", 0, 0, 420, 282,
                WINDOW_CENTRED | WINDOW_CLOSE_BOX | WINDOW_CHILD_OF_MAIN | WINDOW_TOOL);
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_LABEL, CONTROL_LABEL, 6, 6, 200, 20, "Source:");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_LIST, CONTROL_LIST, 6, 26, 408, 140, "");
    Add_List_Column(CTL_SRC_LIST, "Source", 270);
    Add_List_Column(CTL_SRC_LIST, "Device", 130);
    Add_Row(CTL_SRC_LIST, "Video emulator\n", 0);
    // The running source is the one shown chosen (a --camera source too).
    std::string shown = Shown_Video_Source();
    std::string description = Typed_Description;
    if (description.empty() && Is_Description(Last_Device)) description = Last_Device.substr(4);
    int64_t selected = 0;
    for (size_t i = 0; i < Cameras.size(); i++) {
        Add_Row(CTL_SRC_LIST, Cameras[i].Name + "\n" + Cameras[i].Node, (int64_t)i + 1);
        if (!shown.empty() && (Cameras[i].Name == shown || (!Cameras[i].Node.empty() && Cameras[i].Node == shown)))
            selected = (int64_t)i + 1;
    }
    Add_Row(CTL_SRC_LIST, "GStreamer source\n", Description_Row());
    if (Is_Description(shown)) {
        selected = Description_Row();
        description = shown.substr(4);
    }
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_RES_LABEL, CONTROL_LABEL, 6, 176, 90, 20, "Resolution:");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_RESOLUTION, CONTROL_DROPDOWN, 100, 172, 160, 26, "");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_GST_LABEL, CONTROL_LABEL, 6, 212, 130, 20, "GStreamer source:");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_GST_TEXT, CONTROL_TEXT_INPUT, 140, 206, 274, 26, description);
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_OK, CONTROL_BUTTON, 244, 246, 80, 26, "OK");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_CANCEL, CONTROL_BUTTON, 332, 246, 80, 26, "Cancel");
    Set_State(CTL_SRC_LIST, selected);
    Fill_Resolutions(selected);
}

void Close_Video_Source_Dialog() {
    if (Video_Source_Dialog_Open()) Close_Window(WINDOW_VIDEO_SOURCE);
}

void Video_Source_Event(const Platform_Event& event) {
    if (event.Kind == EVENT_CLOSE_WINDOW) {
        Close_Video_Source_Dialog();
        return;
    }
    if (event.Kind != EVENT_CONTROL) return;
    switch (event.Control) {
        case CTL_SRC_LIST:
            if (event.Type == ETYPE_LEFT_DOUBLE_CLICK) {
                Accept();
                return;
            }
            Fill_Resolutions(Get_State(CTL_SRC_LIST));
            break;
        case CTL_SRC_GST_TEXT:
            // Typing a description chooses it.
            if (event.Type == ETYPE_CHANGE && Get_State(CTL_SRC_LIST) != Description_Row()) {
                Set_State(CTL_SRC_LIST, Description_Row());
                Fill_Resolutions(Description_Row());
            }
            break;
        case CTL_SRC_OK: Accept(); break;
        case CTL_SRC_CANCEL: Close_Video_Source_Dialog(); break;
        default: break;
    }
}

void Start_Startup_Video() {
    if (!Start_Camera_Source.empty())
        Start_Video_Source(Start_Camera_Source, Start_Camera_Resolution);
    else
        Start_Video_Source(Last_Device, Last_Resolution);
    Show_Video_Changes();
}
