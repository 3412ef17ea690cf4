// Pixel kernels of the analysis: the threshold pass and the channel histogram,
// each a pure function of the pixels and numbers it is given. The procedures
// that read the program state (Process_Image, Auto_Threshold_Curve) call them.
//
// Each kernel is compiled from one source several times, for the x86-64
// baseline and for wider vector units; the widest one the processor runs is
// chosen at start-up, so one binary runs on any x86-64 machine. Every version
// gives the same bytes. On other processors only the baseline exists.
#pragma once

#include <cstdint>

enum Kernel_Level : uint8_t {
    KERNEL_BASELINE = 0,  // the build's own target (SSE2 on x86-64)
    KERNEL_SSE41 = 1,
    KERNEL_AVX2 = 2,
    KERNEL_AVX512 = 3,    // AVX-512 F, BW, VL, DQ, CD
    KERNEL_LEVELS = 4,
};

// ---- state
extern uint8_t Kernel_Level_In_Use;  // set at start-up to the widest level the processor runs

// ---- choice of level
const char* Kernel_Level_Name(uint8_t level);  // "baseline", "sse4.1", "avx2", "avx512"; "" for others
bool Kernel_Level_Supported(uint8_t level);
uint8_t Best_Kernel_Level();
// Makes `level` the one in use; false, and nothing changed, when the processor lacks it.
bool Set_Kernel_Level(uint8_t level);

// ---- kernels
// Pixel bytes B, G, R, A. Hit colour of the processed picture: bytes 50, 190, 250, 0.
// Grey of a non-hit: level R/4 + G/2 + B/8 + 1 (by shifts) in B, G, R and 255 in A.
//
// Modes 1..4: a pixel is a hit when its mode colour is above `limit` (a byte
// comparison). Mode 5: a hit when any of C, M, Y, K reaches its own threshold
// (thresholds[0..3], so a threshold of 0 passes every pixel). Other modes:
// nothing is written and 0 is returned. Writes n pixels to dst and n bytes
// (1 = hit, 0 = not) to mask; returns the hit count. With `bright` set the
// rule is inverted (bright objects on a dark ground): every pixel the rule
// above does not hit is a hit, and the other way round.
int64_t Threshold_Kernel(const uint8_t* src, uint8_t* dst, uint8_t* mask, int64_t n, uint8_t mode, uint8_t limit,
                         const uint8_t thresholds[4], uint8_t bright = 0);
// histogram[v] = pixels of src whose colour value in `mode` (1..4) is v; all 0 for other modes.
void Channel_Histogram_Kernel(const uint8_t* src, int64_t n, uint8_t mode, int64_t histogram[256]);
