#include <gtest/gtest.h>

#include <algorithm>

#include "analysis/blob.h"
#include "analysis/threshold.h"
#include "analysis_helpers.h"

namespace {

struct Box {
    int64_t count;
    int32_t x0, y0, x1, y1;  // first and last column and row
};

// Reference: depth-first flood with an explicit stack on its own visited copy,
// with the same moves (inside the 640 x 480 area and the image, never up into
// row 0 or left into column 0).
Box Reference_Fill(int32_t sx, int32_t sy) {
    const int32_t w = Hit_Mask_Width, h = Hit_Mask_Height;
    std::vector<uint8_t> seen((size_t)w * h, 0);
    std::vector<std::pair<int32_t, int32_t>> stack = {{sx, sy}};
    seen[(size_t)sy * w + sx] = 1;
    Box b = {0, sx, sy, sx, sy};
    while (!stack.empty()) {
        auto [x, y] = stack.back();
        stack.pop_back();
        b.count++;
        b.x0 = std::min(b.x0, x), b.x1 = std::max(b.x1, x), b.y0 = std::min(b.y0, y), b.y1 = std::max(b.y1, y);
        const int32_t nx[4] = {x, x, x + 1, x - 1}, ny[4] = {y + 1, y - 1, y, y};
        const bool allowed[4] = {y < 479 && y + 1 < h, y > 1, x < 639 && x + 1 < w, x > 1};
        for (int k = 0; k < 4; k++) {
            const size_t i = (size_t)ny[k] * w + nx[k];
            if (!allowed[k] || !Hit_Mask[i] || seen[i]) continue;
            seen[i] = 1;
            stack.push_back({nx[k], ny[k]});
        }
    }
    return b;
}

// What the fills write into.
sMeasurement Live_Measure;

// The box is written only for blobs of more than one pixel; -5 marks "not written".
void Expect_Box(const Box& b) {
    const sMeasurement& m = Live_Measure;
    const std::vector<float> got = {m.hfx, m.vfy, m.htx, m.vty, m.w, m.h};
    if (b.count > 1) {
        EXPECT_EQ(got, (std::vector<float>{(float)b.x0, (float)b.y0, (float)b.x1 + 1, (float)b.y1 + 1,
                                           (float)(b.x1 - b.x0), (float)(b.y1 - b.y0)}));
    } else {
        EXPECT_EQ(got, std::vector<float>(6, -5));
    }
}
void Mark_Box() {
    Live_Measure.hfx = Live_Measure.vfy = Live_Measure.htx = Live_Measure.vty = Live_Measure.w = Live_Measure.h = -5;
}

}  // namespace

TEST(Blob, CountsAndBoxes) {
    struct Row {
        const char* what;
        int32_t w, h, rx0, ry0, rx1, ry1;  // image and one hit rectangle
        int64_t x, y;                      // start
        Box want;
    } rows[] = {
        {"10 x 10 square", 640, 480, 100, 50, 109, 59, 105, 55, {100, 100, 50, 109, 59}},
        {"cut at 640 / 480", 800, 600, 600, 400, 700, 550, 620, 420, {40 * 80, 600, 400, 639, 479}},
        {"row 0, start in row 10", 640, 480, 30, 0, 39, 20, 35, 10, {10 * 20, 30, 1, 39, 20}},
        {"row 0, start in row 0", 640, 480, 30, 0, 39, 20, 35, 0, {10 * 21, 30, 0, 39, 20}},
        {"column 0, start inside", 640, 480, 0, 100, 5, 109, 3, 105, {5 * 10, 1, 100, 5, 109}},
        {"column 0, start in it", 640, 480, 0, 100, 5, 109, 0, 105, {6 * 10, 0, 100, 5, 109}},
        {"full area", 640, 480, 0, 0, 639, 479, 320, 240, {639 * 479, 1, 1, 639, 479}},
        {"full larger image", 1000, 700, 0, 0, 999, 699, 5, 5, {639 * 479, 1, 1, 639, 479}},
        {"small image", 30, 20, 0, 0, 29, 19, 29, 19, {29 * 19, 1, 1, 29, 19}},
        // starts just outside the area have a cell: they step back in and along their own column or row
        {"start in column 640", 700, 480, 630, 10, 650, 12, 640, 11, {3 + 10 * 3, 630, 10, 640, 12}},
        {"start in row 480", 640, 500, 10, 470, 12, 490, 11, 480, {3 + 3 * 10, 10, 470, 12, 480}},
        {"lone pixel", 640, 480, 200, 200, 200, 200, 200, 200, {1, 0, 0, 0, 0}},
        {"1 x 1 image", 1, 1, 0, 0, 0, 0, 0, 0, {1, 0, 0, 0, 0}},
        {"beyond column 640", 800, 600, 690, 0, 710, 20, 700, 10, {0, 0, 0, 0, 0}},
        {"beyond row 480", 800, 600, 0, 490, 20, 510, 10, 500, {0, 0, 0, 0, 0}},
        {"off the image", 640, 480, 630, 0, 639, 20, 640, 10, {0, 0, 0, 0, 0}},
        {"negative", 640, 480, 0, 0, 5, 5, -1, 3, {0, 0, 0, 0, 0}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Make_Document(r.w, r.h);
        Clear_Mask(r.w, r.h);
        Mask_Rect(r.rx0, r.ry0, r.rx1, r.ry1);
        Mark_Box();
        ASSERT_EQ(Blob_Fill(&Live_Measure, r.x, r.y), r.want.count);
        Expect_Box(r.want);
    }
    // corner-touching squares are two blobs
    Clear_Mask(640, 480);
    Mask_Rect(10, 10, 14, 14);
    Mask_Rect(15, 15, 19, 19);
    EXPECT_EQ(Blob_Fill(&Live_Measure, 12, 12), 25);
    EXPECT_EQ(Blob_Fill(&Live_Measure, 19, 19), 25);
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
        for (uint8_t& m : Hit_Mask) m = on(rng);
        for (int k = 0; k < 40; k++) {  // many fills in a row on the kept work arrays
            int32_t x = (int32_t)(rng() % std::min(r.w, 641)), y = (int32_t)(rng() % std::min(r.h, 481));
            if (k % 10 == 0) y = 0;
            if (k % 10 == 1) x = 0;
            if (!Hit_Mask[(size_t)y * r.w + x]) continue;
            SCOPED_TRACE(testing::Message() << r.w << " x " << r.h << " at " << x << ", " << y);
            const Box want = Reference_Fill(x, y);
            Mark_Box();
            ASSERT_EQ(Blob_Fill(&Live_Measure, x, y), want.count);
            Expect_Box(want);
        }
    }
}

TEST(Blob, LogsOncePerChangeOfTheCount) {
    Make_Document(640, 480);
    Clear_Mask(640, 480);
    Mask_Rect(100, 50, 109, 59);    // 100 pixels
    Mask_Rect(300, 300, 301, 301);  // 4
    Mask_Rect(400, 400, 400, 400);  // 1: never logged
    Blob_Fill(&Live_Measure, 300, 300);            // whatever earlier tests left, the last count is now 4
    Open_Test_Log();
    const int64_t starts[][2] = {{105, 55}, {100, 50}, {109, 59}, {300, 300}, {400, 400}, {301, 301}, {105, 55}};
    for (const auto& s : starts) Blob_Fill(&Live_Measure, s[0], s[1]);
    const std::vector<std::string> lines = Log_Lines();
    const char* counts[] = {"100", "4", "100"};
    ASSERT_EQ(lines.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(lines[i].rfind(std::string("Blob - PixelCount: ") + counts[i] + ", Time: ", 0), 0u) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - 2), "ms");
    }
    Log_Close();
}

namespace {

// The breadth-first flood as the fill was first written: one pixel per queue
// entry, neighbours appended in the order below, above, right, left, repeats
// dropped when they are taken out, a visited grid of 481 x 641 cells. (Each
// pixel enters the queue at most once per neighbour, and once as the start.)
Box Breadth_First_Fill(const std::vector<uint8_t>& mask, int32_t w, int32_t h, int32_t sx, int32_t sy) {
    static std::vector<std::pair<int32_t, int32_t>> queue;  // kept: most of it is never touched
    if (queue.size() < 4 * mask.size() + 8) queue.resize(4 * mask.size() + 8);
    std::vector<uint8_t> visited(641 * 481, 0);
    Box b = {0, 49999, 49999, 0, 0};
    int64_t head = 0, tail = 1;
    queue[1] = {sx, sy};
    while (head < tail) {
        head++;
        const auto [qx, qy] = queue[head];
        if (visited[qy * 641 + qx]) continue;
        b.count++;
        b.x0 = std::min(b.x0, qx), b.x1 = std::max(b.x1, qx), b.y0 = std::min(b.y0, qy), b.y1 = std::max(b.y1, qy);
        visited[qy * 641 + qx] = 1;
        auto append = [&](int32_t x, int32_t y) {
            if (x < w && y < h && mask[(size_t)y * w + x] == 1 && !visited[y * 641 + x]) queue[++tail] = {x, y};
        };
        if (qy < 479) append(qx, qy + 1);
        if (qy > 1) append(qx, qy - 1);
        if (qx < 639) append(qx + 1, qy);
        if (qx > 1) append(qx - 1, qy);
    }
    return b;
}

}  // namespace

// The scanline fill against the breadth-first flood from every kind of start
// (the corners and edges of the area and of the grid, non-hits, random
// pixels), on many fills in a row with the same work arrays: the visited grid
// is clean after each and the arrays never grow after the first.
TEST(Blob, KernelEqualsTheBreadthFirstFlood) {
    struct Row {
        int32_t w, h;
        double density;
        uint8_t hit_byte;  // the mask's value for "on"; only 1 is a hit
    } rows[] = {{640, 480, 0.6, 1}, {641, 481, 0.75, 1}, {700, 520, 0.9, 1}, {640, 480, 1.0, 1},
                {1, 1, 1.0, 1},     {1, 300, 0.9, 1},    {300, 1, 0.9, 1},   {2, 2, 1.0, 1},
                {50, 40, 0.55, 1},  {640, 480, 0.8, 2}};
    std::mt19937 rng(77);
    Blob_Work work;
    size_t seeds_capacity = 0, runs_capacity = 0;
    for (const Row& r : rows) {
        std::vector<uint8_t> mask((size_t)r.w * r.h, 0);
        std::bernoulli_distribution on(r.density);
        for (uint8_t& m : mask) m = on(rng) ? r.hit_byte : 0;
        const int32_t far_x = std::min(r.w - 1, 640), far_y = std::min(r.h - 1, 480);
        // corners, the middle of each edge, the first inner pixel, the centre, then random pixels
        std::vector<std::pair<int32_t, int32_t>> starts = {
            {0, 0},         {far_x, 0},     {0, far_y},         {far_x, far_y},
            {far_x / 2, 0}, {0, far_y / 2}, {far_x, far_y / 2}, {far_x / 2, far_y},
            {std::min(far_x, 1), std::min(far_y, 1)},           {far_x / 2, far_y / 2}};
        for (int k = 0; k < 12; k++)
            starts.push_back({(int32_t)(rng() % (far_x + 1)), (int32_t)(rng() % (far_y + 1))});
        for (const auto& [x, y] : starts) {
            SCOPED_TRACE(testing::Message() << r.w << " x " << r.h << " at " << x << ", " << y);
            const Box want = Breadth_First_Fill(mask, r.w, r.h, x, y);
            const Blob_Extent got = Blob_Fill_Kernel(mask.data(), r.w, r.h, x, y, &work);
            ASSERT_EQ(got.Count, want.count);
            EXPECT_EQ(std::vector<int32_t>({got.Min_X, got.Min_Y, got.Max_X, got.Max_Y}),
                      std::vector<int32_t>({want.x0, want.y0, want.x1, want.y1}));
            ASSERT_EQ(std::count(work.Visited.begin(), work.Visited.end(), 0), (long)work.Visited.size());
            if (seeds_capacity == 0) seeds_capacity = work.Seeds.capacity(), runs_capacity = work.Runs.capacity();
            EXPECT_EQ(work.Seeds.capacity(), seeds_capacity);
            EXPECT_EQ(work.Runs.capacity(), runs_capacity);
            // the procedure on the program's mask gives the same count
            Hit_Mask = mask;
            Hit_Mask_Width = r.w;
            Hit_Mask_Height = r.h;
            EXPECT_EQ(Blob_Fill(&Live_Measure, x, y), want.count);
        }
    }
    // starts the flood refuses
    const std::vector<uint8_t> mask(800 * 600, 1);
    const int32_t refused[][4] = {{800, 600, 641, 10}, {800, 600, 10, 481}, {800, 600, -1, 0}, {640, 480, 640, 0},
                                  {640, 480, 0, 480},  {0, 0, 0, 0}};
    for (const auto& s : refused)
        EXPECT_EQ(Blob_Fill_Kernel(mask.data(), s[0], s[1], s[2], s[3], &work).Count, 0) << s[2] << ", " << s[3];
}
