#include "app/video_source.h"

#include <string>
#include <vector>

#include "app/command_line.h"
#include "base/app_state.h"
#include "platform/platform.h"
#include "video/camera_list.h"
#include "video/camera_source.h"

namespace {

// Row 0 is the emulator; row i > 0 is Cameras[i - 1].
std::vector<Camera_Info> Cameras;

const char* const Default_Size = "Camera default";

void Fill_Resolutions(int64_t row) {
    Clear_Rows(CTL_SRC_RESOLUTION);
    Add_Row(CTL_SRC_RESOLUTION, row > 0 ? Default_Size : "640x480");
    int64_t chosen = 0;
    if (row > 0 && row <= (int64_t)Cameras.size()) {
        const Camera_Info& c = Cameras[row - 1];
        for (size_t i = 0; i < c.Resolutions.size(); i++) {
            Add_Row(CTL_SRC_RESOLUTION, c.Resolutions[i]);
            if (c.Name == Last_Device && c.Resolutions[i] == Last_Resolution) chosen = (int64_t)i + 1;
        }
    }
    Set_State(CTL_SRC_RESOLUTION, chosen);
    Disable_Control(CTL_SRC_RESOLUTION, row <= 0);
}

void Accept() {
    int64_t row = Get_State(CTL_SRC_LIST);
    if (row < 0) row = 0;
    std::string source, resolution;
    if (row > 0 && row <= (int64_t)Cameras.size()) {
        source = Cameras[row - 1].Name;
        int64_t r = Get_State(CTL_SRC_RESOLUTION);
        if (r > 0) resolution = Get_Text(CTL_SRC_RESOLUTION);
    }
    Close_Video_Source_Dialog();
    Choose_Video_Source(source, resolution);
}

}  // namespace

bool Video_Source_Dialog_Open() { return Window_Exists(WINDOW_VIDEO_SOURCE); }

void Open_Video_Source_Dialog() {
    if (Video_Source_Dialog_Open()) return;
    Cameras = List_Cameras();
    Open_Window(WINDOW_VIDEO_SOURCE, "Video source", 0, 0, 420, 250,
                WINDOW_CENTRED | WINDOW_CLOSE_BOX | WINDOW_CHILD_OF_MAIN | WINDOW_TOOL);
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_LABEL, CONTROL_LABEL, 6, 6, 200, 20, "Source:");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_LIST, CONTROL_LIST, 6, 26, 408, 140, "");
    Add_List_Column(CTL_SRC_LIST, "Source", 270);
    Add_List_Column(CTL_SRC_LIST, "Device", 130);
    Add_Row(CTL_SRC_LIST, "Video emulator\n", 0);
    int64_t selected = 0;
    for (size_t i = 0; i < Cameras.size(); i++) {
        Add_Row(CTL_SRC_LIST, Cameras[i].Name + "\n" + Cameras[i].Node, (int64_t)i + 1);
        if (!Last_Device.empty() && Cameras[i].Name == Last_Device) selected = (int64_t)i + 1;
    }
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_RES_LABEL, CONTROL_LABEL, 6, 176, 90, 20, "Resolution:");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_RESOLUTION, CONTROL_DROPDOWN, 100, 172, 160, 26, "");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_OK, CONTROL_BUTTON, 244, 214, 80, 26, "OK");
    Create_Control(WINDOW_VIDEO_SOURCE, CTL_SRC_CANCEL, CONTROL_BUTTON, 332, 214, 80, 26, "Cancel");
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
        case CTL_SRC_OK: Accept(); break;
        case CTL_SRC_CANCEL: Close_Video_Source_Dialog(); break;
        default: break;
    }
}

void Start_Startup_Video() {
    if (!Start_Camera_Source.empty())
        Start_Video_Source(Start_Camera_Source, "");
    else
        Start_Video_Source(Last_Device, Last_Resolution);
}
