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

TEST(Command_Line, Parses_Options_And_Refuses_Bad_Lines) {
    struct Row {
        std::vector<std::string> Args;
        Command_Action Action;
        std::string Camera, Output;
        size_t Files;
    } rows[] = {
        {{}, ACTION_RUN_WINDOW, "", "", 0},
        {{"a.JQV", "b.jqv"}, ACTION_RUN_WINDOW, "", "", 2},
        {{"--camera", "gst:videotestsrc pattern=smpte", "a.JQV"}, ACTION_RUN_WINDOW, "gst:videotestsrc pattern=smpte", "", 1},
        {{"--", "--camera"}, ACTION_RUN_WINDOW, "", "", 1},
        {{"--list-cameras"}, ACTION_LIST_CAMERAS, "", "", 0},
        {{"--export-results", "out.csv", "a.JQV", "b.JQV"}, ACTION_EXPORT_RESULTS, "", "out.csv", 2},
        {{"--export-picture", "pictures", "a.JQV"}, ACTION_EXPORT_PICTURE, "", "pictures", 1},
        {{"--summary", "a.JQV"}, ACTION_SUMMARY, "", "", 1},
        {{"--export-results", "-", "a.JQV"}, ACTION_EXPORT_RESULTS, "", "-", 1},
        {{"--export-picture", "p", "--format", "tiff", "--overwrite", "a.JQV"}, ACTION_EXPORT_PICTURE, "", "p", 1},
        {{"--format", "png", "--export-picture", "p", "a.JQV"}, ACTION_EXPORT_PICTURE, "", "p", 1},
        {{"--export-picture", "p", "--format", "jpeg", "a.JQV"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--export-picture", "p", "--format", "png", "--format", "tiff", "a.JQV"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--export-picture", "p", "a.JQV", "--format"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--export-picture", "-", "a.JQV"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--export-results", "out.csv", "--overwrite", "a.JQV"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--format", "tiff", "a.JQV"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--help"}, ACTION_SHOW_HELP, "", "", 0},
        {{"--bogus"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--camera"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--camera", "a", "--camera", "b"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--summary"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--export-results"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--export-results", "out.csv"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--summary", "--list-cameras"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--list-cameras", "a.JQV"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--camera", "x", "--summary", "a.JQV"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--no-splash"}, ACTION_RUN_WINDOW, "", "", 0},
        {{"--camera", "x", "--no-splash", "a.JQV"}, ACTION_RUN_WINDOW, "x", "", 1},
        {{"--summary", "--no-splash", "a.JQV"}, ACTION_SUMMARY, "", "", 1},
        {{"--", "--no-splash"}, ACTION_RUN_WINDOW, "", "", 1},
    };
    for (const Row& r : rows) {
        std::string line;
        for (const std::string& a : r.Args) line += a + " ";
        SCOPED_TRACE(line);
        Command_Line c = Parse_Command_Line(r.Args);
        EXPECT_EQ(c.Action, r.Action);
        if (r.Action == ACTION_USAGE_ERROR) {
            EXPECT_FALSE(c.Error.empty());
            continue;
        }
        EXPECT_EQ(c.Camera, r.Camera);
        EXPECT_EQ(c.Output, r.Output);
        EXPECT_EQ(c.Files.size(), r.Files);
        const bool tiff = std::find(r.Args.begin(), r.Args.end(), "tiff") != r.Args.end();
        EXPECT_EQ(c.Format, tiff ? PICTURE_EXPORT_TIFF : PICTURE_EXPORT_PNG);
        EXPECT_EQ(c.Overwrite, std::find(r.Args.begin(), r.Args.end(), "--overwrite") != r.Args.end());
        const bool no_splash = r.Args.size() > 0 && r.Args[0] != "--" &&
                               std::find(r.Args.begin(), r.Args.end(), "--no-splash") != r.Args.end();
        EXPECT_EQ(c.No_Splash, no_splash);
        // What the window program starts with.
        Apply_Start_Options(c);
        EXPECT_EQ(Splash_At_Start, !no_splash);
        EXPECT_EQ(Start_Camera_Source, r.Camera);
        EXPECT_EQ(Start_Documents.size(), r.Files);
    }
    Splash_At_Start = true;
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

TEST(Status_Bar, Texts_And_Write_Cache) {
    Fresh_Main_Window();
    Reset_Status_Cache();
    Video_Mode = VIDEO_EMULATOR;
    Main_Loop.Frames_Per_Second = 25;
    Make_Current_Job(0);
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 0), "Video: FPS: 25)");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 1), "No document selected.");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 2), "Mouse: -1.0x-1.0");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 3), "RGB[0, 0, 0] M:0");
    int64_t writes = Status_Write_Count(WINDOW_MAIN, 0);
    Refresh_Status_Bar();
    EXPECT_EQ(Status_Write_Count(WINDOW_MAIN, 0), writes);  // unchanged text is not rewritten

    Video_Mode = VIDEO_NONE;
    Make_Current_Job(3);
    Canvas_State canvas = Canvas_View();
    canvas.Pointer_X = 123;
    canvas.Pointer_Y = 45.25f;
    canvas.Magnifier_Zoom = 7;
    canvas.Snapped_To_Edge = 1;
    canvas.Snapped_To_Angle = 0;
    Set_Canvas_State_For_Test(canvas);
    Set_State(CTL_MAGNIFY, 1);
    Cursor_Colour = (int32_t)(10 | (20 << 8) | (30 << 16) | (255u << 24));  // blue 10, green 20, red 30
    Cursor_Hit = 1;
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 0), "Video Disabled.");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 1), "Document #: 3");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 2), "Mouse: 123.0x45.2, Zoom: x7");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 3), "RGB[30, 20, 10] M:1");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 4), "Snapped to: Edge");
    canvas.Snapped_To_Angle = 1;
    Set_Canvas_State_For_Test(canvas);
    Set_State(CTL_MAGNIFY, 0);
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 4), "Snapped to: Edge & Angle");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 2), "Mouse: 123.0x45.2");
    canvas.Snapped_To_Edge = 0;
    Set_Canvas_State_For_Test(canvas);
    EXPECT_EQ(Status_Field_Text(4), "Snapped to: Angle");
    EXPECT_EQ(Status_Write_Count(WINDOW_MAIN, 5), 0);
    canvas.Snapped_To_Angle = 0;
    Set_Canvas_State_For_Test(canvas);
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

// The real program without a display: one PNG per document with its scale
// bar; a file that cannot be read is named on stderr with the reason, the
// others are still written, and the exit code is 1.
TEST(Batch_Pictures, One_Png_Per_Document_And_Unreadable_Files_Named) {
    Temp_Folder folder;
    ASSERT_FALSE(folder.Path.empty());
    auto save = [&](const std::string& name, int32_t w, int32_t h, float ppmm, int64_t unit) {
        Doc_Info doc;
        doc.Resolution.x = w, doc.Resolution.y = h;
        doc.PPMM = ppmm;
        doc.Measure_Unit = unit;
        Tool line;
        line.X_Start = 5, line.Y_Start = 20, line.X_End = 60, line.Y_End = 20, line.Colour = 0xFFFFFF;
        doc.Tools.push_back(line);
        Picture p;
        p.Width = w, p.Height = h;
        p.Pixels.assign((size_t)w * h * 4, 90);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(Build_Document_Archive(doc, p, &bytes));
        Write_Whole_File(folder.File(name), std::string(bytes.begin(), bytes.end()));
    };
    ASSERT_EQ(system(("mkdir -p '" + folder.File("a") + "' '" + folder.File("b") + "'").c_str()), 0);
    save("a/cells.jqv", 400, 300, 1000, 0);
    save("b/cells.JQV", 120, 80, 10, 4);
    Write_Whole_File(folder.File("broken.jqv"), "PK\3\4 not really");
    auto run = [&](const std::string& args) {
        std::string command = "cd '" + folder.Path + "' && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" +
                              folder.File("config") + "' '" + TRELLUM_BINARY_DIR + "/trellum' " + args +
                              " >stdout.txt 2>stderr.txt";
        int status = system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("--export-picture out a/cells.jqv broken.jqv missing.jqv a b/cells.JQV"), 1);
    std::string errors = Read_Whole_File(folder.File("stderr.txt"));
    EXPECT_NE(errors.find("trellum: broken.jqv: not a "), std::string::npos) << errors;
    EXPECT_NE(errors.find("missing.jqv: No such file or directory\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("trellum: a: is a folder"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("cells"), std::string::npos) << errors;
    EXPECT_EQ(Read_Whole_File(folder.File("stdout.txt")), "out/cells.png\nout/cells-2.png\n");
    struct Expect {
        const char* file;
        int32_t w, h;
    } expected[] = {{"out/cells.png", 400, 300}, {"out/cells-2.png", 120, 80}};
    for (const Expect& e : expected) {
        std::string bytes = Read_Whole_File(folder.File(e.file));
        Picture p;
        ASSERT_TRUE(Decode_Picture((const uint8_t*)bytes.data(), bytes.size(), &p)) << e.file;
        EXPECT_EQ(p.Width * 1000 + p.Height, e.w * 1000 + e.h) << e.file;
        EXPECT_EQ(p.Pixels[((size_t)20 * p.Width + 30) * 4], 255 - 90) << e.file << ": the overlay";
        // The bar: white pixels in the bottom-right fifth, none in the top-left one.
        auto whites = [&](int x0, int y0, int x1, int y1) {
            int n = 0;
            for (int y = y0; y < y1; y++)
                for (int x = x0; x < x1; x++) n += p.Pixels[((size_t)y * p.Width + x) * 4 + 1] == 255;
            return n;
        };
        EXPECT_GT(whites(e.w * 3 / 5, e.h * 3 / 4, e.w, e.h), e.w / 20) << e.file;
        EXPECT_EQ(whites(0, e.h / 2, e.w / 3, e.h), 0) << e.file;
    }
    EXPECT_FALSE(File_Exists(folder.File("config"))) << "the batch writes no preferences";
    EXPECT_FALSE(File_Exists(folder.File("Logs"))) << "and no debug log";
    EXPECT_EQ(run("--export-picture out2 a/cells.jqv"), 0);
    EXPECT_TRUE(File_Exists(folder.File("out2/cells.png")));
    EXPECT_EQ(run("--export-picture out3"), 2) << "no files: a usage error";
    Write_Whole_File(folder.File("plain"), "x");
    EXPECT_EQ(run("--export-picture plain a/cells.jqv"), 1) << "the output is not a folder";
    EXPECT_NE(Read_Whole_File(folder.File("stderr.txt")).find("plain is not a folder"), std::string::npos);

    // Files this run did not write stay, unless --overwrite; an output that
    // is an input (here through a hard link) stops the run before it writes.
    Write_Whole_File(folder.File("a/cells.png"), "the user's own picture");
    ASSERT_EQ(system(("mkdir '" + folder.File("out4") + "' && ln '" + folder.File("b/cells.JQV") + "' '" +
                      folder.File("out4/cells-2.png") + "'").c_str()),
              0);
    struct Rerun {
        std::string args;
        int exit_code;
        std::string written, error;  // stdout; a part of stderr ("" none)
    } reruns[] = {
        {"--export-picture a a/cells.jqv", 1, "", "a/cells.png exists already"},
        {"--export-picture out2 a/cells.jqv b/cells.JQV", 1, "out2/cells-2.png\n", "out2/cells.png exists already"},
        {"--export-picture out2 --overwrite a/cells.jqv", 0, "out2/cells.png\n", ""},
        {"--export-picture out4 --overwrite a/cells.jqv b/cells.JQV", 2, "", "out4/cells-2.png: is the input file b/cells.JQV"},
        {"--export-picture out5 --format tiff b/cells.JQV", 0, "out5/cells.tif\n", ""},
    };
    const std::string user_picture = Read_Whole_File(folder.File("a/cells.png"));
    const std::string input = Read_Whole_File(folder.File("b/cells.JQV"));
    for (const Rerun& r : reruns) {
        EXPECT_EQ(run(r.args), r.exit_code) << r.args;
        EXPECT_EQ(Read_Whole_File(folder.File("stdout.txt")), r.written) << r.args;
        const std::string err = Read_Whole_File(folder.File("stderr.txt"));
        if (r.error.empty()) {
            EXPECT_EQ(err, "") << r.args;
        } else {
            EXPECT_NE(err.find(r.error), std::string::npos) << r.args << "\n" << err;
        }
    }
    EXPECT_EQ(Read_Whole_File(folder.File("a/cells.png")), user_picture);
    EXPECT_EQ(Read_Whole_File(folder.File("b/cells.JQV")), input);
    EXPECT_FALSE(File_Exists(folder.File("out4/cells.png"))) << "nothing written before the refusal";
    std::string tiff = Read_Whole_File(folder.File("out5/cells.tif"));
    Picture p;
    Tiff_Calibration calibration;
    ASSERT_TRUE(Decode_Tiff((const uint8_t*)tiff.data(), tiff.size(), MAX_PICTURE_EDGE, &p, &calibration));
    EXPECT_EQ(p.Width * 1000 + p.Height, 120 * 1000 + 80);
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
