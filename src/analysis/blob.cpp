#include "analysis/blob.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/threshold.h"
#include "base/debug_log.h"
#include "measure/canvas.h"
#include "platform/platform.h"

namespace {

const size_t GRID_CELLS = (size_t)BLOB_GRID_STRIDE * BLOB_GRID_ROWS;
const uint64_t ALL_ONES = 0x0101010101010101ull;

// The fill's own work arrays, made by the first fill and kept.
Blob_Work Blob_Fill_Work;
int64_t Blob_Last_Logged = 0;

inline uint64_t Load8(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, 8);
    return v;
}

// Last column from x (a hit) up to `last` that continues the run of hits of
// `row`, eight bytes at a time where it can.
inline int32_t Run_End(const uint8_t* row, int32_t x, int32_t last) {
    while (x + 8 <= last && Load8(row + x + 1) == ALL_ONES) x += 8;
    while (x < last && row[x + 1] == 1) x++;
    return x;
}

}  // namespace

// Moves are those of the breadth-first flood: right while x + 1 <= last_x,
// left while x - 1 >= 1, down while y + 1 <= last_y, up while y - 1 >= 1. So
// inside the inner rectangle (columns 1..last_x, rows 1..last_y) every step
// between hits is open, and no step leads out of it. The cells outside it
// (row 0, column 0, and column 640 or row 480 of a larger picture) are
// reached only from a start that lies there, along its own row or column.
// The fill takes those first, then floods the inner rectangle by runs: each
// maximal run of hits of a row is marked at once and searches the rows above
// and below over its own columns.
Blob_Extent Blob_Fill_Kernel(const uint8_t* mask, int32_t w, int32_t h, int32_t sx, int32_t sy, Blob_Work* work) {
    Blob_Extent e = {0, sx, sy, sx, sy};
    if (!mask || sx < 0 || sy < 0 || sx >= w || sy >= h || sx > BLOB_AREA_WIDTH || sy > BLOB_AREA_HEIGHT) return e;

    if (work->Visited.size() != GRID_CELLS) {
        work->Visited.assign(GRID_CELLS, 0);
        // Runs cover distinct cells, and each run seeds at most two rows
        // besides the start's column: these never grow during a fill.
        work->Runs.reserve(GRID_CELLS);
        work->Seeds.reserve(2 * GRID_CELLS + BLOB_GRID_ROWS + 8);
    }
    uint8_t* visited = work->Visited.data();
    std::vector<Blob_Span>& seeds = work->Seeds;
    std::vector<Blob_Span>& runs = work->Runs;
    seeds.clear();
    runs.clear();

    const int32_t last_x = w - 1 < BLOB_AREA_WIDTH - 1 ? w - 1 : BLOB_AREA_WIDTH - 1;
    const int32_t last_y = h - 1 < BLOB_AREA_HEIGHT - 1 ? h - 1 : BLOB_AREA_HEIGHT - 1;
    auto hit = [&](int32_t x, int32_t y) { return mask[(int64_t)y * w + x] == 1; };
    auto mark = [&](int32_t y, int32_t x0, int32_t x1) {
        memset(visited + (size_t)y * BLOB_GRID_STRIDE + x0, 1, (size_t)(x1 - x0 + 1));
        runs.push_back({y, x0, x1});
        e.Count += x1 - x0 + 1;
        if (x0 < e.Min_X) e.Min_X = x0;
        if (x1 > e.Max_X) e.Max_X = x1;
        if (y < e.Min_Y) e.Min_Y = y;
        if (y > e.Max_Y) e.Max_Y = y;
    };
    auto seed_neighbour_rows = [&](int32_t y, int32_t x0, int32_t x1) {
        if (y + 1 <= last_y) seeds.push_back({y + 1, x0, x1});
        if (y - 1 >= 1) seeds.push_back({y - 1, x0, x1});
    };

    // The start's own run of its row; the start counts whatever its byte.
    int32_t l = sx, r = sx;
    while (l - 1 >= 1 && hit(l - 1, sy)) l--;
    while (r + 1 <= last_x && hit(r + 1, sy)) r++;
    mark(sy, l, r);
    seed_neighbour_rows(sy, l, r);

    // A start in column 0 or 640 also runs along its column; each of those
    // cells steps sideways into the inner rectangle.
    if (sx < 1 || sx > last_x) {
        for (int32_t step = -1; step <= 1; step += 2) {
            for (int32_t y = sy + step; y >= 1 && y <= last_y && hit(sx, y); y += step) {
                mark(y, sx, sx);
                seeds.push_back({y, sx - 1, sx + 1});
            }
        }
    }

    while (!seeds.empty()) {
        const Blob_Span s = seeds.back();
        seeds.pop_back();
        const int32_t y = s.y;
        const int32_t x1 = s.x1 < last_x ? s.x1 : last_x;
        const uint8_t* mrow = mask + (int64_t)y * w;
        const uint8_t* vrow = visited + (size_t)y * BLOB_GRID_STRIDE;
        for (int32_t x = s.x0 < 1 ? 1 : s.x0; x <= x1;) {
            // Whole words already marked (the row a run came from) or without hits are passed over.
            if (x + 8 <= x1 + 1 && (Load8(vrow + x) == ALL_ONES || Load8(mrow + x) == 0)) {
                x += 8;
                continue;
            }
            if (mrow[x] != 1 || vrow[x]) {
                x++;
                continue;
            }
            // A hit not yet reached: its whole run is new (runs are marked whole).
            int32_t a = x;
            while (a - 1 >= 1 && mrow[a - 1] == 1) a--;
            const int32_t b = Run_End(mrow, x, last_x);
            mark(y, a, b);
            seed_neighbour_rows(y, a, b);
            x = b + 2;  // b + 1 is no hit or lies outside
        }
    }

    // Leave the grid clean for the next fill, touching only what was marked.
    for (const Blob_Span& run : runs)
        memset(visited + (size_t)run.y * BLOB_GRID_STRIDE + run.x0, 0, (size_t)(run.x1 - run.x0 + 1));
    return e;
}

int64_t Blob_Fill(sMeasurement* out, int64_t x, int64_t y) {
    const int64_t w = Hit_Mask_Width, h = Hit_Mask_Height;
    if (x < 0 || y < 0 || x >= w || y >= h || (int64_t)Hit_Mask.size() < w * h) return 0;
    if (x > BLOB_AREA_WIDTH || y > BLOB_AREA_HEIGHT) return 0;

    const float t0 = std::nearbyint(Elapsed_Ms());
    const Blob_Extent e =
        Blob_Fill_Kernel(Hit_Mask.data(), (int32_t)w, (int32_t)h, (int32_t)x, (int32_t)y, &Blob_Fill_Work);
    const int64_t count = e.Count;
    if (count > 1) {
        out->hfx = (float)e.Min_X;
        out->vfy = (float)e.Min_Y;
        out->htx = (float)(e.Max_X + 1);
        out->vty = (float)(e.Max_Y + 1);
        out->w = (float)(e.Max_X - e.Min_X);
        out->h = (float)(e.Max_Y - e.Min_Y);
        if (count != Blob_Last_Logged) {
            Log("Blob - PixelCount: " + std::to_string(count) + ", Time: " +
                std::to_string((int64_t)std::nearbyint(Elapsed_Ms() - t0)) + "ms");
            Blob_Last_Logged = count;
        }
    }
    return count;
}
