#include "render/pixel_view.h"

#include <cmath>

#include <GL/gl.h>

#include "platform/platform.h"

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
