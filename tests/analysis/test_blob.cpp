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

// The breadth-first flood as the fill was first written, on the whole
// picture: one pixel per queue entry, neighbours appended in the order below,
// above, right, left, repeats dropped when they are taken out; it never steps
// up into row 0 or left into column 0.
Box Breadth_First_Fill(const std::vector<uint8_t>& mask, int32_t w, int32_t h, int32_t sx, int32_t sy) {
    std::vector<uint8_t> visited((size_t)w * h, 0);
    std::vector<std::pair<int32_t, int32_t>> queue = {{sx, sy}};
    Box b = {0, 1 << 30, 1 << 30, 0, 0};
    for (size_t head = 0; head < queue.size(); head++) {
        const auto [qx, qy] = queue[head];
        if (visited[(size_t)qy * w + qx]) continue;
        b.count++;
        b.x0 = std::min(b.x0, qx), b.x1 = std::max(b.x1, qx), b.y0 = std::min(b.y0, qy), b.y1 = std::max(b.y1, qy);
        visited[(size_t)qy * w + qx] = 1;
        auto append = [&](int32_t x, int32_t y) {
            if (mask[(size_t)y * w + x] == 1 && !visited[(size_t)y * w + x]) queue.push_back({x, y});
        };
        if (qy < h - 1) append(qx, qy + 1);
        if (qy > 1) append(qx, qy - 1);
        if (qx < w - 1) append(qx + 1, qy);
        if (qx > 1) append(qx - 1, qy);
    }
    return b;
}

Box Reference_Fill(int32_t sx, int32_t sy) {
    return Breadth_First_Fill(Hit_Mask, Hit_Mask_Width, Hit_Mask_Height, sx, sy);
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
        {"across column 640 and row 480", 800, 600, 600, 400, 700, 550, 620, 420, {101 * 151, 600, 400, 700, 550}},
        {"row 0, start in row 10", 640, 480, 30, 0, 39, 20, 35, 10, {10 * 20, 30, 1, 39, 20}},
        {"row 0, start in row 0", 640, 480, 30, 0, 39, 20, 35, 0, {10 * 21, 30, 0, 39, 20}},
        {"column 0, start inside", 640, 480, 0, 100, 5, 109, 3, 105, {5 * 10, 1, 100, 5, 109}},
        {"column 0, start in it", 640, 480, 0, 100, 5, 109, 0, 105, {6 * 10, 0, 100, 5, 109}},
        {"full area", 640, 480, 0, 0, 639, 479, 320, 240, {639 * 479, 1, 1, 639, 479}},
        {"full larger image", 1000, 700, 0, 0, 999, 699, 5, 5, {999 * 699, 1, 1, 999, 699}},
        {"full 20 MP picture", 5472, 3648, 0, 0, 5471, 3647, 2736, 1824, {5471 * 3647, 1, 1, 5471, 3647}},
        {"small image", 30, 20, 0, 0, 29, 19, 29, 19, {29 * 19, 1, 1, 29, 19}},
        {"start in column 640", 700, 480, 630, 10, 650, 12, 640, 11, {21 * 3, 630, 10, 650, 12}},
        {"start in row 480", 640, 500, 10, 470, 12, 490, 11, 480, {3 * 21, 10, 470, 12, 490}},
        {"last row and column", 641, 481, 600, 440, 640, 480, 640, 480, {41 * 41, 600, 440, 640, 480}},
        {"lone pixel", 640, 480, 200, 200, 200, 200, 200, 200, {1, 0, 0, 0, 0}},
        {"1 x 1 image", 1, 1, 0, 0, 0, 0, 0, 0, {1, 0, 0, 0, 0}},
        {"row 0 beyond column 640", 800, 600, 690, 0, 710, 20, 700, 10, {21 * 20, 690, 1, 710, 20}},
        {"column 0 beyond row 480", 800, 600, 0, 490, 20, 510, 10, 500, {20 * 21, 1, 490, 20, 510}},
        {"off the image", 640, 480, 630, 0, 639, 20, 640, 10, {0, 0, 0, 0, 0}},
        {"below the image", 1000, 872, 0, 0, 999, 871, 10, 872, {0, 0, 0, 0, 0}},
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
    } rows[] = {{640, 480, 0.62}, {640, 480, 0.5}, {700, 520, 0.6},  {100, 60, 0.65},
                {641, 481, 0.7},  {3, 900, 0.8},  {1000, 872, 0.58}};
    std::mt19937 rng(2024);
    for (const Row& r : rows) {
        Make_Document(r.w, r.h);
        Clear_Mask(r.w, r.h);
        std::bernoulli_distribution on(r.density);
        for (uint8_t& m : Hit_Mask) m = on(rng);
        for (int k = 0; k < 40; k++) {  // many fills in a row on the kept work arrays
            int32_t x = (int32_t)(rng() % r.w), y = (int32_t)(rng() % r.h);
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

enum Pattern { RANDOM, COMB, SPIRAL, CHECKER, MAZE };

// Masks that make a scanline fill keep many seeds: a serpentine of teeth
// hanging from the top and rising from the bottom, a square spiral, a
// checkerboard crossed by every third row, and a random maze of one-pixel
// passages.
void Paint(std::vector<uint8_t>& mask, int32_t w, int32_t h, Pattern pattern, std::mt19937& rng) {
    auto at = [&](int32_t x, int32_t y) -> uint8_t& { return mask[(size_t)y * w + x]; };
    switch (pattern) {
        case RANDOM: break;
        case COMB:
            for (int32_t x = 0; x < w; x++) at(x, 1) = at(x, h - 1) = 1;
            for (int32_t y = 1; y < h; y++) {
                at(w - 1, y) = 1;
                for (int32_t x = 1; x < w; x += 4) {
                    if (y <= h - 3) at(x, y) = 1;
                    if (x + 2 < w && y >= 3) at(x + 2, y) = 1;
                }
            }
            break;
        case SPIRAL: {
            int32_t x0 = 0, y0 = 0, x1 = w - 1, y1 = h - 1;
            while (x0 <= x1 && y0 <= y1) {
                for (int32_t x = x0; x <= x1; x++) at(x, y0) = 1;
                for (int32_t y = y0; y <= y1; y++) at(x1, y) = 1;
                if (y1 > y0 + 1)
                    for (int32_t x = x0; x <= x1; x++) at(x, y1) = 1;
                if (x1 > x0 + 1)
                    for (int32_t y = y0 + 2; y <= y1; y++) at(x0, y) = 1;
                x0 += 2, y0 += 2, x1 -= 2, y1 -= 2;
                if (x0 <= x1) at(x0 - 1, y0) = 1;  // the step into the next turn
            }
            break;
        }
        case CHECKER:
            for (int32_t y = 0; y < h; y++)
                for (int32_t x = 0; x < w; x++) at(x, y) = (x + y) % 2 == 0 || y % 3 == 0;
            break;
        case MAZE: {
            // cells at odd coordinates, carved by a depth-first walk
            std::vector<std::pair<int32_t, int32_t>> stack = {{1, 1}};
            at(1, 1) = 1;
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                const int32_t dx[4] = {2, -2, 0, 0}, dy[4] = {0, 0, 2, -2};
                int32_t open[4], n = 0;
                for (int k = 0; k < 4; k++)
                    if (x + dx[k] > 0 && x + dx[k] < w && y + dy[k] > 0 && y + dy[k] < h && !at(x + dx[k], y + dy[k]))
                        open[n++] = k;
                if (n == 0) {
                    stack.pop_back();
                    continue;
                }
                const int k = open[rng() % n];
                at(x + dx[k] / 2, y + dy[k] / 2) = at(x + dx[k], y + dy[k]) = 1;
                stack.push_back({x + dx[k], y + dy[k]});
            }
            break;
        }
    }
}

}  // namespace

// The scanline fill against the breadth-first flood from every kind of start
// (the corners and edges of the picture, non-hits, random pixels), many fills
// in a row with the same work memory, with the default seed stack and with
// one so small that the fill must fall back on rescanning flagged rows.
TEST(Blob, KernelEqualsTheBreadthFirstFlood) {
    struct Row {
        int32_t w, h;
        double density;
        uint8_t hit_byte;  // the mask's value for "on"; only 1 is a hit
        Pattern pattern;   // drawn over the random pixels
        size_t seeds;      // seed stack capacity, 0 = the default
    } rows[] = {{640, 480, 0.6, 1, RANDOM, 0},  {641, 481, 0.75, 1, RANDOM, 0}, {700, 520, 0.9, 1, RANDOM, 0},
                {640, 480, 1.0, 1, RANDOM, 0},  {1, 1, 1.0, 1, RANDOM, 0},      {1, 300, 0.9, 1, RANDOM, 0},
                {300, 1, 0.9, 1, RANDOM, 0},    {2, 2, 1.0, 1, RANDOM, 0},      {50, 40, 0.55, 1, RANDOM, 0},
                {640, 480, 0.8, 2, RANDOM, 0},  {1000, 872, 0.6, 1, RANDOM, 0}, {300, 200, 0.6, 1, RANDOM, 1},
                {300, 200, 0.62, 1, RANDOM, 3}, {301, 203, 0, 1, COMB, 0},      {301, 203, 0, 1, COMB, 1},
                {160, 121, 0, 1, SPIRAL, 0},    {160, 121, 0, 1, SPIRAL, 2},    {201, 151, 0, 1, CHECKER, 1},
                {201, 151, 0, 1, MAZE, 0},      {201, 151, 0, 1, MAZE, 1},      {200, 150, 0.3, 1, MAZE, 4},
                {3, 90, 0.7, 1, RANDOM, 1}};
    std::mt19937 rng(77);
    for (const Row& r : rows) {
        Blob_Work work;
        work.Seed_Capacity = r.seeds;
        std::vector<uint8_t> mask((size_t)r.w * r.h, 0);
        std::bernoulli_distribution on(r.density);
        for (uint8_t& m : mask) m = on(rng) ? r.hit_byte : 0;
        Paint(mask, r.w, r.h, r.pattern, rng);
        // the fills below run through the high generations and the wrap
        Blob_Fill_Kernel(mask.data(), r.w, r.h, 0, 0, &work);
        work.Generation = 240;
        const int32_t far_x = r.w - 1, far_y = r.h - 1;
        // corners, the middle of each edge, the first inner pixel, the centre, then random pixels
        std::vector<std::pair<int32_t, int32_t>> starts = {
            {0, 0},         {far_x, 0},     {0, far_y},         {far_x, far_y},
            {far_x / 2, 0}, {0, far_y / 2}, {far_x, far_y / 2}, {far_x / 2, far_y},
            {std::min(far_x, 1), std::min(far_y, 1)},           {far_x / 2, far_y / 2}};
        for (int k = 0; k < 12; k++)
            starts.push_back({(int32_t)(rng() % (far_x + 1)), (int32_t)(rng() % (far_y + 1))});
        for (const auto& [x, y] : starts) {
            SCOPED_TRACE(testing::Message() << r.w << " x " << r.h << " pattern " << r.pattern << " seeds " << r.seeds
                                            << " at " << x << ", " << y);
            const Box want = Breadth_First_Fill(mask, r.w, r.h, x, y);
            const Blob_Extent got = Blob_Fill_Kernel(mask.data(), r.w, r.h, x, y, &work);
            ASSERT_EQ(got.Count, want.count);
            EXPECT_EQ(std::vector<int32_t>({got.Min_X, got.Min_Y, got.Max_X, got.Max_Y}),
                      std::vector<int32_t>({want.x0, want.y0, want.x1, want.y1}));
            ASSERT_EQ(std::count(work.Pending.begin(), work.Pending.end(), 0), (long)work.Pending.size());
        }
        // the procedure on the program's mask gives the same count
        Hit_Mask = mask;
        Hit_Mask_Width = r.w;
        Hit_Mask_Height = r.h;
        EXPECT_EQ(Blob_Fill(&Live_Measure, far_x / 2, far_y / 2), Breadth_First_Fill(mask, r.w, r.h, far_x / 2, far_y / 2).count);
    }
    // starts the flood refuses
    Blob_Work work;
    const std::vector<uint8_t> mask(800 * 600, 1);
    const int32_t refused[][4] = {{800, 600, 800, 10}, {800, 600, 10, 600}, {800, 600, -1, 0}, {640, 480, 640, 0},
                                  {640, 480, 0, 480},  {0, 0, 0, 0}};
    for (const auto& s : refused)
        EXPECT_EQ(Blob_Fill_Kernel(mask.data(), s[0], s[1], s[2], s[3], &work).Count, 0) << s[2] << ", " << s[3];
}

// Objects across column 640 and row 480 and at the last row and column of
// larger pictures, measured whole from starts inside them and on row 0 and
// column 0.
TEST(Blob, ObjectsOnLargePicturesEqualTheBreadthFirstFlood) {
    struct Rect {
        int32_t x0, y0, x1, y1;
    };
    struct Row {
        int32_t w, h;
        std::vector<Rect> rects;
        std::vector<std::pair<int32_t, int32_t>> starts;
    } rows[] = {
        {641, 481, {{600, 440, 640, 480}, {0, 470, 640, 470}}, {{640, 480}, {620, 460}, {0, 470}, {640, 470}}},
        {1000, 872, {{600, 400, 999, 871}, {0, 479, 999, 481}, {639, 0, 641, 871}}, {{700, 500}, {0, 480}, {640, 0}, {999, 871}, {0, 0}}},
        {1000, 872, {{0, 0, 999, 0}, {0, 0, 0, 871}, {998, 0, 999, 871}, {0, 870, 999, 871}}, {{500, 0}, {0, 400}, {999, 871}, {0, 0}}},
        {5472, 3648, {{5000, 3000, 5471, 3647}, {630, 470, 650, 490}, {0, 480, 5471, 480}}, {{5471, 3647}, {640, 480}, {0, 480}, {5471, 0}}},
        {5472, 3648, {{0, 3645, 5471, 3647}, {5469, 0, 5471, 3647}, {0, 0, 5471, 2}, {0, 0, 2, 3647}}, {{2000, 3647}, {0, 0}, {3, 3}, {5471, 1}}},
    };
    Blob_Work work;
    for (const Row& r : rows) {
        std::vector<uint8_t> mask((size_t)r.w * r.h, 0);
        for (const Rect& q : r.rects)
            for (int32_t y = q.y0; y <= q.y1; y++) std::fill_n(&mask[(size_t)y * r.w + q.x0], q.x1 - q.x0 + 1, 1);
        for (const auto& [x, y] : r.starts) {
            SCOPED_TRACE(testing::Message() << r.w << " x " << r.h << " at " << x << ", " << y);
            const Box want = Breadth_First_Fill(mask, r.w, r.h, x, y);
            const Blob_Extent got = Blob_Fill_Kernel(mask.data(), r.w, r.h, x, y, &work);
            EXPECT_EQ(got.Count, want.count);
            EXPECT_EQ(std::vector<int32_t>({got.Min_X, got.Min_Y, got.Max_X, got.Max_Y}),
                      std::vector<int32_t>({want.x0, want.y0, want.x1, want.y1}));
        }
    }
}

// The work memory follows the picture filled: at most two bytes a pixel,
// nothing reallocated by further fills of the same size, given back when the
// size changes; the visited grid stays right across the wrap of its
// generation.
TEST(Blob, WorkMemoryFollowsThePictureSize) {
    const int32_t sizes[][2] = {{640, 480}, {5472, 3648}, {1000, 872}, {641, 481}, {1920, 1080}};
    Blob_Work work;
    for (const auto& size : sizes) {
        const int32_t w = size[0], h = size[1];
        SCOPED_TRACE(testing::Message() << w << " x " << h);
        std::vector<uint8_t> mask((size_t)w * h, 0);
        for (int32_t y = 10; y < 20; y++) std::fill_n(&mask[(size_t)y * w + 10], 10, 1);  // 100 pixels
        for (int32_t y = 30; y < 35; y++) std::fill_n(&mask[(size_t)y * w + w - 5], 5, 1);  // 25
        for (int32_t y = 40; y < 42; y++) std::fill_n(&mask[(size_t)y * w + 30], 2, 1);     // 4
        ASSERT_EQ(Blob_Fill_Kernel(mask.data(), w, h, 15, 15, &work).Count, 100);
        auto bytes = [&] {
            return work.Visited.capacity() + work.Pending.capacity() + work.Seeds.capacity() * sizeof(Blob_Span);
        };
        EXPECT_LE(bytes(), 2 * (size_t)w * h);
        const size_t kept = bytes();
        const void* grid = work.Visited.data();
        const void* seeds = work.Seeds.data();
        // The other two blobs until the generation comes round to that of the
        // first fill, then the first blob again.
        for (int k = 0; k < 300; k++) {
            const bool first = k == 254;
            ASSERT_EQ(Blob_Fill_Kernel(mask.data(), w, h, first ? 12 : k % 2 ? w - 3 : 31, first ? 12 : k % 2 ? 32 : 41,
                                       &work).Count,
                      first ? 100 : k % 2 ? 25 : 4) << k;
        }
        EXPECT_EQ(bytes(), kept);
        EXPECT_EQ(work.Visited.data(), grid);
        EXPECT_EQ(work.Seeds.data(), seeds);
    }
}
