#include "measure/canvas.h"

#include <cfenv>
#include <cmath>

#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/settings.h"
#include "measure/snapping.h"
#include "measure/tools.h"
#include "platform/platform.h"
#include "render/glip.h"

namespace {

Canvas_State Canvas;
// Not part of the interaction state: a reset keeps the view the window made.
int64_t Picture_View = -1;

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

bool Snap_To_Angle_On() { return Settings_View().Snap_Angle; }
bool Snap_To_Edges_On() { return Settings_View().Snap_Edges; }

void Level_Pointer() {
    Snap_Result s = Angle_Snap(Canvas.Pointer_X, Canvas.Pointer_Y, Stage_Compensated_Start_X(),
                               Canvas.Live_Measure.Y_Start);
    Canvas.Pointer_Y = s.Y;
    Canvas.Snapped_To_Angle = s.Snapped ? 1 : 0;
}

void Pointer_Moved(float wx, float wy) {
    Canvas.Pointer_Inside = 1;
    Canvas.Pointer_Win_X = wx;
    Canvas.Pointer_Win_Y = wy;
    Window_To_Image(wx, wy, &Canvas.Pointer_X, &Canvas.Pointer_Y);
    if (Canvas.Click_State != 0 && Snap_To_Angle_On()) Level_Pointer();
    if (Snap_To_Edges_On()) {
        Snap_Result s = Edge_Snap(Canvas.Pointer_X, Canvas.Pointer_Y, Canvas.Current_Tool);
        Canvas.Pointer_X = s.X;
        Canvas.Pointer_Y = s.Y;
        Canvas.Snapped_To_Edge = s.Snapped ? 1 : 0;
        if (Canvas.Click_State != 0 && Snap_To_Angle_On()) Level_Pointer();
    }
    float& Pointer_X = Canvas.Pointer_X;
    float& Pointer_Y = Canvas.Pointer_Y;
    int64_t& Click_State = Canvas.Click_State;
    sMeasurement& Live_Measure = Canvas.Live_Measure;
    if (Current_Job >= 0) {
        Request_Redraw();
        float w, h;
        Document_Size(&w, &h);
        if (Pointer_X < 0) Pointer_X = 0;
        if (Pointer_X > w - 1) Pointer_X = w - 1;
        if (Pointer_Y < 0) Pointer_Y = 0;
        if (Pointer_Y > h - 1) Pointer_Y = h - 1;
    }
    if (Settings_View().Magnify) Request_Redraw();
    if (Click_State != 0 && Canvas.Pointer_Inside == 1) {
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
    sMeasurement& Live_Measure = Canvas.Live_Measure;
    const float Pointer_X = Canvas.Pointer_X, Pointer_Y = Canvas.Pointer_Y;
    int64_t& Click_State = Canvas.Click_State;
    const int64_t Current_Tool = Canvas.Current_Tool;
    float& First_Point_Stage = Canvas.First_Point_Stage;
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
            // object the box is empty and there is nothing to place.
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
    Set_Magnifier_Zoom(Canvas.Magnifier_Zoom + notches);
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

const Canvas_State& Canvas_View() { return Canvas; }

void Reset_Canvas_State() {
    Canvas = Canvas_State{};
    Stage_Position = Stage_Zero = 0;
}

void Drop_Tool_Click() { Canvas.Click_State = 0; }

void Forget_Pointer() {
    Canvas.Pointer_Win_X = Canvas.Pointer_Win_Y = Canvas.Pointer_X = Canvas.Pointer_Y = -1.0f;
    Canvas.Click_State = 0;
}

void Set_Magnifier_Zoom(int64_t zoom) {
    if (zoom < 1) zoom = 1;
    if (zoom > 16) zoom = 16;
    Canvas.Magnifier_Zoom = zoom;
}

void Take_Live_Measure(const sMeasurement& m) { Canvas.Live_Measure = m; }

void Set_Canvas_State_For_Test(const Canvas_State& state) { Canvas = state; }

void Attach_Picture_View(int64_t view) { Picture_View = view; }

void Window_To_Image(float wx, float wy, float* x, float* y) {
    float w, h;
    Document_Size(&w, &h);
    if (Picture_View < 0 || !GL_View_Exists(Picture_View)) {
        // Without a picture view (logic tests) window pixels are image pixels.
        *x = wx;
        *y = wy;
        return;
    }
    // Pointer positions come in logical pixels; the view's viewport, which
    // the unprojection inverts, is in device pixels.
    float u = 0, v = 0;
    GLip_Unproject(Picture_View, (float)(wx * Display_Scale_X()), (float)(wy * Display_Scale_Y()), &u, &v);
    *x = u + w / 2;
    *y = v + h / 2;
}

float Stage_Compensated_Start_X() {
    const sMeasurement& m = Canvas.Live_Measure;
    if (Current_Job == 0) return m.X_Start + Canvas.First_Point_Stage - (Stage_Position - Stage_Zero);
    return m.X_Start;
}

void Choose_Tool(int64_t tool) {
    Canvas.Current_Tool = (tool >= MTOOL_LINE && tool <= MTOOL_AUTO_CIRCLE) ? tool : MTOOL_LINE;
}

void Picture_View_Event(const Platform_Event& event) {
    if (event.Kind != EVENT_CONTROL) return;
    switch (event.Type) {
        case ETYPE_MOUSE_LEAVE:
            Canvas.Pointer_Inside = 0;
            Request_Redraw();
            break;
        case ETYPE_MOUSE_MOVE: Pointer_Moved(event.X, event.Y); break;
        case ETYPE_LEFT_CLICK: Left_Click(); break;
        case ETYPE_RIGHT_CLICK: Drop_Tool_Click(); break;
        case ETYPE_WHEEL: Wheel(event.Wheel); break;
        default: break;
    }
}
