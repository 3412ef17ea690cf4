#include "measure/scale_bar.h"

#include <cmath>
#include <cstdio>

#include "measure/units.h"

namespace {

int64_t Usable_Unit(int64_t unit) { return unit >= UNIT_MICRONS && unit <= UNIT_PIXELS ? unit : UNIT_MILLIMETRES; }

bool Usable_Calibration(double ppmm) { return std::isfinite(ppmm) && ppmm > 0; }

// Unit lengths per picture pixel.
double Units_Per_Pixel(double ppmm, int64_t unit) {
    switch (unit) {
        case UNIT_MICRONS: return 1000.0 / ppmm;
        case UNIT_THOU: return 39.37 / ppmm;  // the read-outs' factor
        case UNIT_INCHES: return 1.0 / (25.4 * ppmm);
        case UNIT_PIXELS: return 1.0;
        default: return 1.0 / ppmm;
    }
}

const char* Bar_Symbol(int64_t unit) {
    switch (unit) {
        case UNIT_MICRONS: return "\xC2\xB5m";
        case UNIT_THOU: return "thou";
        case UNIT_INCHES: return "in";
        case UNIT_PIXELS: return "px";
        default: return "mm";
    }
}

}  // namespace

std::string Unit_Short_Label(int64_t unit) {
    switch (Usable_Unit(unit)) {
        case UNIT_MICRONS: return "um";
        case UNIT_THOU: return "thou";
        case UNIT_INCHES: return "inch";
        case UNIT_PIXELS: return "px";
        default: return "mm";
    }
}

std::string Format_Length_In_Unit(double pixels, double ppmm, int64_t unit, int with_unit) {
    double value = Length_In_Unit(pixels, ppmm, unit);
    if (Usable_Unit(unit) == UNIT_PIXELS) value = std::isfinite(value) ? std::trunc(value) : 0.0;
    std::string text = Format_Compact(value);
    if (with_unit == 1) text += Unit_Short_Label(unit);
    return text;
}

bool Choose_Scale_Bar(int64_t width, double ppmm, int64_t unit, Scale_Bar* out) {
    if (width < 1) return false;
    unit = Usable_Unit(unit);
    if (!Usable_Calibration(ppmm)) unit = UNIT_PIXELS;
    const double per_pixel = Units_Per_Pixel(ppmm, unit);
    const double target = (double)width / 5.0 * per_pixel;
    // Nearest 1-2-5 value on a logarithmic scale; a tie goes to the shorter bar.
    const int decade = (int)std::floor(std::log10(target));
    double best = 0, best_error = INFINITY;
    int best_decade = 0;
    for (int k = decade - 1; k <= decade + 1; k++) {
        for (double m : {1.0, 2.0, 5.0}) {
            double v = m * std::pow(10.0, k);
            if (unit == UNIT_PIXELS && v < 1) continue;  // no fractions of a pixel
            double error = std::fabs(std::log(v / target));
            if (error < best_error - 1e-12) {
                best = v, best_error = error, best_decade = k;
            }
        }
    }
    if (best == 0) best = 1, best_decade = 0;
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", best_decade < 0 ? -best_decade : 0, best);
    out->Value = best;
    out->Pixels = best / per_pixel;
    out->Unit = unit;
    out->Label = std::string(number) + " " + Bar_Symbol(unit);
    return true;
}
