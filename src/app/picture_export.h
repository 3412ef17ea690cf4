// Pictures of documents at their own resolution, with overlay and scale bar:
// the File menu's "Export picture..." (PNG, or TIFF carrying the
// calibration), also for the batch command (app/batch).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Doc_Info;
struct Picture;
struct Picture_Render_Options;

// Filters of the dialog, in order: 0 "PNG", 1 "TIFF".
enum Picture_Export_Format { PICTURE_EXPORT_PNG = 0, PICTURE_EXPORT_TIFF = 1 };
extern const char* const Picture_Export_Filter;  // "PNG|*.png|TIFF|*.tif;*.tiff"

// A typed name ending in ".png", ".tif" or ".tiff" (any case) keeps its name
// and chooses its format; any other name gets the chosen filter's extension.
std::string Picture_Export_Name(const std::string& typed, int filter_index, int* format);
// Draws the document's picture with the options and writes it as `format`.
// An uncalibrated document (the factory value, no calibration made) gets a
// scale bar in pixels and a TIFF without resolution tags.
bool Write_Document_Picture(const Doc_Info& doc, const Picture& picture, const Picture_Render_Options& options,
                            int format, const std::string& path);
// File menu "Export picture..." for the current document; the options are
// the Settings page's two check boxes.
void Export_Picture();
