#include "app/status_bar.h"

#include <cstdio>

#include "analysis/threshold.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "measure/snapping.h"
#include "platform/platform.h"
#include "video/camera_source.h"

namespace {

const int STATUS_FIELDS = 6;
std::string Cache[STATUS_FIELDS];
bool Cache_Valid[STATUS_FIELDS] = {false};

std::string One_Decimal(float v) {
    char b[64];
    snprintf(b, sizeof b, "%.1f", v);
    return b;
}

}  // namespace

std::string Status_Field_Text(int field) {
    switch (field) {
        case 0:
            if (Camera_Starting()) return "Starting camera...";
            return Video_Mode != VIDEO_NONE ? "Video: FPS: " + std::to_string(Main_Loop.Frames_Per_Second) + ")"
                                            : "Video Disabled.";
        case 1:
            return Current_Job > 0 ? "Document #: " + std::to_string(Current_Job) : "No document selected.";
        case 2: {
            std::string text = "Mouse: " + One_Decimal(Canvas_View().Pointer_X) + "x" + One_Decimal(Canvas_View().Pointer_Y);
            if (Get_State(CTL_MAGNIFY) == 1) text += ", Zoom: x" + std::to_string(Canvas_View().Magnifier_Zoom);
            return text;
        }
        case 3: {
            uint32_t c = (uint32_t)Cursor_Colour;  // bytes blue, green, red, alpha
            int blue = c & 255, green = (c >> 8) & 255, red = (c >> 16) & 255;
            return "RGB[" + std::to_string(red) + ", " + std::to_string(green) + ", " + std::to_string(blue) +
                   "] M:" + std::to_string((int)Cursor_Hit);
        }
        case 4:
            if (Canvas_View().Snapped_To_Angle == 1 && Canvas_View().Snapped_To_Edge == 1) return "Snapped to: Edge & Angle";
            if (Canvas_View().Snapped_To_Angle == 1) return "Snapped to: Angle";
            if (Canvas_View().Snapped_To_Edge == 1) return "Snapped to: Edge";
            return "";
        default: return "";
    }
}

void Fit_Status_Fields() {
    // The widest text of each field, so the bar does not shift while the
    // pointer moves; a wider text still widens its field when it is written.
    static const char* const widest[][3] = {
        {"Video: FPS: 1000)", "Video Disabled.", "Starting camera..."},
        {"Document #: 8", "No document selected."},
        {"Mouse: 16383.0x16383.0, Zoom: x16", "Mouse: -1.0x-1.0, Zoom: x16"},
        {"RGB[255, 255, 255] M:1", ""},
        {"Snapped to: Edge & Angle", ""},
    };
    for (int field = 0; field < 5; field++)
        for (const char* text : widest[field])
            if (text) Fit_Status_Field(WINDOW_MAIN, field, text);
}

void Reset_Status_Cache() {
    for (int i = 0; i < STATUS_FIELDS; i++) Cache_Valid[i] = false;
}

void Refresh_Status_Bar() {
    // Field 5 is never written.
    for (int field = 0; field < 5; field++) {
        std::string text = Status_Field_Text(field);
        if (Cache_Valid[field] && Cache[field] == text) continue;
        Set_Status_Text(WINDOW_MAIN, field, text);
        Cache[field] = text;
        Cache_Valid[field] = true;
    }
}
