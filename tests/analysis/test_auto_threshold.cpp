#include <gtest/gtest.h>

#include <algorithm>

#include "app/analysis_panel.h"
#include "analysis/auto_threshold.h"
#include "analysis/threshold.h"
#include "analysis_helpers.h"
#include "document/settings.h"

namespace {

uint8_t* Mode_Threshold(Doc_Info& doc) {
    ProcessMode& p = doc.Processing;
    uint8_t* t[4] = {&p.Threshold_Cyan, &p.Threshold_Magenta, &p.Threshold_Yellow, &p.Threshold_Black};
    return t[p.Mode - 1];
}

void Paint_Gradients(Doc_Info& doc) {
    for (int32_t y = 0; y < doc.Resolution.y; y++)
        for (int32_t x = 0; x < doc.Resolution.x; x++)
            Fill_Rect(doc, x, y, x, y, (uint8_t)x, (uint8_t)(255 - x), (uint8_t)(y * 2));
}
void Paint_Random(Doc_Info& doc) { Random_Pixels(doc, 4242); }
void Paint_Black(Doc_Info& doc) { Fill_Rect(doc, 0, 0, doc.Resolution.x - 1, doc.Resolution.y - 1, 0, 0, 0); }
void Paint_White(Doc_Info&) {}
// 100 pixels of each black level below `levels`, then four rows of pure black:
// the first gap of the curve comes at 250 (no levels 250..254), or only at 255.
void Paint_K_Levels(Doc_Info& doc, int32_t levels) {
    for (int32_t x = 0; x < levels; x++) Fill_Rect(doc, x, 0, x, 99, 255 - x, 255 - x, 255 - x);
    Fill_Rect(doc, 0, 100, levels - 1, 103, 0, 0, 0);
}
void Paint_Gap_250(Doc_Info& doc) { Paint_K_Levels(doc, 250); }
void Paint_Gap_255(Doc_Info& doc) { Paint_K_Levels(doc, 255); }

}  // namespace

// The curve from one histogram against the literal search, which stores each
// trial threshold and runs a full processing pass; then the whole run.
TEST(Auto_Threshold, EqualsThe256PassSearch) {
    Make_Analysis_Controls();
    struct Picture {
        const char* what;
        int32_t w, h;
        void (*paint)(Doc_Info&);
        int64_t black_slider;  // expected result in the black mode, 0 = not checked
    } pictures[] = {
        {"random", 97, 61, Paint_Random, 0},       {"gradients", 256, 128, Paint_Gradients, 0},
        {"black", 31, 17, Paint_Black, 0},         {"white", 31, 17, Paint_White, 135},
        {"gap at 250", 250, 104, Paint_Gap_250, 255},  // 258 limited by the slider
        {"gap at 255", 255, 104, Paint_Gap_255, 135},
    };
    for (const Picture& pic : pictures) {
        for (uint8_t mode = 1; mode <= 4; mode++) {
            SCOPED_TRACE(testing::Message() << pic.what << ", mode " << int(mode));
            Doc_Info& doc = Make_Document(pic.w, pic.h);
            pic.paint(doc);
            doc.Processing.Mode = mode;
            int64_t expected[256], curve[256];
            for (int i = 0; i < 256; i++) {
                *Mode_Threshold(doc) = (uint8_t)(i + 1);
                Process_Image();
                expected[i] = doc.Measure.Hit_Pixels == 0 ? 1 : doc.Measure.Hit_Pixels;
            }
            Auto_Threshold_Curve(doc, curve);
            for (int i = 0; i < 256; i++) ASSERT_EQ(curve[i], expected[i]) << "A[" << i << "]";

            const int64_t want = std::min<int64_t>(255, Auto_Threshold_Choose(expected).Threshold);
            if (mode == MODE_BLACK && pic.black_slider) {
                EXPECT_EQ(want, pic.black_slider);
            }
            Auto_Threshold();
            EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), want);
            EXPECT_EQ(*Mode_Threshold(doc), want);
            EXPECT_EQ(Get_Text(CTL_THRESHOLD_FRAME), "Threshold [" + std::to_string(want) + "]");
        }
    }
}

TEST(Auto_Threshold, LogsAndIgnoresModesWithoutAChannel) {
    Make_Analysis_Controls();
    Open_Test_Log();
    Doc_Info& doc = Make_Document(40, 30);  // white: nothing in any channel
    doc.Processing.Mode = MODE_CYAN;
    Auto_Threshold();
    EXPECT_EQ(doc.Processing.Threshold_Cyan, 135);
    std::vector<std::string> lines = Log_Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "FirstPC below 10: 0");
    EXPECT_EQ(lines[1], "FirstPC above 100: 256");
    EXPECT_EQ(lines[2].rfind("Time for auto threshold: ", 0), 0u) << lines[2];

    for (uint8_t mode : {0, 5, 9}) {
        doc.Processing.Mode = mode;
        Set_State(CTL_THRESHOLD_SLIDER, 42);
        Auto_Threshold();
        EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), 42);
    }
    EXPECT_EQ(Log_Lines().size(), 3u);
    Log_Close();
}

// The settings' method replaces the own rule: the slider takes the method's
// cut mapped to the mode (black one level more lenient), and the hits are the
// pixels above the cut.
TEST(Auto_Threshold, MethodChosenInTheSettings) {
    Make_Analysis_Controls();
    Open_Test_Log();
    Doc_Info& doc = Make_Document(10, 10);
    Fill_Rect(doc, 0, 0, 4, 9, 215, 215, 215);  // K 40
    Fill_Rect(doc, 5, 0, 9, 9, 55, 55, 55);     // K 200
    doc.Processing.Mode = MODE_BLACK;
    struct Row {
        uint8_t method;
        int64_t slider;  // -1: the own rule's, not pinned here
        const char* log;
    } rows[] = {{1, 42, "Automatic threshold, otsu: cut at 40"},
                {5, 122, "Automatic threshold, mean: cut at 120"},
                {0, -1, "FirstPC below 10: "}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.log);
        User_Settings settings = Settings_View();
        settings.Threshold_Method = r.method;
        Store_Settings(settings);
        Auto_Threshold();
        if (r.slider >= 0) {
            EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), r.slider);
        }
        EXPECT_EQ(Log_Lines().front().rfind(r.log, 0), 0u) << Log_Lines().front();
        Process_Image();
        if (r.slider >= 0) {
            EXPECT_EQ(doc.Measure.Hit_Pixels, 50);
        }
        Log_Close();
        Open_Test_Log();
    }
    Reset_Settings();
    Log_Close();
}

// The curve of every compiled histogram level equals the 256 trial passes of
// the baseline processing, in all four modes, on pictures whose length ends
// within a block and a vector, and on a flat one.
TEST(Auto_Threshold, EveryKernelLevelEqualsThe256PassSearch) {
    struct Picture {
        const char* what;
        int32_t w, h;
        void (*paint)(Doc_Info&);
    } pictures[] = {{"random", 97, 61, Paint_Random},       {"gradients", 256, 128, Paint_Gradients},
                    {"gap at 250", 250, 104, Paint_Gap_250}, {"black", 3, 1, Paint_Black},
                    {"one pixel", 1, 1, Paint_Random},       {"white", 70, 50, Paint_White}};
    for (const Picture& pic : pictures) {
        for (uint8_t mode = 1; mode <= 4; mode++) {
            Doc_Info& doc = Make_Document(pic.w, pic.h);
            pic.paint(doc);
            doc.Processing.Mode = mode;
            ASSERT_TRUE(Set_Kernel_Level(KERNEL_BASELINE));
            int64_t expected[256];
            for (int i = 0; i < 256; i++) {
                *Mode_Threshold(doc) = (uint8_t)(i + 1);
                Process_Image();
                expected[i] = doc.Measure.Hit_Pixels == 0 ? 1 : doc.Measure.Hit_Pixels;
            }
            for (uint8_t level = 0; level < KERNEL_LEVELS; level++) {
                if (!Set_Kernel_Level(level)) continue;
                SCOPED_TRACE(testing::Message() << pic.what << ", mode " << int(mode) << ", "
                                                << Kernel_Level_Name(level));
                int64_t curve[256];
                Auto_Threshold_Curve(doc, curve);
                for (int i = 0; i < 256; i++) ASSERT_EQ(curve[i], expected[i]) << "A[" << i << "]";
            }
        }
    }
    Set_Kernel_Level(Best_Kernel_Level());
}

// The choice from curves whose answers are worked out by hand.
TEST(Auto_Threshold, ChoiceFromKnownCurves) {
    struct Row {
        const char* what;
        int64_t (*curve)(int i);
        int64_t first_below_10, first_above_100, threshold;
    } rows[] = {
        // the bands of i < 222 are empty (C = 1000); from 222 on B = A[i] - A[255] = 999
        {"dense to 254", [](int i) -> int64_t { return i < 255 ? 1000 : 1; }, 222, 256, 230},
        // flat to 40, then 1000 fewer per level down to 10000 at 80, then flat: C[13] is exactly 10
        {"plateau, slope, plateau",
         [](int i) -> int64_t { return i <= 40 ? 50000 : i <= 80 ? 50000 - 1000 * (i - 40) : 10000; }, 14, 80,
         88},
        // C stays at or below 100 until the last entry, whose band is always empty (B = 1, C = 235)
        {"gap only at 255", [](int i) -> int64_t { return 1000 - 3 * i; }, 14, 255, 135},
        {"gap at 250", [](int i) -> int64_t { return i <= 250 ? 1000 - 3 * i : 250; }, 14, 250, 258},
        {"never below 10", [](int) -> int64_t { return 5000; }, 256, 256, 135},
        {"no hits at all", [](int) -> int64_t { return 1; }, 0, 256, 135},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        int64_t A[256];
        for (int i = 0; i < 256; i++) A[i] = r.curve(i);
        const Auto_Threshold_Choice c = Auto_Threshold_Choose(A);
        EXPECT_EQ(c.First_Below_10, r.first_below_10);
        EXPECT_EQ(c.First_Above_100, r.first_above_100);
        EXPECT_EQ(c.Threshold, r.threshold);
    }
}
