// Measuring tools: placing a measurement (Add_Tool), the threshold note, the
// circle through three points, the selection, the arrow-key nudge and
// clearing a document's list.
#pragma once

#include <cstdint>

// Colours of new tools, packed red + green*256 + blue*65536 + alpha*16777216.
extern const int32_t Manual_Tool_Colour;     // 255, 150, 90, 255
extern const int32_t Automatic_Tool_Colour;  // 150, 255, 155, 255

void Add_Tool(int64_t type, int64_t x1, int64_t y1, int64_t x2, int64_t y2, int32_t colour);
// A blob (kind 6) with its bounding box and its pixel count, which the tool keeps.
void Add_Blob_Tool(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int32_t colour, int64_t pixel_count);
void Add_Threshold_Note(float value);
// Centre and radius of the circle through three points (with the slope
// substitutions of the construction: a vertical or horizontal chord counts as
// slope 0.00001). A radius that is not a finite number above 0 means no circle.
void Circle_Through(double x1, double y1, double x2, double y2, double x3, double y3, float* cx, float* cy,
                    float* r);
void Select_Tool(int64_t index);
int64_t Selected_Tool_Index();
void Nudge_Selected(float dx, float dy);
// Asks "Clear all measurements..." / "Are you sure?" and empties the current list on Yes.
void Clear_All_Measurements();
