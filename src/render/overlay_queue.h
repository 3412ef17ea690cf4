// Overlay queue: everything drawn over a picture (job frame, reticle,
// cross-hair, measured lines, boxes and circles, labels, the magnifier lens
// with its colour profile) is queued here during a frame and drawn by the
// next presentation of any picture view, which empties the queue. Queued
// coordinates are picture pixels, origin top left, y downwards.
//
// GL state is deliberately not saved or restored: what each drawing step
// leaves behind (texturing off, blending on after labels, line width,
// colour) is what later drawing in that context sees.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Colours are packed red + green*256 + blue*65536 + alpha*16777216.
struct Overlay_Shape {
    int32_t Colour = 0;
    float Width = 0;     // line width, device pixels
    float X1 = 0;        // circle: centre x
    float X2 = 0;
    float Y1 = 0;        // circle: centre y
    float Y2 = 0;
    float Radius = 0;    // circles only, picture pixels
    uint8_t Xor = 0;     // 1 = XOR colour logic operation
};

struct Overlay_Label {
    int32_t Colour = 0;
    int64_t Font = 0;    // text font slot
    float Scale = 1;     // text scale
    float X = 0, Y = 0;  // top-left of the text
    std::string Text;
};

struct Overlay_Border_Request {
    uint8_t Pending = 0;
    int32_t Colour = 0;
    float Width = 0;
};

struct Overlay_Crosshair_Request {
    uint8_t Pending = 0;
    int32_t Colour = 0;
    float Width = 0;
    float X = 0, Y = 0;                  // the point
    float X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;  // the range; all equal = across the view
    uint8_t Xor = 0;
};

struct Overlay_Magnifier_Request {
    uint8_t Pending = 0;
    float U = 0, V = 0;          // lens centre, texture coordinates 0..1 (V down)
    float Zoom = 1;
    uint8_t Corner = 0;          // 0 lower right, 1 lower left, 2 upper right, 3 upper left
    const uint8_t* Pixels = nullptr;  // BGRA, rows from the top (not owned)
    int64_t Pixel_Width = 0, Pixel_Height = 0;
    int64_t Pointer_Row = 0;
    float Line_Width = 0;
    float Graph_Scale = 0;
};

struct Overlay_Queue_Record {
    std::vector<Overlay_Shape> Lines;
    std::vector<Overlay_Shape> Rects;
    std::vector<Overlay_Shape> Circles;
    std::vector<Overlay_Label> Labels;
    Overlay_Border_Request Border;
    Overlay_Crosshair_Request Crosshair;
    Overlay_Magnifier_Request Magnifier;
};

// What the last drain drew, for the tests (reset by every drain).
struct Overlay_Drain_Stats {
    int64_t Borders = 0;
    int32_t Border_Colour = 0;
    std::vector<int64_t> Circle_Vertices;      // vertex count of each circle's loop
    std::vector<std::vector<float>> Backdrops; // per label: left, top, right, bottom (view units)
    int64_t Profile_First_Column = -1;         // columns of the pointer row read by the profile
    int64_t Profile_Last_Column = -1;
};

extern Overlay_Queue_Record Overlay_Queue;
extern Overlay_Drain_Stats Overlay_Stats;

// ---------------------------------------------------------------- requests
void Queue_Border(int32_t colour, float width);
void Queue_Line(float x1, float y1, float x2, float y2, int32_t colour, float width, uint8_t xor_op);
void Queue_Rect(float x1, float y1, float x2, float y2, int32_t colour, float width, uint8_t xor_op);
void Queue_Circle(float cx, float cy, float r, int32_t colour, float width, uint8_t xor_op);
void Queue_Crosshair(float x, float y, float x1, float x2, float y1, float y2, int32_t colour, float width,
                     uint8_t xor_op);
void Queue_Label(const std::string& text, int64_t font, float x, float y, float scale, int32_t colour);
void Queue_Magnifier(float u, float v, float zoom, uint8_t corner, const uint8_t* pixels, int64_t pixel_width,
                     int64_t pixel_height, int64_t pointer_row, float graph_scale, float line_width);
// Empties every list and clears every pending flag without drawing.
void Clear_Overlay_Queue();

// ---------------------------------------------------------------- drawing
// Called by the presenter after the picture quad, with the view's context
// current. wp, hp: projection extents; sx, sy: texture pixels per view unit;
// corners and tex_coords: the picture quad (TL, TR, BR, BL) as (x, y) and
// (s, t) pairs; the magnifier overwrites both. texture: the view's texture.
void Draw_Overlay_Queue(int64_t wp, int64_t hp, float sx, float sy, float corners[8], float tex_coords[8],
                        uint32_t texture);
// Outline drawn at once in the current projection's units (no mapping).
void Draw_Rect_Now(float x, float y, float w, float h, int32_t colour, int line_width);

// Columns of the magnifier's profile for a lens n pixels wide centred on
// column centre_x of a row pixel_width wide: first column c0, the number of
// leading segments skipped, and the segment count bound (segments skip..count-1
// read columns c0 + (i - skip) and the one to its right). Returns false when
// nothing can be drawn.
bool Magnifier_Profile_Span(double centre_x, int64_t n, int64_t pixel_width, int64_t* c0, int64_t* skip,
                            int64_t* count);
