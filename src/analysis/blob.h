// Blob analysis: a four-neighbour flood of the hit mask from a pixel, giving
// the object's pixel count and bounding box. The flood goes by runs of a row
// (scanline fill); it reaches the same pixels as a breadth-first flood that
// moves one pixel at a time.
//
// The flood covers the whole picture. It never steps up into row 0 or left
// into column 0; pixels there join only along row 0 or column 0 from a start
// pixel that lies there. The work memory is sized by the picture (about 1.8
// bytes per pixel) and kept while the size stays, so a fill allocates nothing;
// a fill touches only the cells it reaches, so a small blob costs a small time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/doc_model.h"

// Pixels x0..x1 of row y.
struct Blob_Span {
    int32_t y, x0, x1;
};

// Work memory of the fill, for one picture size at a time.
//
// Visited holds one byte per pixel: the cell is reached in this fill when it
// equals Generation (1..255), which every fill advances, so nothing needs
// clearing after a fill; the grid is cleared whole when the generation wraps.
// Seeds is a stack of spans still to be searched with a fixed capacity:
// Seed_Capacity spans, or a sixteenth of the pixels when it is 0. A seed that
// finds the stack full is dropped and its row flagged in Pending (one byte a
// row, all 0 between fills) to be searched whole later.
struct Blob_Work {
    std::vector<uint8_t> Visited, Pending;
    std::vector<Blob_Span> Seeds;
    int32_t Width = 0, Height = 0;
    uint8_t Generation = 0;
    size_t Seed_Capacity = 0;
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
// measures nothing and returns 0.
int64_t Blob_Fill(sMeasurement* out, int64_t x, int64_t y);

// The fill itself on a w x h mask (rows from the top, 1 = hit) from (x, y),
// with work memory the caller keeps (sized by the first fill of each picture
// size). The start counts whatever its mask byte; a start outside the mask
// gives a count of 0.
Blob_Extent Blob_Fill_Kernel(const uint8_t* mask, int32_t w, int32_t h, int32_t x, int32_t y, Blob_Work* work);
