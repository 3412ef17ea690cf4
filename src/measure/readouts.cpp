#include "measure/readouts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "document/settings.h"
#include "measure/canvas.h"
#include "measure/overlay.h"
#include "measure/units.h"

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

std::array<std::string, 6> Readout_Values() {
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
        if (Settings_View().Invert_Hits) hits = 100.0 - hits;
        threshold = One_Decimal(hits) + "%";
    }
    return {scale_x, "", "", length, angle, threshold};
}
