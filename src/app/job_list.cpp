#include "app/job_list.h"

#include "analysis/threshold.h"
#include "app/dispatch.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "document/doc_model.h"
#include "document/image_files.h"
#include "measure/canvas.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "platform/platform.h"

void Job_Update_List() {
    Log("Job_Update_List()");
    int y = 4;
    for (int64_t i = 0; i < JOB_SLOTS; i++) {
        int64_t view = Jobs[i].List_View;
        if (Jobs[i].In_Use) {
            Resize_Control(view, THUMB_X, y, -1, -1);
            y += THUMB_H + 4;
            // The live document has no stored time: it shows the time of this rebuild.
            int64_t stamp = Jobs[i].Doc.TimeStamp >= 1 ? Jobs[i].Doc.TimeStamp : Local_Time_Seconds();
            Set_Tooltip(view, std::to_string(i) + Format_Local_Time(stamp, " - %dd/%mm/%yyyy %hh:%ii:%ss - "));
        } else {
            Resize_Control(view, -1, THUMB_PARKED_Y, -1, -1);
        }
    }
    int w = 0, h = 0;
    Scroll_Area_Inner_Size(CTL_THUMBNAIL_SCROLL, &w, &h);
    Set_Scroll_Area_Inner_Size(CTL_THUMBNAIL_SCROLL, w > 0 ? w : THUMB_W + 2, y + 4);
    Request_Redraw();
}

void Select_Job(int64_t slot) {
    Make_Current_Job(slot);
    Request_Redraw();
    Activate_Job(slot);
    Job_Update_List();
    Drop_Tool_Click();
}

void Activate_Job(int64_t slot) {
    if (slot < 0 || slot >= JOB_SLOTS) return;
    Make_Current_Job(slot);
    const ProcessMode& p = Jobs[slot].Doc.Processing;
    int64_t mode = p.Mode <= 5 ? p.Mode : 0;
    for (int64_t b = CTL_ANALYSIS_FIRST; b <= CTL_ANALYSIS_LAST; b++) Set_State(b, 0);
    Set_State(CTL_ANALYSIS_FIRST + mode, 1);
    int64_t threshold = 0;
    switch (mode) {
        case 1: threshold = p.Threshold_Cyan; break;
        case 2: threshold = p.Threshold_Magenta; break;
        case 3: threshold = p.Threshold_Yellow; break;
        case 4: threshold = p.Threshold_Black; break;
        default: threshold = 0; break;
    }
    Set_State(CTL_THRESHOLD_SLIDER, threshold);
    Set_State(CTL_BRIGHT_OBJECTS, p.Bright ? 1 : 0);
    Set_State(CTL_UNIT_LIST, Jobs[slot].Doc.Measure_Unit);
    Settings_From_Widgets();
    // The automatic tools make sense only on a thresholded picture.
    for (int64_t b = CTL_TOOL_WIDTH; b <= CTL_TOOL_AUTO_CIRCLE; b++) Hide_Control(b, mode == 0);
    Request_Threshold_Label();
    Request_Redraw();
    Rebuild_Measurement_List();
}

void Thumbnail_Click(int64_t control) {
    for (int64_t i = 0; i < JOB_SLOTS; i++) {
        if (Jobs[i].List_View == control) {
            Select_Job(i);
            return;
        }
    }
}

void Import_Dropped_Files(const std::string& names) {
    size_t start = 0;
    while (start < names.size()) {
        size_t lf = names.find('\n', start);
        if (lf == std::string::npos) lf = names.size();
        std::string name = names.substr(start, lf - start);
        if (!name.empty() && name.back() == '\r') name.pop_back();
        if (!name.empty()) Import_Image_File(name, true);
        start = lf + 1;
    }
    Job_Update_List();
}
