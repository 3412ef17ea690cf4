// View presentation: one texture per picture view (keyed by the view number),
// uploads of pixel buffers and pictures, placement by fit mode, the overlay
// queue over the picture, buffer swap, read-back of the presented frame and
// unprojection of a window point. Every operation does nothing for a number
// that is not a GL view, so code on the null platform never reaches GL.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct Picture;

// Fit modes: placement of a tw x th texture in a vw x vh view.
enum Fit_Mode_Code : int64_t {
    FIT_ACTUAL = 0,   // one texture pixel per logical view pixel, centred
    FIT_COVER = 1,    // fills the view, overflow cropped equally on both sides
    FIT_CONTAIN = 2,  // whole picture visible, centred, background bands
    // any other value stretches
};

// Flag arguments of the upload, redraw and present calls.
const int GLIP_SMOOTH = 0, GLIP_NEAREST = 1;   // texture filter
const int GLIP_NO_SWAP = 0, GLIP_SWAP = 1;      // end with a buffer swap
const int GLIP_NO_FINISH = 0, GLIP_FINISH = 1;  // wait for GL to finish the frame
const int GLIP_NO_CLEAR = 0, GLIP_CLEAR = 1;    // clear to the background first
const int GLIP_NO_FLIP = 0, GLIP_FLIP = 1;      // draw the rows upside down
// Pixel sizes of GLip_Upload_Buffer.
const int64_t GLIP_BGRA_AS_RGBA = 32;  // 4 bytes stored with alpha
const int64_t GLIP_BGRA_AS_RGB = 24;   // 4 bytes stored without alpha

// Texture name per view (0 = none), keyed by the view number in decimal.
extern std::map<std::string, uint32_t> View_Textures;

// The last presentation of a view (what GLip_Unproject inverts).
struct GLip_Presentation {
    int64_t W = 0, H = 0;            // projection extents W', H' (view units)
    float Scale_X = 0, Scale_Y = 0;  // texture pixels per view unit
    int64_t Viewport_W = 0, Viewport_H = 0;  // device pixels
    int64_t Swapped = 0;             // 1 when it ended with a buffer swap
};
GLip_Presentation GLip_Last_Presentation(int64_t view);

void GLip_Present(int64_t view, int64_t tw, int64_t th, int64_t fit_mode, int32_t background, int swap, int finish,
                  int clear, int flip);
// bits_per_pixel: 8 = one byte per pixel (luminance); 32 = BGRA stored RGBA;
// anything else = BGRA stored RGB. Rows in memory order (row 0 on top).
void GLip_Upload_Buffer(int64_t view, const uint8_t* pixels, int64_t width, int64_t height, int64_t bits_per_pixel,
                        int nearest, int32_t background, int64_t fit_mode, int swap, int finish, int clear);
// Like GLip_Upload_Buffer, but the pixels are sent only when `changed` is 1
// or the view's texture was last filled from another buffer (address, size,
// format) or is gone; otherwise the texture already holds them and is
// presented as it is, with the same GL state left behind.
void GLip_Present_Buffer(int64_t view, const uint8_t* pixels, int64_t width, int64_t height, int64_t bits_per_pixel,
                         int nearest, int32_t background, int64_t fit_mode, int swap, int finish, int clear,
                         int changed);
// Textures filled from memory since start-up (GLip_Upload_Buffer, _Image).
extern int64_t GLip_Texture_Uploads;
// Picture is BGRA, uploaded as RGBA; nullptr or an empty picture does nothing.
void GLip_Upload_Image(int64_t view, const Picture* image, int nearest, int32_t background, int64_t fit_mode, int swap,
                       int finish, int clear, int flip);
// Presents the view's existing texture again; without a texture nothing happens.
void GLip_Redraw(int64_t view, int32_t background, int64_t fit_mode, int swap, int finish, int clear, int flip);
void GLip_Bind_Texture(int64_t view, int nearest);
void GLip_Free_Texture(int64_t view);
void GLip_Free_All();
// The frame just presented, w x h device pixels, BGRA, top row first.
// read_buffer is a GL buffer name (GL_BACK = 0x0405).
void GLip_Read_Back(int64_t view, Picture* image, int read_buffer);
// Window point (device pixels, origin top left, y down) to presentation space
// (origin at the view centre, y down, one unit per texture pixel).
void GLip_Unproject(int64_t view, float x, float y, float* u, float* v);
