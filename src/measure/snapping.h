// Snapping of the pointer while a manual tool is placed: edge snapping pulls
// the pointer onto the nearest edge pixel within a radius, angle snapping
// levels a nearly horizontal line onto the first point's row.
#pragma once

#include <cstdint>
#include <vector>

// Search radius in image pixels, also the margin kept from the image border.
// Set from the preferences before Prepare_Snap_Offsets.
extern int64_t Snap_Edge_Radius;      // 12
extern float Snap_Angle_Tolerance;    // degrees, 3.0

// Largest radius the offset table is built for (the table grows with the
// square of the radius); a larger preferences value searches this far only.
const int64_t SNAP_EDGE_RADIUS_MAX = 256;

struct Snap_Offset {
    int32_t dx, dy;   // image pixels from the pointer
    float distance;   // sqrt(dx^2 + dy^2)
};
// Every offset within the radius, nearest first; equal distances keep their
// generation order (dx outer from -R, dy inner from -R).
extern std::vector<Snap_Offset> Snap_Offsets;

extern uint8_t Snapped_To_Edge;   // 1 = the last Edge_Snap moved the pointer onto an edge
extern uint8_t Snapped_To_Angle;  // 1 = the last Angle_Snap levelled the pointer

// The preferences' values as used: the radius within -1..SNAP_EDGE_RADIUS_MAX,
// the tolerance within 0..90 degrees (NaN as 0). The variables keep what was read.
int64_t Snap_Radius_In_Use();
float Snap_Tolerance_In_Use();
// Builds Snap_Offsets from Snap_Edge_Radius once at start-up and logs the count.
void Prepare_Snap_Offsets();
// May move Pointer_X, Pointer_Y onto the nearest edge pixel (whole pixels).
void Edge_Snap();
// May set Pointer_Y to the first point's row when the line is nearly horizontal.
void Angle_Snap();
