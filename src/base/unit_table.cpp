#include "base/unit_table.h"

namespace {

const Unit_Info UNITS[UNIT_COUNT] = {
    {"Microns", "um", "um", "um", "\xC2\xB5m", "micron", 1000.0, 1.0, 1e-3},
    {"Thous", "thou", "thou", "thou", "thou", "mil", 39.37, 1.0, 0.0254},
    {"Millimetres", "mm", "mm", "mm", "mm", "mm", 1.0, 1.0, 1.0},
    {"Inches", "inch", "in", "in", "in", "inch", 1.0, 25.4, 25.4},
    {"Pixels", "px", "pixels", "px", "px", "pixel", 0.0, 1.0, 0.0},
};

}  // namespace

const Unit_Info* Unit_Info_Of(int64_t code) { return code >= 0 && code < UNIT_COUNT ? &UNITS[code] : nullptr; }
