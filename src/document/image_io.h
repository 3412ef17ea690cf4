// Picture files: decoding PNG, JPEG and BMP (recognised by content) and
// encoding PNG, JPEG (quality given) and 24-bit BMP, in memory; the image
// export of the picture view and the import of picture files as documents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "render/picture.h"

// Largest picture edge accepted from outside data.
const int32_t MAX_PICTURE_EDGE = 16384;

enum Picture_Format { PICTURE_UNKNOWN = 0, PICTURE_PNG = 1, PICTURE_JPEG = 2, PICTURE_BMP = 3 };
Picture_Format Detect_Picture_Format(const uint8_t* data, size_t size);
// Decodes into `out` (BGRA, rows from the top, alpha 255 unless the file has
// alpha). Returns false for unknown, damaged or oversized data; `out` is then unchanged.
bool Decode_Picture(const uint8_t* data, size_t size, Picture* out);
bool Encode_Png(const Picture& picture, std::vector<uint8_t>* out);       // 24-bit colour
bool Encode_Jpeg(const Picture& picture, int quality, std::vector<uint8_t>* out);
bool Encode_Bmp24(const Picture& picture, std::vector<uint8_t>* out);     // bottom-up rows
// Reads a whole file (at most max_bytes). Returns false when missing, unreadable or larger.
bool Read_File_Bytes(const std::string& path, size_t max_bytes, std::vector<uint8_t>* out);
// Writes through a temporary file in the same folder renamed over `path`.
bool Write_File_Atomically(const std::string& path, const std::vector<uint8_t>& bytes);

// File menu "Export Image": the picture view as drawn, in JPEG, BMP or PNG.
void Export_Image();
// File menu "Import Image" (with the file dialog).
void Import_Image_Dialog();
// Reads one picture file into a new frozen document. `quiet` suppresses the
// messages (a dropped file that is not a picture is ignored). Returns true when imported.
bool Import_Image_File(const std::string& path, bool quiet);
