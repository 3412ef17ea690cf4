// The wx backend under Xvfb: control state and texts, rows, the event queue,
// timers and waiting, pointer/wheel/key translation, window geometry, and GL
// views that render while their window is hidden and share textures.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_test.h"
#include "platform/platform_wx_test.h"

enum { T_LEFT_DOWN = 1, T_LEFT_UP, T_LEFT_DCLICK, T_RIGHT_DOWN, T_RIGHT_UP, T_MOTION, T_WHEEL };

namespace {

const int64_t WIN = WINDOW_VIDEO_SETTINGS;

class Platform_Environment : public testing::Environment {
  public:
    void SetUp() override {
        // The file dialogs store their settings; keep them off the machine's dconf.
        setenv("GSETTINGS_BACKEND", "memory", 0);
        ASSERT_TRUE(Platform_Init()) << "no display: run under xvfb-run";
    }
    void TearDown() override { Platform_Shutdown(); }
};
testing::Environment* const Env = testing::AddGlobalTestEnvironment(new Platform_Environment);

std::vector<Platform_Event> Drain() {
    std::vector<Platform_Event> events;
    Platform_Event e;
    while (Poll_Event(&e)) events.push_back(e);
    return events;
}

// The widget shows what the control model holds.
void Expect_Widget_Agrees(int64_t control, const std::string& where) {
    int64_t state = 0;
    std::string text;
    ASSERT_TRUE(Wx_Test_Widget_Shows(control, &state, &text)) << where;
    int64_t kind = Control_Kind_Of(control);
    if (kind != CONTROL_BUTTON && kind != CONTROL_LABEL && kind != CONTROL_FRAME && kind != CONTROL_TEXT_INPUT &&
        kind != CONTROL_TEXT_READONLY) {
        EXPECT_EQ(state, Get_State(control)) << where;
    }
    if (kind != CONTROL_IMAGE_TOGGLE && kind != CONTROL_SLIDER && kind != CONTROL_LIST && kind != CONTROL_PAGES) {
        EXPECT_EQ(text, Get_Text(control)) << where;
    }
}

std::vector<int64_t> Types_Of(const std::vector<Platform_Event>& events, int64_t control) {
    std::vector<int64_t> types;
    for (const Platform_Event& e : events)
        if (e.Kind == EVENT_CONTROL && e.Control == control) types.push_back(e.Type);
    return types;
}

struct Window_Fixture : testing::Test {
    void SetUp() override {
        ASSERT_TRUE(Open_Window(WIN, "Test", 10, 10, 640, 480, WINDOW_HIDDEN | WINDOW_CLOSE_BOX));
        Flush_Events();
    }
    void TearDown() override {
        Close_Window(WIN);
        Flush_Events();
    }
};

using Controls = Window_Fixture;
using Events = Window_Fixture;
using GL_Views = Window_Fixture;

TEST_F(Controls, TextsRoundTripPerKind) {
    struct Case {
        int64_t kind;
        std::string text;
    } cases[] = {
        {CONTROL_BUTTON, "A"},           {CONTROL_TOGGLE_BUTTON, "+-"},
        {CONTROL_LABEL, "Threshold %:"}, {CONTROL_FRAME, "Threshold [128]"},
        {CONTROL_CHECKBOX, "Snap & Go"}, {CONTROL_TEXT_INPUT, "12.5 mm & more"},
        {CONTROL_TEXT_READONLY, "µm ²"},
    };
    int64_t number = 9100;
    for (const Case& c : cases) {
        ASSERT_TRUE(Create_Control(WIN, number, c.kind, 5, 5, 120, 24, "first"));
        EXPECT_EQ(Get_Text(number), "first");
        Set_Text(number, c.text);
        EXPECT_EQ(Get_Text(number), c.text) << "kind " << c.kind;
        Expect_Widget_Agrees(number, "kind " + std::to_string(c.kind));
        EXPECT_EQ(Control_Kind_Of(number), c.kind);
        Add_Row(number, "no rows here");  // only lists and drop-downs have rows
        EXPECT_EQ(Row_Count(number), 0) << "kind " << c.kind;
        number++;
    }
    // Programmatic text changes are silent, text inputs included.
    EXPECT_TRUE(Drain().empty());
    EXPECT_FALSE(Create_Control(WIN, 9100, CONTROL_LABEL, 0, 0, 10, 10, "duplicate"));
    EXPECT_FALSE(Create_Control(WINDOW_SPLASH, 9200, CONTROL_LABEL, 0, 0, 10, 10, "no window"));
    EXPECT_FALSE(Create_Control(WIN, 9201, CONTROL_LABEL, 0, 0, 10, 10, "no parent", 9999));
}

TEST_F(Controls, StatesAreSilentAndClamped) {
    ASSERT_TRUE(Create_Control(WIN, 9110, CONTROL_TOGGLE_BUTTON, 0, 0, 30, 30, "T"));
    ASSERT_TRUE(Create_Control(WIN, 9111, CONTROL_CHECKBOX, 0, 40, 100, 24, "C"));
    ASSERT_TRUE(Create_Control(WIN, 9112, CONTROL_IMAGE_TOGGLE, 40, 0, 36, 36, ""));
    ASSERT_TRUE(Create_Control(WIN, 9113, CONTROL_SLIDER, 0, 80, 110, 20, ""));
    ASSERT_TRUE(Create_Control(WIN, 9114, CONTROL_TEXT_INPUT, 0, 110, 110, 24, ""));
    Set_Slider_Range(9113, 1, 255);
    Set_Text(9114, "0.5");
    // A switch holds 0 or 1 whatever number it is given.
    struct {
        int64_t set, expect;
    } switches[] = {{1, 1}, {0, 0}, {5, 1}, {-1, 1}, {0, 0}};
    for (int64_t n : {9110, 9111, 9112}) {
        for (auto& s : switches) {
            Set_State(n, s.set);
            EXPECT_EQ(Get_State(n), s.expect) << n << " set " << s.set;
            Expect_Widget_Agrees(n, std::to_string(n) + " set " + std::to_string(s.set));
        }
    }
    struct {
        int64_t set, expect;
    } slider[] = {{128, 128}, {0, 1}, {-5, 1}, {300, 255}, {255, 255}, {1, 1}};
    for (auto& s : slider) {
        Set_State(9113, s.set);
        EXPECT_EQ(Get_State(9113), s.expect) << "set " << s.set;
        Expect_Widget_Agrees(9113, "slider set " + std::to_string(s.set));
    }
    Set_Slider_Range(9113, 10, 20);  // the value moves into the new range
    EXPECT_EQ(Get_State(9113), 10);
    Expect_Widget_Agrees(9113, "slider after range");
    Set_State(9113, 1);
    Set_Slider_Range(9113, 1, 255);
    EXPECT_TRUE(Drain().empty()) << "programmatic state changes must not post events";

    // A user action does post one.
    ASSERT_TRUE(Wx_Test_User_Select(9111, 1));
    ASSERT_TRUE(Wx_Test_User_Select(9113, 7));
    ASSERT_TRUE(Wx_Test_User_Select(9114, 0));
    std::vector<Platform_Event> events = Drain();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].Control, 9114);
    EXPECT_EQ(events[2].Type, ETYPE_CHANGE);
    EXPECT_EQ(events[0].Control, 9111);
    EXPECT_EQ(events[0].Type, ETYPE_CHANGE);
    EXPECT_EQ(events[0].Window, WIN);
    EXPECT_EQ(events[1].Control, 9113);

    // What the user changes in a widget is what the program reads back.
    struct {
        int64_t control, state;
        std::string text;
        int64_t expect_state;
        std::string expect_text;
    } user[] = {{9110, 1, "", 1, "T"},       {9111, 1, "", 1, "C"},      {9111, 0, "", 0, "C"},
                {9112, 1, "", 1, ""},        {9113, 77, "", 77, ""},     {9114, 0, "12.75", 0, "12.75"},
                {9114, 0, "", 0, ""}};
    for (auto& u : user) {
        ASSERT_TRUE(Wx_Test_User_Sets(u.control, u.state, u.text)) << u.control;
        EXPECT_EQ(Get_State(u.control), u.expect_state) << u.control;
        EXPECT_EQ(Get_Text(u.control), u.expect_text) << u.control;
        EXPECT_EQ(Types_Of(Drain(), u.control), std::vector<int64_t>{ETYPE_CHANGE}) << u.control;
    }
}

TEST_F(Controls, DropdownItemsAndSelection) {
    ASSERT_TRUE(Create_Control(WIN, 9120, CONTROL_DROPDOWN, 0, 0, 128, 24, ""));
    EXPECT_EQ(Get_State(9120), -1);
    EXPECT_EQ(Get_Text(9120), "");
    for (const char* unit : {"Microns", "Thous", "Millimetres", "Inches", "Pixels"}) Add_Row(9120, unit);
    EXPECT_EQ(Row_Count(9120), 5);
    Set_State(9120, 2);
    EXPECT_EQ(Get_State(9120), 2);
    EXPECT_EQ(Get_Text(9120), "Millimetres");
    Expect_Widget_Agrees(9120, "row 2");
    ASSERT_TRUE(Wx_Test_User_Sets(9120, 3));
    EXPECT_EQ(Get_Text(9120), "Inches");
    EXPECT_EQ(Types_Of(Drain(), 9120), std::vector<int64_t>{ETYPE_CHANGE});
    EXPECT_EQ(Get_Row_Text(9120, 4), "Pixels");
    Set_State(9120, 5);  // past the end: nothing selected, and no toolkit complaint
    EXPECT_EQ(Get_State(9120), -1);
    Set_State(9120, 0);
    Clear_Rows(9120);
    EXPECT_EQ(Row_Count(9120), 0);
    EXPECT_EQ(Get_State(9120), -1);
    Expect_Widget_Agrees(9120, "cleared");
    EXPECT_TRUE(Drain().empty());
}

TEST_F(Controls, ListRowsCellsAndData) {
    ASSERT_TRUE(Create_Control(WIN, 9130, CONTROL_LIST, 4, 4, 480, 140, ""));
    Add_List_Column(9130, "ID", 40);
    for (const char* t : {"Msr1", "Msr2", "Msr3", "Msr4"}) Add_List_Column(9130, t, 80);
    EXPECT_EQ(List_Column_Count(9130), 5);
    EXPECT_EQ(Get_State(9130), -1);
    Add_Row(9130, "1:0:M\nW: 2mm", 1);
    Add_Row(9130, "3:0:M\nW: 3mm\nH: 4mm\nL: 5mm\nA: 53.1deg", 3);
    Add_Row(9130, "3:1:B\nW: 2mm\nH: 1mm\na: 2mm²", 3);
    ASSERT_EQ(Row_Count(9130), 3);
    struct {
        int64_t row, column;
        const char* text;
    } cells[] = {{0, 0, "1:0:M"}, {0, 1, "W: 2mm"}, {0, 2, ""},       {1, 4, "A: 53.1deg"},
                 {2, 3, "a: 2mm²"}, {2, 5, ""},     {3, 0, ""},       {-1, 0, ""}};
    for (auto& c : cells) EXPECT_EQ(Get_Cell_Text(9130, c.row, c.column), c.text) << c.row << "," << c.column;
    EXPECT_EQ(Get_Row_Text(9130, 1), "3:0:M\nW: 3mm\nH: 4mm\nL: 5mm\nA: 53.1deg");
    EXPECT_EQ(Get_Row_Data(9130, 0), 1);
    EXPECT_EQ(Get_Row_Data(9130, 2), 3);

    Set_State(9130, 1);
    EXPECT_EQ(Get_State(9130), 1);
    Set_State(9130, 2);  // single selection: the previous row is released
    EXPECT_EQ(Get_State(9130), 2);
    Expect_Widget_Agrees(9130, "row 2");
    Set_State(9130, -1);
    EXPECT_EQ(Get_State(9130), -1);
    EXPECT_TRUE(Drain().empty()) << "a programmatic selection must not look like a click";

    ASSERT_TRUE(Wx_Test_User_Select(9130, 0));
    EXPECT_EQ(Types_Of(Drain(), 9130), std::vector<int64_t>{ETYPE_CHANGE});
    ASSERT_TRUE(Wx_Test_User_Sets(9130, 1));  // the user picks a row: the program reads it
    EXPECT_EQ(Get_State(9130), 1);
    EXPECT_EQ(Types_Of(Drain(), 9130), std::vector<int64_t>{ETYPE_CHANGE});
    Set_State(9130, -1);

    // Pointer on the rows: a click on a row reports itself (also on the row
    // already selected), a click below the last row does not; a right click
    // on a row and a double click are reported too. The rows take pointer
    // input once they are on the screen.
    Show_Window(WIN, true);
    for (int i = 0; i < 10; i++) {
        Wait_Event(10);
        Drain();
    }
    Set_State(9130, 1);
    Wx_Test_Mouse_Event(9130, T_LEFT_DOWN, 30, 5, 0);
    Wx_Test_Mouse_Event(9130, T_LEFT_UP, 30, 5, 0);
    EXPECT_EQ(Get_State(9130), 0);
    Wx_Test_Mouse_Event(9130, T_LEFT_DOWN, 30, 5, 0);
    Wx_Test_Mouse_Event(9130, T_LEFT_UP, 30, 5, 0);
    Wx_Test_Mouse_Event(9130, T_LEFT_DOWN, 30, 110, 0);
    Wx_Test_Mouse_Event(9130, T_LEFT_UP, 30, 110, 0);
    std::vector<int64_t> types = Types_Of(Drain(), 9130);
    EXPECT_EQ(std::count(types.begin(), types.end(), ETYPE_LEFT_CLICK), 2);
    EXPECT_EQ(std::count(types.begin(), types.end(), ETYPE_CHANGE), 1);
    Set_State(9130, 0);
    Wx_Test_Mouse_Event(9130, T_RIGHT_DOWN, 30, 5, 0);
    Wx_Test_Mouse_Event(9130, T_RIGHT_UP, 30, 5, 0);
    Wx_Test_Mouse_Event(9130, T_LEFT_DCLICK, 30, 5, 0);
    types = Types_Of(Drain(), 9130);
    EXPECT_EQ(std::count(types.begin(), types.end(), ETYPE_RIGHT_CLICK), 1);
    EXPECT_EQ(std::count(types.begin(), types.end(), ETYPE_LEFT_DOUBLE_CLICK), 1);

    // The column widths are minimums: every cell shows its whole text under
    // the desktop font, the longest IDs and values included.
    Add_Row(9130, "8:12345:WH\nW: 12345.678mm\nH: 12345.678mm\nL: 17459.123mm\nA: 359.9deg", 8);
    Add_Row(9130, "8:99999:B\nW: 1234.5678in\nH: 1234.5678in\na: 1524000.2mm²", 8);
    for (int64_t row = 0; row < Row_Count(9130); row++)
        for (int64_t column = 0; column < 5; column++)
            EXPECT_EQ(Wx_Test_List_Cell_Cut(9130, row, column), 0)
                << "row " << row << " column " << column << ": " << Get_Cell_Text(9130, row, column);
    EXPECT_EQ(Wx_Test_List_Cell_Cut(9130, 0, 5), -1);

    Set_State(9130, 0);
    Clear_Rows(9130);
    EXPECT_EQ(Row_Count(9130), 0);
    EXPECT_EQ(Get_State(9130), -1);
    EXPECT_EQ(Get_Cell_Text(9130, 0, 0), "");
}

TEST_F(Controls, GeometryHideDisableAndContainers) {
    ASSERT_TRUE(Create_Control(WIN, 9140, CONTROL_BUTTON, 10, 20, 36, 36, ""));
    Resize_Control(9140, -1, 50, -1, 40);
    int x, y, w, h;
    Control_Rect(9140, &x, &y, &w, &h);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 50);
    EXPECT_EQ(w, 36);
    EXPECT_EQ(h, 40);
    Hide_Control(9140, true);
    EXPECT_TRUE(Control_Hidden(9140));
    Hide_Control(9140, false);
    EXPECT_FALSE(Control_Hidden(9140));
    Disable_Control(9140, true);
    EXPECT_TRUE(Control_Disabled(9140));
    Set_Tooltip(9140, "Open file...");
    EXPECT_EQ(Get_Tooltip(9140), "Open file...");

    // A scroll area keeps its inner size and places children in inner coordinates.
    ASSERT_TRUE(Create_Control(WIN, 9141, CONTROL_SCROLL_AREA, 0, 100, 90, 200, ""));
    Set_Scroll_Area_Inner_Size(9141, 66, 600);
    Scroll_Area_Inner_Size(9141, &w, &h);
    EXPECT_EQ(w, 66);
    EXPECT_EQ(h, 600);
    ASSERT_TRUE(Create_Control(WIN, 9142, CONTROL_LABEL, 2, 300, 64, 48, "thumb", 9141));
    Control_Rect(9142, &x, &y, &w, &h);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 300);
    Control_Window_Position(9142, &x, &y);
    EXPECT_GE(x, 2);
    EXPECT_GE(y, 400);

    // Pages: each page is a container; the state is the shown page.
    ASSERT_TRUE(Create_Control(WIN, 9143, CONTROL_PAGES, 200, 40, 360, 400, ""));
    ASSERT_TRUE(Add_Page(9143, 9144, "Analysis"));
    ASSERT_TRUE(Add_Page(9143, 9145, "Settings"));
    EXPECT_FALSE(Add_Page(9143, 9145, "again"));
    EXPECT_EQ(Get_State(9143), 0);
    Set_State(9143, 1);
    EXPECT_EQ(Get_State(9143), 1);
    ASSERT_TRUE(Create_Control(WIN, 9146, CONTROL_CHECKBOX, 2, 36, 300, 24, "Snap to Edges", 9145));
    Control_Window_Position(9146, &x, &y);
    EXPECT_GE(x, 202);
    EXPECT_GT(y, 76);  // below the page tabs
    EXPECT_LT(y, 76 + 80);
    EXPECT_TRUE(Drain().empty());

    // Freeing a container forgets what is inside it.
    Free_Control(9143);
    EXPECT_FALSE(Control_Exists(9143));
    EXPECT_FALSE(Control_Exists(9145));
    EXPECT_FALSE(Control_Exists(9146));
    EXPECT_EQ(Get_Text(9146), "");
}

TEST_F(Events, PostedEventsComeBackInOrder) {
    for (int i = 0; i < 3; i++) {
        Platform_Event e;
        e.Window = WINDOW_MAIN;
        e.Kind = i == 2 ? EVENT_FILE_DROP : EVENT_CONTROL;
        e.Control = 100 + i;
        e.Type = ETYPE_MOUSE_MOVE;
        e.X = 1.5f * i;
        e.Key = 65 + i;
        e.Text = i == 2 ? "/a.png\n/b.png" : "";
        Post_Event(e);
    }
    std::vector<Platform_Event> events = Drain();
    ASSERT_EQ(events.size(), 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(events[i].Control, 100 + i);
        EXPECT_FLOAT_EQ(events[i].X, 1.5f * i);
        EXPECT_EQ(events[i].Key, 65 + i);
    }
    EXPECT_EQ(events[2].Kind, EVENT_FILE_DROP);
    EXPECT_EQ(events[2].Text, "/a.png\n/b.png");
    Platform_Event none;
    none.Kind = EVENT_MENU;
    EXPECT_FALSE(Poll_Event(&none));
    EXPECT_EQ(none.Kind, EVENT_NONE);

    Post_Event(events[0]);
    Flush_Events();
    EXPECT_FALSE(Poll_Event(&none));

    // Removing takes the window's events of that kind and control range only.
    for (const Platform_Event& e : events) Post_Event(e);
    EXPECT_EQ(Remove_Events(WINDOW_MAIN, EVENT_CONTROL, 101, 102), 1);
    std::vector<Platform_Event> left = Drain();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].Control, 100);
    EXPECT_EQ(left[1].Kind, EVENT_FILE_DROP);
}

TEST_F(Events, TimerFiresAndStops) {
    // Closing a window stops its own timers and no other window's.
    const int64_t other = WINDOW_EMULATOR;
    ASSERT_TRUE(Open_Window(other, "Other", 10, 10, 100, 100, WINDOW_HIDDEN));
    Add_Timer(WIN, 3, 20);
    Add_Timer(other, 4, 20);
    Close_Window(other);
    Flush_Events();
    int timer_events = 0;
    int closed_window_events = 0;
    float start = Elapsed_Ms();
    // Generous deadline: timers fire late on a loaded machine.
    while (timer_events < 3 && Elapsed_Ms() - start < 60000) {
        Wait_Event(200);
        Platform_Event e;
        while (Poll_Event(&e)) {
            if (e.Kind == EVENT_TIMER && e.Window == WIN && e.Control == 3) timer_events++;
            if (e.Kind == EVENT_TIMER && e.Window == other) closed_window_events++;
        }
    }
    EXPECT_GE(timer_events, 3);
    EXPECT_EQ(closed_window_events, 0);
    Remove_Timer(WIN, 3);
    Flush_Events();
    start = Elapsed_Ms();
    while (Elapsed_Ms() - start < 100) Wait_Event(20);
    for (const Platform_Event& e : Drain()) EXPECT_NE(e.Kind, EVENT_TIMER);
}

TEST_F(Events, WaitEndsOnPostedEventAndOnTimeout) {
    Platform_Event e;
    e.Kind = EVENT_MENU;
    e.Control = 218;
    Post_Event(e);
    // Bounds far from the time-outs: a loaded machine must not fail these.
    float start = Elapsed_Ms();
    Wait_Event(60000);
    EXPECT_LT(Elapsed_Ms() - start, 30000.0f);
    Drain();

    // From another thread (the capture thread posts nothing today, but the
    // queue must still wake a sleeping main loop).
    std::thread poster([] {
        Sleep_Ms(50);
        Platform_Event t;
        t.Kind = EVENT_MENU;
        t.Control = 210;
        Post_Event(t);
    });
    start = Elapsed_Ms();
    Wait_Event(60000);
    float waited = Elapsed_Ms() - start;
    poster.join();
    EXPECT_LT(waited, 30000.0f);
    EXPECT_EQ(Drain().size(), 1u);

    // With nothing to do it really sleeps instead of returning at once.
    start = Elapsed_Ms();
    Wait_Event(60);
    EXPECT_GE(Elapsed_Ms() - start, 40.0f);

    // So it does with only a close request held while the calibration input
    // is open; the request comes out once the input has closed.
    ASSERT_TRUE(Open_Window(WINDOW_CALIBRATION, "input", 0, 0, 100, 100, WINDOW_HIDDEN | WINDOW_CLOSE_BOX));
    Platform_Event close;
    close.Window = WIN;
    close.Kind = EVENT_CLOSE_WINDOW;
    Post_Event(close);
    start = Elapsed_Ms();
    Wait_Event(60);
    EXPECT_GE(Elapsed_Ms() - start, 40.0f);
    EXPECT_TRUE(Drain().empty());
    Close_Window(WINDOW_CALIBRATION);
    std::vector<Platform_Event> after = Drain();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].Kind, EVENT_CLOSE_WINDOW);
    EXPECT_EQ(after[0].Window, WIN);
}

TEST_F(Events, ClicksWheelAndKeysOfAView) {
    ASSERT_TRUE(Create_Control(WIN, 9150, CONTROL_GL_VIEW, 0, 0, 200, 100, ""));
    Flush_Events();
    // Press and release inside: a click; release outside, or a release
    // without a press on the view: no click.
    Wx_Test_Mouse_Event(9150, T_LEFT_DOWN, 10, 10, 0);
    Wx_Test_Mouse_Event(9150, T_LEFT_UP, 12, 11, 0);
    Wx_Test_Mouse_Event(9150, T_LEFT_DOWN, 10, 10, 0);
    Wx_Test_Mouse_Event(9150, T_LEFT_UP, 250, 11, 0);
    Wx_Test_Mouse_Event(9150, T_LEFT_UP, 20, 20, 0);
    Wx_Test_Mouse_Event(9150, T_RIGHT_DOWN, 5, 5, 0);
    Wx_Test_Mouse_Event(9150, T_RIGHT_UP, 5, 5, 0);
    Wx_Test_Mouse_Event(9150, T_LEFT_DCLICK, 7, 7, 0);
    Wx_Test_Mouse_Event(9150, T_MOTION, 33, 44, 0);
    std::vector<Platform_Event> events = Drain();
    std::vector<int64_t> expected = {ETYPE_LEFT_DOWN,  ETYPE_LEFT_UP,  ETYPE_LEFT_CLICK,        ETYPE_LEFT_DOWN,
                                     ETYPE_LEFT_UP,    ETYPE_LEFT_UP,  ETYPE_RIGHT_DOWN,        ETYPE_RIGHT_UP,
                                     ETYPE_RIGHT_CLICK, ETYPE_LEFT_DOUBLE_CLICK, ETYPE_MOUSE_MOVE};
    EXPECT_EQ(Types_Of(events, 9150), expected);
    ASSERT_FALSE(events.empty());
    EXPECT_FLOAT_EQ(events.back().X, 33.0f);
    EXPECT_FLOAT_EQ(events.back().Y, 44.0f);
    EXPECT_EQ(events.back().Window, WIN);

    // Wheel: whole notches of 120, remainders carried in both directions.
    struct {
        int rotation;
        int notches;  // 0 = no event
    } wheel[] = {{120, 1}, {60, 0}, {60, 1}, {-360, -3}, {-100, 0}, {-20, -1}, {240, 2}, {119, 0}, {1, 1}};
    for (auto& step : wheel) {
        Wx_Test_Mouse_Event(9150, T_WHEEL, 1, 1, step.rotation);
        events = Drain();
        if (step.notches == 0) {
            EXPECT_TRUE(events.empty()) << "rotation " << step.rotation;
        } else {
            ASSERT_EQ(events.size(), 1u) << "rotation " << step.rotation;
            EXPECT_EQ(events[0].Type, ETYPE_WHEEL);
            EXPECT_EQ(events[0].Wheel, step.notches) << "rotation " << step.rotation;
        }
    }

    // Keys arrive with their virtual-key codes (wx codes: Esc 27, Delete 127, left arrow 314).
    struct {
        int wx;
        int32_t vk;
    } keys[] = {{'M', 77}, {'a', 65}, {'0', 48}, {'-', 189}, {'=', 187}, {' ', 32}, {27, 27}, {127, 46}, {314, 37}};
    for (auto& k : keys) Wx_Test_Key_Event(9150, k.wx, true);
    events = Drain();
    ASSERT_EQ(events.size(), sizeof(keys) / sizeof(keys[0]));
    for (size_t i = 0; i < events.size(); i++) {
        EXPECT_EQ(events[i].Type, ETYPE_KEY_DOWN);
        EXPECT_EQ(events[i].Key, keys[i].vk) << "wx key " << keys[i].wx;
    }

    // With Ctrl or Alt a key is a menu shortcut, not a view command.
    Wx_Test_Key_Event(9150, 'O', true, true, false);
    Wx_Test_Key_Event(9150, 'S', true, true, false);
    Wx_Test_Key_Event(9150, 342 /* F4 */, true, false, true);
    EXPECT_TRUE(Drain().empty());
}

TEST(Keys, TranslationTableBothWays) {
    // wx codes: Back 8, Tab 9, Return 13, Esc 27, Space 32, Delete 127,
    // Left/Up/Right/Down 314-317, Shift 306, Control 308.
    struct {
        int wx;
        int32_t vk;
    } table[] = {{'0', 48}, {'9', 57}, {'A', 65}, {'Z', 90}, {'z', 90}, {'-', 189}, {'=', 187}, {' ', 32},
                 {27, 27},  {127, 46}, {314, 37}, {315, 38}, {316, 39}, {317, 40}, {13, 13},  {8, 8},
                 {9, 9},    {306, 16}, {308, 17}};
    for (auto& t : table) {
        EXPECT_EQ(Wx_Key_To_Virtual(t.wx), t.vk) << "wx " << t.wx;
        if (t.wx != 'z') {
            EXPECT_EQ(Virtual_To_Wx_Key(t.vk), t.wx) << "vk " << t.vk;
        }
    }
    EXPECT_EQ(Wx_Key_To_Virtual(0x7fff), 0);
    EXPECT_EQ(Virtual_To_Wx_Key(0), 0);
}

TEST(Windows, BarsCloseBoxAndResize) {
    static int resizes = 0;
    resizes = 0;
    ASSERT_TRUE(Open_Window(WINDOW_MAIN, "Trellum - test", 0, 0, 800, 520,
                            WINDOW_CLOSE_BOX | WINDOW_RESIZABLE | WINDOW_ACCEPT_FILES));
    Bind_Resize_Handler(WINDOW_MAIN, [] { resizes++; });
    Create_Menu_Bar(WINDOW_MAIN);
    Add_Menu_Title(WINDOW_MAIN, "File");
    Add_Menu_Item(WINDOW_MAIN, 210, "New\tCtrl+N");
    Add_Menu_Item(WINDOW_MAIN, 211, "Open\tCtrl+O");
    Add_Menu_Separator(WINDOW_MAIN);
    Add_Menu_Item(WINDOW_MAIN, 216, "Exit\tAlt+F4");
    Disable_Menu_Item(211, true);
    EXPECT_TRUE(Menu_Item_Disabled(211));
    EXPECT_FALSE(Menu_Item_Disabled(210));
    EXPECT_FALSE(Menu_Item_Disabled(999));
    Add_Menu_Title(WINDOW_MAIN, "Help");
    Add_Menu_Item(WINDOW_MAIN, 229, "User guide\tF1");
    Add_Menu_Item(WINDOW_MAIN, 210, "Twice");  // an item number already used is not added
    // The entries as added, under their titles (the shortcuts window lists them).
    std::string entries;
    for (const Menu_Entry& e : Menu_Entries(WINDOW_MAIN))
        entries += e.Title + "|" + std::to_string(e.Item) + "|" + e.Text + ";";
    EXPECT_EQ(entries, "File|210|New\tCtrl+N;File|211|Open\tCtrl+O;File|216|Exit\tAlt+F4;Help|229|User guide\tF1;");
    Create_Status_Bar(WINDOW_MAIN, {160, 160, 180, 160, 320, 180});
    EXPECT_GT(Menu_Bar_Height(WINDOW_MAIN), 0);
    EXPECT_GT(Status_Bar_Height(WINDOW_MAIN), 0);

    Set_Status_Text(WINDOW_MAIN, 4, "Zoom: 4x");
    Set_Status_Text(WINDOW_MAIN, 4, "Zoom: 4x");
    Set_Status_Text(WINDOW_MAIN, 6, "no such field");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 4), "Zoom: 4x");
    EXPECT_EQ(Status_Write_Count(WINDOW_MAIN, 4), 2);
    EXPECT_EQ(Status_Write_Count(WINDOW_MAIN, 0), 0);
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 6), "");

    // The size reported for layout includes both bars.
    Resize_Window(WINDOW_MAIN, 1060, 600);
    float start = Elapsed_Ms();
    int w = 0, h = 0;
    while (Elapsed_Ms() - start < 60000) {
        Wait_Event(20);
        Drain();
        Window_Size(WINDOW_MAIN, &w, &h);
        if (w == 1060 && h == 600 && resizes > 0) break;
    }
    EXPECT_EQ(w, 1060);
    EXPECT_EQ(h, 600);
    EXPECT_GT(resizes, 0);

    // Dropped files arrive as one event, one name per line.
    ASSERT_TRUE(Wx_Test_Drop_Files(WINDOW_MAIN, {"/data/a b.png", "/data/ü.jpg"}));
    std::vector<Platform_Event> drops = Drain();
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].Kind, EVENT_FILE_DROP);
    EXPECT_EQ(drops[0].Text, "/data/a b.png\n/data/ü.jpg");

    // The close box only asks; the window stays until Close_Window.
    Show_Window(WINDOW_MAIN, true);
    Drain();

    // Field widths are minimums: a field widens to show its whole text, and
    // the fields after it move along.
    struct {
        int field;
        const char* text;
    } fields[] = {{0, "Video: FPS: 25)"},
                  {2, "Mouse: 16383.0x16383.0, Zoom: x16"},
                  {3, "RGB[255, 255, 255] M:1"},
                  {1, "No document selected."},
                  {4, "Snapped to: Edge & Angle"}};
    for (auto& f : fields) Set_Status_Text(WINDOW_MAIN, f.field, f.text);
    for (auto& f : fields) EXPECT_EQ(Wx_Test_Status_Field_Cut(WINDOW_MAIN, f.field), 0) << f.text;
    EXPECT_EQ(Wx_Test_Status_Field_Cut(WINDOW_MAIN, 6), -1);
    ASSERT_TRUE(Wx_Test_Close_Box(WINDOW_MAIN));
    std::vector<Platform_Event> events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Kind, EVENT_CLOSE_WINDOW);
    EXPECT_EQ(events[0].Window, WINDOW_MAIN);
    EXPECT_TRUE(Window_Exists(WINDOW_MAIN));
    Close_Window(WINDOW_MAIN);
    EXPECT_FALSE(Window_Exists(WINDOW_MAIN));
    EXPECT_FALSE(Menu_Item_Disabled(211));
    EXPECT_EQ(Status_Write_Count(WINDOW_MAIN, 4), 0);
}

TEST(Windows, PositionsInPagesAgreeBeforeAndAfterShowing) {
    // The layout asks for window positions while the window is still hidden.
    ASSERT_TRUE(Open_Window(WINDOW_MAIN, "positions", 0, 0, 1060, 600, WINDOW_HIDDEN));
    ASSERT_TRUE(Create_Control(WINDOW_MAIN, 9170, CONTROL_PAGES, 700, 40, 360, 500, ""));
    ASSERT_TRUE(Add_Page(9170, 9171, "Analysis"));
    ASSERT_TRUE(Create_Control(WINDOW_MAIN, 9172, CONTROL_LIST, 4, 166, 300, 100, "", 9171));
    ASSERT_TRUE(Create_Control(WINDOW_MAIN, 9173, CONTROL_SCROLL_AREA, 0, 40, 90, 300, ""));
    ASSERT_TRUE(Create_Control(WINDOW_MAIN, 9174, CONTROL_GL_VIEW, 2, 60, 64, 48, "", 9173));
    int hidden[2][2], shown[2][2];
    Control_Window_Position(9172, &hidden[0][0], &hidden[0][1]);
    Control_Window_Position(9174, &hidden[1][0], &hidden[1][1]);
    Show_Window(WINDOW_MAIN, true);
    // GTK places the controls once the window is mapped: wait (generously)
    // until both positions come from the screen and agree with the hidden ones.
    auto agree = [&] {
        Control_Window_Position(9172, &shown[0][0], &shown[0][1]);
        Control_Window_Position(9174, &shown[1][0], &shown[1][1]);
        for (int c = 0; c < 2; c++)
            if (std::abs(hidden[c][0] - shown[c][0]) > 2 || std::abs(hidden[c][1] - shown[c][1]) > 2) return false;
        return true;
    };
    float start = Elapsed_Ms();
    for (int i = 0; i < 20 || (!agree() && Elapsed_Ms() - start < 60000); i++) {
        Wait_Event(10);
        Drain();
    }
    Control_Window_Position(9172, &shown[0][0], &shown[0][1]);
    Control_Window_Position(9174, &shown[1][0], &shown[1][1]);
    for (int c = 0; c < 2; c++) {
        EXPECT_NEAR(hidden[c][0], shown[c][0], 2) << "control " << c;
        EXPECT_NEAR(hidden[c][1], shown[c][1], 2) << "control " << c;
    }
    EXPECT_NEAR(shown[1][0], 2, 3);
    EXPECT_NEAR(shown[1][1], 100, 3);
    Close_Window(WINDOW_MAIN);
}

TEST(Prompts, ScriptedAnswersAreTakenAndRecorded) {
    Clear_Prompt_Script();
    Clear_Prompt_History();
    Script_Prompt(1);
    Script_Prompt(0);
    Script_Prompt(1, "/tmp/out.jqv", 2);
    EXPECT_EQ(Message_Box("Delete selected measurement...", "Are you sure?", MSG_YES_NO), 1);
    EXPECT_EQ(Message_Box("Warning", "Second", MSG_YES_NO | MSG_ICON_WARNING), 0);
    std::string path;
    int filter = -1;
    EXPECT_TRUE(Save_File_Dialog("Save", "doc.jqv", "Doc|*.jqv|All|*.*", &path, &filter));
    EXPECT_EQ(path, "/tmp/out.jqv");
    EXPECT_EQ(filter, 2);
    EXPECT_EQ(Scripted_Prompts_Left(), 0);
    const std::vector<Prompt_Record>& history = Prompt_History();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].Title, "Delete selected measurement...");
    EXPECT_EQ(history[0].Text, "Are you sure?");
    EXPECT_EQ(history[1].Flags, MSG_YES_NO | MSG_ICON_WARNING);
    EXPECT_EQ(history[2].Kind, PROMPT_SAVE_FILE);
    EXPECT_EQ(history[2].Filter, "Doc|*.jqv|All|*.*");
    Clear_Prompt_History();
}

// Real prompts, answered from inside their modal loop: the title the window
// carries, which file names each filter lists, and a termination signal
// that closes the prompt as if cancelled.
volatile int Quit_Signal = 0;
void On_Quit_Signal(int) { Quit_Signal = 1; }

enum Prompt_Action { ACT_ACCEPT, ACT_CANCEL, ACT_SIGNAL };
struct Shown_File {
    int Filter;
    std::string Name;
    int Shows;
};
struct Prompt_Case {
    int64_t Kind;
    std::string Title, Text_Or_Filter;
    int64_t Flags;
    Prompt_Action Action;
    int Expected;  // Message_Box's answer, or 1 / 0 for a dialog's result
    std::vector<std::string> Filter_Names;
    std::vector<Shown_File> Files;
};
struct Prompt_Watch {
    const Prompt_Case* Case = nullptr;
    bool Seen = false;
    bool Done = false;  // the watch has removed itself
    std::string Title;
    std::vector<std::string> Filter_Names;
    std::vector<int> Shows;
    float Deadline = 0;
};

bool Watch_Prompt(void* user) {
    Prompt_Watch* w = static_cast<Prompt_Watch*>(user);
    if (Elapsed_Ms() > w->Deadline) {
        // The prompt never closed (or never came): close it so that the test fails instead of hanging.
        Wx_Test_Answer_Prompt(false);
        w->Done = true;
        return false;
    }
    if (!Wx_Test_Prompt_Open()) {
        if (w->Seen) w->Done = true;
        return !w->Done;
    }
    if (!w->Seen) {
        w->Seen = true;
        w->Title = Wx_Test_Prompt_Title();
        for (int i = 0; i < Wx_Test_Prompt_Filter_Count(); i++) w->Filter_Names.push_back(Wx_Test_Prompt_Filter_Name(i));
        for (const Shown_File& f : w->Case->Files) w->Shows.push_back(Wx_Test_Prompt_Filter_Shows(f.Filter, f.Name));
        // A signal closes the prompt by itself; the watch stays until it has gone.
        if (w->Case->Action == ACT_SIGNAL) raise(SIGTERM);
        else Wx_Test_Answer_Prompt(w->Case->Action == ACT_ACCEPT);
    }
    return true;
}

// Shows the prompt of `c` with a watch that acts in it; returns the prompt's result.
int Show_Watched_Prompt(const Prompt_Case& c, Prompt_Watch* watch, float seconds) {
    watch->Case = &c;
    watch->Deadline = Elapsed_Ms() + seconds * 1000.0f;
    Wx_Test_Every(50, Watch_Prompt, watch);
    int result = 0;
    std::string path;
    int filter = -1;
    if (c.Kind == PROMPT_MESSAGE)
        result = Message_Box(c.Title, c.Text_Or_Filter, c.Flags);
    else if (c.Kind == PROMPT_CHOICE)
        result = Choice_Box(c.Title, c.Text_Or_Filter, "Save", "Discard", "Cancel");
    else if (c.Kind == PROMPT_OPEN_FILE)
        result = Open_File_Dialog(c.Title, "", c.Text_Or_Filter, &path, &filter) ? 1 : 0;
    else
        result = Save_File_Dialog(c.Title, "", c.Text_Or_Filter, &path, &filter) ? 1 : 0;
    return result;
}

void Wait_For_Watch(Prompt_Watch* watch, bool prompt_expected) {
    // A watch without a prompt ends at its deadline; one whose prompt has gone ends at once.
    if (!prompt_expected) watch->Deadline = std::min(watch->Deadline, Elapsed_Ms() + 300.0f);
    while (!watch->Done) {
        Wait_Event(20);
        Drain();
    }
}

TEST(Prompts, RealPromptsShowTitlesFilterInAnyCaseAndGiveWayToSigterm) {
    const std::string images = "PNG, BMP, JPEG|*.png;*.bmp;*.jpg;*.jpeg|PNG (*.png)|*.png|BMP (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg";
    const Prompt_Case cases[] = {
        {PROMPT_MESSAGE, "Message", "Export to CSV completed.\r\n\r\n/tmp/a.CSV", MSG_ICON_INFO, ACT_ACCEPT, 1, {}, {}},
        {PROMPT_MESSAGE, "Message", "Close all document windows, are you sure?", MSG_YES_NO, ACT_ACCEPT, 1, {}, {}},
        {PROMPT_MESSAGE, "Error", "File already exists,overwrite?", MSG_YES_NO, ACT_CANCEL, 0, {}, {}},
        {PROMPT_MESSAGE, "Warning", "File already exists, overwrite?", MSG_YES_NO | MSG_ICON_WARNING, ACT_SIGNAL, 0,
         {}, {}},
        {PROMPT_MESSAGE, "Info", "Calibration complete", MSG_ICON_INFO, ACT_SIGNAL, 0, {}, {}},
        // Three answers: accepting presses the first button, the others give the last.
        {PROMPT_CHOICE, "Message", "Save changes to 2 documents?", 0, ACT_ACCEPT, 0, {}, {}},
        {PROMPT_CHOICE, "Message", "Save changes to 1 document?", 0, ACT_CANCEL, 2, {}, {}},
        {PROMPT_CHOICE, "Message", "Save changes to 3 documents?", 0, ACT_SIGNAL, 2, {}, {}},
        {PROMPT_OPEN_FILE, "Choose file to load", "jqv|*.jqv", 0, ACT_CANCEL, 0, {"jqv"},
         {{0, "name.JQV", 1}, {0, "name.jqv", 1}, {0, "Name.Jqv", 1}, {0, "name.jqvx", 0}, {0, "name.png", 0},
          {0, "jqv", 0}}},
        {PROMPT_OPEN_FILE, "Please choose an image to load", images, 0, ACT_SIGNAL, 0,
         {"PNG, BMP, JPEG", "PNG (*.png)", "BMP (*.bmp)", "JPEG (*.jpg)"},
         {{0, "a.JPG", 1}, {0, "a.jpeg", 1}, {0, "a.PNG", 1}, {0, "a.Bmp", 1}, {0, "a.gif", 0}, {1, "a.PNG", 1},
          {1, "a.jpg", 0}, {2, "a.BMP", 1}, {3, "a.JPG", 1}, {3, "a.JPEG", 0}}},
        {PROMPT_SAVE_FILE, "Select filename", "CSV|*.CSV", 0, ACT_SIGNAL, 0, {"CSV"},
         {{0, "out.csv", 1}, {0, "out.CSV", 1}, {0, "out.txt", 0}}},
        {PROMPT_SAVE_FILE, "Please choose file name", "vsf|*.vsf", 0, ACT_CANCEL, 0, {"vsf"},
         {{0, "camera.VSF", 1}, {0, "camera.vsf", 1}, {0, "camera.vsf.bak", 0}}},
    };
    struct sigaction sa = {}, old_sa = {};
    sa.sa_handler = On_Quit_Signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, &old_sa);
    Set_Prompt_Abort_Flag(&Quit_Signal);
    Clear_Prompt_Script();
    // A parent window, as the program's prompts have.
    ASSERT_TRUE(Open_Window(WINDOW_MAIN, "Trellum - prompts", 0, 0, 400, 300, WINDOW_CLOSE_BOX));
    for (const Prompt_Case& c : cases) {
        SCOPED_TRACE(c.Title + ": " + c.Text_Or_Filter);
        Quit_Signal = 0;
        Prompt_Watch watch;
        // Generous: a loaded machine may take long to map a file dialog.
        int result = Show_Watched_Prompt(c, &watch, 120);
        Wait_For_Watch(&watch, true);
        EXPECT_TRUE(watch.Seen);
        EXPECT_LT(Elapsed_Ms(), watch.Deadline) << "the prompt did not close";
        EXPECT_EQ(result, c.Expected);
        EXPECT_EQ(watch.Title, c.Title);
        EXPECT_EQ(watch.Filter_Names, c.Filter_Names);
        ASSERT_EQ(watch.Shows.size(), c.Files.size());
        for (size_t i = 0; i < c.Files.size(); i++)
            EXPECT_EQ(watch.Shows[i], c.Files[i].Shows) << c.Files[i].Name << " under filter " << c.Files[i].Filter;
        ASSERT_FALSE(Prompt_History().empty());
        EXPECT_EQ(Prompt_History().back().Answer, c.Expected);
        if (c.Action == ACT_SIGNAL) {
            // Still signalled: the next prompt is not shown at all and answers No / Cancel.
            const Prompt_Case again[] = {
                {PROMPT_MESSAGE, "Message", "Close all document windows, are you sure?", MSG_YES_NO, ACT_ACCEPT, 0,
                 {}, {}},
                {PROMPT_OPEN_FILE, "Choose file to load", "jqv|*.jqv", 0, ACT_ACCEPT, 0, {}, {}},
            };
            for (const Prompt_Case& a : again) {
                Prompt_Watch none;
                EXPECT_EQ(Show_Watched_Prompt(a, &none, 120), 0);
                Wait_For_Watch(&none, false);
                EXPECT_FALSE(none.Seen) << a.Title;
            }
        }
    }
    Close_Window(WINDOW_MAIN);
    Set_Prompt_Abort_Flag(nullptr);
    sigaction(SIGTERM, &old_sa, nullptr);
    Quit_Signal = 0;
    Clear_Prompt_History();
}

TEST_F(GL_Views, HiddenViewsRenderAndShareTextures) {
    ASSERT_TRUE(Create_Control(WIN, 9160, CONTROL_GL_VIEW, 0, 0, 320, 200, ""));
    ASSERT_TRUE(Create_Control(WIN, 9161, CONTROL_GL_VIEW, 330, 0, 94, 28, ""));
    ASSERT_TRUE(Create_Control(WIN, 9162, CONTROL_LABEL, 0, 220, 50, 20, "not GL"));
    EXPECT_TRUE(GL_View_Exists(9160));
    EXPECT_FALSE(GL_View_Exists(9162));
    EXPECT_FALSE(GL_View_Exists(424242));
    EXPECT_FALSE(GL_Make_Current(9162));
    int w, h;
    GL_View_Size(9161, &w, &h);
    EXPECT_EQ(w, 94);
    EXPECT_EQ(h, 28);
    EXPECT_GT(Display_Scale_X(), 0.0);

    struct {
        int64_t view;
        float r, g, b;
        uint8_t expect[3];
    } views[] = {{9160, 1.0f, 0.0f, 0.0f, {255, 0, 0}}, {9161, 0.0f, 0.5f, 1.0f, {0, 128, 255}}};
    for (auto& v : views) {
        ASSERT_TRUE(GL_Make_Current(v.view)) << v.view;
        glViewport(0, 0, 1, 1);
        glClearColor(v.r, v.g, v.b, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glFinish();
        uint8_t px[4] = {0, 0, 0, 0};
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        for (int i = 0; i < 3; i++) EXPECT_NEAR(px[i], v.expect[i], 1) << "view " << v.view << " channel " << i;
    }

    ASSERT_TRUE(GL_Make_Current(9160));
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    uint8_t pixel[4] = {1, 2, 3, 4};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    glFinish();
    ASSERT_TRUE(GL_Make_Current(9161));
    EXPECT_TRUE(glIsTexture(texture));
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);
    glDeleteTextures(1, &texture);
    GL_Swap(9161);
    GL_Swap_Interval(9161, 0);

    // A view made after another one was freed still shares textures.
    Free_Control(9161);
    EXPECT_FALSE(GL_View_Exists(9161));
    ASSERT_TRUE(GL_Make_Current(9160));
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    ASSERT_TRUE(Create_Control(WIN, 9163, CONTROL_GL_VIEW, 0, 0, 64, 48, ""));
    ASSERT_TRUE(GL_Make_Current(9163));
    EXPECT_TRUE(glIsTexture(texture));

    // Closing a window while one of its views is current leaves the views of
    // other windows usable.
    ASSERT_TRUE(Open_Window(WINDOW_EMULATOR, "other", 0, 0, 200, 200, WINDOW_HIDDEN));
    ASSERT_TRUE(Create_Control(WINDOW_EMULATOR, 9164, CONTROL_GL_VIEW, 0, 0, 100, 100, ""));
    ASSERT_TRUE(GL_Make_Current(9164));
    Close_Window(WINDOW_EMULATOR);
    EXPECT_FALSE(GL_View_Exists(9164));
    EXPECT_FALSE(GL_Make_Current(9164));
    glFinish();
    ASSERT_TRUE(GL_Make_Current(9163));
    EXPECT_TRUE(glIsTexture(texture));
    glDeleteTextures(1, &texture);
}

}  // namespace
