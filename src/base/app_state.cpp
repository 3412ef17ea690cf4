#include "base/app_state.h"

const std::string Application_Name = "Trellum";
const std::string Application_Version = "v0.241202";
std::string Data_Folder;
std::string Prefs_File_Name = "Orbisk.prefs";
std::string Start_Directory;

int64_t Quit_Request = 0;
int64_t Last_Event = 0;
int64_t Now_Ms = 0;
std::atomic<int64_t> Redraw_Request{0};
uint8_t Threshold_Label_Dirty = 0;
int64_t Video_Mode = VIDEO_NONE;

float Stage_Position = 0;
float Stage_Zero = 0;

std::string Last_Device;
std::string Last_Resolution;

void (*Prefs_Save_Hook)() = nullptr;

void Prefs_Changed() {
    if (Prefs_Save_Hook) Prefs_Save_Hook();
}

int64_t Next_Acquire_Ms = 0;
int64_t Acquire_Interval_Ms = 5;
int64_t New_Frame = 0;
int64_t Frames_This_Second = 0;
int64_t Frames_Per_Second = 0;
int64_t Frames_Total = 0;
int64_t Next_Timing_Log_Ms = 0;

Stage_Times_Record Stage_Times;

const int32_t Background_Live = 105 + 127 * 256 + 144 * 65536;
const int32_t Background_Still = 190 + 225 * 256 + 190 * 65536;
