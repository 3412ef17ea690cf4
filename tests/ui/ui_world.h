// The whole program's main window, built once for the UI tests on the real
// toolkit under Xvfb, with helpers to drive it through injected events and
// to read back what the picture view shows.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/picture.h"
#include "support/pump.h"

// Pump and Pump_Until (support/pump.h) run main-loop passes here (events
// and idle passes, no sleeping); Pump_Until's default limit is generous: GTK
// answers late on a loaded machine.
// Runs passes until the queue is empty and one idle pass rendered.
void Settle();
// Window position (picture-view pixels) that shows image point (x, y).
void Image_To_Window(float x, float y, float* wx, float* wy);
// Injects an event of the picture view.
void Post_View_Event(int64_t type, float wx = 0, float wy = 0, int32_t key = 0, int32_t wheel = 0);
// Moves to the image point and clicks there.
void Click_Image(float x, float y);
// Puts a frozen document of w x h in one colour into the lowest free slot and makes it current.
int64_t Open_Plain_Document(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b, float ppmm = 100);
// Colour (r, g, b) of the read-back picture at the window position of image point (x, y).
void Read_Back_At_Image(float x, float y, int* r, int* g, int* b);
// Closes every frozen document and returns to the live document in mode 0, tool Manual (Line), snapping off.
void Reset_World();
