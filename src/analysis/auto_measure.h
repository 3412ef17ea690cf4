// Automatic measurement under the pointer: on every render, the runs of equal
// hit-mask values along the row and the column through the pointer give the
// width, height and box of the object (or of the gap between objects); the
// circle tool fits a circle to them and the blob tool floods the object.
// Results go into the canvas's live measurement and the current document's
// Measure.
#pragma once

#include <cstdint>

#include "document/doc_model.h"

// Largest relative difference of width and height the circle tool accepts.
const double CIRCLE_ROUNDNESS_LIMIT = 0.05;

// Measures with the canvas's current tool at the pointer (rounded to whole pixels); does
// nothing while the pointer is off the image or the mask does not belong to
// the current document's size.
void Auto_Measure();
// Runs through (x, y) into *out: hfx/htx = first/last column of the row's run (hfy =
// hty = y), vty/vfy = first/last row of the column's run (vfx = vtx = x),
// w = htx - hfx, h = vfy - vty. Nothing is written for a pixel off the mask.
void Axis_Scan(sMeasurement* out, int64_t x, int64_t y);
