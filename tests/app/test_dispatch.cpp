#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "base/app_state.h"
#include "app/dispatch.h"
#include "app/help.h"
#include "app/job_list.h"
#include "app/main_loop.h"
#include "app/picture_export.h"
#include "app/picture_keys.h"
#include "app/prefs.h"
#include "app/recovery.h"
#include "app/unsaved.h"
#include "app/window_title.h"
#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/doc_file.h"
#include "document/settings.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "measure/tools.h"
#include "scale/scale_port.h"
#include "scale/scale_reader.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"

namespace {

Platform_Event Control(int64_t control, int64_t type = ETYPE_CHANGE) {
    Platform_Event e;
    e.Window = WINDOW_MAIN;
    e.Kind = EVENT_CONTROL;
    e.Control = control;
    e.Type = type;
    return e;
}

Platform_Event Menu(int64_t item) {
    Platform_Event e;
    e.Window = WINDOW_MAIN;
    e.Kind = EVENT_MENU;
    e.Control = item;
    return e;
}

Tool Line(float x1, float x2) {
    Tool t;
    t.Type = TOOL_LINE;
    t.X_Start = x1;
    t.X_End = x2;
    t.Distance = x2 - x1;
    return t;
}

class Dispatch : public ::testing::Test {
protected:
    Temp_Folder folder;
    void SetUp() override {
        Fresh_Main_Window();
        Program_Names.Data_Folder = folder.Path + "/";
    }
};

TEST_F(Dispatch, Close_Selected_File_Steps_Down_Once) {
    Make_Document(0, 4, 4);
    Make_Document(1, 4, 4);
    Make_Current_Job(1);
    Control_Command(Control(CTL_CLOSE_FILE));
    EXPECT_EQ(Jobs[1].In_Use, 0);
    EXPECT_EQ(Current_Job, 0);  // the live document, not "no document"
    Control_Command(Control(CTL_CLOSE_FILE));  // the live document is never closed here
    EXPECT_EQ(Jobs[0].In_Use, 1);
    EXPECT_EQ(Current_Job, 0);
}

TEST_F(Dispatch, Unit_Change_Relabels_And_Always_Saves) {
    Make_Document(1, 4, 4, 10);
    Jobs[1].Doc.Tools.push_back(Line(0, 100));
    Make_Current_Job(1);
    Set_State(CTL_UNIT_LIST, 4);
    Control_Command(Control(CTL_UNIT_LIST));
    EXPECT_EQ(Jobs[1].Doc.Measure_Unit, 4);
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Pixels");
    EXPECT_EQ(Get_Cell_Text(CTL_MEASURE_LIST, 0, 1), "W: 100px");
    EXPECT_TRUE(File_Exists(Prefs_Path()));

    // With no document current the unit of the live document stays and the file is still written.
    remove(Prefs_Path().c_str());
    Make_Current_Job(-1);
    Set_State(CTL_UNIT_LIST, 0);
    Control_Command(Control(CTL_UNIT_LIST));
    EXPECT_EQ(Jobs[0].Doc.Measure_Unit, 2);
    EXPECT_TRUE(File_Exists(Prefs_Path()));
}

// The settings the lower layers read follow their widgets, whether the user
// changes a widget or a key does.
TEST_F(Dispatch, Settings_Follow_Their_Widgets) {
    struct Row {
        int64_t control;
        bool User_Settings::*field;
    } rows[] = {{CTL_SNAP_EDGES, &User_Settings::Snap_Edges},   {CTL_SNAP_ANGLE, &User_Settings::Snap_Angle},
                {CTL_MAGNIFY, &User_Settings::Magnify},          {CTL_PLUS_MINUS, &User_Settings::Invert_Hits},
                {CTL_EXPORT_SCALE_BAR, &User_Settings::Export_Scale_Bar},
                {CTL_EXPORT_OVERLAY, &User_Settings::Export_Overlay}};
    for (const Row& r : rows) {
        for (int64_t state : {1, 0, 1}) {
            Set_State(r.control, state);
            Control_Command(Control(r.control, ETYPE_LEFT_CLICK));
            EXPECT_EQ(Settings_View().*r.field, state == 1) << r.control;
            for (const Row& other : rows) {
                if (other.control != r.control) {
                    EXPECT_EQ(Settings_View().*other.field, Get_State(other.control) == 1) << other.control;
                }
            }
        }
    }
    Set_State(CTL_UNIT_LIST, 3);
    Control_Command(Control(CTL_UNIT_LIST));
    EXPECT_EQ(Settings_View().Unit, 3);
    for (int32_t key : {'E', 'Z'}) {
        const int64_t control = key == 'E' ? CTL_SNAP_EDGES : CTL_MAGNIFY;
        const bool before = key == 'E' ? Settings_View().Snap_Edges : Settings_View().Magnify;
        Picture_View_Key(key);
        EXPECT_EQ(Get_State(control), before ? 0 : 1) << (char)key;
        EXPECT_EQ(key == 'E' ? Settings_View().Snap_Edges : Settings_View().Magnify, !before) << (char)key;
    }
}

TEST_F(Dispatch, List_Click_Navigates_To_The_Rows_Document) {
    Make_Document(1, 4, 4);
    Make_Document(2, 4, 4);
    Jobs[1].Doc.Tools.push_back(Line(0, 10));
    Jobs[2].Doc.Tools.push_back(Line(0, 20));
    Make_Current_Job(1);
    Rebuild_Measurement_List();
    Set_State(CTL_MEASURE_LIST, 1);
    Control_Command(Control(CTL_MEASURE_LIST, ETYPE_LEFT_CLICK));
    EXPECT_EQ(Current_Job, 2);
    EXPECT_EQ(Get_State(CTL_MEASURE_LIST), 1);  // the clicked row stays selected
}

TEST_F(Dispatch, Confirmations_Of_The_List_Menu) {
    Make_Document(1, 4, 4);
    Jobs[1].Doc.Tools = {Line(0, 10), Line(0, 20)};
    Make_Current_Job(1);
    Rebuild_Measurement_List();
    Set_State(CTL_MEASURE_LIST, 0);

    Script_Prompt(0);
    Menu_Command(Menu(MENU_DELETE_MEASUREMENT));
    EXPECT_EQ(Last_Prompt_Text(), "Delete selected measurement... / Are you sure?");
    EXPECT_EQ(Jobs[1].Doc.Tools.size(), 2u);
    Script_Prompt(1);
    Menu_Command(Menu(MENU_DELETE_MEASUREMENT));
    EXPECT_EQ(Jobs[1].Doc.Tools.size(), 1u);

    Script_Prompt(0);
    Menu_Command(Menu(MENU_CLEAR_MEASUREMENTS));
    EXPECT_EQ(Last_Prompt_Text(), "Clear all measurements... / Are you sure?");
    EXPECT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    Script_Prompt(1);
    Menu_Command(Menu(MENU_CLEAR_MEASUREMENTS));
    EXPECT_TRUE(Jobs[1].Doc.Tools.empty());

    // With no document these ask nothing.
    Make_Current_Job(-1);
    size_t asked = Prompt_History().size();
    Menu_Command(Menu(MENU_DELETE_MEASUREMENT));
    Menu_Command(Menu(MENU_CLEAR_MEASUREMENTS));
    EXPECT_EQ(Prompt_History().size(), asked);
}

TEST_F(Dispatch, Threshold_Note_And_Stage_Zero_From_The_Readouts) {
    Make_Document(0, 4, 4);
    Make_Current_Job(0);
    Jobs[0].Doc.Measure.Hits = 12.5f;
    Set_State(CTL_PLUS_MINUS, 1);
    Control_Command(Control(CTL_READOUT_THRESHOLD_PCT, ETYPE_LEFT_DOUBLE_CLICK));
    ASSERT_EQ(Current_Job, 1);  // the note goes into a snapshot
    ASSERT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_EQ(Jobs[1].Doc.Tools[0].Type, TOOL_THRESHOLD_NOTE);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.Tools[0].Distance, 87.5f);
    EXPECT_TRUE(Jobs[0].Doc.Tools.empty());

    Stage_Position = 321;
    Control_Command(Control(CTL_READOUT_SCALE_X, ETYPE_LEFT_DOUBLE_CLICK));
    EXPECT_FLOAT_EQ(Stage_Zero, 321);
}

TEST_F(Dispatch, New_And_Exit) {
    Make_Document(1, 4, 4);
    Script_Prompt(1);
    Menu_Command(Menu(MENU_NEW));
    EXPECT_EQ(Count_Open_Jobs(), 0);
    Menu_Command(Menu(MENU_EXPORT_RESULTS));  // nothing left to export, and it says so
    EXPECT_EQ(Last_Prompt_Text(), "Info / No measurements to export");
    Main_Loop.Quit_Request = 0;
    Menu_Command(Menu(MENU_EXIT));
    EXPECT_EQ(Main_Loop.Quit_Request, 1);
    Main_Loop.Quit_Request = 0;
}

TEST_F(Dispatch, Thumbnail_Click_Selects_Its_Slot) {
    Make_Document(0, 4, 4);
    Make_Document(5, 4, 4);
    Make_Current_Job(0);
    Control_Command(Control(5, ETYPE_LEFT_CLICK));
    EXPECT_EQ(Current_Job, 5);
    Canvas_State canvas = Canvas_View();
    canvas.Click_State = 1;
    Set_Canvas_State_For_Test(canvas);
    Control_Command(Control(CTL_THUMBNAIL_FIRST + 0, ETYPE_LEFT_CLICK));
    EXPECT_EQ(Current_Job, 0);
    EXPECT_EQ(Canvas_View().Click_State, 0);
}

TEST_F(Dispatch, Job_List_Positions_And_Scroll_Height) {
    Make_Document(0, 4, 4);
    Make_Document(2, 4, 4);
    Make_Document(5, 4, 4);
    Job_Update_List();
    int x, y, w, h;
    const int expected[9] = {4, -1000, 56, -1000, -1000, 108, -1000, -1000, -1000};
    for (int i = 0; i < 9; i++) {
        Control_Rect(i, &x, &y, &w, &h);
        EXPECT_EQ(y, expected[i]) << i;
    }
    Scroll_Area_Inner_Size(CTL_THUMBNAIL_SCROLL, &w, &h);
    EXPECT_EQ(h, 164);
    EXPECT_EQ(Get_Tooltip(5).rfind("5 - ", 0), 0u);
    for (int i : {0, 2, 5}) Jobs[i].In_Use = 0;
    Job_Update_List();
    Scroll_Area_Inner_Size(CTL_THUMBNAIL_SCROLL, &w, &h);
    EXPECT_EQ(h, 8);
}

TEST_F(Dispatch, Selecting_A_Document_Shows_Its_Settings) {
    Make_Document(3, 4, 4);
    Jobs[3].Doc.Processing.Mode = 3;
    Jobs[3].Doc.Processing.Threshold_Yellow = 140;
    Jobs[3].Doc.Measure_Unit = 0;
    Select_Job(3);
    EXPECT_EQ(Get_State(CTL_ANALYSIS_FIRST + 3), 1);
    EXPECT_EQ(Get_State(CTL_ANALYSIS_FIRST), 0);
    EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), 140);
    EXPECT_EQ(Get_State(CTL_UNIT_LIST), 0);
    EXPECT_FALSE(Control_Hidden(CTL_TOOL_WIDTH));

    // Every mode shows its own button and threshold; a mode only a file can
    // carry falls back to 0. Modes 0 and 5 have no threshold of their own (the
    // slider's lower end) and 0 hides the automatic tools.
    const int64_t rows[][3] = {{0, 0, 1}, {1, 1, 110}, {2, 2, 120}, {3, 3, 140},
                               {4, 4, 150}, {5, 5, 1}, {9, 0, 1}, {255, 0, 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "mode " << r[0]);
        ProcessMode& p = Jobs[3].Doc.Processing;
        p.Mode = (uint8_t)r[0];
        p.Threshold_Cyan = 110, p.Threshold_Magenta = 120, p.Threshold_Yellow = 140, p.Threshold_Black = 150;
        Set_State(CTL_THRESHOLD_SLIDER, 200);
        Select_Job(3);
        for (int64_t b = 0; b <= 5; b++) EXPECT_EQ(Get_State(CTL_ANALYSIS_FIRST + b), b == r[1] ? 1 : 0) << b;
        EXPECT_EQ(Get_State(CTL_THRESHOLD_SLIDER), r[2]);
        EXPECT_EQ(Control_Hidden(CTL_TOOL_AUTO_CIRCLE), r[1] == 0);
    }
    // "Bright objects" is the document's own: ticked, it changes this one
    // document, and the box follows whichever document is selected.
    Make_Document(2, 4, 4);
    Select_Job(3);
    Mark_Document_Saved(3);
    Set_State(CTL_BRIGHT_OBJECTS, 1);
    Control_Command(Control(CTL_BRIGHT_OBJECTS, ETYPE_LEFT_CLICK));
    EXPECT_EQ(Jobs[3].Doc.Processing.Bright, 1);
    EXPECT_EQ(Jobs[3].Changed, 1);
    Select_Job(2);
    EXPECT_EQ(Get_State(CTL_BRIGHT_OBJECTS), 0);
    Select_Job(3);
    EXPECT_EQ(Get_State(CTL_BRIGHT_OBJECTS), 1);
}

// File menu "Export picture...": the current document at its own size in
// its own colours, PNG or calibrated TIFF by filter or typed extension, with
// the Settings page's two options.
TEST_F(Dispatch, Export_Picture_Writes_The_Document_At_Its_Resolution) {
    struct Name {
        const char* typed;
        int filter;
        const char* name;
        int format;
    } names[] = {{"shot", PICTURE_EXPORT_PNG, "shot.png", PICTURE_EXPORT_PNG},
                 {"shot", PICTURE_EXPORT_TIFF, "shot.tif", PICTURE_EXPORT_TIFF},
                 {"shot.PNG", PICTURE_EXPORT_TIFF, "shot.PNG", PICTURE_EXPORT_PNG},
                 {"shot.Tiff", PICTURE_EXPORT_PNG, "shot.Tiff", PICTURE_EXPORT_TIFF},
                 {"shot.tif", PICTURE_EXPORT_PNG, "shot.tif", PICTURE_EXPORT_TIFF},
                 {"shot.jpg", PICTURE_EXPORT_PNG, "shot.jpg.png", PICTURE_EXPORT_PNG}};
    for (const Name& n : names) {
        int format = -1;
        EXPECT_EQ(Picture_Export_Name(n.typed, n.filter, &format), n.name);
        EXPECT_EQ(format, n.format) << n.typed;
    }

    Make_Current_Job(-1);
    Menu_Command(Menu(MENU_EXPORT_PICTURE));
    EXPECT_EQ(Last_Prompt_Text(), "Error / No document selected");

    Make_Document(1, 160, 90, 250, 100, 100, 100);
    Jobs[1].Doc.Measure_Unit = 0;
    Tool t = Make_Tool(TOOL_LINE, 10, 60, 110, 60);
    t.Colour = 0xFFFFFF;
    Jobs[1].Doc.Tools.push_back(t);
    Make_Current_Job(1);
    ASSERT_EQ(Get_State(CTL_EXPORT_SCALE_BAR) * 10 + Get_State(CTL_EXPORT_OVERLAY), 11) << "both on at start";
    struct Case {
        const char* typed;
        int filter;
        int64_t overlay;
        const char* file;
    } cases[] = {{"a", PICTURE_EXPORT_TIFF, 1, "a.tif"}, {"b.png", PICTURE_EXPORT_TIFF, 0, "b.png"}};
    for (const Case& c : cases) {
        Set_State(CTL_EXPORT_OVERLAY, c.overlay);
        Clear_Prompt_History();
        Script_Prompt(1, folder.File(c.typed), c.filter);
        Menu_Command(Menu(MENU_EXPORT_PICTURE));
        ASSERT_EQ(Prompt_History().size(), 2u);
        EXPECT_EQ(Prompt_History()[0].Filter, "PNG|*.png|TIFF|*.tif;*.tiff");
        EXPECT_EQ(Last_Prompt_Text(), "Success / Saved image to:\n" + folder.File(c.file));
        std::string bytes = Read_Whole_File(folder.File(c.file));
        Picture p;
        Tiff_Calibration cal;
        bool tiff = c.filter == PICTURE_EXPORT_TIFF && c.overlay;
        ASSERT_TRUE(tiff ? Decode_Tiff((const uint8_t*)bytes.data(), bytes.size(), MAX_PICTURE_EDGE, &p, &cal)
                         : Decode_Picture((const uint8_t*)bytes.data(), bytes.size(), &p))
            << c.file;
        EXPECT_EQ(p.Width * 1000 + p.Height, 160090) << "the document's size, not the view's";
        if (tiff) {
            EXPECT_EQ(cal.PPMM * 10 + cal.Unit, 2500.0);
        }
        EXPECT_EQ(p.Pixels[(60 * 160 + 60) * 4], c.overlay ? 155 : 100) << "the line, exclusive-or'ed";
        EXPECT_EQ(p.Pixels[(20 * 160 + 140) * 4 + 1], 100) << "the picture's own colours";
    }
    Script_Prompt(1, folder.File("no/such/folder/c"), PICTURE_EXPORT_PNG);
    Menu_Command(Menu(MENU_EXPORT_PICTURE));
    EXPECT_EQ(Last_Prompt_Text(), "Error / Unable to save image file");
    Clear_Prompt_History();
    Script_Prompt(0);
    Menu_Command(Menu(MENU_EXPORT_PICTURE));
    EXPECT_EQ(Prompt_History().size(), 1u) << "cancelled: nothing written, nothing said";
}

// The "Scale port:" choice is kept in Comport (a choice that changes nothing
// writes nothing) and the 330 ms poll in camera mode reads the scale on it.
TEST_F(Dispatch, Scale_Port_Choice_And_The_Camera_Mode_Poll) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const std::string pty = ptsname(master);
    Comport_Name = "COM3";
    Scale_Port_Failure_Reported = 0;
    Scale_Checked = 1;
    Fill_Scale_Port_Choice(Comport_Name);
    EXPECT_EQ(Get_State(CTL_SCALE_PORT), 0);
    Control_Command(Control(CTL_SCALE_PORT));
    EXPECT_EQ(Comport_Name, "COM3");
    EXPECT_FALSE(File_Exists(Prefs_Path())) << "None chosen again: the file stays as it was";

    Fill_Scale_Port_Choice(pty);  // a port that is not one of the listed kinds still shows as the choice
    Set_State(CTL_SCALE_PORT, Row_Count(CTL_SCALE_PORT) - 1);
    Control_Command(Control(CTL_SCALE_PORT));
    EXPECT_EQ(Comport_Name, pty);
    EXPECT_NE(Read_Whole_File(Prefs_Path()).find("Comport = " + pty + "\r\n"), std::string::npos);
    EXPECT_TRUE(Serial_Is_Open(SCALE_PORT));

    Platform_Event timer;
    timer.Window = WINDOW_MAIN;
    timer.Kind = EVENT_TIMER;
    timer.Control = TIMER_SCALE_330;
    Make_Document(0, 4, 4, 100);
    Make_Document(1, 4, 4, 100);
    Stage_Position = 700;  // where the emulator left the stage
    Video_Mode = VIDEO_EMULATOR;
    Dispatch_Event(timer);
    Video_Mode = VIDEO_CAMERA;
    ASSERT_EQ(write(master, "1500\r\n", 6), 6);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Serial_Available(SCALE_PORT) < 6 && std::chrono::steady_clock::now() < until) usleep(1000);
    struct Poll {
        int64_t new_frames;
        std::string comport;
        float stage;
        size_t prompts;
        int64_t shown;  // the document shown after the poll, from document 1
    } polls[] = {
        {1, pty, 1500, 0, 1},    // 15.00 mm at 100 pixels/mm; the camera's first reading is no stage movement
        {0, pty, 1500, 0, 1},    // no new frame: no poll
        {1, "/dev/trellum-missing", 0, 1, 0},  // the stage moved 1500 pixels: back to the live picture
        {1, "/dev/trellum-missing", 0, 1, 1},  // reported once
        {1, "None", 0, 1, 1},
    };
    for (const Poll& p : polls) {
        Select_Job(1);
        Comport_Name = p.comport;
        Main_Loop.Frames_Total += p.new_frames;
        Dispatch_Event(timer);
        EXPECT_EQ(Stage_Position, p.stage) << p.comport;
        EXPECT_EQ(Prompt_History().size(), p.prompts) << p.comport;
        EXPECT_EQ(Current_Job, p.shown) << p.comport << " " << p.stage;
        if (&p == &polls[0]) {
            // The poll asked for the next reading before the port moved on.
            char request[16] = {};
            struct pollfd in = {master, POLLIN, 0};
            ASSERT_EQ(poll(&in, 1, 60000), 1);
            EXPECT_EQ(read(master, request, sizeof request), 4);
            EXPECT_STREQ(request, "!A\r\n");
        }
    }
    EXPECT_FALSE(Serial_Is_Open(SCALE_PORT));
    Video_Mode = VIDEO_NONE;
    close(master);
}

// Help: the shortcuts window lists the key table and the menu accelerators
// as they stand (an item added later is listed too); the user guide is the
// installed one, else the build tree's, else a clear message.
TEST_F(Dispatch, Help_Menu_Shortcuts_And_User_Guide) {
    std::set<int32_t> keys;
    for (size_t i = 0; i < PICTURE_KEY_COUNT; i++)
        EXPECT_TRUE(keys.insert(PICTURE_KEYS[i].Key).second) << "key listed twice: " << PICTURE_KEYS[i].Key;
    const std::pair<int32_t, const char*> names[] = {{'A', "A"}, {'7', "7"},         {VK_SPACE_, "Space"},
                                                     {VK_MINUS_, "-"}, {VK_EQUALS_, "="}, {VK_DELETE_, "Delete"},
                                                     {VK_ESCAPE_, "Esc"}, {VK_UP_, "Up"}, {200, "Key 200"}};
    for (const auto& n : names) EXPECT_EQ(Key_Name(n.first), n.second);

    std::vector<std::string> rows = Keyboard_Shortcut_Rows();
    ASSERT_GE(rows.size(), PICTURE_KEY_COUNT);
    EXPECT_EQ(rows[0], "0\nThreshold 0");
    EXPECT_EQ(rows[12], "Space\nSnapshot: freeze the current picture into a new document");
    std::vector<std::string> menu_rows(rows.begin() + (long)PICTURE_KEY_COUNT, rows.end());
    for (const char* row : {"Ctrl+N\nFile > New", "Ctrl+O\nFile > Open", "Ctrl+S\nFile > Save",
                            "Alt+F4\nFile > Exit", "F1\nHelp > User guide"})
        EXPECT_NE(std::find(menu_rows.begin(), menu_rows.end(), row), menu_rows.end()) << row;
    for (const std::string& row : menu_rows) EXPECT_EQ(row.find("About"), std::string::npos) << "no accelerator";
    Add_Menu_Item(WINDOW_MAIN, 299, "Later item\tCtrl+L");
    EXPECT_EQ(Keyboard_Shortcut_Rows().back(), "Ctrl+L\nHelp > Later item");

    Menu_Command(Menu(MENU_KEYBOARD_SHORTCUTS));
    ASSERT_TRUE(Window_Exists(WINDOW_KEYBOARD_SHORTCUTS));
    EXPECT_EQ(Row_Count(CTL_KEYS_LIST), (int64_t)rows.size() + 1);
    EXPECT_EQ(Get_Cell_Text(CTL_KEYS_LIST, 13, 0), "A");
    Menu_Command(Menu(MENU_KEYBOARD_SHORTCUTS));  // again: the open window stays, not a second one
    EXPECT_EQ(Row_Count(CTL_KEYS_LIST), (int64_t)rows.size() + 1);
    Platform_Event close;
    close.Window = WINDOW_KEYBOARD_SHORTCUTS;
    close.Kind = EVENT_CONTROL;
    close.Control = CTL_KEYS_CLOSE;
    Dispatch_Event(close);
    EXPECT_FALSE(Window_Exists(WINDOW_KEYBOARD_SHORTCUTS));

    // Where the guide is looked for.
    std::string program = folder.Path + "/prefix/bin";
    ASSERT_TRUE(Create_Folder(folder.Path + "/prefix") && Create_Folder(program));
    EXPECT_EQ(User_Guide_Path(program), "");
    Write_Whole_File(program + "/user-guide.html", "build tree");
    EXPECT_EQ(User_Guide_Path(program), program + "/user-guide.html");
    for (const char* dir : {"/prefix/share", "/prefix/share/doc", "/prefix/share/doc/trellum"})
        ASSERT_TRUE(Create_Folder(folder.Path + dir));
    Write_Whole_File(folder.Path + "/prefix/share/doc/trellum/user-guide.html", "installed");
    EXPECT_EQ(Read_Whole_File(User_Guide_Path(program)), "installed");

    // This test program's folder holds no guide: the user is told; with one it is shown.
    std::string beside = Running_Program_Folder() + "/user-guide.html";
    ASSERT_FALSE(File_Exists(beside));
    Clear_Prompt_History();
    Menu_Command(Menu(MENU_USER_GUIDE));
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "User guide");
    EXPECT_EQ(Prompt_History()[0].Text.rfind("The user guide is not installed (no " + Running_Program_Folder(), 0), 0u);
    EXPECT_TRUE(Null_Opened_Urls().empty());
    Write_Whole_File(beside, "guide");
    Menu_Command(Menu(MENU_USER_GUIDE));
    remove(beside.c_str());
    ASSERT_EQ(Null_Opened_Urls().size(), 1u);
    EXPECT_EQ(Null_Opened_Urls()[0], beside);
    EXPECT_EQ(Prompt_History().size(), 1u);
}

// Every way of closing documents asks about the unsaved ones, and each of
// the three answers does what it says. Slot 1 is new (no file yet), slot 2
// saved, slot 3 an opened file with a new measurement; slot 3 is current.
TEST_F(Dispatch, Unsaved_Changes_Are_Asked_About_Before_Closing) {
    struct Answer {
        int Value;
        std::string Path;
    };
    struct Case {
        const char* what;
        int64_t kind, number;        // the event: menu item, control, or the close box
        std::vector<Answer> answers;
        const char* question;        // "" when nothing is asked
        bool quits;
        std::vector<int> open_after; // frozen slots in use afterwards
        std::vector<int> unsaved_after;
    };
    const std::string part1 = folder.Path + "/part1";
    const Case cases[] = {
        {"exit, cancel", EVENT_MENU, MENU_EXIT, {{2, ""}}, "Save changes to 2 documents?", false, {1, 2, 3}, {1, 3}},
        {"exit, discard", EVENT_MENU, MENU_EXIT, {{1, ""}}, "Save changes to 2 documents?", true, {1, 2, 3}, {1, 3}},
        {"exit, save", EVENT_MENU, MENU_EXIT, {{0, ""}, {1, part1}, {1, ""}}, "Save changes to 2 documents?", true,
         {1, 2, 3}, {}},
        {"exit, save, dialog cancelled", EVENT_MENU, MENU_EXIT, {{0, ""}, {0, ""}}, "Save changes to 2 documents?",
         false, {1, 2, 3}, {1, 3}},
        {"exit, save, no overwrite", EVENT_MENU, MENU_EXIT, {{0, ""}, {1, part1}, {0, ""}},
         "Save changes to 2 documents?", false, {1, 2, 3}, {3}},
        {"close box, cancel", EVENT_CLOSE_WINDOW, 0, {{2, ""}}, "Save changes to 2 documents?", false, {1, 2, 3},
         {1, 3}},
        {"close box, discard", EVENT_CLOSE_WINDOW, 0, {{1, ""}}, "Save changes to 2 documents?", true, {1, 2, 3},
         {1, 3}},
        {"close box, unanswered", EVENT_CLOSE_WINDOW, 0, {}, "Save changes to 2 documents?", false, {1, 2, 3},
         {1, 3}},
        {"new, cancel", EVENT_MENU, MENU_NEW, {{2, ""}}, "Save changes to 2 documents?", false, {1, 2, 3}, {1, 3}},
        {"new, discard", EVENT_MENU, MENU_NEW, {{1, ""}}, "Save changes to 2 documents?", false, {}, {}},
        {"new, save", EVENT_MENU, MENU_NEW, {{0, ""}, {1, part1}, {1, ""}}, "Save changes to 2 documents?", false, {},
         {}},
        {"close one, cancel", EVENT_CONTROL, CTL_CLOSE_FILE, {{2, ""}}, "Save changes to 1 document?", false,
         {1, 2, 3}, {1, 3}},
        {"close one, discard", EVENT_CONTROL, CTL_CLOSE_FILE, {{1, ""}}, "Save changes to 1 document?", false,
         {1, 2}, {1}},
        {"close one, save", EVENT_CONTROL, CTL_CLOSE_FILE, {{0, ""}, {1, ""}}, "Save changes to 1 document?", false,
         {1, 2}, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fresh_Main_Window();
        Program_Names.Data_Folder = folder.Path + "/";
        remove((part1 + ".JQV").c_str());
        Make_Document(0, 4, 4);
        for (int slot : {1, 2, 3}) Make_Document(slot, 4, 4);
        Make_Current_Job(0);
        ASSERT_EQ(Duplicate_Job(0), 0);  // a snapshot that exists nowhere else: slot 4
        EXPECT_EQ(Jobs[4].Changed, 1);
        Close_Job(4);
        Jobs[1].Changed = 1;
        Jobs[3].File_Name = folder.Path + "/three.JQV";
        Write_Whole_File(Jobs[3].File_Name, "old");
        Jobs[3].Doc.Tools.push_back(Line(0, 10));
        Jobs[3].Changed = 1;
        Jobs[2].File_Name = folder.Path + "/two.JQV";
        Make_Current_Job(3);
        for (const Answer& a : c.answers) Script_Prompt(a.Value, a.Path);
        Main_Loop.Quit_Request = 0;
        Platform_Event e = c.kind == EVENT_CONTROL ? Control(c.number) : Menu(c.number);
        e.Kind = c.kind;
        Dispatch_Event(e);

        ASSERT_FALSE(Prompt_History().empty());
        EXPECT_EQ(Prompt_History()[0].Kind, PROMPT_CHOICE);
        EXPECT_EQ(Prompt_History()[0].Title, "Message");
        EXPECT_EQ(Prompt_History()[0].Text, c.question);
        EXPECT_EQ(Prompt_History()[0].Filter, "Save|Discard|Cancel");
        EXPECT_EQ(Scripted_Prompts_Left(), 0) << "every scripted answer was asked for";
        EXPECT_EQ(Main_Loop.Quit_Request == 1, c.quits);
        std::vector<int> open, unsaved;
        for (int slot = 1; slot < JOB_SLOTS; slot++) {
            if (Jobs[slot].In_Use) open.push_back(slot);
            if (Jobs[slot].In_Use && Jobs[slot].Changed) unsaved.push_back(slot);
        }
        EXPECT_EQ(open, c.open_after);
        EXPECT_EQ(unsaved, c.unsaved_after);
        bool saved_three = c.answers.size() > 1 && c.answers.back().Value == 1 && c.answers.back().Path.empty();
        EXPECT_EQ(Read_Whole_File(folder.Path + "/three.JQV") != "old", saved_three);
        bool saved_one = false;
        for (const Answer& a : c.answers) saved_one = saved_one || (a.Value == 1 && a.Path == part1);
        EXPECT_EQ(File_Exists(part1 + ".JQV"), saved_one);
    }
    Main_Loop.Quit_Request = 0;

    // Nothing unsaved: Exit asks nothing, "New" asks its own question.
    Fresh_Main_Window();
    Make_Document(2, 4, 4);
    Menu_Command(Menu(MENU_EXIT));
    EXPECT_EQ(Main_Loop.Quit_Request, 1);
    EXPECT_TRUE(Prompt_History().empty());
    Main_Loop.Quit_Request = 0;
    Script_Prompt(0);
    Menu_Command(Menu(MENU_NEW));
    EXPECT_EQ(Last_Prompt_Text(), "Message / Close all document windows, are you sure?");
    EXPECT_EQ(Count_Open_Jobs(), 1);
}

TEST_F(Dispatch, Window_Title_Names_The_Current_Document) {
    Make_Document(0, 4, 4);
    Make_Document(1, 4, 4);
    Make_Document(2, 4, 4);
    Jobs[1].File_Name = "/data/parts/part7.JQV";
    Jobs[2].File_Name = "part8.jqv";
    struct Case {
        int64_t current;
        int changed1, changed2;
        const char* title;
    } cases[] = {
        {-1, 0, 0, "Trellum - v0.241202"},
        {0, 1, 1, "Trellum - v0.241202"},
        {1, 0, 0, "Trellum - v0.241202 - part7.JQV"},
        {1, 1, 0, "Trellum - v0.241202 - part7.JQV*"},
        {2, 1, 0, "Trellum - v0.241202 - part8.jqv"},
        {2, 0, 1, "Trellum - v0.241202 - part8.jqv*"},
        {3, 1, 1, "Trellum - v0.241202"},  // a free slot is no document
    };
    for (const Case& c : cases) {
        Make_Current_Job(c.current);
        Jobs[1].Changed = (uint8_t)c.changed1;
        Jobs[2].Changed = (uint8_t)c.changed2;
        EXPECT_EQ(Window_Title_Text(), c.title) << c.current;
    }
    Jobs[2].File_Name.clear();
    Make_Current_Job(2);
    EXPECT_EQ(Window_Title_Text(), "Trellum - v0.241202 - Document 2*");

    // Saving clears the mark, a new measurement sets it again.
    Script_Prompt(1, folder.Path + "/part9");
    Save_Document(1);
    EXPECT_EQ(Window_Title_Text(), "Trellum - v0.241202 - part9.JQV");
    Add_Tool(TOOL_LINE, 0, 0, 3, 0, 0);
    EXPECT_EQ(Window_Title_Text(), "Trellum - v0.241202 - part9.JQV*");
    // Opening gives an unchanged document under its own name.
    ASSERT_TRUE(Open_Document_File(folder.Path + "/part9.JQV"));
    EXPECT_EQ(Current_Job, 3);
    EXPECT_EQ(Window_Title_Text(), "Trellum - v0.241202 - part9.JQV");
}

TEST_F(Dispatch, Documents_From_The_Command_Line) {
    Make_Document(0, 4, 4);
    Make_Document(1, 5, 3, 70);
    Jobs[1].Doc.Tools.push_back(Line(0, 2));
    Make_Current_Job(1);
    Script_Prompt(1, folder.Path + "/given");
    Save_Document(1);
    Close_Job(1);
    Write_Whole_File(folder.Path + "/broken.JQV", "not a zip");
    Clear_Prompt_History();
    Open_Start_Documents({folder.Path + "/given.JQV", folder.Path + "/missing.JQV", folder.Path + "/broken.JQV",
                          folder.Path + "/given.JQV"});
    EXPECT_EQ(Count_Open_Jobs(), 2);
    EXPECT_EQ(Current_Job, 2);
    EXPECT_EQ(Jobs[1].File_Name, folder.Path + "/given.JQV");
    EXPECT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_EQ(Jobs[1].Changed, 0);
    ASSERT_EQ(Prompt_History().size(), 2u);
    for (const Prompt_Record& p : Prompt_History()) EXPECT_EQ(p.Title + " / " + p.Text, "Error / Unable to load selected file");
}

}  // namespace
