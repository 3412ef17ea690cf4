// Snapping of the pointer while a manual tool is placed: edge snapping pulls
// the pointer onto the nearest edge pixel within a radius, angle snapping
// levels a nearly horizontal line onto the first point's row.
#pragma once

#include <cstdint>
#include <vector>

// Largest radius the offset table is built for (the table grows with the
// square of the radius); a larger preferences value searches this far only.
const int64_t SNAP_EDGE_RADIUS_MAX = 256;

struct Snap_Offset {
    int32_t dx, dy;   // image pixels from the pointer
    float distance;   // sqrt(dx^2 + dy^2)
};
// The snapping preferences and the search table built from them; only
// snapping.cpp writes it.
struct Snap_State {
    // Search radius in image pixels, also the margin kept from the image border.
    int64_t Edge_Radius = 12;
    float Angle_Tolerance = 3.0f;  // degrees
    // Every offset within the radius, nearest first; equal distances keep their
    // generation order (dx outer from -R, dy inner from -R).
    std::vector<Snap_Offset> Offsets;
};
const Snap_State& Snap_View();
// The preferences' values as read (kept as they are, for saving back); set
// before Prepare_Snap_Offsets.
void Set_Snap_Preferences(int64_t edge_radius, float angle_tolerance);

// The preferences' values as used: the radius within -1..SNAP_EDGE_RADIUS_MAX,
// the tolerance within 0..90 degrees (NaN as 0).
int64_t Snap_Radius_In_Use();
float Snap_Tolerance_In_Use();
// Builds the offsets from the edge radius once at start-up and logs the count.
void Prepare_Snap_Offsets();

struct Snap_Result {
    float X, Y;    // the point, moved or as given
    bool Snapped;
};
// The nearest edge pixel (whole pixels) of the current document to (x, y)
// for a manual tool, or (x, y) unsnapped.
Snap_Result Edge_Snap(float x, float y, int64_t tool);
// (x, start_y) when the line from the first point (start_x, start_y) to
// (x, y) is nearly horizontal, else (x, y) unsnapped.
Snap_Result Angle_Snap(float x, float y, float start_x, float start_y);
