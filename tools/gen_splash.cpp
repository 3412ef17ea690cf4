// Build-time generator of the 970 x 494 splash picture: the program's name
// and version beside a stylised view down a microscope objective (lens
// rings, a few cells, one of them measured).
//
//   gen_splash <output.png> <Roboto .ttf> <name> <version>
//
// Text is drawn with the given font file through FreeType, so the picture
// does not depend on the fonts installed on the build machine.

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <string>

namespace {

const double Pi = 3.14159265358979323846;
const int Splash_Width = 970;
const int Splash_Height = 494;

void Rgba(cairo_t* cr, int r, int g, int b, double a) { cairo_set_source_rgba(cr, r / 255.0, g / 255.0, b / 255.0, a); }

void Draw_Background(cairo_t* cr) {
    cairo_pattern_t* bg = cairo_pattern_create_linear(0, 0, Splash_Width, Splash_Height);
    cairo_pattern_add_color_stop_rgb(bg, 0, 0.09, 0.13, 0.19);
    cairo_pattern_add_color_stop_rgb(bg, 1, 0.04, 0.07, 0.11);
    cairo_set_source(cr, bg);
    cairo_paint(cr);
    cairo_pattern_destroy(bg);
    // a faint glow behind the lens
    cairo_pattern_t* glow = cairo_pattern_create_radial(285, 247, 40, 285, 247, 330);
    cairo_pattern_add_color_stop_rgba(glow, 0, 0.35, 0.62, 0.72, 0.22);
    cairo_pattern_add_color_stop_rgba(glow, 1, 0.35, 0.62, 0.72, 0.0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
}

// The field of view: a lit disc inside the objective's rings.
void Draw_Objective(cairo_t* cr) {
    const double cx = 285, cy = 247;
    // outer barrel rings
    for (int i = 0; i < 4; i++) {
        cairo_arc(cr, cx, cy, 212 - i * 9, 0, 2 * Pi);
        Rgba(cr, 150, 190, 205, 0.10 + i * 0.07);
        cairo_set_line_width(cr, i == 3 ? 3.0 : 1.2);
        cairo_stroke(cr);
    }
    // the lit field
    const double r = 176;
    cairo_pattern_t* field = cairo_pattern_create_radial(cx - 40, cy - 50, 10, cx, cy, r);
    cairo_pattern_add_color_stop_rgb(field, 0, 0.97, 0.95, 0.96);
    cairo_pattern_add_color_stop_rgb(field, 0.75, 0.90, 0.88, 0.91);
    cairo_pattern_add_color_stop_rgb(field, 1, 0.70, 0.72, 0.78);
    cairo_arc(cr, cx, cy, r, 0, 2 * Pi);
    cairo_set_source(cr, field);
    cairo_fill(cr);
    cairo_pattern_destroy(field);

    cairo_save(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * Pi);
    cairo_clip(cr);
    // cells: pink cytoplasm, violet nucleus
    struct Cell {
        double X, Y, R, Nx, Ny, Nr;
    };
    const Cell cells[] = {
        {cx - 70, cy - 60, 46, -6, 4, 19}, {cx + 62, cy - 78, 34, 3, -2, 14}, {cx + 20, cy + 30, 58, 8, -6, 23},
        {cx - 110, cy + 70, 32, 2, 3, 13}, {cx + 120, cy + 60, 30, -2, 2, 12}, {cx + 95, cy + 138, 24, 0, 2, 10},
        {cx + 135, cy - 20, 20, 1, 0, 8},  {cx - 140, cy - 10, 22, 0, -1, 9},  {cx + 40, cy - 150, 24, 0, 0, 10},
    };
    for (const Cell& c : cells) {
        cairo_arc(cr, c.X, c.Y, c.R, 0, 2 * Pi);
        Rgba(cr, 214, 130, 178, 0.55);
        cairo_fill_preserve(cr);
        Rgba(cr, 180, 90, 150, 0.6);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
        cairo_arc(cr, c.X + c.Nx, c.Y + c.Ny, c.Nr, 0, 2 * Pi);
        Rgba(cr, 110, 55, 140, 0.85);
        cairo_fill(cr);
    }
    // cross-hair reticle
    Rgba(cr, 40, 50, 60, 0.25);
    cairo_set_line_width(cr, 1);
    cairo_move_to(cr, cx - r, cy + 0.5);
    cairo_line_to(cr, cx + r, cy + 0.5);
    cairo_move_to(cr, cx + 0.5, cy - r);
    cairo_line_to(cr, cx + 0.5, cy + r);
    cairo_stroke(cr);
    for (int i = -8; i <= 8; i++) {
        double len = (i % 5 == 0) ? 8 : 4;
        cairo_move_to(cr, cx + i * 20 + 0.5, cy - len);
        cairo_line_to(cr, cx + i * 20 + 0.5, cy + len);
    }
    cairo_stroke(cr);
    cairo_restore(cr);

    // the measurement across the big cell: a red line with end bars
    const double y = cy + 30 + 74;
    const double x0 = cx + 20 - 58, x1 = cx + 20 + 58;
    Rgba(cr, 215, 70, 60, 1.0);
    cairo_set_line_width(cr, 2.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_move_to(cr, x0, y);
    cairo_line_to(cr, x1, y);
    cairo_move_to(cr, x0, y - 9);
    cairo_line_to(cr, x0, y + 9);
    cairo_move_to(cr, x1, y - 9);
    cairo_line_to(cr, x1, y + 9);
    cairo_stroke(cr);
    // guide lines from the cell's edge down to the bar
    cairo_set_line_width(cr, 1);
    const double dash[] = {3, 3};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, x0 + 0.5, cy + 30);
    cairo_line_to(cr, x0 + 0.5, y - 9);
    cairo_move_to(cr, x1 - 0.5, cy + 30);
    cairo_line_to(cr, x1 - 0.5, y - 9);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

void Text_At(cairo_t* cr, const std::string& text, double size, double x, double baseline) {
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, text.c_str());
}

double Text_Width(cairo_t* cr, const std::string& text, double size) {
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    return e.x_advance;
}

void Draw_Titles(cairo_t* cr, cairo_font_face_t* face, const std::string& name, const std::string& version) {
    cairo_set_font_face(cr, face);
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, fo);
    cairo_font_options_destroy(fo);

    const double left = 540;
    // the measured cell's label, in the lens
    Rgba(cr, 215, 70, 60, 1.0);
    Text_At(cr, "18.4 \xC2\xB5m", 15, 285 + 20 - Text_Width(cr, "18.4 \xC2\xB5m", 15) / 2, 247 + 30 + 74 + 24);

    Rgba(cr, 246, 247, 250, 1.0);
    Text_At(cr, name, 104, left - 6, 236);
    // a measurement bar under the name, as wide as the name
    double w = Text_Width(cr, name, 104);
    Rgba(cr, 215, 70, 60, 1.0);
    cairo_set_line_width(cr, 3);
    cairo_move_to(cr, left, 266);
    cairo_line_to(cr, left + w - 12, 266);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 2);
    for (int i = 0; i <= 10; i++) {
        double x = left + (w - 12) * i / 10.0;
        double len = (i % 5 == 0) ? 9 : 5;
        cairo_move_to(cr, x, 266 - len);
        cairo_line_to(cr, x, 266);
    }
    cairo_stroke(cr);

    Rgba(cr, 160, 190, 205, 1.0);
    Text_At(cr, version, 28, left, 312);
    Rgba(cr, 120, 140, 155, 1.0);
    Text_At(cr, "Measuring on magnified pictures", 19, left, 350);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: gen_splash <output.png> <font.ttf> <name> <version>\n");
        return 2;
    }
    FT_Library ft = nullptr;
    FT_Face ft_face = nullptr;
    if (FT_Init_FreeType(&ft) != 0 || FT_New_Face(ft, argv[2], 0, &ft_face) != 0) {
        std::fprintf(stderr, "gen_splash: cannot load font %s\n", argv[2]);
        if (ft) FT_Done_FreeType(ft);
        return 1;
    }
    cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(ft_face, 0);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, Splash_Width, Splash_Height);
    cairo_t* cr = cairo_create(s);
    Draw_Background(cr);
    Draw_Objective(cr);
    Draw_Titles(cr, face, argv[3], argv[4]);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    std::string tmp = std::string(argv[1]) + ".tmp";
    bool ok = cairo_surface_write_to_png(s, tmp.c_str()) == CAIRO_STATUS_SUCCESS && std::rename(tmp.c_str(), argv[1]) == 0;
    if (!ok) {
        std::fprintf(stderr, "gen_splash: cannot write %s\n", argv[1]);
        std::remove(tmp.c_str());
    }
    cairo_surface_destroy(s);
    cairo_font_face_destroy(face);
    // cairo may keep the face in its caches until reset; drop them before
    // the FreeType face goes away
    cairo_debug_reset_static_data();
    FT_Done_Face(ft_face);
    FT_Done_FreeType(ft);
    return ok ? 0 : 1;
}
