#include "measure/readouts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/app_state.h"
#include "base/control_ids.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "measure/overlay.h"
#include "measure/units.h"
#include "platform/platform.h"
#include "render/pixel_view.h"

std::string Readout_Texts[6];

namespace {

std::string One_Decimal(double v) {
    char b[64];
    snprintf(b, sizeof b, "%.1f", v);
    return b;
}

std::string F(double pixels, float ppmm) { return Format_Length(pixels, ppmm, 1); }

}  // namespace

std::string Measurement_Row_Text(int64_t slot, int64_t position, const Tool& t, float q) {
    std::string row = std::to_string(slot) + ":" + std::to_string(position) + ":" + Tool_Letter(t.Type);
    double dx = std::fabs((double)t.X_End - t.X_Start);
    double dy = std::fabs((double)t.Y_End - t.Y_Start);
    auto column = [&](const std::string& text) { row += "\n" + text; };
    switch (t.Type) {
        case TOOL_LINE:
            if (dy == 0 && dx != 0) {
                column("W: " + F(t.Distance, q));
            } else if (dx == 0 && dy != 0) {
                column("H: " + F(t.Distance, q));
            } else {
                column("W: " + F(dx, q));
                column("H: " + F(dy, q));
                column("L: " + F(t.Distance, q));
                if (dx != 0 && dy != 0) column("A: " + One_Decimal(t.Angle) + "deg");
            }
            break;
        case TOOL_WIDTH:
        case TOOL_HEIGHT: column(F(t.Distance, q)); break;
        case TOOL_BOX:
        case TOOL_BLOB: {
            column("W: " + F(dx, q));
            column("H: " + F(dy, q));
            double area = Convert_Length((float)dx, q) * Convert_Length((float)dy, q);
            // A blob's area is its pixel count, each pixel one unit length
            // squared; only a blob from an older file, without the count,
            // still shows its bounding box.
            if (t.Type == TOOL_BLOB && t.Area > 0) {
                double side = Convert_Length(1.0f, q);
                area = (double)t.Area * side * side;
            }
            column("a: " + Format_Converted(area) + "\xC2\xB2");
            break;
        }
        case TOOL_CIRCLE: column("R: " + F(t.Radius, q)); break;
        case TOOL_THRESHOLD_NOTE:
            column("Threshold");
            column(One_Decimal(t.Distance) + "%");
            break;
        default: break;
    }
    return row;
}

void Rebuild_Measurement_List() {
    Log("Refreshing job list for gadget: " + std::to_string(Current_Job));
    Clear_Rows(CTL_MEASURE_LIST);
    for (int64_t slot = 1; slot < JOB_SLOTS; slot++) {
        if (!Jobs[slot].In_Use) continue;
        const Doc_Info& doc = Jobs[slot].Doc;
        for (size_t i = 0; i < doc.Tools.size(); i++)
            Add_Row(CTL_MEASURE_LIST, Measurement_Row_Text(slot, (int64_t)i, doc.Tools[i], doc.PPMM), slot);
    }
}

bool Parse_Measurement_Id(const std::string& id, int64_t* slot, int64_t* position) {
    size_t first = id.find(':');
    if (first == std::string::npos || first == 0) return false;
    size_t second = id.find(':', first + 1);
    if (second == std::string::npos || second == first + 1) return false;
    char* end = nullptr;
    std::string a = id.substr(0, first), b = id.substr(first + 1, second - first - 1);
    long long s = strtoll(a.c_str(), &end, 10);
    if (*end) return false;
    long long p = strtoll(b.c_str(), &end, 10);
    if (*end) return false;
    *slot = s;
    *position = p;
    return true;
}

void Delete_Selected_Measurement() {
    int64_t row = Get_State(CTL_MEASURE_LIST);
    if (row < 0 || row >= Row_Count(CTL_MEASURE_LIST)) return;
    std::string id = Get_Cell_Text(CTL_MEASURE_LIST, row, 0);
    int64_t slot = 0, position = 0;
    Log("gadget data: Line: " + std::to_string(row) + ", Handle: " + id);
    // A row whose numbers do not name an existing tool deletes nothing.
    if (!Parse_Measurement_Id(id, &slot, &position)) return;
    if (slot < 1 || slot >= JOB_SLOTS || !Jobs[slot].In_Use) return;
    std::vector<Tool>& tools = Jobs[slot].Doc.Tools;
    if (position < 0 || position >= (int64_t)tools.size()) return;
    tools.erase(tools.begin() + position);
    Mark_Document_Changed(slot);
    Rebuild_Measurement_List();
}

void Refresh_Readouts(bool full) {
    (void)full;  // every view is redrawn on every call
    float t0 = Elapsed_Ms();
    std::string scale_x = "0.0", length = "0.0", angle = "0.0", threshold = "N.A.";
    Job_Slot* slot = Current_Slot();
    if (slot) {
        const sMeasurement& m = slot->Doc.Measure;
        scale_x = Format_Length(Stage_Position - Stage_Zero, Jobs[0].Doc.PPMM, 0);
        length = Format_Length(m.Distance, slot->Doc.PPMM, 0);
        double a = std::atan2((double)m.Y_End - m.Y_Start, (double)m.X_End - m.X_Start) * 180.0 / M_PI;
        if (a < 0) a += 360.0;
        angle = std::isnan(a) ? "0.0" : One_Decimal(a);
        double hits = m.Hits;
        if (Get_State(CTL_PLUS_MINUS) == 1) hits = 100.0 - hits;
        threshold = One_Decimal(hits) + "%";
    }
    Readout_Texts[0] = scale_x;
    Readout_Texts[1] = "";
    Readout_Texts[2] = "";
    Readout_Texts[3] = length;
    Readout_Texts[4] = angle;
    Readout_Texts[5] = threshold;
    Draw_Readout(CTL_READOUT_SCALE_X, Readout_Texts[0], 1);
    Draw_Readout(CTL_READOUT_SCALE_Y, Readout_Texts[1], 1);
    Draw_Readout(CTL_READOUT_SCALE_Z, Readout_Texts[2], 1);
    Draw_Readout(CTL_READOUT_LENGTH, Readout_Texts[3], 0);
    Draw_Readout(CTL_READOUT_ANGLE, Readout_Texts[4], 0);
    Draw_Readout(CTL_READOUT_THRESHOLD_PCT, Readout_Texts[5], 2);
    GL_Make_Current(CTL_PICTURE_VIEW);
    Stage_Times.DD = Elapsed_Ms() - t0;
}
