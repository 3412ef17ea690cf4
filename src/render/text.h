// Text drawing from the font atlas: font and scale selection, measuring, and
// a batch of up to 4096 glyph quads drawn with one array draw per flush.
// Positions are in the units of the current projection, y downwards.
#pragma once

#include <cstdint>
#include <string>

const int64_t TEXT_BATCH_QUADS = 4096;

struct Text_Batch_Record {
    int16_t Positions[TEXT_BATCH_QUADS][8];    // (x, y) of TL, TR, BR, BL
    float Tex_Coords[TEXT_BATCH_QUADS][8];     // from the font's Tex_Coords
    uint8_t Colours[TEXT_BATCH_QUADS][16];     // RGBA per corner
    int64_t Count;
};

extern int64_t Current_Font;        // 0
extern float Text_Scale;            // 1.0
extern const float Letter_Spacing;  // 2.0 font pixels after every character
extern Text_Batch_Record Text_Batch;
extern int64_t Text_Flush_Count;    // flushes that had quads (the tests count them)

// ---------------------------------------------------------------- settings
int64_t gText_Select_Font(int64_t slot);   // 0..15, else -1 and unchanged
int64_t gText_Set_Scale(float scale);      // 0.001..999999, else -1 and unchanged

// ---------------------------------------------------------------- measuring
float gText_Width(const std::string& text);
float gText_Height(const std::string& text);
void gText_Measure(const std::string& text, float* w, float* h);

// ---------------------------------------------------------------- drawing
// (x, y) is the top-left of the first line; a line break returns the pen to x.
void gText_Add(float x, float y, const std::string& text, int r, int g, int b, int a);
void gText_Flush();
void gText_Draw(float x, float y, const std::string& text, int r, int g, int b, int a);
