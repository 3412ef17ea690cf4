#include "analysis/auto_measure.h"

#include <cmath>

#include "analysis/blob.h"
#include "analysis/threshold.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "measure/tools.h"

namespace {

// |1 - w / h| above the limit; w / h counts as infinite when only h is 0, and
// 0 / 0 counts as round (the pointer pixel differs from its four neighbours).
bool Not_Round(float w, float h) {
    if (h == 0.0f) return w != 0.0f;
    return std::fabs(1.0 - (double)w / (double)h) > CIRCLE_ROUNDNESS_LIMIT;
}

void Clear_Circle(sMeasurement* m) {
    m->cx = 0;
    m->cy = 0;
    m->Radius = 0;
}

// The circle tool. Returns false when the object is not round enough at the
// pointer: the document's Measure is then not updated for this render.
bool Circle_Search(sMeasurement& m, int64_t px, int64_t py, int32_t w, int32_t h) {
    Axis_Scan(&m, px, py);
    if (Not_Round(m.w, m.h)) {
        Clear_Circle(&m);
        m.w = m.h = m.Area = 0;
        return false;
    }

    // First estimate through the lower, left and upper ends of the runs.
    float c1x = 0, c1y = 0, c1r = 0;
    Circle_Through(m.vfx, m.vfy, m.hfx, m.hfy, m.vtx, m.vty, &c1x, &c1y, &c1r);
    if (!std::isfinite(c1x) || !std::isfinite(c1y) || c1x < 0 || c1x > (float)(w - 1) || c1y < 0 ||
        c1y > (float)(h - 1)) {
        Clear_Circle(&m);
        m.w = m.h = m.Area = 0;
        return true;
    }

    // Scan again through the estimated centre.
    Axis_Scan(&m, (int64_t)std::nearbyint(c1x), (int64_t)std::nearbyint(c1y));
    if (m.h == 0.0f || Not_Round(m.w, m.h)) {
        Clear_Circle(&m);
        return true;
    }

    const double lower_x = m.vfx, lower_y = m.vfy, upper_x = m.vtx, upper_y = m.vty;
    const double left_x = m.hfx, left_y = m.hfy, right_x = m.htx, right_y = m.hty;
    float qx[4], qy[4], qr[4];
    Circle_Through(lower_x, lower_y, left_x, left_y, upper_x, upper_y, &qx[0], &qy[0], &qr[0]);
    Circle_Through(lower_x, lower_y, right_x, right_y, upper_x, upper_y, &qx[1], &qy[1], &qr[1]);
    Circle_Through(upper_x, upper_y, left_x, left_y, right_x, right_y, &qx[2], &qy[2], &qr[2]);
    Circle_Through(lower_x, lower_y, left_x, left_y, right_x, right_y, &qx[3], &qy[3], &qr[3]);
    const double cx = ((double)qx[0] + qx[1] + qx[2] + qx[3]) / 4.0;
    const double cy = ((double)qy[0] + qy[1] + qy[2] + qy[3]) / 4.0;
    const double r = ((double)qr[0] + qr[1] + qr[2] + qr[3]) / 4.0;
    // A fit through three run ends on one line has no finite centre (a run
    // that starts at the re-centred pixel gives two equal slopes), and one
    // such fit makes the mean infinite or NaN: that is no circle. The test is
    // on the float32 values kept, so a huge finite mean counts as well.
    if (!std::isfinite((float)cx) || !std::isfinite((float)cy) || !std::isfinite((float)r)) {
        Clear_Circle(&m);
        return true;
    }

    // The preview draws the circle's diameters; w and h stay those of the scan.
    m.hfx = (float)(cx - r);
    m.hfy = (float)cy;
    m.htx = (float)(cx + r);
    m.hty = (float)cy;
    m.vfx = (float)cx;
    m.vfy = (float)(cy - r);
    m.vtx = (float)cx;
    m.vty = (float)(cy + r);
    m.cx = (float)cx;
    m.cy = (float)cy;
    m.Radius = (float)r;
    return true;
}

}  // namespace

void Axis_Scan(sMeasurement* out, int64_t x, int64_t y) {
    const int64_t w = Hit_Mask_Width, h = Hit_Mask_Height;
    if (x < 0 || y < 0 || x >= w || y >= h || (int64_t)Hit_Mask.size() < w * h) return;
    const uint8_t* mask = Hit_Mask.data();
    const uint8_t* row = mask + y * w;
    const uint8_t v = row[x];

    int64_t left = x, right = x, top = y, bottom = y;
    while (left > 0 && row[left - 1] == v) left--;
    while (right < w - 1 && row[right + 1] == v) right++;
    while (top > 0 && mask[(top - 1) * w + x] == v) top--;
    while (bottom < h - 1 && mask[(bottom + 1) * w + x] == v) bottom++;

    sMeasurement& m = *out;
    m.hfx = (float)left;
    m.htx = (float)right;
    m.hfy = m.hty = (float)y;
    m.vfx = m.vtx = (float)x;
    m.vfy = (float)bottom;
    m.vty = (float)top;
    m.w = (float)(right - left);
    m.h = (float)(bottom - top);
}

void Auto_Measure() {
    Job_Slot* slot = Current_Slot();
    if (!slot) return;
    Doc_Info& doc = slot->Doc;
    const int32_t w = doc.Resolution.x, h = doc.Resolution.y;
    // The mask must be this document's (Process_Image runs before every render).
    if (w != Hit_Mask_Width || h != Hit_Mask_Height || (int64_t)Hit_Mask.size() < (int64_t)w * h) return;
    const Canvas_State& canvas = Canvas_View();
    if (!std::isfinite(canvas.Pointer_X) || !std::isfinite(canvas.Pointer_Y)) return;
    const double px_r = std::nearbyint((double)canvas.Pointer_X), py_r = std::nearbyint((double)canvas.Pointer_Y);
    if (px_r < 0 || py_r < 0 || px_r > w - 1 || py_r > h - 1) return;
    const int64_t px = (int64_t)px_r, py = (int64_t)py_r;

    sMeasurement m = canvas.Live_Measure;
    const bool on_object = Hit_Mask[(size_t)(py * w + px)] == 1;
    m.w = 0;
    m.h = 0;

    switch (canvas.Current_Tool) {
        case MTOOL_WIDTH:
            Axis_Scan(&m, px, py);
            m.h = 0;
            break;
        case MTOOL_HEIGHT:
            Axis_Scan(&m, px, py);
            m.w = 0;
            break;
        case MTOOL_AXES: Axis_Scan(&m, px, py); break;
        case MTOOL_AUTO_BOX:
            Axis_Scan(&m, px, py);
            m.Area = m.w * m.h;
            break;
        case MTOOL_BLOB:
            m.hfx = m.vfy = m.htx = m.vty = 0;
            if (on_object) m.Area = (float)Blob_Fill(&m, px, py);
            break;
        case MTOOL_AUTO_CIRCLE:
            if (!Circle_Search(m, px, py, w, h)) {
                // Not round: the live preview shows nothing, the document keeps its Measure.
                Take_Live_Measure(m);
                return;
            }
            break;
        default: break;  // manual tools measure nothing here
    }

    m.Hits = doc.Measure.Hits;
    m.Hit_Pixels = doc.Measure.Hit_Pixels;
    Take_Live_Measure(m);
    doc.Measure = m;
}
