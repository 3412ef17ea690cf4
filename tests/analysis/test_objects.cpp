#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/objects.h"

namespace {

const double SQRT2 = std::sqrt(2.0), CUT = 2 - std::sqrt(2.0), PI = 3.14159265358979323846;

struct Mask {
    int32_t w, h;
    std::vector<uint8_t> px;
    uint8_t at(int32_t x, int32_t y) const { return x < 0 || y < 0 || x >= w || y >= h ? 0 : px[(size_t)y * w + x]; }
};

// Rows of '#' (hit) and '.'.
Mask Picture(const std::vector<std::string>& rows) {
    Mask m = {(int32_t)rows[0].size(), (int32_t)rows.size(), {}};
    for (const std::string& r : rows)
        for (char c : r) m.px.push_back(c == '#');
    return m;
}

Mask Blank(int32_t w, int32_t h) { return {w, h, std::vector<uint8_t>((size_t)w * h, 0)}; }
void Rect(Mask* m, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t v = 1) {
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++) m->px[(size_t)y * m->w + x] = v;
}
// Pixels whose centres lie within r of (cx, cy).
void Disc(Mask* m, double cx, double cy, double r, uint8_t v = 1) {
    for (int32_t y = 0; y < m->h; y++)
        for (int32_t x = 0; x < m->w; x++)
            if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r) m->px[(size_t)y * m->w + x] = v;
}

std::vector<Object_Measures> Measure(const Mask& m, const Object_Options& o) {
    Object_Work work;
    std::vector<Object_Measures> out;
    EXPECT_EQ(Measure_Objects(m.px.data(), m.w, m.h, o, &work, &out), OBJECTS_OK);
    return out;
}

Object_Options Connected(int32_t connectivity, bool holes = false) {
    Object_Options o;
    o.Connectivity = connectivity;
    o.Include_Holes = holes;
    return o;
}

// Reference perimeter: the outline of a region (a w x h membership grid)
// followed from its first pixel's top-left corner with the region on the
// right; corners come in chains joined by one-pixel sides, and a chain of k
// corners is cut ceil(k / 2) times (k / 2 when the whole outline is one).
double Traced_Perimeter(const Mask& region, int32_t connectivity) {
    int32_t x0 = -1, y0 = 0;
    for (size_t i = 0; i < region.px.size() && x0 < 0; i++)
        if (region.px[i]) x0 = (int32_t)(i % region.w), y0 = (int32_t)(i / region.w);
    const int32_t dx[4] = {1, 0, -1, 0}, dy[4] = {0, 1, 0, -1};
    std::vector<int32_t> sides;
    int32_t x = x0, y = y0, d = 0, side = 0;
    do {
        x += dx[d], y += dy[d], side++;
        // pixels ahead of the lattice point: right-hand one, then left-hand one
        const int32_t rx = x + (d == 1 || d == 2 ? -1 : 0), ry = y + (d >= 2 ? -1 : 0);
        const int32_t lx = x + (d >= 2 ? -1 : 0), ly = y + (d == 0 || d == 3 ? -1 : 0);
        const bool r = region.at(rx, ry), l = region.at(lx, ly);
        const int32_t nd = l && r ? (d + 3) % 4 : l ? (connectivity == 8 ? (d + 3) % 4 : (d + 1) % 4) : r ? d : (d + 1) % 4;
        if (nd != d) sides.push_back(side), side = 0, d = nd;
    } while (x != x0 || y != y0 || d != 0);
    double length = 0, cuts = 0;
    for (int32_t s : sides) length += s;
    const size_t n = sides.size();
    size_t first_long = n;
    for (size_t i = 0; i < n && first_long == n; i++)
        if (sides[i] > 1) first_long = i;
    if (first_long == n) return length - (double)(n / 2) * CUT;
    int64_t chain = 0;  // corner i ends side i
    for (size_t k = 0; k < n; k++) {
        const size_t i = (first_long + k) % n;
        chain++;
        if (sides[(i + 1) % n] > 1 || k + 1 == n) cuts += (double)((chain + 1) / 2), chain = 0;
    }
    return length - cuts * CUT;
}

// Reference Feret: brute force over every pixel corner (largest distance,
// the smaller angle on ties) and over every pair of corners as a caliper side.
void Brute_Feret(const Mask& region, double* feret, double* angle, double* width) {
    std::vector<std::pair<int32_t, int32_t>> pts;
    for (int32_t y = 0; y <= region.h; y++)
        for (int32_t x = 0; x <= region.w; x++)
            if (const int n = region.at(x - 1, y - 1) + region.at(x, y - 1) + region.at(x - 1, y) + region.at(x, y);
                n > 0 && n < 4)
                pts.push_back({x, y});
    int64_t best = -1;
    *width = INFINITY;
    for (auto& p : pts)
        for (auto& q : pts) {
            const int64_t dx = q.first - p.first, dy = q.second - p.second, d = dx * dx + dy * dy;
            if (d == 0) continue;
            double a = std::atan2((double)-dy, (double)dx) * 180 / PI;
            if (a < 0) a += 180;
            if (a >= 180) a -= 180;
            if (d > best || (d == best && a < *angle)) *angle = a;
            if (d > best) best = d;
            int64_t lo = 0, hi = 0;
            for (auto& r : pts) {
                const int64_t c = dx * (r.second - p.second) - dy * (r.first - p.first);
                lo = std::min(lo, c), hi = std::max(hi, c);
            }
            if (lo == 0 || hi == 0) *width = std::min(*width, (double)(hi - lo) / std::sqrt((double)d));
        }
    *feret = std::sqrt((double)best);
}

}  // namespace

TEST(Objects, LabelsInReadingOrder) {
    struct Row {
        const char* what;
        std::vector<std::string> pic;
        int32_t connectivity;
        std::vector<std::vector<int64_t>> want;  // area, min x, min y, max x, max y
    } rows[] = {
        {"diagonal, 4", {"#..", ".#.", "..#"}, 4, {{1, 0, 0, 0, 0}, {1, 1, 1, 1, 1}, {1, 2, 2, 2, 2}}},
        {"diagonal, 8", {"#..", ".#.", "..#"}, 8, {{3, 0, 0, 2, 2}}},
        {"anti-diagonal, 8", {"..#", ".#.", "#.."}, 8, {{3, 0, 0, 2, 2}}},
        {"squares meeting at a corner, 4", {"##..", "##..", "..##", "..##"}, 4, {{4, 0, 0, 1, 1}, {4, 2, 2, 3, 3}}},
        {"squares sharing a side", {"##.", "###", ".##"}, 4, {{7, 0, 0, 2, 2}}},
        {"every corner", {"#..#", "....", "#..#"}, 8, {{1, 0, 0, 0, 0}, {1, 3, 0, 3, 0}, {1, 0, 2, 0, 2}, {1, 3, 2, 3, 2}}},
        // the object whose first pixel comes first leads, wherever its bulk lies
        {"U joined below", {"#.#.#", "#.#.#", "###.#", "....#", "#####"}, 4, {{7, 0, 0, 2, 2}, {9, 0, 0, 4, 4}}},
        {"comb joined at the bottom", {".#.#.#", ".#.#.#", "######"}, 4, {{12, 0, 0, 5, 2}}},
        {"ring and its hole, 4", {"###", "#.#", "###"}, 4, {{8, 0, 0, 2, 2}}},
        {"full", {"###", "###"}, 4, {{6, 0, 0, 2, 1}}},
        {"empty", {"...", "..."}, 8, {}},
        {"single pixel picture", {"#"}, 4, {{1, 0, 0, 0, 0}}},
        // 8-connected hits leave a 4-connected gap inside that is a hole only under 4
        {"diamond, 8", {".#.", "#.#", ".#."}, 8, {{4, 0, 0, 2, 2}}},
        {"diamond, 4", {".#.", "#.#", ".#."}, 4, {{1, 1, 0, 1, 0}, {1, 0, 1, 0, 1}, {1, 2, 1, 2, 1}, {1, 1, 2, 1, 2}}},
    };
    for (const Row& row : rows) {
        std::vector<std::vector<int64_t>> got;
        for (const Object_Measures& m : Measure(Picture(row.pic), Connected(row.connectivity)))
            got.push_back({m.Area, m.Min_X, m.Min_Y, m.Max_X, m.Max_Y});
        EXPECT_EQ(got, row.want) << row.what;
    }
}

TEST(Objects, ShapeMeasures) {
    const double NO = NAN;  // worked out by the brute-force references instead
    struct Row {
        const char* what;
        Mask mask;
        int32_t connectivity;
        bool holes;
        double area, cx, cy, perimeter, feret, feret_angle, feret_min, major, minor, ellipse_angle;
    };
    Mask square = Blank(20, 20), bar = Blank(20, 20), tall = Blank(20, 20), pixel = Blank(5, 5);
    Mask line = Blank(12, 12), ring = Blank(20, 20), disc = Blank(30, 30), oval = Blank(40, 30);
    Rect(&square, 3, 4, 12, 13);
    Rect(&bar, 0, 19, 7, 19);  // one row on the bottom edge
    Rect(&tall, 19, 2, 19, 6);
    Rect(&pixel, 2, 2, 2, 2);
    for (int32_t i = 0; i < 10; i++) line.px[(size_t)(i + 1) * 12 + i + 1] = 1;
    Rect(&ring, 2, 2, 11, 11);
    Rect(&ring, 5, 5, 8, 8, 0);
    Disc(&disc, 14.5, 15, 9.3);
    Disc(&oval, 20, 15, 8);
    Rect(&oval, 4, 13, 35, 16);
    const Row rows[] = {
        {"10 x 10 square", square, 4, false, 100, 8, 9, 40 - 4 * CUT, 10 * SQRT2, 45, 10, 20 / std::sqrt(PI),
         20 / std::sqrt(PI), 0},
        {"bar on the bottom edge", bar, 4, false, 8, 4, 19.5, 18 - 2 * CUT, std::sqrt(65.0),
         std::atan2(1.0, 8.0) * 180 / PI, 1, 16 / std::sqrt(PI), 2 / std::sqrt(PI), 0},
        {"column on the right edge", tall, 8, false, 5, 19.5, 4.5, 12 - 2 * CUT, std::sqrt(26.0),
         std::atan2(5.0, 1.0) * 180 / PI, 1, 10 / std::sqrt(PI), 2 / std::sqrt(PI), 90},
        {"one pixel", pixel, 4, false, 1, 2.5, 2.5, 4 - 2 * CUT, SQRT2, 45, 1, 2 / std::sqrt(PI), 2 / std::sqrt(PI), 0},
        // down-right is 135 degrees with y up; each one-pixel step of the staircase costs sqrt(2)
        {"diagonal line, 8", line, 8, false, 10, 6, 6, 20 * SQRT2, 10 * SQRT2, 135, SQRT2, NO, NO, 135},
        {"ring without its hole", ring, 4, false, 84, 7, 7, 40 - 4 * CUT, 10 * SQRT2, 45, 10, NO, NO, 0},
        {"ring with its hole", ring, 4, true, 100, 7, 7, 40 - 4 * CUT, 10 * SQRT2, 45, 10, 20 / std::sqrt(PI),
         20 / std::sqrt(PI), 0},
        {"disc", disc, 4, false, NO, 14.5, 15, NO, NO, NO, NO, NO, NO, NO},
        {"disc with a bar through it", oval, 8, false, NO, 20, 15, NO, NO, NO, NO, NO, NO, 0},
    };
    for (const Row& row : rows) {
        const std::vector<Object_Measures> got = Measure(row.mask, Connected(row.connectivity, row.holes));
        ASSERT_EQ(got.size(), 1u) << row.what;
        const Object_Measures& m = got[0];
        // The region as the measures see it, for the references.
        Mask region = row.mask;
        if (row.holes) Rect(&region, m.Min_X, m.Min_Y, m.Max_X, m.Max_Y);  // these holes are boxes
        int64_t n = 0;
        double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
        for (int32_t y = 0; y < region.h; y++)
            for (int32_t x = 0; x < region.w; x++)
                if (region.at(x, y)) n++, sx += x + 0.5, sy += y + 0.5;
        for (int32_t y = 0; y < region.h; y++)
            for (int32_t x = 0; x < region.w; x++)
                if (region.at(x, y)) {
                    const double dx = x + 0.5 - sx / n, dy = y + 0.5 - sy / n;
                    sxx += dx * dx + 1.0 / 12, syy += dy * dy + 1.0 / 12, sxy += dx * dy;
                }
        const double a = sxx / n, b = syy / n, c = sxy / n, root = std::hypot((a - b) / 2, c);
        const double semi = std::sqrt(n / PI * std::sqrt(((a + b) / 2 + root) / ((a + b) / 2 - root)));
        double feret = 0, feret_angle = 0, feret_min = 0;
        Brute_Feret(row.mask, &feret, &feret_angle, &feret_min);
        const double want[] = {std::isnan(row.area) ? (double)n : row.area,
                               row.cx,
                               row.cy,
                               std::isnan(row.perimeter) ? Traced_Perimeter(region, row.connectivity) : row.perimeter,
                               std::isnan(row.feret) ? feret : row.feret,
                               std::isnan(row.feret_angle) ? feret_angle : row.feret_angle,
                               std::isnan(row.feret_min) ? feret_min : row.feret_min,
                               std::isnan(row.major) ? 2 * semi : row.major,
                               std::isnan(row.minor) ? 2 * n / (PI * semi) : row.minor,
                               std::isnan(row.ellipse_angle) ? std::fmod(360 - std::atan2(2 * c, a - b) * 90 / PI, 180)
                                                             : row.ellipse_angle};
        const double have[] = {(double)m.Area, m.Centroid_X, m.Centroid_Y, m.Perimeter, m.Feret, m.Feret_Angle,
                               m.Feret_Min,    m.Major,      m.Minor,      m.Ellipse_Angle};
        const char* names[] = {"area", "cx", "cy", "perimeter", "feret", "feret angle", "feret min", "major", "minor", "angle"};
        for (int i = 0; i < 10; i++) EXPECT_NEAR(have[i], want[i], 1e-6) << row.what << ": " << names[i];
        const double circularity = std::min(1.0, 4 * PI * want[0] / (want[3] * want[3]));
        EXPECT_NEAR(m.Circularity, circularity, 1e-9) << row.what;
    }
}

TEST(Objects, Filters) {
    // A 4 x 4 square on the left edge, a 6 x 6 ring of 20 pixels with a 2 x 2
    // island in its hole, a 9 x 1 bar, and a lone pixel in the bottom-right corner.
    Mask m = Blank(24, 12);
    Rect(&m, 0, 1, 3, 4);
    Rect(&m, 6, 1, 11, 6);
    Rect(&m, 7, 2, 10, 5, 0);
    Rect(&m, 8, 3, 9, 4);
    Rect(&m, 14, 2, 22, 2);
    Rect(&m, 23, 11, 23, 11);
    struct Row {
        const char* what;
        Object_Options o;
        std::vector<int64_t> areas;
    };
    auto with = [](auto set) {
        Object_Options o;
        set(o);
        return o;
    };
    const Row rows[] = {
        {"defaults", Object_Options(), {16, 20, 9, 4, 1}},
        {"min area 5", with([](Object_Options& o) { o.Min_Area = 5; }), {16, 20, 9}},
        {"max area 9", with([](Object_Options& o) { o.Max_Area = 9; }), {9, 4, 1}},
        {"area exactly 9", with([](Object_Options& o) { o.Min_Area = o.Max_Area = 9; }), {9}},
        {"exclude edge", with([](Object_Options& o) { o.Exclude_Edge = true; }), {20, 9, 4}},
        // the hole and the island inside it become part of the ring
        {"include holes", with([](Object_Options& o) { o.Include_Holes = true; }), {16, 36, 9, 1}},
        {"holes, min area 30", with([](Object_Options& o) { o.Include_Holes = true, o.Min_Area = 30; }), {36}},
        // circularities: square 1 (clamped), ring 0.536, bar 0.319, island 1, pixel 1
        {"circularity at most 0.9", with([](Object_Options& o) { o.Max_Circularity = 0.9; }), {20, 9}},
        {"circularity from 0.4", with([](Object_Options& o) { o.Min_Circularity = 0.4; }), {16, 20, 4, 1}},
        {"circularity 1 only", with([](Object_Options& o) { o.Min_Circularity = 1; }), {16, 4, 1}},
        {"nothing fits", with([](Object_Options& o) { o.Min_Area = 10, o.Max_Area = 15; }), {}},
    };
    for (const Row& row : rows) {
        std::vector<int64_t> got;
        for (const Object_Measures& o : Measure(m, row.o)) got.push_back(o.Area);
        EXPECT_EQ(got, row.areas) << row.what;
    }
}

// Random masks against a flood-fill reference: objects, their filled regions
// (what the outside cannot reach through other pixels under the background's
// connectivity), areas, centroids and perimeters. One work record serves
// masks of changing sizes.
TEST(Objects, RandomMasksAgreeWithFloodFill) {
    std::mt19937 rng(7);
    Object_Work work;
    for (int trial = 0; trial < 24; trial++) {
        const int32_t w = 5 + (int32_t)(rng() % 30), h = 3 + (int32_t)(rng() % 20);
        const int32_t conn = trial % 2 ? 8 : 4;
        const bool holes = trial % 4 >= 2;
        Mask mask = Blank(w, h);
        for (uint8_t& p : mask.px) p = rng() % 100 < (uint32_t)(45 + trial);
        // Marks in *seen what (sx, sy) reaches through the pixels set in `pass`.
        auto flood = [](const Mask& pass, int32_t c, int32_t sx, int32_t sy, Mask* seen) {
            std::vector<std::pair<int32_t, int32_t>> stack = {{sx, sy}};
            seen->px[(size_t)sy * seen->w + sx] = 1;
            while (!stack.empty()) {
                auto [x, y] = stack.back();
                stack.pop_back();
                for (int32_t dy = -1; dy <= 1; dy++)
                    for (int32_t dx = -1; dx <= 1; dx++) {
                        const int32_t nx = x + dx, ny = y + dy;
                        if ((c == 4 && dx && dy) || !pass.at(nx, ny) || seen->at(nx, ny)) continue;
                        seen->px[(size_t)ny * seen->w + nx] = 1;
                        stack.push_back({nx, ny});
                    }
            }
        };
        struct Found {
            Mask own, filled;
        };
        std::vector<Found> objects;
        Mask taken = Blank(w, h);
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++) {
                if (!mask.at(x, y) || taken.at(x, y)) continue;
                Found f = {Blank(w, h), Blank(w, h)};
                flood(mask, conn, x, y, &f.own);
                // outside: what a padded border reaches through the pixels not of this object
                Mask open = Blank(w + 2, h + 2), out = Blank(w + 2, h + 2);
                for (int32_t yy = 0; yy < h + 2; yy++)
                    for (int32_t xx = 0; xx < w + 2; xx++) open.px[(size_t)yy * (w + 2) + xx] = !f.own.at(xx - 1, yy - 1);
                flood(open, 12 - conn, 0, 0, &out);
                for (int32_t yy = 0; yy < h; yy++)
                    for (int32_t xx = 0; xx < w; xx++) {
                        f.filled.px[(size_t)yy * w + xx] = !out.at(xx + 1, yy + 1);
                        taken.px[(size_t)yy * w + xx] |= f.own.at(xx, yy);
                    }
                objects.push_back(f);
            }
        // objects inside another one's filled region are part of it when holes count
        std::vector<const Found*> want;
        for (const Found& f : objects) {
            bool inside = false;
            for (const Found& g : objects) {
                if (&g == &f || !holes) continue;
                bool all = true;
                for (size_t p = 0; p < f.own.px.size(); p++) all = all && (!f.own.px[p] || g.filled.px[p]);
                inside = inside || all;
            }
            if (!inside) want.push_back(&f);
        }
        std::vector<Object_Measures> got;
        ASSERT_EQ(Measure_Objects(mask.px.data(), w, h, Connected(conn, holes), &work, &got), OBJECTS_OK);
        ASSERT_EQ(got.size(), want.size()) << "trial " << trial;
        for (size_t i = 0; i < want.size(); i++) {
            const Mask& region = holes ? want[i]->filled : want[i]->own;
            int64_t n = 0;
            double sx = 0, sy = 0;
            for (int32_t y = 0; y < h; y++)
                for (int32_t x = 0; x < w; x++)
                    if (region.at(x, y)) n++, sx += x + 0.5, sy += y + 0.5;
            EXPECT_EQ(got[i].Area, n) << "trial " << trial << " object " << i;
            EXPECT_NEAR(got[i].Centroid_X, sx / n, 1e-9) << "trial " << trial << " object " << i;
            EXPECT_NEAR(got[i].Centroid_Y, sy / n, 1e-9) << "trial " << trial << " object " << i;
            EXPECT_NEAR(got[i].Perimeter, Traced_Perimeter(want[i]->filled, conn), 1e-9) << "trial " << trial << " object " << i;
        }
    }
}

TEST(Objects, BadInputMeasuresNothing) {
    const uint8_t px[4] = {1, 1, 0, 1};
    struct Row {
        const char* what;
        const uint8_t* mask;
        int32_t w, h, connectivity;
        Object_Status want;
    } rows[] = {
        {"connectivity 6", px, 2, 2, 6, OBJECTS_BAD_OPTIONS},
        {"connectivity 0", px, 2, 2, 0, OBJECTS_BAD_OPTIONS},
        {"negative width", px, -2, 2, 4, OBJECTS_BAD_MASK},
        {"negative height", px, 2, -2, 4, OBJECTS_BAD_MASK},
        {"no mask", nullptr, 2, 2, 4, OBJECTS_BAD_MASK},
        {"0 x 0", nullptr, 0, 0, 8, OBJECTS_OK},
        {"0 rows", px, 4, 0, 4, OBJECTS_OK},
    };
    for (const Row& row : rows) {
        Object_Work work;
        std::vector<Object_Measures> out(3);
        EXPECT_EQ(Measure_Objects(row.mask, row.w, row.h, Connected(row.connectivity), &work, &out), row.want)
            << row.what;
        EXPECT_TRUE(out.empty()) << row.what;
    }
}
