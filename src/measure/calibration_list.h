// Named calibrations: one pixels-per-millimetre value per objective ("4x",
// "10x", ...), kept in "calibrations.json" in the data folder, offered by the
// "Calibration:" drop-down of the Settings page and stored by the "Save as:"
// field of the calibration dialog. A choice there sets the live picture's
// calibration (and so that of the pictures frozen from it), never that of a
// document already frozen, opened or imported. Also the caption of the measurements
// frame, which names the calibration in use or warns that none was made.
//
// File: {"Calibrated":1,"Calibrations":[{"Name":"10x","PPMM":787.4000244140625,"Width":2592}]}
// written whole through a temporary file renamed over the old one.
// "Calibrated" records that a calibration was made at all (also one that was
// not given a name). A missing file is an empty list; an unreadable or
// broken one is an empty list too, reported once, and is moved aside to
// "calibrations.json.broken" before the list is written again. Entries
// without a usable name or value are left out, reported once, and the file
// is moved aside the same way. "Width" is the width of the picture the
// calibration was made on; entries written before it was kept have none (read
// as 0, not known) and are written back without it.
//
// On a live picture of another width (another camera mode, binning) a named
// calibration's value scales by the width ratio; the live document's value
// follows when the live picture's width changes while one is applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const size_t MAX_CALIBRATION_NAME = 64;   // bytes kept of a name
const size_t MAX_CALIBRATIONS = 100;      // entries kept of a file
const uint64_t MAX_CALIBRATION_FILE_BYTES = 1 << 20;

struct Named_Calibration {
    std::string Name;  // as the user typed it, trimmed
    float PPMM = 0;    // image pixels per millimetre, within what picture files may carry (Plausible_Ppmm)
    int32_t Width = 0; // pixels, of the picture it was made on; 0 = not known (applies unscaled)
};

extern std::vector<Named_Calibration> Calibrations;
// True once any calibration was made (in this run or recorded in the file),
// or when the preferences carry a calibration other than the factory 100.
extern bool Calibration_Made;
// Width in pixels of the live picture its PPMM was last set for (0 = not
// known, as after start-up): tells which named calibration is applied to it.
extern int32_t Live_PPMM_Width;

// ---- the file text
std::string Calibration_List_Text(const std::vector<Named_Calibration>& list, bool calibrated);
// False for text that is not a list object; entries without a usable name or
// value are skipped (their cleaned names, or "(no name)", go to `skipped`
// when given; a number too large for a double only costs its own entry) and
// a repeated name (compared without case) keeps its first value.
bool Parse_Calibration_List(const std::string& text, std::vector<Named_Calibration>* list, bool* calibrated,
                            std::vector<std::string>* skipped = nullptr);
// The name with surrounding blanks, control characters and bidirectional
// controls removed, cut to MAX_CALIBRATION_NAME bytes (at a character boundary).
std::string Clean_Calibration_Name(const std::string& typed);

// ---- the file in the data folder
std::string Calibration_List_Path();
// Reads the file (called once at start-up, after the preferences).
void Calibration_List_Load();
// Writes the list; false when the file could not be written.
bool Calibration_List_Save();
// Stores `ppmm`, made on a picture `width` pixels wide, under `name` (an
// existing name, compared without case, takes the new value in its place) and
// saves. Empty names are ignored. True when the list may have changed (the
// drop-down then needs filling again).
bool Store_Named_Calibration(const std::string& name, float ppmm, int32_t width);
// Records that a calibration was made and saves when that is news.
void Note_Calibration_Made();
// The calibration's value on a picture `width` pixels wide (Scaled_PPMM).
float Calibration_PPMM_At(const Named_Calibration& c, int32_t width);
// Index of the first calibration whose value on a picture `width` pixels wide
// equals `ppmm`, or -1.
int64_t Find_Calibration(float ppmm, int32_t width);
// Makes calibration i the live picture's, at the live picture's width.
void Apply_Named_Calibration(size_t i);
// The live picture is now `width` pixels wide: when a named calibration is
// applied to it (its value at the previous width is the live PPMM), the live
// PPMM becomes its value at the new width. Widths of 0 or less are ignored.
// Call it once the live document's picture has the new size; the Settings
// page's refresh also calls it with the live document's width.
void Live_Width_Changed(int32_t width);
// True while no calibration was made and `ppmm` is the factory 100: lengths
// are then in pixels whatever their unit says.
bool Is_Uncalibrated(double ppmm);

// ---- the caption
// The calibration's name as shown for a picture `width` pixels wide, with
// " (made at 2592 px, scaled)" when its value is scaled there.
std::string Calibration_Label(const Named_Calibration& c, int32_t width);
// "Measurement: " + the unit's name (as the unit selector shows it), then " - " and
// the calibration's label when the current document's value matches one at its
// width, or " (uncalibrated)" while no calibration was made and it has the factory 100.
std::string Measure_Frame_Caption();
