// The entry points of the fuzz targets, one per reader of outside data. The
// libFuzzer programs call them with generated inputs; the ordinary test suite
// replays the checked-in seed corpus through the same functions. Besides not
// crashing, each checks what must hold for any input it accepted, and stops
// the program (a finding) when it does not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/prefs.h"
#include "base/image_io.h"
#include "base/picture.h"
#include "base/tiff_io.h"
#include "document/doc_file.h"
#include "document/doc_json.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"

// Fuzzing keeps pictures small so that each run stays fast; the limit is
// the same code path as the program's 16384.
const int32_t FUZZ_MAX_EDGE = 1024;

inline void Fuzz_Require(bool condition) {
    if (!condition) abort();
}

inline void Fuzz_Check_Picture(const Picture& p) {
    Fuzz_Require(p.Width > 0 && p.Height > 0 && p.Width <= FUZZ_MAX_EDGE && p.Height <= FUZZ_MAX_EDGE);
    Fuzz_Require(p.Pixels.size() == (size_t)p.Width * (size_t)p.Height * 4);
}

// Whatever the reader accepted, the writer's text of it reads back to the same text.
inline void Fuzz_Doc_Json(const uint8_t* data, size_t size) {
    Doc_Info doc;
    if (!Json_To_Doc(std::string((const char*)data, size), &doc)) return;
    std::string first = Doc_To_Json(doc);
    Doc_Info again;
    Fuzz_Require(Json_To_Doc(first, &again));
    Fuzz_Require(Doc_To_Json(again) == first);
}

inline void Fuzz_Camera_Settings(const uint8_t* data, size_t size) {
    Video_Settings settings;
    if (!Json_To_Video_Settings(std::string((const char*)data, size), &settings)) return;
    std::string first = Video_Settings_To_Json(settings);
    Video_Settings again;
    Fuzz_Require(Json_To_Video_Settings(first, &again));
    Fuzz_Require(Video_Settings_To_Json(again) == first);
}

inline void Fuzz_Doc_Archive(const uint8_t* data, size_t size) {
    Doc_Info doc;
    Picture picture;
    if (!Read_Document_Archive(data, size, FUZZ_MAX_EDGE, &doc, &picture)) return;
    Fuzz_Check_Picture(picture);
    Fuzz_Require(doc.Image_Buffer.empty());
}

inline void Fuzz_Png(const uint8_t* data, size_t size) {
    Picture p;
    if (Decode_Png(data, size, FUZZ_MAX_EDGE, &p)) Fuzz_Check_Picture(p);
}

inline void Fuzz_Jpeg(const uint8_t* data, size_t size) {
    Picture p;
    if (Decode_Jpeg(data, size, FUZZ_MAX_EDGE, &p)) Fuzz_Check_Picture(p);
}

inline void Fuzz_Bmp(const uint8_t* data, size_t size) {
    Picture p;
    if (!Decode_Bmp(data, size, FUZZ_MAX_EDGE, &p)) return;
    Fuzz_Check_Picture(p);
    // A decoded bitmap encodes and decodes back to the same colours.
    std::vector<uint8_t> bmp;
    Fuzz_Require(Encode_Bmp24(p, &bmp));
    Picture back;
    Fuzz_Require(Decode_Bmp(bmp.data(), bmp.size(), FUZZ_MAX_EDGE, &back));
    for (size_t i = 0; i < p.Pixels.size(); i++)
        if (i % 4 != 3) Fuzz_Require(back.Pixels[i] == p.Pixels[i]);
}

// An accepted TIFF writes back as our TIFF with the same colours and calibration.
inline void Fuzz_Tiff(const uint8_t* data, size_t size) {
    Picture p;
    Tiff_Calibration cal;
    if (!Decode_Tiff(data, size, FUZZ_MAX_EDGE, &p, &cal)) return;
    Fuzz_Check_Picture(p);
    Fuzz_Require(cal.PPMM == 0 || (cal.PPMM > 0 && cal.PPMM < 1e9));
    std::vector<uint8_t> tiff;
    Fuzz_Require(Encode_Tiff(p, cal.PPMM, cal.Unit, &tiff));
    Picture back;
    Tiff_Calibration again;
    Fuzz_Require(Decode_Tiff(tiff.data(), tiff.size(), FUZZ_MAX_EDGE, &back, &again));
    for (size_t i = 0; i < p.Pixels.size(); i++)
        if (i % 4 != 3) Fuzz_Require(back.Pixels[i] == p.Pixels[i]);
    // The resolution is stored as a float: equal to its precision. A picture
    // in pixels is written without a scale.
    if (cal.PPMM > 0 && cal.Unit == 4)
        Fuzz_Require(again.PPMM == 0 && again.Unit == 4);
    else
        Fuzz_Require(cal.PPMM == 0 ? again.PPMM == 0
                                   : again.PPMM > cal.PPMM * 0.9999 && again.PPMM < cal.PPMM * 1.0001);
    if (cal.PPMM > 0 && cal.Unit >= 0) Fuzz_Require(again.Unit == cal.Unit);
}

inline void Fuzz_Prefs(const uint8_t* data, size_t size) {
    Prefs_Text prefs = Prefs_Parse_Text(std::string((const char*)data, size));
    Fuzz_Require(!prefs.Groups.empty());
    std::string value;
    for (const char* key : {"PPMM", "MeasureUnit", "LastDevice", "Comport", "SnapEdgePixels"}) {
        if (Prefs_Find(prefs, "Global", key, &value)) {
            (void)Prefs_Integer(value);
            (void)Prefs_Float(value);
        }
    }
}

// The named calibrations file: whatever list the reader accepted, its text
// reads back to the same list and the same text.
inline void Fuzz_Calibration_List(const uint8_t* data, size_t size) {
    std::vector<Named_Calibration> list;
    bool calibrated = false;
    if (!Parse_Calibration_List(std::string((const char*)data, size), &list, &calibrated)) return;
    Fuzz_Require(list.size() <= MAX_CALIBRATIONS);
    std::string first = Calibration_List_Text(list, calibrated);
    std::vector<Named_Calibration> again;
    bool again_calibrated = false;
    Fuzz_Require(Parse_Calibration_List(first, &again, &again_calibrated));
    Fuzz_Require(again.size() == list.size() && again_calibrated == calibrated);
    for (size_t i = 0; i < list.size(); i++) {
        Fuzz_Require(!list[i].Name.empty() && list[i].Name.size() <= MAX_CALIBRATION_NAME);
        Fuzz_Require(again[i].Name == list[i].Name && again[i].PPMM == list[i].PPMM && list[i].PPMM > 0);
    }
    Fuzz_Require(Calibration_List_Text(again, again_calibrated) == first);
}
