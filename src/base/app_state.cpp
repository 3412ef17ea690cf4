#include "base/app_state.h"

const std::string Application_Name = "Trellum";
const std::string Application_Version = "v0.241202";
Program_Names_State Program_Names;
Main_Loop_State Main_Loop;

namespace {
struct Loop_Requests {
    std::atomic<bool> Redraw{false};
    std::atomic<bool> Threshold_Label{false};
    std::atomic<bool> Prefs{false};
};
Loop_Requests Requests;
}  // namespace

void Request_Quit() { Main_Loop.Quit_Request = 1; }
void Count_Frame() { Main_Loop.Frames_This_Second++; }

void Request_Redraw() { Requests.Redraw = true; }
void Request_Threshold_Label() { Requests.Threshold_Label = true; }
bool Take_Redraw_Request() { return Requests.Redraw.exchange(false); }
bool Take_Threshold_Label_Request() { return Requests.Threshold_Label.exchange(false); }
bool Redraw_Requested() { return Requests.Redraw; }
bool Threshold_Label_Requested() { return Requests.Threshold_Label; }

int64_t Video_Mode = VIDEO_NONE;

float Stage_Position = 0;
float Stage_Zero = 0;

std::string Last_Device;
std::string Last_Resolution;

void Mark_Prefs_Changed() { Requests.Prefs = true; }
bool Take_Prefs_Change() { return Requests.Prefs.exchange(false); }

Stage_Times_Record Stage_Times;

const int32_t Background_Live = 105 + 127 * 256 + 144 * 65536;
const int32_t Background_Still = 190 + 225 * 256 + 190 * 65536;
