// A picture in memory: Width x Height pixels of 4 bytes in the order blue,
// green, red, alpha, rows from the top, no padding (the pixel-buffer layout of
// the documents). Used for read-backs, decoded files and generated images.
#pragma once

#include <cstdint>
#include <vector>

struct Picture {
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Pixels;  // Width * Height * 4 bytes
};
