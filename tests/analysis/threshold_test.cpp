#include <gtest/gtest.h>

#include <cstring>

#include "analysis/threshold.h"
#include "analysis_helpers.h"

namespace {

struct Colour_Case {
    const char* what;
    uint8_t r, g, b;
    uint8_t mode;
    uint8_t tc, tm, ty, tk;
    bool hit;
    int grey;  // expected grey level of a non-hit pixel, -1 = not checked
};

const uint8_t HIT[4] = {50, 190, 250, 0};

}  // namespace

TEST(Threshold, ColourCasesGiveTheRightHitsAndColours) {
    const Colour_Case cases[] = {
        {"black, black mode 80", 0, 0, 0, 4, 80, 80, 80, 80, true, -1},
        {"black, black mode 2", 0, 0, 0, 4, 80, 80, 80, 2, true, -1},
        {"black, black mode 255", 0, 0, 0, 4, 80, 80, 80, 255, true, -1},
        {"black, cyan 1", 0, 0, 0, 1, 1, 1, 1, 1, false, 1},
        {"black, magenta 1", 0, 0, 0, 2, 1, 1, 1, 1, false, 1},
        {"black, yellow 1", 0, 0, 0, 3, 1, 1, 1, 1, false, 1},
        {"red, cyan 1", 255, 0, 0, 1, 1, 1, 1, 1, false, 64},
        {"red, magenta 255", 255, 0, 0, 2, 80, 255, 80, 80, true, -1},
        {"red, yellow 255", 255, 0, 0, 3, 80, 80, 255, 80, true, -1},
        {"white, cyan 1", 255, 255, 255, 1, 1, 1, 1, 1, false, 222},
        {"white, magenta 1", 255, 255, 255, 2, 1, 1, 1, 1, false, 222},
        {"white, yellow 1", 255, 255, 255, 3, 1, 1, 1, 1, false, 222},
        {"white, black 1", 255, 255, 255, 4, 1, 1, 1, 1, false, 222},
        {"white, any 1", 255, 255, 255, 5, 1, 1, 1, 1, false, 222},
        // K = 255 - 176 = 79 and 78: the black mode lets one level lower through
        {"K 79, black 80", 176, 176, 176, 4, 80, 80, 80, 80, true, -1},
        {"K 78, black 80", 177, 177, 177, 4, 80, 80, 80, 80, false, 44 + 88 + 22 + 1},
        {"C 80, cyan 80", 100, 180, 180, 1, 80, 80, 80, 80, true, -1},
        {"C 79, cyan 80", 101, 180, 180, 1, 80, 80, 80, 80, false, 25 + 90 + 22 + 1},
        {"M 80, magenta 80", 200, 120, 200, 2, 80, 80, 80, 80, true, -1},
        {"Y 79, yellow 80", 200, 200, 121, 3, 80, 80, 80, 80, false, -1},
        // stored threshold 0 (only from a file): the byte limit wraps
        {"C 255, cyan 0", 0, 255, 255, 1, 0, 80, 80, 80, false, -1},
        {"K 255, black 0", 0, 0, 0, 4, 80, 80, 80, 0, true, -1},
        {"K 254, black 0", 1, 1, 1, 4, 80, 80, 80, 0, false, -1},
        // the slider minimum leaves the black mode empty
        {"black, black 1", 0, 0, 0, 4, 80, 80, 80, 1, false, 1},
        // mode 5 compares each colour against its threshold minus 1, no extra level for black
        {"K 79, any 80", 176, 176, 176, 5, 80, 80, 80, 80, false, -1},
        {"K 80, any 80", 175, 175, 175, 5, 80, 80, 80, 80, true, -1},
        {"red, any 80", 255, 0, 0, 5, 80, 80, 80, 80, true, -1},
        {"white, any 0 0 0 0", 255, 255, 255, 5, 0, 0, 0, 0, true, -1},
        {"white, any only cyan 0", 255, 255, 255, 5, 0, 255, 255, 255, true, -1},
        {"mid grey, any 255", 128, 128, 128, 5, 255, 255, 255, 255, false, 32 + 64 + 16 + 1},
    };
    for (const Colour_Case& c : cases) {
        SCOPED_TRACE(c.what);
        Doc_Info& doc = Make_Document(1, 1);
        Set_Pixel(doc, 0, 0, c.r, c.g, c.b);
        doc.Processing.Mode = c.mode;
        doc.Processing.Threshold_Cyan = c.tc;
        doc.Processing.Threshold_Magenta = c.tm;
        doc.Processing.Threshold_Yellow = c.ty;
        doc.Processing.Threshold_Black = c.tk;
        Process_Image();
        ASSERT_EQ(Hit_Mask.size(), 1u);
        EXPECT_EQ(Hit_Mask[0], c.hit ? 1 : 0);
        EXPECT_EQ(doc.Measure.Hit_Pixels, c.hit ? 1 : 0);
        EXPECT_FLOAT_EQ(doc.Measure.Hits, c.hit ? 100.0f : 0.0f);
        ASSERT_EQ(Processed_Image.size(), 4u);
        if (c.hit) {
            EXPECT_EQ(0, memcmp(Processed_Image.data(), HIT, 4));
        } else if (c.grey >= 0) {
            const uint8_t grey[4] = {(uint8_t)c.grey, (uint8_t)c.grey, (uint8_t)c.grey, 255};
            EXPECT_EQ(0, memcmp(Processed_Image.data(), grey, 4));
            EXPECT_EQ(0, memcmp(Processed_Image.data(), &Grey_Palette[c.grey], 4));
        }
    }
}

TEST(Threshold, HitShareAndPointerReadings) {
    Doc_Info& doc = Make_Document(640, 480);
    Fill_Rect(doc, 0, 0, 639, 47, 0, 0, 0);  // 48 rows x 640 = 30,720 black pixels
    Set_Pixel(doc, 10, 300, 200, 210, 220);  // K = 35: not a hit
    doc.Processing.Mode = MODE_BLACK;

    // (pointer x, y, expected column, row or -1 = readings unchanged)
    struct Probe {
        float x, y;
        int col, row;
    } probes[] = {{10.7f, 3.2f, 10, 3}, {-0.5f, 0.0f, 0, 0}, {10.9f, 300.99f, 10, 300},
                  {639.99f, 479.5f, 639, 479}, {640.0f, 10.0f, -1, -1}, {5.0f, -1.0f, -1, -1}};
    for (const Probe& p : probes) {
        SCOPED_TRACE(std::to_string(p.x) + ", " + std::to_string(p.y));
        Cursor_Colour = 0x11223344;
        Cursor_Hit = 7;
        Pointer_X = p.x;
        Pointer_Y = p.y;
        Redraw_Request = 1;
        Process_Image();
        EXPECT_EQ(Redraw_Request, 0);
        EXPECT_EQ(doc.Measure.Hit_Pixels, 30720);
        EXPECT_EQ(doc.Measure.Hits, 10.0f);
        if (p.col < 0) {
            EXPECT_EQ(Cursor_Colour, 0x11223344);
            EXPECT_EQ(Cursor_Hit, 7);
            continue;
        }
        int32_t stored;
        memcpy(&stored, &doc.Image_Buffer[((size_t)p.row * 640 + p.col) * 4], 4);
        EXPECT_EQ(Cursor_Colour, stored);
        EXPECT_EQ(Cursor_Hit, p.row < 48 ? 1 : 0);
    }
}

TEST(Threshold, ModeZeroAndUnknownModesCopyThePicture) {
    Make_Analysis_Controls();
    for (uint8_t mode : {0, 6, 200}) {
        SCOPED_TRACE(int(mode));
        Doc_Info& doc = Make_Document(37, 23);
        Random_Pixels(doc, 99 + mode);
        // leave a full mask from an earlier run in mode 5 with thresholds 0
        doc.Processing.Mode = MODE_ANY;
        doc.Processing.Threshold_Cyan = doc.Processing.Threshold_Magenta = 0;
        Process_Image();
        ASSERT_EQ(doc.Measure.Hit_Pixels, 37 * 23);

        doc.Processing.Mode = mode;
        Process_Image();
        EXPECT_EQ(Processed_Image, doc.Image_Buffer);
        EXPECT_EQ(std::vector<uint8_t>(37 * 23, 0), Hit_Mask);
        EXPECT_EQ(doc.Measure.Hit_Pixels, 0);
        EXPECT_EQ(doc.Measure.Hits, 0.0f);
    }
}

TEST(Threshold, ProductsFollowTheDocumentSizeAndAreKeptOtherwise) {
    Doc_Info& big = Make_Document(64, 48);
    big.Processing.Mode = MODE_CYAN;
    Process_Image();
    const uint8_t* image = Processed_Image.data();
    const uint8_t* mask = Hit_Mask.data();
    Process_Image();
    EXPECT_EQ(image, Processed_Image.data());
    EXPECT_EQ(mask, Hit_Mask.data());

    // a second document of another size becomes current
    Jobs[1] = Jobs[0];
    Allocate_Image(&Jobs[1], 3, 2);
    Current_Job = 1;
    Process_Image();
    EXPECT_EQ(Processed_Image.size(), 3u * 2 * 4);
    EXPECT_EQ(Hit_Mask.size(), 6u);
    EXPECT_EQ(Hit_Mask_Width, 3);
    EXPECT_EQ(Hit_Mask_Height, 2);

    // an empty picture and a picture without its pixels: no hits, no 0 / 0
    for (int32_t buffer_pixels : {0, 5}) {
        Doc_Info& doc = Make_Document(0, 0);
        doc.Processing.Mode = MODE_ANY;
        doc.Processing.Threshold_Cyan = 0;  // every pixel there is would be a hit
        if (buffer_pixels) {
            doc.Resolution.x = 4;
            doc.Resolution.y = 4;
            doc.Image_Buffer.assign((size_t)buffer_pixels * 4, 0);
        }
        Process_Image();
        EXPECT_EQ(doc.Measure.Hit_Pixels, buffer_pixels);
        EXPECT_EQ(doc.Measure.Hits, buffer_pixels ? (float)(buffer_pixels / 16.0 * 100.0) : 0.0f);
        EXPECT_EQ((int)Hit_Mask.size(), buffer_pixels ? 16 : 0);
    }

    // no current document: nothing happens
    Current_Job = -1;
    Redraw_Request = 1;
    Process_Image();
    EXPECT_EQ(Redraw_Request, 1);
}

TEST(Threshold, AnalysisButtonsSetTheModeSliderAndToolButtons) {
    Make_Analysis_Controls();
    Doc_Info& doc = Make_Document(8, 8);
    doc.Processing.Threshold_Cyan = 11;
    doc.Processing.Threshold_Magenta = 22;
    doc.Processing.Threshold_Yellow = 33;
    doc.Processing.Threshold_Black = 44;
    doc.Measure_Unit = 3;

    // button, expected mode, slider, tool buttons hidden
    struct Row {
        int64_t button;
        uint8_t mode;
        int64_t slider;
        bool hidden;
    } rows[] = {{3, 2, 22, false}, {1, 0, 1, true}, {5, 4, 44, false}, {6, 5, 1, false}, {2, 1, 11, false},
                {4, 3, 33, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.button);
        Disable_Control(CTL_THRESHOLD_SLIDER, true);
        Threshold_Label_Dirty = 0;
        Redraw_Request = 0;
        Select_Analysis_Mode(r.button);
        EXPECT_EQ(doc.Processing.Mode, r.mode);
        EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), r.slider);
        EXPECT_FALSE(Control_Disabled(CTL_THRESHOLD_SLIDER));
        EXPECT_EQ(Get_State(CTL_UNIT_LIST), 3);
        EXPECT_EQ(Threshold_Label_Dirty, 1);
        EXPECT_EQ(Redraw_Request, 1);
        for (int64_t c = CTL_ANALYSIS_FIRST; c <= CTL_ANALYSIS_LAST; c++)
            EXPECT_EQ(Get_State(c), c == CTL_ANALYSIS_FIRST + r.button - 1 ? 1 : 0) << c;
        for (int64_t c = CTL_TOOL_WIDTH; c <= CTL_TOOL_AUTO_CIRCLE; c++) EXPECT_EQ(Control_Hidden(c), r.hidden) << c;
    }
    // the thresholds themselves were only read
    EXPECT_EQ(doc.Processing.Threshold_Cyan, 11);
    EXPECT_EQ(doc.Processing.Threshold_Black, 44);

    Select_Analysis_Mode(7);  // no such button
    EXPECT_EQ(doc.Processing.Mode, 3);
}

TEST(Threshold, ApplyStoresTheSliderValueForTheModeOnly) {
    Make_Analysis_Controls();
    // mode, slider value set, value stored and shown
    struct Row {
        uint8_t mode;
        int64_t set;
        int64_t shown;
    } rows[] = {{1, 120, 120}, {2, 255, 255}, {3, 0, 1}, {4, 300, 255}, {5, 200, 200}, {0, 7, 7}};
    for (const Row& r : rows) {
        SCOPED_TRACE(int(r.mode));
        Doc_Info& doc = Make_Document(2, 2);
        doc.Processing.Mode = r.mode;
        Set_State(CTL_THRESHOLD_SLIDER, r.set);
        Redraw_Request = 0;
        Apply_Threshold();
        EXPECT_EQ(Redraw_Request, 1);
        EXPECT_EQ(Get_Text(CTL_THRESHOLD_FRAME), "Threshold [" + std::to_string(r.shown) + "]");
        const uint8_t stored[4] = {doc.Processing.Threshold_Cyan, doc.Processing.Threshold_Magenta,
                                   doc.Processing.Threshold_Yellow, doc.Processing.Threshold_Black};
        for (int m = 1; m <= 4; m++) EXPECT_EQ(stored[m - 1], m == r.mode ? r.shown : 80) << m;
    }

    Current_Job = -1;
    Set_Text(CTL_THRESHOLD_FRAME, "unchanged");
    Redraw_Request = 0;
    Apply_Threshold();
    EXPECT_EQ(Get_Text(CTL_THRESHOLD_FRAME), "unchanged");
    EXPECT_EQ(Redraw_Request, 0);
}
