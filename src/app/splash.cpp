// Splash screen: picture preparation and the fade-in / hold / fade-out loop.
#include "app/splash.h"

#include <cairo.h>

#include <cmath>

#include "base/app_state.h"
#include "platform/platform.h"
#include "resources/resources.h"

namespace {

const int Fallback_Width = 640;
const int Fallback_Height = 200;

// Draws `text` in black, centred across the picture, with the top of its
// line at `top` (the font's ascent above the baseline).
void Centred_Line(cairo_t* cr, const std::string& text, double top) {
    cairo_font_extents_t fe;
    cairo_text_extents_t te;
    cairo_font_extents(cr, &fe);
    cairo_text_extents(cr, text.c_str(), &te);
    cairo_move_to(cr, (Fallback_Width - te.x_advance) / 2.0, top + fe.ascent);
    cairo_show_text(cr, text.c_str());
}

Icon_Image Draw_Fallback(double scale) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, Fallback_Width, Fallback_Height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(cr, fo);
    cairo_font_options_destroy(fo);
    cairo_select_font_face(cr, "Arial", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    // 64 / scale points, as a font of that size is created on a display of
    // 96 x scale dots per inch: that many pixels per point
    double points = std::lround(64.0 / scale);
    cairo_set_font_size(cr, points * scale * 96.0 / 72.0);
    Centred_Line(cr, Application_Name, 0);
    Centred_Line(cr, Application_Version, 90);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    Icon_Image img = Icon_From_Cairo_Pixels(cairo_image_surface_get_data(surface), Fallback_Width, Fallback_Height,
                                            cairo_image_surface_get_stride(surface));
    cairo_surface_destroy(surface);
    return img;
}

bool Space_Down() { return Key_Is_Down(VK_SPACE_); }

void Discard_One_Event() {
    Platform_Event ev;
    Poll_Event(&ev);
}

}  // namespace

bool Splash_At_Start = true;

Icon_Image Prepare_Splash_Picture(const uint8_t* png, size_t size, double scale) {
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1.0;
    Icon_Image img = Decode_Png_Image(png, size);
    if (img.Width > 0 && img.Height > 0) return img;
    return Draw_Fallback(scale);
}

void Show_Splash(int64_t hold_ms) {
    double scale = Display_Scale_X();
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1.0;
    Resource_Data png = Resource_Splash_Png();
    Icon_Image picture = Prepare_Splash_Picture(png.Data, png.Size, scale);
    // the client size in logical pixels, so the picture shows pixel for pixel
    int w = (int)std::lround(picture.Width / scale), h = (int)std::lround(picture.Height / scale);
    // Without a window there is nothing to show or to skip; waiting out the
    // hold time (for the About box over an hour) would only hang the caller.
    if (picture.Width <= 0 ||
        !Open_Window(WINDOW_SPLASH, "", 0, 0, w, h,
                     WINDOW_HIDDEN | WINDOW_CENTRED | WINDOW_BORDERLESS | WINDOW_ON_TOP | WINDOW_TOOL))
        return;
    Set_Window_Opacity(WINDOW_SPLASH, 0);
    Set_Window_Background_Image(WINDOW_SPLASH, picture.Rgba.data(), picture.Width, picture.Height);

    // fade in: opacities 0, 5, ..., 250
    bool skip = false, shown = false;
    int a = 0;
    do {
        Discard_One_Event();
        Set_Window_Opacity(WINDOW_SPLASH, a);
        a += 5;
        // A termination signal skips the screen like the space bar.
        if (Space_Down() || Prompt_Abort_Requested()) skip = true;
        if (a > 0 && !shown) {
            Show_Window(WINDOW_SPLASH, true);
            shown = true;
        }
        Sleep_Ms(16);
    } while (!(a > 254 || skip));

    // hold
    a = 255;
    double start = Elapsed_Ms();
    while (!skip) {
        Sleep_Ms(1);
        if (Space_Down() || Left_Button_Is_Down() || Prompt_Abort_Requested()) skip = true;
        if ((double)Elapsed_Ms() - start > (double)hold_ms) skip = true;
        Discard_One_Event();
    }

    // fade out: opacities 255, 250, ..., 5
    skip = false;
    do {
        Discard_One_Event();
        Set_Window_Opacity(WINDOW_SPLASH, a);
        if (Space_Down()) skip = true;
        a -= 5;
        Sleep_Ms(16);
        if (Space_Down()) skip = true;
    } while (!(a < 3 || skip));

    Close_Window(WINDOW_SPLASH);
}
