#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/analysis_panel.h"
#include "analysis/analysis_kernels.h"
#include "analysis/threshold.h"
#include "analysis_helpers.h"

TEST(Threshold, ColourCases) {
    // pixel, mode, thresholds C M Y K, hit, grey level of a non-hit (-1 = not checked)
    struct Case {
        uint8_t r, g, b, mode, tc, tm, ty, tk;
        bool hit;
        int grey;
    } cases[] = {
        {0, 0, 0, 4, 80, 80, 80, 80, true, -1},        // black: K 255
        {0, 0, 0, 4, 80, 80, 80, 255, true, -1},       //
        {0, 0, 0, 1, 1, 1, 1, 1, false, 1},            // black has no cyan; its grey is 1
        {0, 0, 0, 3, 1, 1, 1, 1, false, 1},            //
        {255, 0, 0, 1, 1, 1, 1, 1, false, 64},         // pure red: C 0
        {255, 0, 0, 2, 80, 255, 80, 80, true, -1},     // M 255
        {255, 0, 0, 3, 80, 80, 255, 80, true, -1},     // Y 255
        {255, 255, 255, 4, 1, 1, 1, 1, false, 222},    // white: nothing anywhere
        {255, 255, 255, 5, 1, 1, 1, 1, false, 222},    //
        {176, 176, 176, 4, 80, 80, 80, 80, true, -1},  // K 79: black lets one level lower through
        {177, 177, 177, 4, 80, 80, 80, 80, false, 155},  // K 78
        {100, 180, 180, 1, 80, 80, 80, 80, true, -1},  // C 80
        {101, 180, 180, 1, 80, 80, 80, 80, false, 138},  // C 79
        {0, 255, 255, 1, 0, 80, 80, 80, false, -1},    // stored 0 wraps: no cyan hit at all
        {0, 0, 0, 4, 80, 80, 80, 0, true, -1},         // black 0: only K 255 ...
        {1, 1, 1, 4, 80, 80, 80, 0, false, -1},        // ... not K 254
        {0, 0, 0, 4, 80, 80, 80, 1, false, 1},         // black at the slider minimum is empty
        {176, 176, 176, 5, 80, 80, 80, 80, false, -1},  // any: K 79 is not enough here
        {175, 175, 175, 5, 80, 80, 80, 80, true, -1},  // K 80
        {255, 255, 255, 5, 0, 255, 255, 255, true, -1},  // a threshold 0 passes everything
        {128, 128, 128, 6, 1, 1, 1, 1, false, -1},     // unknown mode: no processing
    };
    const uint8_t hit_bytes[4] = {50, 190, 250, 0};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.r) << "," << int(c.g) << "," << int(c.b) << " mode " << int(c.mode));
        Doc_Info& doc = Make_Document(1, 1);
        Fill_Rect(doc, 0, 0, 0, 0, c.r, c.g, c.b);
        doc.Processing = {"", c.mode, c.tc, c.tm, c.ty, c.tk, 0};
        Process_Image();
        EXPECT_EQ(Hit_Mask.at(0), c.hit);
        EXPECT_EQ(doc.Measure.Hit_Pixels, c.hit);
        EXPECT_EQ(doc.Measure.Hits, c.hit ? 100.0f : 0.0f);
        const uint8_t grey[4] = {(uint8_t)c.grey, (uint8_t)c.grey, (uint8_t)c.grey, 255};
        if (c.hit) {
            EXPECT_EQ(0, memcmp(Processed_Image.data(), hit_bytes, 4));
        } else if (c.grey >= 0) {
            EXPECT_EQ(0, memcmp(Processed_Image.data(), grey, 4));
            EXPECT_EQ(0, memcmp(Processed_Image.data(), &Grey_Palette[c.grey], 4));
        } else if (c.mode > 5) {
            EXPECT_EQ(Processed_Image, doc.Image_Buffer);
        }
    }
}

TEST(Threshold, HitShareAndPointerReadings) {
    Doc_Info& doc = Make_Document(640, 480);
    Fill_Rect(doc, 0, 0, 639, 47, 0, 0, 0);  // 48 rows: 30,720 black pixels
    doc.Processing.Mode = MODE_BLACK;
    // pointer, pixel read (column, row), or -1 = off the image, readings kept
    struct Probe {
        float x, y;
        int col, row;
    } probes[] = {{10.7f, 3.2f, 10, 3}, {-0.5f, 0, 0, 0}, {639.99f, 479.5f, 639, 479}, {640, 10, -1, -1},
                  {5, -1, -1, -1}};
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << p.x << ", " << p.y);
        Cursor_Colour = 0x11223344;
        Cursor_Hit = 7;
        Point_Tool_At(MTOOL_LINE, p.x, p.y);
        Request_Redraw();
        Process_Image();
        EXPECT_FALSE(Redraw_Requested());
        EXPECT_EQ(doc.Measure.Hit_Pixels, 30720);
        EXPECT_EQ(doc.Measure.Hits, 10.0f);
        int32_t stored = 0x11223344;
        if (p.col >= 0) memcpy(&stored, &doc.Image_Buffer[((size_t)p.row * 640 + p.col) * 4], 4);
        EXPECT_EQ(Cursor_Colour, stored);
        EXPECT_EQ(Cursor_Hit, p.col < 0 ? 7 : p.row < 48);
    }
    // a picture whose buffer lost its pixels keeps to the pixels there are
    doc.Image_Buffer.resize(100 * 4);
    Process_Image();
    EXPECT_EQ(doc.Measure.Hit_Pixels, 100);
    EXPECT_EQ(Hit_Mask.size(), 640u * 480);
}

// The pass runs again only for a change it depends on: a pixel written in
// place without the slot's flag is not looked at until something else moves.
TEST(Threshold, PassRunsOnlyWhenItsSourceChanged) {
    Doc_Info& doc = Make_Document(8, 4);
    Fill_Rect(doc, 0, 0, 1, 0, 0, 0, 0);  // two black pixels
    doc.Processing.Mode = MODE_BLACK;
    Process_Image();
    ASSERT_EQ(doc.Measure.Hit_Pixels, 2);
    struct Step {
        const char* what;
        int64_t hits;  // after one more black pixel written in place, then the change
    } steps[] = {{"nothing", 2}, {"threshold", 4}, {"mode", 5}, {"image changed", 6}, {"other slot and back", 7},
                 {"bright objects", 32 - 8}, {"resized", 0}};  // a new buffer is all black: no bright objects
    int32_t next_x = 2;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        const std::string what = step.what;
        uint8_t* p = &doc.Image_Buffer[(size_t)next_x++ * 4];
        p[0] = p[1] = p[2] = 0;  // in place, no flag
        if (what == "threshold") doc.Processing.Threshold_Black = 81;
        if (what == "mode") doc.Processing.Mode = MODE_ANY;
        if (what == "image changed") Jobs[0].Image_Changed = 1;
        if (what == "other slot and back") {
            Jobs[1].In_Use = 1;
            Allocate_Image(&Jobs[1], 2, 2);
            Make_Current_Job(1);
            Process_Image();
            Make_Current_Job(0);
        }
        if (what == "bright objects") doc.Processing.Bright = 1;
        if (what == "resized") Allocate_Image(&Jobs[0], 5, 5);
        Process_Image();
        EXPECT_EQ(doc.Measure.Hit_Pixels, step.hits);
        EXPECT_EQ(Hit_Mask.size(), (size_t)(doc.Resolution.x * doc.Resolution.y));
        Jobs[0].Image_Changed = 0;
    }
}

TEST(Threshold, AnalysisButtonsAndModeZero) {
    Make_Analysis_Controls();
    Doc_Info& doc = Make_Document(37, 23);
    Random_Pixels(doc, 99);
    doc.Processing = {"", 0, 11, 22, 33, 44, 0};
    doc.Measure_Unit = 3;
    // button, mode, slider shown, tool buttons hidden
    struct Row {
        int64_t button;
        uint8_t mode;
        int64_t slider;
        bool hidden;
    } rows[] = {{3, 2, 22, false}, {6, 5, 1, false}, {1, 0, 1, true}, {5, 4, 44, false}, {2, 1, 11, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.button);
        Disable_Control(CTL_THRESHOLD_SLIDER, true);
        Take_Threshold_Label_Request();
        Select_Analysis_Mode(r.button);
        EXPECT_EQ(doc.Processing.Mode, r.mode);
        EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), r.slider);
        EXPECT_FALSE(Control_Disabled(CTL_THRESHOLD_SLIDER));
        EXPECT_EQ(Get_State(CTL_UNIT_LIST), 3);
        EXPECT_TRUE(Threshold_Label_Requested());
        for (int64_t c = CTL_ANALYSIS_FIRST; c <= CTL_ANALYSIS_LAST; c++)
            EXPECT_EQ(Get_State(c), c == CTL_ANALYSIS_FIRST + r.button - 1);
        for (int64_t c = CTL_TOOL_WIDTH; c <= CTL_TOOL_AUTO_CIRCLE; c++) EXPECT_EQ(Control_Hidden(c), r.hidden);
        if (r.mode == 5) {  // mode 5 gets a full mask from its thresholds
            Process_Image();
            EXPECT_GT(doc.Measure.Hit_Pixels, 0);
        }
        if (r.mode == 0) {  // mode 0 copies byte for byte and clears the mask left by mode 5
            Process_Image();
            EXPECT_EQ(Processed_Image, doc.Image_Buffer);
            EXPECT_EQ(Hit_Mask, std::vector<uint8_t>(37 * 23, 0));
            EXPECT_EQ(doc.Measure.Hits, 0.0f);
        }
    }
    EXPECT_EQ(doc.Processing.Threshold_Black, 44);  // only read
}

TEST(Threshold, ApplyStoresTheSliderValueForTheModeOnly) {
    Make_Analysis_Controls();
    // mode, slider set, value stored and shown (the slider keeps 1..255; modes 0 and 5 store nothing)
    const int64_t rows[][3] = {{2, 255, 255}, {3, 0, 1}, {4, 300, 255}, {5, 200, 200}, {0, 7, 7}};
    for (const auto& r : rows) {
        Doc_Info& doc = Make_Document(2, 2);
        doc.Processing.Mode = (uint8_t)r[0];
        Set_State(CTL_THRESHOLD_SLIDER, r[1]);
        Apply_Threshold();
        EXPECT_EQ(Get_Text(CTL_THRESHOLD_FRAME), "Threshold [" + std::to_string(r[2]) + "]");
        const ProcessMode& p = doc.Processing;
        const int64_t stored[4] = {p.Threshold_Cyan, p.Threshold_Magenta, p.Threshold_Yellow, p.Threshold_Black};
        for (int m = 1; m <= 4; m++) EXPECT_EQ(stored[m - 1], m == r[0] ? r[2] : 80) << r[0] << " " << m;
    }
}

namespace {

// The processing rules written out per pixel, without the kernels' shortcuts:
// K, C, M, Y from R, G, B; modes 1..4 against the threshold - 1 (- 2 for
// black) in one byte; mode 5 against each threshold - 1 as a signed number.
struct Plain_Result {
    std::vector<uint8_t> picture, mask;
    int64_t count = 0;
};
// With `bright` every pixel the rule does not hit is a hit, and the other way round.
Plain_Result Plain_Process(const std::vector<uint8_t>& src, uint8_t mode, const uint8_t t[4], bool bright = false) {
    const size_t n = src.size() / 4;
    Plain_Result out;
    out.picture = src;
    out.mask.assign(n, 0);
    if (mode < 1 || mode > 5) return out;
    for (size_t i = 0; i < n; i++) {
        const int b = src[4 * i], g = src[4 * i + 1], r = src[4 * i + 2];
        const int k = 255 - std::max(r, std::max(g, b));
        const int colour[4] = {255 - r - k, 255 - g - k, 255 - b - k, k};
        bool hit = false;
        if (mode == 5) {
            for (int c = 0; c < 4; c++) hit = hit || colour[c] > (int)t[c] - 1;
        } else {
            hit = colour[mode - 1] > (uint8_t)(t[mode - 1] - (mode == 4 ? 2 : 1));
        }
        hit = hit != bright;
        const int grey = r / 4 + g / 2 + b / 8 + 1;
        const uint8_t hit_bytes[4] = {50, 190, 250, 0};
        const uint8_t grey_bytes[4] = {(uint8_t)grey, (uint8_t)grey, (uint8_t)grey, 255};
        memcpy(&out.picture[4 * i], hit ? hit_bytes : grey_bytes, 4);
        out.mask[i] = hit;
        out.count += hit;
    }
    return out;
}

// Every combination of the channel levels where the rules turn, as pixels.
void Paint_Turning_Levels(Doc_Info& doc) {
    const uint8_t levels[15] = {0, 1, 2, 78, 79, 80, 81, 127, 128, 175, 176, 177, 253, 254, 255};
    for (int i = 0; i < 15 * 15 * 15; i++)
        Fill_Rect(doc, i % doc.Resolution.x, i / doc.Resolution.x, i % doc.Resolution.x, i / doc.Resolution.x,
                  levels[i % 15], levels[i / 15 % 15], levels[i / 225]);
}

}  // namespace

// Each compiled level of the threshold pass the processor runs gives the same
// picture, mask and count as the plain rules, in every mode, including the
// lengths that leave a tail after the last full vector.
TEST(Threshold, EveryKernelLevelEqualsThePlainRules) {
    ASSERT_TRUE(Kernel_Level_Supported(KERNEL_BASELINE));
    ASSERT_TRUE(Kernel_Level_Supported(Best_Kernel_Level()));
    EXPECT_EQ(Kernel_Level_In_Use, Best_Kernel_Level());
    EXPECT_FALSE(Set_Kernel_Level(KERNEL_LEVELS));
    struct Picture {
        const char* what;
        int32_t w, h;
        uint32_t seed;  // 0 = the turning levels
        int threshold_sets;
    } pictures[] = {{"1 x 1", 1, 1, 5, 6},        {"3 x 1", 3, 1, 6, 6},         {"37 x 23", 37, 23, 7, 6},
                    {"turning levels", 225, 15, 0, 6}, {"odd length", 1023, 3, 8, 6}, {"640 x 480", 640, 480, 9, 2}};
    const uint8_t threshold_sets[6][4] = {{80, 80, 80, 80}, {2, 254, 81, 79}, {1, 1, 1, 1},
                                          {0, 0, 0, 0},     {255, 255, 255, 255}, {0, 255, 1, 80}};
    int levels_run = 0;
    for (uint8_t level = 0; level < KERNEL_LEVELS; level++) {
        if (!Set_Kernel_Level(level)) {
            EXPECT_EQ(Kernel_Level_In_Use, Best_Kernel_Level()) << "a refused level changes nothing";
            continue;
        }
        levels_run++;
        for (const Picture& pic : pictures) {
            Doc_Info& doc = Make_Document(pic.w, pic.h);
            if (pic.seed) {
                Random_Pixels(doc, pic.seed);
            } else {
                Paint_Turning_Levels(doc);
            }
            for (uint8_t mode = 0; mode <= 6; mode++) {
                for (int set = 0; set < 2 * pic.threshold_sets; set++) {
                    const bool bright = set >= pic.threshold_sets;
                    SCOPED_TRACE(testing::Message() << Kernel_Level_Name(level) << ", " << pic.what << ", mode "
                                                    << int(mode) << ", thresholds " << set % pic.threshold_sets
                                                    << (bright ? ", bright objects" : ""));
                    const uint8_t* t = threshold_sets[set % pic.threshold_sets];
                    doc.Processing = {"", mode, t[0], t[1], t[2], t[3], 0, bright};
                    const Plain_Result want = Plain_Process(doc.Image_Buffer, mode, t, bright);
                    Process_Image();
                    ASSERT_EQ(doc.Measure.Hit_Pixels, want.count);
                    ASSERT_TRUE(Processed_Image == want.picture);
                    ASSERT_TRUE(Hit_Mask == want.mask);
                }
            }
            // the kernel on a stretch that starts one pixel in (no vector alignment)
            if (pic.w * pic.h > 1) {
                const uint8_t t[4] = {80, 80, 80, 80};
                const Plain_Result want = Plain_Process(doc.Image_Buffer, MODE_ANY, t);
                std::vector<uint8_t> out(doc.Image_Buffer.size()), mask((size_t)pic.w * pic.h);
                const int64_t n = (int64_t)pic.w * pic.h - 1;
                EXPECT_EQ(Threshold_Kernel(&doc.Image_Buffer[4], &out[4], &mask[1], n, MODE_ANY, 0, t),
                          want.count - want.mask[0]);
                EXPECT_TRUE(std::equal(out.begin() + 4, out.end(), want.picture.begin() + 4)) << pic.what;
                EXPECT_TRUE(std::equal(mask.begin() + 1, mask.end(), want.mask.begin() + 1)) << pic.what;
            }
        }
    }
    Set_Kernel_Level(Best_Kernel_Level());
    printf("kernel levels compared: %d of %d (widest here: %s)\n", levels_run, (int)KERNEL_LEVELS,
           Kernel_Level_Name(Best_Kernel_Level()));
}
