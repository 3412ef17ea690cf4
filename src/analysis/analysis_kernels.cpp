#include "analysis/analysis_kernels.h"

#include <cstring>

namespace {

// The bodies are written once, inlined into one wrapper per level and
// vectorised there by the compiler for that level's instruction set. They use
// only integer arithmetic, so every level computes the same bytes.
#define KERNEL_BODY __attribute__((always_inline)) inline

// Bytes 50, 190, 250, 0 as one little-endian word.
const uint32_t HIT_WORD = 50u | (190u << 8) | (250u << 16);

// A 32-bit hit count per stretch keeps the vector lanes narrow; 2^30 pixels
// a stretch cannot overflow it.
const int64_t STRETCH = (int64_t)1 << 30;

// Mode colour of one pixel word (B, G, R, A from the lowest byte). With
// K = 255 - max, C = 255 - R - K = max - R, and likewise for M and Y.
template <int MODE>
KERNEL_BODY uint32_t Colour_Value(uint32_t px) {
    const uint32_t b = px & 255, g = (px >> 8) & 255, r = (px >> 16) & 255;
    uint32_t mx = b > g ? b : g;
    mx = mx > r ? mx : r;
    return MODE == 1 ? mx - r : MODE == 2 ? mx - g : MODE == 3 ? mx - b : 255 - mx;
}

// The grey is built by shifts rather than looked up in the palette: a table
// lookup per pixel would keep the loop from being vectorised.
KERNEL_BODY uint32_t Grey_Word(uint32_t px) {
    const uint32_t level = ((px >> 18) & 63) + ((px >> 9) & 127) + ((px >> 3) & 31) + 1;
    return level | (level << 8) | (level << 16) | 0xFF000000u;
}

template <int MODE>
KERNEL_BODY uint32_t Single_Pass(const uint8_t* __restrict src, uint8_t* __restrict dst, uint8_t* __restrict mask,
                                 int64_t n, uint32_t limit, uint32_t flip) {
    uint32_t count = 0;
    for (int64_t i = 0; i < n; i++) {
        uint32_t px;
        memcpy(&px, src + 4 * i, 4);
        const uint32_t is_hit = (uint32_t)(Colour_Value<MODE>(px) > limit) ^ flip;
        const uint32_t out = is_hit ? HIT_WORD : Grey_Word(px);
        memcpy(dst + 4 * i, &out, 4);
        mask[i] = (uint8_t)is_hit;
        count += is_hit;
    }
    return count;
}

KERNEL_BODY uint32_t Any_Pass(const uint8_t* __restrict src, uint8_t* __restrict dst, uint8_t* __restrict mask,
                              int64_t n, const uint8_t thresholds[4], uint32_t flip) {
    const uint32_t tc = thresholds[0], tm = thresholds[1], ty = thresholds[2], tk = thresholds[3];
    uint32_t count = 0;
    for (int64_t i = 0; i < n; i++) {
        uint32_t px;
        memcpy(&px, src + 4 * i, 4);
        const uint32_t is_hit = (uint32_t)((Colour_Value<1>(px) >= tc) | (Colour_Value<2>(px) >= tm) |
                                           (Colour_Value<3>(px) >= ty) | (Colour_Value<4>(px) >= tk)) ^
                                flip;
        const uint32_t out = is_hit ? HIT_WORD : Grey_Word(px);
        memcpy(dst + 4 * i, &out, 4);
        mask[i] = (uint8_t)is_hit;
        count += is_hit;
    }
    return count;
}

KERNEL_BODY int64_t Threshold_Body(const uint8_t* src, uint8_t* dst, uint8_t* mask, int64_t n, uint8_t mode,
                                   uint8_t limit, const uint8_t thresholds[4], uint8_t bright) {
    if (mode < 1 || mode > 5) return 0;
    const uint32_t flip = bright ? 1 : 0;
    int64_t count = 0;
    for (int64_t at = 0; at < n; at += STRETCH) {
        const int64_t k = n - at < STRETCH ? n - at : STRETCH;
        const uint8_t* s = src + 4 * at;
        uint8_t* d = dst + 4 * at;
        uint8_t* m = mask + at;
        switch (mode) {
            case 1: count += Single_Pass<1>(s, d, m, k, limit, flip); break;
            case 2: count += Single_Pass<2>(s, d, m, k, limit, flip); break;
            case 3: count += Single_Pass<3>(s, d, m, k, limit, flip); break;
            case 4: count += Single_Pass<4>(s, d, m, k, limit, flip); break;
            default: count += Any_Pass(s, d, m, k, thresholds, flip);
        }
    }
    return count;
}

// The colour values of a block are computed first (a loop the compiler
// vectorises) and then counted into four partial histograms, so that runs of
// equal values (a flat background) do not make every increment wait for the
// one before.
const int64_t HISTOGRAM_BLOCK = 2048;

template <int MODE>
KERNEL_BODY void Histogram_Pass(const uint8_t* __restrict src, int64_t n, int64_t histogram[256]) {
    uint32_t part[4][256];
    memset(part, 0, sizeof part);
    alignas(64) uint8_t values[HISTOGRAM_BLOCK];
    for (int64_t at = 0; at < n; at += HISTOGRAM_BLOCK) {
        const int64_t k = n - at < HISTOGRAM_BLOCK ? n - at : HISTOGRAM_BLOCK;
        for (int64_t i = 0; i < k; i++) {
            uint32_t px;
            memcpy(&px, src + 4 * (at + i), 4);
            values[i] = (uint8_t)Colour_Value<MODE>(px);
        }
        int64_t i = 0;
        for (; i + 8 <= k; i += 8) {
            uint64_t v;
            memcpy(&v, values + i, 8);
            part[0][v & 255]++;
            part[1][(v >> 8) & 255]++;
            part[2][(v >> 16) & 255]++;
            part[3][(v >> 24) & 255]++;
            part[0][(v >> 32) & 255]++;
            part[1][(v >> 40) & 255]++;
            part[2][(v >> 48) & 255]++;
            part[3][v >> 56]++;
        }
        for (; i < k; i++) part[0][values[i]]++;
    }
    for (int v = 0; v < 256; v++) histogram[v] += (int64_t)part[0][v] + part[1][v] + part[2][v] + part[3][v];
}

KERNEL_BODY void Histogram_Body(const uint8_t* src, int64_t n, uint8_t mode, int64_t histogram[256]) {
    for (int v = 0; v < 256; v++) histogram[v] = 0;
    // Each partial count takes at most a quarter of a stretch.
    for (int64_t at = 0; at < n; at += STRETCH) {
        const int64_t k = n - at < STRETCH ? n - at : STRETCH;
        switch (mode) {
            case 1: Histogram_Pass<1>(src + 4 * at, k, histogram); break;
            case 2: Histogram_Pass<2>(src + 4 * at, k, histogram); break;
            case 3: Histogram_Pass<3>(src + 4 * at, k, histogram); break;
            case 4: Histogram_Pass<4>(src + 4 * at, k, histogram); break;
            default: return;
        }
    }
}

typedef int64_t (*Threshold_Fn)(const uint8_t*, uint8_t*, uint8_t*, int64_t, uint8_t, uint8_t, const uint8_t*,
                                uint8_t);
typedef void (*Histogram_Fn)(const uint8_t*, int64_t, uint8_t, int64_t*);

#define KERNEL_LEVEL(TARGET, SUFFIX)                                                                          \
    TARGET int64_t Threshold_##SUFFIX(const uint8_t* src, uint8_t* dst, uint8_t* mask, int64_t n, uint8_t mode, \
                                      uint8_t limit, const uint8_t* thresholds, uint8_t bright) {              \
        return Threshold_Body(src, dst, mask, n, mode, limit, thresholds, bright);                             \
    }                                                                                                          \
    TARGET void Histogram_##SUFFIX(const uint8_t* src, int64_t n, uint8_t mode, int64_t* histogram) {          \
        Histogram_Body(src, n, mode, histogram);                                                               \
    }

KERNEL_LEVEL(, Baseline)

#if defined(__x86_64__) || defined(__i386__)
#define TRELLUM_X86_LEVELS 1
KERNEL_LEVEL(__attribute__((target("sse4.1"))), Sse41)
KERNEL_LEVEL(__attribute__((target("avx2"))), Avx2)
KERNEL_LEVEL(__attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512cd"))), Avx512)
const Threshold_Fn Threshold_Levels[KERNEL_LEVELS] = {Threshold_Baseline, Threshold_Sse41, Threshold_Avx2,
                                                      Threshold_Avx512};
const Histogram_Fn Histogram_Levels[KERNEL_LEVELS] = {Histogram_Baseline, Histogram_Sse41, Histogram_Avx2,
                                                      Histogram_Avx512};
#else
const Threshold_Fn Threshold_Levels[KERNEL_LEVELS] = {Threshold_Baseline, nullptr, nullptr, nullptr};
const Histogram_Fn Histogram_Levels[KERNEL_LEVELS] = {Histogram_Baseline, nullptr, nullptr, nullptr};
#endif

}  // namespace

const char* Kernel_Level_Name(uint8_t level) {
    static const char* const names[KERNEL_LEVELS] = {"baseline", "sse4.1", "avx2", "avx512"};
    return level < KERNEL_LEVELS ? names[level] : "";
}

bool Kernel_Level_Supported(uint8_t level) {
    if (level == KERNEL_BASELINE) return true;
#ifdef TRELLUM_X86_LEVELS
    // The library's checks include the operating system's support for the
    // wider registers. Called before constructors may have run, so it asks
    // for the processor's details itself.
    __builtin_cpu_init();
    switch (level) {
        case KERNEL_SSE41: return __builtin_cpu_supports("sse4.1");
        case KERNEL_AVX2: return __builtin_cpu_supports("avx2");
        case KERNEL_AVX512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                   __builtin_cpu_supports("avx512cd");
        default: return false;
    }
#else
    return false;
#endif
}

uint8_t Best_Kernel_Level() {
    for (int level = KERNEL_LEVELS - 1; level > KERNEL_BASELINE; level--)
        if (Kernel_Level_Supported((uint8_t)level)) return (uint8_t)level;
    return KERNEL_BASELINE;
}

uint8_t Kernel_Level_In_Use = Best_Kernel_Level();

bool Set_Kernel_Level(uint8_t level) {
    if (level >= KERNEL_LEVELS || !Kernel_Level_Supported(level)) return false;
    Kernel_Level_In_Use = level;
    return true;
}

int64_t Threshold_Kernel(const uint8_t* src, uint8_t* dst, uint8_t* mask, int64_t n, uint8_t mode, uint8_t limit,
                         const uint8_t thresholds[4], uint8_t bright) {
    if (n <= 0) return 0;
    return Threshold_Levels[Kernel_Level_In_Use](src, dst, mask, n, mode, limit, thresholds, bright);
}

void Channel_Histogram_Kernel(const uint8_t* src, int64_t n, uint8_t mode, int64_t histogram[256]) {
    if (n <= 0) {
        for (int v = 0; v < 256; v++) histogram[v] = 0;
        return;
    }
    Histogram_Levels[Kernel_Level_In_Use](src, n, mode, histogram);
}
