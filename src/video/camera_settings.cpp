#include "video/camera_settings.h"

#include <cmath>
#include <cstdio>

#include "base/app_state.h"
#include "base/control_ids.h"
#include "platform/platform.h"
#include "video/camera_settings_file.h"
#include "video/capture_lib.h"
#include "video/capture_thread.h"

Video_Settings Camera_Settings_Sent;

const char* const Camera_Property_Captions[VIDEO_PROPERTY_COUNT] = {
    "Brightness:", "Contrast:", "Hue:", "Saturation:", "Sharpness:", "Gamma:",
    "ColorEnable:", "WhiteBalance:", "BacklightCompensation:", "Gain:", "Pan:", "Tilt:",
    "Roll:", "Zoom:", "Exposure:", "Iris:", "Focus:", "Prop_Max:",
};

namespace {

// What each row shows now: the value behind its slider and the slider
// position it was given. A slider still at that position was not moved, so
// its exact value is kept instead of the 1/100 step the slider can express.
float Shown_Value[VIDEO_PROPERTY_COUNT];
int64_t Shown_Position[VIDEO_PROPERTY_COUNT];

// A property as the device and the slider take it: 0..1, whatever a settings
// file held (1e30 or -5 there is kept in the record and saved back as read).
float Property_In_Use(float value) {
    if (!(value > 0)) return 0;  // also NaN
    return value < 1 ? value : 1;
}

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
        Shown_Value[i] = 0;
        Shown_Position[i] = 0;
    }
    Create_Control(WINDOW_VIDEO_SETTINGS, CTL_VS_LOAD, CONTROL_BUTTON, 4, 374, 80, 22, "Load");
    Create_Control(WINDOW_VIDEO_SETTINGS, CTL_VS_SAVE, CONTROL_BUTTON, 90, 374, 80, 22, "Save");
    Read_Camera_Settings();
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

void Read_Camera_Settings() {
    if (Video_Mode != VIDEO_CAMERA) return;
    // Property calls go to an open device only; without one the record stays as it is.
    int64_t device = Capture_Device.load();
    if (device != -1) {
        Camera_Settings.Name = Last_Device;
        for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
            float value = Capture_Get_Property_Value(device, i);
            float automatic = Capture_Get_Property_Auto(device, i) != 0 ? 1.0f : 0.0f;
            if (value == -1.0f) {  // the device does not support this property
                value = 0;
                automatic = 1.0f;
            }
            *Video_Property(&Camera_Settings, i) = value;
            *Video_Property_Auto(&Camera_Settings, i) = automatic;
        }
    }
    Camera_Settings_Sent = Camera_Settings;
    Show_Camera_Settings();
}

void Apply_Camera_Settings() {
    if (!Camera_Settings_Window_Open()) return;  // closed controls read as 0 and would wipe the record
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        int64_t position = Get_State(CTL_VS_SLIDER + i);
        float value = Shown_Value[i];
        float automatic = Get_State(CTL_VS_CHECK + i) != 0 ? 1.0f : 0.0f;
        if (position != Shown_Position[i]) {
            // Moving a slider hands that property to manual control.
            value = (float)((double)position / 100.0);
            Set_State(CTL_VS_CHECK + i, 0);
            automatic = 0;
        }
        *Video_Property(&Camera_Settings, i) = value;
        *Video_Property_Auto(&Camera_Settings, i) = automatic;
    }
    int64_t device = Capture_Device.load();
    if (device != -1) {
        for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++)
            Capture_Set_Property(device, i, Property_In_Use(*Video_Property(&Camera_Settings, i)),
                                 Get_State(CTL_VS_CHECK + i) != 0 ? 1 : 0);
    }
    Camera_Settings_Sent = Camera_Settings;
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
        Shown_Value[i] = value;
        // What the slider really holds (it clamps values outside 0..1).
        Shown_Position[i] = Get_State(CTL_VS_SLIDER + i);
    }
}
