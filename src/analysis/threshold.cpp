#include "analysis/threshold.h"

#include <cstring>
#include <string>

#include "analysis/analysis_kernels.h"
#include "base/app_state.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "platform/platform.h"

std::vector<uint8_t> Processed_Image;
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

uint8_t Mode_Limit(uint8_t mode, uint8_t tc, uint8_t tm, uint8_t ty, uint8_t tk) {
    switch (mode) {
        case MODE_CYAN: return Hit_Limit(mode, tc);
        case MODE_MAGENTA: return Hit_Limit(mode, tm);
        case MODE_YELLOW: return Hit_Limit(mode, ty);
        case MODE_BLACK: return Hit_Limit(mode, tk);
        default: return 255;
    }
}

// Whole-pixel position under the pointer, or false when it is off the image.
// Truncation toward zero: -0.5 still reads column 0.
bool Pointer_Pixel(int32_t w, int32_t h, int64_t* index) {
    const float Pointer_X = Canvas_View().Pointer_X, Pointer_Y = Canvas_View().Pointer_Y;
    if (!(Pointer_X > -1.0f && Pointer_X < (float)w && Pointer_Y > -1.0f && Pointer_Y < (float)h)) return false;
    const int64_t x = (int64_t)Pointer_X, y = (int64_t)Pointer_Y;
    *index = y * (int64_t)w + x;
    return true;
}

// What Processed_Image and Hit_Mask were last made from. They follow from the
// document's pixels and its processing settings alone, so while none of these
// changed (and the slot says its pixels did not) a pass would only remake the
// same bytes: a large still picture then costs nothing per redraw.
struct Processed_Source {
    bool Valid = false;
    int64_t Slot = -1;
    const uint8_t* Pixels = nullptr;
    size_t Bytes = 0;
    int32_t W = 0, H = 0;
    uint8_t Mode = 0, Cyan = 0, Magenta = 0, Yellow = 0, Black = 0, Bright = 0;
    int64_t Count = 0;
    bool Same_As(const Processed_Source& o) const {
        return Valid && o.Valid && Slot == o.Slot && Pixels == o.Pixels && Bytes == o.Bytes && W == o.W &&
               H == o.H && Mode == o.Mode && Cyan == o.Cyan && Magenta == o.Magenta && Yellow == o.Yellow &&
               Black == o.Black && Bright == o.Bright;
    }
};
Processed_Source Last_Processed;
uint64_t Processed_Serial = 0;

}  // namespace

void Forget_Processed_Image() { Last_Processed = Processed_Source(); }

uint64_t Processed_Image_Serial() { return Processed_Serial; }

uint8_t Hit_Limit(uint8_t mode, uint8_t threshold) {
    return (uint8_t)(threshold - (mode == MODE_BLACK ? 2 : 1));
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
    Take_Redraw_Request();

    const int32_t w = doc.Resolution.x > 0 ? doc.Resolution.x : 0;
    const int32_t h = doc.Resolution.y > 0 ? doc.Resolution.y : 0;
    const int64_t n = (int64_t)w * h;
    const std::vector<uint8_t>& src = doc.Image_Buffer;
    // A slot whose buffer is missing or shorter than its Resolution (a failed
    // allocation) is processed only as far as it has pixels; the rest of the
    // mask stays 0.
    const int64_t pixels = Document_Pixel_Count(doc);

    const ProcessMode& p = doc.Processing;
    uint8_t mode = p.Mode;
    if (mode > MODE_ANY) mode = MODE_NONE;  // only a document file can carry another value

    Processed_Source source;
    source.Valid = true;
    source.Slot = Current_Job;
    source.Pixels = src.data();
    source.Bytes = src.size();
    source.W = w;
    source.H = h;
    source.Mode = mode;
    source.Cyan = p.Threshold_Cyan;
    source.Magenta = p.Threshold_Magenta;
    source.Yellow = p.Threshold_Yellow;
    source.Black = p.Threshold_Black;
    source.Bright = p.Bright ? 1 : 0;
    const bool unchanged = slot->Image_Changed == 0 && source.Same_As(Last_Processed) &&
                           Processed_Image.size() == src.size() && (int64_t)Hit_Mask.size() == n &&
                           Hit_Mask_Width == w && Hit_Mask_Height == h;

    int64_t cursor = 0;
    if (Pointer_Pixel(w, h, &cursor) && cursor < pixels) Cursor_Colour = Bytes_To_Int32(&src[4 * cursor]);

    int64_t count = Last_Processed.Count;
    if (!unchanged) {
        if (Processed_Image.size() != src.size()) Processed_Image.resize(src.size());
        if (Hit_Mask_Width != w || Hit_Mask_Height != h || (int64_t)Hit_Mask.size() != n) {
            Hit_Mask.assign((size_t)n, 0);
            Hit_Mask_Width = w;
            Hit_Mask_Height = h;
        }
        count = 0;
        if (mode == MODE_NONE) {
            if (!src.empty()) memcpy(Processed_Image.data(), src.data(), src.size());
            if (n > 0) memset(Hit_Mask.data(), 0, (size_t)n);
        } else {
            if (pixels < n) memset(Hit_Mask.data() + pixels, 0, (size_t)(n - pixels));
            const uint8_t limit =
                Mode_Limit(mode, p.Threshold_Cyan, p.Threshold_Magenta, p.Threshold_Yellow, p.Threshold_Black);
            // Mode 5 tests each colour against its threshold - 1 as a signed
            // number, which is "at least the threshold" (0 passes everything).
            const uint8_t thresholds[4] = {p.Threshold_Cyan, p.Threshold_Magenta, p.Threshold_Yellow,
                                           p.Threshold_Black};
            count = Threshold_Kernel(src.data(), Processed_Image.data(), Hit_Mask.data(), pixels, mode, limit,
                                     thresholds, source.Bright);
        }
        source.Count = count;
        Last_Processed = source;
        Processed_Serial++;
    }

    if (Pointer_Pixel(w, h, &cursor)) Cursor_Hit = Hit_Mask[(size_t)cursor];

    doc.Measure.Hit_Pixels = count;
    // An empty picture has no share of hits (not 0 / 0).
    doc.Measure.Hits = n > 0 ? (float)((double)count / (double)n * 100.0) : 0.0f;
    Stage_Times.Process = Elapsed_Ms() - t0;
}
