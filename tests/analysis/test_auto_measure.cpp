#include <gtest/gtest.h>

#include <cmath>

#include "analysis/auto_measure.h"
#include "analysis/threshold.h"
#include "analysis_helpers.h"

namespace {

// 640 x 480 with the 50 x 50 square at columns 100..149, rows 200..249 and a
// bar in the bottom-right corner; the document's Measure holds a marker.
Doc_Info& Square_Scene() {
    Doc_Info& doc = Make_Document(640, 480);
    Clear_Mask(640, 480);
    Mask_Rect(100, 200, 149, 249);
    Mask_Rect(600, 400, 639, 479);
    doc.Measure.hfx = -123;
    doc.Measure.Hits = 12.5f;
    doc.Measure.Hit_Pixels = 77;
    return doc;
}

}  // namespace

TEST(Auto_Measure, AxisScans) {
    // tool, pointer, horizontal run hfx..htx on row hy, vertical run vty..vfy on column vx, w, h,
    // Area (-1 = untouched); tool 0 = pointer off the image, nothing may change
    struct Row {
        int64_t tool;
        float px, py, hfx, htx, hy, vty, vfy, vx, w, h, area;
    } rows[] = {
        {MTOOL_WIDTH, 120, 230, 100, 149, 230, 200, 249, 120, 49, 0, -1},
        {MTOOL_HEIGHT, 120, 230, 100, 149, 230, 200, 249, 120, 0, 49, -1},
        {MTOOL_AXES, 119.6f, 230.5f, 100, 149, 230, 200, 249, 120, 49, 49, -1},  // halves go to even
        {MTOOL_AUTO_BOX, 149, 249, 100, 149, 249, 200, 249, 149, 49, 49, 2401},
        {MTOOL_AXES, 50, 230, 0, 99, 230, 0, 479, 50, 99, 479, -1},       // the gap left of the square
        {MTOOL_AXES, 120, 100, 0, 639, 100, 0, 199, 120, 639, 199, -1},   // the gap above it
        {MTOOL_AXES, 639, 479, 600, 639, 479, 400, 479, 639, 39, 79, -1},  // runs end at W - 1, H - 1
        {MTOOL_LINE, 120, 230, -123, 0, 0, 0, 0, 0, 0, 0, -1},            // manual tool: copied only
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.tool << " at " << r.px << ", " << r.py);
        Doc_Info& doc = Square_Scene();
        Canvas_State canvas = Canvas_View();
        canvas.Live_Measure.hfx = -123;
        canvas.Live_Measure.Area = -1;
        canvas.Current_Tool = r.tool;
        canvas.Pointer_X = r.px, canvas.Pointer_Y = r.py;
        Set_Canvas_State_For_Test(canvas);
        Auto_Measure();
        const sMeasurement& m = Canvas_View().Live_Measure;
        EXPECT_EQ(m.hfx, r.hfx);
        EXPECT_EQ(doc.Measure.hfx, r.hfx);  // the document has the record ...
        EXPECT_EQ(doc.Measure.Hits, 12.5f);  // ... with its own hit share
        EXPECT_EQ(m.Hit_Pixels, 77);
        if (r.tool == MTOOL_LINE) continue;
        EXPECT_EQ(m.htx, r.htx);
        EXPECT_EQ(m.hfy, r.hy);
        EXPECT_EQ(m.hty, r.hy);
        EXPECT_EQ(m.vfx, r.vx);
        EXPECT_EQ(m.vtx, r.vx);
        EXPECT_EQ(m.vty, r.vty);
        EXPECT_EQ(m.vfy, r.vfy);
        EXPECT_EQ(m.w, r.w);
        EXPECT_EQ(m.h, r.h);
        EXPECT_EQ(m.Area, r.area);
    }
    // off the image (before the first move, rounding out, NaN) or with a mask of another size
    const float off[][2] = {{-1, -1}, {-0.6f, 10}, {10, 479.5f}, {640, 10}, {NAN, 10}, {120, 230}};
    for (const auto& p : off) {
        Doc_Info& doc = Square_Scene();
        if (p[0] == 120) Clear_Mask(320, 480);
        Point_Tool_At(MTOOL_AXES, p[0], p[1]);
        Auto_Measure();
        EXPECT_EQ(doc.Measure.hfx, -123) << p[0] << ", " << p[1];
    }
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
        {"60 x 40 rectangle", [] { Mask_Rect(200, 100, 259, 139); }, 230, 120, false, 0, 0, 0, 0},
        {"single pixel", [] { Mask_Rect(50, 50, 50, 50); }, 50, 50, true, 0, 0, 0, 0},
        // the first estimate (140, 120) lies on the right edge: the re-centred horizontal run ends at the
        // pointer column, so one of the four fits has three points on a line and no finite centre
        {"square re-centred onto its edge", [] { Mask_Rect(100, 100, 140, 140); }, 103, 107, true, 0, 0, 0, 0},
        // round at the pointer, but the first estimate (121.7, 100) lies beside the upright bar
        {"offset cross", [] { Mask_Rect(100, 100, 140, 100), Mask_Rect(130, 80, 130, 120); }, 130, 100, true, 0, 0,
         0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Doc_Info& doc = Square_Scene();
        Clear_Mask(640, 480);
        r.paint();
        Point_Tool_At(MTOOL_AUTO_CIRCLE, r.px, r.py);
        Auto_Measure();
        const sMeasurement& m = Canvas_View().Live_Measure;
        EXPECT_NEAR(m.cx, r.cx, r.tolerance);
        EXPECT_NEAR(m.cy, r.cy, r.tolerance);
        EXPECT_NEAR(m.Radius, r.radius, r.tolerance);
        EXPECT_EQ(doc.Measure.hfx == -123, !r.updates_document);
        if (r.radius > 0) {  // the preview shows the circle's diameters
            EXPECT_FLOAT_EQ(m.hfx, m.cx - m.Radius);
            EXPECT_FLOAT_EQ(m.vty, m.cy + m.Radius);
        }
        if (!r.updates_document) {
            EXPECT_EQ(m.w + m.h + m.Area, 0);
        }
    }
    // the re-centred runs of the cross stay: 40 x 0 through column 122
    EXPECT_EQ(Canvas_View().Live_Measure.w, 40);
    EXPECT_EQ(Canvas_View().Live_Measure.h, 0);
    EXPECT_EQ(Canvas_View().Live_Measure.vfx, 122);
}

TEST(Auto_Measure, BlobToolKeepsTheAreaOffObjects) {
    Doc_Info& doc = Square_Scene();
    Point_Tool_At(MTOOL_BLOB, 120, 230);
    Auto_Measure();
    EXPECT_EQ(doc.Measure.Area, 2500);
    EXPECT_EQ(Canvas_View().Live_Measure.htx, 150);
    Point_Tool_At(MTOOL_BLOB, 300, 230);  // background
    Auto_Measure();
    EXPECT_EQ(Canvas_View().Live_Measure.Area, 2500);
    EXPECT_EQ(Canvas_View().Live_Measure.hfx + Canvas_View().Live_Measure.vfy + Canvas_View().Live_Measure.htx + Canvas_View().Live_Measure.vty, 0);
    EXPECT_EQ(Canvas_View().Live_Measure.w + Canvas_View().Live_Measure.h, 0);
}

// Every tool on objects at the last row and column, across column 640 and
// row 480, and in the middle of pictures smaller than, as large as and much
// larger than a live frame.
TEST(Auto_Measure, EveryToolAnywhereOnThePicture) {
    struct Row {
        int64_t tool;
        int32_t w, h;
        float px, py;
        float fields[7];             // hfx, htx, vfy, vty, w, h, Area (-1 = untouched); circle rows: unchecked
        float cx, cy, radius, tolerance;
    } rows[] = {
        {MTOOL_WIDTH, 640, 480, 639, 479, {568, 639, 479, 432, 71, 0, -1}, 0, 0, 0, 0},
        {MTOOL_HEIGHT, 640, 480, 639, 479, {568, 639, 479, 432, 0, 47, -1}, 0, 0, 0, 0},
        {MTOOL_AUTO_BOX, 640, 480, 600, 450, {568, 639, 479, 432, 71, 47, 71 * 47}, 0, 0, 0, 0},
        {MTOOL_BLOB, 640, 480, 639, 479, {568, 640, 432, 480, 71, 47, 72 * 48}, 0, 0, 0, 0},
        {MTOOL_AUTO_CIRCLE, 640, 480, 325, 235, {}, 320, 240, 60, 1},
        {MTOOL_BLOB, 320, 240, 319, 239, {248, 320, 192, 240, 71, 47, 72 * 48}, 0, 0, 0, 0},
        {MTOOL_AXES, 320, 240, 319, 0, {0, 319, 191, 0, 319, 191, -1}, 0, 0, 0, 0},
        {MTOOL_AUTO_CIRCLE, 320, 240, 160, 120, {}, 160, 120, 30, 1},
        {MTOOL_WIDTH, 5472, 3648, 5471, 3647, {5400, 5471, 3647, 3600, 71, 0, -1}, 0, 0, 0, 0},
        {MTOOL_HEIGHT, 5472, 3648, 5471, 3647, {5400, 5471, 3647, 3600, 0, 47, -1}, 0, 0, 0, 0},
        {MTOOL_AUTO_BOX, 5472, 3648, 650, 480, {600, 700, 500, 450, 100, 50, 5000}, 0, 0, 0, 0},
        {MTOOL_BLOB, 5472, 3648, 650, 480, {600, 701, 450, 501, 100, 50, 101 * 51}, 0, 0, 0, 0},
        {MTOOL_BLOB, 5472, 3648, 5471, 3647, {5400, 5472, 3600, 3648, 71, 47, 72 * 48}, 0, 0, 0, 0},
        {MTOOL_AXES, 5472, 3648, 5471, 0, {0, 5471, 3599, 0, 5471, 3599, -1}, 0, 0, 0, 0},
        {MTOOL_AUTO_CIRCLE, 5472, 3648, 2740, 1820, {}, 2736, 1824, 456, 2},
    };
    int32_t scene_w = 0, scene_h = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.tool << " on " << r.w << " x " << r.h << " at " << r.px << ", " << r.py);
        if (r.w != scene_w || r.h != scene_h) {
            // a 72 x 48 block in the bottom-right corner, a disc in the middle and, where it fits, a
            // block across column 640 and row 480
            Make_Document(r.w, r.h);
            Clear_Mask(r.w, r.h);
            Mask_Rect(r.w - 72, r.h - 48, r.w - 1, r.h - 1);
            Mask_Disc(r.w / 2, r.h / 2, r.h / 8);
            if (r.w > 700 && r.h > 500) Mask_Rect(600, 450, 700, 500);
            scene_w = r.w, scene_h = r.h;
        }
        Canvas_State canvas = Canvas_View();
        canvas.Live_Measure.Area = -1;
        Set_Canvas_State_For_Test(canvas);
        Point_Tool_At(r.tool, r.px, r.py);
        Auto_Measure();
        const sMeasurement& m = Canvas_View().Live_Measure;
        if (r.tool == MTOOL_AUTO_CIRCLE) {
            EXPECT_NEAR(m.cx, r.cx, r.tolerance);
            EXPECT_NEAR(m.cy, r.cy, r.tolerance);
            EXPECT_NEAR(m.Radius, r.radius, r.tolerance);
            continue;
        }
        EXPECT_EQ(std::vector<float>({m.hfx, m.htx, m.vfy, m.vty, m.w, m.h, m.Area}),
                  std::vector<float>(r.fields, r.fields + 7));
    }
}
