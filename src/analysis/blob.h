// Blob analysis: a breadth-first four-neighbour flood of the hit mask from a
// hit pixel, giving the object's pixel count and bounding box.
//
// The flood stays inside the search area of a live frame (columns 0..639,
// rows 0..479) and inside the image. It never steps up into row 0 or left
// into column 0; pixels there join only along row 0 or column 0 from a start
// pixel that lies there. The work arrays are allocated once and kept.
#pragma once

#include <cstdint>

const int32_t BLOB_AREA_WIDTH = 640;
const int32_t BLOB_AREA_HEIGHT = 480;

// Floods from (x, y) and returns the pixel count. When the count is above 1
// it writes the box into Live_Measure: hfx, vfy = minimum x, y; htx, vty =
// maximum x + 1, y + 1; w, h = maximum - minimum. The first fill of each new
// count logs "Blob - PixelCount: <n>, Time: <ms>ms". A start outside the image
// or beyond column 640 / row 480 measures nothing and returns 0.
int64_t Blob_Fill(int64_t x, int64_t y);
