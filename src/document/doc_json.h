// JSON form of the document record (Doc_Info) and of the camera settings
// (Video_Settings). The writer is exact and has no white space: members in
// field order, floats widened to double and printed "%.32g" (NaN and
// infinities as null, negative zero as 0), texts with the short escapes.
// The reader accepts members in any order, ignores unknown ones and leaves a
// field zero when its member is absent, null or of the wrong type. An
// integer field also takes a float that holds an integral value in range
// (5.0); 5.5 or an out-of-range number leaves it zero like a wrong type.
// A blob tool with a known pixel count carries it as one more member,
// "Area":<count>, after "Selected"; a blob without it reads as count 0.
#pragma once

#include <string>

struct Doc_Info;
struct Video_Settings;

// ---- writer
std::string Json_Number(float value);           // "%.32g", null for NaN/inf, 0 for -0
std::string Json_String(const std::string& text);  // quoted and escaped
std::string Doc_To_Json(const Doc_Info& doc);   // Image_Buffer is written as 0
std::string Video_Settings_To_Json(const Video_Settings& settings);

// ---- reader: false when the text is not JSON, its top level is not an
// object or it holds more than MAX_DOCUMENT_TOOLS tools; `out` is then
// unchanged. On success `out` is cleared first, then filled from the members
// present (Image_Buffer stays empty).
bool Json_To_Doc(const std::string& text, Doc_Info* out);
bool Json_To_Video_Settings(const std::string& text, Video_Settings* out);
