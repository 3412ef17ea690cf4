// Shared builders of the logic tests on the null backend: a clean program
// state, the main window's controls, documents and pictures, events and
// tools, and the base fixture that starts every test from the clean state.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "document/doc_model.h"
#include "platform/platform.h"

// The null platform without windows, controls or events; empty job slots;
// start-up canvas state; no scripted prompts and an empty prompt history.
void Reset_App_State();

// Reset_App_State, then every control of the real main-window layout, and
// a calibrated (100 px/mm, micrometres) live document slot.
void Fresh_Main_Window();

// Fills a B, G, R, A picture buffer of 4-byte pixels with one colour.
void Fill_Picture(std::vector<uint8_t>* bgra, uint8_t b, uint8_t g, uint8_t r, uint8_t a = 255);

// Puts a w x h document of one colour (B, G, R) into `slot`.
void Make_Document(int64_t slot, int32_t w, int32_t h, float ppmm = 100, uint8_t b = 200, uint8_t g = 200,
                   uint8_t r = 200);

// "title / text" of the last prompt asked, or "" when none was.
std::string Last_Prompt_Text();

// A control event of `window`; View_Event is one of the main picture view.
Platform_Event Control_Event(int64_t window, int64_t control, int64_t type, float x = 0, float y = 0);
Platform_Event View_Event(int64_t type, float x = 0, float y = 0);

// A tool of `type` from (x1, y1) to (x2, y2) in image pixels.
Tool Make_Tool(int64_t type, float x1, float y1, float x2, float y2, float distance = 0, float angle = 0);

// Every test of this fixture starts from Reset_App_State.
class App_Test : public ::testing::Test {
  protected:
    void SetUp() override { Reset_App_State(); }
};
