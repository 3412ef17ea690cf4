#include "analysis/threshold.h"

#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/control_ids.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "platform/platform.h"

std::vector<uint8_t> Processed_Image;
std::vector<uint8_t> Hit_Mask;
int32_t Hit_Mask_Width = 0, Hit_Mask_Height = 0;
int32_t Grey_Palette[256];
int32_t Cursor_Colour = 0;
uint8_t Cursor_Hit = 0;

namespace {

inline int32_t Bytes_To_Int32(const uint8_t* p) {
    int32_t v;
    memcpy(&v, p, 4);
    return v;
}

inline uint8_t Max3(uint8_t a, uint8_t b, uint8_t c) {
    uint8_t m = a > b ? a : b;
    return m > c ? m : c;
}

// Channel value of one pixel in modes 1..4. C = max - R because
// 255 - R - (255 - max) = max - R; likewise for M and Y.
template <int MODE>
inline uint8_t Channel(uint8_t r, uint8_t g, uint8_t b) {
    uint8_t mx = Max3(r, g, b);
    if (MODE == MODE_CYAN) return (uint8_t)(mx - r);
    if (MODE == MODE_MAGENTA) return (uint8_t)(mx - g);
    if (MODE == MODE_YELLOW) return (uint8_t)(mx - b);
    return (uint8_t)(255 - mx);
}

// Pixels are handled as 32-bit words (bytes B, G, R, A from the lowest
// address) so that the compiler can process several at once. A non-hit pixel
// gets the grey palette's entry for level R/4 + G/2 + B/8 + 1 (by shifts,
// 1..222), computed in place as the bytes level, level, level, 255: a table
// lookup per pixel cannot be vectorised and makes the pass five times slower.
inline uint32_t Load_Pixel(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline void Store_Pixel(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}
inline uint32_t Grey_Word(uint32_t b, uint32_t g, uint32_t r) {
    const uint32_t level = (r >> 2) + (g >> 1) + (b >> 3) + 1;
    return level * 0x010101u + 0xFF000000u;
}
// Hit colour, bytes blue 50, green 190, red 250, alpha 0 (amber).
const uint32_t HIT_WORD = 50u | (190u << 8) | (250u << 16);

// One pass over n pixels for a single-channel mode: hit when the channel is
// above `limit` (an unsigned byte comparison). Returns the hit count.
template <int MODE>
int64_t Threshold_Pass(const uint8_t* __restrict src, uint8_t* __restrict dst, uint8_t* __restrict mask, int64_t n,
                       uint8_t limit) {
    int64_t count = 0;
    const uint32_t lim = limit;
    for (int64_t i = 0; i < n; i++) {
        const uint32_t px = Load_Pixel(src + 4 * i);
        const uint32_t b = px & 255, g = (px >> 8) & 255, r = (px >> 16) & 255;
        uint32_t mx = b > g ? b : g;
        mx = mx > r ? mx : r;
        const uint32_t value = MODE == MODE_CYAN      ? mx - r
                               : MODE == MODE_MAGENTA ? mx - g
                               : MODE == MODE_YELLOW  ? mx - b
                                                      : 255 - mx;
        const uint32_t is_hit = value > lim;
        Store_Pixel(dst + 4 * i, is_hit ? HIT_WORD : Grey_Word(b, g, r));
        mask[i] = (uint8_t)is_hit;
        count += is_hit;
    }
    return count;
}

// Mode 5: each colour against its own threshold minus 1, as signed numbers, so
// a stored threshold of 0 (limit -1) lets every pixel through.
int64_t Any_Pass(const uint8_t* __restrict src, uint8_t* __restrict dst, uint8_t* __restrict mask, int64_t n,
                 const int32_t limit[4]) {
    int64_t count = 0;
    const int32_t lc = limit[0], lm = limit[1], ly = limit[2], lk = limit[3];
    for (int64_t i = 0; i < n; i++) {
        const uint32_t px = Load_Pixel(src + 4 * i);
        const int32_t b = (int32_t)(px & 255), g = (int32_t)((px >> 8) & 255), r = (int32_t)((px >> 16) & 255);
        int32_t mx = b > g ? b : g;
        mx = mx > r ? mx : r;
        const uint32_t is_hit = (uint32_t)((mx - r > lc) | (mx - g > lm) | (mx - b > ly) | (255 - mx > lk));
        Store_Pixel(dst + 4 * i, is_hit ? HIT_WORD : Grey_Word((uint32_t)b, (uint32_t)g, (uint32_t)r));
        mask[i] = (uint8_t)is_hit;
        count += is_hit;
    }
    return count;
}

// The byte limit of modes 1..4: threshold - 1, or threshold - 2 for black,
// wrapped into one unsigned byte (threshold 0 gives 255, or 254 for black).
uint8_t Mode_Limit(uint8_t mode, uint8_t tc, uint8_t tm, uint8_t ty, uint8_t tk) {
    switch (mode) {
        case MODE_CYAN: return (uint8_t)(tc - 1);
        case MODE_MAGENTA: return (uint8_t)(tm - 1);
        case MODE_YELLOW: return (uint8_t)(ty - 1);
        case MODE_BLACK: return (uint8_t)(tk - 2);
        default: return 255;
    }
}

// Whole-pixel position under the pointer, or false when it is off the image.
// Truncation toward zero: -0.5 still reads column 0.
bool Pointer_Pixel(int32_t w, int32_t h, int64_t* index) {
    if (!(Pointer_X > -1.0f && Pointer_X < (float)w && Pointer_Y > -1.0f && Pointer_Y < (float)h)) return false;
    const int64_t x = (int64_t)Pointer_X, y = (int64_t)Pointer_Y;
    *index = y * (int64_t)w + x;
    return true;
}

uint8_t* Threshold_Of_Mode(ProcessMode* p, uint8_t mode) {
    switch (mode) {
        case MODE_CYAN: return &p->Threshold_Cyan;
        case MODE_MAGENTA: return &p->Threshold_Magenta;
        case MODE_YELLOW: return &p->Threshold_Yellow;
        case MODE_BLACK: return &p->Threshold_Black;
        default: return nullptr;
    }
}

}  // namespace

void Build_Grey_Palette() {
    for (int i = 0; i < 256; i++) {
        const uint8_t bytes[4] = {(uint8_t)i, (uint8_t)i, (uint8_t)i, 255};
        Grey_Palette[i] = Bytes_To_Int32(bytes);
    }
}

uint8_t Mode_Channel_Value(uint8_t mode, uint8_t r, uint8_t g, uint8_t b) {
    switch (mode) {
        case MODE_CYAN: return Channel<MODE_CYAN>(r, g, b);
        case MODE_MAGENTA: return Channel<MODE_MAGENTA>(r, g, b);
        case MODE_YELLOW: return Channel<MODE_YELLOW>(r, g, b);
        case MODE_BLACK: return Channel<MODE_BLACK>(r, g, b);
        default: return 0;
    }
}

void Process_Image() {
    Job_Slot* slot = Current_Slot();
    if (!slot) return;
    Doc_Info& doc = slot->Doc;
    const float t0 = Elapsed_Ms();
    Redraw_Request = 0;

    const int32_t w = doc.Resolution.x > 0 ? doc.Resolution.x : 0;
    const int32_t h = doc.Resolution.y > 0 ? doc.Resolution.y : 0;
    const int64_t n = (int64_t)w * h;
    const std::vector<uint8_t>& src = doc.Image_Buffer;
    // A slot whose buffer is missing or shorter than its Resolution (a failed
    // allocation) is processed only as far as it has pixels; the rest of the
    // mask stays 0.
    const int64_t pixels = (int64_t)(src.size() / 4) < n ? (int64_t)(src.size() / 4) : n;

    if (Processed_Image.size() != src.size()) Processed_Image.resize(src.size());

    int64_t cursor = 0;
    if (Pointer_Pixel(w, h, &cursor) && cursor < pixels) Cursor_Colour = Bytes_To_Int32(&src[4 * cursor]);

    if (Hit_Mask_Width != w || Hit_Mask_Height != h || (int64_t)Hit_Mask.size() != n) {
        Hit_Mask.assign((size_t)n, 0);
        Hit_Mask_Width = w;
        Hit_Mask_Height = h;
    }

    const ProcessMode& p = doc.Processing;
    uint8_t mode = p.Mode;
    if (mode > MODE_ANY) mode = MODE_NONE;  // only a document file can carry another value

    int64_t count = 0;
    if (mode == MODE_NONE) {
        if (!src.empty()) memcpy(Processed_Image.data(), src.data(), src.size());
        if (n > 0) memset(Hit_Mask.data(), 0, (size_t)n);
    } else {
        if (pixels < n) memset(Hit_Mask.data() + pixels, 0, (size_t)(n - pixels));
        const uint8_t* s = src.data();
        uint8_t* d = Processed_Image.data();
        uint8_t* m = Hit_Mask.data();
        const uint8_t limit =
            Mode_Limit(mode, p.Threshold_Cyan, p.Threshold_Magenta, p.Threshold_Yellow, p.Threshold_Black);
        switch (mode) {
            case MODE_CYAN: count = Threshold_Pass<MODE_CYAN>(s, d, m, pixels, limit); break;
            case MODE_MAGENTA: count = Threshold_Pass<MODE_MAGENTA>(s, d, m, pixels, limit); break;
            case MODE_YELLOW: count = Threshold_Pass<MODE_YELLOW>(s, d, m, pixels, limit); break;
            case MODE_BLACK: count = Threshold_Pass<MODE_BLACK>(s, d, m, pixels, limit); break;
            default: {
                const int32_t limits[4] = {(int32_t)p.Threshold_Cyan - 1, (int32_t)p.Threshold_Magenta - 1,
                                           (int32_t)p.Threshold_Yellow - 1, (int32_t)p.Threshold_Black - 1};
                count = Any_Pass(s, d, m, pixels, limits);
            }
        }
    }

    if (Pointer_Pixel(w, h, &cursor)) Cursor_Hit = Hit_Mask[(size_t)cursor];

    doc.Measure.Hit_Pixels = count;
    // An empty picture has no share of hits (not 0 / 0).
    doc.Measure.Hits = n > 0 ? (float)((double)count / (double)n * 100.0) : 0.0f;
    Stage_Times.Process = Elapsed_Ms() - t0;
}

void Apply_Threshold() {
    Job_Slot* slot = Current_Slot();
    if (!slot) return;
    Redraw_Request = 1;
    const int64_t v = Get_State(CTL_THRESHOLD_SLIDER);
    uint8_t* threshold = Threshold_Of_Mode(&slot->Doc.Processing, slot->Doc.Processing.Mode);
    if (threshold) *threshold = (uint8_t)v;
    Set_Text(CTL_THRESHOLD_FRAME, "Threshold [" + std::to_string(v) + "]");
}

void Select_Analysis_Mode(int64_t button) {
    if (button < 1 || button > 6) return;
    Threshold_Label_Dirty = 1;
    Redraw_Request = 1;

    for (int64_t c = CTL_ANALYSIS_FIRST; c <= CTL_ANALYSIS_LAST; c++) Set_State(c, 0);
    Set_State(CTL_ANALYSIS_FIRST + button - 1, 1);

    Job_Slot* slot = Current_Slot();
    Disable_Control(CTL_THRESHOLD_SLIDER, false);
    if (slot) Set_State(CTL_UNIT_LIST, slot->Doc.Measure_Unit);
    Set_State(CTL_THRESHOLD_SLIDER, 0);  // the slider shows its minimum, 1

    const uint8_t mode = (uint8_t)(button - 1);
    if (slot) {
        ProcessMode& p = slot->Doc.Processing;
        const uint8_t* threshold = Threshold_Of_Mode(&p, mode);
        if (threshold) Set_State(CTL_THRESHOLD_SLIDER, *threshold);
        p.Mode = mode;
    }

    for (int64_t c = CTL_TOOL_WIDTH; c <= CTL_TOOL_AUTO_CIRCLE; c++) Hide_Control(c, mode == MODE_NONE);
}
