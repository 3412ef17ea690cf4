#include "measure/overlay.h"

#include <cmath>
#include <cstdio>

#include "base/app_state.h"
#include "document/doc_model.h"
#include "measure/picture_render.h"
#include "measure/units.h"
#include "platform/platform.h"
#include "render/overlay_queue.h"
#include "render/text.h"

namespace {

const float TOOL_LINE_WIDTH = 2.5f;
const float LABEL_SCALE = 0.5f;
const int64_t LABEL_FONT = 1;

}  // namespace

// The exported picture's label builder, in the current unit; labels take the
// default calibration, the live document's.
std::string Tool_Label_Text(const Tool& t, int64_t n) {
    return Picture_Tool_Label(t, n, Jobs[0].Doc.PPMM, Current_Unit_Code());
}

void Draw_Tool_Label(const Tool& t, int64_t n) {
    std::string text = Tool_Label_Text(t, n);
    float x = t.X_Start, y = t.Y_Start;
    if (t.Type == TOOL_CIRCLE) {
        x = t.X_Start - t.Radius;
        y = t.Y_Start - t.Radius;
    }
    gText_Select_Font(LABEL_FONT);
    gText_Set_Scale(LABEL_SCALE);
    float wf = 0, hf = 0;
    gText_Measure(text, &wf, &hf);
    float w = std::trunc(wf), h = std::trunc(hf);
    Job_Slot* slot = Current_Slot();
    float W = slot ? (float)slot->Doc.Resolution.x : 0, H = slot ? (float)slot->Doc.Resolution.y : 0;
    if (x < 0) x = 0;
    if (x + w > W) x = W - w;
    if (y < 3) y = 3;
    if (y + h > H) y = H - h;
    x = std::trunc(x);
    y = std::trunc(y) - 3;
    Queue_Label(text, LABEL_FONT, x + 1, y - h + 1, LABEL_SCALE, Pack_RGBA(10, 10, 10, 255));
    Queue_Label(text, LABEL_FONT, x, y - h, LABEL_SCALE, Pack_RGBA(255, 250, 250, 255));
}

void Draw_Measurement_Overlay() {
    if (Current_Job <= 0) return;
    Job_Slot* slot = Current_Slot();
    if (!slot) return;
    const std::vector<Tool>& tools = slot->Doc.Tools;
    for (size_t i = 0; i < tools.size(); i++) {
        const Tool& t = tools[i];
        switch (t.Type) {
            case TOOL_LINE:
            case TOOL_WIDTH:
            case TOOL_HEIGHT:
                Queue_Line(t.X_Start, t.Y_Start, t.X_End, t.Y_End, t.Colour, TOOL_LINE_WIDTH, 1);
                Draw_Tool_Label(t, (int64_t)i);
                break;
            case TOOL_BOX:
            case TOOL_BLOB:
                Queue_Rect(t.X_Start, t.Y_Start, t.X_End, t.Y_End, t.Colour, TOOL_LINE_WIDTH, 1);
                Draw_Tool_Label(t, (int64_t)i);
                break;
            case TOOL_CIRCLE:
                Queue_Circle(t.CentreX, t.CentreY, t.Radius, t.Colour, TOOL_LINE_WIDTH, 1);
                Draw_Tool_Label(t, (int64_t)i);
                break;
            default: break;
        }
    }
}
