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

const uint64_t ALL_ONES = 0x0101010101010101ull;
const uint64_t HIGH_BITS = 0x8080808080808080ull;
// The seed stack of a tiny picture still holds a few spans.
const size_t MIN_SEEDS = 16;

// The fill's own work memory, kept for the picture size last filled.
Blob_Work Blob_Fill_Work;
int64_t Blob_Last_Logged = 0;

inline uint64_t Load8(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, 8);
    return v;
}

// Exact: true only when some byte of v is 0.
inline bool Has_Zero_Byte(uint64_t v) { return ((v - ALL_ONES) & ~v & HIGH_BITS) != 0; }

// Last column from x up to `last` that continues the run of hits of `row`
// to the right, eight bytes at a time where it can.
inline int32_t Run_End(const uint8_t* row, int32_t x, int32_t last) {
    while (x + 8 <= last && Load8(row + x + 1) == ALL_ONES) x += 8;
    while (x < last && row[x + 1] == 1) x++;
    return x;
}

// First column from x down to 1 that continues the run of hits to the left.
inline int32_t Run_Start(const uint8_t* row, int32_t x) {
    while (x - 8 >= 1 && Load8(row + x - 8) == ALL_ONES) x -= 8;
    while (x - 1 >= 1 && row[x - 1] == 1) x--;
    return x;
}

// Whether any of cells x0..x1 of a row holds `value`.
inline bool Any_Equal(const uint8_t* row, int32_t x0, int32_t x1, uint8_t value) {
    const uint64_t pattern = value * ALL_ONES;
    int32_t x = x0;
    for (; x + 8 <= x1 + 1; x += 8)
        if (Has_Zero_Byte(Load8(row + x) ^ pattern)) return true;
    for (; x <= x1; x++)
        if (row[x] == value) return true;
    return false;
}

// Sizes the work memory for a w x h picture (a new size gives the old
// memory back) and opens a new generation of the visited grid.
void Prepare_Work(Blob_Work* work, int32_t w, int32_t h) {
    const size_t pixels = (size_t)w * (size_t)h;
    size_t capacity = work->Seed_Capacity;
    if (capacity == 0) capacity = pixels / 16 > MIN_SEEDS ? pixels / 16 : MIN_SEEDS;
    if (work->Width != w || work->Height != h || work->Visited.size() != pixels ||
        work->Pending.size() != (size_t)h) {
        std::vector<uint8_t>(pixels, 0).swap(work->Visited);
        std::vector<uint8_t>((size_t)h, 0).swap(work->Pending);
        work->Width = w;
        work->Height = h;
        work->Generation = 0;
    }
    if (work->Seeds.size() != capacity) std::vector<Blob_Span>(capacity).swap(work->Seeds);
    if (++work->Generation == 0) {
        memset(work->Visited.data(), 0, pixels);
        work->Generation = 1;
    }
}

}  // namespace

// Moves are those of the breadth-first flood: right while x + 1 <= w - 1,
// left while x - 1 >= 1, down while y + 1 <= h - 1, up while y - 1 >= 1. So
// inside the inner rectangle (columns 1..w-1, rows 1..h-1) every step between
// hits is open, and no step leads out of it. Row 0 and column 0 are reached
// only from a start that lies there, along its own row or column. The fill
// takes those first, then floods the inner rectangle by runs: each maximal
// run of hits of a row is marked at once and searches the rows above and
// below over its own columns.
//
// A search that finds the seed stack full flags its row instead. A flagged
// row is searched whole once the stack is empty: each run of hits not yet
// reached joins when a reached cell lies directly above or below it (or, at
// column 1, left of it in column 0). Every run marked leaves a seed or a flag
// for both its neighbour rows, and the fill ends only when neither is left,
// so it reaches what the breadth-first flood reaches, whatever the capacity.
Blob_Extent Blob_Fill_Kernel(const uint8_t* mask, int32_t w, int32_t h, int32_t sx, int32_t sy, Blob_Work* work) {
    Blob_Extent e = {0, sx, sy, sx, sy};
    if (!mask || !work || sx < 0 || sy < 0 || sx >= w || sy >= h) return e;

    Prepare_Work(work, w, h);
    uint8_t* visited = work->Visited.data();
    uint8_t* pending = work->Pending.data();
    Blob_Span* seeds = work->Seeds.data();
    const size_t capacity = work->Seeds.size();
    const uint8_t gen = work->Generation;
    const uint64_t gen_word = gen * ALL_ONES;
    const int32_t last_x = w - 1, last_y = h - 1;
    size_t top = 0;
    int32_t pending_rows = 0;

    auto mark = [&](int32_t y, int32_t x0, int32_t x1) {
        memset(visited + (size_t)y * w + x0, gen, (size_t)(x1 - x0 + 1));
        e.Count += x1 - x0 + 1;
        if (x0 < e.Min_X) e.Min_X = x0;
        if (x1 > e.Max_X) e.Max_X = x1;
        if (y < e.Min_Y) e.Min_Y = y;
        if (y > e.Max_Y) e.Max_Y = y;
    };
    auto push = [&](int32_t y, int32_t x0, int32_t x1) {
        if (top < capacity) {
            seeds[top++] = {y, x0, x1};
        } else if (!pending[y]) {
            pending[y] = 1;
            pending_rows++;
        }
    };
    auto take_run = [&](int32_t y, int32_t x0, int32_t x1) {
        mark(y, x0, x1);
        if (y + 1 <= last_y) push(y + 1, x0, x1);
        if (y - 1 >= 1) push(y - 1, x0, x1);
    };
    // New runs of row y that meet columns x0..x1.
    auto search_span = [&](int32_t y, int32_t x0, int32_t x1) {
        if (x0 < 1) x0 = 1;
        if (x1 > last_x) x1 = last_x;
        const uint8_t* mrow = mask + (size_t)y * w;
        const uint8_t* vrow = visited + (size_t)y * w;
        for (int32_t x = x0; x <= x1;) {
            // Whole words already reached (the row a run came from) or without hits are passed over.
            if (x + 8 <= x1 + 1 && (Load8(vrow + x) == gen_word || Load8(mrow + x) == 0)) {
                x += 8;
                continue;
            }
            if (mrow[x] != 1 || vrow[x] == gen) {
                x++;
                continue;
            }
            // A hit not yet reached: its whole run is new (runs are marked whole).
            const int32_t b = Run_End(mrow, x, last_x);
            take_run(y, Run_Start(mrow, x), b);
            x = b + 2;  // b + 1 is no hit or lies outside
        }
    };
    // The runs of a flagged row (1 <= y) that touch a reached cell.
    auto search_row = [&](int32_t y) {
        const uint8_t* mrow = mask + (size_t)y * w;
        const uint8_t* vrow = visited + (size_t)y * w;
        const uint8_t* above = vrow - w;
        const uint8_t* below = y < last_y ? vrow + w : nullptr;
        for (int32_t x = 1; x <= last_x;) {
            if (x + 8 <= last_x + 1 && (Load8(vrow + x) == gen_word || Load8(mrow + x) == 0)) {
                x += 8;
                continue;
            }
            if (mrow[x] != 1 || vrow[x] == gen) {
                x++;
                continue;
            }
            const int32_t a = Run_Start(mrow, x), b = Run_End(mrow, x, last_x);
            if ((a == 1 && vrow[0] == gen) || Any_Equal(above, a, b, gen) || (below && Any_Equal(below, a, b, gen)))
                take_run(y, a, b);
            x = b + 2;
        }
    };
    auto drain = [&]() {
        while (top > 0) {
            const Blob_Span s = seeds[--top];
            search_span(s.y, s.x0, s.x1);
        }
    };

    // The start's own run of its row; the start counts whatever its byte.
    const uint8_t* srow = mask + (size_t)sy * w;
    take_run(sy, Run_Start(srow, sx), Run_End(srow, sx, last_x));

    // A start in column 0 also runs along its column; each of those cells
    // steps right into the inner rectangle.
    if (sx == 0) {
        for (int32_t step = -1; step <= 1; step += 2) {
            for (int32_t y = sy + step; y >= 1 && y <= last_y && mask[(size_t)y * w] == 1; y += step) {
                mark(y, 0, 0);
                push(y, 1, 1);
            }
        }
    }

    drain();
    while (pending_rows > 0) {
        for (int32_t y = 1; y <= last_y && pending_rows > 0; y++) {
            if (!pending[y]) continue;
            pending[y] = 0;
            pending_rows--;
            search_row(y);
            drain();
        }
    }
    return e;
}

int64_t Blob_Fill(sMeasurement* out, int64_t x, int64_t y) {
    const int64_t w = Hit_Mask_Width, h = Hit_Mask_Height;
    if (x < 0 || y < 0 || x >= w || y >= h || (int64_t)Hit_Mask.size() < w * h) return 0;

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
