// Camera-settings file: the current camera settings (Camera_Settings) saved
// to and loaded from a ".VSF" file holding one Video_Settings JSON object,
// with a warning when a loaded file was made for another capture device.
//
// A loaded property or automatic flag outside 0..1 (a file may hold 1e30 or
// -5) is kept in the record and saved back as read; the sliders and the
// device get it limited to 0..1. Non-numbers are refused by the reader (0).
#pragma once

#include <string>

#include "document/doc_model.h"

// The current camera settings, shown and edited by the video settings window.
extern Video_Settings Camera_Settings;

// The window's "Save" and "Load" buttons.
void Save_Camera_Settings();
void Load_Camera_Settings();

// The name with ".VSF" appended unless it already ends so, in any case.
std::string Camera_Settings_File_Name(const std::string& typed);
