// Camera properties as the video settings window edits them: the values
// live in Camera_Settings; the record last read from or sent to the device is
// kept in Camera_Settings_Sent. Both are written only by video (this module
// and the settings file). The window itself is app's: it shows the values
// again whenever Values_Serial changes, and closes whenever Close_Serial does.
#pragma once

#include <cstdint>

#include "document/doc_model.h"

extern Video_Settings Camera_Settings_Sent;

// Captions of the eighteen rows, in property order ("Brightness:" .. "Prop_Max:").
extern const char* const Camera_Property_Captions[VIDEO_PROPERTY_COUNT];

struct Camera_Settings_State {
    int64_t Values_Serial = 0;  // one more when Camera_Settings changed outside the window
    int64_t Close_Serial = 0;   // one more when the window is to close (its camera stops)
};
const Camera_Settings_State& Camera_Settings_View();

// The values changed (device read, file loaded): the window shows them again.
void Mark_Camera_Settings_Changed();
// The camera the window belongs to stops: the window is to close.
void Mark_Camera_Settings_Window_Closed();

// ---- values
// A property as the device and the slider take it: 0..1, whatever a settings
// file held (1e30 or -5 there is kept in the record and saved back as read).
float Property_In_Use(float value);
// Fills Camera_Settings from the open device (camera mode only).
void Read_Camera_Settings();
// Takes `chosen` as Camera_Settings and sends it to the device.
void Send_Camera_Settings(const Video_Settings& chosen);
