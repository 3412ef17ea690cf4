// Shared set-up of the video tests: a clean null platform with the main
// window's video toggle, empty job slots, no video, no capture component,
// and a private data folder for the preferences written by video off.
#pragma once

#include <cstdlib>
#include <string>

#include "base/app_state.h"
#include "app/control_ids.h"
#include "app/main_window.h"
#include "app/prefs.h"
#include "app/emulator_window.h"
#include "app/video_settings_window.h"
#include "app/video_source.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "support/temp_folder.h"
#include "support/test_support.h"
#include "video/camera_settings.h"
#include "video/camera_settings_file.h"
#include "video/capture_lib.h"
#include "video/capture_thread.h"
#include "video/emulator.h"

inline void No_Sleep(int64_t) {}

inline void Reset_Video_World() {
    Null_Reset();
    Clear_Prompt_Script();
    Reset_Jobs();
    Make_Current_Job(-1);
    Video_Mode = VIDEO_NONE;
    Take_Redraw_Request();
    Main_Loop.Frames_This_Second = 0;
    Reset_Emulator();
    Capture_Sleep = No_Sleep;
    Clear_Capture_Device();
    Set_Capture_State(CAPTURE_IDLE);
    Capture_Test_Access().Stop_Request = 0;
    Show_Capture_Messages();
    Clear_Prompt_History();
    Close_Capture_Library();
    Camera_Settings = Camera_Settings_Sent = Video_Settings();
    Last_Device.clear();
    // One folder for the process, removed at its end.
    static Temp_Folder folder;
    Program_Names.Data_Folder = folder.Path + "/";
    Open_Window(WINDOW_MAIN, "Trellum", 0, 0, 1060, 600, 0);
    Create_Control(WINDOW_MAIN, CTL_VIDEO_TOGGLE, CONTROL_IMAGE_TOGGLE, 0, 0, 32, 32, "");
}

