#include "video/emulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "base/app_state.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "resources/resources.h"
#include "video/capture_lib.h"
#include "video/capture_thread.h"

namespace {
Emulator_State Emulator;
}  // namespace

const Emulator_State& Emulator_View() { return Emulator; }
Emulator_State& Emulator_Test_Access() { return Emulator; }
void Reset_Emulator() {
    // The serials keep counting: the window compares them with what it last showed.
    Emulator_State fresh;
    fresh.Window_Serial = Emulator.Window_Serial;
    fresh.Sample_Serial = Emulator.Sample_Serial;
    fresh.Frame_Serial = Emulator.Frame_Serial;
    Emulator = fresh;
}

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

void Prepare_Live_Document(int64_t w, int64_t h) {
    Make_Current_Job(0);
    Jobs[0].In_Use = 1;
    Allocate_Image(&Jobs[0], (int32_t)w, (int32_t)h);
}

}  // namespace

float Pan_Limit() { return (float)(EMULATOR_SAMPLE_HALF_WIDTH - Emulator.Live_Width / 2); }

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
    // A second start builds the window afresh instead of failing on the old one.
    Emulator.Window_Wanted = true;
    Emulator.Window_Serial++;
    Emulator.Desktop_Scale = (float)Display_Scale_X();
    if (!(Emulator.Desktop_Scale > 0)) Emulator.Desktop_Scale = 1.0f;  // the target formula divides by it
    Emulator.Live_Width = 640;
    Emulator.Live_Height = 480;
    Video_Mode = VIDEO_EMULATOR;
    Emulator.Pan_Step = 0.9f;
    Emulator.Pan_Target = Emulator.Pan_Current = -400.0f;

    Resource_Data table = Resource_Sample_Table();
    Emulator.Sample_Count = (table.Data && table.Size >= 8) ? Read_I64(table.Data) : 0;

    Prepare_Live_Document(Emulator.Live_Width, Emulator.Live_Height);
    Mark_Video_Toggle(true);

    Jobs[0].Image_Changed = 1;
    Jobs[0].In_Use = 1;
    Load_Sample(Emulator.Sample_Index);
    Emulator_Frame();
}

void Close_Emulator() {
    Emulator.Window_Wanted = false;
    Video_Mode = VIDEO_NONE;
    Mark_Video_Toggle(false);
    // A drag or glide cut short by the close must not carry over: the main
    // loop keeps stepping every pass while Pan_Step is below 1.
    Emulator.Pan_Dragging = 0;
    Emulator.Pan_Step = 1.0f;
}

bool Emulator_Moving() {
    return Emulator.Pan_Step < 1.0f || (Emulator.Pan_Dragging == 1 && Emulator.Pan_Recompute == 1.0f);
}

void Load_Sample(int64_t index) {
    if (index < 0 || index >= Emulator.Sample_Count) index = 0;
    std::string name;
    int32_t width = 0, height = 0;
    std::vector<uint8_t> pixels;
    if (!Read_Sample(index, &name, &width, &height, &pixels)) {
        // Unreadable sample data: show black rather than stale or missing rows.
        width = (int32_t)(2 * EMULATOR_SAMPLE_HALF_WIDTH);
        height = (int32_t)Emulator.Live_Height;
        pixels.assign((size_t)width * height * 4, 0);
        for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    }
    Emulator.Sample_Name = name;
    Emulator.Sample_Pixels = std::move(pixels);
    Emulator.Sample_Row_Bytes = (int64_t)width * 4;
    Emulator.Sample_Height = height;
    Emulator.Live_Row_Bytes = Emulator.Live_Width * 4;
    Emulator.Sample_Serial++;
    Emulator_Frame();
}

void Emulator_Frame() {
    Count_Frame();
    float t0 = Elapsed_Ms();

    int64_t c = (int64_t)std::nearbyint((double)Emulator.Pan_Current + (double)EMULATOR_SAMPLE_HALF_WIDTH -
                                        (double)(Emulator.Live_Width / 2));
    Emulator.Last_Crop_Column = c;

    Job_Slot& live = Jobs[0];
    const int64_t row_bytes = Emulator.Live_Row_Bytes, height = Emulator.Live_Height;
    if (live.Doc.Resolution.x != Emulator.Live_Width || live.Doc.Resolution.y != height ||
        (int64_t)live.Doc.Image_Buffer.size() != row_bytes * height)
        Allocate_Image(&live, (int32_t)Emulator.Live_Width, (int32_t)height);

    // Rows keep the sample buffer's order. The crop normally lies inside the
    // sample; whatever falls outside a smaller sample is left black.
    const uint8_t* sample = Emulator.Sample_Pixels.data();
    const int64_t sample_row_bytes = Emulator.Sample_Row_Bytes, sample_height = Emulator.Sample_Height;
    const int64_t src_x = 4 * c;
    for (int64_t r = 0; r < height; r++) {
        uint8_t* dst = live.Doc.Image_Buffer.data() + r * row_bytes;
        int64_t from = std::max<int64_t>(src_x, 0);
        int64_t to = std::min<int64_t>(src_x + row_bytes, sample_row_bytes);
        bool inside = r < sample_height && from == src_x && to == src_x + row_bytes;
        if (inside) {
            std::memcpy(dst, sample + r * sample_row_bytes + src_x, (size_t)row_bytes);
            continue;
        }
        std::memset(dst, 0, (size_t)row_bytes);
        if (r < sample_height && to > from)
            std::memcpy(dst + (from - src_x), sample + r * sample_row_bytes + from, (size_t)(to - from));
    }

    live.Image_Changed = 1;
    Request_Redraw();
    Stage_Position = Emulator.Pan_Current;
    Emulator.Frame_Serial++;
    Stage_Times.Capture = Elapsed_Ms() - t0;
}

void Emulator_Step() {
    float limit = Pan_Limit();
    if (Emulator.Pan_Recompute == 1.0f) {
        if (Emulator.Pan_Dragging == 1) {
            // One overview pixel at scale 1 is four sample pixels (3000 / 750).
            double scale = (double)Emulator.Desktop_Scale;
            Emulator.Pan_Target =
                (float)(((double)Emulator.Pan_Mouse_X - scale * EMULATOR_VIEW_W / 2) * (4.0 / scale));
            Emulator.Pan_Step = 0;
        }
        Emulator.Pan_Target = std::max(-limit, std::min(limit, Emulator.Pan_Target));
    }
    if (Emulator.Pan_Step < 1.0f) {
        Emulator.Pan_Step = (float)((double)Emulator.Pan_Step + 0.2);
        double current = Emulator.Pan_Current;
        Emulator.Pan_Current = (float)(current + (double)Emulator.Pan_Step * ((double)Emulator.Pan_Target - current));
        Emulator.Pan_Current = std::max(-limit, std::min(limit, Emulator.Pan_Current));
        Emulator_Frame();
        Request_Redraw();
        Emulator.Pan_Recompute = 1.0f;
    }
}

void Emulator_Next_Sample() {
    if (Emulator.Sample_Index < Emulator.Sample_Count - 1) {
        Emulator.Sample_Index++;
        Load_Sample(Emulator.Sample_Index);
    }
    Emulator.Pan_Step = 0.9f;
}

void Emulator_Previous_Sample() {
    if (Emulator.Sample_Index > 0) {
        Emulator.Sample_Index--;
        Load_Sample(Emulator.Sample_Index);
    }
    Emulator.Pan_Step = 0.9f;
}

void Emulator_Press(int64_t mouse_x) {
    // The press position counts as the pointer position, so a press that
    // arrives without a preceding move does not aim at a stale x.
    Emulator.Pan_Mouse_X = mouse_x;
    Emulator.Pan_Dragging = 1;
    Emulator.Pan_Recompute = 1.0f;
    Emulator.Last_Live_Input_Ms = Rounded_Ms();
    Make_Live_Current_From_Frozen();
}

void Emulator_Pointer_Move(int64_t mouse_x) {
    bool changed = mouse_x != Emulator.Pan_Mouse_X;
    Emulator.Pan_Mouse_X = mouse_x;
    if (Emulator.Pan_Dragging == 1 && changed) {
        Emulator.Last_Live_Input_Ms = Rounded_Ms();
        Emulator.Pan_Recompute = 1.0f;
        Make_Live_Current_From_Frozen();
    }
}

void Emulator_Release() {
    Emulator.Pan_Dragging = 0;
    Emulator.Pan_Recompute = 1.0f;
}
