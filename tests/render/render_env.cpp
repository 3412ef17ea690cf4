#include "render_env.h"

#include <cstdlib>
#include <vector>

#include "base/image_io.h"
#include "platform/platform.h"
#include "render/font_atlas.h"

bool Render_Test_Start() {
    static int state = 0;  // 0 not tried, 1 ready, -1 failed
    if (state != 0) return state == 1;
    state = -1;
    if (!Platform_Init()) return false;
    if (!Open_Window(WINDOW_MAIN, "Render tests", 0, 0, 1400, 780, WINDOW_CLOSE_BOX)) return false;
    bool ok = Create_Control(WINDOW_MAIN, VIEW_A, CONTROL_GL_VIEW, 0, 0, 1000, 500, "") &&
              Create_Control(WINDOW_MAIN, VIEW_B, CONTROL_GL_VIEW, 1010, 0, 320, 240, "") &&
              Create_Control(WINDOW_MAIN, VIEW_C, CONTROL_GL_VIEW, 1010, 260, 300, 200, "") &&
              Create_Control(WINDOW_MAIN, VIEW_D, CONTROL_GL_VIEW, 0, 520, 200, 100, "");
    if (!ok) return false;
    Show_Window(WINDOW_MAIN, true);
    Pump(500);
    gText_Init(VIEW_A, 256);
    state = 1;
    return true;
}

void Define_Start_Up_Fonts() {
    for (Font_Def& d : Font_Defs) d = Font_Def();
    std::string ascii;
    for (int c = 32; c <= 126; c++) ascii.push_back((char)c);
    gText_Define_Font(0, "Digital-7 Mono", 20, 1024, " -0123456789.%");
    gText_Define_Font(1, "Roboto", 20, 0, ascii + "\xC2\xB2");
}

Picture Solid_Picture(int w, int h, int r, int g, int b) {
    Picture p;
    p.Width = w;
    p.Height = h;
    p.Pixels.resize((size_t)w * h * 4);
    for (size_t i = 0; i < p.Pixels.size(); i += 4) {
        p.Pixels[i] = (uint8_t)b;
        p.Pixels[i + 1] = (uint8_t)g;
        p.Pixels[i + 2] = (uint8_t)r;
        p.Pixels[i + 3] = 255;
    }
    return p;
}

void Set_Pixel(Picture* p, int x, int y, int r, int g, int b) {
    uint8_t* q = &p->Pixels[((size_t)y * p->Width + x) * 4];
    q[0] = (uint8_t)b;
    q[1] = (uint8_t)g;
    q[2] = (uint8_t)r;
}

int Channel(const Picture& p, int x, int y, int ch) {
    if (x < 0 || y < 0 || x >= p.Width || y >= p.Height) return -1;
    return p.Pixels[((size_t)y * p.Width + x) * 4 + ch];
}

void Save_Debug(const Picture& p, const std::string& name) {
    const char* folder = std::getenv("TRELLUM_RENDER_DEBUG");
    if (!folder || p.Width < 1) return;
    std::vector<uint8_t> png;
    if (Encode_Png(p, &png)) Write_File_Atomically(std::string(folder) + "/" + name + ".png", png);
}
