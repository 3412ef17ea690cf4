// The null backend under every logic test: the limits it keeps on states,
// rows, geometry and status fields must match what the real toolkit does.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/platform_null.h"

namespace {

const int64_t W = 1, SLIDER = 10, DROP = 11, LIST = 12, LABEL = 13;

void Fresh() {
    Null_Reset();
    ASSERT_TRUE(Open_Window(W, "t", 0, 0, 300, 200, 0));
    ASSERT_TRUE(Create_Control(W, SLIDER, CONTROL_SLIDER, 0, 0, 10, 10, "", -1));
    ASSERT_TRUE(Create_Control(W, DROP, CONTROL_DROPDOWN, 0, 0, 10, 10, "", -1));
    ASSERT_TRUE(Create_Control(W, LIST, CONTROL_LIST, 0, 0, 10, 10, "", -1));
    ASSERT_TRUE(Create_Control(W, LABEL, CONTROL_LABEL, 5, 6, 7, 8, "label", -1));
    Set_Slider_Range(SLIDER, 1, 255);
    for (int64_t c : {DROP, LIST}) {
        Add_Row(c, "a", 10);
        Add_Row(c, "b\nx", 20);
    }
}

}  // namespace

TEST(Null_Backend, States_Are_Clamped_Like_The_Toolkit) {
    struct Row {
        int64_t control, set, read;
    } rows[] = {
        {SLIDER, 0, 1},   {SLIDER, 300, 255}, {SLIDER, 128, 128}, {DROP, 1, 1},  {DROP, 2, -1},
        {DROP, -2, -1},   {LIST, 2, -1},      {LIST, 0, 0},       {LIST, -1, -1}, {LABEL, 77, 77},
    };
    for (const Row& r : rows) {
        Fresh();
        Set_State(r.control, r.set);
        EXPECT_EQ(Get_State(r.control), r.read) << r.control << " set " << r.set;
    }
    Fresh();
    Set_State(DROP, 2);  // the row count: none, and no text
    EXPECT_EQ(Get_Text(DROP), "");
    Set_State(DROP, 1);
    EXPECT_EQ(Get_Text(DROP), "b\nx");
    Set_State(SLIDER, 200);
    Set_Slider_Range(SLIDER, 1, 100);  // a narrower range pulls the state in
    EXPECT_EQ(Get_State(SLIDER), 100);
    Set_State(LIST, 1);
    Clear_Rows(LIST);
    EXPECT_EQ(Get_State(LIST), -1);
    EXPECT_EQ(Get_State(999), 0);  // no such control
}

TEST(Null_Backend, Rows_Geometry_And_Status_Outside_Their_Range) {
    Fresh();
    EXPECT_EQ(Row_Count(LIST), 2);
    EXPECT_EQ(Get_Row_Text(LIST, 2), "");
    EXPECT_EQ(Get_Row_Text(LIST, -1), "");
    EXPECT_EQ(Get_Row_Data(LIST, 1), 20);
    EXPECT_EQ(Get_Row_Data(LIST, 2), 0);
    EXPECT_EQ(Get_Cell_Text(LIST, 1, 1), "x");
    EXPECT_EQ(Get_Cell_Text(LIST, 1, 2), "");
    EXPECT_FALSE(Create_Control(W, LIST, CONTROL_LIST, 0, 0, 1, 1, "", -1));  // number taken
    EXPECT_FALSE(Create_Control(2, 99, CONTROL_LABEL, 0, 0, 1, 1, "", -1));    // no such window

    int x, y, w, h;
    Resize_Control(LABEL, -1, 60, -1, 80);  // -1 keeps that value
    Control_Rect(LABEL, &x, &y, &w, &h);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 60);
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 80);
    Set_Window_Min_Size(W, 250, 150);
    Resize_Window(W, 100, 400);
    Window_Size(W, &w, &h);
    EXPECT_EQ(w, 250);
    EXPECT_EQ(h, 400);

    Create_Status_Bar(W, {50, 60});
    Set_Status_Text(W, 1, "one");
    Set_Status_Text(W, 2, "beyond");
    Set_Status_Text(W, -1, "before");
    EXPECT_EQ(Get_Status_Text(W, 1), "one");
    EXPECT_EQ(Get_Status_Text(W, 2), "");
    EXPECT_EQ(Status_Write_Count(W, 1), 1);
    EXPECT_EQ(Status_Write_Count(W, 0), 0);
    Close_Window(W);
    EXPECT_FALSE(Control_Exists(LABEL));  // its controls go with it
}
