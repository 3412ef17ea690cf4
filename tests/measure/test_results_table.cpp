// The results table and its summary: one row per measurement, numbers only.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "app/dispatch.h"
#include "base/app_state.h"
#include "measure/overlay.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "measure/results_table.h"
#include "measure/tools.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"

namespace {

class Results_Table : public ::testing::Test {
protected:
    void SetUp() override { Fresh_Main_Window(); }
};

// An RFC 4180 reader for the checks: rows of fields, quotes undone. Line ends
// must be "\n" alone; a CR outside quotes is kept in the field (and so shows).
std::vector<std::vector<std::string>> Parse_Csv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false, open = false;
    for (size_t i = 0; i < text.size(); i++) {
        char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                i++;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n') {
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
            open = false;
            continue;
        } else {
            field += c;
        }
        open = true;
    }
    if (open) rows.push_back({"unterminated last line"});
    return rows;
}

// A cell read as a number the way a locale-free reader does; false when the
// cell is not one number through and through.
bool Cell_Number(const std::string& cell, double* v) {
    if (cell.empty()) return false;
    auto r = std::from_chars(cell.data(), cell.data() + cell.size(), *v);
    return r.ec == std::errc() && r.ptr == cell.data() + cell.size();
}

const double E = NAN;  // an empty cell in the tables below

// Slot 1 (mm, 10 px/mm) holds one tool of every kind, slot 3 (um, 5000 px/mm)
// two blobs with and without a count, slot 4 pixels and slot 5 an invalid
// unit. The selection shows a third unit: the table follows each document.
void Results_Documents() {
    Make_Document(0, 10, 10, 7);
    Jobs[0].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 9, 0, 9));  // the live document is not listed
    Make_Document(1, 200, 200, 10);
    Jobs[1].File_Name = "/data/run \"7\", left.jqv";
    Tool circle = Make_Tool(TOOL_CIRCLE, 50, 60, 25, 0, 65);
    circle.CentreX = 50;
    circle.CentreY = 60;
    circle.Radius = 25;
    Tool blob = Make_Tool(TOOL_BLOB, 100, 100, 129, 124);
    blob.Area = 497;
    for (const Tool& t : {Make_Tool(TOOL_LINE, 0, 0, 30, 40, 50, 233.13f), Make_Tool(TOOL_WIDTH, 0, 5, 49, 5, 49),
                          Make_Tool(TOOL_HEIGHT, 7, 0, 7, 20, 20), Make_Tool(TOOL_BOX, 10, 20, 30, 30), circle, blob,
                          Make_Tool(TOOL_THRESHOLD_NOTE, 0, 0, 0, 0, 12.34f), Make_Tool(TOOL_WIDTH_HEIGHT, 1, 2, 3, 4)})
        Jobs[1].Doc.Tools.push_back(t);
    Make_Document(3, 10, 10, 5000);
    Jobs[3].Doc.Measure_Unit = 0;
    Jobs[3].File_Name = "b.jqv";
    Jobs[3].Picture_File = "b.png";  // imported, then saved: the document's own name counts
    Tool old_blob = Make_Tool(TOOL_BLOB, 0, 0, 36, 36);
    Jobs[3].Doc.Tools.push_back(old_blob);
    old_blob.Area = 966;
    Jobs[3].Doc.Tools.push_back(old_blob);
    Make_Document(4, 10, 10, 10);
    Jobs[4].File_Name = "=1+2 \xFF.jqv";  // a formula, and a byte that is not UTF-8
    Jobs[4].Doc.Measure_Unit = 4;
    Jobs[4].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 1, 1, std::sqrt(2.0f), 315));
    Make_Document(5, 10, 10, 10);
    Jobs[5].Doc.Measure_Unit = 9;
    Jobs[5].Picture_File = "/pics/cells.png";
    Jobs[5].Doc.Tools.push_back(Make_Tool(TOOL_HEIGHT, -4, 0, -4, 25, 25));
    Set_State(CTL_UNIT_LIST, 3);
    Settings_From_Widgets();
}

TEST_F(Results_Table, Rows_By_Kind) {
    Results_Documents();
    const std::string text = Results_Csv_Text(Open_Documents_Results());
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "document,file,index,kind,unit,length,width,height,angle_deg,area,perimeter,radius,diameter,x,y,"
              "threshold_percent,pixels_per_mm");
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("1,\"/data/run \"\"7\"\", left.jqv\",0,line,mm,5,3,4,233.1300049,,,,,1.5,2,,10\n"),
              std::string::npos)
        << text;
    struct Row {
        const char* document;
        const char* file;
        const char* index;
        const char* kind;
        const char* unit;
        double v[RESULT_VALUE_COLUMNS];  // length .. pixels_per_mm
    };
    const char* f1 = "/data/run \"7\", left.jqv";
    const double pi = 3.14159265358979323846;
    const Row expected[] = {
        {"1", f1, "0", "line", "mm", {5, 3, 4, 233.13, E, E, E, E, 1.5, 2, E, 10}},
        {"1", f1, "1", "width", "mm", {4.9, 4.9, E, E, E, E, E, E, 2.45, 0.5, E, 10}},
        {"1", f1, "2", "height", "mm", {2, E, 2, E, E, E, E, E, 0.7, 1, E, 10}},
        {"1", f1, "3", "box", "mm", {E, 2, 1, E, 2, 6, E, E, 2, 2.5, E, 10}},
        {"1", f1, "4", "circle", "mm", {E, E, E, E, pi * 6.25, 5 * pi, 2.5, 5, 5, 6, E, 10}},
        {"1", f1, "5", "blob", "mm", {E, 2.9, 2.4, E, 4.97, E, E, E, 11.45, 11.2, E, 10}},
        {"1", f1, "6", "threshold", "mm", {E, E, E, E, E, E, E, E, E, E, 12.34, 10}},
        {"1", f1, "7", "width_height", "mm", {E, E, E, E, E, E, E, E, E, E, E, 10}},
        {"3", "b.jqv", "0", "blob", "um", {E, 7.2, 7.2, E, E, E, E, E, 3.6, 3.6, E, 5000}},
        {"3", "b.jqv", "1", "blob", "um", {E, 7.2, 7.2, E, 38.64, E, E, E, 3.6, 3.6, E, 5000}},
        {"4", "'=1+2 \xEF\xBF\xBD.jqv", "0", "line", "px", {1.414213538, 1, 1, 315, E, E, E, E, 0.5, 0.5, E, 10}},
        {"5", "/pics/cells.png", "0", "height", "mm", {2.5, E, 2.5, E, E, E, E, E, -0.4, 1.25, E, 10}},
    };
    auto rows = Parse_Csv(text);
    ASSERT_EQ(rows.size(), 1 + sizeof expected / sizeof expected[0]) << text;
    for (size_t r = 0; r < sizeof expected / sizeof expected[0]; r++) {
        const Row& e = expected[r];
        const std::vector<std::string>& cells = rows[r + 1];
        SCOPED_TRACE("row " + std::to_string(r));
        ASSERT_EQ(cells.size(), 5u + RESULT_VALUE_COLUMNS);
        EXPECT_EQ(cells[0] + "|" + cells[1] + "|" + cells[2] + "|" + cells[3] + "|" + cells[4],
                  std::string(e.document) + "|" + e.file + "|" + e.index + "|" + e.kind + "|" + e.unit);
        for (int c = 0; c < RESULT_VALUE_COLUMNS; c++) {
            double v = 0;
            if (std::isnan(e.v[c])) {
                EXPECT_EQ(cells[5 + c], "") << Results_Column_Names[c];
            } else {
                ASSERT_TRUE(Cell_Number(cells[5 + c], &v)) << Results_Column_Names[c] << ": " << cells[5 + c];
                // The expected values are decimal; the tools' fields are float32.
                EXPECT_NEAR(v, e.v[c], 1e-7 * std::fabs(e.v[c]) + 1e-9) << Results_Column_Names[c];
            }
        }
    }
    // Nothing open: the header alone. Pieces: quoting and the number form.
    EXPECT_EQ(Parse_Csv(Results_Csv_Text({})).size(), 1u);
    for (auto c : std::vector<std::pair<std::string, std::string>>{
             {"plain", "plain"}, {"a,b", "\"a,b\""}, {"say \"x\"", "\"say \"\"x\"\"\""}, {"l\nr", "\"l\nr\""},
             {"cr\r", "\"cr\r\""}, {"", ""}})
        EXPECT_EQ(Csv_Field(c.first), c.second);
    // Text cells: formulas shown as text, bytes that are not UTF-8 replaced one by one.
    const std::string bad = "\xEF\xBF\xBD";
    for (auto c : std::vector<std::pair<std::string, std::string>>{
             {"=1+1", "'=1+1"}, {"+1", "'+1"}, {"-2.jqv", "'-2.jqv"}, {"@SUM(A1)", "'@SUM(A1)"}, {"\tx", "'\tx"},
             {"a=b-c", "a=b-c"}, {"=a,b", "\"'=a,b\""}, {"", ""}, {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
             {"\xF0\x9F\x94\xAC", "\xF0\x9F\x94\xAC"}, {"\xFF" "a", bad + "a"}, {"a\xC3", "a" + bad},
             {"\xE2\x82x", bad + bad + "x"}, {"\xC0\xAF", bad + bad}, {"\xED\xA0\x80", bad + bad + bad},
             {"\xF4\x90\x80\x80", bad + bad + bad + bad}, {"\x80-", bad + "-"}})
        EXPECT_EQ(Csv_Text(c.first), c.second) << c.first;
    const double huge = 1e300;
    for (auto c : std::vector<std::pair<double, std::string>>{{0.1, "0.1"},
                                                              {-0.0, "0"},
                                                              {1.0 / 3, "0.3333333333"},
                                                              {123456789012.0, "1.23456789e+11"},
                                                              {huge * huge, ""},
                                                              {NAN, ""}})
        EXPECT_EQ(Csv_Number(c.first), c.second) << c.first;
}

TEST_F(Results_Table, Ignores_The_Locale) {
    Results_Documents();
    const std::string in_c = Results_Csv_Text(Open_Documents_Results()) + Summary_Csv_Text(Open_Documents_Results());
    const std::string saved = setlocale(LC_ALL, nullptr);
    if (!setlocale(LC_ALL, "de_DE.UTF-8")) {
        const char* ci = getenv("CI");
        if (ci && std::string(ci) == "true") FAIL() << "the locale de_DE.UTF-8 is missing (scripts/setup makes it)";
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed here";
    }
    char probe[16];
    snprintf(probe, sizeof probe, "%.1f", 2.5);
    const std::string in_de = Results_Csv_Text(Open_Documents_Results()) + Summary_Csv_Text(Open_Documents_Results());
    setlocale(LC_ALL, saved.c_str());
    EXPECT_STREQ(probe, "2,5") << "the German locale was not in force";
    EXPECT_EQ(in_de, in_c);
    EXPECT_NE(in_de.find(",4.9,4.9,"), std::string::npos);
}

TEST_F(Results_Table, Summary_Per_Document_And_Kind) {
    Make_Document(1, 100, 100, 10);
    Jobs[1].File_Name = "a,b.jqv";
    for (float w : {20.0f, 40.0f, 90.0f}) Jobs[1].Doc.Tools.push_back(Make_Tool(TOOL_BOX, 0, 0, w, 10));
    Jobs[1].Doc.Tools.insert(Jobs[1].Doc.Tools.begin() + 1, Make_Tool(TOOL_LINE, 0, 0, 30, 0, 30, 180));
    Make_Document(2, 100, 100, 10);
    Jobs[2].File_Name = "@2.jqv";
    Jobs[2].Doc.Tools.push_back(Make_Tool(TOOL_BOX, 0, 0, 50, 20));
    Jobs[2].Doc.Tools.push_back(Make_Tool(TOOL_BLOB, 0, 0, 5, 5));  // no count: no area line
    Jobs[2].Doc.Tools.push_back(Make_Tool(TOOL_THRESHOLD_NOTE, 0, 0, 0, 0, 40));
    Jobs[2].Doc.Tools.push_back(Make_Tool(TOOL_THRESHOLD_NOTE, 0, 0, 0, 0, 60));
    const std::string text = Summary_Csv_Text(Open_Documents_Results());
    auto rows = Parse_Csv(text);
    ASSERT_GE(rows.size(), 2u) << text;
    EXPECT_EQ(text.substr(0, text.find('\n')), "document,file,kind,unit,column,n,mean,sd,min,max");
    struct Line {
        const char* document;
        const char* kind;
        const char* column;
        double n, mean, sd, min, max;
    } expected[] = {
        // kinds in kind order: the line of document 1 comes before its boxes
        {"1", "line", "length", 1, 3, E, 3, 3},
        {"1", "line", "width", 1, 3, E, 3, 3},
        {"1", "line", "height", 1, 0, E, 0, 0},
        {"1", "line", "angle_deg", 1, 180, E, 180, 180},
        {"1", "line", "x", 1, 1.5, E, 1.5, 1.5},
        {"1", "line", "y", 1, 0, E, 0, 0},
        {"1", "line", "pixels_per_mm", 1, 10, E, 10, 10},
        {"1", "box", "width", 3, 5, std::sqrt(13.0), 2, 9},
        {"1", "box", "height", 3, 1, 0, 1, 1},
        {"1", "box", "area", 3, 5, std::sqrt(13.0), 2, 9},
        {"1", "box", "perimeter", 3, 12, 2 * std::sqrt(13.0), 6, 20},
        {"1", "box", "x", 3, 2.5, std::sqrt(13.0) / 2, 1, 4.5},
        {"1", "box", "y", 3, 0.5, 0, 0.5, 0.5},
        {"1", "box", "pixels_per_mm", 3, 10, 0, 10, 10},
        {"2", "box", "width", 1, 5, E, 5, 5},
        {"2", "box", "height", 1, 2, E, 2, 2},
        {"2", "box", "area", 1, 10, E, 10, 10},
        {"2", "box", "perimeter", 1, 14, E, 14, 14},
        {"2", "box", "x", 1, 2.5, E, 2.5, 2.5},
        {"2", "box", "y", 1, 1, E, 1, 1},
        {"2", "box", "pixels_per_mm", 1, 10, E, 10, 10},
        {"2", "blob", "width", 1, 0.5, E, 0.5, 0.5},
        {"2", "blob", "height", 1, 0.5, E, 0.5, 0.5},
        {"2", "blob", "x", 1, 0.25, E, 0.25, 0.25},
        {"2", "blob", "y", 1, 0.25, E, 0.25, 0.25},
        {"2", "blob", "pixels_per_mm", 1, 10, E, 10, 10},
        {"2", "threshold", "threshold_percent", 2, 50, std::sqrt(200.0), 40, 60},
        {"2", "threshold", "pixels_per_mm", 2, 10, 0, 10, 10},
    };
    ASSERT_EQ(rows.size(), 1 + sizeof expected / sizeof expected[0]) << text;
    for (size_t r = 0; r < sizeof expected / sizeof expected[0]; r++) {
        const Line& e = expected[r];
        const std::vector<std::string>& cells = rows[r + 1];
        SCOPED_TRACE(text.substr(0, 0) + "line " + std::to_string(r + 1));
        ASSERT_EQ(cells.size(), 10u);
        EXPECT_EQ(cells[0] + "|" + cells[1] + "|" + cells[2] + "|" + cells[3] + "|" + cells[4],
                  std::string(e.document) + "|" + (e.document[0] == '1' ? "a,b.jqv" : "'@2.jqv") + "|" + e.kind + "|mm|" +
                      e.column);
        const double want[5] = {e.n, e.mean, e.sd, e.min, e.max};
        for (int k = 0; k < 5; k++) {
            double v = 0;
            if (std::isnan(want[k])) {
                EXPECT_EQ(cells[5 + k], "") << k;
            } else {
                ASSERT_TRUE(Cell_Number(cells[5 + k], &v)) << k << ": " << cells[5 + k];
                EXPECT_NEAR(v, want[k], 1e-9 * std::fabs(want[k]) + 1e-9) << k;
            }
        }
    }
    EXPECT_EQ(Summary_Csv_Text({}), "document,file,kind,unit,column,n,mean,sd,min,max\n");
    for (auto c : std::vector<std::pair<std::string, std::string>>{
             {"run.csv", "run-summary.csv"}, {"/d/RUN.CSV", "/d/RUN-summary.csv"}, {"x.csvx", "x.csvx-summary.csv"}})
        EXPECT_EQ(Summary_File_Name(c.first), c.second);
}

TEST_F(Results_Table, Export_Results_Writes_The_Table_And_Its_Summary) {
    Temp_Folder folder;
    Export_Results();  // nothing open: said so, no dialog
    EXPECT_EQ(Last_Prompt_Text(), "Info / No measurements to export");
    EXPECT_EQ(Prompt_History().size(), 1u);
    Results_Documents();
    Script_Prompt(1, folder.File("run"));
    Export_Results();
    const std::string table = folder.File("run.csv"), summary = folder.File("run-summary.csv");
    ASSERT_GE(Prompt_History().size(), 3u);
    EXPECT_EQ(Prompt_History()[1].Title + "|" + Prompt_History()[1].Filter, "Export results|CSV|*.csv");
    EXPECT_EQ(Last_Prompt_Text(), "Message / Exported results to:\n" + table + "\nand the summary to:\n" + summary);
    EXPECT_EQ(Read_Whole_File(table), Results_Csv_Text(Open_Documents_Results()));
    EXPECT_EQ(Read_Whole_File(summary), Summary_Csv_Text(Open_Documents_Results()));
    // The same name again: one question, and No leaves both files.
    const std::string before = Read_Whole_File(table);
    Jobs[1].Doc.Tools.clear();
    Script_Prompt(1, folder.File("run"));
    Script_Prompt(0);
    Export_Results();
    EXPECT_EQ(Last_Prompt_Text(), "Warning / File already exists, overwrite?");
    EXPECT_EQ(Read_Whole_File(table), before);
    // A folder that does not exist: the write error, not the completion message.
    Script_Prompt(1, folder.File("missing/run.csv"));
    Export_Results();
    EXPECT_EQ(Last_Prompt_Text(),
              "Error / Unable write to the selected file, is it already open in a different application?");
    struct stat st;
    EXPECT_NE(stat(folder.File("missing").c_str(), &st), 0);
}

}  // namespace
