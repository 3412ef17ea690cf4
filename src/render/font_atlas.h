// Font atlas: renders every character of up to 17 font definitions with
// FreeType from the embedded faces, packs the glyphs row by row into one
// square texture (white, coverage in alpha) and records per font and
// character code its texture coordinates, size and vertical offset. The text
// module draws from these tables.
#pragma once

#include <cstdint>
#include <string>

#include "base/picture.h"

const int64_t FONT_SLOTS = 17;
const int64_t ATLAS_SIZE = 256;
// Private marker in Font_Def::Style; the first build removes it.
const int64_t FONT_STYLE_MARKER = 1024;

struct Font_Def {
    std::string Name;          // family name; empty = slot not defined
    float Size = 0;            // points (rounded when the face is sized)
    int64_t Style = 0;         // style flags (not interpreted: one face per family)
    std::string Chars;         // UTF-8, the characters this font provides
    int64_t Line_Height = 0;   // largest text height of the font's characters, pixels
    // Per character code 0..255, zero when the font does not provide it:
    float Tex_Coords[256][8] = {};  // (s, t) of top-left, top-right, bottom-right, bottom-left; t from the bottom
    float Metrics[256][4] = {};     // glyph width, glyph height (pixels), 0, 0
    float Offsets[256][2] = {};     // 0, y offset of the ink below the font's top line
};

// Working record of a build, one per character of every defined font.
struct Glyph_Info {
    int64_t Font = 0;          // slot
    int32_t Code = 0;          // character code (below 256)
    float Min_X = 0, Min_Y = 0, Max_X = 0, Max_Y = 0;  // ink box in cell pixels
    float Top = 0;             // the font's top line (smallest positive Min_Y)
    float Advance = 0;         // pixels
    float Text_Height = 0;     // pixels
    float Width = 0;           // Max_X - Min_X + 1
    float Height = 0;          // Max_Y - Min_Y + 1
};

extern Font_Def Font_Defs[FONT_SLOTS];
extern int64_t Atlas_Exists;      // 1 after gText_Init, 0 after gText_Free
extern int64_t Atlas_View;        // the view whose context created the texture
extern uint32_t Atlas_Texture;

// Results of the last build, kept for inspection (the dump and the tests).
extern Picture Atlas_Last_Image;  // BGRA, rows from the top
extern int64_t Atlas_Overflowed;  // 1 when the last build ran out of room

// ---------------------------------------------------------------- lifecycle
void gText_Init(int64_t view, int64_t size);
// Stores a definition when 0 <= slot <= 16, name not empty and size > 4. Returns 0.
int64_t gText_Define_Font(int64_t slot, const std::string& name, float size, int64_t style,
                          const std::string& chars);
// Builds the atlas with edge length `size`; -1 (nothing built) when size < 32.
int64_t gText_Build_Atlas(int64_t size);
// Uploads a BGRA image into Atlas_Texture in the current context, bottom row first.
void gText_Upload_Atlas(const Picture& image);
void gText_Free();

// Decodes UTF-8 into 16-bit code units (malformed bytes become U+FFFD).
std::u16string Text_Code_Units(const std::string& text);
