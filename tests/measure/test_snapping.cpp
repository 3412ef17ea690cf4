// Edge snapping on the hit mask and on raw pixels, the border margin, and
// levelling nearly horizontal lines.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "analysis/threshold.h"
#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "measure/snapping.h"
#include "platform/platform_null.h"

namespace {

const int32_t W = 200, H = 200;

// Frozen document 1, current, in analysis mode `mode`, with a matching empty mask.
void Open_Snap_Document(uint8_t mode, int32_t w = W, int32_t h = H) {
    Jobs[1].In_Use = 1;
    Allocate_Image(&Jobs[1], w, h);
    Jobs[1].Doc.Processing.Mode = mode;
    Make_Current_Job(1);
    Hit_Mask.assign((size_t)w * (size_t)h, 0);
    Hit_Mask_Width = w;
    Hit_Mask_Height = h;
}

void Fill_Mask(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++) Hit_Mask[(size_t)y * Hit_Mask_Width + x] = 1;
}

// The last snap's result, and what the next one starts from.
float Pointer_X, Pointer_Y;
int Snapped_To_Edge, Snapped_To_Angle;
int64_t Current_Tool;
float Start_X, Start_Y;

void Snap_From(float x, float y) {
    Snap_Result r = Edge_Snap(x, y, Current_Tool);
    Pointer_X = r.X;
    Pointer_Y = r.Y;
    Snapped_To_Edge = r.Snapped ? 1 : 0;
}

void Level_From(float x, float y, float start_x) {
    Snap_Result r = Angle_Snap(x, y, start_x, Start_Y);
    Pointer_X = r.X;
    Pointer_Y = r.Y;
    Snapped_To_Angle = r.Snapped ? 1 : 0;
}

class Snapping : public ::testing::Test {
  protected:
    void SetUp() override {
        Null_Reset();
        Reset_Jobs();
        Reset_Canvas_State();
        Current_Tool = MTOOL_LINE;
        Set_Snap_Preferences(12, 3.0f);
        Prepare_Snap_Offsets();
    }
    void TearDown() override {
        Hit_Mask.clear();
        Hit_Mask_Width = Hit_Mask_Height = 0;
        Log_Close();
    }
};

TEST_F(Snapping, OffsetTableOrderAndCount) {
    struct Row {
        int64_t radius;
        size_t count;
    } rows[] = {{0, 1}, {1, 5}, {2, 13}, {3, 29}, {5, 81}, {12, 441}, {-3, 0}};
    for (const Row& r : rows) {
        Set_Snap_Preferences(r.radius, 3.0f);
        Prepare_Snap_Offsets();
        const std::vector<Snap_Offset>& Snap_Offsets = Snap_View().Offsets;
        ASSERT_EQ(Snap_Offsets.size(), r.count) << r.radius;
        for (size_t i = 1; i < Snap_Offsets.size(); i++) {
            EXPECT_LE(Snap_Offsets[i - 1].distance, Snap_Offsets[i].distance) << r.radius << " at " << i;
            EXPECT_LE(Snap_Offsets[i].distance, (float)r.radius);
        }
    }
    Set_Snap_Preferences(12, 3.0f);
    const std::vector<Snap_Offset>& Snap_Offsets = Snap_View().Offsets;
    ASSERT_TRUE(Log_Open(::testing::TempDir()));
    Prepare_Snap_Offsets();
    // Equal distances keep the generation order: dx outer, dy inner, both from -R.
    const int32_t expected[5][2] = {{0, 0}, {-1, 0}, {0, -1}, {0, 1}, {1, 0}};
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(Snap_Offsets[i].dx, expected[i][0]) << i;
        EXPECT_EQ(Snap_Offsets[i].dy, expected[i][1]) << i;
    }
    EXPECT_EQ(Snap_Offsets[5].dx, -1);  // then the diagonals, same order
    EXPECT_EQ(Snap_Offsets[5].dy, -1);
    Log_Flush();
    std::ifstream in(Log_File_Path(), std::ios::binary);
    std::stringstream log;
    log << in.rdbuf();
    EXPECT_NE(log.str().find("Snap to edge -  Point Count: 441\r\n"), std::string::npos);
}

// A nonsense preference must not exhaust memory, wrap around in 32 bits or
// overflow the border margin: the radius in use is -1..256, the variable
// keeps its value (it is saved back as read).
TEST_F(Snapping, OutOfRangeRadiusIsLimited) {
    struct Row {
        int64_t radius;
        int64_t in_use;
    } rows[] = {{1000000, SNAP_EDGE_RADIUS_MAX},
                {INT64_MAX, SNAP_EDGE_RADIUS_MAX},
                {-4294967000LL, -1},  // 296 in the low 32 bits
                {INT64_MIN, -1},
                {-1, -1}};
    for (const Row& r : rows) {
        Set_Snap_Preferences(r.radius, 3.0f);
        Prepare_Snap_Offsets();
        const std::vector<Snap_Offset>& Snap_Offsets = Snap_View().Offsets;
        EXPECT_EQ(Snap_View().Edge_Radius, r.radius);
        EXPECT_EQ(Snap_Radius_In_Use(), r.in_use);
        if (r.in_use < 0) {
            EXPECT_TRUE(Snap_Offsets.empty()) << r.radius;
        } else {
            ASSERT_FALSE(Snap_Offsets.empty()) << r.radius;
            EXPECT_EQ(Snap_Offsets.back().distance, (float)SNAP_EDGE_RADIUS_MAX);
        }
        // The margin follows the radius in use: on 600 x 600 pixels a point
        // 257 .. 342 from the left can still snap with the largest radius.
        Open_Snap_Document(2, 600, 600);
        Fill_Mask(280, 280, 320, 320);
        Snap_From(300, 270);
        EXPECT_EQ(Snapped_To_Edge, r.in_use < 0 ? 0 : 1) << r.radius;
        EXPECT_EQ(Pointer_Y, r.in_use < 0 ? 270.0f : 280.0f) << r.radius;
        Open_Snap_Document(2);  // 200 x 200: all of it within the margin
        Fill_Mask(100, 100, 149, 149);
        Snap_From(95.7f, 120.2f);
        EXPECT_EQ(Snapped_To_Edge, 0) << r.radius;
    }
}

TEST_F(Snapping, MaskSquareBorder) {
    Open_Snap_Document(2);
    Fill_Mask(100, 100, 149, 149);
    struct Row {
        float x, y;
        bool snaps;
        float to_x, to_y;
    } rows[] = {
        {95.7f, 120.2f, true, 100, 120},   // nearest border pixel
        {125, 125, false, 125, 125},       // middle: the border is 24 away
        {100, 120, true, 100, 120},        // already on it
        {155.9f, 155.5f, true, 149, 149},  // off the corner, distance sqrt(72)
        {80, 120, false, 80, 120},         // 20 away
        {112, 130, true, 100, 130},        // just within R from inside
        {113, 130, false, 113, 130},       // 13 from the left border, 36 from the right
    };
    for (const Row& r : rows) {
        Snap_From(r.x, r.y);
        EXPECT_EQ(Snapped_To_Edge, r.snaps ? 1 : 0) << r.x << "," << r.y;
        EXPECT_EQ(Pointer_X, r.to_x) << r.x << "," << r.y;
        EXPECT_EQ(Pointer_Y, r.to_y) << r.x << "," << r.y;
    }
}

TEST_F(Snapping, NoSnapForAutomaticToolsOrWithoutUsableData) {
    Open_Snap_Document(2);
    Fill_Mask(100, 100, 149, 149);
    for (int64_t tool = MTOOL_WIDTH; tool <= MTOOL_AUTO_CIRCLE; tool++) {
        Current_Tool = tool;
        Snap_From(95.7f, 120.2f);
        EXPECT_EQ(Snapped_To_Edge, 0) << tool;
        EXPECT_EQ(Pointer_X, 95.7f) << tool;
    }
    for (int64_t tool : {MTOOL_LINE, MTOOL_BOX, MTOOL_CIRCLE}) {
        Current_Tool = tool;
        Snap_From(95.7f, 120.2f);
        EXPECT_EQ(Snapped_To_Edge, 1) << tool;
    }

    // A mask of another size (processing has not run yet) is not read.
    std::vector<uint8_t> stale(50 * 50, 1);
    Hit_Mask = stale;
    Hit_Mask_Width = Hit_Mask_Height = 50;
    Snap_From(95.7f, 120.2f);
    EXPECT_EQ(Snapped_To_Edge, 0);
    // A mask whose size fields claim more than it holds is not read either.
    Hit_Mask.assign(10, 1);
    Hit_Mask_Width = W;
    Hit_Mask_Height = H;
    Snap_From(95.7f, 120.2f);
    EXPECT_EQ(Snapped_To_Edge, 0);

    Open_Snap_Document(2);
    Fill_Mask(100, 100, 149, 149);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float odd[][2] = {{nan, 120}, {120, nan}, {-1e30f, 120}, {1e30f, 1e30f}, {0.5f, 0.5f}, {199, 199}};
    for (const auto& p : odd) {
        Snap_From(p[0], p[1]);
        EXPECT_EQ(Snapped_To_Edge, 0) << p[0] << "," << p[1];
    }

    Make_Current_Job(-1);
    Snap_From(95.7f, 120.2f);
    EXPECT_EQ(Snapped_To_Edge, 0);
    EXPECT_EQ(Pointer_X, 95.7f);
}

// Candidates must lie more than R pixels inside on every side: with W = H =
// 200 and R = 12 that is 13 ... 186.
TEST_F(Snapping, BorderMarginIsNeverSnappedInto) {
    struct Row {
        int32_t x0, y0, x1, y1;  // hit rectangle
        float px, py;
        bool snaps;
        float to_x, to_y;
    } rows[] = {
        {13, 0, 199, 199, 16, 100, true, 13, 100},    // left border of the region at 13
        {12, 0, 199, 199, 15, 100, false, 15, 100},   // at 12: in the margin
        {0, 0, 186, 199, 183, 100, true, 186, 100},   // right border at 186
        {0, 0, 187, 199, 184, 100, false, 184, 100},  // at 187: in the margin
        {0, 13, 199, 199, 100, 16, true, 100, 13},    // top
        {0, 12, 199, 199, 100, 15, false, 100, 15},
        {0, 0, 199, 186, 100, 183, true, 100, 186},   // bottom
        {0, 0, 199, 187, 100, 184, false, 100, 184},
    };
    for (const Row& r : rows) {
        Open_Snap_Document(1);
        Fill_Mask(r.x0, r.y0, r.x1, r.y1);
        Snap_From(r.px, r.py);
        EXPECT_EQ(Snapped_To_Edge, r.snaps ? 1 : 0) << r.x0 << "," << r.y0 << "-" << r.x1 << "," << r.y1;
        EXPECT_EQ(Pointer_X, r.to_x) << r.x0 << "," << r.y0 << "-" << r.x1 << "," << r.y1;
        EXPECT_EQ(Pointer_Y, r.to_y) << r.x0 << "," << r.y0 << "-" << r.x1 << "," << r.y1;
    }

    // Pictures smaller than 2R + 3 never snap; at 2R + 3 only the centre column/row is searched.
    struct Size_Row {
        int32_t size;
        bool snaps;
    } sizes[] = {{26, false}, {27, true}, {3, false}, {1, false}, {0, false}};
    for (const Size_Row& s : sizes) {
        Open_Snap_Document(1, s.size, s.size);
        if (s.size > 0) Fill_Mask(s.size / 2, 0, s.size - 1, s.size - 1);
        Snap_From(s.size / 2.0f + 1, s.size / 2.0f);
        EXPECT_EQ(Snapped_To_Edge, s.snaps ? 1 : 0) << s.size;
    }
}

// Mode 0: a vertical step from black to `value` in one channel starting at
// column 110. The columns 109 and 110 have |L| = 3 x value.
TEST_F(Snapping, RawPixelLaplacian) {
    struct Row {
        int byte;  // 0 blue, 1 green, 2 red, 3 alpha
        uint8_t value;
        bool snaps;
    } rows[] = {
        {2, 71, true}, {1, 71, true}, {0, 71, true}, {2, 70, false}, {0, 70, false}, {3, 255, false},
        {2, 255, true},
    };
    for (const Row& r : rows) {
        Open_Snap_Document(0);
        std::vector<uint8_t>& px = Jobs[1].Doc.Image_Buffer;
        for (int32_t y = 0; y < H; y++)
            for (int32_t x = 0; x < W; x++) {
                uint8_t* p = &px[((size_t)y * W + x) * 4];
                p[3] = r.byte == 3 ? 0 : 255;  // the alpha row steps from 0 to 255
                if (x >= 110) p[r.byte] = r.value;
            }
        // A hit mask full of borders must not matter in mode 0.
        for (size_t i = 0; i < Hit_Mask.size(); i += 2) Hit_Mask[i] = 1;
        Snap_From(105.5f, 100.5f);
        EXPECT_EQ(Snapped_To_Edge, r.snaps ? 1 : 0) << "byte " << r.byte << " value " << (int)r.value;
        EXPECT_EQ(Pointer_X, r.snaps ? 109.0f : 105.5f) << "byte " << r.byte << " value " << (int)r.value;
        EXPECT_EQ(Pointer_Y, r.snaps ? 100.0f : 100.5f);
    }
    // A document without pixels is not read.
    Open_Snap_Document(0);
    Jobs[1].Doc.Image_Buffer.clear();
    Snap_From(105.5f, 100.5f);
    EXPECT_EQ(Snapped_To_Edge, 0);
}

TEST_F(Snapping, AngleSnapLevelsNearlyHorizontalLines) {
    Open_Snap_Document(0);
    Start_X = 100;
    Start_Y = 200;
    struct Row {
        float x, y;
        bool snaps;
    } rows[] = {
        {300, 203, true},     // 0.86 degrees, 3 rows off
        {300, 210, false},    // 2.86 degrees but 10 rows off
        {0, 202, true},       // to the left: 178.85, 1.15 from horizontal
        {300, 194.5f, true},  // above: 358.4 -> 178.4
        {150, 203, false},    // 3.43 degrees
        {300, 206, false},    // 6 rows off is not below 6
        {100, 203, false},    // vertical lines are not snapped
        {100, 200, true},     // on the first point
    };
    for (const Row& r : rows) {
        Level_From(r.x, r.y, Start_X);
        EXPECT_EQ(Snapped_To_Angle, r.snaps ? 1 : 0) << r.x << "," << r.y;
        EXPECT_EQ(Pointer_Y, r.snaps ? 200.0f : r.y) << r.x << "," << r.y;
        EXPECT_EQ(Pointer_X, r.x);
    }
    // The tolerance in use is 0..90 degrees (NaN as 0), whatever was read.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Tolerance {
        float read, in_use;
        bool snaps_at_3_43;
    } tolerances[] = {{4.0f, 4.0f, true}, {1e30f, 90.0f, true}, {inf, 90.0f, true},
                      {-5.0f, 0.0f, false}, {nan, 0.0f, false}, {-inf, 0.0f, false}};
    for (const Tolerance& t : tolerances) {
        Set_Snap_Preferences(12, t.read);
        EXPECT_EQ(Snap_Tolerance_In_Use(), t.in_use) << t.read;
        Level_From(150, 203, Start_X);
        EXPECT_EQ(Snapped_To_Angle, t.snaps_at_3_43 ? 1 : 0) << t.read;
    }
}

// On the live picture the first point follows the stage: first point at
// x = 100 with the stage at 50, stage now at 80, so the start is x = 70.
TEST_F(Snapping, AngleSnapUsesStageCompensatedStart) {
    Jobs[0].In_Use = 1;
    Allocate_Image(&Jobs[0], W, H);
    Make_Current_Job(0);
    Canvas_State canvas = Canvas_View();
    canvas.Live_Measure.X_Start = 100;
    canvas.Live_Measure.Y_Start = Start_Y = 200;
    canvas.First_Point_Stage = 50;
    Set_Canvas_State_For_Test(canvas);
    Stage_Zero = 0;
    Stage_Position = 80;
    // 2.29 degrees from (70, 200); 5.7 from (100, 200)
    Level_From(120, 202, Stage_Compensated_Start_X());
    EXPECT_EQ(Snapped_To_Angle, 1);
    EXPECT_EQ(Pointer_Y, 200.0f);

    Make_Current_Job(1);  // a frozen document does not compensate
    Open_Snap_Document(0);
    Level_From(120, 202, Stage_Compensated_Start_X());
    EXPECT_EQ(Snapped_To_Angle, 0);
    EXPECT_EQ(Pointer_Y, 202.0f);
}

}  // namespace
