#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "app/analysis_panel.h"
#include "analysis/auto_measure.h"
#include "analysis/threshold.h"
#include "app/dispatch.h"
#include "app/picture_keys.h"
#include "base/app_state.h"
#include "measure/canvas.h"
#include "measure/snapping.h"
#include "measure/tools.h"
#include "support/null_fixture.h"

namespace {

void Move(float x, float y) { Picture_View_Event(View_Event(ETYPE_MOUSE_MOVE, x, y)); }
void Click() { Picture_View_Event(View_Event(ETYPE_LEFT_CLICK)); }
void Click_At(float x, float y) {
    Move(x, y);
    Click();
}
void Key(int32_t k) { Picture_View_Key(k); }
void Wheel(int32_t n) {
    Platform_Event e = View_Event(ETYPE_WHEEL);
    e.Wheel = n;
    Picture_View_Event(e);
}

// A cleared hit mask of the current document's size with hit rectangles
// (x0, y0, x1, y1, inclusive).
void Mask_Rects(std::initializer_list<std::array<int32_t, 4>> rects) {
    const Job_Slot& s = Jobs[Current_Job];
    Hit_Mask_Width = s.Doc.Resolution.x;
    Hit_Mask_Height = s.Doc.Resolution.y;
    Hit_Mask.assign((size_t)Hit_Mask_Width * Hit_Mask_Height, 0);
    for (const auto& r : rects)
        for (int32_t y = r[1]; y <= r[3]; y++)
            for (int32_t x = r[0]; x <= r[2]; x++) Hit_Mask[(size_t)y * Hit_Mask_Width + x] = 1;
}

class Canvas : public ::testing::Test {
protected:
    void SetUp() override {
        Fresh_Main_Window();
        Set_State(CTL_SNAP_ANGLE, 0);
        Set_State(CTL_SNAP_EDGES, 0);
        Settings_From_Widgets();
    Settings_From_Widgets();
        Make_Document(0, 640, 480);
        Make_Document(1, 640, 480);
    }
};

TEST_F(Canvas, Manual_Line_Rounds_Its_Points_Half_To_Even) {
    Make_Current_Job(1);
    Click_At(10.4f, 20.6f);
    EXPECT_EQ(Canvas_View().Click_State, 1);
    Click_At(110.5f, 20.4f);
    EXPECT_EQ(Canvas_View().Click_State, 0);
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    const Tool& t = Jobs[1].Doc.Tools[0];
    EXPECT_EQ(t.Type, TOOL_LINE);
    EXPECT_FLOAT_EQ(t.X_Start, 10);
    EXPECT_FLOAT_EQ(t.Y_Start, 21);
    EXPECT_FLOAT_EQ(t.X_End, 110);
    EXPECT_FLOAT_EQ(t.Y_End, 20);
    EXPECT_EQ(Round_Half_Even(2.5), 2);
    EXPECT_EQ(Round_Half_Even(3.5), 4);
    EXPECT_EQ(Round_Half_Even(-2.5), -2);
    // values no int64 holds (a failed fit) must not reach the cast
    EXPECT_EQ(Round_Half_Even(NAN), 0);
    EXPECT_EQ(Round_Half_Even(INFINITY), INT64_MAX);
    EXPECT_EQ(Round_Half_Even(-INFINITY), INT64_MIN);
    EXPECT_EQ(Round_Half_Even(1e300), INT64_MAX);
}

// From a first point at (100, 100), a move near the left or top edge of a hit
// box (200..259, 100..159) is levelled, pulled onto the edge, or both.
TEST_F(Canvas, Moves_Snap_As_The_Settings_Say) {
    Set_Snap_Preferences(12, 3.0f);
    Prepare_Snap_Offsets();
    Make_Current_Job(1);
    Jobs[1].Doc.Processing.Mode = 2;
    Mask_Rects({{200, 100, 259, 159}});
    struct Row {
        int64_t angle, edges;
        float x, y, want_x, want_y;
    } rows[] = {{0, 0, 195, 103, 195, 103}, {1, 0, 195, 103, 195, 100}, {0, 1, 195, 103, 200, 103},
                {1, 1, 195, 103, 200, 100}, {0, 1, 230, 92, 230, 100},   {1, 0, 230, 92, 230, 92}};
    for (const Row& r : rows) {
        Set_State(CTL_SNAP_ANGLE, 0);
        Set_State(CTL_SNAP_EDGES, 0);
        Settings_From_Widgets();
        Drop_Tool_Click();
        Click_At(100, 100);
        Set_State(CTL_SNAP_ANGLE, r.angle);
        Set_State(CTL_SNAP_EDGES, r.edges);
        Settings_From_Widgets();
        Move(r.x, r.y);
        const Canvas_State& c = Canvas_View();
        EXPECT_EQ(c.Pointer_X, r.want_x) << r.angle << r.edges;
        EXPECT_EQ(c.Pointer_Y, r.want_y) << r.angle << r.edges;
        if (r.angle) {
            EXPECT_EQ(c.Snapped_To_Angle, r.y == r.want_y ? 0 : 1) << r.edges;
        }
        if (r.edges) {
            EXPECT_EQ(c.Snapped_To_Edge, 1) << r.angle;
        }
        EXPECT_FLOAT_EQ(c.Live_Measure.Y_End, r.want_y);
    }
}

TEST_F(Canvas, A_Click_On_The_Live_Picture_Freezes_It_First) {
    Jobs[1].In_Use = 0;
    Make_Current_Job(0);
    Click_At(10, 10);
    Click_At(60, 10);
    EXPECT_EQ(Current_Job, 1);
    EXPECT_EQ(Jobs[1].In_Use, 1);
    EXPECT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_TRUE(Jobs[0].Doc.Tools.empty());
}

TEST_F(Canvas, Width_And_Height_Axis_Puts_Both_Tools_Into_One_New_Document) {
    Jobs[1].In_Use = 0;
    Make_Current_Job(0);
    Choose_Tool_Button(CTL_TOOL_AXES);
    EXPECT_EQ(Canvas_View().Current_Tool, MTOOL_AXES);
    sMeasurement m = Canvas_View().Live_Measure;
    m.hfx = 100;
    m.hfy = 50;
    m.htx = 149;
    m.hty = 50;
    m.vfx = 120;
    m.vfy = 99;
    m.vtx = 120;
    m.vty = 20;
    Take_Live_Measure(m);
    Click();
    EXPECT_EQ(Current_Job, 1);
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 2u);
    EXPECT_EQ(Jobs[1].Doc.Tools[0].Type, TOOL_WIDTH);
    EXPECT_EQ(Jobs[1].Doc.Tools[1].Type, TOOL_HEIGHT);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[1].Y_Start, 99);
    EXPECT_EQ(Count_Open_Jobs(), 1);
}

TEST_F(Canvas, Three_Points_On_A_Line_Make_No_Circle) {
    Make_Current_Job(1);
    Choose_Tool_Button(CTL_TOOL_CIRCLE);
    Click_At(0, 0);
    Click_At(10, 10);
    EXPECT_EQ(Canvas_View().Click_State, 2);
    // Choosing another tool keeps the points: the next click still ends the circle.
    Choose_Tool_Button(CTL_TOOL_LINE);
    Click_At(20, 20);
    EXPECT_EQ(Canvas_View().Click_State, 0);
    EXPECT_TRUE(Jobs[1].Doc.Tools.empty());

    Choose_Tool_Button(CTL_TOOL_CIRCLE);
    Click_At(0, 10);
    Click_At(10, 0);
    Click_At(20, 10);
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].CentreX, 10);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].Radius, 10);
}

TEST_F(Canvas, Right_Click_And_Escape_Drop_The_First_Point) {
    Make_Current_Job(1);
    Click_At(5, 5);
    Picture_View_Event(View_Event(ETYPE_RIGHT_CLICK));
    EXPECT_EQ(Canvas_View().Click_State, 0);
    Click_At(5, 5);
    Key(VK_ESCAPE_);
    EXPECT_EQ(Canvas_View().Click_State, 0);
    EXPECT_TRUE(Jobs[1].Doc.Tools.empty());
}

TEST_F(Canvas, Wheel_Limits_The_Magnifier_Power) {
    struct Case {
        int64_t start;
        std::vector<int32_t> notches;
        int64_t end;
    };
    const Case cases[] = {{4, {-1, -1, -1}, 1}, {4, {-1, -1, -1, -5}, 1}, {1, {20}, 16}, {4, {2, 3}, 9}};
    for (const Case& c : cases) {
        Set_Magnifier_Zoom(c.start);
        for (int32_t n : c.notches) Wheel(n);
        EXPECT_EQ(Canvas_View().Magnifier_Zoom, c.end);
    }
}

TEST_F(Canvas, Threshold_Keys_Stay_Within_The_Slider) {
    Make_Current_Job(1);
    Select_Analysis_Mode(2);  // cyan
    struct Case {
        int64_t before;
        int32_t key;
        int64_t after;
    };
    const Case cases[] = {{100, '0', 1}, {100, '3', 96}, {100, '7', 224}, {100, '8', 255}, {3, VK_MINUS_, 1},
                          {253, VK_EQUALS_, 255}, {100, VK_MINUS_, 96}};
    for (const Case& c : cases) {
        Set_State(CTL_THRESHOLD_SLIDER, c.before);
        Key(c.key);
        EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), c.after) << c.key;
        EXPECT_EQ(Jobs[1].Doc.Processing.Threshold_Cyan, c.after) << c.key;
    }
}

TEST_F(Canvas, Document_Keys_At_The_Ends) {
    Make_Document(2, 640, 480);
    Make_Current_Job(2);
    Key('N');  // two frozen documents open: there is no third
    EXPECT_EQ(Current_Job, 2);
    Key('B');
    EXPECT_EQ(Current_Job, 1);
    Key('V');
    EXPECT_EQ(Current_Job, 0);
    Key('B');  // already on the live document
    EXPECT_EQ(Current_Job, 0);
    Key('N');
    EXPECT_EQ(Current_Job, 1);
}

// V, B and N never make an empty slot current: with video off the live slot
// is empty, and gaps are left by closed documents.
TEST_F(Canvas, Document_Keys_Keep_A_Document_Current) {
    struct Row {
        bool video;
        std::vector<int64_t> frozen;  // slots 1..8 in use
        int64_t start;
        const char* keys;
        std::vector<int64_t> after;  // Current_Job after each key
    } rows[] = {
        {false, {1, 2}, 2, "V", {2}},
        {false, {}, -1, "VBN", {-1, -1, -1}},
        {false, {1}, 1, "BVN", {1, 1, 1}},
        {false, {1, 3}, 3, "BVNV", {1, 1, 3, 3}},
        {false, {2, 5}, -1, "N", {2}},
        {true, {}, 0, "VBN", {0, 0, 0}},
        {true, {1, 2}, 2, "VNNNB", {0, 1, 2, 2, 1}},
        {true, {1, 3}, 1, "NBBV", {3, 1, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "video " << r.video << ", start " << r.start << ", keys " << r.keys);
        Fresh_Main_Window();
        Make_Document(0, 64, 48);
        Jobs[0].In_Use = r.video ? 1 : 0;
        for (int64_t slot : r.frozen) Make_Document(slot, 64, 48);
        Make_Current_Job(r.start);
        for (size_t k = 0; r.keys[k]; k++) {
            Key(r.keys[k]);
            EXPECT_EQ(Current_Job, r.after[k]) << "after " << r.keys[k];
            EXPECT_TRUE(Current_Job == -1 || Jobs[Current_Job].In_Use) << "after " << r.keys[k];
        }
    }
}

// A click commits what the automatic measurement under the pointer found,
// and nothing when it found nothing. Every row first measures on a 10 x 10
// square, so a result left over from there would show.
TEST_F(Canvas, Automatic_Clicks_Place_Only_What_Was_Found) {
    const float inf = INFINITY;
    struct Row {
        const char* what;
        int64_t tool;
        int32_t w, h;
        std::array<int32_t, 4> object;
        float px, py;
        float forced_radius;  // 0 = as measured, otherwise written over the result
        size_t tools;
        float x1, y1, x2, y2;  // the tool placed
        int64_t area = 0;      // the pixel count a blob keeps
    } rows[] = {
        {"blob", CTL_TOOL_BLOB, 640, 480, {300, 300, 319, 309}, 305, 305, 0, 1, 300, 300, 320, 310, 200},
        {"blob on background", CTL_TOOL_BLOB, 640, 480, {300, 300, 319, 309}, 400, 400, 0, 0, 0, 0, 0, 0},
        {"single-pixel blob", CTL_TOOL_BLOB, 640, 480, {300, 300, 300, 300}, 300, 300, 0, 0, 0, 0, 0, 0},
        {"blob across column 640", CTL_TOOL_BLOB, 1000, 800, {600, 300, 700, 309}, 610, 305, 0, 1, 600, 300, 701,
         310, 1010},
        {"blob beyond column 640", CTL_TOOL_BLOB, 1000, 800, {700, 100, 720, 120}, 710, 110, 0, 1, 700, 100, 721, 121,
         441},
        {"circle on a square", CTL_TOOL_AUTO_CIRCLE, 640, 480, {300, 300, 340, 340}, 320, 320, 0, 1, 320, 320, 20,
         0},
        {"circle on a 60 x 40 box", CTL_TOOL_AUTO_CIRCLE, 640, 480, {200, 300, 259, 339}, 230, 320, 0, 0, 0, 0, 0, 0},
        // re-centred onto the square's right edge: three run ends on one line
        {"circle fit not finite", CTL_TOOL_AUTO_CIRCLE, 640, 480, {300, 300, 340, 340}, 303, 307, 0, 0, 0, 0, 0, 0},
        {"infinite radius", CTL_TOOL_AUTO_CIRCLE, 640, 480, {300, 300, 340, 340}, 320, 320, inf, 0, 0, 0, 0, 0},
        {"NaN radius", CTL_TOOL_AUTO_CIRCLE, 640, 480, {300, 300, 340, 340}, 320, 320, NAN, 0, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Fresh_Main_Window();
        Set_State(CTL_SNAP_ANGLE, 0);
        Set_State(CTL_SNAP_EDGES, 0);
        Settings_From_Widgets();
    Settings_From_Widgets();
        Make_Document(1, r.w, r.h);
        Make_Current_Job(1);
        Mask_Rects({{100, 50, 109, 59}, r.object});
        Choose_Tool_Button(r.tool);
        Move(105, 55);
        Auto_Measure();
        ASSERT_GT(Canvas_View().Live_Measure.htx, 0);
        Move(r.px, r.py);
        Auto_Measure();
        if (r.forced_radius != 0) {
            sMeasurement m = Canvas_View().Live_Measure;
            m.Radius = r.forced_radius;
            Take_Live_Measure(m);
        }
        Click();
        std::vector<Tool>& tools = Jobs[1].Doc.Tools;
        EXPECT_EQ(tools.size(), r.tools);
        if (tools.size() != r.tools || r.tools == 0) continue;
        EXPECT_FLOAT_EQ(tools[0].X_Start, r.x1);
        EXPECT_FLOAT_EQ(tools[0].Y_Start, r.y1);
        EXPECT_FLOAT_EQ(tools[0].X_End, r.x2);
        EXPECT_FLOAT_EQ(tools[0].Y_End, r.y2);
        EXPECT_EQ(tools[0].Area, r.area);
    }
}

TEST_F(Canvas, Arrow_Keys_Move_The_Selected_Tool) {
    const int32_t rows[][3] = {{VK_LEFT_, -1, 0}, {VK_RIGHT_, 1, 0}, {VK_UP_, 0, -1}, {VK_DOWN_, 0, 1}};
    for (const auto& r : rows) {
        Make_Current_Job(1);
        Jobs[1].Doc.Tools.clear();
        Add_Tool(TOOL_LINE, 10, 20, 110, 20, Manual_Tool_Colour);
        Key(r[0]);
        const Tool& t = Jobs[1].Doc.Tools[0];
        EXPECT_EQ(t.X_Start, 10.0f + r[1]) << r[0];
        EXPECT_EQ(t.Y_End, 20.0f + r[2]) << r[0];
    }
}

TEST_F(Canvas, Tool_Keys) {
    Key('X');
    EXPECT_EQ(Canvas_View().Current_Tool, MTOOL_AXES);
    Key('M');
    EXPECT_EQ(Canvas_View().Current_Tool, MTOOL_LINE);
    Key('Y');
    EXPECT_EQ(Canvas_View().Current_Tool, MTOOL_AXES);
    EXPECT_EQ(Get_State(CTL_TOOL_AXES), 1);
    EXPECT_EQ(Get_State(CTL_TOOL_LINE), 0);
    Key('L');
    EXPECT_EQ(Canvas_View().Current_Tool, MTOOL_BLOB);
    // With no tool button pressed the line tool is chosen.
    Set_State(CTL_TOOL_BLOB, 0);
    Choose_Tool_Button(-1);
    EXPECT_EQ(Canvas_View().Current_Tool, MTOOL_LINE);
    EXPECT_EQ(Get_State(CTL_TOOL_LINE), 1);
    int64_t edges = Get_State(CTL_SNAP_EDGES);
    Key('E');
    EXPECT_EQ(Get_State(CTL_SNAP_EDGES), 1 - edges);
}

TEST_F(Canvas, A_Line_On_The_Live_Picture_Follows_The_Stage) {
    Jobs[1].In_Use = 0;
    Make_Current_Job(0);
    Stage_Zero = 0;
    Stage_Position = 50;
    Click_At(100, 200);
    Stage_Position = 80;
    Move(300, 200);
    EXPECT_FLOAT_EQ(Canvas_View().Live_Measure.Distance, 230);
    Click();
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_Start, 70);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_End, 300);
    EXPECT_FLOAT_EQ(Canvas_View().First_Point_Stage, 0);
}

TEST_F(Canvas, Pointer_Is_Clamped_To_The_Image) {
    Make_Current_Job(1);
    Move(-20, 900);
    EXPECT_FLOAT_EQ(Canvas_View().Pointer_X, 0);
    EXPECT_FLOAT_EQ(Canvas_View().Pointer_Y, 479);
    EXPECT_EQ(Canvas_View().Pointer_Inside, 1);
    Picture_View_Event(View_Event(ETYPE_MOUSE_LEAVE));
    EXPECT_EQ(Canvas_View().Pointer_Inside, 0);
    EXPECT_FLOAT_EQ(Canvas_View().Pointer_Y, 479);
    // With no document nothing is clamped and clicks place nothing.
    Make_Current_Job(-1);
    Move(-20, 900);
    EXPECT_FLOAT_EQ(Canvas_View().Pointer_X, -20);
    Click();
    EXPECT_EQ(Canvas_View().Click_State, 0);
}

}  // namespace
