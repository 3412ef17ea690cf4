// CSV export of the measurement list: a UTF-16LE text with byte-order mark,
// CR LF line ends and tab-separated fields, holding a short report header and
// the list's rows exactly as the list shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the report lists: the unit's name as the unit selector shows it and
// the measurement list's rows, each its cells in column order.
struct Csv_List {
    std::string Unit;
    std::vector<std::vector<std::string>> Rows;
};

// File menu "Export data...": asks for a name and writes the current frozen
// document's report. Does nothing for the live document or without tools.
void Export_Csv(const Csv_List& list);

// The name with ".csv" appended unless its last four characters are ".CSV"
// in any case.
std::string Csv_File_Name(const std::string& typed);
// The report as UTF-8 text (CR LF line ends), dated `local_seconds`.
std::string Csv_Report_Text(int64_t local_seconds, const Csv_List& list);
// UTF-8 to UTF-16LE with the FF FE mark; invalid sequences become U+FFFD.
std::vector<uint8_t> Utf8_To_Utf16le(const std::string& text);
