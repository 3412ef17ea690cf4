// Application-wide state of the start-up, the main loop and shutdown: the
// names and folders of this run, the main loop's record and the requests
// made to it, the video mode and stage times. Defined in app_state.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

extern const std::string Application_Name;     // "Trellum"
extern const std::string Application_Version;  // "v0.241202"
// Names and folders of this run: Startup_Shared_State sets them once, before
// any window exists; everything after only reads them (tests point them at
// their own folders).
struct Program_Names_State {
    std::string Data_Folder;                      // per-user configuration folder, ends in "/"
    std::string Prefs_File_Name = "Orbisk.prefs";
    std::string Start_Directory;
};
extern Program_Names_State Program_Names;

// The main loop's own record: main_loop.cpp writes it (the start-up sets the
// first due times, an acquisition step counts its frames through Count_Frame).
struct Main_Loop_State {
    int64_t Quit_Request = 0;         // 1 = leave the main loop after this pass
    int64_t Last_Event = 0;           // kind of the last polled event, 0 = none
    int64_t Now_Ms = 0;               // Elapsed_Ms rounded, once per idle pass
    int64_t Next_Acquire_Ms = 0;
    int64_t Acquire_Interval_Ms = 5;
    int64_t New_Frame = 0;
    int64_t Frames_This_Second = 0;
    int64_t Frames_Per_Second = 0;
    int64_t Frames_Total = 0;
    int64_t Next_Timing_Log_Ms = 0;
};
extern Main_Loop_State Main_Loop;
// The loop ends after this pass.
void Request_Quit();
// One more frame reached the live picture this second.
void Count_Frame();

// Requests anyone may make (the capture thread too); the idle pass takes
// each by exchange, so one made while it is served is kept for the next pass.
void Request_Redraw();
void Request_Threshold_Label();  // the threshold caption and pass are brought up to date
bool Take_Redraw_Request();      // true if one was pending; clears it
bool Take_Threshold_Label_Request();
bool Redraw_Requested();         // pending, without taking it
bool Threshold_Label_Requested();

// Stage x of the live picture, image pixels (the emulator's pan position),
// and the position taken as zero; measurements on the live picture follow it.
extern float Stage_Position;
extern float Stage_Zero;

// The chosen video source, kept in the preferences (empty = the emulator).
extern std::string Last_Device;
extern std::string Last_Resolution;

// A remembered setting changed: the preferences file is rewritten at the
// main loop's next window update.
void Mark_Prefs_Changed();
bool Take_Prefs_Change();  // true if marked since the last call; clears it

enum Video_Mode_Code : int64_t { VIDEO_NONE = 0, VIDEO_CAMERA = 1, VIDEO_EMULATOR = 2 };
extern int64_t Video_Mode;

// Durations of the last run of each pipeline stage, milliseconds.
struct Stage_Times_Record {
    std::atomic<float> Capture{0};  // written by the capture thread
    float DD = 0;
    float Vid_Rend = 0;
    float Process = 0;
    float Upload = 0;
    float Download = 0;
};
extern Stage_Times_Record Stage_Times;

// View background colours, packed red + green*256 + blue*65536 (alpha 0).
extern const int32_t Background_Live;   // RGB(105, 127, 144)
extern const int32_t Background_Still;  // RGB(190, 225, 190)

// Packs a colour as red + green*256 + blue*65536 + alpha*16777216.
inline int32_t Pack_RGBA(int r, int g, int b, int a) {
    return (int32_t)((uint32_t)(r & 255) | ((uint32_t)(g & 255) << 8) | ((uint32_t)(b & 255) << 16) |
                     ((uint32_t)(a & 255) << 24));
}
