// Vector icons drawn with cairo, and decoding of the stored PNG icons.
#include "app/icons.h"

#include <cairo.h>

#include <cmath>
#include <cstring>

#include "app/icon_palette.h"
#include "resources/resources.h"

namespace {

const double Pi = 3.14159265358979323846;

void Fill_And_Outline(cairo_t* cr, double width) {
    Light(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

// Radius 11 and a 2-unit outline put the ring on whole pixels at scale 1,
// so the outline has fully dark pixels instead of a grey blur.
void Disc(cairo_t* cr, int r, int g, int b) {
    cairo_arc(cr, 16, 16, 11, 0, 2 * Pi);
    Set_Rgb(cr, r, g, b);
    cairo_fill_preserve(cr);
    Set_Rgb(cr, 20, 20, 20);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

// A small filled square handle centred on (x, y).
void Handle(cairo_t* cr, double x, double y) {
    cairo_rectangle(cr, x - 2.5, y - 2.5, 5, 5);
    Accent(cr);
    cairo_fill(cr);
}

// A double-headed arrow from (x0, y0) to (x1, y1) in the accent colour.
void Double_Arrow(cairo_t* cr, double x0, double y0, double x1, double y1) {
    double dx = x1 - x0, dy = y1 - y0, len = std::hypot(dx, dy);
    if (len <= 0) return;
    dx /= len;
    dy /= len;
    const double head = 4.5, half = 3.2;
    Accent(cr);
    cairo_set_line_width(cr, 1.8);
    cairo_move_to(cr, x0 + dx * head, y0 + dy * head);
    cairo_line_to(cr, x1 - dx * head, y1 - dy * head);
    cairo_stroke(cr);
    for (int end = 0; end < 2; end++) {
        double tx = end ? x1 : x0, ty = end ? y1 : y0, s = end ? -1.0 : 1.0;
        cairo_move_to(cr, tx, ty);
        cairo_line_to(cr, tx + s * dx * head - dy * half, ty + s * dy * head + dx * half);
        cairo_line_to(cr, tx + s * dx * head + dy * half, ty + s * dy * head - dx * half);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
}

// An irregular rounded blob around (cx, cy): the "object" the automatic
// tools find.
void Blob_Path(cairo_t* cr, double cx, double cy, double r) {
    const int n = 8;
    const double wobble[n] = {1.0, 0.82, 0.95, 1.08, 0.86, 1.02, 0.9, 1.1};
    double px[n], py[n];
    for (int i = 0; i < n; i++) {
        double a = i * 2 * Pi / n;
        px[i] = cx + std::cos(a) * r * wobble[i];
        py[i] = cy + std::sin(a) * r * wobble[i] * 0.85;
    }
    // closed smooth curve through the midpoints, the points as controls
    cairo_new_sub_path(cr);
    cairo_move_to(cr, (px[n - 1] + px[0]) / 2, (py[n - 1] + py[0]) / 2);
    for (int i = 0; i < n; i++) {
        int j = (i + 1) % n;
        double mx = (px[i] + px[j]) / 2, my = (py[i] + py[j]) / 2;
        cairo_curve_to(cr, px[i], py[i], px[i], py[i], mx, my);
    }
    cairo_close_path(cr);
}

void Draw_Mode_5(cairo_t* cr) {
    // colour range: a disc of four wedges, one in the accent
    const int shades[4][3] = {{220, 221, 225}, {180, 180, 180}, {160, 160, 160}, {200, 105, 100}};
    for (int i = 0; i < 4; i++) {
        cairo_move_to(cr, 16, 16);
        cairo_arc(cr, 16, 16, 11, -Pi / 2 + i * Pi / 2, i * Pi / 2);
        cairo_close_path(cr);
        Set_Rgb(cr, shades[i][0], shades[i][1], shades[i][2]);
        cairo_fill(cr);
    }
    cairo_arc(cr, 16, 16, 11, 0, 2 * Pi);
    Set_Rgb(cr, 20, 20, 20);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    // the range: an arc across the wedges
    cairo_arc(cr, 16, 16, 6, -Pi / 2, Pi);
    Set_Rgb(cr, 255, 255, 255);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

void Draw_Magnifier(cairo_t* cr) {
    // handle first, the lens over it
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 6);
    cairo_move_to(cr, 20, 20);
    cairo_line_to(cr, 28, 28);
    cairo_stroke(cr);
    Mid_Light(cr);
    cairo_set_line_width(cr, 3);
    cairo_move_to(cr, 21, 21);
    cairo_line_to(cr, 27.5, 27.5);
    cairo_stroke(cr);
    cairo_arc(cr, 13, 13, 9.5, 0, 2 * Pi);
    Light(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
    // "+" in the glass
    Accent(cr);
    cairo_set_line_width(cr, 2.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, 8.5, 13);
    cairo_line_to(cr, 17.5, 13);
    cairo_move_to(cr, 13, 8.5);
    cairo_line_to(cr, 13, 17.5);
    cairo_stroke(cr);
}

void Draw_Tool_Line(cairo_t* cr) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 4);
    cairo_move_to(cr, 7, 25);
    cairo_line_to(cr, 25, 7);
    cairo_stroke(cr);
    Light(cr);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, 7, 25);
    cairo_line_to(cr, 25, 7);
    cairo_stroke(cr);
    Handle(cr, 6, 26);
    Handle(cr, 26, 6);
}

void Draw_Tool_Box(cairo_t* cr) {
    cairo_rectangle(cr, 6.5, 8.5, 19, 15);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 4);
    cairo_stroke_preserve(cr);
    Light(cr);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    Handle(cr, 6.5, 8.5);
    Handle(cr, 25.5, 23.5);
}

void Draw_Tool_Circle(cairo_t* cr) {
    cairo_arc(cr, 16, 16, 10.5, 0, 2 * Pi);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 4);
    cairo_stroke_preserve(cr);
    Light(cr);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    // the three points the circle goes through
    const double angles[3] = {-2.3, -0.35, 1.75};
    for (double a : angles) {
        cairo_arc(cr, 16 + std::cos(a) * 10.5, 16 + std::sin(a) * 10.5, 2.6, 0, 2 * Pi);
        Accent(cr);
        cairo_fill(cr);
    }
}

void Draw_Tool_Width(cairo_t* cr) {
    // a vertical object, measured across
    cairo_rectangle(cr, 9.5, 3.5, 13, 25);
    Fill_And_Outline(cr, 1.5);
    Double_Arrow(cr, 3, 16, 29, 16);
}

void Draw_Tool_Height(cairo_t* cr) {
    cairo_rectangle(cr, 3.5, 9.5, 25, 13);
    Fill_And_Outline(cr, 1.5);
    Double_Arrow(cr, 16, 3, 16, 29);
}

void Draw_Tool_Axes(cairo_t* cr) {
    cairo_save(cr);
    cairo_translate(cr, 16, 16);
    cairo_scale(cr, 1.0, 0.8);
    cairo_arc(cr, 0, 0, 11, 0, 2 * Pi);
    cairo_restore(cr);
    Fill_And_Outline(cr, 1.5);
    Double_Arrow(cr, 3, 16, 29, 16);
    Double_Arrow(cr, 16, 5, 16, 27);
}

void Draw_Tool_Auto_Box(cairo_t* cr) {
    Blob_Path(cr, 16, 16, 9.5);
    Fill_And_Outline(cr, 1.5);
    // the bounding box found around it
    cairo_rectangle(cr, 5.5, 7.5, 21, 17);
    Accent(cr);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
}

void Draw_Tool_Blob(cairo_t* cr) {
    // two small blobs in grey, the picked one filled with the accent
    Blob_Path(cr, 8, 8, 4);
    Fill_And_Outline(cr, 1.2);
    Blob_Path(cr, 25, 26, 3.5);
    Fill_And_Outline(cr, 1.2);
    Blob_Path(cr, 17, 17, 9);
    Accent(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    // the fill's seed: a white dot
    cairo_arc(cr, 17, 17, 2, 0, 2 * Pi);
    Set_Rgb(cr, 255, 255, 255);
    cairo_fill(cr);
}

void Draw_Tool_Auto_Circle(cairo_t* cr) {
    Blob_Path(cr, 16, 16, 8.5);
    Fill_And_Outline(cr, 1.5);
    cairo_arc(cr, 16, 16, 12.5, 0, 2 * Pi);
    Accent(cr);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
}

void Draw_Icon_Shape(cairo_t* cr, int which) {
    switch (which) {
    case VECTOR_ICON_MODE_1: Disc(cr, 20, 240, 240); break;
    case VECTOR_ICON_MODE_2: Disc(cr, 240, 20, 240); break;
    case VECTOR_ICON_MODE_3: Disc(cr, 240, 240, 20); break;
    case VECTOR_ICON_MODE_4: Disc(cr, 120, 120, 120); break;
    case VECTOR_ICON_MODE_5: Draw_Mode_5(cr); break;
    case VECTOR_ICON_MAGNIFIER: Draw_Magnifier(cr); break;
    case VECTOR_ICON_TOOL_LINE: Draw_Tool_Line(cr); break;
    case VECTOR_ICON_TOOL_BOX: Draw_Tool_Box(cr); break;
    case VECTOR_ICON_TOOL_CIRCLE: Draw_Tool_Circle(cr); break;
    case VECTOR_ICON_TOOL_WIDTH: Draw_Tool_Width(cr); break;
    case VECTOR_ICON_TOOL_HEIGHT: Draw_Tool_Height(cr); break;
    case VECTOR_ICON_TOOL_AXES: Draw_Tool_Axes(cr); break;
    case VECTOR_ICON_TOOL_AUTO_BOX: Draw_Tool_Auto_Box(cr); break;
    case VECTOR_ICON_TOOL_BLOB: Draw_Tool_Blob(cr); break;
    case VECTOR_ICON_TOOL_AUTO_CIRCLE: Draw_Tool_Auto_Circle(cr); break;
    default: break;
    }
}

struct Png_Reader {
    const uint8_t* Data;
    size_t Size;
    size_t At;
};

cairo_status_t Read_Png_Bytes(void* closure, unsigned char* out, unsigned int length) {
    Png_Reader* r = (Png_Reader*)closure;
    if (length > r->Size - r->At) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->Data + r->At, length);
    r->At += length;
    return CAIRO_STATUS_SUCCESS;
}

// `opaque`: an RGB24 surface, whose top byte is undefined and stands for 255.
Icon_Image Convert_Cairo_Pixels(const uint8_t* pixels, int width, int height, int stride, bool opaque) {
    Icon_Image img;
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4) return img;
    img.Width = width;
    img.Height = height;
    img.Rgba.resize((size_t)width * height * 4);
    for (int y = 0; y < height; y++) {
        const uint8_t* row = pixels + (size_t)y * stride;
        uint8_t* out = &img.Rgba[(size_t)y * width * 4];
        for (int x = 0; x < width; x++) {
            uint32_t p;
            std::memcpy(&p, row + x * 4, 4);  // a native-endian 0xAARRGGBB word
            if (opaque) p |= 0xFF000000u;
            uint32_t a = p >> 24, r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            if (a != 0 && a != 255) {
                // undo the premultiplication, rounding to nearest
                r = (r * 255 + a / 2) / a;
                g = (g * 255 + a / 2) / a;
                b = (b * 255 + a / 2) / a;
            }
            out[x * 4 + 0] = (uint8_t)(r > 255 ? 255 : r);
            out[x * 4 + 1] = (uint8_t)(g > 255 ? 255 : g);
            out[x * 4 + 2] = (uint8_t)(b > 255 ? 255 : b);
            out[x * 4 + 3] = (uint8_t)a;
        }
    }
    return img;
}

}  // namespace

Icon_Image Icon_From_Cairo_Pixels(const uint8_t* pixels, int width, int height, int stride) {
    return Convert_Cairo_Pixels(pixels, width, height, stride, false);
}

Icon_Image Draw_Vector_Icon(int which, double scale) {
    Icon_Image img;
    if (which < 0 || which >= VECTOR_ICON_COUNT) return img;
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1.0;
    int size = (int)std::lround(32.0 * scale);
    if (size < 1) size = 1;
    if (size > 1024) size = 1024;  // a scale factor no display has; keeps the picture bounded
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return img;
    }
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, size / 32.0, size / 32.0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    Draw_Icon_Shape(cr, which);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    img = Icon_From_Cairo_Pixels(cairo_image_surface_get_data(surface), size, size,
                                 cairo_image_surface_get_stride(surface));
    cairo_surface_destroy(surface);
    return img;
}

Icon_Image Decode_Png_Image(const uint8_t* data, size_t size) {
    Icon_Image img;
    if (!data || size < 8) return img;
    Png_Reader reader{data, size, 0};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(Read_Png_Bytes, &reader);
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(surface);
        cairo_format_t format = cairo_image_surface_get_format(surface);
        int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
        int stride = cairo_image_surface_get_stride(surface);
        const uint8_t* pixels = cairo_image_surface_get_data(surface);
        if (format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24)
            img = Convert_Cairo_Pixels(pixels, w, h, stride, format == CAIRO_FORMAT_RGB24);
        // other formats (grey or 1-bit masks) are not produced for PNG files
    }
    cairo_surface_destroy(surface);
    return img;
}

Icon_Image Load_Stored_Icon(int stored_icon) {
    Resource_Data png = Resource_Icon_Png(stored_icon);
    return Decode_Png_Image(png.Data, png.Size);
}
