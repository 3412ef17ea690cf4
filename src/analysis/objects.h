// Object analysis: every connected object of a hit mask measured at once.
//
// The mask is split into runs (maximal stretches of equal bytes of a row),
// hit runs and background runs alike; runs of the same kind that touch are
// joined by union-find, hits under the chosen connectivity and background
// under the other one (4 with 8, 8 with 4), so that every background
// component that does not reach the picture's edge is enclosed by exactly one
// object: its hole. Sums over runs give the area and the moments in closed
// form, the run ends give the hull; the outer outline is followed on the mask.
//
// Conventions (pixel (i, j) covers i..i+1, j..j+1 from the top-left corner):
// - centroid: mean of the pixel centres;
// - perimeter: the outer outline along pixel edges, with its corners cut by
//   2 - sqrt(2) except every second one of a run of one-pixel sides (a
//   staircase step costs sqrt(2)); the outlines of holes never count, with or
//   without holes;
// - circularity: 4 pi area / perimeter^2, at most 1;
// - Feret: over the corners of the object's pixels (their convex hull);
// - ellipse: the axis ratio and angle of the second central moments of the
//   pixel squares, scaled so that the ellipse has the object's area;
// - angles in degrees 0 <= a < 180, counter-clockwise from the x axis with y up.
// With holes included, an object is its filled outer outline: holes and any
// objects inside them belong to it, and those inner objects are not listed
// on their own.
//
// Depends on the standard library only.
#pragma once

#include <cstdint>
#include <vector>

const int64_t OBJECT_AREA_UNLIMITED = INT64_MAX;

struct Object_Options {
    int32_t Connectivity = 4;  // of the hits: 4 or 8
    int64_t Min_Area = 1;      // pixels, inclusive
    int64_t Max_Area = OBJECT_AREA_UNLIMITED;
    double Min_Circularity = 0.0, Max_Circularity = 1.0;  // inclusive
    bool Exclude_Edge = false;   // drop objects with a pixel in the first or last row or column
    bool Include_Holes = false;  // measure the filled outer outline
};

// Lengths in pixels, areas in pixels, positions from the top-left corner.
struct Object_Measures {
    int64_t Area;
    int32_t Min_X, Min_Y, Max_X, Max_Y;  // first and last column and row
    double Centroid_X, Centroid_Y;
    double Perimeter, Circularity;
    double Feret, Feret_Angle, Feret_Min;
    double Major, Minor, Ellipse_Angle;
};

// One stretch of equal bytes: columns X0..X1 of its row.
struct Object_Run {
    int32_t X0, X1;
    int32_t Hit;  // 1 = hits
};

// Per connected component (hits and background), in reading order of the
// component's first pixel.
struct Object_Component {
    int32_t First_Run;
    int32_t Parent;  // enclosing component, or -1 (a background touching the edge, or none above)
    int32_t Depth;   // 0 = background touching the edge
    int32_t Hit, Edge;
    int32_t Min_X, Min_Y, Max_X, Max_Y;
    int64_t Count, Sum_X, Sum_Y, Sum_XX, Sum_YY, Sum_XY;  // over pixel indices, not centres
};

// Work memory kept by the caller: after a call on a mask of the same size
// and content class, the next call allocates nothing.
struct Object_Work {
    std::vector<Object_Run> Runs;  // all rows, rows from the top
    std::vector<int32_t> Row_Start;  // h + 1 entries into Runs
    std::vector<int32_t> Link;     // union-find over runs, then the component of each run
    std::vector<Object_Component> Components;
    std::vector<int32_t> Object_Runs, Object_Run_Start;  // hit runs grouped by component
    std::vector<int32_t> Row_Min, Row_Max;
    std::vector<int64_t> Points, Hull;  // x, y pairs
    std::vector<int32_t> Sides;         // side lengths along an outline, corner to corner
};

enum Object_Status { OBJECTS_OK = 0, OBJECTS_BAD_MASK = 1, OBJECTS_BAD_OPTIONS = 2 };

// Measures every object of a w x h mask (one byte per pixel, rows from the
// top, nonzero = hit) that passes the options' filters, in reading order of
// the object's first pixel, into *out (emptied first). A 0-pixel mask gives
// no objects; a negative size, a missing mask or a connectivity other than 4
// or 8 gives an error and no objects.
Object_Status Measure_Objects(const uint8_t* mask, int32_t w, int32_t h, const Object_Options& options,
                              Object_Work* work, std::vector<Object_Measures>* out);
