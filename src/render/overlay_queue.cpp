#include "render/overlay_queue.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "render/text.h"

Overlay_Queue_Record Overlay_Queue;
Overlay_Drain_Stats Overlay_Stats;

namespace {

void Colour_Of(int32_t packed, float out[4]) {
    uint32_t v = (uint32_t)packed;
    out[0] = (v & 255) / 255.0f;
    out[1] = ((v >> 8) & 255) / 255.0f;
    out[2] = ((v >> 16) & 255) / 255.0f;
    out[3] = ((v >> 24) & 255) / 255.0f;
}

void Set_Colour(int32_t packed) {
    float c[4];
    Colour_Of(packed, c);
    glColor4f(c[0], c[1], c[2], c[3]);
}

void Set_Xor(uint8_t xor_op) {
    if (xor_op == 1) {
        glLogicOp(GL_XOR);
        glEnable(GL_COLOR_LOGIC_OP);
    } else {
        glDisable(GL_COLOR_LOGIC_OP);
    }
}

Overlay_Shape Shape(float x1, float y1, float x2, float y2, float radius, int32_t colour, float width,
                    uint8_t xor_op) {
    Overlay_Shape s;
    s.Colour = colour;
    s.Width = width;
    s.X1 = x1;
    s.X2 = x2;
    s.Y1 = y1;
    s.Y2 = y2;
    s.Radius = radius;
    s.Xor = xor_op;
    return s;
}

// The magnifier lens and the RGB profile of the pointer row under it.
void Draw_Magnifier(const Overlay_Magnifier_Request& m, int64_t wp, int64_t hp, float sx, float sy, float corners[8],
                    float tex[8], uint32_t texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    float mx = 0, my = 0;
    switch (m.Corner) {
        case 0: mx = wp / 4.0f; my = hp / 4.0f; break;
        case 1: mx = -wp / 4.0f; my = hp / 4.0f; break;
        case 2: mx = wp / 4.0f; my = -hp / 4.0f; break;
        case 3: mx = -wp / 4.0f; my = -hp / 4.0f; break;
        default: break;
    }
    if (m.Corner <= 3) {
        mx *= sx;
        my *= sy;
    }
    // A zoom that rounds to 0 would divide by zero; the smallest lens zoom is 1.
    double zoom = std::isfinite(m.Zoom) ? std::nearbyint(m.Zoom) : 1.0;
    const double q = 4.0 * std::max(1.0, zoom);
    for (int i = 0; i < 4; i++) {
        tex[i * 2] = (float)((tex[i * 2] - 0.5) / q + m.U + 0.5 / wp);
        tex[i * 2 + 1] = (float)((tex[i * 2 + 1] - 0.5) / q + m.V + 0.5 / hp);
        corners[i * 2] = corners[i * 2] * 0.45f + mx;
        corners[i * 2 + 1] = corners[i * 2 + 1] * 0.45f + my;
    }
    glEnable(GL_TEXTURE_2D);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; i++) {
        glTexCoord2f(tex[i * 2], tex[i * 2 + 1]);
        glVertex2f(corners[i * 2], corners[i * 2 + 1]);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);

    const float x0 = corners[0], y0 = corners[1], x1 = corners[2], y2 = corners[5];  // top-left, top-right x, bottom-right y
    glColor4f(1, 0, 0, 1);
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < 4; i++) glVertex2f(corners[i * 2], corners[i * 2 + 1]);
    glEnd();
    glColor4f(0, 0, 1, 1);
    glBegin(GL_LINES);
    glVertex2f((x0 + x1) / 2, y0);
    glVertex2f((x0 + x1) / 2, y2);
    glVertex2f(x0, (y0 + y2) / 2);
    glVertex2f(x1, (y0 + y2) / 2);
    glEnd();

    // Profile of the pointer row: only with a real row to read from.
    if (!m.Pixels || m.Pixel_Width < 2 || m.Pointer_Row < 0 || m.Pointer_Row >= m.Pixel_Height) return;
    double span = ((double)tex[2] - tex[0]) * m.Pixel_Width;
    if (!std::isfinite(span) || std::fabs(span) > 1e9 || !std::isfinite(m.U)) return;
    int64_t n = (int64_t)std::nearbyint(span);
    if (n % 2 != 0) n++;
    int64_t c0 = 0, skip = 0, count = 0;
    if (!Magnifier_Profile_Span((double)m.U * m.Pixel_Width, n, m.Pixel_Width, &c0, &skip, &count)) return;

    glLineWidth(m.Line_Width);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float dx = (x1 - x0) / n;
    const float g = (float)(m.Graph_Scale * Display_Scale_Y() * 0.5);
    const uint8_t* row = m.Pixels + (size_t)m.Pointer_Row * (size_t)m.Pixel_Width * 4;
    Overlay_Stats.Profile_First_Column = c0;
    Overlay_Stats.Profile_Last_Column = c0 + (count - skip);

    // channel: byte offset in a BGRA pixel (2 red, 1 green, 0 blue); -1 = all three
    auto segments = [&](int channel) {
        glBegin(GL_LINES);
        for (int ch = 2; ch >= 0; ch--) {
            if (channel >= 0 && ch != channel) continue;
            for (int64_t i = skip; i < count; i++) {
                int64_t col = c0 + (i - skip);
                const uint8_t* p = row + col * 4;
                const uint8_t* p2 = p + 4;
                glVertex2f(x0 + i * dx, y0 + p[ch] * g);
                glVertex2f(x0 + (i + 1) * dx, y0 + p2[ch] * g);
            }
        }
        glEnd();
    };
    glColor4f(0.9f, 0.1f, 0.1f, 0.71f);
    segments(2);
    glColor4f(0.1f, 0.8f, 0.2f, 0.71f);
    segments(1);
    glColor4f(0.1f, 0.2f, 0.9f, 0.71f);
    segments(0);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x8000);
    glColor4f(0, 0, 0, 1);
    segments(-1);
    glLineStipple(1, 0x0100);
    glColor4f(1, 1, 1, 1);
    segments(-1);
    glDisable(GL_LINE_STIPPLE);
}

}  // namespace

bool Magnifier_Profile_Span(double centre_x, int64_t n, int64_t pixel_width, int64_t* c0, int64_t* skip,
                            int64_t* count) {
    if (n <= 0 || pixel_width < 2 || !std::isfinite(centre_x) || std::fabs(centre_x) > 1e12) return false;
    int64_t left = (int64_t)std::nearbyint(centre_x - n / 2.0);
    int64_t right = (int64_t)std::nearbyint(centre_x + n / 2.0);
    int64_t s = 0, c = n;
    if (left < 0) {
        s = -left;
        left = 0;
    }
    if (right > pixel_width - 1) c = n - (right - (pixel_width - 1));
    // The last segment reads column left + (c - 1 - s) + 1; keep it on the row
    // whatever the rounding did.
    if (left + (c - s) > pixel_width - 1) c = s + (pixel_width - 1 - left);
    if (left > pixel_width - 1 || c <= s) return false;
    *c0 = left;
    *skip = s;
    *count = c;
    return true;
}

void Queue_Border(int32_t colour, float width) {
    Overlay_Queue.Border.Pending = 1;
    Overlay_Queue.Border.Colour = colour;
    Overlay_Queue.Border.Width = width;
}

void Queue_Line(float x1, float y1, float x2, float y2, int32_t colour, float width, uint8_t xor_op) {
    Overlay_Queue.Lines.push_back(Shape(x1, y1, x2, y2, 0, colour, width, xor_op));
}

void Queue_Rect(float x1, float y1, float x2, float y2, int32_t colour, float width, uint8_t xor_op) {
    Overlay_Queue.Rects.push_back(Shape(x1, y1, x2, y2, 0, colour, width, xor_op));
}

void Queue_Circle(float cx, float cy, float r, int32_t colour, float width, uint8_t xor_op) {
    Overlay_Queue.Circles.push_back(Shape(cx, cy, 0, 0, r, colour, width, xor_op));
}

void Queue_Crosshair(float x, float y, float x1, float x2, float y1, float y2, int32_t colour, float width,
                     uint8_t xor_op) {
    Overlay_Crosshair_Request& c = Overlay_Queue.Crosshair;
    c.Pending = 1;
    c.Colour = colour;
    c.Width = width;
    c.X = x;
    c.Y = y;
    c.X1 = x1;
    c.X2 = x2;
    c.Y1 = y1;
    c.Y2 = y2;
    c.Xor = xor_op;
}

void Queue_Label(const std::string& text, int64_t font, float x, float y, float scale, int32_t colour) {
    Overlay_Label l;
    l.Colour = colour;
    l.Font = font;
    l.Scale = scale;
    l.X = x;
    l.Y = y;
    l.Text = text;
    Overlay_Queue.Labels.push_back(l);
}

void Queue_Magnifier(float u, float v, float zoom, uint8_t corner, const uint8_t* pixels, int64_t pixel_width,
                     int64_t pixel_height, int64_t pointer_row, float graph_scale, float line_width) {
    Overlay_Magnifier_Request& m = Overlay_Queue.Magnifier;
    m.Pending = 1;
    m.U = u;
    m.V = v;
    m.Zoom = zoom;
    m.Corner = corner;
    m.Pixels = pixels;
    m.Pixel_Width = pixel_width;
    m.Pixel_Height = pixel_height;
    m.Pointer_Row = pointer_row;
    m.Graph_Scale = graph_scale;
    m.Line_Width = line_width;
}

void Clear_Overlay_Queue() {
    Overlay_Queue.Lines.clear();
    Overlay_Queue.Rects.clear();
    Overlay_Queue.Circles.clear();
    Overlay_Queue.Labels.clear();
    Overlay_Queue.Border.Pending = 0;
    Overlay_Queue.Crosshair.Pending = 0;
    Overlay_Queue.Magnifier.Pending = 0;
}

namespace {

// Where the picture origin lies in the view: a picture point (x, y) is drawn
// at (x - X, y - Y); the view is W x H picture pixels around its centre.
struct Overlay_Origin {
    float X, Y;
    int64_t W, H;
};

// Line width, logic operation and colour of one queued shape, then its glBegin.
void Begin_Shape(const Overlay_Shape& s, GLenum mode) {
    glLineWidth(s.Width);
    Set_Xor(s.Xor);
    Set_Colour(s.Colour);
    glBegin(mode);
}

// The frame around the picture, along its four corners.
void Draw_Border_Request(const float corners[8]) {
    Overlay_Queue_Record& q = Overlay_Queue;
    if (!q.Border.Pending) return;
    glLineWidth(q.Border.Width);
    glDisable(GL_TEXTURE_2D);
    Set_Colour(q.Border.Colour);
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < 4; i++) glVertex2f(corners[i * 2], corners[i * 2 + 1]);
    glEnd();
    Overlay_Stats.Borders++;
    Overlay_Stats.Border_Colour = q.Border.Colour;
    q.Border.Pending = 0;
}

// The crosshair: full-view lines through a point, or the arms of a span.
void Draw_Crosshair_Request(const Overlay_Origin& o) {
    Overlay_Queue_Record& q = Overlay_Queue;
    if (!q.Crosshair.Pending) return;
    const Overlay_Crosshair_Request& c = q.Crosshair;
    float dx = c.X2 - c.X1, dy = c.Y2 - c.Y1;
    float cx = (c.X1 + c.X2) * 0.5f, cy = (c.Y1 + c.Y2) * 0.5f;
    glLineWidth(c.Width);
    glDisable(GL_TEXTURE_2D);
    if (c.Xor == 1) {
        glLogicOp(GL_XOR);
        glEnable(GL_COLOR_LOGIC_OP);
    }
    Set_Colour(c.Colour);
    glBegin(GL_LINES);
    if (dx == 0 && dy == 0) {
        glVertex2f(c.X - o.X, -o.H / 2.0f);
        glVertex2f(c.X - o.X, o.H / 2.0f);
        glVertex2f(-o.W / 2.0f, c.Y - o.Y);
        glVertex2f(o.W / 2.0f, c.Y - o.Y);
    } else {
        if (dx > 0) {
            glVertex2f(cx - o.X + dx / 2, cy - o.Y);
            glVertex2f(cx - o.X - dx / 2, cy - o.Y);
        }
        if (dy > 0) {
            glVertex2f(cx - o.X, cy - o.Y + dy / 2);
            glVertex2f(cx - o.X, cy - o.Y - dy / 2);
        }
    }
    glEnd();
    glDisable(GL_COLOR_LOGIC_OP);
    q.Crosshair.Pending = 0;
}

// Straight lines, in the order they were queued.
void Draw_Line_Requests(const Overlay_Origin& o) {
    Overlay_Queue_Record& q = Overlay_Queue;
    if (q.Lines.empty()) return;
    glDisable(GL_TEXTURE_2D);
    for (const Overlay_Shape& s : q.Lines) {
        Begin_Shape(s, GL_LINES);
        glVertex2f(s.X1 - o.X, s.Y1 - o.Y);
        glVertex2f(s.X2 - o.X, s.Y2 - o.Y);
        glEnd();
    }
    glDisable(GL_COLOR_LOGIC_OP);
    q.Lines.clear();
}

// Circles as line loops.
void Draw_Circle_Requests(const Overlay_Origin& o) {
    Overlay_Queue_Record& q = Overlay_Queue;
    if (q.Circles.empty()) return;
    // One segment count for the whole drain, from the circle queued last.
    float n = q.Circles.back().Radius;
    if (!(n >= 24.0f)) n = 24.0f;
    if (n > 512.0f) n = 512.0f;
    const int64_t vertices = (int64_t)std::floor(n - 1) + 1;
    const float step = (float)(360.0 / n * (3.14159265358979323846 / 180.0));
    glDisable(GL_TEXTURE_2D);
    for (const Overlay_Shape& s : q.Circles) {
        Begin_Shape(s, GL_LINE_LOOP);
        float a = 0;
        for (int64_t k = 0; k < vertices; k++) {
            glVertex2f(s.X1 + s.Radius * std::cos(a) - o.X, s.Y1 + s.Radius * std::sin(a) - o.Y);
            a += step;
        }
        glEnd();
        Overlay_Stats.Circle_Vertices.push_back(vertices);
    }
    glDisable(GL_COLOR_LOGIC_OP);
    q.Circles.clear();
}

// Rectangles as line loops.
void Draw_Rect_Requests(const Overlay_Origin& o) {
    Overlay_Queue_Record& q = Overlay_Queue;
    if (q.Rects.empty()) return;
    glDisable(GL_TEXTURE_2D);
    for (const Overlay_Shape& s : q.Rects) {
        Begin_Shape(s, GL_LINE_LOOP);
        glVertex2f(s.X1 - o.X, s.Y1 - o.Y);
        glVertex2f(s.X2 - o.X, s.Y1 - o.Y);
        glVertex2f(s.X2 - o.X, s.Y2 - o.Y);
        glVertex2f(s.X1 - o.X, s.Y2 - o.Y);
        glEnd();
    }
    glDisable(GL_COLOR_LOGIC_OP);
    q.Rects.clear();
}

// Labels on a faint backdrop.
void Draw_Label_Requests(const Overlay_Origin& o) {
    Overlay_Queue_Record& q = Overlay_Queue;
    for (const Overlay_Label& l : q.Labels) {
        gText_Select_Font(l.Font);
        gText_Set_Scale(l.Scale);
        float w = 0, h = 0;
        gText_Measure(l.Text, &w, &h);
        const float x = l.X - o.X, y = l.Y - o.Y;
        glDisable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(0.2f, 0.24f, 0.3f, 0.1f);
        glBegin(GL_QUADS);
        glVertex2f(x - 1, y - 1);
        glVertex2f(x + w + 2, y - 1);
        glVertex2f(x + w + 2, y + h + 2);
        glVertex2f(x - 1, y + h + 2);
        glEnd();
        Overlay_Stats.Backdrops.push_back({x - 1, y - 1, x + w + 2, y + h + 2});
        uint32_t c = (uint32_t)l.Colour;
        gText_Draw(x, y, l.Text, c & 255, (c >> 8) & 255, (c >> 16) & 255, (c >> 24) & 255);
    }
    q.Labels.clear();
}

}  // namespace

// The drawing order is part of the look: border, crosshair, lines, circles,
// rectangles, labels, then the magnifier over all of them.
void Draw_Overlay_Queue(int64_t wp, int64_t hp, float sx, float sy, float corners[8], float tex_coords[8],
                        uint32_t texture) {
    Overlay_Stats = Overlay_Drain_Stats();
    const Overlay_Origin origin = {wp / 2.0f * sx, hp / 2.0f * sy, wp, hp};
    Draw_Border_Request(corners);
    Draw_Crosshair_Request(origin);
    Draw_Line_Requests(origin);
    Draw_Circle_Requests(origin);
    Draw_Rect_Requests(origin);
    Draw_Label_Requests(origin);
    Overlay_Queue_Record& q = Overlay_Queue;
    if (q.Magnifier.Pending) {
        Draw_Magnifier(q.Magnifier, wp, hp, sx, sy, corners, tex_coords, texture);
        q.Magnifier.Pending = 0;
    }
}

void Draw_Rect_Now(float x, float y, float w, float h, int32_t colour, int line_width) {
    float c[4];
    Colour_Of(colour, c);
    glLineWidth((float)line_width);
    glColor4f(c[0], c[1], c[2], 1.0f);
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_LINES);
    glVertex2f(x, y);
    glVertex2f(x + w, y);
    glVertex2f(x, y + h);
    glVertex2f(x + w, y + h);
    glVertex2f(x, y);
    glVertex2f(x, y + h);
    glVertex2f(x + w, y);
    glVertex2f(x + w, y + h);
    glEnd();
}
