#include "render/font_atlas.h"

#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/image_io.h"
#include "platform/platform.h"
#include "resources/resources.h"

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif
#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif

Font_Def Font_Defs[FONT_SLOTS];
int64_t Atlas_Exists = 0;
int64_t Atlas_View = -1;
uint32_t Atlas_Texture = 0;
Picture Atlas_Last_Image;
int64_t Atlas_Overflowed = 0;

namespace {

const char SEVEN_SEGMENT_NAME[] = "Digital-7 Mono";
const double SEVEN_SEGMENT_SCALE = 0.8;

// Whole numbers round half to even, as everywhere in the program.
float Round_F(double v) { return (float)std::nearbyint(v); }

// One sized face for a font definition. The seven-segment family is the
// embedded seven-segment face, whose missing characters ("%") come from the
// embedded monospace face; every other family name gets Roboto. Style flags
// are not interpreted: only regular faces are embedded.
//
// Sizes: a point size is turned into pixels at 96 dpi (pixels = points *
// 96 / 72). A character's "advance" is the face's horizontal advance and its
// "text height" the face's line height (ascender - descender + gap), both in
// pixels at that size; the glyph is drawn with its baseline at the ascender
// below the cell's top, the way a text drawn at (0, 0) sits in its cell.
// Hinting is off so that the atlas is the same with every FreeType build.
struct Sized_Font {
    FT_Face Primary = nullptr;
    FT_Face Fallback = nullptr;
};

struct Rendered_Glyph {
    float Advance = 0;
    float Text_Height = 0;
    int Left = 0, Top = 0;   // bitmap position in the cell (top = rows below the cell top)
    int Width = 0, Rows = 0;
    std::vector<uint8_t> Coverage;  // Rows x Width
};

FT_Face Open_Face(FT_Library lib, Resource_Data data, int pixels_26_6_points) {
    FT_Face face = nullptr;
    if (!data.Data || data.Size == 0) return nullptr;
    if (FT_New_Memory_Face(lib, data.Data, (FT_Long)data.Size, 0, &face) != 0) return nullptr;
    if (FT_Set_Char_Size(face, 0, pixels_26_6_points, 96, 96) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    return face;
}

Sized_Font Create_Font(FT_Library lib, const Font_Def& def) {
    Sized_Font font;
    int points = (int)std::nearbyint(def.Size);
    if (points < 1) points = 1;
    if (def.Name == SEVEN_SEGMENT_NAME) {
        // The embedded seven-segment face draws its digits nearly a full em
        // tall; at 80 % of the nominal size they, their decimal point and the
        // bottom segments fit the 28-pixel read-out views at y = 5.
        const int seven_segment_size = (int)std::lround(points * 64 * SEVEN_SEGMENT_SCALE);
        font.Primary = Open_Face(lib, Resource_Font_Seven_Segment(), seven_segment_size);
        font.Fallback = Open_Face(lib, Resource_Font_Monospace(), seven_segment_size);
    } else {
        font.Primary = Open_Face(lib, Resource_Font_Roboto(), points * 64);
    }
    return font;
}

void Release_Font(Sized_Font* font) {
    if (font->Primary) FT_Done_Face(font->Primary);
    if (font->Fallback) FT_Done_Face(font->Fallback);
    font->Primary = font->Fallback = nullptr;
}

// Renders one character anti-aliased (coverage 0..255). A character that
// neither face has renders as nothing, with zero advance.
Rendered_Glyph Render_Char(const Sized_Font& font, int32_t code) {
    Rendered_Glyph out;
    FT_Face face = nullptr;
    FT_UInt index = 0;
    if (font.Primary) {
        index = FT_Get_Char_Index(font.Primary, (FT_ULong)code);
        if (index != 0) face = font.Primary;
    }
    if (!face && font.Fallback) {
        index = FT_Get_Char_Index(font.Fallback, (FT_ULong)code);
        if (index != 0) face = font.Fallback;
    }
    FT_Face metrics_face = face ? face : font.Primary;
    if (metrics_face) out.Text_Height = (float)(metrics_face->size->metrics.height / 64.0);
    if (!face) return out;
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_HINTING) != 0) return out;
    out.Advance = (float)(face->glyph->advance.x / 64.0);
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return out;
    const FT_Bitmap& bm = face->glyph->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return out;
    int ascender = (int)std::lround(face->size->metrics.ascender / 64.0);
    out.Left = face->glyph->bitmap_left;
    out.Top = ascender - face->glyph->bitmap_top;
    out.Width = (int)bm.width;
    out.Rows = (int)bm.rows;
    out.Coverage.assign((size_t)out.Width * out.Rows, 0);
    int pitch = bm.pitch < 0 ? -bm.pitch : bm.pitch;
    for (int row = 0; row < out.Rows; row++) {
        const uint8_t* src = bm.buffer + (size_t)(bm.pitch < 0 ? out.Rows - 1 - row : row) * pitch;
        std::copy(src, src + out.Width, out.Coverage.begin() + (size_t)row * out.Width);
    }
    return out;
}

// Draws a rendered glyph into a BGRA picture with its cell origin at (ox, oy),
// white "over" what is there, clipped to the picture and to the box
// (cx0, cy0)-(cx1, cy1) exclusive: ink that fell outside the glyph cell was
// not measured and would land on the neighbouring glyphs.
void Blend_Glyph(Picture* pic, const Rendered_Glyph& g, int ox, int oy, int cx0, int cy0, int cx1, int cy1) {
    cx0 = std::max(cx0, 0);
    cy0 = std::max(cy0, 0);
    cx1 = std::min(cx1, (int)pic->Width);
    cy1 = std::min(cy1, (int)pic->Height);
    for (int row = 0; row < g.Rows; row++) {
        int y = oy + g.Top + row;
        if (y < cy0 || y >= cy1) continue;
        for (int col = 0; col < g.Width; col++) {
            int x = ox + g.Left + col;
            if (x < cx0 || x >= cx1) continue;
            uint32_t a = g.Coverage[(size_t)row * g.Width + col];
            if (a == 0) continue;
            uint8_t* p = &pic->Pixels[((size_t)y * pic->Width + x) * 4];
            // White over white keeps the colour; alpha accumulates.
            p[0] = p[1] = p[2] = 255;
            p[3] = (uint8_t)(a + p[3] * (255 - a) / 255);
        }
    }
}

void Fill_Picture(Picture* pic, int w, int h, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    pic->Width = w;
    pic->Height = h;
    pic->Pixels.resize((size_t)w * h * 4);
    for (size_t i = 0; i < pic->Pixels.size(); i += 4) {
        pic->Pixels[i] = b;
        pic->Pixels[i + 1] = g;
        pic->Pixels[i + 2] = r;
        pic->Pixels[i + 3] = a;
    }
}

// The dump is a colour picture without alpha, so the coverage is shown as
// white glyphs on black; a failure to write it is of no consequence.
void Dump_Atlas(const Picture& atlas) {
    Picture shown;
    shown.Width = atlas.Width;
    shown.Height = atlas.Height;
    shown.Pixels.resize(atlas.Pixels.size());
    for (size_t i = 0; i < atlas.Pixels.size(); i += 4) {
        uint8_t a = atlas.Pixels[i + 3];
        shown.Pixels[i] = shown.Pixels[i + 1] = shown.Pixels[i + 2] = a;
        shown.Pixels[i + 3] = 255;
    }
    std::string folder = Current_Directory() + "/Logs";
    if (!Create_Folder(folder)) return;
    std::vector<uint8_t> png;
    if (!Encode_Png(shown, &png)) return;
    Write_File_Atomically(folder + "/fontDef - Canvas.png", png);
}

}  // namespace

std::u16string Text_Code_Units(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0, n = text.size();
    while (i < n) {
        uint8_t b = (uint8_t)text[i];
        uint32_t cp = 0xFFFD;
        int len = 1;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2; cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3; cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4; cp = b & 0x07;
        } else {
            len = 0;  // stray continuation or invalid lead byte
        }
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; k++) {
            uint8_t c = (uint8_t)text[i + k];
            if ((c & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (c & 0x3F);
        }
        if (ok && len > 1) {
            static const uint32_t min_for_len[5] = {0, 0, 0x80, 0x800, 0x10000};
            if (cp < min_for_len[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) ok = false;
        }
        if (!ok) {
            out.push_back(u'\uFFFD');
            i += 1;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back((char16_t)(0xD800 + (cp >> 10)));
            out.push_back((char16_t)(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back((char16_t)cp);
        }
        i += len;
    }
    return out;
}

void gText_Init(int64_t view, int64_t size) {
    (void)size;  // the edge length is given to the build
    Atlas_Exists = 1;
    Atlas_View = view;
    if (!GL_View_Exists(view)) return;
    if (!GL_Make_Current(view)) return;
    GLuint name = 0;
    glGenTextures(1, &name);
    Atlas_Texture = name;
}

int64_t gText_Define_Font(int64_t slot, const std::string& name, float size, int64_t style,
                          const std::string& chars) {
    if (slot < 0 || slot >= FONT_SLOTS || name.empty() || !(std::nearbyint(size) > 4)) return 0;
    Font_Def& def = Font_Defs[slot];
    def.Name = name;
    def.Size = size;
    def.Style = style;
    def.Chars = chars;
    return 0;
}

namespace {

// Empties a font's tables and returns the codes it defines (below 256: codes
// from 256 up have no table entries and are left out).
std::vector<int32_t> Reset_Font_Tables(Font_Def& def) {
    if (def.Style & FONT_STYLE_MARKER) def.Style &= ~FONT_STYLE_MARKER;
    std::vector<int32_t> codes;
    for (char16_t u : Text_Code_Units(def.Chars))
        if (u < 256) codes.push_back((int32_t)u);
    std::fill(&def.Tex_Coords[0][0], &def.Tex_Coords[0][0] + 256 * 8, 0.0f);
    std::fill(&def.Metrics[0][0], &def.Metrics[0][0] + 256 * 4, 0.0f);
    std::fill(&def.Offsets[0][0], &def.Offsets[0][0] + 256 * 2, 0.0f);
    return codes;
}

// The glyph's advance, height and ink box inside its cell (cell_w x cell_h):
// only ink inside the cell counts. A space is one pixel high with the advance as width.
Glyph_Info Glyph_Cell_Info(int64_t slot, int32_t code, const Rendered_Glyph& r, int cell_w, int cell_h) {
    Glyph_Info gi;
    gi.Font = slot;
    gi.Code = code;
    if (code == ' ') {
        gi.Advance = Round_F(r.Advance);
        gi.Text_Height = 1;
        gi.Min_X = 0; gi.Min_Y = 0; gi.Max_X = gi.Advance; gi.Max_Y = 1;
    } else {
        gi.Advance = Round_F(r.Advance);
        gi.Text_Height = Round_F(r.Text_Height);
        gi.Min_X = gi.Advance; gi.Max_X = 0; gi.Min_Y = gi.Text_Height; gi.Max_Y = 0;
        for (int row = 0; row < r.Rows; row++) {
            int y = r.Top + row;
            if (y < 0 || y >= cell_h) continue;
            for (int col = 0; col < r.Width; col++) {
                int x = r.Left + col;
                if (x < 0 || x >= cell_w) continue;
                if (r.Coverage[(size_t)row * r.Width + col] == 0) continue;
                gi.Min_X = std::min(gi.Min_X, (float)x);
                gi.Max_X = std::max(gi.Max_X, (float)x);
                gi.Min_Y = std::min(gi.Min_Y, (float)y);
                gi.Max_Y = std::max(gi.Max_Y, (float)y);
            }
        }
    }
    gi.Width = gi.Max_X - gi.Min_X + 1;
    gi.Height = gi.Max_Y - gi.Min_Y + 1;
    return gi;
}

// Renders every code of one font, sets its line height and appends one glyph
// and its rendering per code; all glyphs of the font share the highest ink top.
void Measure_Font_Glyphs(int64_t slot, const Sized_Font& font, const std::vector<int32_t>& codes,
                         std::vector<Glyph_Info>* glyphs, std::vector<Rendered_Glyph>* renders) {
    Font_Def& def = Font_Defs[slot];
    std::vector<Rendered_Glyph> font_renders;
    int max_w = 0, max_h = 0, ink_right = 0;
    for (int32_t code : codes) {
        font_renders.push_back(Render_Char(font, code));
        Rendered_Glyph& r = font_renders.back();
        // A glyph with a negative left bearing (the seven-segment face's
        // decimal point, Roboto's "j") starts left of its cell: move its
        // ink right by the bearing so none of it is lost. Text is drawn
        // from the ink box, so the bearing never placed a glyph anyway.
        if (r.Left < 0) r.Left = 0;
        if (r.Width > 0) ink_right = std::max(ink_right, r.Left + r.Width);
        max_w = std::max(max_w, (int)Round_F(r.Advance));
        max_h = std::max(max_h, (int)Round_F(r.Text_Height));
    }
    def.Line_Height = max_h;
    // The cell is wide enough for every glyph's ink as well.
    const int cell_w = std::max(max_w + 3, ink_right), cell_h = max_h + 3;
    size_t first = glyphs->size();
    for (size_t k = 0; k < codes.size(); k++) {
        glyphs->push_back(Glyph_Cell_Info(slot, codes[k], font_renders[k], cell_w, cell_h));
        renders->push_back(font_renders[k]);
    }
    float top = 0;
    for (size_t k = first; k < glyphs->size(); k++)
        if ((*glyphs)[k].Min_Y > 0 && (top == 0 || (*glyphs)[k].Min_Y < top)) top = (*glyphs)[k].Min_Y;
    for (size_t k = first; k < glyphs->size(); k++) (*glyphs)[k].Top = top;
}

// Enters a glyph placed at (x, y) of an S x S atlas into its font's tables.
void Enter_Glyph(const Glyph_Info& gi, float x, float y, int S) {
    const float w = gi.Width, h = gi.Height;
    Font_Def& def = Font_Defs[gi.Font];
    int c = gi.Code;
    float* tc = def.Tex_Coords[c];
    tc[0] = x / S;       tc[1] = 1 - y / S;
    tc[2] = (x + w) / S; tc[3] = 1 - y / S;
    tc[4] = (x + w) / S; tc[5] = 1 - (y + h) / S;
    tc[6] = x / S;       tc[7] = 1 - (y + h) / S;
    def.Metrics[c][0] = w;
    def.Metrics[c][1] = h;
    def.Metrics[c][2] = 0;
    def.Metrics[c][3] = 0;
    def.Offsets[c][0] = 0;
    def.Offsets[c][1] = gi.Min_Y - gi.Top;
}

// Packs the glyphs into rows of the atlas, tallest first (equal heights keep
// their definition order), and draws their ink. Returns false when they do not fit.
bool Pack_Glyphs(Picture* atlas, int S, const std::vector<Glyph_Info>& glyphs,
                 const std::vector<Rendered_Glyph>& renders) {
    std::vector<size_t> order(glyphs.size());
    for (size_t k = 0; k < order.size(); k++) order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return glyphs[a].Height > glyphs[b].Height; });

    float x = 1, y = 1, r = 0;
    for (size_t k : order) {
        const Glyph_Info& gi = glyphs[k];
        float w = gi.Width, h = gi.Height;
        // A glyph without ink keeps the inverted start box (width or height
        // below 1): it gets no entry and draws as nothing.
        if (w < 1 || h < 1) continue;
        if (h > r) r = Round_F(h);
        if (x + w + 1 > S) {
            y = y + r + 1;
            r = Round_F(h);
            x = 1;
            if (y > S) return false;
        }
        Enter_Glyph(gi, x, y, S);
        if (gi.Code != ' ')
            Blend_Glyph(atlas, renders[k], (int)(x - gi.Min_X), (int)(y - gi.Min_Y), (int)x, (int)y, (int)(x + w),
                        (int)(y + h));
        x = Round_F(x + w + 1);
    }
    return true;
}

}  // namespace

int64_t gText_Build_Atlas(int64_t size) {
    if (size < 32) return -1;
    const int S = (int)std::min<int64_t>(size, 16384);
    Picture atlas;
    Fill_Picture(&atlas, S, S, 0, 0, 0, 0);

    FT_Library lib = nullptr;
    bool have_ft = FT_Init_FreeType(&lib) == 0;
    std::vector<Glyph_Info> glyphs;
    std::vector<Sized_Font> fonts(FONT_SLOTS);
    // Cell-relative renderings, kept to draw the glyphs into the atlas.
    std::vector<Rendered_Glyph> renders;
    for (int64_t slot = 0; slot < FONT_SLOTS; slot++) {
        Font_Def& def = Font_Defs[slot];
        if (def.Name.empty()) continue;
        std::vector<int32_t> codes = Reset_Font_Tables(def);
        if (have_ft) fonts[slot] = Create_Font(lib, def);
        Measure_Font_Glyphs(slot, fonts[slot], codes, &glyphs, &renders);
    }

    Fill_Picture(&atlas, S, S, 255, 255, 255, 0);
    const bool overflow = !Pack_Glyphs(&atlas, S, glyphs, renders);

    Dump_Atlas(atlas);
    gText_Upload_Atlas(atlas);
    Atlas_Last_Image = atlas;
    Atlas_Overflowed = overflow ? 1 : 0;
    for (Sized_Font& f : fonts) Release_Font(&f);
    if (have_ft) FT_Done_FreeType(lib);
    if (overflow)
        Message_Box("Error",
                    "Font atlas texture size exceeded; some fonts may render incorrectly.\n\nIncrease size as required",
                    MSG_ICON_ERROR);
    return 0;
}

void gText_Upload_Atlas(const Picture& image) {
    // Without a GL view (the logic tests) there is no context to upload into.
    if (Atlas_Exists != 1 || !GL_View_Exists(Atlas_View) || Atlas_Texture == 0) return;
    if (image.Width < 1 || image.Height < 1 || image.Pixels.size() < (size_t)image.Width * image.Height * 4) return;
    // Texture row 0 is the image's bottom row, so t counts from the bottom.
    std::vector<uint8_t> rows(image.Pixels.size());
    size_t stride = (size_t)image.Width * 4;
    for (int32_t yy = 0; yy < image.Height; yy++)
        std::copy(image.Pixels.begin() + (size_t)(image.Height - 1 - yy) * stride,
                  image.Pixels.begin() + (size_t)(image.Height - yy) * stride, rows.begin() + (size_t)yy * stride);
    glBindTexture(GL_TEXTURE_2D, Atlas_Texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.Width, image.Height, 0, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
}

void gText_Free() {
    if (Atlas_Exists != 1) return;
    Atlas_Exists = 0;
    if (Atlas_Texture != 0 && GL_View_Exists(Atlas_View) && GL_Make_Current(Atlas_View)) {
        GLuint name = Atlas_Texture;
        glDeleteTextures(1, &name);
    }
    Atlas_Texture = 0;
}
