// Calibration: sets the pixels per millimetre of every document in use from a
// measurement of known length (the dialog that asks for it is the app's).
#pragma once

#include <cstdint>
#include <string>

// The length typed into the dialog: one decimal number above 0 ("2", "0.5",
// "1e-3"), blanks around it allowed; 0 for anything else (empty, "abc",
// "-5", "2mm", "2,5", "inf", "nan", "1e999"), which keeps OK disabled.
double Typed_Length(const std::string& text);
// New pixels per millimetre for a measured length in pixels and an actual
// length typed in unit `unit_code` (negative -> 100, 100000 or more -> 100000).
float Calibration_PPMM(double measured_pixels, double actual, int64_t unit_code);
// `ppmm` of a picture `made_width` pixels wide, on one `width` wide (another
// camera mode or binning of the same optics): scaled by width / made_width.
// Unscaled when either width is not known (0 or less).
float Scaled_PPMM(float ppmm, int32_t made_width, int32_t width);
// Sets `ppmm`, measured on a picture `made_width` pixels wide, in every
// document in use (those whose value changes count as changed) and, scaled to
// its width, in the live document; saves the preferences and marks the
// measurement list changed: what OK in the calibration dialog does.
void Apply_Calibration_PPMM(float ppmm, int32_t made_width);
