// Application-wide state of the start-up, the main loop and shutdown: the
// names, folders, request flags, video mode, frame counters and stage times
// that every part of the program reads or sets. Defined in app_state.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

extern const std::string Application_Name;     // "Trellum"
extern const std::string Application_Version;  // "v0.241202"
extern std::string Data_Folder;                // per-user configuration folder, ends in "/"
extern std::string Prefs_File_Name;            // "Orbisk.prefs"
extern std::string Start_Directory;

extern int64_t Quit_Request;          // 1 = leave the main loop after this pass
extern int64_t Last_Event;            // kind of the last polled event, 0 = none
extern int64_t Now_Ms;                // Elapsed_Ms rounded, once per idle pass
extern std::atomic<int64_t> Redraw_Request;  // also set by the capture thread
extern uint8_t Threshold_Label_Dirty;

// Stage x of the live picture, image pixels (the emulator's pan position),
// and the position taken as zero; measurements on the live picture follow it.
extern float Stage_Position;
extern float Stage_Zero;

// The chosen video source, kept in the preferences (empty = the emulator).
extern std::string Last_Device;
extern std::string Last_Resolution;

// Rewrites the preferences file; set by the main window at start-up (null:
// nothing is written). Lower modules call it when a remembered setting changes.
extern void (*Prefs_Save_Hook)();
void Prefs_Changed();

enum Video_Mode_Code : int64_t { VIDEO_NONE = 0, VIDEO_CAMERA = 1, VIDEO_EMULATOR = 2 };
extern int64_t Video_Mode;

extern int64_t Next_Acquire_Ms;
extern int64_t Acquire_Interval_Ms;   // 5
extern int64_t New_Frame;
extern int64_t Frames_This_Second;
extern int64_t Frames_Per_Second;
extern int64_t Frames_Total;
extern int64_t Next_Timing_Log_Ms;

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
