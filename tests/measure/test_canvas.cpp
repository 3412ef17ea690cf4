#include <gtest/gtest.h>

#include "analysis/threshold.h"
#include "app/picture_keys.h"
#include "base/app_state.h"
#include "measure/canvas.h"
#include "measure/tools.h"
#include "support/null_fixture.h"

namespace {

Platform_Event View_Event(int64_t type, float x = 0, float y = 0) {
    Platform_Event e;
    e.Window = WINDOW_MAIN;
    e.Kind = EVENT_CONTROL;
    e.Control = CTL_PICTURE_VIEW;
    e.Type = type;
    e.X = x;
    e.Y = y;
    return e;
}

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

class Canvas : public ::testing::Test {
protected:
    void SetUp() override {
        Fresh_Main_Window();
        Set_State(CTL_SNAP_ANGLE, 0);
        Set_State(CTL_SNAP_EDGES, 0);
        Make_Document(0, 640, 480);
        Make_Document(1, 640, 480);
    }
};

TEST_F(Canvas, Manual_Line_Rounds_Its_Points_Half_To_Even) {
    Current_Job = 1;
    Click_At(10.4f, 20.6f);
    EXPECT_EQ(Click_State, 1);
    Click_At(110.5f, 20.4f);
    EXPECT_EQ(Click_State, 0);
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
}

TEST_F(Canvas, A_Click_On_The_Live_Picture_Freezes_It_First) {
    Jobs[1].In_Use = 0;
    Current_Job = 0;
    Click_At(10, 10);
    Click_At(60, 10);
    EXPECT_EQ(Current_Job, 1);
    EXPECT_EQ(Jobs[1].In_Use, 1);
    EXPECT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_TRUE(Jobs[0].Doc.Tools.empty());
}

TEST_F(Canvas, Width_And_Height_Axis_Puts_Both_Tools_Into_One_New_Document) {
    Jobs[1].In_Use = 0;
    Current_Job = 0;
    Choose_Tool(CTL_TOOL_AXES);
    EXPECT_EQ(Current_Tool, MTOOL_AXES);
    Live_Measure.hfx = 100;
    Live_Measure.hfy = 50;
    Live_Measure.htx = 149;
    Live_Measure.hty = 50;
    Live_Measure.vfx = 120;
    Live_Measure.vfy = 99;
    Live_Measure.vtx = 120;
    Live_Measure.vty = 20;
    Click();
    EXPECT_EQ(Current_Job, 1);
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 2u);
    EXPECT_EQ(Jobs[1].Doc.Tools[0].Type, TOOL_WIDTH);
    EXPECT_EQ(Jobs[1].Doc.Tools[1].Type, TOOL_HEIGHT);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[1].Y_Start, 99);
    EXPECT_EQ(Count_Open_Jobs(), 1);
}

TEST_F(Canvas, Three_Points_On_A_Line_Make_No_Circle) {
    Current_Job = 1;
    Choose_Tool(CTL_TOOL_CIRCLE);
    Click_At(0, 0);
    Click_At(10, 10);
    EXPECT_EQ(Click_State, 2);
    // Choosing another tool keeps the points: the next click still ends the circle.
    Choose_Tool(CTL_TOOL_LINE);
    Click_At(20, 20);
    EXPECT_EQ(Click_State, 0);
    EXPECT_TRUE(Jobs[1].Doc.Tools.empty());

    Choose_Tool(CTL_TOOL_CIRCLE);
    Click_At(0, 10);
    Click_At(10, 0);
    Click_At(20, 10);
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].CentreX, 10);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].Radius, 10);
}

TEST_F(Canvas, Right_Click_And_Escape_Drop_The_First_Point) {
    Current_Job = 1;
    Click_At(5, 5);
    Picture_View_Event(View_Event(ETYPE_RIGHT_CLICK));
    EXPECT_EQ(Click_State, 0);
    Click_At(5, 5);
    Key(VK_ESCAPE_);
    EXPECT_EQ(Click_State, 0);
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
        Magnifier_Zoom = c.start;
        for (int32_t n : c.notches) Wheel(n);
        EXPECT_EQ(Magnifier_Zoom, c.end);
    }
}

TEST_F(Canvas, Threshold_Keys_Stay_Within_The_Slider) {
    Current_Job = 1;
    Select_Analysis_Mode(2);  // cyan
    struct Case {
        int64_t before;
        int32_t key;
        int64_t after;
    };
    const Case cases[] = {{100, '0', 1}, {100, '3', 96}, {100, '8', 255}, {3, VK_MINUS_, 1},
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
    Current_Job = 2;
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

TEST_F(Canvas, Tool_Keys) {
    Key('X');
    EXPECT_EQ(Current_Tool, MTOOL_AXES);
    Key('M');
    EXPECT_EQ(Current_Tool, MTOOL_LINE);
    Key('Y');
    EXPECT_EQ(Current_Tool, MTOOL_AXES);
    EXPECT_EQ(Get_State(CTL_TOOL_AXES), 1);
    EXPECT_EQ(Get_State(CTL_TOOL_LINE), 0);
    Key('L');
    EXPECT_EQ(Current_Tool, MTOOL_BLOB);
    // With no tool button pressed the line tool is chosen.
    Set_State(CTL_TOOL_BLOB, 0);
    Choose_Tool(-1);
    EXPECT_EQ(Current_Tool, MTOOL_LINE);
    EXPECT_EQ(Get_State(CTL_TOOL_LINE), 1);
    int64_t edges = Get_State(CTL_SNAP_EDGES);
    Key('E');
    EXPECT_EQ(Get_State(CTL_SNAP_EDGES), 1 - edges);
}

TEST_F(Canvas, A_Line_On_The_Live_Picture_Follows_The_Stage) {
    Jobs[1].In_Use = 0;
    Current_Job = 0;
    Stage_Zero = 0;
    Stage_Position = 50;
    Click_At(100, 200);
    Stage_Position = 80;
    Move(300, 200);
    EXPECT_FLOAT_EQ(Live_Measure.Distance, 230);
    Click();
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_Start, 70);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].X_End, 300);
    EXPECT_FLOAT_EQ(First_Point_Stage, 0);
}

TEST_F(Canvas, Pointer_Is_Clamped_To_The_Image) {
    Current_Job = 1;
    Move(-20, 900);
    EXPECT_FLOAT_EQ(Pointer_X, 0);
    EXPECT_FLOAT_EQ(Pointer_Y, 479);
    EXPECT_EQ(Pointer_Inside, 1);
    Picture_View_Event(View_Event(ETYPE_MOUSE_LEAVE));
    EXPECT_EQ(Pointer_Inside, 0);
    EXPECT_FLOAT_EQ(Pointer_Y, 479);
    // With no document nothing is clamped and clicks place nothing.
    Current_Job = -1;
    Move(-20, 900);
    EXPECT_FLOAT_EQ(Pointer_X, -20);
    Click();
    EXPECT_EQ(Click_State, 0);
}

}  // namespace
