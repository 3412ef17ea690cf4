// Shared set-up of the render tests: the toolkit, a main window with GL
// views, the start-up fonts, and small picture helpers.
#pragma once

#include <cstdint>
#include <string>

#include "base/picture.h"
#include "support/pump.h"  // Pump drains the window events here

const int64_t VIEW_A = 500;  // 1000 x 500, the first view (share context)
const int64_t VIEW_B = 501;  // 320 x 240
const int64_t VIEW_C = 502;  // 300 x 200, never read back before its own test
const int64_t VIEW_D = 503;  // 200 x 100, never given a texture
const int GL_BACK_BUFFER = 0x0405;

// Starts the toolkit once and creates the window and views; false without a display.
bool Render_Test_Start();
// Defines the two start-up fonts (slot 0 seven-segment, slot 1 Roboto).
void Define_Start_Up_Fonts();

Picture Solid_Picture(int w, int h, int r, int g, int b);
void Set_Pixel(Picture* p, int x, int y, int r, int g, int b);
// Channel of a BGRA picture: 0 blue, 1 green, 2 red.
int Channel(const Picture& p, int x, int y, int ch);
// Writes `p` as <name>.png into the folder named by TRELLUM_RENDER_DEBUG, if set.
void Save_Debug(const Picture& p, const std::string& name);
