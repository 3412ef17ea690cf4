// Build-time generator of the emulator's sample table: five 3000 x 480
// pictures that imitate what a camera on a microscope sees, written as
// 24-bit bottom-up Windows bitmaps behind an int64 count and a UTF-16 name
// each. Everything comes from a private PRNG with fixed seeds, so the output
// is the same bytes on every run.
//
//   gen_samples <output file>
//
// The five pictures, each made to give one group of analysis tools
// something to find:
//   Widefield01  stained cells with darker nuclei (blobs, circles)
//   Widefield02  fibres of many widths, vertical, horizontal and slanted
//               (auto width and height)
//   Widefield03  a stage micrometer (calibration): a base line with ticks
//               exactly 50 px apart, centre to centre, from x = 100 to
//               x = 2900; every 5th tick is longer, every 10th longer still
//   Widefield04  a printed CMYK halftone: cyan, magenta, yellow and black dot
//               screens at their own angles (each channel threshold)
//   Widefield05  dark particles on a bright field (black threshold, counts)
//
// All pictures finish with a slight blur and camera noise.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int Sample_Width = 3000;
const int Sample_Height = 480;
const double Pi = 3.14159265358979323846;

// ---------------------------------------------------------------- PRNG
// splitmix64: tiny, fast, and the same on every platform.
struct Rng {
    uint64_t State;
};

uint64_t Rng_Next(Rng* rng) {
    uint64_t z = (rng->State += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in [0, 1).
double Rng_Unit(Rng* rng) { return (double)(Rng_Next(rng) >> 11) * (1.0 / 9007199254740992.0); }

double Rng_Range(Rng* rng, double lo, double hi) { return lo + (hi - lo) * Rng_Unit(rng); }

// Roughly normal, mean 0, deviation 1 (sum of four uniforms, rescaled):
// cheap and good enough for sensor noise.
double Rng_Gauss(Rng* rng) {
    double s = Rng_Unit(rng) + Rng_Unit(rng) + Rng_Unit(rng) + Rng_Unit(rng);
    return (s - 2.0) * 1.7320508075688772;
}

// ---------------------------------------------------------------- canvas
// Linear RGB in 0..255 as floats, rows from the top.
struct Canvas {
    int Width = 0, Height = 0;
    std::vector<float> Rgb;
};

Canvas Make_Canvas(float r, float g, float b) {
    Canvas c;
    c.Width = Sample_Width;
    c.Height = Sample_Height;
    c.Rgb.resize((size_t)c.Width * c.Height * 3);
    for (size_t i = 0; i < c.Rgb.size(); i += 3) {
        c.Rgb[i] = r;
        c.Rgb[i + 1] = g;
        c.Rgb[i + 2] = b;
    }
    return c;
}

float* Pixel(Canvas* c, int x, int y) { return &c->Rgb[((size_t)y * c->Width + x) * 3]; }

// Mixes colour (r, g, b) into the pixel with weight a (0..1).
void Blend(Canvas* c, int x, int y, double a, double r, double g, double b) {
    if (a <= 0) return;
    if (a > 1) a = 1;
    float* p = Pixel(c, x, y);
    p[0] = (float)(p[0] + (r - p[0]) * a);
    p[1] = (float)(p[1] + (g - p[1]) * a);
    p[2] = (float)(p[2] + (b - p[2]) * a);
}

// Multiplies the pixel by a transmittance (r, g, b in 0..1) with weight a,
// the way an ink layer or a stain darkens what lies under it.
void Absorb(Canvas* c, int x, int y, double a, double r, double g, double b) {
    if (a <= 0) return;
    if (a > 1) a = 1;
    float* p = Pixel(c, x, y);
    p[0] = (float)(p[0] * (1.0 - a * (1.0 - r)));
    p[1] = (float)(p[1] * (1.0 - a * (1.0 - g)));
    p[2] = (float)(p[2] * (1.0 - a * (1.0 - b)));
}

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

int Clamp_Int(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Smooth brightness fall-off towards the picture's corners, as an
// unevenly lit field gives.
void Vignette(Canvas* c, double strength) {
    for (int y = 0; y < c->Height; y++) {
        double dy = (y - c->Height * 0.5) / (c->Height * 0.5);
        for (int x = 0; x < c->Width; x++) {
            // the field drifts slowly across the wide picture
            double dx2 = 0.5 + 0.5 * std::cos(x * (2 * Pi / 750.0));
            double f = 1.0 - strength * (dx2 * 0.6 + dy * dy * 0.4);
            float* p = Pixel(c, x, y);
            p[0] = (float)(p[0] * f);
            p[1] = (float)(p[1] * f);
            p[2] = (float)(p[2] * f);
        }
    }
}

// A 3-tap (1 2 1) blur in both directions: a slightly soft lens.
void Blur(Canvas* c) {
    std::vector<float> tmp(c->Rgb.size());
    int w = c->Width, h = c->Height;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int xl = x > 0 ? x - 1 : x, xr = x < w - 1 ? x + 1 : x;
            for (int k = 0; k < 3; k++)
                tmp[((size_t)y * w + x) * 3 + k] =
                    0.25f * c->Rgb[((size_t)y * w + xl) * 3 + k] + 0.5f * c->Rgb[((size_t)y * w + x) * 3 + k] +
                    0.25f * c->Rgb[((size_t)y * w + xr) * 3 + k];
        }
    for (int y = 0; y < h; y++) {
        int yu = y > 0 ? y - 1 : y, yd = y < h - 1 ? y + 1 : y;
        for (int x = 0; x < w; x++)
            for (int k = 0; k < 3; k++)
                c->Rgb[((size_t)y * w + x) * 3 + k] =
                    0.25f * tmp[((size_t)yu * w + x) * 3 + k] + 0.5f * tmp[((size_t)y * w + x) * 3 + k] +
                    0.25f * tmp[((size_t)yd * w + x) * 3 + k];
    }
}

// Sensor noise: a shared brightness part and a smaller part per channel.
void Add_Noise(Canvas* c, Rng* rng, double luma_sigma, double chroma_sigma) {
    for (size_t i = 0; i < c->Rgb.size(); i += 3) {
        double l = Rng_Gauss(rng) * luma_sigma;
        for (int k = 0; k < 3; k++) c->Rgb[i + k] = (float)(c->Rgb[i + k] + l + Rng_Gauss(rng) * chroma_sigma);
    }
}

// ---------------------------------------------------------------- shapes
// A closed, slightly irregular outline: radius r(theta) = r0 (1 + sum of a
// few low harmonics). Circular when the amplitudes are 0.
struct Blob_Shape {
    double Cx = 0, Cy = 0, R = 0;
    double Stretch = 1.0, Angle = 0.0;  // ellipse: x radius R * Stretch, y radius R / Stretch, rotated
    double Amp[4] = {0, 0, 0, 0};       // harmonics 2..5
    double Phase[4] = {0, 0, 0, 0};
};

double Blob_Radius(const Blob_Shape& s, double theta) {
    double f = 1.0;
    for (int k = 0; k < 4; k++) f += s.Amp[k] * std::cos((k + 2) * theta + s.Phase[k]);
    return s.R * f;
}

// Signed distance (approximate, in pixels) from (x, y) to the outline:
// negative inside.
double Blob_Distance(const Blob_Shape& s, double x, double y) {
    double dx = x - s.Cx, dy = y - s.Cy;
    double ca = std::cos(s.Angle), sa = std::sin(s.Angle);
    double u = (dx * ca + dy * sa) / s.Stretch, v = (-dx * sa + dy * ca) * s.Stretch;
    double d = std::sqrt(u * u + v * v);
    double r = Blob_Radius(s, std::atan2(v, u));
    return d - r;
}

double Blob_Extent(const Blob_Shape& s) {
    double a = 1.0;
    for (int k = 0; k < 4; k++) a += std::fabs(s.Amp[k]);
    return s.R * a * (s.Stretch > 1 ? s.Stretch : 1.0 / s.Stretch) + 3;
}

// Calls fill(x, y, coverage, depth) for every pixel touched by the shape;
// depth is the distance inside the outline in pixels (for shading).
template <typename F>
void Paint_Blob(Canvas* c, const Blob_Shape& s, F fill) {
    double e = Blob_Extent(s);
    int x0 = Clamp_Int((int)std::floor(s.Cx - e), 0, c->Width - 1);
    int x1 = Clamp_Int((int)std::ceil(s.Cx + e), 0, c->Width - 1);
    int y0 = Clamp_Int((int)std::floor(s.Cy - e), 0, c->Height - 1);
    int y1 = Clamp_Int((int)std::ceil(s.Cy + e), 0, c->Height - 1);
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            double d = Blob_Distance(s, x + 0.5, y + 0.5);
            double a = Clamp01(0.5 - d);
            if (a > 0) fill(x, y, a, -d);
        }
}

// Places up to `count` non-overlapping circles of radius lo..hi (with a gap)
// by rejection; returns centres and radii.
struct Placed {
    double X, Y, R;
};

std::vector<Placed> Scatter(Rng* rng, int count, double lo, double hi, double gap, double margin,
                            std::vector<Placed> taken = {}) {
    std::vector<Placed> out;
    for (int attempt = 0; attempt < count * 60 && (int)out.size() < count; attempt++) {
        double r = Rng_Range(rng, lo, hi);
        double x = Rng_Range(rng, margin + r, Sample_Width - margin - r);
        double y = Rng_Range(rng, margin + r, Sample_Height - margin - r);
        bool ok = true;
        for (const Placed& p : out)
            if (std::hypot(p.X - x, p.Y - y) < p.R + r + gap) ok = false;
        for (const Placed& p : taken)
            if (std::hypot(p.X - x, p.Y - y) < p.R + r + gap) ok = false;
        if (ok) out.push_back({x, y, r});
    }
    return out;
}

// ---------------------------------------------------------------- Widefield01: stained cells
Canvas Draw_Cells() {
    Rng rng{0x5EED0001};
    Canvas c = Make_Canvas(240, 232, 238);
    Vignette(&c, 0.06);

    // faint background debris
    for (int i = 0; i < 160; i++) {
        Blob_Shape s;
        s.Cx = Rng_Range(&rng, 0, Sample_Width);
        s.Cy = Rng_Range(&rng, 0, Sample_Height);
        s.R = Rng_Range(&rng, 1.0, 3.5);
        Paint_Blob(&c, s, [&](int x, int y, double a, double) { Absorb(&c, x, y, a * 0.5, 0.85, 0.75, 0.85); });
    }

    std::vector<Placed> cells = Scatter(&rng, 70, 18, 46, 6, 4);
    for (size_t i = 0; i < cells.size(); i++) {
        const Placed& p = cells[i];
        Blob_Shape cell;
        cell.Cx = p.X;
        cell.Cy = p.Y;
        // every third cell is a clean circle, the others round-ish
        bool circular = (i % 3) == 0;
        cell.Stretch = circular ? 1.0 : Rng_Range(&rng, 1.0, 1.18);
        cell.Angle = Rng_Range(&rng, 0, Pi);
        cell.R = p.R / (cell.Stretch > 1 ? cell.Stretch : 1.0) * 0.94;
        if (!circular)
            for (int k = 0; k < 4; k++) {
                cell.Amp[k] = Rng_Range(&rng, -0.035, 0.035);
                cell.Phase[k] = Rng_Range(&rng, 0, 2 * Pi);
            }
        // stain strength varies from cell to cell
        double stain = Rng_Range(&rng, 0.75, 1.0);
        Paint_Blob(&c, cell, [&](int x, int y, double a, double depth) {
            // cytoplasm: pink-violet, a little denser near the membrane
            double rim = depth < 3 ? 1.0 : 0.85;
            Absorb(&c, x, y, a * stain * rim, 0.90, 0.60, 0.80);
        });

        Blob_Shape nucleus;
        double off = circular ? 0.0 : cell.R * 0.18;
        double dir = Rng_Range(&rng, 0, 2 * Pi);
        nucleus.Cx = p.X + off * std::cos(dir);
        nucleus.Cy = p.Y + off * std::sin(dir);
        nucleus.R = cell.R * Rng_Range(&rng, 0.36, 0.5);
        nucleus.Stretch = circular ? 1.0 : Rng_Range(&rng, 1.0, 1.25);
        nucleus.Angle = Rng_Range(&rng, 0, Pi);
        for (int k = 0; k < 4; k++) {
            nucleus.Amp[k] = circular ? 0.0 : Rng_Range(&rng, -0.05, 0.05);
            nucleus.Phase[k] = Rng_Range(&rng, 0, 2 * Pi);
        }
        double dark = Rng_Range(&rng, 0.85, 1.0);
        Paint_Blob(&c, nucleus, [&](int x, int y, double a, double) {
            // chromatin granules: a little texture inside the nucleus
            double grain = 0.9 + 0.1 * std::sin(x * 1.7 + std::sin(y * 1.3) * 2.0);
            Absorb(&c, x, y, a * dark * grain, 0.50, 0.32, 0.68);
        });
    }

    Blur(&c);
    Rng noise{0x5EED0101};
    Add_Noise(&c, &noise, 2.2, 1.2);
    return c;
}

// ---------------------------------------------------------------- Widefield02: fibres
struct Fibre {
    double Px, Py;     // a point on the base line
    double Angle;      // direction of the base line, radians (0 = along x)
    double Width;      // pixels across
    double Wave_Amp, Wave_Len, Wave_Phase;
    double T0, T1;     // extent along the base line, relative to (Px, Py)
    double R, G, B;    // transmittance of the fibre's material
};

void Draw_Fibre(Canvas* c, const Fibre& f) {
    double dx = std::cos(f.Angle), dy = std::sin(f.Angle);
    double nx = -dy, ny = dx;
    double reach = f.Wave_Amp + f.Width * 0.5 + 2;
    // bounding box of the swept band
    double xs[4], ys[4];
    for (int k = 0; k < 4; k++) {
        double t = (k & 1) ? f.T1 : f.T0;
        double s = (k & 2) ? reach : -reach;
        xs[k] = f.Px + dx * t + nx * s;
        ys[k] = f.Py + dy * t + ny * s;
    }
    double xmin = xs[0], xmax = xs[0], ymin = ys[0], ymax = ys[0];
    for (int k = 1; k < 4; k++) {
        xmin = std::fmin(xmin, xs[k]);
        xmax = std::fmax(xmax, xs[k]);
        ymin = std::fmin(ymin, ys[k]);
        ymax = std::fmax(ymax, ys[k]);
    }
    int x0 = Clamp_Int((int)xmin, 0, c->Width - 1), x1 = Clamp_Int((int)xmax + 1, 0, c->Width - 1);
    int y0 = Clamp_Int((int)ymin, 0, c->Height - 1), y1 = Clamp_Int((int)ymax + 1, 0, c->Height - 1);
    double k2 = 2 * Pi / f.Wave_Len;
    for (int y = y0; y <= y1; y++)
        for (int x = x0; x <= x1; x++) {
            double rx = x + 0.5 - f.Px, ry = y + 0.5 - f.Py;
            double t = rx * dx + ry * dy;
            if (t < f.T0 - 2 || t > f.T1 + 2) continue;
            double s = rx * nx + ry * ny;
            double centre = f.Wave_Amp * std::sin(k2 * t + f.Wave_Phase);
            double slope = f.Wave_Amp * k2 * std::cos(k2 * t + f.Wave_Phase);
            double dist = std::fabs(s - centre) / std::sqrt(1 + slope * slope);
            double a = Clamp01(f.Width * 0.5 - dist + 0.5);
            // cut ends, softened by a pixel
            double end = std::fmin(t - f.T0, f.T1 - t);
            a *= Clamp01(end + 0.5);
            if (a <= 0) continue;
            // a round fibre absorbs more at its edges than along its axis
            double q = Clamp01(dist / (f.Width * 0.5));
            double density = 0.78 + 0.22 * q * q;
            Absorb(c, x, y, a * density, f.R, f.G, f.B);
        }
}

Canvas Draw_Fibres() {
    Rng rng{0x5EED0002};
    Canvas c = Make_Canvas(236, 236, 230);
    Vignette(&c, 0.07);

    // fibre materials: dark blue, brown, near black, grey-green, rust
    const double materials[5][3] = {
        {0.25, 0.35, 0.65}, {0.55, 0.38, 0.22}, {0.20, 0.20, 0.22}, {0.45, 0.55, 0.45}, {0.70, 0.35, 0.25}};
    // widths in pixels, from hair-thin to thick
    const double widths[] = {4, 6, 8, 11, 14, 18, 22, 27, 33, 40};
    int n = 0;
    // vertical fibres (measure with the width tool), spread along the picture
    for (int i = 0; i < 14; i++, n++) {
        Fibre f;
        f.Px = 110 + i * 205 + Rng_Range(&rng, -50, 50);
        f.Py = -10;
        f.Angle = Pi / 2 + Rng_Range(&rng, -0.18, 0.18);
        f.Width = widths[n % 10] * Rng_Range(&rng, 0.95, 1.05);
        f.Wave_Amp = Rng_Range(&rng, 0, 14);
        f.Wave_Len = Rng_Range(&rng, 400, 900);
        f.Wave_Phase = Rng_Range(&rng, 0, 2 * Pi);
        f.T0 = (i % 4 == 3) ? Rng_Range(&rng, 60, 200) : 0;
        f.T1 = (i % 5 == 4) ? Rng_Range(&rng, 280, 420) : 520;
        const double* m = materials[(i * 3) % 5];
        f.R = m[0], f.G = m[1], f.B = m[2];
        Draw_Fibre(&c, f);
    }
    // horizontal fibres (the height tool)
    for (int i = 0; i < 5; i++, n++) {
        Fibre f;
        f.Px = Rng_Range(&rng, 0, 1500);
        f.Py = 50 + i * 95 + Rng_Range(&rng, -15, 15);
        f.Angle = Rng_Range(&rng, -0.05, 0.05);
        f.Width = widths[(n * 7) % 10];
        f.Wave_Amp = Rng_Range(&rng, 2, 12);
        f.Wave_Len = Rng_Range(&rng, 600, 1400);
        f.Wave_Phase = Rng_Range(&rng, 0, 2 * Pi);
        f.T0 = 0;
        f.T1 = Rng_Range(&rng, 500, 1500);
        const double* m = materials[(i + 1) % 5];
        f.R = m[0], f.G = m[1], f.B = m[2];
        Draw_Fibre(&c, f);
    }
    // a few slanted ones crossing the others
    for (int i = 0; i < 6; i++, n++) {
        Fibre f;
        f.Px = 250 + i * 480 + Rng_Range(&rng, -60, 60);
        f.Py = 240;
        f.Angle = Rng_Range(&rng, 0.5, 1.1) * ((i & 1) ? 1 : -1);
        f.Width = widths[(n * 3) % 10] * 0.8;
        f.Wave_Amp = Rng_Range(&rng, 0, 8);
        f.Wave_Len = Rng_Range(&rng, 300, 700);
        f.Wave_Phase = Rng_Range(&rng, 0, 2 * Pi);
        f.T0 = -Rng_Range(&rng, 150, 400);
        f.T1 = Rng_Range(&rng, 150, 400);
        const double* m = materials[(i + 2) % 5];
        f.R = m[0], f.G = m[1], f.B = m[2];
        Draw_Fibre(&c, f);
    }
    // dust
    for (int i = 0; i < 90; i++) {
        Blob_Shape s;
        s.Cx = Rng_Range(&rng, 0, Sample_Width);
        s.Cy = Rng_Range(&rng, 0, Sample_Height);
        s.R = Rng_Range(&rng, 0.8, 2.5);
        Paint_Blob(&c, s, [&](int x, int y, double a, double) { Absorb(&c, x, y, a * 0.6, 0.5, 0.5, 0.5); });
    }

    Blur(&c);
    Rng noise{0x5EED0102};
    Add_Noise(&c, &noise, 2.0, 1.0);
    return c;
}

// ---------------------------------------------------------------- Widefield03: stage micrometer
// Ticks every 50 px (centre to centre) from x = 100 to x = 2900 (57 ticks);
// each tick is 3 px wide, centred on its column. Base line y = 300.
const int Tick_Spacing = 50;
const int Tick_First = 100;
const int Tick_Count = 57;
const int Base_Line_Y = 300;

void Fill_Rect(Canvas* c, double x0, double y0, double x1, double y1, double r, double g, double b) {
    // anti-aliased along the edges: coverage of each pixel by [x0,x1) x [y0,y1)
    int ix0 = Clamp_Int((int)std::floor(x0), 0, c->Width - 1), ix1 = Clamp_Int((int)std::ceil(x1), 0, c->Width);
    int iy0 = Clamp_Int((int)std::floor(y0), 0, c->Height - 1), iy1 = Clamp_Int((int)std::ceil(y1), 0, c->Height);
    for (int y = iy0; y < iy1; y++) {
        double cy = Clamp01(std::fmin(y + 1.0, y1) - std::fmax((double)y, y0));
        for (int x = ix0; x < ix1; x++) {
            double cx = Clamp01(std::fmin(x + 1.0, x1) - std::fmax((double)x, x0));
            Blend(c, x, y, cx * cy, r, g, b);
        }
    }
}

Canvas Draw_Micrometer() {
    Rng rng{0x5EED0003};
    // a bright field slightly tinted by the light source
    Canvas c = Make_Canvas(232, 236, 240);
    Vignette(&c, 0.10);
    const double ink = 28;
    // base line across all ticks
    Fill_Rect(&c, Tick_First - 1.5, Base_Line_Y - 1.5, Tick_First + (Tick_Count - 1) * Tick_Spacing + 1.5,
              Base_Line_Y + 1.5, ink, ink, ink + 4);
    for (int i = 0; i < Tick_Count; i++) {
        double x = Tick_First + i * Tick_Spacing + 0.5;  // centre of column Tick_First + i * 50
        double len = (i % 10 == 0) ? 150 : (i % 5 == 0) ? 110 : 70;
        Fill_Rect(&c, x - 1.5, Base_Line_Y - len, x + 1.5, Base_Line_Y + 1.5, ink, ink, ink + 4);
    }
    // the long ticks continue a little below the line, as printed scales do
    for (int i = 0; i < Tick_Count; i += 10) {
        double x = Tick_First + i * Tick_Spacing + 0.5;
        Fill_Rect(&c, x - 1.5, Base_Line_Y, x + 1.5, Base_Line_Y + 40, ink, ink, ink + 4);
    }
    // index marks under every tenth tick: 0 to 5 small squares, so the
    // position along the scale can be read off without numbers
    for (int i = 0; i < Tick_Count; i += 10) {
        double x = Tick_First + i * Tick_Spacing + 0.5;
        int marks = i / 10;
        for (int m = 0; m < marks; m++) {
            double my = Base_Line_Y + 60 + m * 14;
            Fill_Rect(&c, x - 4, my, x + 4, my + 8, ink, ink, ink + 4);
        }
    }
    // dust and a few scratches on the slide
    for (int i = 0; i < 120; i++) {
        Blob_Shape s;
        s.Cx = Rng_Range(&rng, 0, Sample_Width);
        s.Cy = Rng_Range(&rng, 0, Sample_Height);
        s.R = Rng_Range(&rng, 0.8, 4.0);
        s.Stretch = Rng_Range(&rng, 1.0, 1.6);
        s.Angle = Rng_Range(&rng, 0, Pi);
        Paint_Blob(&c, s, [&](int x, int y, double a, double) { Absorb(&c, x, y, a * 0.45, 0.6, 0.6, 0.62); });
    }
    for (int i = 0; i < 4; i++) {
        Fibre f;
        f.Px = Rng_Range(&rng, 0, Sample_Width);
        f.Py = Rng_Range(&rng, 0, Sample_Height);
        f.Angle = Rng_Range(&rng, 0, Pi);
        f.Width = 1.2;
        f.Wave_Amp = 0;
        f.Wave_Len = 100;
        f.Wave_Phase = 0;
        f.T0 = -Rng_Range(&rng, 50, 200);
        f.T1 = Rng_Range(&rng, 50, 200);
        f.R = f.G = f.B = 0.85;
        Draw_Fibre(&c, f);
    }
    Blur(&c);
    Rng noise{0x5EED0103};
    Add_Noise(&c, &noise, 1.8, 0.8);
    return c;
}

// ---------------------------------------------------------------- Widefield04: CMYK halftone
struct Screen {
    double Angle;   // radians
    double Period;  // pixels between dots
    double R, G, B; // transmittance of the ink
};

// Coverage (0..1) of one halftone screen at pixel centre (x, y) for a tone
// value v (0 = no ink, 1 = solid). Round dots that join into a chequer at
// 50 % and leave round holes above it.
double Screen_Coverage(const Screen& s, double x, double y, double v) {
    if (v <= 0.002) return 0;
    if (v >= 0.998) return 1;
    double ca = std::cos(s.Angle), sa = std::sin(s.Angle);
    double u = (x * ca + y * sa) * 2 * Pi / s.Period;
    double w = (-x * sa + y * ca) * 2 * Pi / s.Period;
    double spot = (std::cos(u) + std::cos(w)) * 0.5;  // 1 at dot centres, -1 between
    double threshold = 1.0 - 2.0 * v;
    double grad = (Pi / s.Period) * std::sqrt(std::sin(u) * std::sin(u) + std::sin(w) * std::sin(w)) + 0.02;
    return Clamp01(0.5 + (spot - threshold) / grad);
}

Canvas Draw_Halftone() {
    Rng rng{0x5EED0004};
    Canvas c = Make_Canvas(248, 246, 238);  // paper
    const Screen screens[4] = {
        {15 * Pi / 180, 11.0, 0.05, 0.66, 0.93},  // cyan
        {75 * Pi / 180, 11.0, 0.92, 0.08, 0.55},  // magenta
        {0 * Pi / 180, 11.0, 1.00, 0.93, 0.06},   // yellow
        {45 * Pi / 180, 11.0, 0.12, 0.12, 0.13},  // black
    };
    // A printed picture: smooth tone fields built from a few random waves
    // and soft round shapes, plus a colour-bar of solid and graded patches
    // at the left end so each ink also appears on its own.
    struct Wave {
        double Kx, Ky, Phase, Amp;
    };
    Wave waves[4][3];
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 3; j++) {
            double ang = Rng_Range(&rng, 0, 2 * Pi), len = Rng_Range(&rng, 250, 900);
            waves[i][j] = {std::cos(ang) * 2 * Pi / len, std::sin(ang) * 2 * Pi / len, Rng_Range(&rng, 0, 2 * Pi),
                           Rng_Range(&rng, 0.15, 0.3)};
        }
    std::vector<Placed> spots = Scatter(&rng, 16, 40, 110, 10, 0);
    std::vector<int> spot_ink(spots.size());
    for (size_t i = 0; i < spots.size(); i++) spot_ink[i] = (int)(Rng_Next(&rng) % 4);

    const int bar_width = 420;  // colour bar: 4 rows (C, M, Y, K) x 6 steps
    for (int y = 0; y < Sample_Height; y++)
        for (int x = 0; x < Sample_Width; x++) {
            double tone[4];
            if (x < bar_width) {
                int row = y * 4 / Sample_Height;            // which ink
                int step = x * 6 / bar_width;               // 10 % .. 100 %
                double levels[6] = {0.1, 0.25, 0.4, 0.55, 0.75, 1.0};
                bool gutter = (y % (Sample_Height / 4)) < 6 || (x % (bar_width / 6)) < 4;
                for (int i = 0; i < 4; i++) tone[i] = (!gutter && i == row) ? levels[step] : 0.0;
            } else {
                for (int i = 0; i < 4; i++) {
                    // black stays light in the fields and shows mostly in the spots
                    double v = (i == 3) ? -0.1 : 0.25, gain = (i == 3) ? 0.5 : 1.0;
                    for (int j = 0; j < 3; j++)
                        v += gain * waves[i][j].Amp *
                             std::sin(waves[i][j].Kx * x + waves[i][j].Ky * y + waves[i][j].Phase);
                    tone[i] = v;
                }
                for (size_t k = 0; k < spots.size(); k++) {
                    double d = std::hypot(x - spots[k].X, y - spots[k].Y) / spots[k].R;
                    if (d < 1.2) tone[spot_ink[k]] += 0.75 * Clamp01((1.2 - d) * 2.5);
                }
                for (int i = 0; i < 4; i++) tone[i] = Clamp01(tone[i]);
            }
            for (int i = 0; i < 4; i++) {
                double a = Screen_Coverage(screens[i], x + 0.5, y + 0.5, tone[i]);
                Absorb(&c, x, y, a * 0.97, screens[i].R, screens[i].G, screens[i].B);
            }
        }
    // paper fibres: faint texture
    for (int i = 0; i < 300; i++) {
        Blob_Shape s;
        s.Cx = Rng_Range(&rng, 0, Sample_Width);
        s.Cy = Rng_Range(&rng, 0, Sample_Height);
        s.R = Rng_Range(&rng, 1.0, 3.0);
        s.Stretch = Rng_Range(&rng, 1.5, 3.0);
        s.Angle = Rng_Range(&rng, 0, Pi);
        Paint_Blob(&c, s, [&](int x, int y, double a, double) { Absorb(&c, x, y, a * 0.15, 0.9, 0.9, 0.85); });
    }
    Blur(&c);
    Rng noise{0x5EED0104};
    Add_Noise(&c, &noise, 2.0, 1.5);
    return c;
}

// ---------------------------------------------------------------- Widefield05: dark particles
Canvas Draw_Particles() {
    Rng rng{0x5EED0005};
    Canvas c = Make_Canvas(246, 246, 244);
    Vignette(&c, 0.08);
    // Mostly small particles, a few large ones; irregular outlines; a few
    // touching pairs so a blob count has something to get wrong.
    std::vector<Placed> big = Scatter(&rng, 12, 14, 30, 20, 6);
    std::vector<Placed> mid = Scatter(&rng, 70, 5, 13, 12, 4, big);
    std::vector<Placed> all = big;
    all.insert(all.end(), mid.begin(), mid.end());
    std::vector<Placed> small = Scatter(&rng, 160, 1.5, 4.5, 8, 3, all);
    all.insert(all.end(), small.begin(), small.end());

    for (size_t i = 0; i < all.size(); i++) {
        const Placed& p = all[i];
        Blob_Shape s;
        s.Cx = p.X;
        s.Cy = p.Y;
        s.Stretch = Rng_Range(&rng, 1.0, 1.35);
        s.Angle = Rng_Range(&rng, 0, Pi);
        s.R = p.R / s.Stretch * 0.9;
        for (int k = 0; k < 4; k++) {
            s.Amp[k] = Rng_Range(&rng, -0.12, 0.12) / (k + 1);
            s.Phase[k] = Rng_Range(&rng, 0, 2 * Pi);
        }
        double level = Rng_Range(&rng, 0.10, 0.22);  // transmittance: nearly opaque
        Paint_Blob(&c, s, [&](int x, int y, double a, double) { Absorb(&c, x, y, a, level, level, level * 1.05); });
        // every sixth mid-sized particle gets a touching neighbour
        if (i >= big.size() && i < big.size() + mid.size() && i % 6 == 0) {
            Blob_Shape t = s;
            double ang = Rng_Range(&rng, 0, 2 * Pi);
            t.R = s.R * 0.7;
            t.Cx = s.Cx + std::cos(ang) * (s.R + t.R) * 0.9;
            t.Cy = s.Cy + std::sin(ang) * (s.R + t.R) * 0.9;
            Paint_Blob(&c, t, [&](int x, int y, double a, double) { Absorb(&c, x, y, a, level, level, level * 1.05); });
        }
    }
    // out-of-focus haze around a few big particles
    for (const Placed& p : big) {
        Blob_Shape halo;
        halo.Cx = p.X;
        halo.Cy = p.Y;
        halo.R = p.R * 1.4;
        Paint_Blob(&c, halo, [&](int x, int y, double, double depth) {
            Absorb(&c, x, y, Clamp01(depth / (halo.R * 0.6)) * 0.12, 0.9, 0.9, 0.9);
        });
    }
    Blur(&c);
    Rng noise{0x5EED0105};
    Add_Noise(&c, &noise, 2.4, 1.0);
    return c;
}

// ---------------------------------------------------------------- output
void Put_U16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back((uint8_t)v);
    out->push_back((uint8_t)(v >> 8));
}

void Put_U32(std::vector<uint8_t>* out, uint32_t v) {
    for (int k = 0; k < 4; k++) out->push_back((uint8_t)(v >> (8 * k)));
}

uint8_t To_Byte(float v) {
    long r = std::lround(v);
    return (uint8_t)(r < 0 ? 0 : (r > 255 ? 255 : r));
}

// Appends a 24-bit BITMAPINFOHEADER bitmap, rows bottom-up, BGR order.
void Append_Bmp(std::vector<uint8_t>* out, const Canvas& c) {
    uint32_t row = (uint32_t)((c.Width * 3 + 3) & ~3);
    uint32_t image = row * (uint32_t)c.Height;
    out->push_back('B');
    out->push_back('M');
    Put_U32(out, 54 + image);  // file size
    Put_U32(out, 0);           // reserved
    Put_U32(out, 54);          // offset of the pixels
    Put_U32(out, 40);          // info header size
    Put_U32(out, (uint32_t)c.Width);
    Put_U32(out, (uint32_t)c.Height);  // positive: bottom-up
    Put_U16(out, 1);                   // planes
    Put_U16(out, 24);                  // bits per pixel
    Put_U32(out, 0);                   // no compression
    Put_U32(out, image);
    Put_U32(out, 3780);  // 96 dpi in pixels per metre
    Put_U32(out, 3780);
    Put_U32(out, 0);
    Put_U32(out, 0);
    for (int y = c.Height - 1; y >= 0; y--) {
        size_t start = out->size();
        for (int x = 0; x < c.Width; x++) {
            const float* p = &c.Rgb[((size_t)y * c.Width + x) * 3];
            out->push_back(To_Byte(p[2]));
            out->push_back(To_Byte(p[1]));
            out->push_back(To_Byte(p[0]));
        }
        while (out->size() - start < row) out->push_back(0);
    }
}

void Append_Name(std::vector<uint8_t>* out, const char* name) {
    // 11 UTF-16 characters and a terminating zero
    for (int k = 0; k < 12; k++) Put_U16(out, k < (int)std::strlen(name) && k < 11 ? (uint8_t)name[k] : 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_samples <output file>\n");
        return 2;
    }
    std::vector<uint8_t> out;
    out.reserve(8 + 5 * (24 + 54 + (size_t)Sample_Width * Sample_Height * 3));
    uint64_t count = 5;
    for (int k = 0; k < 8; k++) out.push_back((uint8_t)(count >> (8 * k)));
    Canvas (*makers[5])() = {Draw_Cells, Draw_Fibres, Draw_Micrometer, Draw_Halftone, Draw_Particles};
    for (int i = 0; i < 5; i++) {
        char name[16];
        std::snprintf(name, sizeof name, "Widefield%02d", i + 1);
        Append_Name(&out, name);
        Append_Bmp(&out, makers[i]());
    }
    std::string tmp = std::string(argv[1]) + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "gen_samples: cannot create %s\n", tmp.c_str());
        return 1;
    }
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(tmp.c_str(), argv[1]) != 0) {
        std::fprintf(stderr, "gen_samples: cannot write %s\n", argv[1]);
        std::remove(tmp.c_str());
        return 1;
    }
    return 0;
}
