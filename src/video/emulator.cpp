#include "video/emulator.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/app_state.h"
#include "base/control_ids.h"
#include "base/picture.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "render/glip.h"
#include "render/overlay_queue.h"
#include "resources/resources.h"
#include "video/capture_lib.h"

int64_t Sample_Count = 0;
int64_t Sample_Index = 0;
std::vector<uint8_t> Sample_Pixels;
int64_t Sample_Row_Bytes = 0;
int64_t Sample_Height = 0;
int64_t Live_Width = 640;
int64_t Live_Height = 480;
int64_t Live_Row_Bytes = 640 * 4;
float Pan_Current = -400.0f;
float Pan_Target = -400.0f;
float Pan_Step = 1.0f;
float Pan_Recompute = 0.0f;
uint8_t Pan_Dragging = 0;
int64_t Pan_Mouse_X = 0;
float Desktop_Scale = 1.0f;
int64_t Last_Crop_Column = 0;
int64_t Last_Live_Input_Ms = 0;

namespace {

const int64_t SAMPLE_NAME_BYTES = 24;  // 11 UTF-16 characters and a terminating zero
const int32_t MAX_SAMPLE_EDGE = 16384;

uint32_t Read_U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }
uint16_t Read_U16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
int64_t Read_I64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = (v << 8) | p[i];
    return (int64_t)v;
}

// Sample names are plain ASCII; anything else becomes "?".
std::string Utf16_Name(const uint8_t* p) {
    std::string name;
    for (int i = 0; i < SAMPLE_NAME_BYTES / 2; i++) {
        uint16_t c = Read_U16(p + 2 * i);
        if (c == 0) break;
        name += (c < 128) ? (char)c : '?';
    }
    return name;
}

int64_t Rounded_Ms() { return (int64_t)std::nearbyint((double)Elapsed_Ms()); }

void Make_Live_Current_From_Frozen() {
    if (Current_Job > 0) Select_Job_Later(0);
}

void Destroy_Window() {
    if (!Window_Exists(WINDOW_EMULATOR)) return;
    GLip_Free_Texture(CTL_EMU_VIEW);
    Free_Control(CTL_EMU_VIEW);
    Close_Window(WINDOW_EMULATOR);
}

void Prepare_Live_Document(int64_t w, int64_t h) {
    Make_Current_Job(0);
    Jobs[0].In_Use = 1;
    Allocate_Image(&Jobs[0], (int32_t)w, (int32_t)h);
}

}  // namespace

float Pan_Limit() { return (float)(EMULATOR_SAMPLE_HALF_WIDTH - Live_Width / 2); }

bool Bitmap_To_Bottom_Up_BGRA(const uint8_t* data, size_t size, int32_t* width, int32_t* height,
                              std::vector<uint8_t>* pixels) {
    if (!data || size < 54 || data[0] != 'B' || data[1] != 'M') return false;
    uint32_t offset = Read_U32(data + 10);
    uint32_t header = Read_U32(data + 14);
    int32_t w = (int32_t)Read_U32(data + 18);
    int32_t h_signed = (int32_t)Read_U32(data + 22);
    uint16_t bits = Read_U16(data + 28);
    uint32_t compression = Read_U32(data + 30);
    if (header < 40 || compression != 0 || (bits != 24 && bits != 32)) return false;
    if (h_signed == INT32_MIN) return false;
    bool top_down = h_signed < 0;
    int32_t h = top_down ? -h_signed : h_signed;
    if (w <= 0 || h <= 0 || w > MAX_SAMPLE_EDGE || h > MAX_SAMPLE_EDGE) return false;
    uint64_t bytes_per_pixel = bits / 8;
    uint64_t stride = ((uint64_t)w * bytes_per_pixel + 3) & ~(uint64_t)3;
    if ((uint64_t)offset + stride * (uint64_t)h > size) return false;

    pixels->assign((size_t)w * h * 4, 0);
    for (int32_t r = 0; r < h; r++) {
        // Memory row r is the r-th row from the bottom of the picture.
        int32_t file_row = top_down ? h - 1 - r : r;
        const uint8_t* src = data + offset + stride * (uint64_t)file_row;
        uint8_t* dst = pixels->data() + (size_t)r * w * 4;
        for (int32_t x = 0; x < w; x++) {
            dst[4 * x + 0] = src[bytes_per_pixel * x + 0];
            dst[4 * x + 1] = src[bytes_per_pixel * x + 1];
            dst[4 * x + 2] = src[bytes_per_pixel * x + 2];
            dst[4 * x + 3] = 255;
        }
    }
    *width = w;
    *height = h;
    return true;
}

bool Read_Sample(int64_t index, std::string* name, int32_t* width, int32_t* height, std::vector<uint8_t>* pixels) {
    Resource_Data table = Resource_Sample_Table();
    if (!table.Data || table.Size < 8 || index < 0) return false;
    int64_t count = Read_I64(table.Data);
    if (index >= count) return false;
    size_t pos = 8;
    for (int64_t i = 0;; i++) {
        if (table.Size - pos < (size_t)SAMPLE_NAME_BYTES + 54) return false;
        const uint8_t* bmp = table.Data + pos + SAMPLE_NAME_BYTES;
        uint32_t bmp_size = Read_U32(bmp + 2);
        size_t left = table.Size - pos - SAMPLE_NAME_BYTES;
        if (bmp[0] != 'B' || bmp[1] != 'M' || bmp_size < 54 || bmp_size > left) return false;
        if (i == index) {
            *name = Utf16_Name(table.Data + pos);
            return Bitmap_To_Bottom_Up_BGRA(bmp, bmp_size, width, height, pixels);
        }
        pos += SAMPLE_NAME_BYTES + bmp_size;
    }
}

void Start_Emulator() {
    Video_Mode = VIDEO_EMULATOR;
    Open_Emulator();
    Close_Capture_Library();
    Request_Threshold_Label();
    Make_Current_Job(0);
    Mark_Job_List_Changed();
}

void Open_Emulator() {
    Destroy_Window();  // a second start rebuilds the window instead of failing on the old one
    Open_Window(WINDOW_EMULATOR, "Video emulator", 0, 0, 758, 150, WINDOW_HIDDEN | WINDOW_CENTRED | WINDOW_CLOSE_BOX);
    Create_Control(WINDOW_EMULATOR, CTL_EMU_PREVIOUS, CONTROL_BUTTON, 4, 0, 90, 22, "< Previous");
    Create_Control(WINDOW_EMULATOR, CTL_EMU_NEXT, CONTROL_BUTTON, 100, 0, 90, 22, "Next >");
    Create_Control(WINDOW_EMULATOR, CTL_EMU_LABEL, CONTROL_LABEL, 200, 4, 550, 22, "Sample: ");
    Create_Control(WINDOW_EMULATOR, CTL_EMU_VIEW, CONTROL_GL_VIEW, 4, 28, EMULATOR_VIEW_W, EMULATOR_VIEW_H, "");
    for (int64_t control : {CTL_EMU_PREVIOUS, CTL_EMU_NEXT, CTL_EMU_LABEL, CTL_EMU_VIEW})
        Set_Control_Font(control, "Segoe UI", 9, false);

    Desktop_Scale = (float)Display_Scale_X();
    if (!(Desktop_Scale > 0)) Desktop_Scale = 1.0f;  // the target formula divides by it
    Live_Width = 640;
    Live_Height = 480;
    Video_Mode = VIDEO_EMULATOR;
    Pan_Step = 0.9f;
    Pan_Target = Pan_Current = -400.0f;

    Resource_Data table = Resource_Sample_Table();
    Sample_Count = (table.Data && table.Size >= 8) ? Read_I64(table.Data) : 0;

    Prepare_Live_Document(Live_Width, Live_Height);

    Show_Window(WINDOW_EMULATOR, true);
    int x = 0, y = 0;
    Window_Position(WINDOW_EMULATOR, &x, &y);
    Move_Window(WINDOW_EMULATOR, x, 20);
    Set_Window_On_Top(WINDOW_EMULATOR, true);
    Set_State(CTL_VIDEO_TOGGLE, 1);

    Jobs[0].Image_Changed = 1;
    Jobs[0].In_Use = 1;
    Load_Sample(Sample_Index);
    Emulator_Frame();
}

bool Emulator_Open() { return Window_Exists(WINDOW_EMULATOR); }

void Close_Emulator() {
    Destroy_Window();
    Video_Mode = VIDEO_NONE;
    Set_State(CTL_VIDEO_TOGGLE, 0);
    // A drag or glide cut short by the close must not carry over: the main
    // loop keeps stepping every pass while Pan_Step is below 1.
    Pan_Dragging = 0;
    Pan_Step = 1.0f;
}

void Load_Sample(int64_t index) {
    if (index < 0 || index >= Sample_Count) index = 0;
    std::string name;
    Picture picture;
    if (!Read_Sample(index, &name, &picture.Width, &picture.Height, &picture.Pixels)) {
        // Unreadable sample data: show black rather than stale or missing rows.
        picture.Width = (int32_t)(2 * EMULATOR_SAMPLE_HALF_WIDTH);
        picture.Height = (int32_t)Live_Height;
        picture.Pixels.assign((size_t)picture.Width * picture.Height * 4, 0);
        for (size_t i = 3; i < picture.Pixels.size(); i += 4) picture.Pixels[i] = 255;
    }
    Set_Text(CTL_EMU_LABEL, name);

    Sample_Pixels = picture.Pixels;
    Sample_Row_Bytes = (int64_t)picture.Width * 4;
    Sample_Height = picture.Height;
    Live_Row_Bytes = Live_Width * 4;

    // Rows go up in memory order (bottom file row first) with no flip, the
    // same way up as the live frame.
    GLip_Upload_Image(CTL_EMU_VIEW, &picture, 0, Background_Live, FIT_CONTAIN, 1, 0, 1, 0);
    Emulator_Frame();
}

void Emulator_Frame() {
    Count_Frame();
    float t0 = Elapsed_Ms();

    bool drawn = GL_Make_Current(CTL_EMU_VIEW);
    int64_t c = (int64_t)std::nearbyint((double)Pan_Current + (double)EMULATOR_SAMPLE_HALF_WIDTH - (double)(Live_Width / 2));
    Last_Crop_Column = c;

    if (drawn) {
        GLip_Redraw(CTL_EMU_VIEW, Background_Live, FIT_CONTAIN, 0, 0, 1, 0);
        Draw_Rect_Now((float)((double)Pan_Current - Live_Width / 2 + 6), (float)(-Live_Height / 2 + 4),
                      (float)(Live_Width - 12), (float)(Live_Height - 12), Pack_RGBA(255, 0, 0, 255), 3);
        GL_Swap(CTL_EMU_VIEW);
    }

    Job_Slot& live = Jobs[0];
    if (live.Doc.Resolution.x != Live_Width || live.Doc.Resolution.y != Live_Height ||
        (int64_t)live.Doc.Image_Buffer.size() != Live_Row_Bytes * Live_Height)
        Allocate_Image(&live, (int32_t)Live_Width, (int32_t)Live_Height);

    // Rows keep the sample buffer's order. The crop normally lies inside the
    // sample; whatever falls outside a smaller sample is left black.
    const int64_t src_x = 4 * c;
    for (int64_t r = 0; r < Live_Height; r++) {
        uint8_t* dst = live.Doc.Image_Buffer.data() + r * Live_Row_Bytes;
        int64_t from = std::max<int64_t>(src_x, 0);
        int64_t to = std::min<int64_t>(src_x + Live_Row_Bytes, Sample_Row_Bytes);
        bool inside = r < Sample_Height && from == src_x && to == src_x + Live_Row_Bytes;
        if (inside) {
            std::memcpy(dst, Sample_Pixels.data() + r * Sample_Row_Bytes + src_x, (size_t)Live_Row_Bytes);
            continue;
        }
        std::memset(dst, 0, (size_t)Live_Row_Bytes);
        if (r < Sample_Height && to > from)
            std::memcpy(dst + (from - src_x), Sample_Pixels.data() + r * Sample_Row_Bytes + from, (size_t)(to - from));
    }

    live.Image_Changed = 1;
    Request_Redraw();
    Stage_Position = Pan_Current;
    if (drawn) glFinish();
    Stage_Times.Capture = Elapsed_Ms() - t0;
}

void Emulator_Step() {
    float limit = Pan_Limit();
    if (Pan_Recompute == 1.0f) {
        if (Pan_Dragging == 1) {
            // One overview pixel at scale 1 is four sample pixels (3000 / 750).
            Pan_Target = (float)(((double)Pan_Mouse_X - (double)Desktop_Scale * EMULATOR_VIEW_W / 2) *
                                 (4.0 / (double)Desktop_Scale));
            Pan_Step = 0;
        }
        Pan_Target = std::max(-limit, std::min(limit, Pan_Target));
    }
    if (Pan_Step < 1.0f) {
        Pan_Step = (float)((double)Pan_Step + 0.2);
        Pan_Current = (float)((double)Pan_Current + (double)Pan_Step * ((double)Pan_Target - (double)Pan_Current));
        Pan_Current = std::max(-limit, std::min(limit, Pan_Current));
        Emulator_Frame();
        Request_Redraw();
        Pan_Recompute = 1.0f;
    }
}

void Emulator_Event(const Platform_Event& event) {
    if (event.Kind == EVENT_CLOSE_WINDOW) {
        if (event.Window == WINDOW_EMULATOR) Close_Emulator();
        return;
    }
    if (event.Kind != EVENT_CONTROL) return;

    switch (event.Control) {
        case CTL_EMU_NEXT:
            if (event.Type != ETYPE_CHANGE) return;
            if (Sample_Index < Sample_Count - 1) {
                Sample_Index++;
                Load_Sample(Sample_Index);
            }
            Pan_Step = 0.9f;
            return;
        case CTL_EMU_PREVIOUS:
            if (event.Type != ETYPE_CHANGE) return;
            if (Sample_Index > 0) {
                Sample_Index--;
                Load_Sample(Sample_Index);
            }
            Pan_Step = 0.9f;
            return;
        case CTL_EMU_VIEW: break;
        default: return;
    }

    int64_t mouse_x = (int64_t)std::nearbyint((double)event.X * Display_Scale_X());
    switch (event.Type) {
        case ETYPE_LEFT_DOWN:
            // The press position counts as the pointer position, so a press
            // that arrives without a preceding move does not aim at a stale x.
            Pan_Mouse_X = mouse_x;
            Pan_Dragging = 1;
            Pan_Recompute = 1.0f;
            Last_Live_Input_Ms = Rounded_Ms();
            Make_Live_Current_From_Frozen();
            break;
        case ETYPE_MOUSE_MOVE: {
            bool changed = mouse_x != Pan_Mouse_X;
            Pan_Mouse_X = mouse_x;
            if (Pan_Dragging == 1 && changed) {
                Last_Live_Input_Ms = Rounded_Ms();
                Pan_Recompute = 1.0f;
                Make_Live_Current_From_Frozen();
            }
            break;
        }
        case ETYPE_LEFT_UP:
        case ETYPE_FOCUS_LOST:
            Pan_Dragging = 0;
            Pan_Recompute = 1.0f;
            break;
        default: break;
    }
}
