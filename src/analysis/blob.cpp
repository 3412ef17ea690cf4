#include "analysis/blob.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/threshold.h"
#include "app/debug_log.h"
#include "measure/canvas.h"
#include "platform/platform.h"

namespace {

struct Blob_Point {
    int32_t x, y;
};

// The visited grid has one column and one row more than the search area, so
// a start pixel in column 640 or row 480 still has a cell.
const int32_t VISIT_STRIDE = BLOB_AREA_WIDTH + 1;
const int32_t VISIT_ROWS = BLOB_AREA_HEIGHT + 1;

// Allocated by the first fill and kept; the visited grid is all 0 between
// fills (each fill clears the box it touched).
std::vector<Blob_Point> Blob_Queue;
std::vector<uint8_t> Blob_Visited;
int64_t Blob_Last_Logged = 0;

}  // namespace

int64_t Blob_Fill(int64_t x, int64_t y) {
    const int64_t w = Hit_Mask_Width, h = Hit_Mask_Height;
    if (x < 0 || y < 0 || x >= w || y >= h || (int64_t)Hit_Mask.size() < w * h) return 0;
    if (x > BLOB_AREA_WIDTH || y > BLOB_AREA_HEIGHT) return 0;

    const float t0 = std::nearbyint(Elapsed_Ms());
    if (Blob_Queue.empty()) {
        // Each cell of the grid is queued at most once, so this never fills up
        // (entry 0 is unused: the queue starts at 1).
        Blob_Queue.resize((size_t)VISIT_STRIDE * VISIT_ROWS + 8);
        Blob_Visited.assign((size_t)VISIT_STRIDE * VISIT_ROWS, 0);
    }
    Blob_Point* queue = Blob_Queue.data();
    uint8_t* visited = Blob_Visited.data();
    const uint8_t* mask = Hit_Mask.data();
    const int64_t queue_last = (int64_t)Blob_Queue.size() - 1;

    // Neighbours must lie inside the image as well as inside the area.
    const int32_t max_y = (int32_t)(h - 1 < BLOB_AREA_HEIGHT - 1 ? h - 1 : BLOB_AREA_HEIGHT - 1);
    const int32_t max_x = (int32_t)(w - 1 < BLOB_AREA_WIDTH - 1 ? w - 1 : BLOB_AREA_WIDTH - 1);

    int64_t count = 0;
    int32_t min_x = 49999, min_y = 49999, top_x = 0, top_y = 0;
    int64_t head = 0, tail = 1;
    queue[1] = {(int32_t)x, (int32_t)y};
    visited[y * VISIT_STRIDE + x] = 1;

    // A pixel is marked when it is queued rather than when it is taken out, so
    // it enters the queue once instead of once per neighbour that reaches it.
    // The pixels reached, and so the count and the box, are the same.
    auto take = [&](int32_t px, int32_t py) {
        uint8_t& cell = visited[py * VISIT_STRIDE + px];
        if (cell || mask[(int64_t)py * w + px] != 1) return;
        cell = 1;
        queue[++tail] = {px, py};
    };

    while (head < tail) {
        head++;
        const int32_t qx = queue[head].x, qy = queue[head].y;
        count++;
        if (qx < min_x) min_x = qx;
        if (qx > top_x) top_x = qx;
        if (qy < min_y) min_y = qy;
        if (qy > top_y) top_y = qy;

        if (tail + 4 > queue_last) continue;  // cannot happen (see the size above)
        if (qy < max_y) take(qx, qy + 1);
        if (qy > 1) take(qx, qy - 1);
        if (qx < max_x) take(qx + 1, qy);
        if (qx > 1) take(qx - 1, qy);
    }

    if (count > 1) {
        Live_Measure.hfx = (float)min_x;
        Live_Measure.vfy = (float)min_y;
        Live_Measure.htx = (float)(top_x + 1);
        Live_Measure.vty = (float)(top_y + 1);
        Live_Measure.w = (float)(top_x - min_x);
        Live_Measure.h = (float)(top_y - min_y);
        if (count != Blob_Last_Logged) {
            Log("Blob - PixelCount: " + std::to_string(count) + ", Time: " +
                std::to_string((int64_t)std::nearbyint(Elapsed_Ms() - t0)) + "ms");
            Blob_Last_Logged = count;
        }
    }

    // Leave the grid clean for the next fill: only the box can hold marks.
    for (int32_t row = min_y; row <= top_y; row++)
        memset(visited + row * VISIT_STRIDE + min_x, 0, (size_t)(top_x - min_x + 1));
    return count;
}
