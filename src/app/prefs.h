// Preferences file "Orbisk.prefs" in the data folder: an INI-style text file
// with the group "Global", read once at start-up (created with factory values
// when missing) and rewritten whole when a remembered setting changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Settings carried by the preferences (the snapping radius and tolerance live
// with the snapping, the calibration and unit in the live document).
extern std::string Comport_Name;
extern int64_t Snap_Edge_Pixels;
extern int64_t Snap_Edge_Sensitivity;

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
