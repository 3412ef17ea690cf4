// The status bar's texts and its write cache.
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
