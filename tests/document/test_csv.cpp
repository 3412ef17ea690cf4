#include <gtest/gtest.h>

#include <regex>

#include "app/app_state.h"
#include "app/control_ids.h"
#include "document/csv_export.h"
#include "document/doc_model.h"
#include "file_test_util.h"
#include "platform/platform.h"
#include "platform/platform_null.h"

using namespace file_test;

namespace {

// UTF-16LE (after the mark) back to text; only the characters the report uses.
std::string Utf16_To_Text(const std::string& bytes) {
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned unit = (unsigned char)bytes[i] | ((unsigned char)bytes[i + 1] << 8);
        if (unit < 0x80) text += (char)unit;
        else if (unit == 0xB2) text += "\xC2\xB2";
        else text += '?';
    }
    return text;
}

class CsvExport : public ::testing::Test {
protected:
    std::string folder;
    void SetUp() override {
        Null_Reset();
        Reset_Jobs();
        Clear_Prompt_Script();
        Clear_Prompt_History();
        folder = Make_Temp_Folder();
        ASSERT_FALSE(folder.empty());
        Open_Window(WINDOW_MAIN, "Trellum", 0, 0, 800, 600, 0);
        Create_Control(WINDOW_MAIN, CTL_MEASURE_LIST, CONTROL_LIST, 0, 0, 360, 200, "");
        for (const char* title : {"ID", "Msr1", "Msr2", "Msr3", "Msr4"}) Add_List_Column(CTL_MEASURE_LIST, title, 80);
        Create_Control(WINDOW_MAIN, CTL_UNIT_LIST, CONTROL_DROPDOWN, 0, 0, 100, 20, "");
        for (const char* unit : {"Microns", "Thous", "Millimetres", "Inches", "Pixels"}) Add_Row(CTL_UNIT_LIST, unit);
        Set_State(CTL_UNIT_LIST, 2);
        // Two tools in document 1 (the current one) and one in document 2: the
        // rows cover both documents, the count only the current one.
        Jobs[1].In_Use = 1;
        Jobs[1].Doc.Tools.resize(2);
        Jobs[2].In_Use = 1;
        Jobs[2].Doc.Tools.resize(1);
        Current_Job = 1;
        Add_Row(CTL_MEASURE_LIST, "1:0:M\nW: 2mm\n\n\n", 1);
        Add_Row(CTL_MEASURE_LIST, "1:1:\nThreshold\n12.3%\n\n", 1);
        Add_Row(CTL_MEASURE_LIST, "2:0:B\nW: 2mm\nH: 1mm\na: 2mm\xC2\xB2\n", 2);
    }
    void TearDown() override {
        Clear_Prompt_Script();
        Remove_Tree(folder);
    }
};

const char* Expected_Rows =
    "ID\tLength\tAngle\tScale\r\n"
    "1:0:M\tW: 2mm\t\t\t\r\n"
    "1:1:\tThreshold\t12.3%\t\t\r\n"
    "2:0:B\tW: 2mm\tH: 1mm\ta: 2mm\xC2\xB2\t\r\n";

TEST_F(CsvExport, ReportText) {
    int64_t when = 1733616309;  // 08/12/2024 00:05:09 counted as local time
    std::string expected = Application_Name + " - CSV export\t" + Application_Version +
                           "\r\n\r\nReport Generated:\t08/12/2024 @ 00:05:09\r\n\r\nEntries:\t2\r\n\r\n"
                           "Unit of Measurement:\tMillimetres\r\n\r\n" + Expected_Rows;
    EXPECT_EQ(Csv_Report_Text(when), expected);
}

TEST_F(CsvExport, FileBytesAndMessages) {
    Script_Prompt(1, folder + "/report");
    Export_Csv();
    std::string path = folder + "/report.csv";
    std::string bytes = Read_All(path);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ((unsigned char)bytes[0], 0xFF);
    EXPECT_EQ((unsigned char)bytes[1], 0xFE);
    EXPECT_EQ(bytes.size() % 2, 0u);
    EXPECT_EQ(bytes[2], 'T');
    EXPECT_EQ(bytes[3], 0);
    std::string text = Utf16_To_Text(bytes);
    EXPECT_TRUE(std::regex_search(text, std::regex("\r\nReport Generated:\t\\d\\d/\\d\\d/\\d{4} @ \\d\\d:\\d\\d:\\d\\d\r\n")));
    ASSERT_GE(text.size(), strlen(Expected_Rows));
    EXPECT_EQ(text.substr(text.size() - strlen(Expected_Rows)), Expected_Rows);
    EXPECT_NE(bytes.find(std::string("\xB2\x00", 2)), std::string::npos) << "superscript two as one UTF-16 unit";

    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[0].Title, "Select filename");
    EXPECT_EQ(Prompt_History()[0].Filter, "CSV|*.CSV");
    EXPECT_EQ(Prompt_History()[1].Title, "Message");
    EXPECT_EQ(Prompt_History()[1].Text, "Export to CSV completed.\r\n\r\n" + path);

    // Exporting to the same name again asks; No leaves the file alone.
    Clear_Prompt_History();
    Jobs[1].Doc.Tools.resize(5);
    Script_Prompt(1, folder + "/report");
    Script_Prompt(0);
    Export_Csv();
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[1].Title, "Warning");
    EXPECT_EQ(Prompt_History()[1].Text, "File already exists, overwrite?");
    EXPECT_EQ(Read_All(path), bytes);
}

TEST_F(CsvExport, NamesAndEmptyFiles) {
    struct Case {
        const char* typed;
        const char* written;
    } cases[] = {{"report", "report.csv"}, {"REPORT.CSV", "REPORT.CSV"}, {"report.Csv", "report.Csv"},
                 {"report.csvx", "report.csvx.csv"}, {"csv", "csv.csv"}};
    for (const Case& c : cases) EXPECT_EQ(Csv_File_Name(c.typed), c.written);

    // An existing empty file is replaced without a question.
    Write_All(folder + "/EMPTY.CSV", "");
    Script_Prompt(1, folder + "/EMPTY.CSV");
    Export_Csv();
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[1].Title, "Message");
    EXPECT_GT(Read_All(folder + "/EMPTY.CSV").size(), 100u);
}

TEST_F(CsvExport, NothingToExportAndFailedWrites) {
    // Live document current (even with tools), or a document without tools: silent.
    Jobs[0].In_Use = 1;
    Jobs[0].Doc.Tools.resize(3);
    Current_Job = 0;
    Export_Csv();
    Jobs[3].In_Use = 1;
    Current_Job = 3;
    Export_Csv();
    EXPECT_TRUE(Prompt_History().empty());

    // A write that fails is reported as an error, never as completed.
    Current_Job = 1;
    std::string message = "Unable write to the selected file, is it already open in a different application?";
    Script_Prompt(1, folder + "/missing/report");
    Export_Csv();
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[1].Title, "Error");
    EXPECT_EQ(Prompt_History()[1].Text, message);

    Write_All(folder + "/old.csv", "old content");
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/old.csv");
    Script_Prompt(1);
    {
        File_Size_Limit limit(40);
        Export_Csv();
    }
    ASSERT_EQ(Prompt_History().size(), 3u);
    EXPECT_EQ(Prompt_History()[2].Text, message);
    EXPECT_EQ(Read_All(folder + "/old.csv"), "old content");
}

TEST(CsvText, Utf16Conversion) {
    struct Case {
        std::string in;
        std::string out;  // after FF FE
    } cases[] = {
        {"A\t", std::string("A\0\t\0", 4)},
        {"\xC2\xB2", std::string("\xB2\0", 2)},
        {"\xE2\x82\xAC", std::string("\xAC\x20", 2)},
        {"\xF0\x9F\x98\x80", std::string("\x3D\xD8\x00\xDE", 4)},  // surrogate pair
        {"\xFF", std::string("\xFD\xFF", 2)},
        {"\xC0\x80", std::string("\xFD\xFF\xFD\xFF", 4)},            // overlong
        {"\xED\xA0\x80", std::string("\xFD\xFF\xFD\xFF\xFD\xFF", 6)},  // encoded surrogate
        {"x\xE2\x82", std::string("x\0\xFD\xFF\xFD\xFF", 6)},          // cut short
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> got = Utf8_To_Utf16le(c.in);
        EXPECT_EQ(std::string(got.begin(), got.end()), "\xFF\xFE" + c.out) << c.in;
    }
}

}  // namespace
