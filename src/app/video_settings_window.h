// Video settings window: one row per capture property (caption, slider
// 0..100, "automatic" check box, value text), plus "Load" and "Save" for
// camera-settings files. It edits Camera_Settings (video/camera_settings.h).
#pragma once

struct Platform_Event;

// Builds the window and reads the device; does nothing while it is open.
void Open_Camera_Settings_Window();
void Close_Camera_Settings_Window();
bool Camera_Settings_Window_Open();
// Close box, "Load" and "Save" are handled here. Returns 1 for a slider or
// check-box event: the caller then drains the pending events and calls
// Apply_Camera_Settings once.
int Camera_Settings_Event(const Platform_Event& event);
// Takes the window's controls into Camera_Settings and sends them to the device.
void Apply_Camera_Settings();
// Sets the window's controls from Camera_Settings (nothing while closed).
void Show_Camera_Settings();
// Closes the window or shows the values again as video asked.
void Show_Camera_Settings_Changes();
