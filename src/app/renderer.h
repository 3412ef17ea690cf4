// View renderer: composes and presents every picture view once per redraw
// (thumbnails, the live frame border and reticle, the magnifier, the
// automatic-measurement preview, placed measurements, rubber bands, the main
// view) and reads the presented picture back.
#pragma once

#include <cstdint>

#include "base/picture.h"

extern uint8_t Reticle_Hidden;   // 0 = the live view's centre reticle is drawn
extern Picture Read_Back_Image;  // the main view as last presented, top row first

void Render_Frame();
// Pulse colour of the current thumbnail's frame for a given previous Vid_Rend time.
int32_t Pulse_Colour(float vid_rend_ms);
