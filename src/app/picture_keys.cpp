#include "app/picture_keys.h"

#include <cstdio>
#include <string>

#include "analysis/auto_threshold.h"
#include "analysis/threshold.h"
#include "app/job_list.h"
#include "app/prefs.h"
#include "app/renderer.h"
#include "base/control_ids.h"
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

}  // namespace

void Picture_View_Key(int32_t key) {
    char hex[16];
    snprintf(hex, sizeof hex, "%X", (unsigned)key);
    Log("Key pressed: " + std::to_string(key) + " - $" + hex);
    if (key >= '0' && key <= '7') {
        Set_Slider_And_Apply((key - '0') * 32);
        return;
    }
    switch (key) {
        case '8': Set_Slider_And_Apply(255); break;
        case '9': Auto_Threshold(); break;
        case VK_MINUS_: Set_Slider_And_Apply(Get_State(CTL_THRESHOLD_SLIDER) - 4); break;
        case VK_EQUALS_: Set_Slider_And_Apply(Get_State(CTL_THRESHOLD_SLIDER) + 4); break;
        case VK_SPACE_:
            if (Current_Job >= 0) Duplicate_Job(Current_Job);
            break;
        case 'A': Select_Analysis_Mode(1); break;
        case 'S': Select_Analysis_Mode(2); break;
        case 'D': Select_Analysis_Mode(3); break;
        case 'F': Select_Analysis_Mode(4); break;
        case 'G': Select_Analysis_Mode(5); break;
        case 'H': Select_Analysis_Mode(6); break;
        case 'V':
            // Without video the live slot is empty, and an empty slot is never current.
            if (Jobs[0].In_Use) Select_Job(0);
            break;
        case 'B':
            // Steps to the nearest lower slot that holds a document.
            if (Current_Job > 0)
                for (int64_t j = Current_Job - 1; j >= 0; j--)
                    if (Jobs[j].In_Use) {
                        Select_Job(j);
                        break;
                    }
            break;
        case 'N':
            if (Current_Job < Count_Open_Jobs())
                for (int64_t j = Current_Job + 1; j < JOB_SLOTS; j++)
                    if (Jobs[j].In_Use) {
                        Select_Job(j);
                        break;
                    }
            break;
        case 'O': Reticle_Hidden = (uint8_t)(1 - Reticle_Hidden); break;
        case 'M': Choose_Tool(CTL_TOOL_LINE); break;
        case 'L': Choose_Tool(CTL_TOOL_BLOB); break;
        case 'X':
        case 'Y': Choose_Tool(CTL_TOOL_AXES); break;
        case 'E': Set_State(CTL_SNAP_EDGES, 1 - Get_State(CTL_SNAP_EDGES)); break;
        case 'Z':
            Set_State(CTL_MAGNIFY, 1 - Get_State(CTL_MAGNIFY));
            Prefs_Save();
            break;
        case VK_ESCAPE_: Click_State = 0; break;
        case VK_DELETE_: Delete_Selected_Measurement(); break;
        case VK_LEFT_: Nudge_Selected(-1, 0); break;
        case VK_RIGHT_: Nudge_Selected(1, 0); break;
        case VK_UP_: Nudge_Selected(0, -1); break;
        case VK_DOWN_: Nudge_Selected(0, 1); break;
        default: break;
    }
}
