#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "measure/canvas.h"
#include "resources/resources.h"
#include "video_test_world.h"

namespace {

uint8_t Shade(int x, int y, int channel) { return (uint8_t)(x * 7 + y * 3 + channel * 50); }

void Put_U32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}

// A bitmap file whose picture pixel (x, y from the top) is Shade(x, y, channel).
std::vector<uint8_t> Make_Bmp(int w, int h, int bits, bool top_down) {
    size_t bpp = bits / 8, stride = (w * bpp + 3) & ~(size_t)3;
    std::vector<uint8_t> b(54 + stride * h, 0);
    b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = (uint8_t)bits;
    Put_U32(b, 2, (uint32_t)b.size());
    Put_U32(b, 10, 54);
    Put_U32(b, 14, 40);
    Put_U32(b, 18, (uint32_t)w);
    Put_U32(b, 22, (uint32_t)(top_down ? -h : h));
    for (int fr = 0; fr < h; fr++)
        for (int x = 0; x < w; x++)
            for (int c = 0; c < 3; c++) b[54 + stride * fr + bpp * x + c] = Shade(x, top_down ? fr : h - 1 - fr, c);
    return b;
}

class Emulator : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_Video_World();
        ASSERT_NE(Resource_Sample_Table().Data, nullptr);
    }
    void TearDown() override { Close_Emulator(); }
    // Video on, and the window brought up to date as the main loop would.
    void Start() {
        Start_Emulator();
        Show_Video_Changes();
    }
    int64_t Run_Until_Rest() {
        int64_t before = Main_Loop.Frames_This_Second;
        for (int i = 0; i < 100 && Emulator_View().Pan_Step < 1.0f; i++) Emulator_Step();
        return Main_Loop.Frames_This_Second - before;
    }
    void Send(int64_t control, int64_t type, float x = 0) {
        Emulator_Event(Control_Event(WINDOW_EMULATOR, control, type, x));
    }
    // The live frame must be the 640 x 480 crop from column c, rows in sample order.
    void Expect_Live_Is_Crop(int64_t c) {
        ASSERT_EQ(Jobs[0].Doc.Image_Buffer.size(), (size_t)640 * 480 * 4);
        ASSERT_GE(Emulator_View().Sample_Height, 480);
        int bad_rows = 0;
        for (int64_t r = 0; r < 480; r++)
            bad_rows += std::memcmp(Jobs[0].Doc.Image_Buffer.data() + r * 2560,
                                    Emulator_View().Sample_Pixels.data() + r * Emulator_View().Sample_Row_Bytes + 4 * c, 2560) != 0;
        EXPECT_EQ(bad_rows, 0) << "crop column " << c;
    }
};

}  // namespace

TEST(Emulator_Bitmap, Rows_Come_Bottom_Row_First_And_Bad_Files_Are_Refused) {
    struct Case { int w, h, bits; bool top_down; };
    for (const Case& k : {Case{5, 3, 24, false}, Case{3, 4, 32, false}, Case{5, 3, 24, true}, Case{1, 1, 24, false}}) {
        std::vector<uint8_t> bmp = Make_Bmp(k.w, k.h, k.bits, k.top_down), px;
        int32_t w = 0, h = 0;
        ASSERT_TRUE(Bitmap_To_Bottom_Up_BGRA(bmp.data(), bmp.size(), &w, &h, &px));
        ASSERT_EQ(px.size(), (size_t)k.w * k.h * 4);
        int wrong = 0;
        for (int r = 0; r < k.h; r++)  // memory row r is the r-th row from the bottom
            for (int x = 0; x < k.w; x++)
                for (int c = 0; c < 4; c++)
                    wrong += px[(r * k.w + x) * 4 + c] != (c == 3 ? 255 : Shade(x, k.h - 1 - r, c));
        EXPECT_EQ(wrong, 0) << k.w << "x" << k.h << " bits " << k.bits << " top-down " << k.top_down;
    }
    const std::vector<uint8_t> good = Make_Bmp(4, 3, 24, false);
    struct Damage { size_t at; uint32_t value; size_t keep; };
    const Damage damages[] = {{0, 0, good.size() - 1},  // truncated pixels
                              {0, 'X', good.size()},    // not a bitmap
                              {30, 1, good.size()},     // compressed
                              {28, 8, good.size()},     // palette
                              {18, 0, good.size()},     // zero width
                              {10, 0xFFFFFF00u, good.size()}, {0, 0, 20}};
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad(good.begin(), good.begin() + d.keep), px;
        if (d.at == 0 && d.value) bad[0] = (uint8_t)d.value;
        if (d.at) Put_U32(bad, d.at, d.value);
        int32_t w = 0, h = 0;
        EXPECT_FALSE(Bitmap_To_Bottom_Up_BGRA(bad.data(), bad.size(), &w, &h, &px)) << d.at << " " << d.keep;
    }
}

TEST_F(Emulator, Start_Shows_First_Sample_With_Crop_780_To_1419) {
    Start();
    int w = 0, h = 0, x = 0, y = 0;
    Window_Size(WINDOW_EMULATOR, &w, &h);
    Window_Position(WINDOW_EMULATOR, &x, &y);
    EXPECT_EQ(w * 1000 + h, 758150);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(Get_Text(CTL_EMU_LABEL), "Widefield01");
    EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 1);
    EXPECT_EQ(Video_Mode, VIDEO_EMULATOR);
    EXPECT_EQ(Current_Job, 0);
    EXPECT_EQ(Jobs[0].In_Use + Jobs[0].Image_Changed + Redraw_Requested(), 3);
    EXPECT_EQ(Emulator_View().Sample_Count, 5);
    EXPECT_EQ(Emulator_View().Last_Crop_Column, 780);
    EXPECT_EQ(Stage_Position, -400.0f);
    Expect_Live_Is_Crop(780);
    // The opening Pan_Step of 0.9 gives exactly one more frame, in place.
    EXPECT_EQ(Run_Until_Rest(), 1);
    EXPECT_EQ(Emulator_View().Last_Crop_Column, 780);
    // Indexes outside the table show the first sample.
    std::vector<uint8_t> first = Emulator_View().Sample_Pixels;
    Load_Sample(1);
    Load_Sample(5);
    EXPECT_TRUE(first == Emulator_View().Sample_Pixels);
}

TEST_F(Emulator, Drag_To_Far_Right_Ends_On_Last_Column) {
    Start();
    Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, 300);
    for (float mx : {400.0f, 749.0f, 900.0f}) {
        Send(CTL_EMU_VIEW, ETYPE_MOUSE_MOVE, mx);
        for (int i = 0; i < 10; i++) Emulator_Step();
    }
    Send(CTL_EMU_VIEW, ETYPE_LEFT_UP, 900);
    Run_Until_Rest();
    EXPECT_EQ(Emulator_View().Last_Crop_Column, 2360);
    EXPECT_EQ(Stage_Position, 1180.0f);
    Expect_Live_Is_Crop(2360);
}

TEST_F(Emulator, Released_Glide_Takes_Five_Steps_And_Lands_On_Target) {
    // Overview x -> target (x - 375) * 4, clamped to +-1180.
    struct Case { float mouse_x, target; };
    for (const Case& k : {Case{375, 0}, Case{500, 500}, Case{262, -452}, Case{0, -1180}, Case{740, 1180}}) {
        Start();
        Run_Until_Rest();
        double p = Emulator_View().Pan_Current;
        Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, k.mouse_x);
        int64_t frames = Main_Loop.Frames_This_Second;
        std::vector<float> seen;
        for (int i = 0; i < 20 && (seen.empty() || Emulator_View().Pan_Step < 1.0f); i++) {
            Emulator_Step();  // the first one while held, the rest after release
            Send(CTL_EMU_VIEW, ETYPE_LEFT_UP, k.mouse_x);
            seen.push_back(Emulator_View().Pan_Current);
            EXPECT_EQ(Stage_Position, Emulator_View().Pan_Current) << "step " << seen.size() << " mouse " << k.mouse_x;
        }
        ASSERT_EQ(seen.size(), 5u) << k.mouse_x;
        EXPECT_EQ(Main_Loop.Frames_This_Second - frames, 5);
        for (int i = 0; i < 5; i++) {
            p = (float)(p + 0.2 * (i + 1) * (k.target - p));
            EXPECT_NEAR(seen[i], p, 1e-3) << "step " << i << " mouse " << k.mouse_x;
        }
        EXPECT_EQ(seen.back(), k.target) << k.mouse_x;
        EXPECT_EQ(Emulator_View().Last_Crop_Column, (int64_t)k.target + 1180);
        Emulator_Step();
        EXPECT_EQ(Main_Loop.Frames_This_Second - frames, 5) << "a crop at rest makes no frames";
        Close_Emulator();
    }
}

TEST_F(Emulator, Previous_On_First_And_Next_On_Last_Only_Make_A_Frame) {
    Start();
    Run_Until_Rest();
    struct Step { int64_t button; int presses; int64_t index; const char* label; };
    const Step steps[] = {{CTL_EMU_PREVIOUS, 1, 0, "Widefield01"}, {CTL_EMU_NEXT, 4, 4, "Widefield05"},
                          {CTL_EMU_NEXT, 1, 4, "Widefield05"}, {CTL_EMU_PREVIOUS, 3, 1, "Widefield02"}};
    for (const Step& s : steps) {
        std::vector<uint8_t> before = Emulator_View().Sample_Pixels, live = Jobs[0].Doc.Image_Buffer;
        bool stays = Emulator_View().Sample_Index == s.index;
        for (int i = 0; i < s.presses; i++) Send(s.button, ETYPE_CHANGE);
        EXPECT_EQ(Run_Until_Rest(), 1) << s.label;
        EXPECT_EQ(Emulator_View().Sample_Index, s.index);
        EXPECT_EQ(Get_Text(CTL_EMU_LABEL), s.label);
        EXPECT_EQ(Emulator_View().Last_Crop_Column, 780);
        EXPECT_EQ(before == Emulator_View().Sample_Pixels, stays) << s.label;
        EXPECT_EQ(live == Jobs[0].Doc.Image_Buffer, stays) << s.label;
        Expect_Live_Is_Crop(780);
    }
}

TEST_F(Emulator, Press_Or_Drag_In_The_View_Makes_The_Live_Document_Current) {
    struct Case { int64_t current; bool press; float move_to; int64_t expected; };
    for (const Case& k : {Case{2, true, -1, 0}, Case{3, false, 420, 3}, Case{3, true, 420, 0}}) {
        Start();
        Jobs[2].In_Use = Jobs[3].In_Use = 1;
        Send(CTL_EMU_VIEW, ETYPE_MOUSE_MOVE, 300);
        Make_Current_Job(k.current);
        if (k.press) Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, 300);
        if (k.move_to >= 0) {
            Make_Current_Job(k.current);  // only the move may switch now
            Send(CTL_EMU_VIEW, ETYPE_MOUSE_MOVE, k.move_to);
        }
        EXPECT_EQ(Current_Job, k.expected) << k.current << k.press << k.move_to;
        Send(CTL_EMU_VIEW, ETYPE_FOCUS_LOST);
        EXPECT_EQ(Emulator_View().Pan_Dragging, 0);
        Close_Emulator();
    }
}

TEST_F(Emulator, Close_And_Reopen_Keeps_Sample_And_Recentres_Crop) {
    Start();
    Send(CTL_EMU_NEXT, ETYPE_CHANGE);
    Send(CTL_EMU_NEXT, ETYPE_CHANGE);
    Send(CTL_EMU_VIEW, ETYPE_LEFT_DOWN, 600);
    Emulator_Step();
    Platform_Event close;
    close.Window = WINDOW_EMULATOR;
    close.Kind = EVENT_CLOSE_WINDOW;
    Emulator_Event(close);
    EXPECT_FALSE(Window_Exists(WINDOW_EMULATOR));
    EXPECT_EQ(Video_Mode, VIDEO_NONE);
    EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 0);
    EXPECT_EQ(Jobs[0].In_Use, 1) << "the close box leaves the live document alone";
    EXPECT_GE(Emulator_View().Pan_Step, 1.0f) << "no glide left running with the window closed";

    Start();
    EXPECT_EQ(Get_Text(CTL_EMU_LABEL), "Widefield03");
    EXPECT_EQ(Emulator_View().Sample_Count, 5);
    EXPECT_EQ(Emulator_View().Pan_Current, -400.0f);
    EXPECT_EQ(Run_Until_Rest(), 1);
    EXPECT_EQ(Emulator_View().Last_Crop_Column, 780);
    Expect_Live_Is_Crop(780);
}

TEST_F(Emulator, A_Sample_Smaller_Than_The_Crop_Leaves_The_Rest_Black) {
    Start();
    // 1200 x 2 sample of 0x11 bytes; the crop from column 780 overlaps 420 columns of 2 rows.
    Emulator_Test_Access().Sample_Pixels.assign(1200 * 4 * 2, 0x11);
    Emulator_Test_Access().Sample_Row_Bytes = 1200 * 4;
    Emulator_Test_Access().Sample_Height = 2;
    Emulator_Frame();
    const std::vector<uint8_t>& live = Jobs[0].Doc.Image_Buffer;
    size_t copied = 0;
    for (uint8_t b : live) copied += b == 0x11;
    EXPECT_EQ(copied, (size_t)420 * 4 * 2);
    EXPECT_EQ(live[4 * 419], 0x11);
    EXPECT_EQ(live[4 * 420], 0);
}
