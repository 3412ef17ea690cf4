#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/blob.h"
#include "analysis/threshold.h"
#include "analysis_helpers.h"

namespace {

struct Blob_Result {
    int64_t count = 0;
    int32_t min_x = 0, min_y = 0, max_x = 0, max_y = 0;
};

// Reference: depth-first flood with an explicit stack over a plain visited
// copy of the mask, following the same move rules (inside the 640 x 480 area
// and the image; never up into row 0 or left into column 0).
Blob_Result Reference_Fill(int32_t sx, int32_t sy) {
    const int32_t w = Hit_Mask_Width, h = Hit_Mask_Height;
    std::vector<uint8_t> seen((size_t)w * h, 0);
    std::vector<std::pair<int32_t, int32_t>> stack = {{sx, sy}};
    seen[(size_t)sy * w + sx] = 1;
    Blob_Result r;
    r.min_x = r.max_x = sx;
    r.min_y = r.max_y = sy;
    auto hit = [&](int32_t x, int32_t y) { return Hit_Mask[(size_t)y * w + x] == 1; };
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        r.count++;
        r.min_x = std::min(r.min_x, x);
        r.max_x = std::max(r.max_x, x);
        r.min_y = std::min(r.min_y, y);
        r.max_y = std::max(r.max_y, y);
        const std::pair<int32_t, int32_t> next[4] = {{x, y + 1}, {x, y - 1}, {x + 1, y}, {x - 1, y}};
        const bool allowed[4] = {y < 479 && y + 1 < h, y > 1, x < 639 && x + 1 < w, x > 1};
        for (int k = 0; k < 4; k++) {
            if (!allowed[k]) continue;
            auto [nx, ny] = next[k];
            if (!hit(nx, ny) || seen[(size_t)ny * w + nx]) continue;
            seen[(size_t)ny * w + nx] = 1;
            stack.push_back(next[k]);
        }
    }
    return r;
}

void Expect_Box(const Blob_Result& want) {
    EXPECT_EQ(Live_Measure.hfx, want.min_x);
    EXPECT_EQ(Live_Measure.vfy, want.min_y);
    EXPECT_EQ(Live_Measure.htx, want.max_x + 1);
    EXPECT_EQ(Live_Measure.vty, want.max_y + 1);
    EXPECT_EQ(Live_Measure.w, want.max_x - want.min_x);
    EXPECT_EQ(Live_Measure.h, want.max_y - want.min_y);
}

}  // namespace

TEST(Blob, CountsAndBoxes) {
    struct Row {
        const char* what;
        int32_t w, h;
        void (*paint)();
        int64_t x, y;
        int64_t count;
        int32_t min_x, min_y, max_x, max_y;
    } rows[] = {
        {"10 x 10 square", 640, 480, [] { Mask_Rect(100, 50, 109, 59); }, 105, 55, 100, 100, 50, 109, 59},
        {"corner-touching, first", 640, 480, [] { Mask_Rect(10, 10, 14, 14); Mask_Rect(15, 15, 19, 19); }, 12, 12,
         25, 10, 10, 14, 14},
        {"corner-touching, second", 640, 480, [] { Mask_Rect(10, 10, 14, 14); Mask_Rect(15, 15, 19, 19); }, 19,
         19, 25, 15, 15, 19, 19},
        // a larger image: the fill stops at column 639 and row 479
        {"cut at 640 / 480", 800, 600, [] { Mask_Rect(600, 400, 700, 550); }, 620, 420, 40 * 80, 600, 400, 639,
         479},
        // rows 0..20: row 0 joins only from a start in row 0
        {"row 0, start in row 10", 640, 480, [] { Mask_Rect(30, 0, 39, 20); }, 35, 10, 10 * 20, 30, 1, 39, 20},
        {"row 0, start in row 0", 640, 480, [] { Mask_Rect(30, 0, 39, 20); }, 35, 0, 10 * 21, 30, 0, 39, 20},
        {"column 0, start inside", 640, 480, [] { Mask_Rect(0, 100, 5, 109); }, 3, 105, 5 * 10, 1, 100, 5, 109},
        {"column 0, start in column 0", 640, 480, [] { Mask_Rect(0, 100, 5, 109); }, 0, 105, 6 * 10, 0, 100, 5,
         109},
        // the whole area: everything but row 0 and column 0
        {"full area", 640, 480, [] { Mask_Rect(0, 0, 639, 479); }, 320, 240, 639 * 479, 1, 1, 639, 479},
        {"full larger image", 1000, 700, [] { Mask_Rect(0, 0, 999, 699); }, 5, 5, 639 * 479, 1, 1, 639, 479},
        // a small image: the image border bounds the fill
        {"small image", 30, 20, [] { Mask_Rect(0, 0, 29, 19); }, 29, 19, 29 * 19, 1, 1, 29, 19},
        // starts just outside the area still have a cell: they step back in,
        // and along their own column or row
        {"start in column 640", 700, 480, [] { Mask_Rect(630, 10, 650, 12); }, 640, 11, 3 + 10 * 3, 630, 10, 640,
         12},
        {"start in row 480", 640, 500, [] { Mask_Rect(10, 470, 12, 490); }, 11, 480, 3 + 3 * 10, 10, 470, 12,
         480},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Make_Document(r.w, r.h);
        Clear_Mask(r.w, r.h);
        r.paint();
        Live_Measure = sMeasurement();
        ASSERT_EQ(Blob_Fill(r.x, r.y), r.count);
        Blob_Result want;
        want.min_x = r.min_x;
        want.min_y = r.min_y;
        want.max_x = r.max_x;
        want.max_y = r.max_y;
        Expect_Box(want);
    }
}

TEST(Blob, SinglePixelsAndStartsOutsideTheArea) {
    struct Row {
        const char* what;
        int32_t w, h;
        int64_t x, y;
        int64_t count;
    } rows[] = {
        {"lone pixel", 640, 480, 200, 200, 1}, {"1 x 1 image", 1, 1, 0, 0, 1},
        {"beyond column 640", 800, 600, 700, 10, 0}, {"beyond row 480", 800, 600, 10, 500, 0},
        {"off the image", 640, 480, 640, 10, 0},    {"negative", 640, 480, -1, 3, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Make_Document(r.w, r.h);
        Clear_Mask(r.w, r.h);
        if (r.x >= 0 && r.x < r.w && r.y >= 0 && r.y < r.h) Hit_Mask[(size_t)r.y * r.w + r.x] = 1;
        Live_Measure = sMeasurement();
        Live_Measure.hfx = Live_Measure.vty = Live_Measure.w = -5;
        EXPECT_EQ(Blob_Fill(r.x, r.y), r.count);
        // the box is written only for blobs of more than one pixel
        EXPECT_EQ(Live_Measure.hfx, -5);
        EXPECT_EQ(Live_Measure.vty, -5);
        EXPECT_EQ(Live_Measure.w, -5);
    }
}

TEST(Blob, MatchesAReferenceFillOnRandomMasks) {
    struct Row {
        int32_t w, h;
        double density;
    } rows[] = {{640, 480, 0.62}, {640, 480, 0.5}, {700, 520, 0.6}, {100, 60, 0.65}, {641, 481, 0.7}, {3, 900, 0.8}};
    std::mt19937 rng(2024);
    for (const Row& r : rows) {
        Make_Document(r.w, r.h);
        Clear_Mask(r.w, r.h);
        std::bernoulli_distribution on(r.density);
        for (uint8_t& m : Hit_Mask) m = on(rng) ? 1 : 0;
        // many fills in a row on the same kept work arrays
        for (int k = 0; k < 40; k++) {
            int32_t x = (int32_t)(rng() % std::min(r.w, 641)), y = (int32_t)(rng() % std::min(r.h, 481));
            if (k % 10 == 0) y = 0;  // starts in row 0 and column 0 move along it
            if (k % 10 == 1) x = 0;
            if (!Hit_Mask[(size_t)y * r.w + x]) continue;
            SCOPED_TRACE(std::to_string(r.w) + " x " + std::to_string(r.h) + " at " + std::to_string(x) + ", " +
                         std::to_string(y));
            const Blob_Result want = Reference_Fill(x, y);
            Live_Measure = sMeasurement();
            ASSERT_EQ(Blob_Fill(x, y), want.count);
            if (want.count > 1) Expect_Box(want);
        }
    }
}

TEST(Blob, LogsOncePerChangeOfTheCount) {
    Make_Document(640, 480);
    Clear_Mask(640, 480);
    Mask_Rect(100, 50, 109, 59);  // 100 pixels
    Mask_Rect(300, 300, 301, 301);  // 4 pixels
    Mask_Rect(400, 400, 400, 400);  // 1 pixel
    Blob_Fill(300, 300);  // whatever earlier tests left, the last count is now 4
    Open_Test_Log();
    const std::pair<int64_t, int64_t> starts[] = {{105, 55}, {100, 50}, {109, 59}, {300, 300},
                                                  {400, 400}, {301, 301}, {105, 55}};
    for (auto [x, y] : starts) Blob_Fill(x, y);
    const std::vector<std::string> lines = Log_Lines();
    const char* counts[] = {"100", "4", "100"};
    ASSERT_EQ(lines.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        const std::string prefix = std::string("Blob - PixelCount: ") + counts[i] + ", Time: ";
        EXPECT_EQ(lines[i].rfind(prefix, 0), 0u) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - 2), "ms") << lines[i];
    }
    Log_Close();
}
