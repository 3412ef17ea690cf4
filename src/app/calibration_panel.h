// The calibration widgets: the "Enter calibration value" dialog, the
// "Calibration:" drop-down of the Settings page and the caption of the
// measurements frame.
#pragma once

#include <cstdint>

// Works on the row selected in the measurement list; opens the "Enter
// calibration value" dialog (which says, for a circle, that the length
// asked for is its radius) and applies the new calibration on OK.
void Calibrate();
// Creates "Calibration:" and its drop-down on the Settings page.
void Create_Calibration_Row(int64_t page);
// Rebuilds the drop-down's rows and selects the one matching the live picture.
void Fill_Calibration_Choice();
// The drop-down's change: the live picture takes the chosen calibration
// (saved in the preferences); frozen documents keep theirs.
void Calibration_Chosen();
// Brings the caption and the drop-down's selection up to date (cheap when
// nothing changed; called by the periodic refresh).
void Refresh_Calibration_Display();
