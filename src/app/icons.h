// Tool-bar and analysis-button pictures: the vector icons drawn with cairo at
// start-up (32 x 32 logical pixels times the display scale) and the stored
// PNG icons decoded from the program's resources. All pictures are straight
// (not premultiplied) RGBA, rows from the top, with a transparent
// background: what Set_Control_Image takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Icon_Image {
    int Width = 0, Height = 0;  // pixels; 0 x 0 when the picture could not be made
    std::vector<uint8_t> Rgba;  // Width x Height x 4 bytes
};

// The vector icons. The nine tools follow the numbering of Current_Tool
// (1 to 9): VECTOR_ICON_TOOL_LINE + Current_Tool - 1.
enum Vector_Icon {
    VECTOR_ICON_MODE_1 = 0,      // cyan disc
    VECTOR_ICON_MODE_2,          // magenta disc
    VECTOR_ICON_MODE_3,          // yellow disc
    VECTOR_ICON_MODE_4,          // black (grey) disc
    VECTOR_ICON_MODE_5,          // colour range
    VECTOR_ICON_MAGNIFIER,
    VECTOR_ICON_TOOL_LINE,       // Manual (Line)
    VECTOR_ICON_TOOL_BOX,        // Manual (Box)
    VECTOR_ICON_TOOL_CIRCLE,     // Manual (Circle)
    VECTOR_ICON_TOOL_WIDTH,      // Auto-Measure (Width)
    VECTOR_ICON_TOOL_HEIGHT,     // Auto-Measure (Height)
    VECTOR_ICON_TOOL_AXES,       // Auto-Measure (Width & Height axis)
    VECTOR_ICON_TOOL_AUTO_BOX,   // Auto-Measure (Box shape)
    VECTOR_ICON_TOOL_BLOB,       // Auto-Measure (Blob Analysis)
    VECTOR_ICON_TOOL_AUTO_CIRCLE,// Auto-Measure (Circle shape)
    VECTOR_ICON_COUNT
};

// Draws vector icon `which` at 32 x 32 times `scale` (rounded; scale <= 0 or
// not finite counts as 1). An unknown icon gives a 0 x 0 picture.
Icon_Image Draw_Vector_Icon(int which, double scale);

// Decodes stored icon `stored_icon` (Stored_Icon in resources/resources.h);
// 0 x 0 when it is unknown or does not decode.
Icon_Image Load_Stored_Icon(int stored_icon);

// Decodes a PNG held in memory into straight RGBA; 0 x 0 on any failure.
Icon_Image Decode_Png_Image(const uint8_t* data, size_t size);

// Converts a cairo ARGB32 surface's pixels (premultiplied, native-endian
// words, `stride` bytes per row) to straight RGBA.
Icon_Image Icon_From_Cairo_Pixels(const uint8_t* pixels, int width, int height, int stride);
