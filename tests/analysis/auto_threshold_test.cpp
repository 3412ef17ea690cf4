#include <gtest/gtest.h>

#include "analysis/auto_threshold.h"
#include "analysis/threshold.h"
#include "analysis_helpers.h"

namespace {

uint8_t* Mode_Threshold(Doc_Info& doc) {
    switch (doc.Processing.Mode) {
        case 1: return &doc.Processing.Threshold_Cyan;
        case 2: return &doc.Processing.Threshold_Magenta;
        case 3: return &doc.Processing.Threshold_Yellow;
        default: return &doc.Processing.Threshold_Black;
    }
}

// The literal search: one full processing per trial threshold.
void Reference_Curve(Doc_Info& doc, int64_t A[256]) {
    uint8_t* threshold = Mode_Threshold(doc);
    const uint8_t saved = *threshold;
    for (int i = 0; i < 256; i++) {
        *threshold = (uint8_t)(i + 1);
        Process_Image();
        A[i] = doc.Measure.Hit_Pixels == 0 ? 1 : doc.Measure.Hit_Pixels;
    }
    *threshold = saved;
}

struct Picture_Case {
    const char* what;
    int32_t w, h;
    void (*paint)(Doc_Info&);
};

void Paint_Random(Doc_Info& doc) { Random_Pixels(doc, 4242); }

void Paint_Gradients(Doc_Info& doc) {
    for (int32_t y = 0; y < doc.Resolution.y; y++)
        for (int32_t x = 0; x < doc.Resolution.x; x++)
            Set_Pixel(doc, x, y, (uint8_t)x, (uint8_t)(255 - x), (uint8_t)(y * 2));
}

// Pale background with a few dark, saturated blobs: a bimodal histogram.
void Paint_Particles(Doc_Info& doc) {
    std::mt19937 rng(7);
    for (int32_t y = 0; y < doc.Resolution.y; y++)
        for (int32_t x = 0; x < doc.Resolution.x; x++) {
            const uint8_t n = (uint8_t)(rng() % 12);
            Set_Pixel(doc, x, y, 225 + n, 230 + n, 220 + n);
        }
    for (int k = 0; k < 12; k++) {
        const int32_t cx = (int32_t)(rng() % 140) + 10, cy = (int32_t)(rng() % 100) + 10;
        for (int32_t y = cy - 6; y <= cy + 6; y++)
            for (int32_t x = cx - 6; x <= cx + 6; x++) Set_Pixel(doc, x, y, 40, 20 + k, 120 + k * 5);
    }
}

// The same pixel everywhere, (0, 0, 0) is 0 in cyan, magenta and yellow,
// white is 0 in black.
void Paint_Black(Doc_Info& doc) { Fill_Rect(doc, 0, 0, doc.Resolution.x - 1, doc.Resolution.y - 1, 0, 0, 0); }
void Paint_White(Doc_Info&) {}

// Every channel value 0..255 exactly once per row, in each of the four channels.
void Paint_All_Levels(Doc_Info& doc) {
    for (int32_t y = 0; y < doc.Resolution.y; y++)
        for (int32_t x = 0; x < 256; x++) {
            const uint8_t v = (uint8_t)x;
            switch (y % 4) {
                case 0: Set_Pixel(doc, x, y, 255 - v, 255, 255); break;  // C = v
                case 1: Set_Pixel(doc, x, y, 255, 255 - v, 255); break;  // M = v
                case 2: Set_Pixel(doc, x, y, 255, 255, 255 - v); break;  // Y = v
                default: Set_Pixel(doc, x, y, 255 - v, 255 - v, 255 - v);  // K = v
            }
        }
}

// 100 pixels of every black level below `levels`, then four rows of pure black.
void Paint_K_Levels(Doc_Info& doc, int32_t levels) {
    for (int32_t y = 0; y < doc.Resolution.y; y++)
        for (int32_t x = 0; x < levels; x++) {
            const uint8_t v = y < 100 ? (uint8_t)(255 - x) : 0;
            Set_Pixel(doc, x, y, v, v, v);
        }
}
// The first gap comes at 250 (no black levels 250..254) or only at 255.
void Paint_Gap_At_250(Doc_Info& doc) { Paint_K_Levels(doc, 250); }
void Paint_Gap_At_255(Doc_Info& doc) { Paint_K_Levels(doc, 255); }

}  // namespace

TEST(Auto_Threshold, CurveAndChoiceEqualThe256PassSearch) {
    Make_Analysis_Controls();
    const Picture_Case pictures[] = {
        {"random", 97, 61, Paint_Random},         {"gradients", 256, 128, Paint_Gradients},
        {"particles", 160, 120, Paint_Particles}, {"black", 31, 17, Paint_Black},
        {"white", 31, 17, Paint_White},           {"all levels", 256, 8, Paint_All_Levels},
        {"one pixel", 1, 1, Paint_Black},        {"gap at 250", 250, 104, Paint_Gap_At_250},
        {"gap at 255", 255, 104, Paint_Gap_At_255},
    };
    for (const Picture_Case& pic : pictures) {
        for (uint8_t mode = 1; mode <= 4; mode++) {
            SCOPED_TRACE(std::string(pic.what) + ", mode " + std::to_string(mode));
            Doc_Info& doc = Make_Document(pic.w, pic.h);
            pic.paint(doc);
            doc.Processing.Mode = mode;

            int64_t expected[256], curve[256];
            Reference_Curve(doc, expected);
            Auto_Threshold_Curve(doc, curve);
            for (int i = 0; i < 256; i++) ASSERT_EQ(curve[i], expected[i]) << "A[" << i << "]";

            const Auto_Threshold_Choice want = Auto_Threshold_Choose(expected);
            int64_t slider = want.Threshold > 255 ? 255 : want.Threshold;
            Auto_Threshold();
            EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), slider);
            EXPECT_EQ(*Mode_Threshold(doc), slider);
            EXPECT_EQ(Get_Text(CTL_THRESHOLD_FRAME), "Threshold [" + std::to_string(slider) + "]");
            if (mode == MODE_BLACK && pic.paint == Paint_Gap_At_250) {
                EXPECT_EQ(want.First_Above_100, 250);
                EXPECT_EQ(slider, 255);  // 258 limited by the slider
            }
            if (mode == MODE_BLACK && pic.paint == Paint_Gap_At_255) {
                EXPECT_EQ(want.First_Above_100, 255);
                EXPECT_EQ(slider, 135);
            }
        }
    }
}

TEST(Auto_Threshold, ChoiceFromTheCurve) {
    // Curves built so that C = A / B crosses 10 and 100 at known places.
    auto all_ones = [](int64_t* A) {
        for (int i = 0; i < 256; i++) A[i] = 1;
    };
    auto gap_at_250 = [](int64_t* A) {  // falls steadily, then flat from 250: B[250] = 0 -> 1
        for (int i = 0; i < 256; i++) A[i] = i < 250 ? 1000 + 1000 * (250 - i) : 1000;
    };
    auto gap_at_255 = [](int64_t* A) {  // only the last level stands out
        for (int i = 0; i < 256; i++) A[i] = 1000 + 1000 * (255 - i);
    };
    auto no_gap = [](int64_t* A) {  // flat start keeps C above 10 up to 29; A[255] = 100 is not above 100
        for (int i = 0; i < 256; i++) A[i] = 100 * (256 - (i < 40 ? 40 : i));
    };
    auto sparse_then_gap = [](int64_t* A) {  // dense from 0, a plateau 100..131 gives C > 100 at 99
        for (int i = 0; i < 256; i++)
            A[i] = i < 100 ? 200000 - 1000 * i : (i < 132 ? 100000 : 100000 - 300 * (i - 131));
    };
    struct Row {
        const char* what;
        void (*make)(int64_t*);
        int64_t i1, j, threshold;
    } rows[] = {
        {"all ones", all_ones, 0, 256, 135},     {"gap at 250", gap_at_250, 0, 250, 258},
        {"gap at 255", gap_at_255, 0, 255, 135}, {"no gap", no_gap, 30, 256, 38},
        {"plateau", sparse_then_gap, 0, 99, 107},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        int64_t A[256];
        r.make(A);
        const Auto_Threshold_Choice c = Auto_Threshold_Choose(A);
        EXPECT_EQ(c.First_Below_10, r.i1);
        EXPECT_EQ(c.First_Above_100, r.j);
        EXPECT_EQ(c.Threshold, r.threshold);
    }
}

TEST(Auto_Threshold, LogsAndIgnoresModesWithoutAChannel) {
    Make_Analysis_Controls();
    Open_Test_Log();

    // a picture with nothing in the cyan channel: A all 1, threshold 135
    Doc_Info& doc = Make_Document(40, 30);
    doc.Processing.Mode = MODE_CYAN;
    Auto_Threshold();
    EXPECT_EQ(doc.Processing.Threshold_Cyan, 135);
    std::vector<std::string> lines = Log_Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "FirstPC below 10: 0");
    EXPECT_EQ(lines[1], "FirstPC above 100: 256");
    EXPECT_EQ(lines[2].rfind("Time for auto threshold: ", 0), 0u) << lines[2];
    EXPECT_EQ(lines[2].substr(lines[2].size() - 2), "ms");

    for (uint8_t mode : {0, 5, 9}) {
        SCOPED_TRACE(int(mode));
        doc.Processing.Mode = mode;
        Set_State(CTL_THRESHOLD_SLIDER, 42);
        Auto_Threshold();
        EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), 42);
        EXPECT_EQ(doc.Processing.Threshold_Cyan, 135);
    }
    Current_Job = -1;
    Auto_Threshold();
    EXPECT_EQ(Log_Lines().size(), 3u);
    Log_Close();
}
