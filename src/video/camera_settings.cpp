#include "video/camera_settings.h"

#include "base/app_state.h"
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
Camera_Settings_State Window_Marks;
}  // namespace

const Camera_Settings_State& Camera_Settings_View() { return Window_Marks; }
void Mark_Camera_Settings_Changed() { Window_Marks.Values_Serial++; }
void Mark_Camera_Settings_Window_Closed() { Window_Marks.Close_Serial++; }

float Property_In_Use(float value) {
    if (!(value > 0)) return 0;  // also NaN
    return value < 1 ? value : 1;
}

void Read_Camera_Settings() {
    if (Video_Mode != VIDEO_CAMERA) return;
    // Property calls go to an open device only; without one the record stays as it is.
    int64_t device = Capture_Device_Number();
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
    Mark_Camera_Settings_Changed();
}

void Send_Camera_Settings(const Video_Settings& chosen) {
    Camera_Settings = chosen;
    int64_t device = Capture_Device_Number();
    if (device != -1) {
        for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++)
            Capture_Set_Property(device, i, Property_In_Use(*Video_Property(&Camera_Settings, i)),
                                 *Video_Property_Auto(&Camera_Settings, i) != 0 ? 1 : 0);
    }
    Camera_Settings_Sent = Camera_Settings;
}
