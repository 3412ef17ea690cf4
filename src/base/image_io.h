// Picture codecs and file helpers: decoding PNG, JPEG and BMP (recognised by
// content) and encoding PNG, JPEG (quality given) and 24-bit BMP, in memory;
// reading whole files and replacing files atomically.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/picture.h"

// Largest picture edge accepted from outside data.
const int32_t MAX_PICTURE_EDGE = 16384;
// Outside files larger than this are not read at all.
const size_t MAX_PICTURE_FILE_BYTES = (size_t)512 * 1024 * 1024;

enum Picture_Format { PICTURE_UNKNOWN = 0, PICTURE_PNG = 1, PICTURE_JPEG = 2, PICTURE_BMP = 3 };
Picture_Format Detect_Picture_Format(const uint8_t* data, size_t size);
// Width and height a PNG, JPEG or BMP header claims, without decoding; false
// when the header cannot be read (the decoder then refuses the data too).
bool Picture_Size(const uint8_t* data, size_t size, int32_t* width, int32_t* height);
// Decodes into `out` (BGRA, rows from the top, alpha 255 unless the file has
// alpha). Returns false for unknown, damaged or oversized data; `out` is then unchanged.
bool Decode_Picture(const uint8_t* data, size_t size, Picture* out);
// The decoders behind Decode_Picture, with the largest accepted edge given
// (the fuzz targets use a smaller one to stay fast). Each checks the size its
// header claims against max_edge before allocating anything.
bool Decode_Png(const uint8_t* data, size_t size, int32_t max_edge, Picture* out);
bool Decode_Jpeg(const uint8_t* data, size_t size, int32_t max_edge, Picture* out);
bool Decode_Bmp(const uint8_t* data, size_t size, int32_t max_edge, Picture* out);
bool Encode_Png(const Picture& picture, std::vector<uint8_t>* out);       // 24-bit colour
bool Encode_Jpeg(const Picture& picture, int quality, std::vector<uint8_t>* out);
// A picture whose pixel buffer matches its size, both edges above 0.
bool Picture_Is_Valid(const Picture& picture);
bool Encode_Bmp24(const Picture& picture, std::vector<uint8_t>* out);     // bottom-up rows
// The pieces of that BMP, for writers that stream it: the header's size, the
// padded bytes of a row, the header of a width x height picture (into
// BMP24_HEADER bytes), and stored row `index` (0 = the picture's bottom row)
// from a B, G, R, A buffer, padding zeroed.
const size_t BMP24_HEADER = 54;
uint64_t Bmp24_Stride(int32_t width);
void Bmp24_Header(int32_t width, int32_t height, uint8_t* out);
void Bmp24_Row(const uint8_t* bgra, int32_t width, int32_t height, int32_t index, uint8_t* out);
// Reads a whole file (at most max_bytes). Returns false when missing, unreadable or larger.
bool Read_File_Bytes(const std::string& path, size_t max_bytes, std::vector<uint8_t>* out);
// Writes through a temporary file in the same folder renamed over `path`, so
// a failed write leaves the old file as it was. A new file gets the usual
// permissions (0666 less the umask); a replaced one keeps its own. Symbolic
// links are followed: the file they lead to is replaced (or made) and the
// link stays. What is not a regular file (a device, a FIFO, /dev/stdout) is
// written in place, never replaced; false when any write fails (/dev/full).
bool Write_File_Atomically(const std::string& path, const std::vector<uint8_t>& bytes);
bool Write_File_Atomically(const std::string& path, const std::string& bytes);
// True when the last characters of `name` are `ending`, compared without
// regard to ASCII case (".JQV", ".CSV", ".jpg" checks of the file dialogs).
bool Ends_With_No_Case(const std::string& name, const std::string& ending);
