#include "app/analysis_panel.h"

#include <cmath>
#include <string>

#include "analysis/auto_threshold.h"
#include "analysis/threshold.h"
#include "app/control_ids.h"
#include "app/dispatch.h"
#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "platform/platform.h"

void Apply_Threshold() {
    Job_Slot* slot = Current_Slot();
    if (!slot) return;
    Request_Redraw();
    const int64_t v = Get_State(CTL_THRESHOLD_SLIDER);
    uint8_t* threshold = Threshold_Of_Mode(&slot->Doc.Processing, slot->Doc.Processing.Mode);
    if (threshold) *threshold = (uint8_t)v;
    Set_Text(CTL_THRESHOLD_FRAME, "Threshold [" + std::to_string(v) + "]");
}

void Bright_Objects_Changed() {
    Job_Slot* slot = Current_Slot();
    if (!slot) return;
    const uint8_t bright = Get_State(CTL_BRIGHT_OBJECTS) == 1 ? 1 : 0;
    if (slot->Doc.Processing.Bright == bright) return;
    slot->Doc.Processing.Bright = bright;
    Mark_Document_Changed(Current_Job);
    Request_Threshold_Label();
    Request_Redraw();
}

void Select_Analysis_Mode(int64_t button) {
    if (button < 1 || button > 6) return;
    Request_Threshold_Label();
    Request_Redraw();

    for (int64_t c = CTL_ANALYSIS_FIRST; c <= CTL_ANALYSIS_LAST; c++) Set_State(c, 0);
    Set_State(CTL_ANALYSIS_FIRST + button - 1, 1);

    Job_Slot* slot = Current_Slot();
    Disable_Control(CTL_THRESHOLD_SLIDER, false);
    if (slot) {
        Set_State(CTL_UNIT_LIST, slot->Doc.Measure_Unit);
        Settings_From_Widgets();
    }
    Set_State(CTL_THRESHOLD_SLIDER, 0);  // the slider shows its minimum, 1

    const uint8_t mode = (uint8_t)(button - 1);
    if (slot) {
        ProcessMode& p = slot->Doc.Processing;
        const uint8_t* threshold = Threshold_Of_Mode(&p, mode);
        if (threshold) Set_State(CTL_THRESHOLD_SLIDER, *threshold);
        p.Mode = mode;
    }

    for (int64_t c = CTL_TOOL_WIDTH; c <= CTL_TOOL_AUTO_CIRCLE; c++) Hide_Control(c, mode == MODE_NONE);
}

void Auto_Threshold() {
    const float t0 = std::nearbyint(Elapsed_Ms());
    int64_t threshold = 0;
    if (!Auto_Threshold_Of_Current(&threshold)) return;
    Set_State(CTL_THRESHOLD_SLIDER, threshold);  // the slider keeps it within 1..255
    Apply_Threshold();
    Log("Time for auto threshold: " + std::to_string((int64_t)std::nearbyint(Elapsed_Ms() - t0)) + "ms");
}
