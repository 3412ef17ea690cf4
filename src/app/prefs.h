// Preferences file "Orbisk.prefs" in the data folder: an INI-style text file
// with the group "Global", read once at start-up (created with factory values
// when missing) and rewritten whole when a remembered setting changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A file that cannot be read (a folder, larger than 1 MB, unreadable, or not
// creatable because the data folder cannot be made) counts as missing: the
// factory values apply and one message says why.
//
// Every value is kept as read, so the file is written back as it was; where
// a value is used it is limited to a sane range:
//   PPMM                  float, pixels per mm; not finite or <= 0 reads as 100
//   MeasureUnit           0..4; another number selects no unit (lengths in mm)
//   SnapToAngle, SnapToEdge  0 off, any other number on
//   Snap_AngleTolerance   degrees, used within 0..90 (NaN as 0; 90 already
//                         levels every nearly horizontal line)
//   Snap_EdgeRadius       pixels, used within -1..SNAP_EDGE_RADIUS_MAX (256);
//                         negative: no edge snapping
//   Snap_EdgePixels, Snap_EdgeSensitivity  carried only, not used
// Integer texts beyond 64 bits read as the nearest 64-bit value.

// Settings carried by the preferences (the snapping radius and tolerance live
// with the snapping, the calibration and unit in the live document).
extern std::string Comport_Name;
extern int64_t Snap_Edge_Pixels;       // carried only
extern int64_t Snap_Edge_Sensitivity;  // carried only

// A parsed preferences text: the lines of each group in file order.
struct Prefs_Entry {
    std::string Key;
    std::string Value;
};
struct Prefs_Group {
    std::string Name;
    std::vector<Prefs_Entry> Entries;
};
struct Prefs_Text {
    std::vector<Prefs_Group> Groups;
};

Prefs_Text Prefs_Parse_Text(const std::string& text);
// First value of `key` in `group` (names compared without case); false when absent.
bool Prefs_Find(const Prefs_Text& prefs, const std::string& group, const std::string& key, std::string* value);
// Leading decimal number of a text, 0 when it does not start with one.
int64_t Prefs_Integer(const std::string& value);
double Prefs_Float(const std::string& value);

std::string Prefs_Path();
void Prefs_Load();
void Prefs_Save();
void Prefs_SaveInitial();
