#include "measure/canvas.h"

#include <cfenv>
#include <cmath>

#include "base/app_state.h"
#include "base/control_ids.h"
#include "base/debug_log.h"
#include "measure/snapping.h"
#include "measure/tools.h"
#include "platform/platform.h"
#include "render/glip.h"

float Pointer_Win_X = -1.0f, Pointer_Win_Y = -1.0f;
float Pointer_X = -1.0f, Pointer_Y = -1.0f;
uint8_t Pointer_Inside = 0;
int64_t Magnifier_Zoom = 4;
int64_t Current_Tool = MTOOL_LINE;
int64_t Click_State = 0;
sMeasurement Live_Measure;
float First_Point_Stage = 0;
int64_t Wheel_Remainder = 0;

namespace {

const int64_t Tool_Buttons[9] = {CTL_TOOL_LINE,  CTL_TOOL_BOX,      CTL_TOOL_CIRCLE,
                                 CTL_TOOL_WIDTH, CTL_TOOL_HEIGHT,   CTL_TOOL_AXES,
                                 CTL_TOOL_AUTO_BOX, CTL_TOOL_BLOB, CTL_TOOL_AUTO_CIRCLE};

void Document_Size(float* w, float* h) {
    Job_Slot* slot = Current_Slot();
    *w = slot ? (float)slot->Doc.Resolution.x : 0.0f;
    *h = slot ? (float)slot->Doc.Resolution.y : 0.0f;
}

// Direction from (x1, y1) to (x2, y2) in degrees, 0 <= a < 360, y downwards.
float Direction(double x1, double y1, double x2, double y2) {
    double a = std::atan2(y2 - y1, x2 - x1) * 180.0 / M_PI;
    if (a < 0) a += 360.0;
    return (float)a;
}

bool Snap_To_Angle_On() { return Get_State(CTL_SNAP_ANGLE) == 1; }
bool Snap_To_Edges_On() { return Get_State(CTL_SNAP_EDGES) == 1; }

void Pointer_Moved(float wx, float wy) {
    Pointer_Inside = 1;
    Pointer_Win_X = wx;
    Pointer_Win_Y = wy;
    Window_To_Image(wx, wy, &Pointer_X, &Pointer_Y);
    if (Click_State != 0 && Snap_To_Angle_On()) Angle_Snap();
    if (Snap_To_Edges_On()) {
        Edge_Snap();
        if (Click_State != 0 && Snap_To_Angle_On()) Angle_Snap();
    }
    if (Current_Job >= 0) {
        Request_Redraw();
        float w, h;
        Document_Size(&w, &h);
        if (Pointer_X < 0) Pointer_X = 0;
        if (Pointer_X > w - 1) Pointer_X = w - 1;
        if (Pointer_Y < 0) Pointer_Y = 0;
        if (Pointer_Y > h - 1) Pointer_Y = h - 1;
    }
    if (Get_State(CTL_MAGNIFY) == 1) Request_Redraw();
    if (Click_State != 0 && Pointer_Inside == 1) {
        if (Click_State != 2) {
            Live_Measure.X_End = Pointer_X;
            Live_Measure.Y_End = Pointer_Y;
        }
        Live_Measure.Angle = Direction(Live_Measure.X_Start, Live_Measure.Y_Start, Pointer_X, Pointer_Y);
        double dx = Pointer_X - Stage_Compensated_Start_X();
        double dy = Pointer_Y - Live_Measure.Y_Start;
        Live_Measure.Distance = (float)std::sqrt(dx * dx + dy * dy);
    }
}

int64_t R(double v) { return Round_Half_Even(v); }

void Left_Click() {
    if (Current_Job == -1) return;
    Live_Measure.Scale_End = Stage_Position;
    const sMeasurement& m = Live_Measure;
    switch (Current_Tool) {
        case MTOOL_LINE:
        case MTOOL_BOX:
        case MTOOL_CIRCLE:
            if (Click_State == 0) {
                Live_Measure.X_Start = Pointer_X;
                Live_Measure.Y_Start = Pointer_Y;
                Click_State = 1;
                if (Current_Job == 0) First_Point_Stage = Stage_Position - Stage_Zero;
            } else if (Click_State == 1) {
                Click_State = (Current_Tool == MTOOL_CIRCLE) ? 2 : 0;
                Live_Measure.X_End = Pointer_X;
                Live_Measure.Y_End = Pointer_Y;
                float start_x = Stage_Compensated_Start_X();
                First_Point_Stage = 0;
                if (Current_Tool == MTOOL_LINE)
                    Add_Tool(TOOL_LINE, R(start_x), R(m.Y_Start), R(Pointer_X), R(Pointer_Y), Manual_Tool_Colour);
                else if (Current_Tool == MTOOL_BOX)
                    Add_Tool(TOOL_BOX, R(start_x), R(m.Y_Start), R(Pointer_X), R(Pointer_Y), Manual_Tool_Colour);
            } else {
                Click_State = 0;
                float cx = 0, cy = 0, r = 0;
                Circle_Through(m.X_Start, m.Y_Start, m.X_End, m.Y_End, Pointer_X, Pointer_Y, &cx, &cy, &r);
                First_Point_Stage = 0;
                if (std::isfinite(r) && r > 0) Add_Tool(TOOL_CIRCLE, R(cx), R(cy), R(r), 0, Manual_Tool_Colour);
            }
            break;
        case MTOOL_WIDTH: Add_Tool(TOOL_WIDTH, R(m.hfx), R(m.hfy), R(m.htx), R(m.hty), Automatic_Tool_Colour); break;
        case MTOOL_HEIGHT: Add_Tool(TOOL_HEIGHT, R(m.vfx), R(m.vfy), R(m.vtx), R(m.vty), Automatic_Tool_Colour); break;
        case MTOOL_AXES: {
            // Copy the vertical line first: the first Add_Tool may freeze the live document.
            sMeasurement held = m;
            Add_Tool(TOOL_WIDTH, R(held.hfx), R(held.hfy), R(held.htx), R(held.hty), Automatic_Tool_Colour);
            Add_Tool(TOOL_HEIGHT, R(held.vfx), R(held.vfy), R(held.vtx), R(held.vty), Automatic_Tool_Colour);
            break;
        }
        case MTOOL_AUTO_BOX: Add_Tool(TOOL_BOX, R(m.hfx), R(m.vfy), R(m.htx), R(m.vty), Automatic_Tool_Colour); break;
        case MTOOL_BLOB:
            // The fill writes the box only for a blob of more than one pixel; off an
            // object, or outside the 640 x 480 search area, the box is empty and
            // there is nothing to place.
            // The tool keeps the fill's pixel count (the live Area): the blob's
            // area is that count, not its bounding box.
            if (m.htx > m.hfx && m.vty > m.vfy)
                Add_Blob_Tool(R(m.hfx), R(m.vfy), R(m.htx), R(m.vty), Automatic_Tool_Colour, R(m.Area));
            break;
        case MTOOL_AUTO_CIRCLE:
            if (std::isfinite(m.cx) && std::isfinite(m.cy) && std::isfinite(m.Radius) && m.Radius > 0)
                Add_Tool(TOOL_CIRCLE, R(m.cx), R(m.cy), R(m.Radius), 0, Automatic_Tool_Colour);
            break;
        default: break;
    }
}

void Wheel(int32_t notches) {
    Magnifier_Zoom += notches;
    if (Magnifier_Zoom < 1) Magnifier_Zoom = 1;
    if (Magnifier_Zoom > 16) Magnifier_Zoom = 16;
    Request_Redraw();
}


}  // namespace

int64_t Round_Half_Even(double v) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even.
    // Casting NaN or a value beyond the int64 range is undefined: NaN gives 0 and
    // the rest saturate (2^63 is the first double above the range).
    const double r = std::nearbyint(v);
    if (std::isnan(r)) return 0;
    if (r >= 9223372036854775808.0) return INT64_MAX;
    if (r < -9223372036854775808.0) return INT64_MIN;
    return (int64_t)r;
}

void Reset_Canvas_State() {
    Pointer_Win_X = Pointer_Win_Y = -1.0f;
    Pointer_X = Pointer_Y = -1.0f;
    Pointer_Inside = 0;
    Magnifier_Zoom = 4;
    Current_Tool = MTOOL_LINE;
    Click_State = 0;
    Live_Measure = sMeasurement();
    Stage_Position = Stage_Zero = First_Point_Stage = 0;
    Wheel_Remainder = 0;
}

void Window_To_Image(float wx, float wy, float* x, float* y) {
    float w, h;
    Document_Size(&w, &h);
    if (!GL_View_Exists(CTL_PICTURE_VIEW)) {
        // Without a picture view (logic tests) window pixels are image pixels.
        *x = wx;
        *y = wy;
        return;
    }
    // Pointer positions come in logical pixels; the view's viewport, which
    // the unprojection inverts, is in device pixels.
    float u = 0, v = 0;
    GLip_Unproject(CTL_PICTURE_VIEW, (float)(wx * Display_Scale_X()), (float)(wy * Display_Scale_Y()), &u, &v);
    *x = u + w / 2;
    *y = v + h / 2;
}

float Stage_Compensated_Start_X() {
    if (Current_Job == 0) return Live_Measure.X_Start + First_Point_Stage - (Stage_Position - Stage_Zero);
    return Live_Measure.X_Start;
}

void Choose_Tool(int64_t button) {
    if (button >= 0) {
        for (int64_t b : Tool_Buttons) Set_State(b, 0);
        Set_State(button, 1);
    }
    for (int i = 0; i < 9; i++) {
        if (Get_State(Tool_Buttons[i]) == 1) {
            Current_Tool = i + 1;
            return;
        }
    }
    Current_Tool = MTOOL_LINE;
    Set_State(CTL_TOOL_LINE, 1);
}

void Picture_View_Event(const Platform_Event& event) {
    if (event.Kind != EVENT_CONTROL) return;
    switch (event.Type) {
        case ETYPE_MOUSE_ENTER: Set_Focus(CTL_PICTURE_VIEW); break;
        case ETYPE_MOUSE_LEAVE:
            Pointer_Inside = 0;
            Request_Redraw();
            break;
        case ETYPE_MOUSE_MOVE: Pointer_Moved(event.X, event.Y); break;
        case ETYPE_LEFT_CLICK: Left_Click(); break;
        case ETYPE_RIGHT_CLICK: Click_State = 0; break;
        case ETYPE_WHEEL: Wheel(event.Wheel); break;
        default: break;
    }
}
