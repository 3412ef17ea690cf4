// Blob analysis: a four-neighbour flood of the hit mask from a hit pixel,
// giving the object's pixel count and bounding box. The flood goes by runs of
// a row (scanline fill); it reaches the same pixels as a breadth-first flood
// that moves one pixel at a time.
//
// The flood stays inside the search area of a live frame (columns 0..639,
// rows 0..479) and inside the image. It never steps up into row 0 or left
// into column 0; pixels there join only along row 0 or column 0 from a start
// pixel that lies there. The work arrays are allocated once and kept, and a
// fill clears only the cells it marked, so a small blob costs a small time.
#pragma once

#include <cstdint>
#include <vector>

#include "document/doc_model.h"

const int32_t BLOB_AREA_WIDTH = 640;
const int32_t BLOB_AREA_HEIGHT = 480;
// The visited grid has one column and one row more than the search area, so
// a start pixel in column 640 or row 480 still has a cell.
const int32_t BLOB_GRID_STRIDE = BLOB_AREA_WIDTH + 1;
const int32_t BLOB_GRID_ROWS = BLOB_AREA_HEIGHT + 1;

// Pixels x0..x1 of row y.
struct Blob_Span {
    int32_t y, x0, x1;
};

// Work arrays of the fill. Visited (BLOB_GRID_ROWS x BLOB_GRID_STRIDE bytes,
// 1 = reached) is all 0 between fills; Runs lists the spans a fill marked,
// Seeds the spans of rows still to be searched.
struct Blob_Work {
    std::vector<uint8_t> Visited;
    std::vector<Blob_Span> Seeds, Runs;
};

// Pixel count and the first and last column and row reached.
struct Blob_Extent {
    int64_t Count;
    int32_t Min_X, Min_Y, Max_X, Max_Y;
};

// Floods from (x, y) and returns the pixel count. When the count is above 1
// it writes the box into *out: hfx, vfy = minimum x, y; htx, vty =
// maximum x + 1, y + 1; w, h = maximum - minimum. The first fill of each new
// count logs "Blob - PixelCount: <n>, Time: <ms>ms". A start outside the image
// or beyond column 640 / row 480 measures nothing and returns 0.
int64_t Blob_Fill(sMeasurement* out, int64_t x, int64_t y);

// The fill itself on a w x h mask (rows from the top, 1 = hit) from (x, y),
// with work arrays the caller keeps (empty ones are sized by the first fill).
// The start counts whatever its mask byte; a start outside the mask or beyond
// column 640 / row 480 gives a count of 0.
Blob_Extent Blob_Fill_Kernel(const uint8_t* mask, int32_t w, int32_t h, int32_t x, int32_t y, Blob_Work* work);
