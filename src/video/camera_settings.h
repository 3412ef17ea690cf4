// Video settings window: one row per capture property (caption, slider
// 0..100, "automatic" check box, value text), plus "Load" and "Save" for
// camera-settings files. The values live in Camera_Settings; the record last
// read from or sent to the device is kept in Camera_Settings_Sent.
#pragma once

#include <cstdint>

#include "document/doc_model.h"

struct Platform_Event;

extern Video_Settings Camera_Settings_Sent;

// Captions of the eighteen rows, in property order ("Brightness:" .. "Prop_Max:").
extern const char* const Camera_Property_Captions[VIDEO_PROPERTY_COUNT];

// ---- window
// Builds the window and reads the device; does nothing while it is open.
void Open_Camera_Settings_Window();
void Close_Camera_Settings_Window();
bool Camera_Settings_Window_Open();
// Close box, "Load" and "Save" are handled here. Returns 1 for a slider or
// check-box event: the caller then drains the pending events and calls
// Apply_Camera_Settings once.
int Camera_Settings_Event(const Platform_Event& event);

// ---- values
// Fills Camera_Settings from the open device (camera mode only).
void Read_Camera_Settings();
// Takes the window's controls into Camera_Settings and sends them to the device.
void Apply_Camera_Settings();
// Sets the window's controls from Camera_Settings (nothing while closed).
void Show_Camera_Settings();
