#include "measure/picture_render.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/image_io.h"
#include "base/picture.h"
#include "document/doc_model.h"
#include "measure/scale_bar.h"
#include "measure/units.h"
#include "resources/resources.h"

namespace {

const double TOOL_LINE_WIDTH = 2.5;
// The picture view's labels: the 20-point face at 96 dpi, drawn at half size.
const double LABEL_PIXELS = 20.0 * 96.0 / 72.0 * 0.5;

// The embedded proportional face, opened once for the life of the process
// (cairo keeps its own references to it in its font caches).
cairo_font_face_t* Label_Face() {
    static cairo_font_face_t* face = nullptr;
    static bool tried = false;
    if (tried) return face;
    tried = true;
    static FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) return nullptr;
    Resource_Data font = Resource_Font_Roboto();
    FT_Face ft = nullptr;
    if (!font.Data || FT_New_Memory_Face(library, font.Data, (FT_Long)font.Size, 0, &ft) != 0) return nullptr;
    face = cairo_ft_font_face_create_for_ft_face(ft, 0);
    if (cairo_font_face_status(face) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(face);
        face = nullptr;
    }
    return face;
}

void Select_Face(cairo_t* cr, double pixels) {
    cairo_font_face_t* face = Label_Face();
    if (face)
        cairo_set_font_face(cr, face);
    else
        cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, pixels);
}

// Text whose ink box has its top-left corner at (left, top).
void Draw_Text_At(cairo_t* cr, const std::string& text, double left, double top, double r, double g, double b) {
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_move_to(cr, left - e.x_bearing, top - e.y_bearing);
    cairo_show_text(cr, text.c_str());
}

// A tool of a damaged or hostile file may hold any number; pictures are at
// most 16384 pixels wide, so nothing drawable lies that far out, and cairo
// would spend ages on a circle of astronomic radius.
const float FARTHEST_DRAWN = 1e6f;

bool Drawable_Tool(const Tool& t) {
    for (float v : {t.X_Start, t.Y_Start, t.X_End, t.Y_End, t.CentreX, t.CentreY, t.Radius})
        if (!(std::fabs(v) <= FARTHEST_DRAWN)) return false;
    return true;
}

// One outline exclusive-or'ed into the picture, as the view's logic operation
// does: the shape is rasterised without smoothing into a mask over its
// bounding box, and every covered pixel has its colour bits flipped by the
// tool's colour.
void Xor_Tool_Outline(Picture* p, const Tool& t) {
    double x0, y0, x1, y1;
    if (t.Type == TOOL_CIRCLE) {
        x0 = t.CentreX - t.Radius, x1 = t.CentreX + t.Radius;
        y0 = t.CentreY - t.Radius, y1 = t.CentreY + t.Radius;
    } else {
        x0 = std::min(t.X_Start, t.X_End), x1 = std::max(t.X_Start, t.X_End);
        y0 = std::min(t.Y_Start, t.Y_End), y1 = std::max(t.Y_Start, t.Y_End);
    }
    const double margin = TOOL_LINE_WIDTH + 2;
    int ix0 = (int)std::max(0.0, std::floor(x0 - margin)), iy0 = (int)std::max(0.0, std::floor(y0 - margin));
    int ix1 = (int)std::min((double)p->Width, std::ceil(x1 + margin));
    int iy1 = (int)std::min((double)p->Height, std::ceil(y1 + margin));
    if (ix1 <= ix0 || iy1 <= iy0) return;
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, ix1 - ix0, iy1 - iy0);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(mask);
        return;
    }
    cairo_t* cr = cairo_create(mask);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, -ix0, -iy0);
    cairo_set_line_width(cr, TOOL_LINE_WIDTH);
    cairo_set_source_rgba(cr, 0, 0, 0, 1);
    if (t.Type == TOOL_CIRCLE) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, t.CentreX, t.CentreY, std::fabs(t.Radius), 0, 2 * M_PI);
        cairo_close_path(cr);
    } else if (t.Type == TOOL_BOX || t.Type == TOOL_BLOB) {
        cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    } else {
        cairo_move_to(cr, t.X_Start, t.Y_Start);
        cairo_line_to(cr, t.X_End, t.Y_End);
    }
    cairo_stroke(cr);
    cairo_destroy(cr);
    cairo_surface_flush(mask);
    const uint8_t* m = cairo_image_surface_get_data(mask);
    const int stride = cairo_image_surface_get_stride(mask);
    const uint8_t red = (uint8_t)(t.Colour & 255), green = (uint8_t)((t.Colour >> 8) & 255),
                  blue = (uint8_t)((t.Colour >> 16) & 255);
    for (int y = iy0; y < iy1; y++) {
        const uint8_t* row = m + (size_t)(y - iy0) * stride;
        uint8_t* target = p->Pixels.data() + ((size_t)y * p->Width) * 4;
        for (int x = ix0; x < ix1; x++) {
            if (row[x - ix0] < 128) continue;
            uint8_t* q = target + (size_t)x * 4;
            q[0] ^= blue;
            q[1] ^= green;
            q[2] ^= red;
        }
    }
    cairo_surface_destroy(mask);
}

// The label above its anchor, kept inside the picture as the view keeps it:
// shadow one pixel right and down, then the text.
void Draw_Label(cairo_t* cr, const Tool& t, int64_t n, double ppmm, int64_t unit, int32_t W, int32_t H) {
    std::string text = Picture_Tool_Label(t, n, ppmm, unit);
    double x = t.X_Start, y = t.Y_Start;
    if (t.Type == TOOL_CIRCLE) {
        x = t.X_Start - t.Radius;
        y = t.Y_Start - t.Radius;
    }
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    double w = std::trunc(e.width), h = std::trunc(e.height);
    if (x < 0) x = 0;
    if (x + w > W) x = W - w;
    if (y < 3) y = 3;
    if (y + h > H) y = H - h;
    x = std::trunc(x);
    y = std::trunc(y) - 3;
    Draw_Text_At(cr, text, x + 1, y - h + 1, 10 / 255.0, 10 / 255.0, 10 / 255.0);
    Draw_Text_At(cr, text, x, y - h, 1.0, 250 / 255.0, 250 / 255.0);
}

// Bar and label in white on a dark, partly transparent backdrop in the
// bottom-right corner, sized from the picture's shorter edge.
void Draw_Scale_Bar(cairo_t* cr, const Doc_Info& doc, int32_t W, int32_t H, Scale_Bar_Box* box) {
    Scale_Bar bar;
    if (!Choose_Scale_Bar(W, doc.PPMM, doc.Measure_Unit, &bar)) return;
    const double font = std::max(12.0, std::round(std::min(W, H) * 0.04));
    const double pad = std::round(font * 0.4), gap = std::round(font * 0.3);
    const double thick = std::max(2.0, std::round(font * 0.3)), margin = std::round(font * 0.6);
    Select_Face(cr, font);
    cairo_text_extents_t e;
    cairo_text_extents(cr, bar.Label.c_str(), &e);
    const double length = std::max(1.0, std::round(bar.Pixels));
    const double box_w = std::max(length, std::ceil(e.width)) + 2 * pad;
    const double box_h = pad + std::ceil(e.height) + gap + thick + pad;
    double left = std::max(0.0, W - margin - box_w), top = std::max(0.0, H - margin - box_h);
    const double right = std::min((double)W, left + box_w), bottom = std::min((double)H, top + box_h);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.65);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
    const double bar_left = std::round(left + (box_w - length) / 2), bar_top = top + box_h - pad - thick;
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, bar_left, bar_top, length, thick);
    cairo_fill(cr);
    Draw_Text_At(cr, bar.Label, std::round(left + (box_w - e.width) / 2), top + pad, 1, 1, 1);
    if (box) {
        box->Left = (int32_t)left, box->Top = (int32_t)top, box->Right = (int32_t)right, box->Bottom = (int32_t)bottom;
        box->Bar_Left = (int32_t)bar_left, box->Bar_Top = (int32_t)bar_top;
        box->Bar_Right = (int32_t)(bar_left + length), box->Bar_Bottom = (int32_t)(bar_top + thick);
    }
}

}  // namespace

std::string Picture_Tool_Label(const Tool& t, int64_t n, double ppmm, int64_t unit) {
    double dx = std::fabs((double)t.X_End - t.X_Start);
    double dy = std::fabs((double)t.Y_End - t.Y_Start);
    double d = std::sqrt(dx * dx + dy * dy);
    std::string text = std::to_string(n) + ": ";
    switch (t.Type) {
        case TOOL_LINE:
        case TOOL_WIDTH:
        case TOOL_HEIGHT: text += Format_Length_In_Unit(d, ppmm, unit, 1); break;
        case TOOL_BOX:
            text += Format_Length_In_Unit(dx, ppmm, unit, 0) + " x " + Format_Length_In_Unit(dy, ppmm, unit, 1);
            break;
        case TOOL_CIRCLE: text += Format_Length_In_Unit(t.Radius, ppmm, unit, 1); break;
        case TOOL_BLOB: {
            // The blob's pixel count when it has one, else its bounding box, as the view's label.
            double w = Length_In_Unit(dx, ppmm, unit), h = Length_In_Unit(dy, ppmm, unit);
            if (Unit_Short_Label(unit) == "px") w = std::trunc(w), h = std::trunc(h);
            double area = w * h;
            if (t.Area > 0) area = (double)t.Area * Length_In_Unit(1.0, ppmm, unit) * Length_In_Unit(1.0, ppmm, unit);
            char b[64];
            snprintf(b, sizeof b, "%.2f", area);
            text += std::string(b) + Unit_Short_Label(unit) + "\xC2\xB2";
            break;
        }
        default: break;
    }
    return text;
}

bool Render_Document_Picture(const Doc_Info& doc, const Picture& picture, const Picture_Render_Options& options,
                             Picture* out, Scale_Bar_Box* box) {
    if (box) *box = Scale_Bar_Box();
    if (!Picture_Is_Valid(picture) || picture.Width > 32767 || picture.Height > 32767) return false;
    Picture p = picture;
    for (size_t i = 3; i < p.Pixels.size(); i += 4) p.Pixels[i] = 255;
    const double ppmm = doc.PPMM;
    if (options.Overlay)
        for (const Tool& t : doc.Tools)
            if (Drawable_Tool(t) && (t.Type == TOOL_LINE || t.Type == TOOL_WIDTH || t.Type == TOOL_HEIGHT ||
                                   t.Type == TOOL_BOX || t.Type == TOOL_BLOB || t.Type == TOOL_CIRCLE))
                Xor_Tool_Outline(&p, t);

    cairo_surface_t* surface = cairo_image_surface_create_for_data(p.Pixels.data(), CAIRO_FORMAT_RGB24, p.Width,
                                                                   p.Height, p.Width * 4);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_t* cr = cairo_create(surface);
    if (options.Overlay) {
        Select_Face(cr, LABEL_PIXELS);
        for (size_t i = 0; i < doc.Tools.size(); i++) {
            const Tool& t = doc.Tools[i];
            if (!Drawable_Tool(t) || t.Type == TOOL_WIDTH_HEIGHT || t.Type < TOOL_LINE || t.Type > TOOL_BLOB) continue;
            Draw_Label(cr, t, (int64_t)i, ppmm, doc.Measure_Unit, p.Width, p.Height);
        }
    }
    if (options.Scale_Bar) Draw_Scale_Bar(cr, doc, p.Width, p.Height, box);
    bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    // cairo leaves the unused byte of its 24-bit pixels as it finds it; keep it opaque.
    for (size_t i = 3; i < p.Pixels.size(); i += 4) p.Pixels[i] = 255;
    if (!ok) return false;
    *out = std::move(p);
    return true;
}
