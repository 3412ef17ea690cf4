#include "app/renderer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/auto_measure.h"
#include "analysis/threshold.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "measure/overlay.h"
#include "measure/snapping.h"
#include "measure/tools.h"
#include "platform/platform.h"
#include "render/glip.h"
#include "render/overlay_queue.h"
#include "video/emulator.h"

uint8_t Reticle_Hidden = 0;
Picture Read_Back_Image;

namespace {

const int32_t WHITE = Pack_RGBA(255, 255, 255, 255);
const int32_t RED = Pack_RGBA(255, 0, 0, 255);
const int32_t BAND = Pack_RGBA(20, 195, 250, 255);
const int READ_BACK_BUFFER = 0x0405;  // GL_BACK: the buffer the frame was drawn into
const int32_t EMPTY_EDGE = 32;        // edge of the empty view's picture, pixels
const float THUMB_BORDER_WIDTH = 6.0f;
const float LIVE_BORDER_WIDTH = 2.0f;
const float LIVE_INPUT_QUIET_MS = 1500;  // the live border turns green after this long without input
// The magnifier's profile graph is drawn in picture pixels: its scale is the
// picture's height over this, so it takes the same share of any picture.
const float MAGNIFIER_SOURCE_ROWS = 480.0f;
const float MAGNIFIER_FRAME_WIDTH = 5.0f;

// The empty view: a 32 x 32 opaque picture of the live background.
std::vector<uint8_t> Empty_Picture() {
    std::vector<uint8_t> p(EMPTY_EDGE * EMPTY_EDGE * 4);
    for (size_t i = 0; i < (size_t)(EMPTY_EDGE * EMPTY_EDGE); i++) {
        p[i * 4 + 0] = (uint8_t)((Background_Live >> 16) & 255);
        p[i * 4 + 1] = (uint8_t)((Background_Live >> 8) & 255);
        p[i * 4 + 2] = (uint8_t)(Background_Live & 255);
        p[i * 4 + 3] = 255;
    }
    return p;
}

}  // namespace

void Queue_Reticle(int64_t w, int64_t h) {
    if (w < 1 || h < 1) return;
    const int32_t c = Pack_RGBA(253, 254, 255, 255);
    const float cx = (float)w / 2.0f, cy = (float)h / 2.0f, s = (float)h / 480.0f;
    const float arm = 32.0f * s;
    Queue_Line(cx, cy - arm, cx, cy + arm, c, 1.5f, 1);
    Queue_Line(cx - arm, cy, cx + arm, cy, c, 1.5f, 1);
    const float left = (float)w / 4.0f, right = (float)w * 3.0f / 4.0f;
    const float top = (float)h / 4.0f, bottom = (float)h * 3.0f / 4.0f;
    for (float x : {left, right})
        for (float y : {top, bottom}) {
            const float dx = x < cx ? arm : -arm, dy = y < cy ? arm : -arm;
            Queue_Line(x, y, x + dx, y, c, 2.5f, 1);
            Queue_Line(x, y, x, y + dy, c, 2.5f, 1);
        }
}

namespace {
std::vector<uint8_t> Thumbnail_Pixels;
}  // namespace

const uint8_t* Reduce_For_Thumbnail(const uint8_t* pixels, int64_t w, int64_t h, int64_t* tw, int64_t* th) {
    int64_t step = std::max((w + THUMB_TEXTURE_W - 1) / THUMB_TEXTURE_W, (h + THUMB_TEXTURE_H - 1) / THUMB_TEXTURE_H);
    if (step <= 1) {
        *tw = w;
        *th = h;
        return pixels;
    }
    *tw = (w + step - 1) / step;
    *th = (h + step - 1) / step;
    Thumbnail_Pixels.resize((size_t)(*tw * *th * 4));
    uint8_t* out = Thumbnail_Pixels.data();
    for (int64_t ty = 0; ty < *th; ty++) {
        const int64_t y0 = std::min(ty * step + step / 2, h - 1), y1 = std::max(y0 - 1, (int64_t)0);
        for (int64_t tx = 0; tx < *tw; tx++) {
            const int64_t x0 = std::min(tx * step + step / 2, w - 1), x1 = std::max(x0 - 1, (int64_t)0);
            const uint8_t* a = pixels + (y0 * w + x0) * 4;
            const uint8_t* b = pixels + (y0 * w + x1) * 4;
            const uint8_t* c = pixels + (y1 * w + x0) * 4;
            const uint8_t* d = pixels + (y1 * w + x1) * 4;
            for (int k = 0; k < 4; k++) *out++ = (uint8_t)((a[k] + b[k] + c[k] + d[k] + 2) / 4);
        }
    }
    return out - *tw * *th * 4;
}

namespace {

void Queue_Tool_Overlay() {
    const sMeasurement& m = Canvas_View().Live_Measure;
    switch (Canvas_View().Current_Tool) {
        case MTOOL_LINE:
        case MTOOL_BOX:
        case MTOOL_CIRCLE: {
            int32_t c = Canvas_View().Snapped_To_Edge == 1 ? Pack_RGBA(250, 25, 250, 255) : Pack_RGBA(20, 225, 70, 255);
            Queue_Crosshair(Canvas_View().Pointer_X, Canvas_View().Pointer_Y, 0, 0, 0, 0, c, 1.5f, 1);
            break;
        }
        case MTOOL_WIDTH:
            Queue_Line(m.hfx, m.hfy, m.htx + 1, m.hty, WHITE, 2.5f, 1);
            Queue_Line(m.hfx, m.hfy - 6.5f, m.hfx, m.hty + 6.5f, RED, 1.5f, 0);
            Queue_Line(m.htx + 1, m.hfy - 6.5f, m.htx + 1, m.hty + 6.5f, RED, 1.5f, 0);
            break;
        case MTOOL_HEIGHT:
            Queue_Line(m.vfx, m.vfy, m.vtx, m.vty, WHITE, 2.5f, 1);
            Queue_Line(m.vfx - 6.5f, m.vfy + 1, m.vfx + 6.5f, m.vfy + 1, RED, 1.5f, 0);
            Queue_Line(m.vtx - 6.5f, m.vty, m.vtx + 6.5f, m.vty, RED, 1.5f, 0);
            break;
        case MTOOL_AXES:
            Queue_Line(m.hfx, m.hfy, m.htx, m.hty, WHITE, 2.5f, 1);
            Queue_Line(m.vfx, m.vfy, m.vtx, m.vty, WHITE, 2.5f, 1);
            Queue_Line(m.hfx + 1, m.hfy - 6.5f, m.hfx + 1, m.hfy + 6.5f, RED, 1.5f, 0);
            Queue_Line(m.htx, m.hty - 6.5f, m.htx, m.hty + 6.5f, RED, 1.5f, 0);
            Queue_Line(m.vfx - 6.5f, m.vfy + 1, m.vfx + 6.5f, m.vfy + 1, RED, 1.5f, 0);
            Queue_Line(m.vtx - 6.5f, m.vty, m.vtx + 6.5f, m.vty, RED, 1.5f, 0);
            break;
        case MTOOL_AUTO_BOX: Queue_Rect(m.hfx, m.vfy, m.htx, m.vty, WHITE, 2.5f, 0); break;
        case MTOOL_BLOB: Queue_Rect(m.hfx, m.vfy, m.htx, m.vty, BAND, 2.5f, 0); break;
        case MTOOL_AUTO_CIRCLE:
            Queue_Line(m.hfx, m.hfy, m.htx, m.hty, RED, 1.5f, 0);
            Queue_Line(m.vfx, m.vfy, m.vtx, m.vty, RED, 1.5f, 0);
            Queue_Circle(m.cx, m.cy, m.Radius, WHITE, 2.5f, 0);
            break;
        default: break;
    }
}

void Queue_Rubber_Bands() {
    const sMeasurement& m = Canvas_View().Live_Measure;
    float s = Current_Job == 0 ? m.X_Start + (Canvas_View().First_Point_Stage - (Stage_Position - Stage_Zero)) : m.X_Start;
    if (Canvas_View().Current_Tool == MTOOL_LINE && Canvas_View().Click_State == 1) Queue_Line(s, m.Y_Start, Canvas_View().Pointer_X, Canvas_View().Pointer_Y, BAND, 2.5f, 1);
    if (Canvas_View().Current_Tool == MTOOL_CIRCLE && Canvas_View().Click_State == 1)
        Queue_Line(s, m.Y_Start, Canvas_View().Pointer_X, Canvas_View().Pointer_Y, BAND, 2.5f, 1);
    if (Canvas_View().Current_Tool == MTOOL_CIRCLE && Canvas_View().Click_State == 2) {
        float cx = 0, cy = 0, r = 0;
        Circle_Through(m.X_Start, m.Y_Start, m.X_End, m.Y_End, Canvas_View().Pointer_X, Canvas_View().Pointer_Y, &cx, &cy, &r);
        Queue_Circle(m.X_Start, m.Y_Start, 5.0f, BAND, 2.5f, 1);
        Queue_Circle(m.X_End, m.Y_End, 5.0f, BAND, 2.5f, 1);
        Queue_Circle(Canvas_View().Pointer_X, Canvas_View().Pointer_Y, 5.0f, BAND, 2.5f, 1);
        if (r > 0) Queue_Circle(cx, cy, r, BAND, 2.5f, 1);
    }
    if (Canvas_View().Current_Tool == MTOOL_BOX && Canvas_View().Click_State == 1) Queue_Rect(s, m.Y_Start, Canvas_View().Pointer_X, Canvas_View().Pointer_Y, BAND, 2.5f, 1);
}

// The threshold pass's serial of the picture the main view's texture holds
// (0 = none): the texture is sent again only when the pass made a new one.
uint64_t Shown_Processed_Serial = 0;

}  // namespace

int32_t Pulse_Colour(float t) {
    int pr = (int)std::lround((std::sin(t / 1000.0) * 0.5 + 0.5) * 250);
    int pb = (int)std::lround((std::cos(t / 1000.0) * 0.5 + 0.5) * 250);
    return Pack_RGBA(pr, 59, pb, 250);
}

void Render_Frame() {
    int32_t pulse = Pulse_Colour(Stage_Times.Vid_Rend);
    float upload_start = Elapsed_Ms();
    for (int64_t j = 0; j < JOB_SLOTS; j++) {
        Job_Slot& slot = Jobs[j];
        if (!slot.In_Use) continue;
        int64_t w = slot.Doc.Resolution.x, h = slot.Doc.Resolution.y;
        if (slot.Image_Changed == 1) {
            if (j == Current_Job) Queue_Border(pulse, THUMB_BORDER_WIDTH);
            if (!slot.Doc.Image_Buffer.empty() && (int64_t)slot.Doc.Image_Buffer.size() >= w * h * 4) {
                int64_t tw = 0, th = 0;
                const uint8_t* thumb = Reduce_For_Thumbnail(slot.Doc.Image_Buffer.data(), w, h, &tw, &th);
                GLip_Upload_Buffer(slot.List_View, thumb, tw, th, GLIP_BGRA_AS_RGBA, GLIP_SMOOTH, Background_Live,
                                   FIT_CONTAIN, GLIP_SWAP, GLIP_NO_FINISH, GLIP_CLEAR);
            }
            slot.Image_Changed = 0;
        } else {
            if (j == Current_Job) Queue_Border(Pack_RGBA(20, 59, 250, 250), THUMB_BORDER_WIDTH);
            GLip_Redraw(slot.List_View, Background_Still, FIT_CONTAIN, GLIP_SWAP, GLIP_NO_FINISH, GLIP_CLEAR,
                        GLIP_NO_FLIP);
        }
    }
    Stage_Times.Upload = Elapsed_Ms() - upload_start;

    float render_start = Elapsed_Ms();
    if (Current_Job == 0) {
        if (Elapsed_Ms() - (float)Emulator_View().Last_Live_Input_Ms > LIVE_INPUT_QUIET_MS)
            Queue_Border(Pack_RGBA(50, 200, 50, 250), LIVE_BORDER_WIDTH);
        else
            Queue_Border(Pack_RGBA(250, 59, 50, 250), LIVE_BORDER_WIDTH);
    }
    Job_Slot* current = Current_Slot();
    int64_t w = current ? current->Doc.Resolution.x : 0, h = current ? current->Doc.Resolution.y : 0;
    if (Reticle_Hidden == 0 && Current_Job == 0) Queue_Reticle(w, h);
    if (Canvas_View().Pointer_Inside == 1 && Current_Job >= 0 && current) {
        if (Get_State(CTL_MAGNIFY) == 1 && Canvas_View().Pointer_X > -1 && Canvas_View().Pointer_Y > -1 && w > 0 && h > 0 &&
            !current->Doc.Image_Buffer.empty()) {
            uint8_t corner = Canvas_View().Pointer_X <= w / 2.0f ? 2 : 3;
            Queue_Magnifier(std::ceil(Canvas_View().Pointer_X) / (float)w, Canvas_View().Pointer_Y / (float)h, (float)Canvas_View().Magnifier_Zoom, corner,
                            current->Doc.Image_Buffer.data(), w, h, (int64_t)std::lround(Canvas_View().Pointer_Y),
                            (float)h / MAGNIFIER_SOURCE_ROWS, MAGNIFIER_FRAME_WIDTH);
        }
        Auto_Measure();
        Queue_Tool_Overlay();
    }
    if (Current_Job >= 0) Draw_Measurement_Overlay();
    if (Canvas_View().Pointer_Inside == 1) Queue_Rubber_Bands();

    if (current && w > 0 && h > 0 && Processed_Image.size() == (size_t)(w * h * 4)) {
        const uint64_t serial = Processed_Image_Serial();
        int changed = serial != Shown_Processed_Serial ? 1 : 0;
        Shown_Processed_Serial = serial;
        GLip_Present_Buffer(CTL_PICTURE_VIEW, Processed_Image.data(), w, h, GLIP_BGRA_AS_RGB, GLIP_SMOOTH,
                            Background_Live, FIT_CONTAIN, GLIP_SWAP, GLIP_NO_FINISH, GLIP_CLEAR, changed);
    } else {
        Shown_Processed_Serial = 0;
        static const std::vector<uint8_t> empty = Empty_Picture();
        GLip_Upload_Buffer(CTL_PICTURE_VIEW, empty.data(), EMPTY_EDGE, EMPTY_EDGE, GLIP_BGRA_AS_RGBA, GLIP_NEAREST,
                           Background_Live, FIT_CONTAIN, GLIP_SWAP, GLIP_NO_FINISH, GLIP_CLEAR);
    }
    Stage_Times.Vid_Rend = Elapsed_Ms() - render_start;

    float download_start = Elapsed_Ms();
    GLip_Read_Back(CTL_PICTURE_VIEW, &Read_Back_Image, READ_BACK_BUFFER);
    Stage_Times.Download = Elapsed_Ms() - download_start;
}
