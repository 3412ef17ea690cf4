// TIFF codec (libtiff, in memory): decoding the first page of 8- and 16-bit
// grey, grey with alpha, RGB and RGBA files in strips or tiles (other kinds
// libtiff can turn into RGBA go through its generic reader), with the
// calibration the file carries; encoding a 24-bit RGB file that carries a
// calibration as an "ImageJ=" description with the unit name and resolution
// tags in pixels per that unit, as analysis programs write and read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/picture.h"

// Calibration of a picture file. Unit uses the display unit numbering
// (0 microns, 1 thou, 2 millimetres, 3 inches, 4 pixels).
struct Tiff_Calibration {
    double PPMM = 0;     // pixels per millimetre, 0.001 up to 1e8; 0 = the file carries none
    int64_t Unit = -1;   // unit the file names; -1 = none or not one of ours
};

// Calibrations the files carry, in pixels per millimetre. Below one pixel a
// metre a resolution is no picture's (a damaged tag, or one that would not
// survive the rational of the tag); the top, a pixel of ten picometres, is
// still 2.54e9 per inch and fits the rational's 32-bit numerator.
const double MIN_FILE_PPMM = 1e-3;
const double MAX_FILE_PPMM = 1e8;
// Finite and within MIN_FILE_PPMM (less a float's rounding) up to MAX_FILE_PPMM.
bool Plausible_Ppmm(double ppmm);

// "II*\0" or "MM\0*".
bool Is_Tiff(const uint8_t* data, size_t size);
// Width and height of the first page without decoding; false when unreadable.
bool Tiff_Size(const uint8_t* data, size_t size, int32_t* width, int32_t* height);
// Decodes the first page into `out` (BGRA, rows from the top; alpha from the
// file or 255; 16-bit samples scaled to 8 bits, rounded). `calibration`, when
// given, receives what the file says (of the description, its first 64 KB).
// False for damaged, unsupported or oversized data (edges above max_edge; a
// strip or tile missing or past the end; fewer stored bytes than the claimed
// size needs at the compression's best ratio); `out` is then unchanged.
bool Decode_Tiff(const uint8_t* data, size_t size, int32_t max_edge, Picture* out,
                 Tiff_Calibration* calibration = nullptr);
// The unit name of the description: "micron", "mil", "mm", "inch", "pixel".
std::string Tiff_Unit_Name(int64_t unit);
// 24-bit RGB, deflate-compressed strips. With ppmm from 0.001 (one pixel a
// metre) up to 1e8 the file gets the description "ImageJ=\nunit=<name>\n"
// and XResolution = YResolution in pixels per that unit without resolution
// unit (per inch with ResolutionUnit inch); a unit without name gets pixels
// per centimetre and no description; the pixel unit gets the description
// only, so the file says its lengths are in pixels.
bool Encode_Tiff(const Picture& picture, double ppmm, int64_t unit, std::vector<uint8_t>* out);
