// Display units and number formatting: converts lengths measured in image
// pixels through a calibration (pixels per millimetre) into the unit chosen in
// the side panel's unit selection, and writes them in the compact number
// format of the read-outs, the measurement list and the overlay labels.
#pragma once

#include <cstdint>
#include <string>

#include "base/unit_table.h"

// ---- the unit in effect (read from the unit selection, never from a document)
// Selected item 0..4, or -1 when no valid item is selected.
int64_t Current_Unit_Code();
// Short label that follows numbers: "um", "thou", "mm", "inch", "px"; "" for no valid unit.
std::string Unit_Label();
// Label beside input fields: "um", "thou", "mm", "in", "pixels"; "" for no valid unit.
std::string Unit_Caption();
// Item text of a unit code: "Microns", "Thous", "Millimetres", "Inches", "Pixels"; "" otherwise.
std::string Unit_Name(int64_t code);

// ---- conversion and formatting
// Length of `pixels` image pixels in the current unit. A ppmm of exactly 0
// means the live document's calibration. Without a valid unit the value is
// in millimetres. The pixel unit truncates toward zero (NaN/infinite -> 0).
double Convert_Length(float pixels, float ppmm);
// Length of `pixels` in unit `code` (not the selection) at `ppmm`, for the
// results table: the pixel unit is not truncated, and a ppmm of 0 has no
// fallback (the value is then infinite). An invalid code gives millimetres.
double Length_In_Unit(double pixels, double ppmm, int64_t code);
// The converted length in the compact format, followed by the short label
// when with_unit is 1 ("mm" when no valid unit is selected).
std::string Format_Length(double pixels, double ppmm, int with_unit);
// A value already in the current unit (an area, say), compact format plus the
// short label of the current unit ("" when no valid unit is selected).
std::string Format_Converted(double value);
// Two decimals, a trailing ".00" removed, cut to 6 characters, a trailing "."
// removed. Infinities and NaN are written "+Infinity", "-Infinity", "NaN"
// before the cut; zero of either sign is "0".
std::string Format_Compact(double value);
