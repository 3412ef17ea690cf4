#include "measure/tools.h"

#include <cmath>
#include <string>

#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "platform/platform.h"

// Packed as red + green*256 + blue*65536 + alpha*16777216.
const int32_t Manual_Tool_Colour = (int32_t)0xFF5A96FFu;     // 255, 150, 90, 255
const int32_t Automatic_Tool_Colour = (int32_t)0xFF9BFF96u;  // 150, 255, 155, 255

static const double Degrees_Per_Radian = 57.295779513082320876798154814105;

// The document a tool operation works on; nullptr when there is none.
static Job_Slot* Tool_Slot() {
    if (Current_Job < 0) return nullptr;
    return Current_Slot();
}

// On the live document a measurement first freezes the picture into a new
// document and goes there; with eight documents open the snapshot is refused
// and the live document itself takes it.
static Job_Slot* Slot_For_New_Tool() {
    if (Current_Job == 0) Duplicate_Job(0);
    return Tool_Slot();
}

// Add_Tool with the blob's pixel count (0 for every other kind).
static void Append_Tool(int64_t type, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int32_t colour,
                        int64_t pixel_count) {
    if (!Tool_Slot()) return;
    double ddx = (double)x1 - (double)x2;
    double ddy = (double)y1 - (double)y2;
    double d = std::sqrt(ddx * ddx + ddy * ddy);

    Job_Slot* slot = Slot_For_New_Tool();
    if (!slot) return;
    std::vector<Tool>& tools = slot->Doc.Tools;
    tools.emplace_back();
    Tool& t = tools.back();
    t.Type = type;
    t.X_Start = (float)x1;
    t.Y_Start = (float)y1;
    t.X_End = (float)x2;
    t.Y_End = (float)y2;
    if (type == TOOL_CIRCLE) {
        t.CentreX = (float)x1;
        t.CentreY = (float)y1;
        t.Radius = (float)x2;
    }
    // Direction from the second point to the first, image y downwards.
    double angle = std::atan2(ddy, ddx) * Degrees_Per_Radian;
    if (angle < 0) angle += 360.0;
    t.Angle = (float)angle;
    // A tiny negative angle plus 360 can round up to 360 in float32.
    if (t.Angle >= 360.0f) t.Angle = 0.0f;
    t.Distance = (float)d;
    t.Scale_Start = Canvas_View().Live_Measure.Scale_Start;
    t.Scale_End = Canvas_View().Live_Measure.Scale_End;
    t.Colour = colour;
    if (type == TOOL_BLOB && pixel_count > 0) t.Area = pixel_count;

    Log("Tool - FromX: " + std::to_string(x1) + ", FromY: " + std::to_string(y1) + ", ToX: " +
        std::to_string(x2) + ", ToY: " + std::to_string(y2));
    Mark_Document_Changed(Current_Job);
    Select_Tool((int64_t)tools.size() - 1);
    Mark_Measurement_List_Changed();
}

void Add_Tool(int64_t type, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int32_t colour) {
    Append_Tool(type, x1, y1, x2, y2, colour, 0);
}

void Add_Blob_Tool(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int32_t colour, int64_t pixel_count) {
    Append_Tool(TOOL_BLOB, x1, y1, x2, y2, colour, pixel_count);
}

void Add_Threshold_Note(float value) {
    if (!Tool_Slot()) return;
    Job_Slot* slot = Slot_For_New_Tool();
    if (!slot) return;
    Tool note;
    note.Type = TOOL_THRESHOLD_NOTE;
    note.Distance = value;  // the percentage; a note is never selected by its creation
    slot->Doc.Tools.push_back(note);
    Mark_Document_Changed(Current_Job);
    Mark_Measurement_List_Changed();
}

void Circle_Through(double x1, double y1, double x2, double y2, double x3, double y3, float* cx, float* cy,
                    float* r) {
    // Slopes of the chords 1-2 and 2-3. A vertical chord is given slope 0 and
    // then, like a horizontal one, 0.00001: the construction is kept as users
    // have it, even where it is not the geometric circumcircle.
    double ma = x2 != x1 ? (y2 - y1) / (x2 - x1) : 0.0;
    double mb = x3 != x2 ? (y3 - y2) / (x3 - x2) : 0.0;
    if (ma == 0.0) ma = 0.00001;
    if (mb == 0.0) mb = 0.00001;
    float fx = (float)((ma * mb * (y1 - y3) + mb * (x1 + x2) - ma * (x2 + x3)) / (2.0 * (mb - ma)));
    // From the stored (float32) centre x, not the double one.
    float fy = (float)(-((double)fx - (x1 + x2) / 2.0) / ma + (y1 + y2) / 2.0);
    double d1 = std::hypot(x1 - fx, y1 - fy);
    double d2 = std::hypot(x2 - fx, y2 - fy);
    double d3 = std::hypot(x3 - fx, y3 - fy);
    *cx = fx;
    *cy = fy;
    *r = (float)((d1 + d2 + d3) / 3.0);
}

// Changes only the flags; the callers rebuild the list when they are done.
void Select_Tool(int64_t index) {
    Job_Slot* slot = Tool_Slot();
    if (!slot) return;
    std::vector<Tool>& tools = slot->Doc.Tools;
    for (Tool& t : tools) t.Selected = 0;
    if (index >= 0 && index < (int64_t)tools.size()) tools[(size_t)index].Selected = 1;
}

int64_t Selected_Tool_Index() {
    Job_Slot* slot = Tool_Slot();
    if (!slot) return -1;
    const std::vector<Tool>& tools = slot->Doc.Tools;
    for (size_t i = 0; i < tools.size(); i++)
        if (tools[i].Selected == 1) return (int64_t)i;
    return -1;
}

static int Whole_Pixels(float v) {
    if (!(std::fabs(v) < 1e6f)) return 0;  // also NaN
    return (int)std::lround(v);
}

void Nudge_Selected(float dx, float dy) {
    Job_Slot* slot = Tool_Slot();
    if (!slot) return;
    // Only the end points move: centre, radius, angle and length stay as created.
    for (Tool& t : slot->Doc.Tools) {
        if (t.Selected != 1) continue;
        Mark_Document_Changed(Current_Job);
        t.X_Start += dx;
        t.Y_Start += dy;
        t.X_End += dx;
        t.Y_End += dy;
    }
    // The system pointer follows, so it keeps pointing at the moved tool.
    Move_Pointer_By(Whole_Pixels(dx), Whole_Pixels(dy));
    Request_Redraw();
    Mark_Measurement_List_Changed();
}

void Clear_All_Measurements() {
    if (!Tool_Slot()) return;
    if (Message_Box("Clear all measurements...", "Are you sure?", MSG_YES_NO) != 1) return;
    // The question is modal: look the document up again afterwards.
    Job_Slot* slot = Tool_Slot();
    if (!slot) return;
    if (!slot->Doc.Tools.empty()) Mark_Document_Changed(Current_Job);
    slot->Doc.Tools.clear();
    Request_Redraw();
    Mark_Measurement_List_Changed();
}
