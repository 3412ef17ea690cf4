#include "render/pixel_view.h"

#include <cmath>

#include <GL/gl.h>

#include "platform/platform.h"
#include "render/text.h"

bool Pixel_View_Begin(int64_t view, float red, float green, float blue, float alpha) {
    if (!GL_View_Exists(view) || !GL_Make_Current(view)) return false;
    int w = 0, h = 0;
    GL_View_Size(view, &w, &h);
    glDrawBuffer(GL_BACK);
    glViewport(0, 0, (GLsizei)std::lround(w * Display_Scale_X()), (GLsizei)std::lround(h * Display_Scale_Y()));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(red, green, blue, alpha);
    glClear(GL_COLOR_BUFFER_BIT);
    return true;
}

void Pixel_View_End(int64_t view) { GL_Swap(view); }

void Draw_Readout(int64_t view, const std::string& text, int64_t style) {
    bool blank = text.find_first_not_of(' ') == std::string::npos;
    bool ok = blank ? Pixel_View_Begin(view, 0.6f, 0.6f, 0.65f, 1.0f) : Pixel_View_Begin(view, 0.05f, 0.09f, 0.05f, 1.0f);
    if (!ok) return;
    static const int colours[3][3] = {{40, 250, 40}, {250, 175, 60}, {80, 225, 250}};
    const int* c = colours[(style >= 0 && style <= 2) ? style : 0];
    gText_Select_Font(0);
    gText_Set_Scale(1.0f);
    gText_Draw(2, 5, text, c[0], c[1], c[2], 255);
    Pixel_View_End(view);
}
