// Results table: the measurements of the frozen documents as numbers, one row
// per tool, for spreadsheets and analysis scripts, and a summary of it per
// document and kind. Both are CSV texts in UTF-8 without a byte-order mark,
// comma-separated, "\n" line ends, fields quoted as RFC 4180 has it, numbers
// written "%.10g" with "." as the decimal point whatever the locale. Lengths
// are in the document's own unit (Measure_Unit), areas in that unit squared.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Doc_Info;

// Value columns of a row, in file order after document, file, index, kind, unit.
enum Results_Column {
    RESULT_LENGTH,
    RESULT_WIDTH,
    RESULT_HEIGHT,
    RESULT_ANGLE,       // degrees, lines only
    RESULT_AREA,
    RESULT_PERIMETER,
    RESULT_RADIUS,
    RESULT_DIAMETER,
    RESULT_X,           // centre, from the picture's top-left
    RESULT_Y,
    RESULT_THRESHOLD,   // percent, threshold notes only
    RESULT_PPMM,        // the document's calibration, pixels per millimetre
    RESULT_VALUE_COLUMNS,
};
// Header names of the value columns ("length" .. "pixels_per_mm").
extern const char* const Results_Column_Names[RESULT_VALUE_COLUMNS];

struct Results_Row {
    int64_t Document = 0;  // job slot; position on the command line in batch runs
    std::string File;      // the document's file name (an imported picture's), empty when it has none
    int64_t Index = 0;     // position in the document's tool list, from 0
    int64_t Type = 0;      // tool kind
    std::string Kind;      // "line", "width", "height", "box", "circle", "blob", "threshold"
    std::string Unit;      // "um", "thou", "mm", "in", "px"
    double Value[RESULT_VALUE_COLUMNS] = {};
    bool Filled[RESULT_VALUE_COLUMNS] = {};  // false: the value does not apply (empty cell)
};

// ---- building and writing
// Appends one row per tool of `doc`.
void Append_Results_Rows(int64_t document, const std::string& file, const Doc_Info& doc,
                         std::vector<Results_Row>* rows);
// Rows of every open frozen document (slots 1 to 8 in order).
std::vector<Results_Row> Open_Documents_Results();
// The results table: a header line and one line per row.
std::string Results_Csv_Text(const std::vector<Results_Row>& rows);
// The summary: per document and kind (in kind order), one line per value
// column that has at least one value, with n, mean, sd (sample; empty for
// n = 1), min and max.
std::string Summary_Csv_Text(const std::vector<Results_Row>& rows);

// ---- pieces, tested on their own
// A field as RFC 4180 wants it: quoted when it holds a comma, a quote, CR or LF.
std::string Csv_Field(const std::string& text);
// `text` with every byte that is not part of valid UTF-8 replaced by U+FFFD.
std::string Valid_Utf8(const std::string& text);
// A text cell (file, kind, unit; never a number): valid UTF-8, with an
// apostrophe before a leading "=", "+", "-", "@", tab or CR so that a
// spreadsheet shows it as text instead of running it, then as Csv_Field.
std::string Csv_Text(const std::string& text);
// "%.10g" with "." whatever the locale; empty for NaN and infinities.
std::string Csv_Number(double value);
// Unit text of a unit code; an invalid code counts as millimetres.
std::string Results_Unit(int64_t code);
// "results.csv" -> "results-summary.csv" (the ".csv" ending in any case).
std::string Summary_File_Name(const std::string& results_name);

// ---- user operation (File menu "Export results...")
// Asks for a name and writes the results table there and its summary beside
// it as <name>-summary.csv.
void Export_Results();
