#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "base/app_state.h"
#include "app/command_line.h"
#include "app/job_list.h"
#include "app/prefs.h"
#include "app/main_loop.h"
#include "app/picture_export.h"
#include "app/status_bar.h"
#include "base/control_ids.h"
#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/doc_file.h"
#include "measure/snapping.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"
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
    }
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
    Pan_Step = 0.4f;
    Main_Loop.Next_Acquire_Ms = 0;
    EXPECT_EQ(Idle_Wait_Ms(), 0);
    Pan_Step = 1.2f;
    Pan_Dragging = 0;
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
    Pointer_X = 123;
    Pointer_Y = 45.25f;
    Set_State(CTL_MAGNIFY, 1);
    Magnifier_Zoom = 7;
    Cursor_Colour = (int32_t)(10 | (20 << 8) | (30 << 16) | (255u << 24));  // blue 10, green 20, red 30
    Cursor_Hit = 1;
    Snapped_To_Edge = 1;
    Snapped_To_Angle = 0;
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 0), "Video Disabled.");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 1), "Document #: 3");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 2), "Mouse: 123.0x45.2, Zoom: x7");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 3), "RGB[30, 20, 10] M:1");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 4), "Snapped to: Edge");
    Snapped_To_Angle = 1;
    Set_State(CTL_MAGNIFY, 0);
    Refresh_Status_Bar();
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 4), "Snapped to: Edge & Angle");
    EXPECT_EQ(Get_Status_Text(WINDOW_MAIN, 2), "Mouse: 123.0x45.2");
    Snapped_To_Edge = 0;
    EXPECT_EQ(Status_Field_Text(4), "Snapped to: Angle");
    EXPECT_EQ(Status_Write_Count(WINDOW_MAIN, 5), 0);
    Snapped_To_Angle = 0;
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
    Magnifier_Zoom = 4;
    Main_Loop.Now_Ms = -5;  // the idle pass would set it from the clock
    for (int i = 0; i < 3; i++) {
        EXPECT_TRUE(Main_Loop_Pass(false));
        EXPECT_EQ(Main_Loop.Now_Ms, -5) << "idle work ran before the queue was empty";
    }
    EXPECT_EQ(Magnifier_Zoom, 7);
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
