#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "app/job_list.h"
#include "document/image_io.h"
#include "measure/canvas.h"
#include "render/picture.h"
#include "resources/resources.h"
#include "video_test_world.h"

namespace {

// Colour of picture pixel (x, y), y counted from the top of the picture.
uint8_t Blue(int x, int y) { return (uint8_t)(x * 7 + y * 3); }
uint8_t Green(int x, int y) { return (uint8_t)(x + y * 11); }
uint8_t Red(int x, int y) { return (uint8_t)(200 - x - y); }

void Put_U32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}

std::vector<uint8_t> Make_Bmp(int w, int h, int bits, bool top_down) {
    int bpp = bits / 8;
    size_t stride = ((size_t)w * bpp + 3) & ~(size_t)3;
    std::vector<uint8_t> b(54 + stride * h, 0);
    b[0] = 'B';
    b[1] = 'M';
    Put_U32(b, 2, (uint32_t)b.size());
    Put_U32(b, 10, 54);
    Put_U32(b, 14, 40);
    Put_U32(b, 18, (uint32_t)w);
    Put_U32(b, 22, (uint32_t)(top_down ? -h : h));
    b[26] = 1;
    b[28] = (uint8_t)bits;
    for (int fr = 0; fr < h; fr++) {
        int y = top_down ? fr : h - 1 - fr;
        for (int x = 0; x < w; x++) {
            uint8_t* p = &b[54 + stride * fr + (size_t)bpp * x];
            p[0] = Blue(x, y);
            p[1] = Green(x, y);
            p[2] = Red(x, y);
            if (bpp == 4) p[3] = 7;
        }
    }
    return b;
}

class Emulator : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_Video_World();
        ASSERT_NE(Resource_Sample_Table().Data, nullptr) << "the sample table is not built in";
    }
    void TearDown() override {
        Close_Emulator();
    }
    // Runs acquisition steps until the animation rests; returns the frames made.
    int64_t Run_Until_Rest() {
        int64_t before = Frames_This_Second;
        for (int i = 0; i < 100 && Pan_Step < 1.0f; i++) Emulator_Step();
        return Frames_This_Second - before;
    }
    void Send(int64_t control, int64_t type, float x = 0) {
        Emulator_Event(Control_Event(WINDOW_EMULATOR, control, type, x));
    }
    // The live frame must be the crop starting at column c, rows in sample order.
    void Expect_Live_Is_Crop(int64_t c) {
        ASSERT_EQ(Jobs[0].Doc.Resolution.x, 640);
        ASSERT_EQ(Jobs[0].Doc.Resolution.y, 480);
        ASSERT_EQ(Jobs[0].Doc.Image_Buffer.size(), (size_t)640 * 480 * 4);
        ASSERT_GE(Sample_Height, 480);
        int bad_rows = 0;
        for (int64_t r = 0; r < 480; r++)
            if (std::memcmp(Jobs[0].Doc.Image_Buffer.data() + r * 2560,
                            Sample_Pixels.data() + r * Sample_Row_Bytes + 4 * c, 2560) != 0)
                bad_rows++;
        EXPECT_EQ(bad_rows, 0) << "crop column " << c;
    }
};

}  // namespace

TEST(Emulator_Bitmap, Rows_Come_Bottom_Row_First_And_Bad_Files_Are_Refused) {
    struct Case { int w, h, bits; bool top_down; };
    const Case cases[] = {{5, 3, 24, false}, {4, 2, 24, false}, {3, 4, 32, false}, {5, 3, 24, true}, {1, 1, 24, false}};
    for (const Case& k : cases) {
        std::vector<uint8_t> bmp = Make_Bmp(k.w, k.h, k.bits, k.top_down);
        int32_t w = 0, h = 0;
        std::vector<uint8_t> px;
        ASSERT_TRUE(Bitmap_To_Bottom_Up_BGRA(bmp.data(), bmp.size(), &w, &h, &px)) << k.w << "x" << k.h;
        ASSERT_EQ(w, k.w);
        ASSERT_EQ(h, k.h);
        ASSERT_EQ(px.size(), (size_t)k.w * k.h * 4);
        int wrong = 0;
        for (int r = 0; r < k.h; r++) {
            int y = k.h - 1 - r;  // memory row r is the r-th row from the bottom
            for (int x = 0; x < k.w; x++) {
                const uint8_t* p = &px[((size_t)r * k.w + x) * 4];
                if (p[0] != Blue(x, y) || p[1] != Green(x, y) || p[2] != Red(x, y) || p[3] != 255) wrong++;
            }
        }
        EXPECT_EQ(wrong, 0) << k.w << "x" << k.h << " bits " << k.bits << (k.top_down ? " top-down" : "");
    }

    std::vector<uint8_t> good = Make_Bmp(4, 3, 24, false);
    std::vector<std::vector<uint8_t>> bad;
    bad.push_back(std::vector<uint8_t>(good.begin(), good.end() - 1));  // truncated pixel data
    bad.push_back(good);
    bad.back()[0] = 'X';                                                // not a bitmap
    bad.push_back(good);
    bad.back()[30] = 1;                                                 // run-length compressed
    bad.push_back(good);
    bad.back()[28] = 8;                                                 // palette picture
    bad.push_back(good);
    Put_U32(bad.back(), 18, 0);                                         // zero width
    bad.push_back(good);
    Put_U32(bad.back(), 10, 0xFFFFFF00u);                               // pixel offset past the end
    bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 20));
    for (size_t i = 0; i < bad.size(); i++) {
        int32_t w = 0, h = 0;
        std::vector<uint8_t> px;
        EXPECT_FALSE(Bitmap_To_Bottom_Up_BGRA(bad[i].data(), bad[i].size(), &w, &h, &px)) << "bad file " << i;
    }
}

TEST_F(Emulator, Start_Shows_First_Sample_With_Crop_780_To_1419) {
    Start_Emulator();
    ASSERT_TRUE(Window_Exists(WINDOW_EMULATOR));
    int w = 0, h = 0, x = -1, y = -1;
    Window_Size(WINDOW_EMULATOR, &w, &h);
    Window_Position(WINDOW_EMULATOR, &x, &y);
    EXPECT_EQ(w, 758);
    EXPECT_EQ(h, 150);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(Get_Text(CTL_EMU_LABEL), "Widefield01");
    EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 1);
    EXPECT_EQ(Video_Mode, VIDEO_EMULATOR);
    EXPECT_EQ(Current_Job, 0);
    EXPECT_EQ(Jobs[0].In_Use, 1);
    EXPECT_EQ(Jobs[0].Image_Changed, 1);
    EXPECT_EQ(Redraw_Request, 1);
    EXPECT_EQ(Threshold_Label_Dirty, 1);
    EXPECT_EQ(Sample_Count, 5);
    EXPECT_EQ(Sample_Row_Bytes, 12000);
    EXPECT_EQ(Sample_Height, 480);
    EXPECT_EQ(Live_Row_Bytes, 2560);
    EXPECT_EQ(Last_Crop_Column, 780);
    EXPECT_EQ(Stage_Position, -400.0f);
    Expect_Live_Is_Crop(780);

    // The opening Pan_Step of 0.9 gives exactly one more frame, in place.
    EXPECT_EQ(Run_Until_Rest(), 1);
    EXPECT_EQ(Pan_Current, -400.0f);
    EXPECT_EQ(Last_Crop_Column, 780);
}

TEST_F(Emulator, Sample_Rows_Are_The_Bitmap_Upside_Down) {
    // Reference: the shared decoder gives the picture top row first.
    Resource_Data table = Resource_Sample_Table();
    ASSERT_GT(table.Size, (size_t)8 + 24 + 54);
    const uint8_t* bmp = table.Data + 8 + 24;
    uint32_t size = bmp[2] | (bmp[3] << 8) | (bmp[4] << 16) | ((uint32_t)bmp[5] << 24);
    Picture upright;
    ASSERT_TRUE(Decode_Picture(bmp, size, &upright));
    ASSERT_EQ(upright.Width, 3000);
    ASSERT_EQ(upright.Height, 480);

    Start_Emulator();
    ASSERT_EQ(Sample_Pixels.size(), upright.Pixels.size());
    int wrong = 0;
    for (int r = 0; r < 480; r++)
        if (std::memcmp(Sample_Pixels.data() + (size_t)r * 12000, upright.Pixels.data() + (size_t)(479 - r) * 12000,
                        12000) != 0)
            wrong++;
    EXPECT_EQ(wrong, 0);
}

TEST_F(Emulator, Drag_To_Far_Right_Ends_On_Last_Column) {
    Start_Emulator();
    Run_Until_Rest();
    Send(CTL_EMU_VIEW, ETYPE_MOUSE_MOVE, 300);
    Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, 300);
    for (float mx : {400.0f, 600.0f, 749.0f, 900.0f}) {
        Send(CTL_EMU_VIEW, ETYPE_MOUSE_MOVE, mx);
        for (int i = 0; i < 10; i++) Emulator_Step();
        EXPECT_LT(Pan_Step, 1.0f) << "the crop keeps following while the button is held";
    }
    Send(CTL_EMU_VIEW, ETYPE_LEFT_UP, 900);
    Run_Until_Rest();
    EXPECT_EQ(Pan_Current, 1180.0f);
    EXPECT_EQ(Last_Crop_Column, 2360);
    EXPECT_EQ(Stage_Position, 1180.0f);
    Expect_Live_Is_Crop(2360);

    // And to the far left: column 0.
    Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, -50);
    Emulator_Step();
    Send(CTL_EMU_VIEW, ETYPE_LEFT_UP, -50);
    Run_Until_Rest();
    EXPECT_EQ(Last_Crop_Column, 0);
    Expect_Live_Is_Crop(0);
}

TEST_F(Emulator, Released_Glide_Takes_Five_Steps_And_Lands_On_Target) {
    // Mouse x in the overview -> target: (x - 375) * 4, clamped to +-1180.
    struct Case { float mouse_x; float target; };
    const Case cases[] = {{375, 0}, {500, 500}, {100, -1100}, {0, -1180}, {740, 1180}, {262, -452}};
    for (const Case& k : cases) {
        Start_Emulator();
        Run_Until_Rest();
        float start = Pan_Current;
        Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, k.mouse_x);
        int64_t frames = Frames_This_Second;
        Emulator_Step();  // weight 0.2 while held
        Send(CTL_EMU_VIEW, ETYPE_LEFT_UP, k.mouse_x);
        std::vector<float> seen = {Pan_Current};
        while (Pan_Step < 1.0f && seen.size() < 20) {
            Emulator_Step();
            seen.push_back(Pan_Current);
        }
        EXPECT_EQ(Pan_Target, k.target) << "mouse " << k.mouse_x;
        ASSERT_EQ(seen.size(), 5u) << "mouse " << k.mouse_x;
        EXPECT_EQ(Frames_This_Second - frames, 5);
        // Reference: weights 0.2 .. 1.0, double arithmetic stored as float.
        double p = start;
        const double weights[] = {0.2, 0.4, 0.6, 0.8, 1.0};
        for (int i = 0; i < 5; i++) {
            p = (float)(p + weights[i] * ((double)k.target - p));
            EXPECT_NEAR(seen[i], p, 1e-3) << "step " << i << " mouse " << k.mouse_x;
        }
        EXPECT_EQ(seen.back(), k.target) << "mouse " << k.mouse_x;
        EXPECT_EQ(Last_Crop_Column, (int64_t)k.target + 1180);
        int64_t after = Frames_This_Second;
        Emulator_Step();
        EXPECT_EQ(Frames_This_Second, after) << "a crop at rest makes no frames";
        Close_Emulator();
    }
}

TEST_F(Emulator, Previous_On_First_And_Next_On_Last_Only_Make_A_Frame) {
    Start_Emulator();
    Run_Until_Rest();
    struct Step { int64_t button; int presses; int64_t index; const char* label; };
    const Step steps[] = {
        {CTL_EMU_PREVIOUS, 1, 0, "Widefield01"},
        {CTL_EMU_NEXT, 1, 1, "Widefield02"},
        {CTL_EMU_NEXT, 3, 4, "Widefield05"},
        {CTL_EMU_NEXT, 1, 4, "Widefield05"},
        {CTL_EMU_PREVIOUS, 4, 0, "Widefield01"},
        {CTL_EMU_PREVIOUS, 1, 0, "Widefield01"},
    };
    for (const Step& s : steps) {
        std::vector<uint8_t> before_pixels = Jobs[0].Doc.Image_Buffer;
        std::vector<uint8_t> before_sample = Sample_Pixels;
        int64_t before_index = Sample_Index;
        for (int i = 0; i < s.presses; i++) Send(s.button, ETYPE_CHANGE);
        int64_t frames = Frames_This_Second;
        EXPECT_EQ(Run_Until_Rest(), 1) << s.label;
        EXPECT_EQ(Frames_This_Second - frames, 1);
        EXPECT_EQ(Sample_Index, s.index);
        EXPECT_EQ(Get_Text(CTL_EMU_LABEL), s.label);
        EXPECT_EQ(Pan_Current, -400.0f);
        EXPECT_EQ(Last_Crop_Column, 780);
        EXPECT_EQ(Current_Job, 0);
        if (before_index == s.index) {
            EXPECT_TRUE(before_pixels == Jobs[0].Doc.Image_Buffer) << "frame unchanged at the end of the list";
            EXPECT_TRUE(before_sample == Sample_Pixels);
        } else {
            EXPECT_FALSE(before_sample == Sample_Pixels) << "a new sample was loaded";
            Expect_Live_Is_Crop(780);
        }
    }
}

TEST_F(Emulator, Press_Or_Drag_In_The_View_Makes_The_Live_Document_Current) {
    struct Case { const char* what; int64_t current; bool press; float move_to; int64_t expected; };
    const Case cases[] = {
        {"press with frozen 2 current", 2, true, -1, 0},
        {"press with live current", 0, true, -1, 0},
        {"move without button", 3, false, 420, 3},
        {"drag with frozen 3 current", 3, true, 420, 0},
    };
    for (const Case& k : cases) {
        Start_Emulator();
        Run_Until_Rest();
        for (int64_t s : {2, 3}) {
            Jobs[s].In_Use = 1;
            Allocate_Image(&Jobs[s], 4, 4);
        }
        Current_Job = k.current;
        Send(CTL_EMU_VIEW, ETYPE_MOUSE_MOVE, 300);
        if (k.press) {
            Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, 300);
            if (k.move_to >= 0) {
                // Released and re-pressed elsewhere so only the move can switch documents.
                Current_Job = k.current;
                Send(CTL_EMU_VIEW, ETYPE_MOUSE_MOVE, k.move_to);
            }
        } else if (k.move_to >= 0) {
            Send(CTL_EMU_VIEW, ETYPE_MOUSE_MOVE, k.move_to);
        }
        EXPECT_EQ(Current_Job, k.expected) << k.what;
        EXPECT_EQ(Pan_Dragging, k.press ? 1 : 0) << k.what;
        Send(CTL_EMU_VIEW, ETYPE_FOCUS_LOST);
        EXPECT_EQ(Pan_Dragging, 0);
        Close_Emulator();
    }
}

TEST_F(Emulator, Close_And_Reopen_Keeps_Sample_And_Recentres_Crop) {
    Start_Emulator();
    Send(CTL_EMU_NEXT, ETYPE_CHANGE);
    Send(CTL_EMU_NEXT, ETYPE_CHANGE);
    Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, 600);
    Emulator_Step();
    Emulator_Step();
    ASSERT_NE(Pan_Current, -400.0f);

    Platform_Event close;
    close.Window = WINDOW_EMULATOR;
    close.Kind = EVENT_CLOSE_WINDOW;
    Emulator_Event(close);
    EXPECT_FALSE(Window_Exists(WINDOW_EMULATOR));
    EXPECT_FALSE(Control_Exists(CTL_EMU_VIEW));
    EXPECT_EQ(Video_Mode, VIDEO_NONE);
    EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 0);
    EXPECT_EQ(Jobs[0].In_Use, 1) << "the close box leaves the live document alone";
    EXPECT_EQ(Pan_Dragging, 0);
    EXPECT_GE(Pan_Step, 1.0f) << "no glide left running with the window closed";

    Start_Emulator();
    EXPECT_EQ(Sample_Index, 2);
    EXPECT_EQ(Get_Text(CTL_EMU_LABEL), "Widefield03");
    EXPECT_EQ(Sample_Count, 5);
    EXPECT_EQ(Pan_Current, -400.0f);
    EXPECT_EQ(Pan_Target, -400.0f);
    EXPECT_EQ(Last_Crop_Column, 780);
    Expect_Live_Is_Crop(780);
    EXPECT_EQ(Run_Until_Rest(), 1);
    EXPECT_EQ(Last_Crop_Column, 780);
}

TEST_F(Emulator, Out_Of_Range_Sample_Index_Shows_The_First) {
    Start_Emulator();
    std::vector<uint8_t> first = Sample_Pixels;
    for (int64_t index : {5, -1, 1000}) {
        Load_Sample(1);
        ASSERT_FALSE(first == Sample_Pixels);
        Load_Sample(index);
        EXPECT_EQ(Get_Text(CTL_EMU_LABEL), "Widefield01") << index;
        EXPECT_TRUE(first == Sample_Pixels) << index;
    }
}
