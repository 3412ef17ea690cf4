#include "analysis/threshold_methods.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "analysis/threshold.h"
#include "analysis_helpers.h"
#include "video/emulator.h"

namespace {

struct Levels {
    std::initializer_list<std::pair<int, int64_t>> counts;  // level, pixels
    void Into(int64_t h[256]) const {
        for (int v = 0; v < 256; v++) h[v] = 0;
        for (const auto& c : counts) h[c.first] = c.second;
    }
};

}  // namespace

// Each row's cuts are worked out below; a cut t means value > t is the object.
TEST(Threshold_Methods, CutsOfHandMadeHistograms) {
    struct Case {
        const char* what;
        Levels levels;
        int32_t otsu, triangle, li, isodata, mean;
    } cases[] = {
        // Mean 1265 / 15 = 84.3. Otsu: every t in the gap 52..149 splits 10 | 5
        // pixels with means 51 | 151 (variance 50 x 100^2), above t = 51 (56 x 72^2)
        // and t = 150 (44 x 91.25^2); the first is 52. Triangle: peak 51 (6), longer
        // tail to 152, width 101; the farthest level below the line is the empty
        // 53 (length 99 x 6 / 101.2). Li (levels - 50): from the mean 34.3 the means
        // are 1 and 101, step (1 - 101) / ln(1 / 101) = 21.67, which repeats: 50 + 21.
        // IsoData: in the gap (51 + 151) / 2 - t is 0 at t = 101.
        {"bimodal", {{{50, 2}, {51, 6}, {52, 2}, {150, 1}, {151, 3}, {152, 1}}}, 52, 53, 71, 101, 84},
        // Sum 91 of 8 pixels: mean 11.375. Otsu variances t = 10, 11, 12: 17.3,
        // 35.3, 24.1. Triangle: peak 11, longer tail to 13, width 2, norm sqrt(20):
        // lengths of 13 and 12 are -0.45 and 0. Li (levels - 10) from 1.375: means
        // 0.8 and 2.33 give 1.43, within 0.5: 10 + 1. IsoData at 10: (10 + 11.57) / 2
        // - 10 = 0.79.
        {"skewed", {{{10, 1}, {11, 4}, {12, 2}, {13, 1}}}, 11, 12, 11, 10, 11},
        // Tails of equal length: Triangle walks the low one (peak 12, width 2, norm
        // sqrt(29)): lengths of 10 and 11 are -0.37 and 0.19; from the high side 13 would win.
        {"even tails", {{{10, 1}, {11, 2}, {12, 5}, {13, 1}, {14, 1}}}, 11, 11, 11, 11, 11},
        // Two levels: Otsu's variance is equal everywhere, the first wins; Li's
        // background is the lowest level alone (mean 0), so it steps to 0.
        // Triangle: peak 20, only 200 is on the far side: its length is negative
        // and every empty level's is positive, rising towards the peak: 21.
        {"two far levels", {{{20, 10}, {200, 10}}}, 20, 21, 20, 110, 110},
        // Triangle has only level 101 to try. IsoData at 100: (100 + 101) / 2 - 100 = 0.5.
        {"two next levels", {{{100, 5}, {101, 3}}}, 100, 101, 100, 100, 100},
        {"one level", {{{42, 7}}}, 42, 42, 42, 42, 42},
        {"one level at the top", {{{255, 3}}}, 255, 255, 255, 255, 255},
        {"all zero", {{}}, 0, 0, 0, 0, 0},
        {"negative counts ignored", {{{10, -5}, {42, 7}}}, 42, 42, 42, 42, 42},
        {"extremes", {{{0, 1}, {255, 1}}}, 0, 1, 0, 127, 127},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int64_t h[256];
        c.levels.Into(h);
        EXPECT_EQ(Threshold_Of_Histogram(METHOD_OTSU, h), c.otsu);
        EXPECT_EQ(Threshold_Of_Histogram(METHOD_TRIANGLE, h), c.triangle);
        EXPECT_EQ(Threshold_Of_Histogram(METHOD_LI, h), c.li);
        EXPECT_EQ(Threshold_Of_Histogram(METHOD_ISODATA, h), c.isodata);
        EXPECT_EQ(Threshold_Of_Histogram(METHOD_MEAN, h), c.mean);
    }
}

// Two levels a < b with the Otsu cut at a: the dark objects are the pixels
// at b, the bright ones those at a.
TEST(Threshold_Methods, SliderPerModeAndPolarity) {
    struct Case {
        uint8_t mode;
        Object_Polarity polarity;
        int a, b;
        bool valid;
        int32_t slider;
        bool exact;
    } cases[] = {
        {MODE_CYAN, OBJECTS_DARK, 20, 200, true, 21, true},
        {MODE_YELLOW, OBJECTS_BRIGHT, 20, 200, true, 21, true},
        {MODE_BLACK, OBJECTS_DARK, 20, 200, true, 22, true},  // black hits value >= slider - 1
        {MODE_BLACK, OBJECTS_BRIGHT, 20, 21, true, 22, true},
        {MODE_MAGENTA, OBJECTS_DARK, 0, 1, true, 1, true},
        {MODE_MAGENTA, OBJECTS_DARK, 254, 255, true, 255, true},
        {MODE_BLACK, OBJECTS_DARK, 253, 255, true, 255, true},
        // The cut 254 would need 256 in black mode: 255 also takes the 254s.
        {MODE_BLACK, OBJECTS_DARK, 254, 255, true, 255, false},
        {MODE_BLACK, OBJECTS_BRIGHT, 254, 255, true, 255, false},
        // One level at 255: nothing is above the cut, but the slider's top still hits 255.
        {MODE_CYAN, OBJECTS_DARK, 255, 255, true, 255, false},
        {MODE_CYAN, OBJECTS_BRIGHT, 255, 255, true, 255, false},
        {MODE_CYAN, OBJECTS_BRIGHT, 254, 254, true, 255, true},
        {MODE_NONE, OBJECTS_DARK, 20, 200, false, SLIDER_MIN, false},
        {MODE_ANY, OBJECTS_DARK, 20, 200, false, SLIDER_MIN, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " polarity " << int(c.polarity) << " levels "
                                        << c.a << ", " << c.b);
        int64_t h[256] = {};
        h[c.a] += 3;
        h[c.b] += 5;
        const Slider_Choice choice = Threshold_For_Slider(METHOD_OTSU, h, c.mode, c.polarity);
        EXPECT_EQ(choice.Valid, c.valid);
        EXPECT_EQ(choice.Slider, c.slider);
        EXPECT_EQ(choice.Exact, c.exact);
        if (c.valid) {
            EXPECT_EQ(choice.Cut, c.a);
        }
    }
}

// The slider each method gives, set on a document and processed, hits exactly
// the pixels above the cut; the bright rule hits the rest.
TEST(Threshold_Methods, SliderHitsAreTheMethodsObjects) {
    Doc_Info& doc = Make_Document(64, 40);
    // Two clusters in every colour: a light pink background and dark
    // blue-green spots, with some spread.
    for (int32_t y = 0; y < 40; y++)
        for (int32_t x = 0; x < 64; x++) {
            const bool spot = (x / 8 + y / 8) % 3 == 0;
            const uint8_t d = (uint8_t)((x * 7 + y * 3) % 23);
            if (spot) Fill_Rect(doc, x, y, x, y, (uint8_t)(30 + d), (uint8_t)(90 + d), (uint8_t)(120 + 2 * d));
            else Fill_Rect(doc, x, y, x, y, (uint8_t)(250 - d / 4), (uint8_t)(200 + d), (uint8_t)(210 + d / 2));
        }
    for (uint8_t mode = MODE_CYAN; mode <= MODE_BLACK; mode++) {
        int64_t h[256];
        Mode_Histogram(doc.Image_Buffer.data(), 64 * 40, mode, h);
        for (uint8_t method = 0; method < THRESHOLD_METHODS; method++) {
            SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " " << Threshold_Method_Name(method));
            const Slider_Choice dark = Threshold_For_Slider(method, h, mode);
            const Slider_Choice bright = Threshold_For_Slider(method, h, mode, OBJECTS_BRIGHT);
            ASSERT_TRUE(dark.Exact);
            EXPECT_EQ(bright.Slider, dark.Slider);
            int64_t above = 0, bright_hits = 0;
            for (int v = 0; v < 256; v++) {
                if (v > dark.Cut) above += h[v];
                if (Slider_Hits_Value(mode, OBJECTS_BRIGHT, bright.Slider, (uint8_t)v)) bright_hits += h[v];
            }
            doc.Processing.Mode = mode;
            *Threshold_Of_Mode(&doc.Processing, mode) = (uint8_t)dark.Slider;
            Process_Image();
            EXPECT_EQ(doc.Measure.Hit_Pixels, above);
            EXPECT_EQ(bright_hits, 64 * 40 - above);
        }
    }
}

// Colour values of (R, G, B): C = max - R, M = max - G, Y = max - B, K = 255 - max.
TEST(Threshold_Methods, HistogramPerMode) {
    struct Pixel {
        uint8_t r, g, b;
        int pixels;
        uint8_t c, m, y, k;
    } pixels[] = {
        {255, 0, 0, 3, 0, 255, 255, 0},
        {10, 20, 30, 2, 20, 10, 0, 225},
        {0, 0, 0, 4, 0, 0, 0, 255},
        {200, 200, 200, 1, 0, 0, 0, 55},
    };
    std::vector<uint8_t> bgra;
    for (const Pixel& p : pixels)
        for (int i = 0; i < p.pixels; i++) bgra.insert(bgra.end(), {p.b, p.g, p.r, 255});
    const int64_t n = (int64_t)bgra.size() / 4;
    for (uint8_t mode = MODE_NONE; mode <= MODE_ANY; mode++) {
        SCOPED_TRACE(testing::Message() << "mode " << int(mode));
        int64_t expected[256] = {};
        for (const Pixel& p : pixels) {
            const uint8_t values[4] = {p.c, p.m, p.y, p.k};
            if (mode >= MODE_CYAN && mode <= MODE_BLACK) expected[values[mode - 1]] += p.pixels;
        }
        int64_t h[256];
        for (int v = 0; v < 256; v++) h[v] = -1;
        Mode_Histogram(bgra.data(), n, mode, h);
        for (int v = 0; v < 256; v++) EXPECT_EQ(h[v], expected[v]) << "level " << v;
    }
    int64_t h[256];
    Mode_Histogram(nullptr, 5, MODE_CYAN, h);
    for (int v = 0; v < 256; v++) EXPECT_EQ(h[v], 0);
}

// Prints the cuts and sliders for the comparison with the reference
// implementations (tools/compare_thresholds.py): the histograms of the file
// named by TRELLUM_THRESHOLD_HISTOGRAMS (lines "name c0 ... c255") and those
// of the sample pictures in every colour mode.
TEST(Threshold_Methods, DISABLED_PrintForComparison) {
    std::vector<std::pair<std::string, std::vector<int64_t>>> rows;
    const char* file = getenv("TRELLUM_THRESHOLD_HISTOGRAMS");
    if (file) {
        std::ifstream in(file);
        std::string name;
        while (in >> name) {
            std::vector<int64_t> h(256);
            for (int64_t& c : h) in >> c;
            if (!in) break;
            rows.emplace_back(name, h);
        }
    }
    static const char* const mode_names[5] = {"", "C", "M", "Y", "K"};
    for (int64_t index = 0;; index++) {
        std::string name;
        int32_t w = 0, h = 0;
        std::vector<uint8_t> pixels;
        if (!Read_Sample(index, &name, &w, &h, &pixels)) break;
        for (uint8_t mode = MODE_CYAN; mode <= MODE_BLACK; mode++) {
            std::vector<int64_t> hist(256);
            Mode_Histogram(pixels.data(), (int64_t)w * h, mode, hist.data());
            rows.emplace_back("sample" + std::to_string(index) + ":" + mode_names[mode], hist);
        }
    }
    for (const auto& row : rows) {
        std::string line = "HIST " + row.first;
        for (int64_t c : row.second) line += " " + std::to_string(c);
        std::string cuts = "CUTS " + row.first;
        for (uint8_t method = 0; method < THRESHOLD_METHODS; method++) {
            const Slider_Choice k = Threshold_For_Slider(method, row.second.data(), MODE_BLACK);
            const Slider_Choice c = Threshold_For_Slider(method, row.second.data(), MODE_CYAN);
            cuts += " " + std::to_string(c.Cut) + "/" + std::to_string(c.Slider) + "/" + std::to_string(k.Slider);
        }
        printf("%s\n%s\n", line.c_str(), cuts.c_str());
    }
}
