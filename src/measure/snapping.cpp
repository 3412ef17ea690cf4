#include "measure/snapping.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/canvas.h"

static Snap_State Snap;

const Snap_State& Snap_View() { return Snap; }

void Set_Snap_Preferences(int64_t edge_radius, float angle_tolerance) {
    Snap.Edge_Radius = edge_radius;
    Snap.Angle_Tolerance = angle_tolerance;
}

static const double Degrees_Per_Radian = 57.295779513082320876798154814105;

// Above this Laplacian magnitude a pixel of an unprocessed picture is an edge.
static const int32_t Raw_Edge_Limit = 210;

int64_t Snap_Radius_In_Use() { return std::max<int64_t>(-1, std::min(Snap.Edge_Radius, SNAP_EDGE_RADIUS_MAX)); }

float Snap_Tolerance_In_Use() {
    float t = Snap.Angle_Tolerance;
    if (!(t > 0)) return 0;  // also NaN
    return t < 90 ? t : 90;
}

void Prepare_Snap_Offsets() {
    // The preference itself is left as it is (it is saved back); only the
    // table is limited. A negative radius gives no offsets.
    int32_t r = (int32_t)Snap_Radius_In_Use();
    std::vector<Snap_Offset>& Snap_Offsets = Snap.Offsets;
    Snap_Offsets.clear();
    if (r >= 0) Snap_Offsets.reserve((size_t)(2 * r + 1) * (size_t)(2 * r + 1));
    for (int32_t dx = -r; dx <= r; dx++)
        for (int32_t dy = -r; dy <= r; dy++)
            Snap_Offsets.push_back({dx, dy, (float)std::sqrt((double)(dx * dx + dy * dy))});
    // Stable: offsets at equal distance (the four at distance 1, ...) keep
    // the generation order above, so the search is the same on every run.
    // Integer squared distances order exactly like the distances.
    std::stable_sort(Snap_Offsets.begin(), Snap_Offsets.end(), [](const Snap_Offset& a, const Snap_Offset& b) {
        return a.dx * a.dx + a.dy * a.dy < b.dx * b.dx + b.dy * b.dy;
    });
    auto beyond = std::find_if(Snap_Offsets.begin(), Snap_Offsets.end(),
                               [r](const Snap_Offset& o) { return o.dx * o.dx + o.dy * o.dy > r * r; });
    Snap_Offsets.erase(beyond, Snap_Offsets.end());
    Log("Snap to edge -  Point Count: " + std::to_string(Snap_Offsets.size()));
}

// Laplacian edge of the document's own pixels (blue, green, red, alpha bytes).
// (x, y) is at least one pixel inside the picture.
static bool Raw_Edge_At(const uint8_t* pixels, int64_t w, int64_t x, int64_t y) {
    const uint8_t* centre = pixels + (y * w + x) * 4;
    const int64_t row = w * 4;
    for (int c = 0; c < 3; c++) {
        int32_t sum = centre[-row - 4 + c] + centre[-row + c] + centre[-row + 4 + c] + centre[-4 + c] +
                      centre[4 + c] + centre[row - 4 + c] + centre[row + c] + centre[row + 4 + c];
        int32_t l = 8 * (int32_t)centre[c] - sum;
        if (std::abs(l) > Raw_Edge_Limit) return true;
    }
    return false;
}

// Inner border of a hit region: a hit with at least one non-hit 8-neighbour.
// (x, y) is at least one pixel inside the mask.
static bool Mask_Edge_At(const uint8_t* mask, int64_t w, int64_t x, int64_t y) {
    const uint8_t* centre = mask + y * w + x;
    if (*centre != 1) return false;
    return centre[-w - 1] != 1 || centre[-w] != 1 || centre[-w + 1] != 1 || centre[-1] != 1 || centre[1] != 1 ||
           centre[w - 1] != 1 || centre[w] != 1 || centre[w + 1] != 1;
}

Snap_Result Edge_Snap(float x, float y, int64_t tool) {
    const Snap_Result unsnapped = {x, y, false};
    if (tool >= MTOOL_WIDTH && tool <= MTOOL_AUTO_CIRCLE) return unsnapped;
    if (Current_Job < 0) return unsnapped;
    Job_Slot* slot = Current_Slot();
    if (!slot || !slot->In_Use) return unsnapped;
    const Doc_Info& doc = slot->Doc;
    const int64_t w = doc.Resolution.x, h = doc.Resolution.y;
    if (w < 3 || h < 3) return unsnapped;

    // The edge test reads the document pixels in mode 0 and the hit mask
    // otherwise; a source that does not match the picture's size (the mask
    // before the first processing pass) is not read at all.
    const bool raw = doc.Processing.Mode == 0;
    const uint8_t* source = nullptr;
    if (raw) {
        if (doc.Image_Buffer.size() < (size_t)(w * h * 4)) return unsnapped;
        source = doc.Image_Buffer.data();
    } else {
        if (Hit_Mask_Width != w || Hit_Mask_Height != h || Hit_Mask.size() < (size_t)(w * h)) return unsnapped;
        source = Hit_Mask.data();
    }

    // Truncated toward zero; the range test also rejects NaN and huge values.
    double px = std::trunc((double)x), py = std::trunc((double)y);
    if (!(px >= 1 && px <= (double)(w - 2) && py >= 1 && py <= (double)(h - 2))) return unsnapped;
    const int64_t mx = (int64_t)px, my = (int64_t)py;

    // Candidates stay more than R pixels from the border. The second bound
    // keeps the 3 x 3 reads inside even if the radius changed after the
    // offsets were built.
    const int64_t r = Snap_Radius_In_Use();
    const int64_t lo_x = std::max<int64_t>(r + 1, 1), hi_x = std::min<int64_t>(w - r - 2, w - 2);
    const int64_t lo_y = std::max<int64_t>(r + 1, 1), hi_y = std::min<int64_t>(h - r - 2, h - 2);
    for (const Snap_Offset& o : Snap.Offsets) {
        const int64_t cx = mx + o.dx, cy = my + o.dy;
        if (cx < lo_x || cx > hi_x || cy < lo_y || cy > hi_y) continue;
        bool edge = raw ? Raw_Edge_At(source, w, cx, cy) : Mask_Edge_At(source, w, cx, cy);
        if (edge) return {(float)cx, (float)cy, true};
    }
    return unsnapped;
}

Snap_Result Angle_Snap(float x, float y, float start_x, float start_y) {
    double dy = (double)y - (double)start_y;
    double a = std::atan2(dy, (double)x - (double)start_x) * Degrees_Per_Radian;
    if (a < 0) a += 360.0;
    a = std::fmod(a, 180.0);
    double tolerance = (double)Snap_Tolerance_In_Use();
    // Only the horizontal is snapped, and only within 6 pixels of the row.
    if ((tolerance > a || tolerance > 180.0 - a) && std::fabs(dy) < 6.0) return {x, start_y, true};
    return {x, y, false};
}
