// The length units of the program in one table: their names in every place
// they are shown or written, and their factors. The codes are the item
// indices of the unit selection, also stored as a document's Measure_Unit.
#pragma once

#include <cstdint>

enum Unit_Code : int64_t {
    UNIT_MICRONS = 0,
    UNIT_THOU = 1,
    UNIT_MILLIMETRES = 2,
    UNIT_INCHES = 3,
    UNIT_PIXELS = 4,
};
const int64_t UNIT_COUNT = 5;

// The calibration of the factory preferences and of a new live picture, and
// the one a document file without a usable calibration opens with (pixels
// per millimetre).
const float FACTORY_PPMM = 100.0f;
const float OPENED_DOCUMENT_PPMM = 50.0f;

struct Unit_Info {
    const char* Name;         // item of the unit selection: "Microns"
    const char* Label;        // after numbers in read-outs and labels: "um"
    const char* Caption;      // beside input fields: "um", "in", "pixels"
    const char* Results;      // unit column of the results table: "um", "in", "px"
    const char* Bar;          // scale bar label: "\xC2\xB5m"
    const char* Tiff;         // unit= of a TIFF description: "micron"
    // Shown units = millimetres * Multiply / Divide; thou take 39.37, the
    // factor users know. Two factors, so that each conversion stays the one
    // operation it always was (mm * 1000, mm / 25.4) and its result the same
    // to the last bit. 0 / 1 for pixels, which no calibration converts.
    double Multiply;
    double Divide;
    double Exact_Millimetres;  // millimetres per unit for files (thou: 0.0254); 0 for pixels
};

// The row of a unit code, or nullptr for a code that is no unit.
const Unit_Info* Unit_Info_Of(int64_t code);
