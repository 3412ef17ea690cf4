// Status bar: video state and frame rate, current document, pointer position
// and zoom, the colour and threshold state under the pointer, snapping state.
// Fields are written only when their text changed.
#pragma once

#include <string>

void Refresh_Status_Bar();
// The text field `field` (0..5) would show now.
std::string Status_Field_Text(int field);
// Widens the fields of the main window's status bar for their widest texts
// under the desktop font (the widths it was made with are minimums).
void Fit_Status_Fields();
// Forgets the cached texts (the next refresh writes every field).
void Reset_Status_Cache();
