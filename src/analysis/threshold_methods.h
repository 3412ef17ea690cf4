// Automatic threshold methods from the image-analysis literature, computed on
// a 256-bin histogram of one analysis mode's colour value, and their mapping
// onto the threshold slider.
//
// Each method gives the level t (0..255) it would cut at: pixels of value
// above t are its objects, pixels at or below t its background. The methods
// follow the common reference implementations exactly, so a picture gives
// the same t here as there:
// - Otsu: the first t of largest between-class variance over the levels
//   from the lowest to the highest occupied one.
// - Triangle: the level farthest below the line from the histogram's peak to
//   the far end of its longer tail (the peak itself excluded).
// - Li: the iterative minimum cross entropy, started at the mean, on levels
//   shifted so the lowest occupied one is 0, stopped when t moves by 0.5 or
//   less; t is that real number rounded down (value > t is the same test).
// - IsoData: the lowest t with 0 <= (mean at or below t + mean above t) / 2 - t < 1.
// - Mean: the mean level rounded down.
// A histogram with one occupied level gives that level (nothing is above it);
// an empty histogram gives 0.
#pragma once

#include <cstdint>

enum Threshold_Method : uint8_t {
    METHOD_OTSU = 0,
    METHOD_TRIANGLE = 1,
    METHOD_LI = 2,
    METHOD_ISODATA = 3,
    METHOD_MEAN = 4,
    THRESHOLD_METHODS = 5,
};

// Which side of the cut the user is after. Dark objects are the program's
// own rule: a hit has the colour value at or above the slider (black mode one
// level lower). Bright objects are its inverse: a hit is every pixel the dark
// rule does not hit at the same slider value.
enum Object_Polarity : uint8_t {
    OBJECTS_DARK = 0,
    OBJECTS_BRIGHT = 1,
};

const int32_t SLIDER_MIN = 1, SLIDER_MAX = 255;  // the threshold slider's range

// "otsu", "triangle", "li", "isodata", "mean"; "" for other values.
const char* Threshold_Method_Name(uint8_t method);

// histogram[v] = pixels of the n BGRA pixels at src whose colour value in
// `mode` (1..4, as Mode_Channel_Value) is v; all 0 in other modes.
void Mode_Histogram(const uint8_t* src, int64_t n, uint8_t mode, int64_t histogram[256]);

// The method's cut t, 0..255 (0 for an unknown method). Negative counts are
// taken as 0.
int32_t Threshold_Of_Histogram(uint8_t method, const int64_t histogram[256]);

// Whether a pixel of colour value v is a hit at `slider` in `mode` (1..4),
// with the same byte arithmetic as the processing pass (a stored 1 in black
// mode hits nothing).
bool Slider_Hits_Value(uint8_t mode, Object_Polarity polarity, int32_t slider, uint8_t v);

struct Slider_Choice {
    bool Valid = false;  // false outside modes 1..4 (no single colour to cut)
    int32_t Cut = 0;     // the method's t
    int32_t Slider = SLIDER_MIN;
    // The slider's hits are exactly the method's objects (value > t for dark,
    // value <= t for bright) among the pixels of the histogram. Only a cut at
    // the top of the range can miss: the slider cannot go above 255.
    bool Exact = false;
};

// The slider value whose hits are the pixels the method calls objects:
// t + 1 in the colour modes, t + 2 in black mode (one level more lenient),
// for either polarity, limited to 1..255.
Slider_Choice Threshold_For_Slider(uint8_t method, const int64_t histogram[256], uint8_t mode,
                                   Object_Polarity polarity = OBJECTS_DARK);
