// Small GL views drawn in plain view pixels (the read-out displays): a
// pixel-exact projection of the view's size times the display scale, origin
// at the top left.
#pragma once

#include <cstdint>
#include <string>

// Makes the view current, sets the projection and clears the back buffer with
// the given colour (channels 0..1). Returns false when the view does not exist.
bool Pixel_View_Begin(int64_t view, float red, float green, float blue, float alpha);
// Presents the view (swaps its buffers).
void Pixel_View_End(int64_t view);
// Paints text into a read-out view in style 0 (green), 1 (amber) or 2 (cyan).
void Draw_Readout(int64_t view, const std::string& text, int64_t style);
