#include <gtest/gtest.h>

#include "base/app_state.h"
#include "document/csv_export.h"
#include "document/doc_model.h"
#include "file_test_util.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "support/test_support.h"

using namespace file_test;

namespace {

const char* Expected_Rows =
    "ID\tLength\tAngle\tScale\r\n"
    "1:0:M\tW: 2mm\t\t\t\r\n"
    "1:1:\tThreshold\t12.3%\t\t\r\n"
    "2:0:B\tW: 2mm\tH: 1mm\ta: 2mm\xC2\xB2\t\r\n";

class CsvExport : public ::testing::Test {
protected:
    Temp_Folder temp;
    std::string folder = temp.Path;
    // The rows cover documents 1 and 2, the count only the current one.
    const Csv_List list = {"Millimetres",
                           {{"1:0:M", "W: 2mm", "", "", ""},
                            {"1:1:", "Threshold", "12.3%", "", ""},
                            {"2:0:B", "W: 2mm", "H: 1mm", "a: 2mm\xC2\xB2", ""}}};
    void SetUp() override {
        Reset_App_State();
        Jobs[1].In_Use = Jobs[2].In_Use = 1;
        Jobs[1].Doc.Tools.resize(2);
        Make_Current_Job(1);
    }
    std::string Last_Text() { return Prompt_History().empty() ? "" : Prompt_History().back().Text; }
};

TEST_F(CsvExport, ReportAndFileBytes) {
    EXPECT_EQ(Csv_Report_Text(1733616309, list),  // 08/12/2024 00:05:09 local
              Application_Name + " - CSV export\t" + Application_Version +
                  "\r\n\r\nReport Generated:\t08/12/2024 @ 00:05:09\r\n\r\nEntries:\t2\r\n\r\n"
                  "Unit of Measurement:\tMillimetres\r\n\r\n" + Expected_Rows);
    Script_Prompt(1, folder + "/report");
    Export_Csv(list);
    std::string path = folder + "/report.csv", bytes = Read_Whole_File(path);
    std::vector<uint8_t> expected = Utf8_To_Utf16le(Csv_Report_Text(Local_Time_Seconds(), list));
    ASSERT_EQ(bytes.size(), expected.size());
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFET\0", 4));
    EXPECT_EQ(bytes.substr(bytes.size() - 8), std::string("\xB2\0\t\0\r\0\n\0", 8));
    EXPECT_EQ(Prompt_History()[0].Title + Prompt_History()[0].Filter, "Select filenameCSV|*.CSV");
    EXPECT_EQ(Prompt_History()[1].Title, "Message");
    EXPECT_EQ(Last_Text(), "Export to CSV completed.\r\n\r\n" + path);
    // Same name again: asked about the name with ".csv"; No leaves the file.
    Jobs[1].Doc.Tools.resize(5);
    Script_Prompt(1, folder + "/report");
    Script_Prompt(0);
    Export_Csv(list);
    EXPECT_EQ(Prompt_History().back().Title + "/" + Last_Text(), "Warning/File already exists, overwrite?");
    EXPECT_TRUE(Read_Whole_File(path) == bytes);
    // An empty file is replaced without a question; REPORT.CSV keeps its name.
    Write_Whole_File(folder + "/REPORT.CSV", "");
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/REPORT.CSV");
    Export_Csv(list);
    EXPECT_EQ(Prompt_History().size(), 2u);
    EXPECT_GT(Read_Whole_File(folder + "/REPORT.CSV").size(), 100u);
    for (auto c : {std::make_pair("report.Csv", "report.Csv"), {"report.csvx", "report.csvx.csv"}})
        EXPECT_EQ(Csv_File_Name(c.first), c.second);
}

TEST_F(CsvExport, NothingToExportAndFailedWrites) {
    Jobs[0].In_Use = 1;
    Jobs[0].Doc.Tools.resize(3);
    Make_Current_Job(0);  // the live document, even with tools
    Export_Csv(list);
    Jobs[3].In_Use = 1;
    Make_Current_Job(3);  // no tools
    Export_Csv(list);
    EXPECT_TRUE(Prompt_History().empty());
    const std::string error = "Unable write to the selected file, is it already open in a different application?";
    Make_Current_Job(1);
    Script_Prompt(1, folder + "/missing/report");
    Export_Csv(list);
    EXPECT_EQ(Last_Text(), error);
    Write_Whole_File(folder + "/old.csv", "old content");
    Script_Prompt(1, folder + "/old.csv");
    Script_Prompt(1);
    {
        File_Size_Limit limit(40);  // fails half-way: an error, never "completed"
        Export_Csv(list);
    }
    EXPECT_EQ(Last_Text(), error);
    EXPECT_EQ(Read_Whole_File(folder + "/old.csv"), "old content");
}

TEST(CsvText, Utf16Conversion) {
    std::pair<std::string, std::string> cases[] = {
        {"\xE2\x82\xAC", std::string("\xAC\x20", 2)},
        {"\xF0\x9F\x98\x80", std::string("\x3D\xD8\x00\xDE", 4)},                           // surrogate pair
        {"\xFF", "\xFD\xFF"},
        {"\xC0\x80", "\xFD\xFF\xFD\xFF"},                                      // overlong
        {"\xED\xA0\x80", "\xFD\xFF\xFD\xFF\xFD\xFF"},                          // encoded surrogate
        {"\xED\xBF\xBF", "\xFD\xFF\xFD\xFF\xFD\xFF"},                          // the last one, U+DFFF
        {"\xED\x9F\xBF\xEE\x80\x80", std::string("\xFF\xD7\x00\xE0", 4)},     // U+D7FF, U+E000 either side
        {"x\xE2\x82", std::string("x\0\xFD\xFF\xFD\xFF", 6)},                  // cut short
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> got = Utf8_To_Utf16le(c.first);
        EXPECT_EQ(std::string(got.begin(), got.end()), "\xFF\xFE" + c.second);
    }
}

}  // namespace
