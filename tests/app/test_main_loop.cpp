#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "base/app_state.h"
#include "app/calibration_panel.h"
#include "app/command_line.h"
#include "app/job_list.h"
#include "app/prefs.h"
#include "app/main_loop.h"
#include "app/picture_export.h"
#include "app/readout_panel.h"
#include "app/splash.h"
#include "app/status_bar.h"
#include "app/video_settings_window.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/doc_file.h"
#include "measure/snapping.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"
#include "measure/calibration.h"
#include "measure/readouts.h"
#include "video/camera_settings.h"
#include "video/camera_settings_file.h"
#include "video/capture_thread.h"
#include "video/emulator.h"

namespace {

TEST(Timing_Line, Composition) {
    Stage_Times_Record t;
    t.Capture = 3.26f;
    t.DD = 1.25f;
    t.Vid_Rend = 2.0f;
    t.Process = 0.5f;
    t.Upload = 0.125f;
    t.Download = 4.0f;
    EXPECT_EQ(Format_Timing_Line(t),
              "Time, 7.88 ms,  Capture; 3.3(decoupled), DD; 1.2, Vid_Rend; 2.0, Process; 0.5, Upload; 0.1, "
              "Download; 4.0 ms");
    EXPECT_EQ(Format_Timing_Line(Stage_Times_Record()),
              "Time, 0.00 ms,  Capture; 0.0(decoupled), DD; 0.0, Vid_Rend; 0.0, Process; 0.0, Upload; 0.0, "
              "Download; 0.0 ms");
}

TEST(Idle_Wait, Sleeps_Only_When_Nothing_Is_Due) {
    Fresh_Main_Window();
    Video_Mode = VIDEO_NONE;
    Take_Redraw_Request();
    Take_Threshold_Label_Request();
    Main_Loop.Quit_Request = 0;
    int64_t now = (int64_t)Elapsed_Ms();
    Main_Loop.Next_Timing_Log_Ms = now + 800;
    int64_t idle = Idle_Wait_Ms();
    EXPECT_GT(idle, 100);
    EXPECT_LE(idle, 801);

    Main_Loop.Next_Timing_Log_Ms = now + 20;  // the timing line is due soon
    EXPECT_LE(Idle_Wait_Ms(), 21);

    Main_Loop.Next_Timing_Log_Ms = now + 800;
    Request_Redraw();
    EXPECT_EQ(Idle_Wait_Ms(), 0);
    Take_Redraw_Request();

    // A gliding emulator crop keeps the loop awake.
    Video_Mode = VIDEO_EMULATOR;
    Emulator_Test_Access().Pan_Step = 0.4f;
    Main_Loop.Next_Acquire_Ms = 0;
    EXPECT_EQ(Idle_Wait_Ms(), 0);
    Emulator_Test_Access().Pan_Step = 1.2f;
    Emulator_Test_Access().Pan_Dragging = 0;
    EXPECT_GT(Idle_Wait_Ms(), 100);

    // A camera is polled every acquisition interval.
    Video_Mode = VIDEO_CAMERA;
    Main_Loop.Next_Acquire_Ms = (int64_t)Elapsed_Ms() + 5;
    EXPECT_LE(Idle_Wait_Ms(), 6);
    Main_Loop.Next_Acquire_Ms = 0;  // a frame is due: looked for soon, without spinning
    EXPECT_EQ(Idle_Wait_Ms(), 1);
    Video_Mode = VIDEO_NONE;
}

TEST(Idle_Pass, Writes_The_Timing_Line_At_Most_Once_A_Second) {
    Fresh_Main_Window();
    Video_Mode = VIDEO_NONE;
    Take_Redraw_Request();
    Main_Loop.Frames_This_Second = 7;
    Main_Loop.Next_Timing_Log_Ms = (int64_t)Elapsed_Ms() - 1;
    Idle_Pass();
    EXPECT_EQ(Main_Loop.Frames_Per_Second, 7);
    EXPECT_EQ(Main_Loop.Frames_This_Second, 0);
    int64_t next = Main_Loop.Next_Timing_Log_Ms;
    EXPECT_GE(next, Main_Loop.Now_Ms + 999);
    Main_Loop.Frames_This_Second = 3;
    Idle_Pass();
    EXPECT_EQ(Main_Loop.Next_Timing_Log_Ms, next);
    EXPECT_EQ(Main_Loop.Frames_Per_Second, 7);
}

}  // namespace

namespace {

TEST(Main_Loop, Pending_Events_Are_Drained_Before_Idle_Work) {
    Fresh_Main_Window();
    Video_Mode = VIDEO_NONE;
    Main_Loop.Quit_Request = 0;
    for (int i = 0; i < 3; i++) {
        Platform_Event e;
        e.Window = WINDOW_MAIN;
        e.Kind = EVENT_CONTROL;
        e.Control = CTL_PICTURE_VIEW;
        e.Type = ETYPE_WHEEL;
        e.Wheel = 1;
        Post_Event(e);
    }
    Set_Magnifier_Zoom(4);
    Main_Loop.Now_Ms = -5;  // the idle pass would set it from the clock
    for (int i = 0; i < 3; i++) {
        EXPECT_TRUE(Main_Loop_Pass(false));
        EXPECT_EQ(Main_Loop.Now_Ms, -5) << "idle work ran before the queue was empty";
    }
    EXPECT_EQ(Canvas_View().Magnifier_Zoom, 7);
    EXPECT_TRUE(Main_Loop_Pass(false));
    EXPECT_GE(Main_Loop.Now_Ms, 0);

    // The close box ends the loop after the next idle pass.
    Platform_Event close;
    close.Window = WINDOW_MAIN;
    close.Kind = EVENT_CLOSE_WINDOW;
    Post_Event(close);
    EXPECT_TRUE(Main_Loop_Pass(false));
    EXPECT_FALSE(Main_Loop_Pass(false));
    Main_Loop.Quit_Request = 0;
}

std::vector<std::string> Queued() {
    std::vector<std::string> got;
    Platform_Event e;
    while (Poll_Event(&e))
        got.push_back(std::to_string(e.Window) + "/" + std::to_string(e.Kind) + "/" + std::to_string(e.Control));
    return got;
}

// A burst of slider movement in the video settings window is applied once;
// a click in the main window or a check box at that moment is not lost.
TEST(Main_Loop, A_Slider_Burst_Drops_Only_That_Windows_Slider_Events) {
    Fresh_Main_Window();
    Open_Camera_Settings_Window();
    ASSERT_TRUE(Camera_Settings_Window_Open());
    Set_State(CTL_VS_SLIDER + 2, 40);
    Set_State(CTL_VS_SLIDER + 5, 70);
    const int64_t VS = WINDOW_VIDEO_SETTINGS, MAIN = WINDOW_MAIN;
    struct Row {
        int64_t window, control;
        bool stays;
    } rows[] = {
        {VS, CTL_VS_SLIDER + 2, false},  // the one the loop takes
        {MAIN, CTL_PICTURE_VIEW, true}, {VS, CTL_VS_SLIDER + 5, false}, {VS, CTL_VS_CHECK + 3, true},
        {VS, CTL_VS_SLIDER + 2, false}, {MAIN, CTL_MEASURE_LIST, true},
    };
    std::vector<std::string> stays;
    for (const Row& r : rows) {
        Post_Event(Control_Event(r.window, r.control, ETYPE_CHANGE));
        if (r.stays) stays.push_back(std::to_string(r.window) + "/1/" + std::to_string(r.control));
    }
    EXPECT_TRUE(Main_Loop_Pass(false));
    EXPECT_FLOAT_EQ(Camera_Settings.Brightness, 0) << "a slider that did not move";
    EXPECT_FLOAT_EQ(*Video_Property(&Camera_Settings, 2), 0.4f);
    EXPECT_FLOAT_EQ(*Video_Property(&Camera_Settings, 5), 0.7f) << "the burst was applied at once";
    EXPECT_EQ(Queued(), stays);
    Close_Camera_Settings_Window();
}

// The close box of the main window pressed while the calibration input is
// open is answered once the input has ended.
TEST(Main_Loop, The_Close_Box_Waits_For_The_Calibration_Input) {
    Fresh_Main_Window();
    Main_Loop.Quit_Request = 0;
    Make_Document(1, 64, 64);
    Jobs[1].Doc.Tools = {Make_Tool(TOOL_LINE, 0, 0, 50, 0, 50)};
    Make_Current_Job(1);
    Rebuild_Measurement_List();
    Set_State(CTL_MEASURE_LIST, 0);
    Platform_Event close;
    close.Window = WINDOW_MAIN;
    close.Kind = EVENT_CLOSE_WINDOW;
    Post_Event(close);
    // The input's loop meets the held request first, then its own Cancel.
    struct Input {
        bool opened = false;
    } input;
    Set_Idle_Hook(
        [](void* user) {
            if (!Window_Exists(WINDOW_CALIBRATION) || ((Input*)user)->opened) return;
            ((Input*)user)->opened = true;
            Post_Event(Control_Event(WINDOW_CALIBRATION, CTL_CAL_CANCEL, ETYPE_CHANGE));
        },
        &input);
    Calibrate();
    Set_Idle_Hook(nullptr, nullptr);
    ASSERT_TRUE(input.opened);
    EXPECT_FALSE(Window_Exists(WINDOW_CALIBRATION));
    EXPECT_EQ(Main_Loop.Quit_Request, 0);
    EXPECT_TRUE(Main_Loop_Pass(false));
    EXPECT_FALSE(Main_Loop_Pass(false)) << "the close request was lost";
    Main_Loop.Quit_Request = 0;
}

// The end of the program waits for the capture thread it let go, not for
// fixed times, and closes the scale's port.
TEST(Shutdown, Waits_For_The_Capture_Thread_Not_For_Fixed_Times) {
    Reset_App_State();
    Temp_Folder folder;
    ASSERT_TRUE(Log_Open(folder.Path));
    // A slow step, so that the thread is surely still in its loop when let go.
    void (*saved_sleep)(int64_t) = Capture_Sleep;
    Capture_Sleep = [](int64_t) { Sleep_Ms(10); };
    // The port must be a terminal: the far side of a pseudo-terminal.
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    ASSERT_TRUE(Serial_Open(0, ptsname(master))) << Serial_Last_Error();
    Start_Capture_Thread();
    ASSERT_TRUE(Capture_Thread_Running());
    auto start = std::chrono::steady_clock::now();
    Shutdown_Program();
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_FALSE(Capture_Thread_Running());
    EXPECT_FALSE(Serial_Is_Open(0));
    // Two fixed pauses made it a second, however soon the thread had left.
    EXPECT_LT(took, 0.9);
    Capture_Sleep = saved_sleep;
    close(master);
}

}  // namespace

// What lower modules mark reaches the windows at the next update, once.
TEST(Update_Windows, Marks_Reach_The_Panels_And_The_Preferences) {
    Fresh_Main_Window();
    Temp_Folder folder;
    Program_Names.Data_Folder = folder.Path + "/";
    Make_Document(1, 2, 2);
    Make_Document(2, 2, 2);
    Jobs[2].Doc.Processing.Mode = 3;
    Make_Current_Job(1);
    Take_Prefs_Change();
    Select_Job_Later(2);
    Mark_Prefs_Changed();
    EXPECT_EQ(Current_Job, 2) << "current at once";
    EXPECT_EQ(Get_State(CTL_ANALYSIS_FIRST + 3), 0) << "the panels wait for the update";
    EXPECT_EQ(File_Size(Prefs_Path()), -1);
    Update_Windows();
    EXPECT_EQ(Get_State(CTL_ANALYSIS_FIRST + 3), 1);
    EXPECT_GT(File_Size(Prefs_Path()), 0);
    Window_Changes left = Take_Window_Changes();
    EXPECT_FALSE(left.Job_Panels || left.Job_List || left.Measurement_List);
    EXPECT_FALSE(Take_Prefs_Change());
    // A thumbnail column marked alone is rebuilt alone: the panels stay.
    Set_State(CTL_ANALYSIS_FIRST + 3, 0);
    Jobs[3].In_Use = 1;
    Mark_Job_List_Changed();
    Update_Windows();
    EXPECT_EQ(Get_State(CTL_ANALYSIS_FIRST + 3), 0);
    int x = 0, y = 0;
    Control_Window_Position(Jobs[3].List_View, &x, &y);
    EXPECT_GT(y, THUMB_PARKED_Y) << "slot 3 got its place in the column";
}
