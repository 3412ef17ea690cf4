// Embedded data, made at build time by the generators in tools/ and from
// Debian's font packages: the sample pictures of the video emulator, the
// stored tool-bar icons, the splash picture and the fonts of the text atlas.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct Resource_Data {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
};

// The sample table: a little-endian int64 count (5), then per sample a name of
// 11 UTF-16 characters plus a terminating zero (24 bytes), followed by a
// Windows bitmap file (3000 x 480, 24 bits, bottom-up) whose header gives its size.
Resource_Data Resource_Sample_Table();
// Entry `index` of the sample table: its name (the UTF-16 characters up to
// the zero, as ASCII) and its bitmap file. Walks the table by the file sizes
// in the bitmap headers; false (and nothing written) when the index is
// outside the table or an entry does not fit in it.
bool Resource_Sample_Entry(int64_t index, std::string* name, Resource_Data* bitmap);

// Stored 32 x 32 PNG icons.
enum Stored_Icon { ICON_OPEN = 0, ICON_SAVE = 1, ICON_CLOSE_FILE = 2, ICON_VIDEO = 3, ICON_MODE_0 = 4, STORED_ICON_COUNT = 5 };
Resource_Data Resource_Icon_Png(int icon);

// The 970 x 494 splash picture (PNG).
Resource_Data Resource_Splash_Png();

// Font files: the seven-segment face, Roboto, and the monospace face that
// supplies the one glyph ("%") the seven-segment face lacks.
Resource_Data Resource_Font_Seven_Segment();
Resource_Data Resource_Font_Roboto();
Resource_Data Resource_Font_Monospace();
