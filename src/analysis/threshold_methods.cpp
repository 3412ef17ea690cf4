#include "analysis/threshold_methods.h"

#include <cmath>

#include "analysis/analysis_kernels.h"
#include "analysis/threshold.h"

namespace {

// The occupied stretch of a histogram: counts without negatives, the lowest
// and highest level with pixels (lo > hi when there are none) and the totals.
struct Histogram_Span {
    int64_t Count[256];
    int32_t Lo = 256, Hi = -1;
    int64_t Pixels = 0;
    int64_t Level_Sum = 0;  // sum of level x count, below 2^63 for any picture that fits in memory
};

Histogram_Span Span_Of(const int64_t histogram[256]) {
    Histogram_Span s;
    for (int32_t v = 0; v < 256; v++) {
        s.Count[v] = histogram[v] > 0 ? histogram[v] : 0;
        if (s.Count[v] == 0) continue;
        if (s.Lo > v) s.Lo = v;
        s.Hi = v;
        s.Pixels += s.Count[v];
        s.Level_Sum += s.Count[v] * v;
    }
    return s;
}

// The sums below stay whole numbers under 2^53, so they are exact in double
// precision; the products, quotients and their order follow the reference
// implementations so that near-ties fall the same way.
int32_t Otsu(const Histogram_Span& s) {
    double w1 = 0, m1 = 0;
    const double total = (double)s.Pixels, total_sum = (double)s.Level_Sum;
    double best = -1;
    int32_t cut = s.Lo;
    for (int32_t t = s.Lo; t < s.Hi; t++) {
        w1 += (double)s.Count[t];
        m1 += (double)s.Count[t] * t;
        const double w2 = total - w1, mean1 = m1 / w1, mean2 = (total_sum - m1) / w2;
        const double d = mean1 - mean2;
        const double variance = w1 * w2 * (d * d);
        if (variance > best) {  // the first of equal maxima
            best = variance;
            cut = t;
        }
    }
    return cut;
}

int32_t Triangle(const Histogram_Span& s) {
    const int32_t bins = s.Hi - s.Lo + 1;
    int32_t peak = 0;
    for (int32_t i = 1; i < bins; i++)
        if (s.Count[s.Lo + i] > s.Count[s.Lo + peak]) peak = i;
    // The line runs to the end of the longer tail; the histogram is walked
    // from that end so that equal distances keep the reference's choice.
    const bool flip = peak < bins - 1 - peak;
    const int32_t width = flip ? bins - 1 - peak : peak;
    if (width == 0) return s.Lo;  // one occupied level
    const int64_t height = s.Count[s.Lo + peak];
    const double norm = std::sqrt((double)(height * height + (int64_t)width * width));
    const double h = (double)height / norm, w = (double)width / norm;
    double best = 0;
    int32_t arg = -1;
    for (int32_t x = 0; x < width; x++) {
        const int64_t y = flip ? s.Count[s.Hi - x] : s.Count[s.Lo + x];
        const double length = h * x - w * (double)y;
        if (arg < 0 || length > best) {
            best = length;
            arg = x;
        }
    }
    return flip ? s.Hi - arg : s.Lo + arg;
}

// On levels shifted down by Lo, as the reference does (the logarithms make
// the result depend on the origin).
int32_t Li(const Histogram_Span& s) {
    if (s.Lo == s.Hi) return s.Lo;
    const int32_t top = s.Hi - s.Lo;
    const double tolerance = 0.5;
    double t_next = (double)(s.Level_Sum - s.Lo * s.Pixels) / (double)s.Pixels;
    double t_curr = -2 * tolerance;
    // The step always lands between the two means, so it cannot run away;
    // the bound only keeps a pathological oscillation finite.
    for (int32_t iteration = 0; iteration < 1000 && std::fabs(t_next - t_curr) > tolerance; iteration++) {
        t_curr = t_next;
        int64_t n_back = 0, sum_back = 0, n_fore = 0, sum_fore = 0;
        for (int32_t x = 0; x <= top; x++) {
            const int64_t c = s.Count[s.Lo + x];
            if ((double)x > t_curr) n_fore += c, sum_fore += c * x;
            else n_back += c, sum_back += c * x;
        }
        if (n_fore == 0 || n_back == 0) break;  // cannot happen with t between the means; no division by 0
        const double mean_back = (double)sum_back / (double)n_back;
        const double mean_fore = (double)sum_fore / (double)n_fore;
        // A background of the lowest level alone has mean 0 and log -infinity:
        // the step then goes to 0 and stays there.
        t_next = mean_back > 0 ? (mean_back - mean_fore) / (std::log(mean_back) - std::log(mean_fore)) : 0.0;
    }
    if (!(t_next >= 0)) t_next = 0;
    const int32_t cut = s.Lo + (int32_t)std::floor(t_next);
    return cut < s.Hi ? cut : s.Hi - 1;
}

int32_t IsoData(const Histogram_Span& s) {
    if (s.Lo == s.Hi) return s.Lo;
    int64_t n_low = 0, sum_low = 0;
    int32_t first_below_one = s.Hi - 1;
    bool seen_below_one = false;
    for (int32_t t = s.Lo; t < s.Hi; t++) {
        n_low += s.Count[t];
        sum_low += s.Count[t] * t;
        const double low = (double)sum_low / (double)n_low;
        const double high = (double)(s.Level_Sum - sum_low) / (double)(s.Pixels - n_low);
        const double distance = (low + high) / 2.0 - t;
        if (distance >= 0 && distance < 1) return t;
        if (!seen_below_one && distance < 1) first_below_one = t, seen_below_one = true;
    }
    // Exact arithmetic always finds one (the distance starts above 0, ends
    // below 1 and drops by at most 1 a level); rounding could only skip a
    // distance of exactly 0, at the first level the distance fell below 1.
    return first_below_one;
}

}  // namespace

const char* Threshold_Method_Name(uint8_t method) {
    static const char* const names[THRESHOLD_METHODS] = {"otsu", "triangle", "li", "isodata", "mean"};
    return method < THRESHOLD_METHODS ? names[method] : "";
}

void Mode_Histogram(const uint8_t* src, int64_t n, uint8_t mode, int64_t histogram[256]) {
    Channel_Histogram_Kernel(src, src ? n : 0, mode, histogram);
}

int32_t Threshold_Of_Histogram(uint8_t method, const int64_t histogram[256]) {
    const Histogram_Span s = Span_Of(histogram);
    if (s.Pixels == 0) return 0;
    switch (method) {
        case METHOD_OTSU: return Otsu(s);
        case METHOD_TRIANGLE: return Triangle(s);
        case METHOD_LI: return Li(s);
        case METHOD_ISODATA: return IsoData(s);
        case METHOD_MEAN: return (int32_t)(s.Level_Sum / s.Pixels);
        default: return 0;
    }
}

bool Slider_Hits_Value(uint8_t mode, Object_Polarity polarity, int32_t slider, uint8_t v) {
    if (mode < MODE_CYAN || mode > MODE_BLACK) return false;
    // The stored byte and the limit wrap as in the processing pass.
    const bool dark_hit = v > Hit_Limit(mode, (uint8_t)slider);
    return polarity == OBJECTS_BRIGHT ? !dark_hit : dark_hit;
}

Slider_Choice Threshold_For_Slider(uint8_t method, const int64_t histogram[256], uint8_t mode,
                                   Object_Polarity polarity) {
    Slider_Choice choice;
    if (mode < MODE_CYAN || mode > MODE_BLACK) return choice;
    choice.Valid = true;
    choice.Cut = Threshold_Of_Histogram(method, histogram);
    // Dark hits are value >= slider (value >= slider - 1 in black mode), so
    // value > t needs t + 1 (t + 2); the bright rule is their complement at
    // the same value, value <= t.
    int32_t slider = choice.Cut + (mode == MODE_BLACK ? 2 : 1);
    if (slider < SLIDER_MIN) slider = SLIDER_MIN;
    if (slider > SLIDER_MAX) slider = SLIDER_MAX;
    choice.Slider = slider;
    choice.Exact = true;
    for (int32_t v = 0; v < 256; v++) {
        if (histogram[v] <= 0) continue;
        const bool object = polarity == OBJECTS_BRIGHT ? v <= choice.Cut : v > choice.Cut;
        if (Slider_Hits_Value(mode, polarity, slider, (uint8_t)v) != object) choice.Exact = false;
    }
    return choice;
}
