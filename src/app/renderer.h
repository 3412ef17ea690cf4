// View renderer: composes and presents every picture view once per redraw
// (thumbnails, the live frame border and reticle, the magnifier, the
// automatic-measurement preview, placed measurements, rubber bands, the main
// view) and reads the presented picture back.
#pragma once

#include <cstdint>

#include "app/job_list.h"
#include "base/picture.h"

extern uint8_t Reticle_Hidden;   // 0 = the live view's centre reticle is drawn
extern Picture Read_Back_Image;  // the main view as last presented, top row first

void Render_Frame();
// Queues the live picture's reticle for a w x h picture: a cross at the
// centre and four corner brackets around the middle half, drawn as on a
// 640 x 480 picture and scaled with the height for any other size.
void Queue_Reticle(int64_t w, int64_t h);
// A thumbnail shows at most THUMB_TEXTURE_W x THUMB_TEXTURE_H pixels (four
// times its view, for displays that scale), so a larger picture is reduced
// by a whole step before it is sent: each texture pixel is the mean of the
// 2 x 2 picture pixels at the centre of the block it stands for. Returns the
// pixels to send (BGRA, *tw x *th): the picture itself when it is small
// enough, else a buffer of this module that the next call reuses.
const int64_t THUMB_TEXTURE_W = 4 * THUMB_W, THUMB_TEXTURE_H = 4 * THUMB_H;
const uint8_t* Reduce_For_Thumbnail(const uint8_t* pixels, int64_t w, int64_t h, int64_t* tw, int64_t* th);
// Pulse colour of the current thumbnail's frame for a given previous Vid_Rend time.
int32_t Pulse_Colour(float vid_rend_ms);
