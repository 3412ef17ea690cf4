#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

#include "app/calibration_panel.h"
#include "app/analysis_panel.h"
#include "app/main_loop.h"
#include "analysis/threshold.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "app/dispatch.h"
#include "app/icons.h"
#include "app/job_list.h"
#include "app/main_window.h"
#include "app/status_bar.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "measure/canvas.h"
#include "measure/snapping.h"
#include "measure/tools.h"
#include "platform/platform.h"
#include "platform/platform_wx_test.h"
#include "app/renderer.h"
#include "ui/ui_world.h"
#include "video/emulator.h"

namespace {

class Ui : public ::testing::Test {
protected:
    void SetUp() override { Reset_World(); }
};

bool Near(int a, int b, int tolerance = 12) { return std::abs(a - b) <= tolerance; }

// The window has taken the size w x h and the layout and the picture view have followed.
bool Window_Settled_At(int w, int h) {
    int ww, wh, x, y, vw, vh, gw, gh;
    Window_Size(WINDOW_MAIN, &ww, &wh);
    Control_Rect(CTL_PICTURE_VIEW, &x, &y, &vw, &vh);
    GL_View_Size(CTL_PICTURE_VIEW, &gw, &gh);
    return ww == w && wh == h && Layout.Client_W == w && Layout.Client_H == h && gw == vw && gh == vh;
}

TEST_F(Ui, Layout_Follows_The_Window_Size) {
    struct Case {
        int w, h, view_w;
    };
    for (const Case& c : {Case{800, 520, 350}, Case{1060, 600, 610}, Case{1300, 700, 850}}) {
        Resize_Window(WINDOW_MAIN, c.w, c.h);
        int x, y, w, h;
        Pump_Until([&] { return Window_Settled_At(c.w, c.h); });
        Control_Rect(CTL_PICTURE_VIEW, &x, &y, &w, &h);
        EXPECT_EQ(x, 90);
        EXPECT_EQ(y, 40);
        EXPECT_EQ(w, c.view_w) << c.w;
        EXPECT_EQ(h, Layout.Client_H - (Status_Bar_Height(WINDOW_MAIN) + Menu_Bar_Height(WINDOW_MAIN) + 40));
        Control_Rect(CTL_SIDE_PANEL, &x, &y, &w, &h);
        EXPECT_EQ(x, Layout.Client_W - 360);
        EXPECT_EQ(w, 360);
    }
    // The window does not get smaller than its minimum.
    Resize_Window(WINDOW_MAIN, 500, 300);
    int w, h;
    Pump_Until([&] {
        Window_Size(WINDOW_MAIN, &w, &h);
        return w != 1300;
    });
    EXPECT_GE(w, 800);
    Resize_Window(WINDOW_MAIN, 1060, 600);
    Pump_Until([] { return Window_Settled_At(1060, 600); });
}

TEST_F(Ui, Manual_Line_On_A_Frozen_Document) {
    int64_t slot = Open_Plain_Document(640, 480, 120, 120, 120);
    Click_Image(10.4f, 20.6f);
    EXPECT_EQ(Canvas_View().Click_State, 1);
    Click_Image(110.5f, 20.4f);
    EXPECT_EQ(Canvas_View().Click_State, 0);
    ASSERT_EQ(Jobs[slot].Doc.Tools.size(), 1u);
    const Tool& t = Jobs[slot].Doc.Tools[0];
    EXPECT_FLOAT_EQ(t.X_Start, 10);
    EXPECT_FLOAT_EQ(t.Y_Start, 21);
    EXPECT_FLOAT_EQ(t.X_End, 110);
    EXPECT_FLOAT_EQ(t.Y_End, 20);
    EXPECT_EQ(Row_Count(CTL_MEASURE_LIST), 1);
    EXPECT_EQ(Get_Cell_Text(CTL_MEASURE_LIST, 0, 0), std::to_string(slot) + ":0:M");
}

TEST_F(Ui, A_Click_On_The_Live_Picture_Makes_Document_1) {
    ASSERT_EQ(Current_Job, 0);
    Click_Image(100, 100);
    Click_Image(200, 150);
    EXPECT_EQ(Current_Job, 1);
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_TRUE(Jobs[0].Doc.Tools.empty());
    int x, y, w, h;
    Control_Rect(1, &x, &y, &w, &h);
    EXPECT_EQ(y, 56);  // the new thumbnail sits under the live one
}

TEST_F(Ui, Keys_Reach_The_Picture_View) {
    Open_Plain_Document(640, 480, 120, 120, 120);
    Post_View_Event(ETYPE_KEY_DOWN, 0, 0, 'S');
    Settle();
    EXPECT_EQ(Jobs[Current_Job].Doc.Processing.Mode, 1);
    EXPECT_FALSE(Control_Hidden(CTL_TOOL_WIDTH));
    Post_View_Event(ETYPE_KEY_DOWN, 0, 0, '8');
    Settle();
    EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), 255);
    EXPECT_EQ(Get_Text(CTL_THRESHOLD_FRAME), "Threshold [255]");
    Post_View_Event(ETYPE_KEY_DOWN, 0, 0, 'X');
    Settle();
    EXPECT_EQ(Canvas_View().Current_Tool, MTOOL_AXES);
    Set_Magnifier_Zoom(4);
    Post_View_Event(ETYPE_WHEEL, 0, 0, 0, -3);
    Settle();
    EXPECT_EQ(Canvas_View().Magnifier_Zoom, 1);
}

TEST_F(Ui, Reticle_Only_On_The_Live_Document) {
    // A plain live frame makes the reticle's inverted pixels easy to see.
    Job_Slot& live = Jobs[0];
    for (size_t i = 0; i < live.Doc.Image_Buffer.size(); i += 4) {
        live.Doc.Image_Buffer[i] = live.Doc.Image_Buffer[i + 1] = live.Doc.Image_Buffer[i + 2] = 40;
    }
    live.Image_Changed = 1;
    Settle();
    int r, g, b;
    Read_Back_At_Image(320, 225, &r, &g, &b);  // on the vertical arm of the cross
    EXPECT_GT(r, 150);
    Read_Back_At_Image(400, 300, &r, &g, &b);  // plain picture
    EXPECT_TRUE(Near(r, 40) && Near(g, 40) && Near(b, 40)) << r << "," << g << "," << b;

    Open_Plain_Document(640, 480, 40, 40, 40);
    Read_Back_At_Image(320, 225, &r, &g, &b);
    EXPECT_TRUE(Near(r, 40)) << r;
}

// The main view's texture is kept between frames; every change of what it
// shows (pixels, analysis mode, threshold, document) still reaches the screen.
TEST_F(Ui, The_Main_View_Follows_Every_Change_Of_Its_Picture) {
    int64_t slot = Open_Plain_Document(640, 480, 200, 40, 40);
    int r, g, b;
    Read_Back_At_Image(100, 100, &r, &g, &b);
    EXPECT_TRUE(Near(r, 200) && Near(g, 40)) << r << "," << g << "," << b;
    auto colour = [&]() {
        Settle();
        Settle();
        Read_Back_At_Image(100, 100, &r, &g, &b);
        return r << 16 | g << 8 | b;
    };
    // New pixels, flagged as documents flag them.
    Job_Slot& job = Jobs[slot];
    for (size_t i = 0; i < job.Doc.Image_Buffer.size(); i += 4) {
        job.Doc.Image_Buffer[i] = job.Doc.Image_Buffer[i + 2] = 40;  // now green: cyan and yellow 160
        job.Doc.Image_Buffer[i + 1] = 200;
    }
    job.Image_Changed = 1;
    int green = colour();
    EXPECT_TRUE(Near(r, 40) && Near(g, 200)) << r << "," << g << "," << b;
    Select_Analysis_Mode(2);  // cyan
    Set_State(CTL_THRESHOLD_SLIDER, 100);
    Apply_Threshold();
    int hit = colour();
    Set_State(CTL_THRESHOLD_SLIDER, 200);
    Apply_Threshold();
    int missed = colour();
    EXPECT_NE(hit, missed);
    Select_Analysis_Mode(1);
    EXPECT_EQ(colour(), green);
    // Another document of the same size, then back.
    Open_Plain_Document(640, 480, 10, 20, 250);
    colour();
    EXPECT_TRUE(Near(b, 250) && Near(r, 10)) << r << "," << g << "," << b;
    Select_Job(slot);
    EXPECT_EQ(colour(), green);
}

TEST_F(Ui, Live_Border_Red_After_Emulator_Input_Then_Green) {
    Emulator_Test_Access().Last_Live_Input_Ms = (int64_t)Elapsed_Ms() - 5000;
    Settle();
    int r, g, b;
    Read_Back_At_Image(0.5f, 240, &r, &g, &b);
    EXPECT_TRUE(Near(g, 200, 40) && r < 120) << r << "," << g << "," << b;
    Emulator_Test_Access().Last_Live_Input_Ms = (int64_t)Elapsed_Ms();
    Settle();
    Read_Back_At_Image(0.5f, 240, &r, &g, &b);
    EXPECT_TRUE(Near(r, 250, 40) && g < 120) << r << "," << g << "," << b;
    // A frozen document has no frame.
    Open_Plain_Document(640, 480, 40, 40, 40);
    Read_Back_At_Image(0.5f, 240, &r, &g, &b);
    EXPECT_TRUE(Near(r, 40) && Near(g, 40)) << r << "," << g << "," << b;
}

TEST_F(Ui, A_Placed_Line_Is_Drawn_Inverted_With_Its_Label_Above) {
    int64_t slot = Open_Plain_Document(640, 480, 100, 100, 100, 10);
    Add_Tool(TOOL_LINE, 100, 200, 300, 200, Manual_Tool_Colour);
    ASSERT_EQ(Jobs[slot].Doc.Tools.size(), 1u);
    Settle();
    int r, g, b;
    Read_Back_At_Image(200, 200, &r, &g, &b);
    // (100, 100, 100) XOR (255, 150, 90)
    EXPECT_TRUE(Near(r, 155, 30) && Near(g, 242, 30) && Near(b, 62, 30)) << r << "," << g << "," << b;
    // The label "0: 20mm" sits just above the first point: bright text pixels there.
    int brightest = 0;
    for (float y = 180; y <= 197; y += 1)
        for (float x = 100; x <= 140; x += 1) {
            Read_Back_At_Image(x, y, &r, &g, &b);
            brightest = std::max(brightest, std::min(r, std::min(g, b)));
        }
    EXPECT_GT(brightest, 200);
    Read_Back_At_Image(200, 230, &r, &g, &b);  // below the line nothing is drawn
    EXPECT_TRUE(Near(r, 100) && Near(g, 100)) << r << "," << g;
}

TEST_F(Ui, Status_Bar_And_Readouts) {
    Main_Loop.Frames_Per_Second = 25;
    Reset_Status_Cache();
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 0), "Video: FPS: 25)");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 1), "No document selected.");
    int64_t slot = Open_Plain_Document(640, 480, 100, 100, 100);
    Jobs[slot].Doc.Measure.Hits = 12.5f;
    Set_State(CTL_PLUS_MINUS, 1);
    Settings_From_Widgets();
    Refresh_Readouts(true);
    EXPECT_EQ(Readout_Texts[5], "87.5%");
    Set_State(CTL_PLUS_MINUS, 0);
    Settings_From_Widgets();
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 1), "Document #: " + std::to_string(slot));

    // Under the desktop font every field shows its longest text whole: the
    // magnifier's power and the threshold bit at the end included.
    Set_State(CTL_MAGNIFY, 1);
    Canvas_State canvas = Canvas_View();
    canvas.Magnifier_Zoom = 16;
    canvas.Pointer_X = 16383;
    canvas.Pointer_Y = 479;
    canvas.Snapped_To_Edge = canvas.Snapped_To_Angle = 1;
    Set_Canvas_State_For_Test(canvas);
    Cursor_Colour = -1;
    Cursor_Hit = 1;
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 2), "Mouse: 16383.0x479.0, Zoom: x16");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 3), "RGB[255, 255, 255] M:1");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 4), "Snapped to: Edge & Angle");
    for (int field = 0; field < 5; field++)
        EXPECT_EQ(Wx_Test_Status_Field_Cut(WINDOW_MAIN, field), 0) << Get_Status_Text(WINDOW_MAIN, field);
    canvas.Snapped_To_Edge = canvas.Snapped_To_Angle = 0;
    Set_Canvas_State_For_Test(canvas);
    Cursor_Colour = 0;
    Cursor_Hit = 0;
    Set_State(CTL_MAGNIFY, 0);

    // And so does every cell of the measurement list: IDs with two-digit
    // positions and every kind's letter, four value columns, large values.
    Jobs[slot].Doc.PPMM = 0.37f;
    for (int i = 0; i < 12; i++) {
        Tool t;
        t.Type = i % 8;
        t.X_Start = 3;
        t.Y_Start = 4;
        t.X_End = 603.5f;
        t.Y_End = 470.25f;
        t.Distance = 761.3f;
        t.Angle = 37.8f;
        t.Radius = 299.9f;
        Jobs[slot].Doc.Tools.push_back(t);
    }
    Rebuild_Measurement_List();
    ASSERT_EQ(Row_Count(CTL_MEASURE_LIST), 12);
    EXPECT_EQ(Get_Cell_Text(CTL_MEASURE_LIST, 11, 0), std::to_string(slot) + ":11:WH");
    for (int64_t row = 0; row < 12; row++)
        for (int64_t column = 0; column < 5; column++)
            EXPECT_EQ(Wx_Test_List_Cell_Cut(CTL_MEASURE_LIST, row, column), 0)
                << "row " << row << " column " << column << ": " << Get_Cell_Text(CTL_MEASURE_LIST, row, column);
}

// Pointer events carry logical pixels; the picture view draws in device
// pixels. The test_ui_hidpi entry runs this under GDK_SCALE=2.
TEST_F(Ui, Hidpi_Pointer_Lands_On_The_Picture_Point_Under_It) {
    const char* gdk_scale = getenv("GDK_SCALE");
    const double s = Display_Scale_X();
    if (gdk_scale && std::string(gdk_scale) == "2") {
        ASSERT_EQ(s, 2.0);
        ASSERT_EQ(Display_Scale_Y(), 2.0);
    }
    // Four quadrants in four colours.
    int64_t slot = Open_Plain_Document(640, 480, 0, 0, 0);
    const uint8_t quadrant[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};  // R, G, B
    auto quadrant_of = [](double x, double y) { return (x >= 320 ? 1 : 0) + (y >= 240 ? 2 : 0); };
    std::vector<uint8_t>& pixels = Jobs[slot].Doc.Image_Buffer;
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            const uint8_t* c = quadrant[quadrant_of(x, y)];
            uint8_t* p = &pixels[((size_t)y * 640 + x) * 4];
            p[0] = c[2];
            p[1] = c[1];
            p[2] = c[0];
        }
    Jobs[slot].Image_Changed = 1;
    Settle();
    Settle();

    // Where the view shows the picture, in logical pixels: whole, centred.
    int vx, vy, vw, vh;
    Control_Rect(CTL_PICTURE_VIEW, &vx, &vy, &vw, &vh);
    const double k = std::min(vw / 640.0, vh / 480.0);
    const double ox = (vw - 640 * k) / 2, oy = (vh - 480 * k) / 2;
    struct Point { double x, y; } points[] = {{100, 60},  {540, 60},  {100, 420}, {540, 420},
                                             {330, 250}, {200, 300}, {620, 20}};
    ASSERT_EQ(Read_Back_Image.Width, (int)std::lround(vw * s));
    for (const Point& p : points) {
        SCOPED_TRACE(testing::Message() << "image point " << p.x << "," << p.y << " at scale " << s);
        const float wx = (float)(ox + p.x * k), wy = (float)(oy + p.y * k);
        float ix, iy;
        Window_To_Image(wx, wy, &ix, &iy);
        EXPECT_NEAR(ix, p.x, 1.0);
        EXPECT_NEAR(iy, p.y, 1.0);
        // What is drawn under that window point is that picture point.
        const int px = (int)std::floor(wx * s), py = (int)std::floor(wy * s);
        ASSERT_TRUE(px >= 0 && py >= 0 && px < Read_Back_Image.Width && py < Read_Back_Image.Height);
        const uint8_t* q = &Read_Back_Image.Pixels[((size_t)py * Read_Back_Image.Width + px) * 4];
        const uint8_t* want = quadrant[quadrant_of(p.x, p.y)];
        EXPECT_TRUE(Near(q[2], want[0], 30) && Near(q[1], want[1], 30) && Near(q[0], want[2], 30))
            << (int)q[2] << "," << (int)q[1] << "," << (int)q[0];
    }

    // A line clicked in the lower right quadrant is placed there.
    for (const Point& p : {Point{400, 300}, Point{600, 450}}) {
        const float wx = (float)(ox + p.x * k), wy = (float)(oy + p.y * k);
        Post_View_Event(ETYPE_MOUSE_MOVE, wx, wy);
        Settle();
        Post_View_Event(ETYPE_LEFT_CLICK, wx, wy);
        Settle();
    }
    ASSERT_EQ(Jobs[slot].Doc.Tools.size(), 1u);
    const Tool& t = Jobs[slot].Doc.Tools[0];
    EXPECT_NEAR(t.X_Start, 400, 1.0);
    EXPECT_NEAR(t.Y_Start, 300, 1.0);
    EXPECT_NEAR(t.X_End, 600, 1.0);
    EXPECT_NEAR(t.Y_End, 450, 1.0);

    // The tool and analysis icons are laid out at 32 logical pixels and drawn
    // with every pixel of the icon made at the display scale: neither cropped
    // nor blown up from a smaller picture.
    Select_Analysis_Mode(2);  // shows the automatic tools as well
    Set_State(CTL_SIDE_PANEL, 0);
    struct Button { int64_t control; int icon; } buttons[] = {
        {CTL_MAGNIFY, VECTOR_ICON_MAGNIFIER},         {CTL_TOOL_LINE, VECTOR_ICON_TOOL_LINE},
        {CTL_TOOL_CIRCLE, VECTOR_ICON_TOOL_CIRCLE},   {CTL_TOOL_BLOB, VECTOR_ICON_TOOL_BLOB},
        {CTL_ANALYSIS_FIRST + 1, VECTOR_ICON_MODE_1}, {CTL_ANALYSIS_FIRST + 5, VECTOR_ICON_MODE_5}};
    // The new analysis mode repaints the buttons: wait until each shows its
    // icon at the display scale (fewer than 1 % of its pixels off).
    auto shows_icon = [s](const Button& b) {
        int lw = 0, lh = 0, dw = 0, dh = 0;
        std::vector<uint8_t> drawn;
        if (!Wx_Test_Button_Picture(b.control, &lw, &lh, &drawn, &dw, &dh)) return false;
        Icon_Image icon = Draw_Vector_Icon(b.icon, s);
        if (dw != icon.Width || dh != icon.Height || drawn.size() != icon.Rgba.size()) return false;
        long differ = 0;
        for (size_t i = 0; i < drawn.size(); i += 4) {
            int d = 0;
            for (int k = 0; k < 4; k++) d = std::max(d, std::abs(drawn[i + k] - icon.Rgba[i + k]));
            if (drawn[i + 3] == 0 && icon.Rgba[i + 3] == 0) d = 0;
            differ += d > 24;
        }
        return differ < (long)(drawn.size() / 4 / 100);
    };
    Pump_Until([&] {
        for (const Button& b : buttons)
            if (!shows_icon(b)) return false;
        return true;
    }, 30000);
    for (const Button& b : buttons) {
        SCOPED_TRACE(testing::Message() << "button " << b.control);
        int lw = 0, lh = 0, dw = 0, dh = 0;
        std::vector<uint8_t> drawn;
        ASSERT_TRUE(Wx_Test_Button_Picture(b.control, &lw, &lh, &drawn, &dw, &dh));
        EXPECT_EQ(lw, 32);
        EXPECT_EQ(lh, 32);
        Icon_Image icon = Draw_Vector_Icon(b.icon, s);
        ASSERT_EQ(dw, icon.Width);
        ASSERT_EQ(dh, icon.Height);
        long differ = 0;
        for (size_t i = 0; i < drawn.size(); i += 4) {
            int d = 0;
            for (int k = 0; k < 4; k++) d = std::max(d, std::abs(drawn[i + k] - icon.Rgba[i + k]));
            if (drawn[i + 3] == 0 && icon.Rgba[i + 3] == 0) d = 0;  // transparent in both: colour is moot
            differ += d > 24;
        }
        EXPECT_LT(differ, (long)(drawn.size() / 4 / 100)) << "of " << drawn.size() / 4 << " pixels";
    }
}

TEST_F(Ui, Emulator_Press_Selects_The_Live_Document) {
    Open_Plain_Document(64, 48, 1, 2, 3);
    ASSERT_GT(Current_Job, 0);
    Platform_Event e;
    e.Window = WINDOW_EMULATOR;
    e.Kind = EVENT_CONTROL;
    e.Control = CTL_EMU_VIEW;
    e.Type = ETYPE_LEFT_DOWN;
    e.X = 375;
    e.Y = 60;
    Post_Event(e);
    e.Type = ETYPE_LEFT_UP;
    Post_Event(e);
    // Both events handled (the drag has ended) and no glide left that would
    // move the crop under the next test.
    Pump_Until([] { return Current_Job == 0 && Emulator_View().Pan_Dragging == 0 && Emulator_View().Pan_Step >= 1.0f; });
    EXPECT_EQ(Current_Job, 0);
}

// Red anywhere within two pixels of overview column x, on its middle row, as
// last drawn (the back buffer keeps it after the swap on the test display).
bool Overview_Red_Near(int x) {
    if (!GL_Make_Current(CTL_EMU_VIEW)) return false;
    glReadBuffer(GL_BACK);
    double scale = Display_Scale_X();
    bool red = false;
    for (int dx = -2; dx <= 2; dx++) {
        uint8_t px[4] = {0, 0, 0, 0};
        glReadPixels((int)std::lround((x + dx) * scale), (int)std::lround(60 * scale), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        red = red || (px[0] > 200 && px[1] < 80 && px[2] < 80);
    }
    return red;
}

TEST_F(Ui, Emulator_Overview_Frames_The_Crop_In_Red_And_Follows_A_Glide) {
    // A press at overview x aims the crop centre at (x - 375) * 4; one overview
    // pixel is four sample pixels, and the frame lies 6 of them inside the crop.
    struct Glide { float press_x; int64_t column, old_column; };
    const Glide glides[] = {{562, 1928, 780}, {275, 780, 1928}};
    Settle();
    for (const Glide& g : glides) {
        Platform_Event e;
        e.Window = WINDOW_EMULATOR;
        e.Kind = EVENT_CONTROL;
        e.Control = CTL_EMU_VIEW;
        e.Type = ETYPE_LEFT_DOWN;
        e.X = g.press_x;
        e.Y = 60;
        Post_Event(e);
        Pump_Until([] { return Emulator_View().Pan_Dragging == 1 && Emulator_View().Pan_Step < 1.0f; });
        e.Type = ETYPE_LEFT_UP;
        Post_Event(e);
        Pump_Until([&] { return Emulator_View().Pan_Step >= 1.0f && Emulator_View().Last_Crop_Column == g.column; });
        Settle();
        ASSERT_EQ(Emulator_View().Last_Crop_Column, g.column);
        int edge = (int)(g.column + 6) / 4, old_edge = (int)(g.old_column + 6) / 4;
        EXPECT_TRUE(Overview_Red_Near(edge)) << g.press_x;
        EXPECT_FALSE(Overview_Red_Near(old_edge)) << g.press_x;
        EXPECT_FALSE(Overview_Red_Near(edge + 80)) << "inside the frame the sample shows";
    }
}

}  // namespace

namespace {

// Remakes docs/screenshot.png when TRELLUM_SCREENSHOT names the output file
// (scripts/screenshot runs it under Xvfb).
TEST_F(Ui, Screenshot) {
    const char* out = getenv("TRELLUM_SCREENSHOT");
    if (!out) GTEST_SKIP() << "set TRELLUM_SCREENSHOT to remake the screenshot";
    Resize_Window(WINDOW_MAIN, 1060, 600);
    Pump_Until([] { return Window_Settled_At(1060, 600); });
    Jobs[0].Doc.PPMM = 100;
    ASSERT_EQ(Duplicate_Job(0), 0);
    int64_t slot = Current_Job;
    Select_Job(slot);
    Add_Tool(TOOL_LINE, 130, 300, 330, 300, Manual_Tool_Colour);
    Add_Tool(TOOL_BOX, 380, 60, 520, 170, Manual_Tool_Colour);
    Add_Tool(TOOL_CIRCLE, 250, 130, 55, 0, Automatic_Tool_Colour);
    Add_Tool(TOOL_BLOB, 430, 300, 520, 390, Automatic_Tool_Colour);
    Select_Tool(0);
    Rebuild_Measurement_List();
    Set_State(CTL_MEASURE_LIST, 0);
    Pump(1500);
    Settle();
    int x, y, w, h;
    Window_Position(WINDOW_MAIN, &x, &y);
    Window_Size(WINDOW_MAIN, &w, &h);
    // The screen is in device pixels.
    const double s = Display_Scale_X();
    auto d = [s](int v) { return std::to_string((int)std::lround(v * s)); };
    std::string command = "import -window root -crop " + d(w + 40) + "x" + d(h + 80) + "+" + d(std::max(0, x - 20)) +
                          "+" + d(std::max(0, y - 40)) + " +repage '" + out + "'";
    EXPECT_EQ(system(command.c_str()), 0);
}

}  // namespace

#include "base/image_io.h"
#include "app/picture_export.h"
#include "base/tiff_io.h"
#include "document/image_files.h"
#include "measure/calibration.h"
#include "support/temp_folder.h"

namespace {

TEST_F(Ui, Exported_Picture_Is_The_View_As_Drawn) {
    Temp_Folder folder;
    Open_Plain_Document(640, 480, 100, 100, 100, 10);
    Add_Tool(TOOL_LINE, 100, 200, 300, 200, Manual_Tool_Colour);
    Settle();
    Script_Prompt(1, folder.File("shot"), 2);  // the PNG filter
    Script_Prompt(1);                          // the "Success" box
    Export_Image(CTL_PICTURE_VIEW);
    std::string path = folder.File("shot.png");
    EXPECT_EQ(Prompt_History().back().Title, "Success");
    EXPECT_EQ(Prompt_History().back().Text, "Saved image to:\n" + path);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(Read_File_Bytes(path, 64 << 20, &bytes));
    Picture p;
    ASSERT_TRUE(Decode_Picture(bytes.data(), bytes.size(), &p));
    int x, y, w, h;
    Control_Rect(CTL_PICTURE_VIEW, &x, &y, &w, &h);
    EXPECT_EQ(p.Width, (int)std::lround(w * Display_Scale_X()));
    EXPECT_EQ(p.Height, (int)std::lround(h * Display_Scale_Y()));
    float wx, wy;
    Image_To_Window(200, 200, &wx, &wy);
    const size_t px = (size_t)(wx * Display_Scale_X()), py = (size_t)(wy * Display_Scale_Y());
    const uint8_t* q = &p.Pixels[(py * p.Width + px) * 4];
    EXPECT_TRUE(Near(q[2], 155, 30) && Near(q[1], 242, 30)) << (int)q[2] << "," << (int)q[1];
    EXPECT_EQ(q[3], 255);  // no transparency in the file
}

// "Export picture..." on the real window: the document's own size and
// colours, not the view, with the overlay exclusive-or'ed at document
// resolution and the calibration in the TIFF; its two options sit on the
// Settings page.
TEST_F(Ui, Exported_Picture_Is_The_Document_With_Its_Scale_Bar) {
    Temp_Folder folder;
    Open_Plain_Document(640, 480, 100, 100, 100, 10);
    Add_Tool(TOOL_LINE, 100, 200, 300, 200, Manual_Tool_Colour);
    Settle();
    int x, y, w, h;
    for (int64_t box : {CTL_EXPORT_SCALE_BAR, CTL_EXPORT_OVERLAY}) {
        Control_Rect(box, &x, &y, &w, &h);
        EXPECT_EQ(y, box == CTL_EXPORT_SCALE_BAR ? 232 : 262);
        EXPECT_GT(w, 100);
        EXPECT_EQ(Get_State(box), 1);
    }
    Script_Prompt(1, folder.File("shot"), 1);  // the TIFF filter
    Script_Prompt(1);                          // the "Success" box
    Export_Picture();
    std::string path = folder.File("shot.tif");
    EXPECT_EQ(Prompt_History().back().Text, "Saved image to:\n" + path);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(Read_File_Bytes(path, 64 << 20, &bytes));
    Picture p;
    Tiff_Calibration cal;
    ASSERT_TRUE(Decode_Tiff(bytes.data(), bytes.size(), MAX_PICTURE_EDGE, &p, &cal));
    EXPECT_EQ(p.Width * 1000 + p.Height, 640480);
    EXPECT_FLOAT_EQ(cal.PPMM, 10);
    // The manual colour (255, 150, 90) flips the grey 100 to (155, 242, 62) on the line only.
    const uint8_t* on = &p.Pixels[((size_t)200 * 640 + 200) * 4];
    const uint8_t* off = &p.Pixels[((size_t)210 * 640 + 200) * 4];
    EXPECT_EQ(on[2] << 16 | on[1] << 8 | on[0], 155 << 16 | 242 << 8 | 62);
    EXPECT_EQ(off[2] << 16 | off[1] << 8 | off[0], 100 << 16 | 100 << 8 | 100);
    int white = 0;
    for (int yy = 400; yy < 480; yy++)
        for (int xx = 480; xx < 640; xx++) white += p.Pixels[((size_t)yy * 640 + xx) * 4 + 1] == 255;
    EXPECT_GT(white, 100) << "the scale bar in the bottom-right corner";
}

struct Calibration_Typing {
    std::vector<const char*> Typed = {"2"};  // one after the other, each with its event
    bool Press_Ok = true;
    int Step = 0;
    int Save_As[4] = {0, 0, 0, 0}, Ok[4] = {0, 0, 0, 0}, Actual[4] = {0, 0, 0, 0}, Note[4] = {0, 0, 0, 0};
    bool Ok_Enabled = false;
    std::string Note_Shows;
};

void Type_Into_Calibration(void* user) {
    Calibration_Typing* t = (Calibration_Typing*)user;
    if (!Window_Exists(WINDOW_CALIBRATION)) return;
    Platform_Event e;
    e.Window = WINDOW_CALIBRATION;
    e.Kind = EVENT_CONTROL;
    e.Type = ETYPE_CHANGE;
    if (t->Step < (int)t->Typed.size()) {
        // The hook runs again only once the change event was handled.
        Wx_Test_User_Sets(CTL_CAL_ACTUAL, 0, t->Typed[(size_t)t->Step]);
        if (t->Press_Ok) Set_Text(CTL_CAL_SAVE_AS, "4x");
        Control_Rect(CTL_CAL_SAVE_AS, &t->Save_As[0], &t->Save_As[1], &t->Save_As[2], &t->Save_As[3]);
        Control_Rect(CTL_CAL_OK, &t->Ok[0], &t->Ok[1], &t->Ok[2], &t->Ok[3]);
        Control_Rect(CTL_CAL_ACTUAL, &t->Actual[0], &t->Actual[1], &t->Actual[2], &t->Actual[3]);
        int64_t state = 0;
        if (Control_Exists(CTL_CAL_NOTE) && Wx_Test_Widget_Shows(CTL_CAL_NOTE, &state, &t->Note_Shows))
            Control_Rect(CTL_CAL_NOTE, &t->Note[0], &t->Note[1], &t->Note[2], &t->Note[3]);
    } else if (t->Step == (int)t->Typed.size()) {
        t->Ok_Enabled = !Control_Disabled(CTL_CAL_OK);
        e.Control = t->Press_Ok ? CTL_CAL_OK : CTL_CAL_CANCEL;
        Post_Event(e);
    }
    t->Step++;
}

TEST_F(Ui, Calibration_Dialog_On_The_Real_Window) {
    Temp_Folder folder;
    std::string saved_folder = Program_Names.Data_Folder;
    Program_Names.Data_Folder = folder.Path + "/";
    int64_t slot = Open_Plain_Document(640, 480, 100, 100, 100, 50);
    Tool t;
    t.Type = TOOL_LINE;
    t.X_End = 200.4f;
    t.Distance = 200.4f;
    Jobs[slot].Doc.Tools = {t};
    Rebuild_Measurement_List();
    Set_State(CTL_MEASURE_LIST, 0);
    Set_State(CTL_UNIT_LIST, 2);
    Settings_From_Widgets();
    Calibration_Typing typing;
    Set_Idle_Hook(Type_Into_Calibration, &typing);
    Script_Prompt(1);  // the "Calibration complete" box
    Calibrate();
    Set_Idle_Hook(nullptr, nullptr);
    EXPECT_FALSE(Window_Exists(WINDOW_CALIBRATION));
    EXPECT_FLOAT_EQ(Jobs[slot].Doc.PPMM, 100.0f);
    EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 100.0f);
    EXPECT_EQ(Prompt_History().back().Text, "Calibration complete");
    Update_Windows();
    EXPECT_NE(Read_Whole_File(folder.File("Orbisk.prefs")).find("PPMM = 100.000000"), std::string::npos);
    // "Save as:" sits left of OK on the buttons' row, and the name reaches the Settings page.
    EXPECT_LE(typing.Save_As[0] + typing.Save_As[2], typing.Ok[0]);
    EXPECT_EQ(typing.Save_As[1], typing.Ok[1]);
    EXPECT_GT(typing.Save_As[2], 40);
    ASSERT_EQ(Row_Count(CTL_CALIBRATION_CHOICE), 1);
    Refresh_Calibration_Display();
    int64_t shown = -2;
    std::string text;
    ASSERT_TRUE(Wx_Test_Widget_Shows(CTL_CALIBRATION_CHOICE, &shown, &text));
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(text, "4x");
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres - 4x");
    EXPECT_NE(Read_Whole_File(folder.File("calibrations.json")).find("\"Name\":\"4x\",\"PPMM\":100,\"Width\":640}"),
              std::string::npos);

    // A circle: "-5" typed into the real field after "3" disables OK, and the
    // line naming the radius sits between the fields and the buttons.
    Tool circle;
    circle.Type = TOOL_CIRCLE;
    circle.Radius = 50;
    Jobs[slot].Doc.Tools = {circle};
    Rebuild_Measurement_List();
    Set_State(CTL_MEASURE_LIST, 0);
    Calibration_Typing circle_typing;
    circle_typing.Typed = {"3", "-5"};
    circle_typing.Press_Ok = false;
    Set_Idle_Hook(Type_Into_Calibration, &circle_typing);
    Calibrate();
    Set_Idle_Hook(nullptr, nullptr);
    EXPECT_FALSE(circle_typing.Ok_Enabled);
    EXPECT_FLOAT_EQ(Jobs[slot].Doc.PPMM, 100.0f);
    EXPECT_EQ(circle_typing.Note_Shows, "The circle's radius");
    EXPECT_GE(circle_typing.Note[1], circle_typing.Actual[1] + circle_typing.Actual[3]);
    EXPECT_LE(circle_typing.Note[1] + circle_typing.Note[3], circle_typing.Ok[1]);
    EXPECT_GT(circle_typing.Note[2], 100);

    Calibrations.clear();
    Fill_Calibration_Choice();
    Program_Names.Data_Folder = saved_folder;
}

}  // namespace

namespace {

TEST_F(Ui, Canvas_Cases_Through_The_Real_View) {
    // Three points on one line make no circle and end the click sequence.
    int64_t slot = Open_Plain_Document(640, 480, 90, 90, 90);
    Choose_Tool_Button(CTL_TOOL_CIRCLE);
    Click_Image(0, 0);
    Click_Image(10, 10);
    Click_Image(20, 20);
    EXPECT_EQ(Canvas_View().Click_State, 0);
    EXPECT_TRUE(Jobs[slot].Doc.Tools.empty());

    // Wheel notches, limited to 1 .. 16.
    Set_Magnifier_Zoom(4);
    Post_View_Event(ETYPE_WHEEL, 10, 10, 0, -4);
    Settle();
    EXPECT_EQ(Canvas_View().Magnifier_Zoom, 1);
    Post_View_Event(ETYPE_WHEEL, 10, 10, 0, 30);
    Settle();
    EXPECT_EQ(Canvas_View().Magnifier_Zoom, 16);

    // Threshold keys at the slider's bounds.
    Post_View_Event(ETYPE_KEY_DOWN, 0, 0, 'S');
    Settle();
    for (auto c : {std::pair<int32_t, int64_t>{'0', 1}, {VK_MINUS_, 1}, {'8', 255}, {VK_EQUALS_, 255}}) {
        Post_View_Event(ETYPE_KEY_DOWN, 0, 0, c.first);
        Settle();
        EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), c.second) << c.first;
    }
}

TEST_F(Ui, Both_Axes_From_The_Live_Picture_Land_In_One_New_Document) {
    // A magenta-ish square on the live frame, found by the magenta threshold.
    Job_Slot& live = Jobs[0];
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            uint8_t* p = &live.Doc.Image_Buffer[((size_t)y * 640 + x) * 4];
            bool in = x >= 100 && x < 150 && y >= 200 && y < 250;
            p[0] = in ? 255 : 250;
            p[1] = in ? 0 : 250;
            p[2] = in ? 255 : 250;
        }
    live.Image_Changed = 1;
    Select_Analysis_Mode(3);
    Set_State(CTL_THRESHOLD_SLIDER, 80);
    Apply_Threshold();
    Choose_Tool_Button(CTL_TOOL_AXES);
    Settle();
    Click_Image(120, 230);
    EXPECT_EQ(Current_Job, 1);
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 2u);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_Start, 100);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_End, 149);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[1].Y_Start, 249);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[1].Y_End, 200);
    EXPECT_EQ(Count_Open_Jobs(), 1);
}

TEST_F(Ui, A_Line_On_The_Live_Picture_Follows_The_Stage) {
    Stage_Zero = 0;
    Stage_Position = 50;
    Click_Image(100, 200);
    Stage_Position = 80;
    Click_Image(300, 200);
    ASSERT_EQ(Current_Job, 1);
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_Start, 70);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_End, 300);
    Stage_Position = Emulator_View().Pan_Current;
}

}  // namespace

#include "video/capture_thread.h"

namespace {

TEST_F(Ui, Video_Off_And_On_Again_With_The_Toggle) {
    int64_t slot = Open_Plain_Document(64, 48, 10, 20, 30);
    Select_Job(0);
    Set_State(CTL_VIDEO_TOGGLE, 0);
    Platform_Event e;
    e.Window = WINDOW_MAIN;
    e.Kind = EVENT_CONTROL;
    e.Control = CTL_VIDEO_TOGGLE;
    e.Type = ETYPE_CHANGE;
    Post_Event(e);
    Pump_Until([] { return Video_Mode == VIDEO_NONE; });
    EXPECT_EQ(Video_Mode, VIDEO_NONE);
    EXPECT_FALSE(Window_Exists(WINDOW_EMULATOR));
    EXPECT_EQ(Jobs[0].In_Use, 0);
    EXPECT_EQ(Current_Job, slot);  // the lowest open frozen document
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 0), "Video Disabled.");

    Set_State(CTL_VIDEO_TOGGLE, 1);
    Post_Event(e);
    Pump_Until([] { return Video_Mode == VIDEO_EMULATOR && Emulator_View().Last_Crop_Column == 780; });
    EXPECT_EQ(Video_Mode, VIDEO_EMULATOR);
    EXPECT_TRUE(Window_Exists(WINDOW_EMULATOR));
    EXPECT_EQ(Current_Job, 0);
    EXPECT_EQ(Jobs[0].In_Use, 1);
    EXPECT_EQ(Emulator_View().Last_Crop_Column, 780);
    EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 1);
    // The live picture reaches the main view again: not the plain empty background.
    Settle();
    int r, g, b;
    Read_Back_At_Image(320, 100, &r, &g, &b);
    EXPECT_FALSE(r == 105 && g == 127 && b == 144) << r << "," << g << "," << b;
}

}  // namespace

#include "app/video_source.h"
#include "video/camera_source.h"

namespace {

// The whole camera path on the real window with a hardware-free source:
// frames reach the live document and the view, the status bar counts them,
// Space freezes one, a line lands in that document, and the toggle returns
// to the camera.
TEST_F(Ui, A_Test_Camera_Source_From_Frames_To_A_Measured_Document) {
    // The live picture has the source's size: 640 x 480 here.
    ASSERT_TRUE(Start_Video_Source(
        "gst:videotestsrc pattern=solid-color foreground-color=0xff00ff00 ! video/x-raw,width=640,height=480", ""));
    Show_Video_Changes();
    ASSERT_EQ(Video_Mode, VIDEO_CAMERA);
    EXPECT_FALSE(Window_Exists(WINDOW_EMULATOR));
    Reset_Status_Cache();
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 0), "Starting camera...") << "until the capture thread has opened it";
    int64_t first = Main_Loop.Frames_Total;
    EXPECT_TRUE(Pump_Until([&] { return Main_Loop.Frames_Total >= first + 5 && Main_Loop.Frames_Per_Second > 0; }));
    const uint8_t* px = Jobs[0].Doc.Image_Buffer.data() + (100 * 640 + 50) * 4;
    EXPECT_EQ(px[0] | px[1] << 8 | px[2] << 16 | px[3] << 24, (int)0xff00ff00);
    Settle();
    int r, g, b;
    Read_Back_At_Image(50, 400, &r, &g, &b);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 0);
    Reset_Status_Cache();
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 0), "Video: FPS: " + std::to_string(Main_Loop.Frames_Per_Second) + ")");
    EXPECT_GT(Main_Loop.Frames_Per_Second, 0);

    Post_View_Event(ETYPE_KEY_DOWN, 0, 0, VK_SPACE_);
    Settle();
    ASSERT_EQ(Jobs[1].In_Use, 1);
    Select_Job(1);
    Settle();
    Click_Image(100, 100);
    Click_Image(300, 100);
    EXPECT_EQ(Current_Job, 1) << "the camera's first scale reading is no stage movement";
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_End - Jobs[1].Doc.Tools[0].X_Start, 200);
    EXPECT_TRUE(Jobs[0].Doc.Tools.empty());
    EXPECT_EQ(Jobs[1].Doc.Image_Buffer[(100 * 640 + 50) * 4 + 1], 255) << "the frozen picture is the camera's";

    Platform_Event e;
    e.Window = WINDOW_MAIN;
    e.Kind = EVENT_CONTROL;
    e.Control = CTL_VIDEO_TOGGLE;
    e.Type = ETYPE_CHANGE;
    Set_State(CTL_VIDEO_TOGGLE, 0);
    Post_Event(e);
    EXPECT_TRUE(Pump_Until([] { return Video_Mode == VIDEO_NONE; }));
    Set_State(CTL_VIDEO_TOGGLE, 1);
    Post_Event(e);
    EXPECT_TRUE(Pump_Until([] { return Video_Mode == VIDEO_CAMERA; }));
    int64_t again = Main_Loop.Frames_Total;
    EXPECT_TRUE(Pump_Until([&] { return Main_Loop.Frames_Total >= again + 3; }));
    EXPECT_FALSE(Window_Exists(WINDOW_EMULATOR));
    EXPECT_EQ(Current_Job, 0);

    // Back to the emulator for the other tests.
    EXPECT_TRUE(Start_Video_Source("", ""));
    Show_Video_Changes();
    EXPECT_EQ(Video_Mode, VIDEO_EMULATOR);
}

}  // namespace
