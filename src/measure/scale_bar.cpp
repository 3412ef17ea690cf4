#include "measure/scale_bar.h"

#include <cmath>
#include <cstdio>

#include "base/unit_table.h"
#include "measure/units.h"

namespace {

int64_t Usable_Unit(int64_t unit) { return unit >= UNIT_MICRONS && unit <= UNIT_PIXELS ? unit : UNIT_MILLIMETRES; }

bool Usable_Calibration(double ppmm) { return std::isfinite(ppmm) && ppmm > 0; }

// Unit lengths per picture pixel (the read-outs' factors).
double Units_Per_Pixel(double ppmm, int64_t unit) {
    if (Usable_Unit(unit) == UNIT_PIXELS) return 1.0;
    const Unit_Info* info = Unit_Info_Of(Usable_Unit(unit));
    return info->Multiply / (info->Divide * ppmm);
}

const char* Bar_Symbol(int64_t unit) { return Unit_Info_Of(Usable_Unit(unit))->Bar; }

}  // namespace

std::string Unit_Short_Label(int64_t unit) { return Unit_Info_Of(Usable_Unit(unit))->Label; }

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
