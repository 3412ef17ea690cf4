#include "measure/units.h"

#include <cmath>
#include <cstdio>

#include "document/doc_model.h"
#include "document/settings.h"
#include "platform/platform.h"

int64_t Current_Unit_Code() {
    int64_t state = Settings_View().Unit;
    if (state < 0 || state >= UNIT_COUNT) return -1;
    return state;
}

std::string Unit_Label() {
    const Unit_Info* unit = Unit_Info_Of(Current_Unit_Code());
    return unit ? unit->Label : "";
}

std::string Unit_Caption() {
    const Unit_Info* unit = Unit_Info_Of(Current_Unit_Code());
    return unit ? unit->Caption : "";
}

std::string Unit_Name(int64_t code) {
    const Unit_Info* unit = Unit_Info_Of(code);
    return unit ? unit->Name : "";
}

static double Convert_In_Unit(double pixels, double ppmm, int64_t code) {
    if (code == UNIT_PIXELS) {
        // Truncation, not rounding; the calibration plays no part.
        if (!std::isfinite(pixels)) return 0.0;
        return std::trunc(pixels);
    }
    if (ppmm == 0.0) ppmm = Jobs[0].Doc.PPMM;
    return Length_In_Unit(pixels, ppmm, code);
}

double Length_In_Unit(double pixels, double ppmm, int64_t code) {
    if (code == UNIT_PIXELS) return pixels;
    double mm = pixels / ppmm;
    const Unit_Info* unit = Unit_Info_Of(code);
    // Without a valid unit the length is in millimetres.
    return unit ? mm * unit->Multiply / unit->Divide : mm;
}

double Convert_Length(float pixels, float ppmm) {
    return Convert_In_Unit((double)pixels, (double)ppmm, Current_Unit_Code());
}

std::string Format_Compact(double value) {
    std::string text;
    if (std::isnan(value)) {
        text = "NaN";
    } else if (std::isinf(value)) {
        text = value > 0 ? "+Infinity" : "-Infinity";
    } else if (value == 0.0) {
        text = "0.00";  // a negative zero loses its sign
    } else {
        // The largest finite double needs 309 digits before the point.
        char buffer[400];
        std::snprintf(buffer, sizeof buffer, "%.2f", value);
        text = buffer;
    }
    if (text.size() >= 3 && text.compare(text.size() - 3, 3, ".00") == 0) text.resize(text.size() - 3);
    if (text.size() > 6) text.resize(6);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

std::string Format_Length(double pixels, double ppmm, int with_unit) {
    int64_t code = Current_Unit_Code();
    std::string text = Format_Compact(Convert_In_Unit(pixels, ppmm, code));
    if (with_unit == 1) text += code < 0 ? "mm" : Unit_Info_Of(code)->Label;
    return text;
}

std::string Format_Converted(double value) { return Format_Compact(value) + Unit_Label(); }
