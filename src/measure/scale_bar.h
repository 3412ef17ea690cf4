// Scale bar of an exported picture: a length from the 1-2-5 series that
// covers about a fifth of the picture's width, in the document's unit, and
// the conversion of lengths in a unit given by its code (the exported
// pictures follow their own document, not the side panel's selection).
#pragma once

#include <cstdint>
#include <string>

struct Scale_Bar {
    double Value = 0;    // length in Unit (1, 2 or 5 times a power of ten)
    double Pixels = 0;   // the same length in picture pixels
    int64_t Unit = 0;    // unit code actually used (0..4)
    std::string Label;   // "50 µm", "0.2 mm", "100 px" (UTF-8)
};

// Chooses the bar for a picture `width` pixels wide at `ppmm` pixels per
// millimetre in unit `unit` (0 microns, 1 thou, 2 mm, 3 inches, 4 pixels; a
// code outside these is taken as millimetres). Without a usable calibration
// (not finite, 0 or below) the bar is in pixels. False when width < 1.
bool Choose_Scale_Bar(int64_t width, double ppmm, int64_t unit, Scale_Bar* out);
// The compact number of the read-outs followed by the unit's short label
// ("um", "thou", "mm", "inch", "px"), for `pixels` in `unit`; the pixel unit
// truncates toward zero as the read-outs do.
std::string Format_Length_In_Unit(double pixels, double ppmm, int64_t unit, int with_unit);
// Short label of a unit code ("mm" for a code outside 0..4).
std::string Unit_Short_Label(int64_t unit);
