// Thresholding and analysis modes: turns the current document's pixels into
// the picture the main view shows (Processed_Image) and the hit mask the
// automatic measurements work on, and owns the six analysis buttons, the
// threshold slider and its caption.
//
// Process colours of a pixel (R, G, B 0..255): K = 255 - max(R, G, B),
// C = 255 - R - K, M = 255 - G - K, Y = 255 - B - K, each 0..255.
#pragma once

#include <cstdint>
#include <vector>

struct Doc_Info;

// Analysis modes (ProcessMode::Mode); button n (1..6) selects mode n - 1.
enum Analysis_Mode : uint8_t {
    MODE_NONE = 0,     // picture shown as captured, nothing is a hit
    MODE_CYAN = 1,
    MODE_MAGENTA = 2,
    MODE_YELLOW = 3,
    MODE_BLACK = 4,    // one level more lenient than the three colours
    MODE_ANY = 5,      // any of the four colours at its own threshold
};

// ---- state
extern std::vector<uint8_t> Processed_Image;  // BGRA, same byte size as the current document's buffer
extern int32_t Grey_Palette[256];             // entry i = bytes i, i, i, 255 in buffer order
extern int32_t Cursor_Colour;                 // document pixel under the pointer as stored (B, G, R, A bytes)
extern uint8_t Cursor_Hit;                    // Hit_Mask byte under the pointer

// ---- processing
void Build_Grey_Palette();
// Processes the current document into Processed_Image and Hit_Mask and stores
// the hit count and percentage in its Measure. Allocates only on a size change.
// The pass itself runs only when something it depends on changed: another
// slot, buffer or size, the mode or a threshold, or the slot's Image_Changed.
void Process_Image();
// Makes the next Process_Image run its pass whatever it remembers (for
// pixels written in place without setting Image_Changed).
void Forget_Processed_Image();
// Counts the passes that wrote Processed_Image: a view that shows it needs to
// send it again only when this moved on.
uint64_t Processed_Image_Serial();
// The byte a colour value must exceed to be a hit of mode 1..4 at `threshold`:
// threshold - 1, or threshold - 2 for black (one level more lenient), wrapped
// into one unsigned byte (threshold 0 gives 255, or 254 for black).
uint8_t Hit_Limit(uint8_t mode, uint8_t threshold);
// Value 0..255 of the mode's colour (modes 1..4) for one pixel; 0 for other modes.
uint8_t Mode_Channel_Value(uint8_t mode, uint8_t r, uint8_t g, uint8_t b);

// The threshold of colour mode `mode` (1..4) in `p`, or nullptr for the
// modes without one.
struct ProcessMode;
uint8_t* Threshold_Of_Mode(ProcessMode* p, uint8_t mode);
