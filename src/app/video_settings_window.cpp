#include "app/video_settings_window.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "app/control_ids.h"
#include "platform/platform.h"
#include "video/camera_settings.h"
#include "video/camera_settings_file.h"

namespace {

// What each row shows now: the value behind its slider and the slider
// position it was given. A slider still at that position was not moved, so
// its exact value is kept instead of the 1/100 step the slider can express.
// The serials are those of video's requests already carried out.
struct Settings_Window_State {
    float Shown_Value[VIDEO_PROPERTY_COUNT] = {};
    int64_t Shown_Position[VIDEO_PROPERTY_COUNT] = {};
    int64_t Values_Serial = 0;
    int64_t Close_Serial = 0;
};
Settings_Window_State Window;

int64_t Slider_Position(float value) { return (int64_t)std::nearbyint((double)Property_In_Use(value) * 100.0); }

std::string Two_Decimals(float value) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.2f", (double)value);
    return text;
}

}  // namespace

void Open_Camera_Settings_Window() {
    if (Camera_Settings_Window_Open()) return;
    if (!Open_Window(WINDOW_VIDEO_SETTINGS, "Video Settings", 0, 0, 220, 400,
                     WINDOW_CENTRED | WINDOW_ON_TOP | WINDOW_CHILD_OF_MAIN | WINDOW_CLOSE_BOX))
        return;
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        int y = 4 + 20 * i;
        Create_Control(WINDOW_VIDEO_SETTINGS, CTL_VS_LABEL + i, CONTROL_LABEL, 4, y, 70, 20, Camera_Property_Captions[i]);
        Create_Control(WINDOW_VIDEO_SETTINGS, CTL_VS_SLIDER + i, CONTROL_SLIDER, 74, y, 70, 20, "");
        Set_Slider_Range(CTL_VS_SLIDER + i, 0, 100);
        Set_State(CTL_VS_SLIDER + i, 0);
        Create_Control(WINDOW_VIDEO_SETTINGS, CTL_VS_CHECK + i, CONTROL_CHECKBOX, 148, y, 20, 20, "");
        Set_State(CTL_VS_CHECK + i, 0);
        Create_Control(WINDOW_VIDEO_SETTINGS, CTL_VS_VALUE + i, CONTROL_LABEL, 168, y + 2, 60, 20, "0.0");
        Window.Shown_Value[i] = 0;
        Window.Shown_Position[i] = 0;
    }
    Create_Control(WINDOW_VIDEO_SETTINGS, CTL_VS_LOAD, CONTROL_BUTTON, 4, 374, 80, 22, "Load");
    Create_Control(WINDOW_VIDEO_SETTINGS, CTL_VS_SAVE, CONTROL_BUTTON, 90, 374, 80, 22, "Save");
    // Requests made before the window existed are not for this one.
    Window.Values_Serial = Camera_Settings_View().Values_Serial;
    Window.Close_Serial = Camera_Settings_View().Close_Serial;
    Read_Camera_Settings();
    Show_Camera_Settings_Changes();
}

void Close_Camera_Settings_Window() {
    if (Camera_Settings_Window_Open()) Close_Window(WINDOW_VIDEO_SETTINGS);
}

bool Camera_Settings_Window_Open() { return Window_Exists(WINDOW_VIDEO_SETTINGS); }

int Camera_Settings_Event(const Platform_Event& event) {
    if (event.Kind == EVENT_CLOSE_WINDOW) {
        Close_Camera_Settings_Window();
        return 0;
    }
    if (event.Kind != EVENT_CONTROL) return 0;
    if (event.Control == CTL_VS_LOAD) {
        if (event.Type == ETYPE_CHANGE) Load_Camera_Settings();
        Show_Camera_Settings_Changes();
        return 0;
    }
    if (event.Control == CTL_VS_SAVE) {
        if (event.Type == ETYPE_CHANGE) Save_Camera_Settings();
        return 0;
    }
    bool slider = event.Control >= CTL_VS_SLIDER && event.Control < CTL_VS_SLIDER + VIDEO_PROPERTY_COUNT;
    bool check = event.Control >= CTL_VS_CHECK && event.Control < CTL_VS_CHECK + VIDEO_PROPERTY_COUNT;
    return (slider || check) ? 1 : 0;
}

void Apply_Camera_Settings() {
    if (!Camera_Settings_Window_Open()) return;  // closed controls read as 0 and would wipe the record
    Video_Settings chosen = Camera_Settings;
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        int64_t position = Get_State(CTL_VS_SLIDER + i);
        float value = Window.Shown_Value[i];
        float automatic = Get_State(CTL_VS_CHECK + i) != 0 ? 1.0f : 0.0f;
        if (position != Window.Shown_Position[i]) {
            // Moving a slider hands that property to manual control.
            value = (float)((double)position / 100.0);
            Set_State(CTL_VS_CHECK + i, 0);
            automatic = 0;
        }
        *Video_Property(&chosen, i) = value;
        *Video_Property_Auto(&chosen, i) = automatic;
    }
    Send_Camera_Settings(chosen);
    Show_Camera_Settings();
}

void Show_Camera_Settings() {
    if (!Camera_Settings_Window_Open()) return;
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        float value = *Video_Property(&Camera_Settings, i);
        float automatic = *Video_Property_Auto(&Camera_Settings, i);
        Set_State(CTL_VS_CHECK + i, std::nearbyint((double)automatic) != 0 ? 1 : 0);
        Set_State(CTL_VS_SLIDER + i, Slider_Position(value));
        Set_Text(CTL_VS_VALUE + i, Two_Decimals(value));
        Window.Shown_Value[i] = value;
        // What the slider really holds (it clamps values outside 0..1).
        Window.Shown_Position[i] = Get_State(CTL_VS_SLIDER + i);
    }
}

void Show_Camera_Settings_Changes() {
    const Camera_Settings_State& marks = Camera_Settings_View();
    if (marks.Close_Serial != Window.Close_Serial) {
        Window.Close_Serial = marks.Close_Serial;
        Close_Camera_Settings_Window();
    }
    if (marks.Values_Serial != Window.Values_Serial) {
        Window.Values_Serial = marks.Values_Serial;
        Show_Camera_Settings();
    }
}
