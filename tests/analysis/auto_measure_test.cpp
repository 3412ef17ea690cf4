#include <gtest/gtest.h>

#include <cmath>

#include "analysis/auto_measure.h"
#include "analysis/threshold.h"
#include "analysis_helpers.h"

namespace {

// A 640 x 480 document whose mask holds the 50 x 50 square at columns
// 100..149, rows 200..249 and a bar touching the right and bottom borders.
Doc_Info& Square_Scene() {
    Doc_Info& doc = Make_Document(640, 480);
    Clear_Mask(640, 480);
    Mask_Rect(100, 200, 149, 249);
    Mask_Rect(600, 400, 639, 479);
    return doc;
}

// A recognisable value the document's Measure must keep when nothing is measured.
sMeasurement Sentinel() {
    sMeasurement m;
    m.hfx = -123;
    m.Radius = -7;
    m.Hits = 12.5f;
    m.Hit_Pixels = 77;
    return m;
}

}  // namespace

TEST(Auto_Measure, AxisScansOfTheSquareAndTheGaps) {
    struct Row {
        const char* what;
        int64_t tool;
        float px, py;
        float hfx, htx, hy, vty, vfy, vx, w, h, area;
    } rows[] = {
        {"width", MTOOL_WIDTH, 120, 230, 100, 149, 230, 200, 249, 120, 49, 0, -1},
        {"height", MTOOL_HEIGHT, 120, 230, 100, 149, 230, 200, 249, 120, 0, 49, -1},
        {"axes", MTOOL_AXES, 120, 230, 100, 149, 230, 200, 249, 120, 49, 49, -1},
        {"box", MTOOL_AUTO_BOX, 120, 230, 100, 149, 230, 200, 249, 120, 49, 49, 2401},
        {"corner pixel", MTOOL_AUTO_BOX, 149, 249, 100, 149, 249, 200, 249, 149, 49, 49, 2401},
        {"rounded pointer", MTOOL_AXES, 119.6f, 230.5f, 100, 149, 230, 200, 249, 120, 49, 49, -1},
        // background: the gap between the left border and the square, and the whole column
        {"gap left", MTOOL_AXES, 50, 230, 0, 99, 230, 0, 479, 50, 99, 479, -1},
        // background left of the bar; the column meets nothing
        {"gap between", MTOOL_AXES, 300, 420, 0, 599, 420, 0, 479, 300, 599, 479, -1},
        {"gap above square", MTOOL_AXES, 120, 100, 0, 639, 100, 0, 199, 120, 639, 199, -1},
        // runs reaching the right and bottom borders end at W - 1 and H - 1
        {"bar at borders", MTOOL_AXES, 620, 450, 600, 639, 450, 400, 479, 620, 39, 79, -1},
        {"last pixel", MTOOL_AXES, 639, 479, 600, 639, 479, 400, 479, 639, 39, 79, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Doc_Info& doc = Square_Scene();
        doc.Measure.Hits = 3.25f;
        doc.Measure.Hit_Pixels = 1234;
        Current_Tool = r.tool;
        Pointer_X = r.px;
        Pointer_Y = r.py;
        Live_Measure.Area = -1;
        Auto_Measure();
        const sMeasurement& m = Live_Measure;
        EXPECT_EQ(m.hfx, r.hfx);
        EXPECT_EQ(m.htx, r.htx);
        EXPECT_EQ(m.hfy, r.hy);
        EXPECT_EQ(m.hty, r.hy);
        EXPECT_EQ(m.vfx, r.vx);
        EXPECT_EQ(m.vtx, r.vx);
        EXPECT_EQ(m.vty, r.vty);  // upper end
        EXPECT_EQ(m.vfy, r.vfy);  // lower end
        EXPECT_EQ(m.w, r.w);
        EXPECT_EQ(m.h, r.h);
        EXPECT_EQ(m.Area, r.area);
        // the document gets the whole record with its own hit share
        EXPECT_EQ(m.Hits, 3.25f);
        EXPECT_EQ(m.Hit_Pixels, 1234);
        EXPECT_EQ(doc.Measure.hfx, m.hfx);
        EXPECT_EQ(doc.Measure.vfy, m.vfy);
        EXPECT_EQ(doc.Measure.w, m.w);
        EXPECT_EQ(doc.Measure.Hits, 3.25f);
    }
}

TEST(Auto_Measure, NothingIsMeasuredOffTheImageOrWithAStaleMask) {
    struct Row {
        const char* what;
        float px, py;
        int32_t mask_w;
    } rows[] = {
        {"before the first move", -1, -1, 640}, {"left of the image", -0.6f, 10, 640},
        {"below the image", 10, 479.5f, 640},   {"right of the image", 640, 10, 640},
        {"not a number", NAN, 10, 640},         {"mask of another size", 120, 230, 320},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Doc_Info& doc = Square_Scene();
        if (r.mask_w != 640) Clear_Mask(r.mask_w, 480);
        Current_Tool = MTOOL_AXES;
        doc.Measure = Sentinel();
        Live_Measure = Sentinel();
        Pointer_X = r.px;
        Pointer_Y = r.py;
        Auto_Measure();
        EXPECT_EQ(doc.Measure.hfx, -123);
        EXPECT_EQ(Live_Measure.hfx, -123);
    }
    // and with a manual tool the document still gets the live record
    Doc_Info& doc = Square_Scene();
    doc.Measure = Sentinel();
    Current_Tool = MTOOL_LINE;
    Live_Measure.X_Start = 5;
    Pointer_X = 120;
    Pointer_Y = 230;
    Auto_Measure();
    EXPECT_EQ(doc.Measure.X_Start, 5);
    EXPECT_EQ(doc.Measure.Hits, 12.5f);
}

TEST(Auto_Measure, CircleSearch) {
    struct Row {
        const char* what;
        void (*paint)();
        float px, py;
        bool updates_document;
        float cx, cy, radius, tolerance;
    } rows[] = {
        {"disc at its centre", [] { Mask_Disc(300, 200, 20); }, 300, 200, true, 300, 200, 20, 0.01f},
        {"disc off centre", [] { Mask_Disc(300, 200, 20); }, 295, 205, true, 300, 200, 20, 1.0f},
        {"large disc", [] { Mask_Disc(320, 240, 150); }, 250, 300, true, 320, 240, 150, 1.5f},
        {"disc of 60", [] { Mask_Disc(320, 240, 60); }, 305, 250, true, 320, 240, 60, 1.0f},
        {"60 x 40 rectangle", [] { Mask_Rect(200, 100, 259, 139); }, 230, 120, false, 0, 0, 0, 0},
        {"single pixel", [] { Mask_Rect(50, 50, 50, 50); }, 50, 50, true, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Doc_Info& doc = Make_Document(640, 480);
        Clear_Mask(640, 480);
        r.paint();
        doc.Measure = Sentinel();
        Live_Measure = sMeasurement();
        Current_Tool = MTOOL_AUTO_CIRCLE;
        Pointer_X = r.px;
        Pointer_Y = r.py;
        Auto_Measure();
        const sMeasurement& m = Live_Measure;
        EXPECT_NEAR(m.cx, r.cx, r.tolerance);
        EXPECT_NEAR(m.cy, r.cy, r.tolerance);
        EXPECT_NEAR(m.Radius, r.radius, r.tolerance);
        if (r.radius > 0) {
            // the preview shows the circle's diameters
            EXPECT_FLOAT_EQ(m.hfx, m.cx - m.Radius);
            EXPECT_FLOAT_EQ(m.htx, m.cx + m.Radius);
            EXPECT_FLOAT_EQ(m.vfy, m.cy - m.Radius);
            EXPECT_FLOAT_EQ(m.vty, m.cy + m.Radius);
            EXPECT_FLOAT_EQ(m.hfy, m.cy);
            EXPECT_FLOAT_EQ(m.vfx, m.cx);
        }
        if (r.updates_document) {
            EXPECT_EQ(doc.Measure.Radius, m.Radius);
            EXPECT_EQ(doc.Measure.Hits, 12.5f);
        } else {
            EXPECT_EQ(doc.Measure.hfx, -123);
            EXPECT_EQ(doc.Measure.Radius, -7);
            EXPECT_EQ(m.w, 0);
            EXPECT_EQ(m.h, 0);
            EXPECT_EQ(m.Area, 0);
        }
    }

    // round at the pointer, but the first estimate (121.7, 100) falls beside the
    // upright bar: the re-centred runs (40 x 0) are kept and give no circle
    Doc_Info& doc = Make_Document(640, 480);
    Clear_Mask(640, 480);
    Mask_Rect(100, 100, 140, 100);
    Mask_Rect(130, 80, 130, 120);
    Current_Tool = MTOOL_AUTO_CIRCLE;
    Pointer_X = 130;
    Pointer_Y = 100;
    Auto_Measure();
    EXPECT_EQ(Live_Measure.Radius, 0);
    EXPECT_EQ(Live_Measure.w, 40);
    EXPECT_EQ(Live_Measure.h, 0);
    EXPECT_EQ(Live_Measure.vfx, 122);
    EXPECT_EQ(doc.Measure.vfx, 122);

    // the disc exactly: first fit and final circle both at (300, 200), radius 20,
    // with the scans through the centre spanning 280..320 and 180..220
    Make_Document(640, 480);
    Clear_Mask(640, 480);
    Mask_Disc(300, 200, 20);
    Axis_Scan(300, 200);
    EXPECT_EQ(Live_Measure.hfx, 280);
    EXPECT_EQ(Live_Measure.htx, 320);
    EXPECT_EQ(Live_Measure.vty, 180);
    EXPECT_EQ(Live_Measure.vfy, 220);
}

TEST(Auto_Measure, BlobToolUsesTheFillAndKeepsTheAreaOffObjects) {
    Doc_Info& doc = Square_Scene();
    Current_Tool = MTOOL_BLOB;
    Pointer_X = 120;
    Pointer_Y = 230;
    Auto_Measure();
    EXPECT_EQ(Live_Measure.Area, 2500);
    EXPECT_EQ(Live_Measure.hfx, 100);
    EXPECT_EQ(Live_Measure.vfy, 200);
    EXPECT_EQ(Live_Measure.htx, 150);
    EXPECT_EQ(Live_Measure.vty, 250);
    EXPECT_EQ(doc.Measure.Area, 2500);

    Pointer_X = 300;  // background
    Auto_Measure();
    EXPECT_EQ(Live_Measure.Area, 2500);
    EXPECT_EQ(Live_Measure.hfx, 0);
    EXPECT_EQ(Live_Measure.vfy, 0);
    EXPECT_EQ(Live_Measure.htx, 0);
    EXPECT_EQ(Live_Measure.vty, 0);
    EXPECT_EQ(Live_Measure.w, 0);
    EXPECT_EQ(Live_Measure.h, 0);
}

TEST(Auto_Measure, AxisScanStaysOnTheMask) {
    // tiny and degenerate masks: the walk ends at the borders, and a pixel
    // off the mask writes nothing
    Make_Document(1, 1);
    Clear_Mask(1, 1);
    Live_Measure = sMeasurement();
    Axis_Scan(0, 0);
    EXPECT_EQ(Live_Measure.w, 0);
    EXPECT_EQ(Live_Measure.h, 0);
    Live_Measure.hfx = 9;
    for (int64_t x : {-1, 1}) Axis_Scan(x, 0);
    Axis_Scan(0, 1);
    EXPECT_EQ(Live_Measure.hfx, 9);

    Make_Document(5, 1);
    Clear_Mask(5, 1);
    Hit_Mask = {1, 1, 0, 1, 1};
    Axis_Scan(4, 0);
    EXPECT_EQ(Live_Measure.hfx, 3);
    EXPECT_EQ(Live_Measure.htx, 4);
    EXPECT_EQ(Live_Measure.vty, 0);
    EXPECT_EQ(Live_Measure.vfy, 0);
}
