#include "render/glip.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/picture.h"
#include "platform/platform.h"
#include "render/overlay_queue.h"

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif

std::map<std::string, uint32_t> View_Textures;
int64_t GLip_Texture_Uploads = 0;

namespace {

std::map<int64_t, GLip_Presentation> Presentations;

// Mesa leaves the back buffer undefined after a swap (and its front buffer
// cannot be read back under every X server), so every swapped presentation
// keeps a copy of its back buffer, taken just before the swap; the read-back
// returns that copy (bottom row first, as GL reads it).
struct Frame_Copy {
    int64_t Valid = 0;   // 1 when Pixels holds the view's last swapped frame
    int64_t W = 0, H = 0;
    std::vector<uint8_t> Pixels;
};
std::map<int64_t, Frame_Copy> Frame_Copies;

// What each view's texture was last filled from: the buffer's address, size
// and format and the texture name then. GLip_Present_Buffer skips the upload
// when its caller reports no change and all of these still match.
struct Upload_Record {
    const uint8_t* Pixels = nullptr;
    int64_t W = 0, H = 0, Bits = 0;
    uint32_t Name = 0;
};
std::map<int64_t, Upload_Record> Uploads;

uint32_t& Texture_Entry(int64_t view) { return View_Textures[std::to_string(view)]; }

bool Is_Texture(uint32_t name) { return name != 0 && glIsTexture(name) == GL_TRUE; }

void Read_Pixels(int64_t w, int64_t h, std::vector<uint8_t>* out) {
    out->resize((size_t)w * h * 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, (GLsizei)w, (GLsizei)h, GL_BGRA, GL_UNSIGNED_BYTE, out->data());
}

}  // namespace

GLip_Presentation GLip_Last_Presentation(int64_t view) {
    auto it = Presentations.find(view);
    return it == Presentations.end() ? GLip_Presentation() : it->second;
}

void GLip_Present(int64_t view, int64_t tw, int64_t th, int64_t fit_mode, int32_t background, int swap, int finish,
                  int clear, int flip) {
    if (!GL_View_Exists(view)) return;
    int iw = 0, ih = 0;
    GL_View_Size(view, &iw, &ih);
    const float vw = (float)iw, vh = (float)ih;
    // A picture or view without area has no placement (the fit would divide by zero).
    if (tw < 1 || th < 1 || iw < 1 || ih < 1) return;

    float corners[8] = {-tw / 2.0f, -th / 2.0f, tw / 2.0f, -th / 2.0f, tw / 2.0f, th / 2.0f, -tw / 2.0f, th / 2.0f};
    float tex[8];
    if (flip == 1) {
        const float t[8] = {0, 1, 1, 1, 1, 0, 0, 0};
        std::copy(t, t + 8, tex);
    } else {
        const float t[8] = {0, 0, 1, 0, 1, 1, 0, 1};
        std::copy(t, t + 8, tex);
    }

    if (clear == 1) {
        uint32_t c = (uint32_t)background;
        glClearColor((c & 255) / 255.0f, ((c >> 8) & 255) / 255.0f, ((c >> 16) & 255) / 255.0f,
                     ((c >> 24) & 255) / 255.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glColor3f(1, 1, 1);

    float sx = tw / vw, sy = th / vh;
    const float A = vw / tw, B = vh / th;
    if (fit_mode == FIT_ACTUAL) {
    } else if (fit_mode == FIT_COVER) {
        float k = B < A ? A : B;
        sx *= k;
        sy *= k;
    } else if (fit_mode == FIT_CONTAIN) {
        float k = B < A ? B : A;
        sx *= k;
        sy *= k;
    } else {
        sx = sy = 1;
    }

    const int64_t vpw = (int64_t)std::nearbyint(vw * Display_Scale_X());
    const int64_t vph = (int64_t)std::nearbyint(vh * Display_Scale_Y());
    glViewport(0, 0, (GLsizei)vpw, (GLsizei)vph);

    const int64_t wp = (int64_t)std::nearbyint(tw / sx), hp = (int64_t)std::nearbyint(th / sy);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-wp / 2.0, wp / 2.0, hp / 2.0, -hp / 2.0, -1, 1);
    glMatrixMode(GL_MODELVIEW);

    glBegin(GL_QUADS);
    for (int i = 0; i < 4; i++) {
        glTexCoord2f(tex[i * 2], tex[i * 2 + 1]);
        glVertex2f(corners[i * 2], corners[i * 2 + 1]);
    }
    glEnd();

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    Draw_Overlay_Queue(wp, hp, sx, sy, corners, tex, (uint32_t)bound);

    if (finish == 1) glFinish();
    GLip_Presentation& p = Presentations[view];
    p.W = wp;
    p.H = hp;
    p.Scale_X = sx;
    p.Scale_Y = sy;
    p.Viewport_W = vpw;
    p.Viewport_H = vph;
    p.Swapped = swap == 1 ? 1 : 0;
    Frame_Copy& copy = Frame_Copies[view];
    copy.Valid = 0;
    if (swap == 1) {
        glReadBuffer(GL_BACK);
        Read_Pixels(vpw, vph, &copy.Pixels);
        copy.W = vpw;
        copy.H = vph;
        copy.Valid = 1;
        GL_Swap(view);
    }
}

void GLip_Bind_Texture(int64_t view, int nearest) {
    if (!GL_View_Exists(view)) return;
    uint32_t& name = Texture_Entry(view);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LINE_SMOOTH);
    if (name == 0) {
        GLuint made = 0;
        glGenTextures(1, &made);
        name = made;
    }
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, nearest == 1 ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
}

void GLip_Upload_Buffer(int64_t view, const uint8_t* pixels, int64_t width, int64_t height, int64_t bits_per_pixel,
                        int nearest, int32_t background, int64_t fit_mode, int swap, int finish, int clear) {
    if (!GL_View_Exists(view)) return;
    if (!pixels || width < 1 || height < 1) return;
    if (!GL_Make_Current(view)) return;
    GLip_Bind_Texture(view, nearest);
    // Rows are tightly packed; one-byte pixels need byte alignment or GL
    // would read padding past the end of every row.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, bits_per_pixel == 8 ? 1 : 4);
    GLip_Texture_Uploads++;
    Upload_Record& record = Uploads[view];
    // The same size and format into the same texture (a live picture's next
    // frame): the storage stays, only the pixels are sent.
    const uint32_t name = Texture_Entry(view);
    const bool same_storage = record.Name == name && record.W == width && record.H == height &&
                              record.Bits == bits_per_pixel && Is_Texture(name);
    record.Pixels = pixels;
    record.W = width;
    record.H = height;
    record.Bits = bits_per_pixel;
    record.Name = name;
    if (same_storage)
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, (GLsizei)width, (GLsizei)height,
                        bits_per_pixel == 8 ? GL_RED : GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    else if (bits_per_pixel == 8)
        glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, (GLsizei)width, (GLsizei)height, 0, GL_RED, GL_UNSIGNED_BYTE,
                     pixels);
    else if (bits_per_pixel == 32)
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, (GLsizei)width, (GLsizei)height, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    else
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, (GLsizei)width, (GLsizei)height, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
    GLip_Present(view, width, height, fit_mode, background, swap, finish, clear, 0);
}

void GLip_Present_Buffer(int64_t view, const uint8_t* pixels, int64_t width, int64_t height, int64_t bits_per_pixel,
                         int nearest, int32_t background, int64_t fit_mode, int swap, int finish, int clear,
                         int changed) {
    if (!GL_View_Exists(view)) return;
    if (!pixels || width < 1 || height < 1) return;
    auto it = Uploads.find(view);
    uint32_t name = Texture_Entry(view);
    bool same = it != Uploads.end() && it->second.Pixels == pixels && it->second.W == width &&
                it->second.H == height && it->second.Bits == bits_per_pixel && it->second.Name == name;
    if (changed == 1 || !same || !GL_Make_Current(view) || !Is_Texture(name)) {
        GLip_Upload_Buffer(view, pixels, width, height, bits_per_pixel, nearest, background, fit_mode, swap, finish,
                           clear);
        return;
    }
    // Everything an upload does except sending the pixels, so that the GL
    // state left behind (and so the drawing) is the same.
    GLip_Bind_Texture(view, nearest);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, bits_per_pixel == 8 ? 1 : 4);
    GLip_Present(view, width, height, fit_mode, background, swap, finish, clear, 0);
}

void GLip_Upload_Image(int64_t view, const Picture* image, int nearest, int32_t background, int64_t fit_mode, int swap,
                       int finish, int clear, int flip) {
    if (!GL_View_Exists(view) || !image) return;
    if (image->Width < 1 || image->Height < 1 ||
        image->Pixels.size() < (size_t)image->Width * (size_t)image->Height * 4)
        return;
    if (!GL_Make_Current(view)) return;
    GLip_Bind_Texture(view, nearest);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    GLip_Texture_Uploads++;
    Uploads.erase(view);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image->Width, image->Height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 image->Pixels.data());
    GLip_Present(view, image->Width, image->Height, fit_mode, background, swap, finish, clear, flip);
}

void GLip_Redraw(int64_t view, int32_t background, int64_t fit_mode, int swap, int finish, int clear, int flip) {
    if (!GL_View_Exists(view)) return;
    if (!GL_Make_Current(view)) return;
    uint32_t name = Texture_Entry(view);
    if (!Is_Texture(name)) return;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    GLip_Present(view, w, h, fit_mode, background, swap, finish, clear, flip);
}

void GLip_Free_Texture(int64_t view) {
    if (!GL_View_Exists(view)) return;
    uint32_t& name = Texture_Entry(view);
    if (name == 0) return;
    if (!GL_Make_Current(view)) return;
    if (!Is_Texture(name)) return;
    glBindTexture(GL_TEXTURE_2D, 0);
    GLuint n = name;
    glDeleteTextures(1, &n);
    name = 0;
    Uploads.erase(view);
}

void GLip_Free_All() {
    for (auto& entry : View_Textures) {
        if (entry.second == 0) continue;
        int64_t view = std::strtoll(entry.first.c_str(), nullptr, 10);
        if (!GL_View_Exists(view)) continue;
        if (!GL_Make_Current(view)) continue;
        if (!Is_Texture(entry.second)) continue;
        glBindTexture(GL_TEXTURE_2D, 0);
        GLuint n = entry.second;
        glDeleteTextures(1, &n);
        entry.second = 0;
    }
    Uploads.clear();
}

void GLip_Read_Back(int64_t view, Picture* image, int read_buffer) {
    if (!GL_View_Exists(view) || !image) return;
    if (!GL_Make_Current(view)) return;
    GLint vp[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, vp);
    const int64_t w = vp[2], h = vp[3];
    if (w < 1 || h < 1) return;
    Frame_Copy& copy = Frame_Copies[view];
    std::vector<uint8_t> read;
    const std::vector<uint8_t>* source = &copy.Pixels;
    if (!(copy.Valid && copy.W == w && copy.H == h)) {
        // Not swapped since it was drawn: the buffer still holds the frame.
        glReadBuffer((GLenum)read_buffer);
        Read_Pixels(w, h, &read);
        source = &read;
    }
    const std::vector<uint8_t>& rows = *source;
    image->Width = (int32_t)w;
    image->Height = (int32_t)h;
    image->Pixels.resize((size_t)w * h * 4);
    const size_t stride = (size_t)w * 4;
    for (int64_t y = 0; y < h; y++)
        std::copy(rows.begin() + (size_t)(h - 1 - y) * stride, rows.begin() + (size_t)(h - y) * stride,
                  image->Pixels.begin() + (size_t)y * stride);
}

void GLip_Unproject(int64_t view, float x, float y, float* u, float* v) {
    if (u) *u = 0;
    if (v) *v = 0;
    if (!GL_View_Exists(view)) return;
    if (!GL_Make_Current(view)) return;
    GLdouble model[16], proj[16];
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, vp);
    GLdouble ox = 0, oy = 0, oz = 0;
    // Window y counts from the bottom in GL; the projection has y downwards.
    if (gluUnProject(x, vp[3] - (double)y, 0.0, model, proj, vp, &ox, &oy, &oz) != GL_TRUE) return;
    if (u) *u = (float)ox;
    if (v) *v = (float)oy;
}
