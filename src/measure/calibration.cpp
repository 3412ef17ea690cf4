#include "measure/calibration.h"

#include <charconv>
#include <cmath>

#include "base/app_state.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"

double Typed_Length(const std::string& text) {
    size_t start = text.find_first_not_of(" \t");
    size_t end = text.find_last_not_of(" \t");
    if (start == std::string::npos) return 0;
    const char* first = text.data() + start;
    const char* last = text.data() + end + 1;
    // from_chars takes no "+" or hex in this format and reads "." whatever the
    // locale: "2,5" stays unreadable rather than reading as 2.
    double value = 0;
    std::from_chars_result r = std::from_chars(first, last, value, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != last) return 0;
    return std::isfinite(value) && value > 0 ? value : 0;
}

float Calibration_PPMM(double measured, double actual, int64_t unit_code) {
    if (!(actual > 0)) actual = 100;
    if (actual >= 100000) actual = 100000;
    double microns = actual;
    switch (unit_code) {
        case 1: microns = actual * 25.4; break;     // thou
        case 2: microns = actual * 1000; break;     // millimetres
        case 3: microns = actual * 25400; break;    // inches
        default: break;                             // microns; a pixel value counts as microns
    }
    return (float)(1000.0 / microns * measured);
}

float Scaled_PPMM(float ppmm, int32_t made_width, int32_t width) {
    if (made_width <= 0 || width <= 0 || made_width == width) return ppmm;
    return (float)((double)ppmm * width / made_width);
}

void Apply_Calibration_PPMM(float ppmm, int32_t made_width) {
    for (int64_t i = 1; i < JOB_SLOTS; i++) {
        if (!Jobs[i].In_Use) continue;
        if (Jobs[i].Doc.PPMM != ppmm) Mark_Document_Changed(i);
        Jobs[i].Doc.PPMM = ppmm;
    }
    Jobs[0].Doc.PPMM = Scaled_PPMM(ppmm, made_width, Jobs[0].Doc.Resolution.x);
    Live_PPMM_Width = Jobs[0].Doc.Resolution.x;
    Mark_Prefs_Changed();
    Mark_Measurement_List_Changed();
}
