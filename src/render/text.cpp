#include "render/text.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "platform/platform.h"
#include "render/font_atlas.h"

int64_t Current_Font = 0;
float Text_Scale = 1.0f;
const float Letter_Spacing = 2.0f;
Text_Batch_Record Text_Batch = {};
int64_t Text_Flush_Count = 0;

namespace {

// The batch stores 16-bit positions; anything beyond that range is pinned to
// the edge instead of wrapping round.
int16_t To_Int16(float v) {
    double r = std::nearbyint((double)v);
    if (!(r >= -32768.0)) return r != r ? 0 : -32768;
    if (r > 32767.0) return 32767;
    return (int16_t)r;
}

const Font_Def& Font() { return Font_Defs[Current_Font]; }

}  // namespace

int64_t gText_Select_Font(int64_t slot) {
    if (slot < 0 || slot > 15) return -1;
    Current_Font = slot;
    return 0;
}

int64_t gText_Set_Scale(float scale) {
    if (!(scale >= 0.001f && scale <= 999999.0f)) return -1;
    Text_Scale = scale;
    return 0;
}

float gText_Width(const std::string& text) {
    const Font_Def& f = Font();
    double sum = 0;
    for (char16_t u : Text_Code_Units(text)) {
        int c = u & 255;
        sum += f.Metrics[c][0] + Letter_Spacing + f.Metrics[c][2];
    }
    return (float)(Text_Scale * sum);
}

float gText_Height(const std::string& text) {
    const Font_Def& f = Font();
    float best = 0;
    for (char16_t u : Text_Code_Units(text)) {
        int c = u & 255;
        best = std::max(best, f.Metrics[c][1] + f.Offsets[c][1]);
    }
    return Text_Scale * best;
}

void gText_Measure(const std::string& text, float* w, float* h) {
    if (w) *w = gText_Width(text);
    if (h) *h = gText_Height(text);
}

void gText_Add(float x, float y, const std::string& text, int r, int g, int b, int a) {
    std::u16string units = Text_Code_Units(text);
    if (Text_Batch.Count + (int64_t)units.size() > TEXT_BATCH_QUADS) gText_Flush();
    const Font_Def& f = Font();
    const float s = Text_Scale;
    const uint8_t colour[4] = {(uint8_t)r, (uint8_t)g, (uint8_t)b, (uint8_t)a};
    float px = x, py = y;
    for (char16_t u : units) {
        int c = u & 255;
        float w = f.Metrics[c][0] * s;
        if (c == 10 || c == 13) {
            // The next line starts where the text started.
            py += f.Line_Height * s;
            px = x;
            continue;
        }
        if (c > 32) {
            // A text longer than the batch is drawn in several batches.
            if (Text_Batch.Count >= TEXT_BATCH_QUADS) gText_Flush();
            int64_t q = Text_Batch.Count;
            float ox = f.Offsets[c][0] * s, oy = f.Offsets[c][1] * s, h = f.Metrics[c][1] * s;
            px += ox;
            py += oy;
            int16_t* pos = Text_Batch.Positions[q];
            pos[0] = To_Int16(px);     pos[1] = To_Int16(py);
            pos[2] = To_Int16(px + w); pos[3] = To_Int16(py);
            pos[4] = To_Int16(px + w); pos[5] = To_Int16(py + h);
            pos[6] = To_Int16(px);     pos[7] = To_Int16(py + h);
            std::copy(f.Tex_Coords[c], f.Tex_Coords[c] + 8, Text_Batch.Tex_Coords[q]);
            for (int k = 0; k < 4; k++) std::copy(colour, colour + 4, Text_Batch.Colours[q] + k * 4);
            // Back to the pen's own position: the offsets place one glyph only.
            px -= ox;
            py -= oy;
            Text_Batch.Count++;
        }
        px += w + Letter_Spacing * s;
    }
}

void gText_Flush() {
    if (Text_Batch.Count == 0) return;
    Text_Flush_Count++;
    // Only a program with an atlas has a GL context to draw in.
    if (Atlas_Exists == 1 && GL_View_Exists(Atlas_View)) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, Atlas_Texture);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(2, GL_SHORT, 0, Text_Batch.Positions);
        glTexCoordPointer(2, GL_FLOAT, 0, Text_Batch.Tex_Coords);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, Text_Batch.Colours);
        glDrawArrays(GL_QUADS, 0, (GLsizei)(Text_Batch.Count * 4));
        glDisableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisable(GL_TEXTURE_2D);
    }
    Text_Batch.Count = 0;
}

void gText_Draw(float x, float y, const std::string& text, int r, int g, int b, int a) {
    gText_Add(x, y, text, r, g, b, a);
    gText_Flush();
}
