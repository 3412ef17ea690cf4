#include "app/picture_keys.h"

#include <cstdio>
#include <string>

#include "analysis/auto_threshold.h"
#include "analysis/threshold.h"
#include "app/analysis_panel.h"
#include "app/control_ids.h"
#include "app/dispatch.h"
#include "app/job_list.h"
#include "app/prefs.h"
#include "app/readout_panel.h"
#include "app/renderer.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "measure/readouts.h"
#include "measure/tools.h"
#include "platform/platform.h"

namespace {

void Set_Slider_And_Apply(int64_t value) {
    Set_State(CTL_THRESHOLD_SLIDER, value);
    Apply_Threshold();
}

void Threshold_Step(int32_t key) { Set_Slider_And_Apply((key - '0') * 32); }
void Threshold_Top(int32_t) { Set_Slider_And_Apply(255); }
void Threshold_Auto(int32_t) { Auto_Threshold(); }
void Threshold_Down(int32_t) { Set_Slider_And_Apply(Get_State(CTL_THRESHOLD_SLIDER) - 4); }
void Threshold_Up(int32_t) { Set_Slider_And_Apply(Get_State(CTL_THRESHOLD_SLIDER) + 4); }

void Snapshot(int32_t) {
    if (Current_Job >= 0) Duplicate_Job(Current_Job);
}

// Keys A S D F G H are the analysis buttons 1 to 6 in that order.
void Analysis_Button(int32_t key) {
    const char order[] = "ASDFGH";
    for (int i = 0; i < 6; i++)
        if (order[i] == key) Select_Analysis_Mode(i + 1);
}

void Live_Picture(int32_t) {
    // Without video the live slot is empty, and an empty slot is never current.
    if (Jobs[0].In_Use) Select_Job(0);
}

void Previous_Document(int32_t) {
    // Steps to the nearest lower slot that holds a document.
    if (Current_Job > 0)
        for (int64_t j = Current_Job - 1; j >= 0; j--)
            if (Jobs[j].In_Use) {
                Select_Job(j);
                break;
            }
}

void Next_Document(int32_t) {
    if (Current_Job < Count_Open_Jobs())
        for (int64_t j = Current_Job + 1; j < JOB_SLOTS; j++)
            if (Jobs[j].In_Use) {
                Select_Job(j);
                break;
            }
}

void Toggle_Reticle(int32_t) { Reticle_Hidden = (uint8_t)(1 - Reticle_Hidden); }
void Line_Tool(int32_t) { Choose_Tool_Button(CTL_TOOL_LINE); }
void Blob_Tool(int32_t) { Choose_Tool_Button(CTL_TOOL_BLOB); }
void Axes_Tool(int32_t) { Choose_Tool_Button(CTL_TOOL_AXES); }
void Toggle_Snap_Edges(int32_t) {
    Set_State(CTL_SNAP_EDGES, 1 - Get_State(CTL_SNAP_EDGES));
    Settings_From_Widgets();
}

void Toggle_Magnifier(int32_t) {
    Set_State(CTL_MAGNIFY, 1 - Get_State(CTL_MAGNIFY));
    Settings_From_Widgets();
    Prefs_Save();
}

void Drop_Started_Tool(int32_t) { Drop_Tool_Click(); }
void Delete_Selected(int32_t) { Delete_Selected_Measurement(); }
void Nudge(int32_t key) {
    Nudge_Selected(key == VK_LEFT_ ? -1 : key == VK_RIGHT_ ? 1 : 0, key == VK_UP_ ? -1 : key == VK_DOWN_ ? 1 : 0);
}

}  // namespace

const Picture_Key PICTURE_KEYS[] = {
    {'0', "Threshold 0", Threshold_Step},
    {'1', "Threshold 32", Threshold_Step},
    {'2', "Threshold 64", Threshold_Step},
    {'3', "Threshold 96", Threshold_Step},
    {'4', "Threshold 128", Threshold_Step},
    {'5', "Threshold 160", Threshold_Step},
    {'6', "Threshold 192", Threshold_Step},
    {'7', "Threshold 224", Threshold_Step},
    {'8', "Threshold 255", Threshold_Top},
    {'9', "Automatic threshold", Threshold_Auto},
    {VK_MINUS_, "Threshold down 4", Threshold_Down},
    {VK_EQUALS_, "Threshold up 4", Threshold_Up},
    {VK_SPACE_, "Snapshot: freeze the current picture into a new document", Snapshot},
    {'A', "Analysis: none (the picture as captured)", Analysis_Button},
    {'S', "Analysis: cyan threshold", Analysis_Button},
    {'D', "Analysis: magenta threshold", Analysis_Button},
    {'F', "Analysis: yellow threshold", Analysis_Button},
    {'G', "Analysis: black threshold", Analysis_Button},
    {'H', "Analysis: any of the four colours", Analysis_Button},
    {'V', "Show the live picture", Live_Picture},
    {'B', "Previous document", Previous_Document},
    {'N', "Next document", Next_Document},
    {'O', "Show or hide the reticle", Toggle_Reticle},
    {'M', "Manual line tool", Line_Tool},
    {'L', "Blob analysis tool", Blob_Tool},
    {'X', "Width and height axes tool", Axes_Tool},
    {'Y', "Width and height axes tool", Axes_Tool},
    {'E', "Snap to edges on or off", Toggle_Snap_Edges},
    {'Z', "Magnifier on or off (the wheel sets its power)", Toggle_Magnifier},
    {VK_ESCAPE_, "Drop the tool being placed", Drop_Started_Tool},
    {VK_DELETE_, "Delete the selected measurement", Delete_Selected},
    {VK_LEFT_, "Move the selected measurement left", Nudge},
    {VK_RIGHT_, "Move the selected measurement right", Nudge},
    {VK_UP_, "Move the selected measurement up", Nudge},
    {VK_DOWN_, "Move the selected measurement down", Nudge},
};
const size_t PICTURE_KEY_COUNT = sizeof PICTURE_KEYS / sizeof PICTURE_KEYS[0];

void Picture_View_Key(int32_t key) {
    char hex[16];
    snprintf(hex, sizeof hex, "%X", (unsigned)key);
    Log("Key pressed: " + std::to_string(key) + " - $" + hex);
    for (const Picture_Key& k : PICTURE_KEYS)
        if (k.Key == key) {
            k.Run(key);
            return;
        }
}
