#include "analysis/objects.h"

#include <climits>
#include <cmath>
#include <cstring>

namespace {

const uint64_t ALL_ONES = 0x0101010101010101ull;
const double CORNER_CUT = 2.0 - 1.4142135623730951;
const double PI = 3.14159265358979323846;

inline uint64_t Load8(const uint8_t* p) {
    uint64_t v;
    memcpy(&v, p, 8);
    return v;
}

// Sum of k^2 for k = 0..n (0 for n = -1).
inline int64_t Sum_Squares(int64_t n) { return n * (n + 1) * (2 * n + 1) / 6; }

inline int32_t Find(std::vector<int32_t>& link, int32_t i) {
    while (link[i] != i) {
        link[i] = link[link[i]];
        i = link[i];
    }
    return i;
}

// The smaller run index stays the root, so a component's root is its first
// run in reading order.
inline void Unite(std::vector<int32_t>& link, int32_t a, int32_t b) {
    a = Find(link, a);
    b = Find(link, b);
    if (a < b)
        link[b] = a;
    else if (b < a)
        link[a] = b;
}

// Splits every row into runs of hits and of background; Link starts as one
// set per run.
void Split_Runs(const uint8_t* mask, int32_t w, int32_t h, Object_Work* work) {
    std::vector<Object_Run>& runs = work->Runs;
    runs.clear();
    work->Row_Start.resize((size_t)h + 1);
    for (int32_t y = 0; y < h; y++) {
        work->Row_Start[y] = (int32_t)runs.size();
        const uint8_t* row = mask + (int64_t)y * w;
        int32_t x = 0;
        while (x < w) {
            const int32_t hit = row[x] != 0;
            int32_t e = x + 1;
            if (hit) {
                while (e + 8 <= w && Load8(row + e) == ALL_ONES) e += 8;
                while (e < w && row[e] != 0) e++;
            } else {
                while (e + 8 <= w && Load8(row + e) == 0) e += 8;
                while (e < w && row[e] == 0) e++;
            }
            runs.push_back({x, e - 1, hit});
            x = e;
        }
    }
    work->Row_Start[h] = (int32_t)runs.size();
}

// Joins the runs of each row with those of the row above: hits under their
// connectivity, background under the other one.
void Join_Runs(int32_t h, int32_t hit_connectivity, Object_Work* work) {
    const std::vector<Object_Run>& runs = work->Runs;
    std::vector<int32_t>& link = work->Link;
    link.resize(runs.size());
    for (size_t i = 0; i < runs.size(); i++) link[i] = (int32_t)i;
    for (int32_t y = 1; y < h; y++) {
        const int32_t top_end = work->Row_Start[y], bottom_end = work->Row_Start[y + 1];
        int32_t p = work->Row_Start[y - 1];
        for (int32_t b = top_end; b < bottom_end; b++) {
            const Object_Run& B = runs[b];
            const bool diagonal = (B.Hit ? hit_connectivity : 12 - hit_connectivity) == 8;
            while (p < top_end && runs[p].X1 + 1 < B.X0) p++;
            for (int32_t q = p; q < top_end && runs[q].X0 <= B.X1 + 1; q++) {
                const Object_Run& T = runs[q];
                if (T.Hit != B.Hit) continue;
                if (!diagonal && (T.X0 > B.X1 || B.X0 > T.X1)) continue;
                Unite(link, q, b);
            }
        }
    }
}

// Numbers the components in reading order (Link then holds each run's
// component) and sums each one's runs.
void Collect_Components(int32_t w, int32_t h, Object_Work* work) {
    const std::vector<Object_Run>& runs = work->Runs;
    std::vector<int32_t>& link = work->Link;
    std::vector<Object_Component>& comps = work->Components;
    comps.clear();
    for (size_t i = 0; i < link.size(); i++) link[i] = Find(link, (int32_t)i);
    for (int32_t y = 0; y < h; y++) {
        for (int32_t i = work->Row_Start[y]; i < work->Row_Start[y + 1]; i++) {
            const Object_Run& r = runs[i];
            // Roots come before their runs, and a root's entry already holds its component.
            if (link[i] == i) {
                Object_Component c = {};
                c.First_Run = i;
                c.Hit = r.Hit;
                c.Min_X = r.X0, c.Max_X = r.X1, c.Min_Y = c.Max_Y = y;
                comps.push_back(c);
                link[i] = (int32_t)comps.size() - 1;
            } else {
                link[i] = link[link[i]];
            }
            Object_Component& c = comps[link[i]];
            const int64_t n = r.X1 - r.X0 + 1, sx = ((int64_t)r.X0 + r.X1) * n / 2;
            c.Count += n;
            c.Sum_X += sx;
            c.Sum_Y += n * y;
            c.Sum_XX += Sum_Squares(r.X1) - Sum_Squares((int64_t)r.X0 - 1);
            c.Sum_YY += n * y * y;
            c.Sum_XY += sx * y;
            if (r.X0 < c.Min_X) c.Min_X = r.X0;
            if (r.X1 > c.Max_X) c.Max_X = r.X1;
            c.Max_Y = y;
            if (y == 0 || y == h - 1 || r.X0 == 0 || r.X1 == w - 1) c.Edge = 1;
        }
    }
}

// The component enclosing each one is the one just above its first pixel
// (that pixel is of the other kind, and adjacent either way); a background
// that reaches the edge encloses nothing and is enclosed by nothing.
void Link_Parents(Object_Work* work) {
    const std::vector<Object_Run>& runs = work->Runs;
    for (Object_Component& c : work->Components) {
        c.Parent = -1;
        c.Depth = c.Hit;
        if ((!c.Hit && c.Edge) || c.Min_Y == 0) continue;
        const int32_t x = runs[c.First_Run].X0;
        int32_t lo = work->Row_Start[c.Min_Y - 1], hi = work->Row_Start[c.Min_Y] - 1;
        while (lo < hi) {  // last run of the row above that starts at or before x
            const int32_t mid = (lo + hi + 1) / 2;
            if (runs[mid].X0 <= x)
                lo = mid;
            else
                hi = mid - 1;
        }
        c.Parent = work->Link[lo];
        c.Depth = work->Components[c.Parent].Depth + 1;
    }
}

// Adds every hole, and what lies in it, to the object around it. Children
// come after their parents in reading order.
void Fill_Holes(Object_Work* work) {
    std::vector<Object_Component>& comps = work->Components;
    for (size_t k = comps.size(); k-- > 0;) {
        const Object_Component& c = comps[k];
        if (c.Parent < 0) continue;
        Object_Component& p = comps[c.Parent];
        p.Count += c.Count;
        p.Sum_X += c.Sum_X;
        p.Sum_Y += c.Sum_Y;
        p.Sum_XX += c.Sum_XX;
        p.Sum_YY += c.Sum_YY;
        p.Sum_XY += c.Sum_XY;
    }
}

// Length of the outer outline of the object whose first pixel is (x0, y0),
// followed along pixel edges with the object on the right (clockwise on
// screen), from that pixel's top-left corner. A corner is cut by 2 - sqrt(2)
// unless the corner before it was cut and the side between them is one pixel
// long: so a one-pixel step of a staircase costs sqrt(2), and a lone pixel
// 4 - 2 (2 - sqrt(2)). Where two pixels meet only at a corner, 8-connected
// objects go on across it and 4-connected ones turn away.
double Trace_Perimeter(const uint8_t* mask, int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t connectivity,
                       std::vector<int32_t>* sides) {
    // Per direction (right, down, left, up on screen): the step, and the
    // pixels ahead on the left and on the right of the lattice point reached.
    static const int32_t STEP[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    static const int32_t AHEAD_LEFT[4][2] = {{0, -1}, {0, 0}, {-1, 0}, {-1, -1}};
    static const int32_t AHEAD_RIGHT[4][2] = {{0, 0}, {-1, 0}, {-1, -1}, {0, -1}};
    auto hit = [&](int32_t x, int32_t y) { return x >= 0 && y >= 0 && x < w && y < h && mask[(int64_t)y * w + x] != 0; };
    sides->clear();
    int32_t x = x0, y = y0, d = 0, side = 0;
    int64_t length = 0;
    do {
        x += STEP[d][0], y += STEP[d][1];
        side++;
        const bool left = hit(x + AHEAD_LEFT[d][0], y + AHEAD_LEFT[d][1]);
        const bool right = hit(x + AHEAD_RIGHT[d][0], y + AHEAD_RIGHT[d][1]);
        int32_t turn = 0;
        if (left && (right || connectivity == 8))
            turn = 3;
        else if (!right || left)
            turn = 1;
        if (turn) {
            sides->push_back(side);
            length += side;
            side = 0;
            d = (d + turn) & 3;
        }
    } while (x != x0 || y != y0 || d != 0);
    // Corner i ends side i. Start after a long side, where a corner is always cut.
    const int32_t corners = (int32_t)sides->size();
    int32_t start = -1;
    for (int32_t i = 0; i < corners && start < 0; i++)
        if ((*sides)[i] > 1) start = i;
    int64_t cut = 0;
    if (start < 0) {
        cut = corners / 2;
    } else {
        bool last_cut = false;
        for (int32_t k = 0; k < corners; k++) {
            const int32_t i = (start + k) % corners;
            last_cut = (*sides)[i] > 1 || !last_cut;
            cut += last_cut;
        }
    }
    return (double)length - (double)cut * CORNER_CUT;
}

// Hit runs grouped by component, each group in reading order.
void Group_Object_Runs(Object_Work* work) {
    const std::vector<int32_t>& comp_of = work->Link;
    std::vector<int32_t>& start = work->Object_Run_Start;
    std::vector<int32_t>& list = work->Object_Runs;
    start.assign(work->Components.size() + 1, 0);
    int32_t hits = 0;
    for (size_t i = 0; i < work->Runs.size(); i++)
        if (work->Runs[i].Hit) start[comp_of[i] + 1]++, hits++;
    for (size_t k = 1; k < start.size(); k++) start[k] += start[k - 1];
    list.resize((size_t)hits);
    // start[k] runs ahead while placing; it ends at the next group's start.
    for (size_t i = 0; i < work->Runs.size(); i++)
        if (work->Runs[i].Hit) list[start[comp_of[i]]++] = (int32_t)i;
    for (size_t k = start.size() - 1; k > 0; k--) start[k] = start[k - 1];
    start[0] = 0;
}

inline int64_t Cross(const int64_t* o, const int64_t* a, const int64_t* b) {
    return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]);
}

// Degrees 0 <= a < 180 of the direction dx, dy (y down), counter-clockwise with y up.
double Direction_Degrees(double dx, double dy) {
    double a = std::atan2(-dy, dx) * 180.0 / PI;
    if (a < 0) a += 180.0;
    if (a >= 180.0) a -= 180.0;
    return a + 0.0;  // never -0
}

// Feret measures over the convex hull of the corners of component k's pixels.
// On each lattice line only the leftmost and the rightmost corner can be on
// the hull, which gives the points already sorted by y, then x.
void Measure_Feret(int32_t k, Object_Work* work, Object_Measures* m) {
    const Object_Component& c = work->Components[k];
    const int32_t rows = c.Max_Y - c.Min_Y + 1;
    work->Row_Min.assign((size_t)rows, INT32_MAX);
    work->Row_Max.assign((size_t)rows, -1);
    // The grouped runs are in reading order; the row goes along with them.
    int32_t y = c.Min_Y;
    for (int32_t i = work->Object_Run_Start[k]; i < work->Object_Run_Start[k + 1]; i++) {
        const int32_t run = work->Object_Runs[i];
        while (run >= work->Row_Start[y + 1]) y++;
        const Object_Run& r = work->Runs[run];
        const int32_t row = y - c.Min_Y;
        if (r.X0 < work->Row_Min[row]) work->Row_Min[row] = r.X0;
        if (r.X1 > work->Row_Max[row]) work->Row_Max[row] = r.X1;
    }
    std::vector<int64_t>& pts = work->Points;
    pts.clear();
    for (int32_t line = 0; line <= rows; line++) {
        int32_t lo = INT32_MAX, hi = -1;
        for (int32_t row = line - 1; row <= line; row++) {
            if (row < 0 || row >= rows) continue;
            if (work->Row_Min[row] < lo) lo = work->Row_Min[row];
            if (work->Row_Max[row] > hi) hi = work->Row_Max[row];
        }
        const int64_t ly = (int64_t)c.Min_Y + line;
        pts.push_back(lo), pts.push_back(ly);
        pts.push_back((int64_t)hi + 1), pts.push_back(ly);
    }
    // Monotone chain; collinear points are dropped.
    const int32_t n = (int32_t)(pts.size() / 2);
    std::vector<int64_t>& hull = work->Hull;
    hull.resize((size_t)4 * n + 4);
    int32_t count = 0;
    for (int32_t pass = 0; pass < 2; pass++) {
        const int32_t floor = count + 1;
        for (int32_t j = 0; j < n; j++) {
            const int32_t i = pass == 0 ? j : n - 2 - j;
            if (i < 0) break;
            const int64_t* p = &pts[(size_t)2 * i];
            while (count >= (pass == 0 ? 2 : floor) &&
                   Cross(&hull[(size_t)2 * (count - 2)], &hull[(size_t)2 * (count - 1)], p) <= 0)
                count--;
            hull[(size_t)2 * count] = p[0];
            hull[(size_t)2 * count + 1] = p[1];
            count++;
        }
    }
    count--;  // the last point repeats the first

    int64_t best = -1;
    for (int32_t i = 0; i < count; i++) {
        for (int32_t j = i + 1; j < count; j++) {
            const int64_t dx = hull[2 * j] - hull[2 * i], dy = hull[2 * j + 1] - hull[2 * i + 1];
            const int64_t d = dx * dx + dy * dy;
            if (d < best) continue;
            const double angle = Direction_Degrees((double)dx, (double)dy);
            if (d > best || angle < m->Feret_Angle) m->Feret_Angle = angle;
            best = d;
        }
    }
    m->Feret = std::sqrt((double)best);
    double width = INFINITY;
    for (int32_t i = 0; i < count; i++) {
        const int64_t* a = &hull[(size_t)2 * i];
        const int64_t* b = &hull[(size_t)2 * ((i + 1) % count)];
        int64_t far = 0;
        for (int32_t j = 0; j < count; j++) {
            int64_t d = Cross(a, b, &hull[(size_t)2 * j]);
            if (d < 0) d = -d;
            if (d > far) far = d;
        }
        const double w = (double)far / std::hypot((double)(b[0] - a[0]), (double)(b[1] - a[1]));
        if (w < width) width = w;
    }
    m->Feret_Min = width;
}

// Centroid and the ellipse of equal second moments. The moments are taken
// exactly in 128 bits, then those of the pixel squares (1/12 on each axis).
void Measure_Ellipse(const Object_Component& c, Object_Measures* m) {
    const __int128 n = c.Count;
    const double nn = (double)c.Count * (double)c.Count;
    const double mxx = (double)(n * c.Sum_XX - (__int128)c.Sum_X * c.Sum_X) / nn + 1.0 / 12.0;
    const double myy = (double)(n * c.Sum_YY - (__int128)c.Sum_Y * c.Sum_Y) / nn + 1.0 / 12.0;
    const double mxy = (double)(n * c.Sum_XY - (__int128)c.Sum_X * c.Sum_Y) / nn;
    m->Centroid_X = (double)c.Sum_X / (double)c.Count + 0.5;
    m->Centroid_Y = (double)c.Sum_Y / (double)c.Count + 0.5;
    const double mean = (mxx + myy) / 2, half = (mxx - myy) / 2;
    const double root = std::sqrt(half * half + mxy * mxy);
    const double l1 = mean + root, l2 = mean - root;
    const double ratio = l2 > 0 ? std::sqrt(l1 / l2) : 1.0;
    const double semi_major = std::sqrt((double)c.Count / PI * ratio);
    m->Major = 2 * semi_major;
    m->Minor = 2 * (double)c.Count / (PI * semi_major);
    double angle = -0.5 * std::atan2(2 * mxy, mxx - myy) * 180.0 / PI;
    if (angle < 0) angle += 180.0;
    if (angle >= 180.0) angle -= 180.0;
    m->Ellipse_Angle = angle + 0.0;  // never -0
}

}  // namespace

Object_Status Measure_Objects(const uint8_t* mask, int32_t w, int32_t h, const Object_Options& options,
                              Object_Work* work, std::vector<Object_Measures>* out) {
    out->clear();
    if (options.Connectivity != 4 && options.Connectivity != 8) return OBJECTS_BAD_OPTIONS;
    if (w < 0 || h < 0 || ((int64_t)w * h > 0 && !mask)) return OBJECTS_BAD_MASK;
    if ((int64_t)w * h == 0) return OBJECTS_OK;

    Split_Runs(mask, w, h, work);
    Join_Runs(h, options.Connectivity, work);
    Collect_Components(w, h, work);
    Link_Parents(work);
    if (options.Include_Holes) Fill_Holes(work);
    Group_Object_Runs(work);

    for (int32_t k = 0; k < (int32_t)work->Components.size(); k++) {
        const Object_Component& c = work->Components[k];
        if (!c.Hit) continue;
        if (options.Include_Holes && c.Depth > 1) continue;  // inside another object's hole
        if (c.Count < options.Min_Area || c.Count > options.Max_Area) continue;
        if (options.Exclude_Edge && c.Edge) continue;
        Object_Measures m = {};
        m.Area = c.Count;
        m.Min_X = c.Min_X, m.Min_Y = c.Min_Y, m.Max_X = c.Max_X, m.Max_Y = c.Max_Y;
        m.Perimeter = Trace_Perimeter(mask, w, h, work->Runs[c.First_Run].X0, c.Min_Y, options.Connectivity,
                                      &work->Sides);
        m.Circularity = 4 * PI * (double)c.Count / (m.Perimeter * m.Perimeter);
        if (m.Circularity > 1) m.Circularity = 1;
        if (!(m.Circularity >= options.Min_Circularity && m.Circularity <= options.Max_Circularity)) continue;
        Measure_Ellipse(c, &m);
        Measure_Feret(k, work, &m);
        out->push_back(m);
    }
    return OBJECTS_OK;
}
