// Build-time generator of the stored 32 x 32 tool-bar icons (transparent
// background): Open, Save, Close selected file, the video toggle and
// analysis mode 0 (no processing). They use the palette of the icons drawn
// at start-up: light grey bodies with mid-grey outlines (visible on light and
// dark button faces alike) and a red accent.
//
//   gen_icons <output folder>
// writes icon_open.png, icon_save.png, icon_close_file.png, icon_video.png
// and icon_mode_0.png there.
//   gen_icons --program <output folder> <size>...
// writes the program's own icon for the desktop: trellum-<size>.png for each
// size given and the scalable trellum.svg.

#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/icon_palette.h"

namespace {

const double Pi = 3.14159265358979323846;

void Rounded_Rect(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -Pi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, Pi / 2);
    cairo_arc(cr, x + r, y + h - r, r, Pi / 2, Pi);
    cairo_arc(cr, x + r, y + r, r, Pi, 1.5 * Pi);
    cairo_close_path(cr);
}

// Fills the current path light and strokes it mid grey.
void Fill_And_Outline(cairo_t* cr) {
    Light(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

void Draw_Open(cairo_t* cr) {
    // folder back with its tab
    cairo_move_to(cr, 3.5, 8.5);
    cairo_line_to(cr, 11.5, 8.5);
    cairo_line_to(cr, 14, 11);
    cairo_line_to(cr, 26.5, 11);
    cairo_line_to(cr, 26.5, 26.5);
    cairo_line_to(cr, 3.5, 26.5);
    cairo_close_path(cr);
    Mid_Light(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    // front flap, opened forward
    cairo_move_to(cr, 7, 15.5);
    cairo_line_to(cr, 29.5, 15.5);
    cairo_line_to(cr, 26.5, 26.5);
    cairo_line_to(cr, 3.5, 26.5);
    cairo_close_path(cr);
    Fill_And_Outline(cr);
    // arrow out of the folder
    Accent(cr);
    cairo_set_line_width(cr, 2.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 21, 13);
    cairo_curve_to(cr, 21, 7, 23, 4.5, 27, 4.5);
    cairo_stroke(cr);
    cairo_move_to(cr, 29.5, 4.5);
    cairo_line_to(cr, 25, 1);
    cairo_line_to(cr, 25, 8);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void Draw_Save(cairo_t* cr) {
    // a disk: body, shutter, label
    Rounded_Rect(cr, 4.5, 4.5, 23, 23, 2.5);
    Fill_And_Outline(cr);
    cairo_rectangle(cr, 9.5, 4.5, 13, 8);
    Mid_Light(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    cairo_rectangle(cr, 18, 6, 2.5, 5);
    Mid_Dark(cr);
    cairo_fill(cr);
    Rounded_Rect(cr, 8.5, 16.5, 15, 11, 1);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    // downward arrow on the label
    Accent(cr);
    cairo_set_line_width(cr, 2.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 16, 18);
    cairo_line_to(cr, 16, 23);
    cairo_stroke(cr);
    cairo_move_to(cr, 12.5, 22);
    cairo_line_to(cr, 19.5, 22);
    cairo_line_to(cr, 16, 26);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void Draw_Close_File(cairo_t* cr) {
    // a sheet with a folded corner
    cairo_move_to(cr, 6.5, 3.5);
    cairo_line_to(cr, 19, 3.5);
    cairo_line_to(cr, 25.5, 10);
    cairo_line_to(cr, 25.5, 28.5);
    cairo_line_to(cr, 6.5, 28.5);
    cairo_close_path(cr);
    Fill_And_Outline(cr);
    cairo_move_to(cr, 19, 3.5);
    cairo_line_to(cr, 19, 10);
    cairo_line_to(cr, 25.5, 10);
    Mid_Light(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    // text lines
    Mid_Light(cr);
    cairo_set_line_width(cr, 1.5);
    for (int i = 0; i < 3; i++) {
        cairo_move_to(cr, 10, 14.5 + i * 4);
        cairo_line_to(cr, i == 2 ? 16 : 22, 14.5 + i * 4);
    }
    cairo_stroke(cr);
    // the red cross in a disc
    cairo_arc(cr, 23, 23, 7, 0, 2 * Pi);
    Accent(cr);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 2.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, 20, 20);
    cairo_line_to(cr, 26, 26);
    cairo_move_to(cr, 26, 20);
    cairo_line_to(cr, 20, 26);
    cairo_stroke(cr);
}

void Draw_Video(cairo_t* cr) {
    // camera body and lens hood
    Rounded_Rect(cr, 2.5, 9.5, 19, 14, 3);
    Fill_And_Outline(cr);
    cairo_move_to(cr, 21.5, 14);
    cairo_line_to(cr, 29.5, 9.5);
    cairo_line_to(cr, 29.5, 23.5);
    cairo_line_to(cr, 21.5, 19);
    cairo_close_path(cr);
    Mid_Light(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    // lens
    cairo_arc(cr, 12, 16.5, 4.2, 0, 2 * Pi);
    Mid_Light(cr);
    cairo_fill_preserve(cr);
    Mid_Dark(cr);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    cairo_arc(cr, 12, 16.5, 1.8, 0, 2 * Pi);
    Mid_Dark(cr);
    cairo_fill(cr);
    // recording light
    cairo_arc(cr, 6.5, 13, 1.6, 0, 2 * Pi);
    Accent(cr);
    cairo_fill(cr);
}

void Draw_Mode_0(cairo_t* cr) {
    // the unprocessed picture: a disc showing a tiny landscape, with the
    // same dark outline as the colour discs of modes 1 to 4
    cairo_arc(cr, 16, 16, 11, 0, 2 * Pi);
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 4, 0, 28);
    cairo_pattern_add_color_stop_rgb(sky, 0, 236 / 255.0, 237 / 255.0, 241 / 255.0);
    cairo_pattern_add_color_stop_rgb(sky, 1, 200 / 255.0, 201 / 255.0, 205 / 255.0);
    cairo_set_source(cr, sky);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(sky);
    cairo_save(cr);
    cairo_clip(cr);
    // hills
    cairo_move_to(cr, 2, 24);
    cairo_line_to(cr, 11, 14);
    cairo_line_to(cr, 16, 19);
    cairo_line_to(cr, 20, 15.5);
    cairo_line_to(cr, 30, 24);
    cairo_line_to(cr, 30, 30);
    cairo_line_to(cr, 2, 30);
    cairo_close_path(cr);
    Set_Rgb(cr, 120, 120, 120);
    cairo_fill(cr);
    // sun
    cairo_arc(cr, 21, 10, 2.6, 0, 2 * Pi);
    Accent(cr);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_arc(cr, 16, 16, 11, 0, 2 * Pi);
    Set_Rgb(cr, 20, 20, 20);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

// The program icon, drawn on a 256 x 256 grid: the magnified picture in a
// lens on a dark tile, a length measured across it in the accent colour, and
// the ticks of a ruler below.
void Draw_Program_Icon(cairo_t* cr) {
    Rounded_Rect(cr, 8, 8, 240, 240, 44);
    cairo_pattern_t* tile = cairo_pattern_create_linear(0, 8, 0, 248);
    cairo_pattern_add_color_stop_rgb(tile, 0, 74 / 255.0, 84 / 255.0, 99 / 255.0);
    cairo_pattern_add_color_stop_rgb(tile, 1, 38 / 255.0, 44 / 255.0, 54 / 255.0);
    cairo_set_source(cr, tile);
    cairo_fill(cr);
    cairo_pattern_destroy(tile);

    cairo_arc(cr, 128, 112, 84, 0, 2 * Pi);
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 28, 0, 196);
    cairo_pattern_add_color_stop_rgb(sky, 0, 236 / 255.0, 237 / 255.0, 241 / 255.0);
    cairo_pattern_add_color_stop_rgb(sky, 1, 190 / 255.0, 192 / 255.0, 198 / 255.0);
    cairo_set_source(cr, sky);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(sky);
    cairo_save(cr);
    cairo_clip(cr);
    cairo_move_to(cr, 40, 176);
    cairo_line_to(cr, 98, 116);
    cairo_line_to(cr, 132, 148);
    cairo_line_to(cr, 160, 124);
    cairo_line_to(cr, 220, 176);
    cairo_line_to(cr, 220, 200);
    cairo_line_to(cr, 40, 200);
    cairo_close_path(cr);
    Set_Rgb(cr, 120, 120, 120);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_arc(cr, 128, 112, 84, 0, 2 * Pi);
    Light(cr);
    cairo_set_line_width(cr, 12);
    cairo_stroke(cr);

    // the measured length with its end bars
    Accent(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 12);
    cairo_move_to(cr, 76, 96);
    cairo_line_to(cr, 180, 96);
    cairo_move_to(cr, 76, 72);
    cairo_line_to(cr, 76, 120);
    cairo_move_to(cr, 180, 72);
    cairo_line_to(cr, 180, 120);
    cairo_stroke(cr);

    // ruler ticks, a long one every fourth
    Light(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_width(cr, 6);
    for (int i = 0; i <= 12; i++) {
        double x = 44 + 14 * i;
        cairo_move_to(cr, x, 236);
        cairo_line_to(cr, x, i % 4 == 0 ? 206 : 220);
    }
    cairo_stroke(cr);
}

bool Write_Program_Icons(const std::string& dir, int argc, char** argv) {
    bool ok = true;
    for (int i = 0; i < argc; i++) {
        int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "gen_icons: bad icon size %s\n", argv[i]);
            return false;
        }
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        cairo_t* cr = cairo_create(s);
        cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
        cairo_scale(cr, size / 256.0, size / 256.0);
        Draw_Program_Icon(cr);
        cairo_destroy(cr);
        cairo_surface_flush(s);
        std::string path = dir + "/trellum-" + std::to_string(size) + ".png";
        if (cairo_surface_write_to_png(s, path.c_str()) != CAIRO_STATUS_SUCCESS) {
            std::fprintf(stderr, "gen_icons: cannot write %s\n", path.c_str());
            ok = false;
        }
        cairo_surface_destroy(s);
    }
    std::string svg_path = dir + "/trellum.svg";
    cairo_surface_t* svg = cairo_svg_surface_create(svg_path.c_str(), 256, 256);
    cairo_t* cr = cairo_create(svg);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    Draw_Program_Icon(cr);
    cairo_destroy(cr);
    cairo_surface_finish(svg);
    if (cairo_surface_status(svg) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "gen_icons: cannot write %s\n", svg_path.c_str());
        ok = false;
    }
    cairo_surface_destroy(svg);
    return ok;
}

bool Write_Icon(const std::string& path, void (*draw)(cairo_t*)) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 32, 32);
    cairo_t* cr = cairo_create(s);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    if (!ok) std::fprintf(stderr, "gen_icons: cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--program") {
        bool ok = Write_Program_Icons(argv[2], argc - 3, argv + 3);
        cairo_debug_reset_static_data();
        return ok ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_icons <output folder>\n");
        return 2;
    }
    std::string dir = argv[1];
    bool ok = Write_Icon(dir + "/icon_open.png", Draw_Open);
    ok = Write_Icon(dir + "/icon_save.png", Draw_Save) && ok;
    ok = Write_Icon(dir + "/icon_close_file.png", Draw_Close_File) && ok;
    ok = Write_Icon(dir + "/icon_video.png", Draw_Video) && ok;
    ok = Write_Icon(dir + "/icon_mode_0.png", Draw_Mode_0) && ok;
    cairo_debug_reset_static_data();
    return ok ? 0 : 1;
}
