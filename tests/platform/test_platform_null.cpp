// The null backend under every logic test: the limits it keeps on states,
// rows, geometry and status fields must match what the real toolkit does.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/platform_null.h"
#include "platform/platform_test.h"

namespace {

const int64_t W = 1, SLIDER = 10, DROP = 11, LIST = 12, LABEL = 13, CHECK = 14;

void Fresh() {
    Null_Reset();
    ASSERT_TRUE(Open_Window(W, "t", 0, 0, 300, 200, 0));
    ASSERT_TRUE(Create_Control(W, SLIDER, CONTROL_SLIDER, 0, 0, 10, 10, "", -1));
    ASSERT_TRUE(Create_Control(W, DROP, CONTROL_DROPDOWN, 0, 0, 10, 10, "", -1));
    ASSERT_TRUE(Create_Control(W, LIST, CONTROL_LIST, 0, 0, 10, 10, "", -1));
    ASSERT_TRUE(Create_Control(W, LABEL, CONTROL_LABEL, 5, 6, 7, 8, "label", -1));
    ASSERT_TRUE(Create_Control(W, CHECK, CONTROL_CHECKBOX, 0, 0, 10, 10, "check", -1));
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
        {DROP, -2, -1},   {LIST, 2, -1},      {LIST, 0, 0},       {LIST, -1, -1}, {LABEL, 77, 0},
        {CHECK, 5, 1},    {CHECK, -1, 1},     {CHECK, 0, 0},
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
    Add_Row(LABEL, "a row");  // only lists and drop-downs have rows
    EXPECT_EQ(Row_Count(LABEL), 0);
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

namespace {

Platform_Event Event_Of(int64_t window, int64_t kind, int64_t control) {
    Platform_Event e;
    e.Window = window;
    e.Kind = kind;
    e.Control = control;
    return e;
}

std::vector<std::string> Drained() {
    std::vector<std::string> got;
    Platform_Event e;
    while (Poll_Event(&e))
        got.push_back(std::to_string(e.Window) + "/" + std::to_string(e.Kind) + "/" + std::to_string(e.Control));
    return got;
}

void Count_Call(void* user) { (*(int*)user)++; }

}  // namespace

// Removing events takes only the window's events of that kind within the
// control range, the rest stays in order; while the calibration input is
// open, close requests of other windows wait in the queue until it closes.
TEST(Null_Backend, Event_Queue_Removal_And_Held_Close_Requests) {
    Fresh();
    struct Row {
        int64_t window, kind, control;
        bool removed;
    } rows[] = {
        {W, EVENT_CONTROL, 20, true},  {W, EVENT_CONTROL, 19, false}, {W + 1, EVENT_CONTROL, 25, false},
        {W, EVENT_MENU, 25, false},    {W, EVENT_CONTROL, 30, true},  {W, EVENT_CONTROL, 31, false},
        {W, EVENT_CONTROL, 25, true},
    };
    std::vector<std::string> kept;
    for (const Row& r : rows) {
        Post_Event(Event_Of(r.window, r.kind, r.control));
        if (!r.removed)
            kept.push_back(std::to_string(r.window) + "/" + std::to_string(r.kind) + "/" + std::to_string(r.control));
    }
    EXPECT_EQ(Remove_Events(W, EVENT_CONTROL, 20, 30), 3);
    EXPECT_EQ(Drained(), kept);
    EXPECT_EQ(Remove_Events(W, EVENT_CONTROL, 20, 30), 0);

    ASSERT_TRUE(Open_Window(WINDOW_CALIBRATION, "input", 0, 0, 100, 100, WINDOW_CLOSE_BOX));
    Post_Event(Event_Of(WINDOW_MAIN, EVENT_CLOSE_WINDOW, -1));
    Post_Event(Event_Of(WINDOW_MAIN, EVENT_CONTROL, 7));
    Post_Event(Event_Of(WINDOW_VIDEO_SETTINGS, EVENT_CLOSE_WINDOW, -1));
    Post_Event(Event_Of(WINDOW_CALIBRATION, EVENT_CLOSE_WINDOW, -1));
    const std::string main_close = std::to_string(WINDOW_MAIN) + "/5/-1";
    const std::string other_close = std::to_string(WINDOW_VIDEO_SETTINGS) + "/5/-1";
    EXPECT_EQ(Drained(), (std::vector<std::string>{std::to_string(WINDOW_MAIN) + "/1/7",
                                                   std::to_string(WINDOW_CALIBRATION) + "/5/-1"}));
    // Only held requests left: the idle hook runs (it drives the input in
    // tests) and a wait really waits.
    int hook_calls = 0;
    Set_Idle_Hook(Count_Call, &hook_calls);
    Platform_Event e;
    EXPECT_FALSE(Poll_Event(&e));
    EXPECT_EQ(hook_calls, 1);
    Set_Idle_Hook(nullptr, nullptr);
    float start = Elapsed_Ms();
    Wait_Event(60);
    EXPECT_GE(Elapsed_Ms() - start, 40.0f);
    Close_Window(WINDOW_CALIBRATION);
    EXPECT_EQ(Drained(), (std::vector<std::string>{main_close, other_close}));
}
