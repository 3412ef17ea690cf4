// Picture files as documents: the image export of the picture view and the
// import of picture files as new frozen documents.
#pragma once

#include <cstdint>
#include <string>

struct Picture;

// Filters of the export dialog, in order: 0 "Jpg", 1 "Bitmap", 2 "PNG".
enum Export_Filter { EXPORT_JPEG = 0, EXPORT_BMP = 1, EXPORT_PNG = 2 };
// The typed name with the selected filter's extension appended unless its
// last four characters already are that extension (in any case).
std::string Export_File_Name(const std::string& typed, int filter_index);
// Encodes `picture` for the filter and writes it to `path`. False on failure.
bool Write_Export_File(const Picture& picture, int filter_index, const std::string& path);
// File menu "Export Image": GL view `view` (the picture view) as drawn, in
// JPEG, BMP or PNG.
void Export_Image(int64_t view);
// File menu "Import Image" (with the file dialog): PNG, BMP, JPEG and TIFF.
void Import_Image_Dialog();
// Makes `picture` a new frozen document in the lowest free slot, with the
// live document's processing, and its calibration and unit unless the
// picture brings its own (ppmm finite above 0; unit 0..4). Returns the slot or -1.
int64_t Picture_To_New_Document(const Picture& picture, double ppmm = 0, int64_t unit = -1);
// Reads one picture file into a new frozen document. `quiet` suppresses the
// messages (a dropped file that is not a picture is ignored; a picture past
// the pixel budget is always reported). Returns true when imported.
bool Import_Image_File(const std::string& path, bool quiet);
