// The command line: options, usage errors, what start-up is handed.
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

TEST(Command_Line, Parses_Options_And_Refuses_Bad_Lines) {
    struct Row {
        std::vector<std::string> Args;
        Command_Action Action;
        std::string Camera, Output;
        size_t Files;
        std::string Resolution = "";  // --resolution as kept
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
        {{"--camera", "/dev/video0", "--resolution", "1920x1080"}, ACTION_RUN_WINDOW, "/dev/video0", "", 0, "1920x1080"},
        {{"--resolution", "640 x 480", "--camera", "c", "a.JQV"}, ACTION_RUN_WINDOW, "c", "", 1, "640x480"},
        {{"--camera", "c", "--resolution", "16384x16384"}, ACTION_RUN_WINDOW, "c", "", 0, "16384x16384"},
        {{"--camera", "c", "--resolution", "1920"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--camera", "c", "--resolution", "0x480"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--camera", "c", "--resolution", "16385x100"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--camera", "c", "--resolution", "1920x1080p"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--camera", "c", "--resolution"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--camera", "c", "--resolution", "2x2", "--resolution", "2x2"}, ACTION_USAGE_ERROR, "", "", 0},
        {{"--resolution", "1920x1080"}, ACTION_USAGE_ERROR, "", "", 0},
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
        EXPECT_EQ(c.Resolution, r.Resolution);
        EXPECT_EQ(Start_Camera_Resolution, r.Resolution);
        EXPECT_EQ(Start_Documents.size(), r.Files);
    }
    Splash_At_Start = true;
}

}  // namespace
