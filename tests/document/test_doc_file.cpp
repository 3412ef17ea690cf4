#include <gtest/gtest.h>
#include <zlib.h>

#include <ctime>

#include "base/app_state.h"
#include "document/doc_file.h"
#include "document/doc_json.h"
#include "document/doc_model.h"
#include "base/image_io.h"
#include "file_test_util.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "support/test_support.h"

using namespace file_test;

namespace {

class DocFile : public ::testing::Test {
protected:
    Temp_Folder temp;
    std::string folder = temp.Path;
    void SetUp() override {
        Reset_App_State();
        ASSERT_FALSE(folder.empty());
    }
    // A frozen document in `slot`, made current; the buffer's alpha (17) must not reach the file.
    void Make_Document(int64_t slot, int32_t w = 5, int32_t h = 3) {
        Job_Slot& job = Jobs[slot];
        job.In_Use = 1;
        job.Doc.Resolution = {w, h};
        job.Doc.Image_Buffer = Pattern_Picture(w, h, 17).Pixels;
        job.Doc.PPMM = 123.25f;
        job.Doc.Measure_Unit = 3;
        job.Doc.TimeStamp = 1733140800 + slot;
        job.Doc.Processing.Mode = 4;
        job.Doc.Processing.Threshold_Black = 99;
        job.Doc.Measure.X_End = 31.75f;
        for (int i = 0; i < 3; i++) {
            Tool t;
            t.Type = i == 2 ? 7 : i;
            t.Distance = 10.0f + i;
            t.Colour = Pack_RGBA(150, 255, 155, 255);
            job.Doc.Tools.push_back(t);
        }
        Make_Current_Job(slot);
    }
    std::string Last_Text() { return Prompt_History().empty() ? "" : Prompt_History().back().Text; }
};

// What an open must not disturb when it refuses a file.
std::string Slot_Summary() {
    std::string s = std::to_string(Current_Job);
    for (const Job_Slot& j : Jobs)
        s += "|" + std::to_string(j.In_Use) + j.File_Name + std::to_string(j.Doc.Tools.size()) + "," +
             std::to_string(j.Doc.Image_Buffer.size()) + std::to_string(j.Doc.PPMM);
    return s;
}

TEST_F(DocFile, SaveAndOpenGiveTheSameDocument) {
    Make_Document(2);
    const Doc_Info saved = Jobs[2].Doc;
    Script_Prompt(1, folder + "/part7");
    Save_Document(1);
    std::string path = folder + "/part7.JQV";
    EXPECT_EQ(Jobs[2].File_Name, path);
    ASSERT_EQ(Prompt_History().size(), 1u);  // the dialog only: no message on success
    EXPECT_EQ(Prompt_History()[0].Filter, "jqv|*.jqv");

    // The members: BMP image first, then the exact JSON, regular files 0644 with a time.
    std::string bytes = Read_Whole_File(path);
    struct archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    ASSERT_EQ(archive_read_open_memory(a, bytes.data(), bytes.size()), ARCHIVE_OK);
    struct archive_entry* e;
    std::vector<std::string> names, contents;
    while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
        names.push_back(archive_entry_pathname(e));
        EXPECT_EQ(archive_entry_filetype(e), AE_IFREG);
        EXPECT_EQ(archive_entry_perm(e), 0644);
        EXPECT_GT(archive_entry_mtime(e), time(nullptr) - 60);
        std::string content(4096, 0);
        content.resize((size_t)archive_read_data(a, &content[0], content.size()));
        contents.push_back(content);
    }
    archive_read_free(a);
    ASSERT_EQ(names, (std::vector<std::string>{"JQV Image_Main.png", "JQV Doc Settings.json"}));
    EXPECT_EQ(contents[0].substr(0, 2), "BM");
    EXPECT_EQ(contents[0][28], 24);
    EXPECT_EQ(contents[1], Doc_To_Json(saved));
    EXPECT_EQ(bytes[8], 8) << "deflate";

    // Opened with slots 1, 2 and 4 in use, it fills slot 3, whatever a closed document left there.
    Jobs[1].In_Use = Jobs[4].In_Use = 1;
    Jobs[3].Doc.Tools.resize(9);
    Script_Prompt(1, path);
    Open_Document();
    ASSERT_EQ(Current_Job, 3);
    const Job_Slot& job = Jobs[3];
    EXPECT_EQ(job.In_Use + job.Image_Changed, 2);
    EXPECT_EQ(job.File_Name, path);
    EXPECT_EQ(job.Doc.Resolution.x * 10 + job.Doc.Resolution.y, 53);
    ASSERT_EQ(job.Doc.Image_Buffer.size(), saved.Image_Buffer.size());
    for (size_t i = 0; i < saved.Image_Buffer.size(); i++)
        ASSERT_EQ(job.Doc.Image_Buffer[i], i % 4 == 3 ? 255 : saved.Image_Buffer[i]) << "byte " << i;
    EXPECT_EQ(Doc_To_Json(job.Doc), Doc_To_Json(saved));  // PPMM, unit, time, processing, measure, tools
}

TEST_F(DocFile, NamesAndTheOverwriteQuestion) {
    for (auto c : {std::make_pair("part7", "part7.JQV"), {"part7.jqv", "part7.jqv"}, {"x.jqvz", "x.jqvz.JQV"}})
        EXPECT_EQ(Document_File_Name(c.first), c.second);
    Make_Document(1);
    Script_Prompt(1, folder + "/part7");
    Save_Document(1);
    std::string path = folder + "/part7.JQV", first = Read_Whole_File(path);
    // Second save to the document's own file asks; No leaves the file as it was.
    Jobs[1].Doc.Tools.clear();
    Clear_Prompt_History();
    Script_Prompt(0);
    Save_Document(1);
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Error");
    EXPECT_EQ(Prompt_History()[0].Text, "File already exists,overwrite?");
    EXPECT_TRUE(Read_Whole_File(path) == first);
    // Another document typed as "part7" meets the question too; Yes replaces the file.
    Make_Document(2);
    Script_Prompt(1, folder + "/part7");
    Script_Prompt(1);
    Save_Document(1);
    EXPECT_EQ(Last_Text(), "File already exists,overwrite?");
    EXPECT_TRUE(Read_Whole_File(path) != first);
    // Live or no document; a folder that does not exist.
    for (int64_t current : {-1, 0}) {
        Make_Current_Job(current);
        Save_Document(1);
        EXPECT_EQ(Last_Text(), "No document selected");
    }
    Make_Current_Job(2);
    Script_Prompt(1, folder + "/missing/part7");
    Save_Document(0);
    EXPECT_EQ(Last_Text(), "Unable to create selected file");
    EXPECT_EQ(Jobs[2].File_Name, path);
}

TEST_F(DocFile, InterruptedSaveKeepsTheOldFile) {
    Make_Document(1, 64, 64);
    Script_Prompt(1, folder + "/keep");
    Save_Document(1);
    std::string path = folder + "/keep.JQV", before = Read_Whole_File(path);
    uint32_t noise = 12345;  // incompressible, so the new archive surely passes the limit
    for (uint8_t& b : Jobs[1].Doc.Image_Buffer) b = (uint8_t)((noise = noise * 1103515245u + 12345u) >> 24);
    Script_Prompt(1);
    {
        File_Size_Limit limit(before.size() / 2);
        Save_Document(1);
    }
    EXPECT_EQ(Last_Text(), "Unable to create selected file");
    EXPECT_TRUE(Read_Whole_File(path) == before);
    EXPECT_EQ(List_Folder(folder), std::vector<std::string>{"keep.JQV"});  // no temporary left
}

TEST_F(DocFile, ImageMemberInEveryFormatOpens) {
    Picture p = Pattern_Picture(6, 4);
    std::vector<uint8_t> png, jpeg, bmp;
    ASSERT_TRUE(Encode_Png(p, &png) && Encode_Jpeg(p, 95, &jpeg) && Encode_Bmp24(p, &bmp));
    // Unknown members are ignored; no Tools gives none; PPMM 0, negative or absent opens as 50.
    // Of two members with the image's name the first is the picture.
    const char* settings[] = {"{\"Measure_Unit\":1,\"PPMM\":0,\"Extra\":[1]}", "{\"Measure_Unit\":1,\"PPMM\":-4}",
                              "{\"Measure_Unit\":1}", "{\"Measure_Unit\":1}"};
    int tolerance[] = {0, 40, 0, 0};
    std::vector<uint8_t> other;
    ASSERT_TRUE(Encode_Png(Pattern_Picture(3, 2), &other));
    const std::vector<uint8_t>* images[] = {&png, &jpeg, &bmp, &png};
    for (int i = 0; i < 4; i++) {
        Reset_Jobs();
        std::vector<std::pair<std::string, std::string>> members = {
            {"JQV Doc Settings.json", settings[i]},
            {"JQV Image_Main.png", std::string(images[i]->begin(), images[i]->end())}};
        if (i == 3) members.push_back({"JQV Image_Main.png", std::string(other.begin(), other.end())});
        Write_Whole_File(folder + "/f.jqv", Make_Zip(members));
        Script_Prompt(1, folder + "/f.jqv");
        Open_Document();
        ASSERT_EQ(Current_Job, 1) << i;
        const Doc_Info& d = Jobs[1].Doc;
        EXPECT_EQ(d.Resolution.x * 10 + d.Resolution.y, 64);
        EXPECT_EQ(d.Measure_Unit, 1);
        EXPECT_EQ(d.PPMM, 50.0f);
        EXPECT_TRUE(d.Tools.empty());
        ASSERT_EQ(d.Image_Buffer.size(), p.Pixels.size());
        for (size_t k = 0; k < p.Pixels.size(); k++)
            ASSERT_NEAR(d.Image_Buffer[k], k % 4 == 3 ? 255 : p.Pixels[k], tolerance[i]) << i;
    }
}

TEST_F(DocFile, RefusedFilesChangeNoSlot) {
    std::vector<uint8_t> bmp, png;
    ASSERT_TRUE(Encode_Bmp24(Pattern_Picture(3, 3), &bmp) && Encode_Png(Pattern_Picture(1, 1), &png));
    std::string image(bmp.begin(), bmp.end()), json = "{\"PPMM\":10}";
    // A BMP claiming 16000 x 16000 (within the edge limit) without its rows: refused before allocating.
    std::string short_bmp = image;
    short_bmp[18] = short_bmp[22] = (char)0x80, short_bmp[19] = short_bmp[23] = 0x3E;
    // A well-formed PNG header of 16385 x 1.
    std::string wide_png(png.begin(), png.end());
    wide_png[18] = 0x40, wide_png[19] = 0x01;
    uLong crc = crc32(0, (const Bytef*)wide_png.data() + 12, 17);
    for (int i = 0; i < 4; i++) wide_png[29 + i] = (char)(crc >> (24 - 8 * i));
    // A settings member past 64 MiB (white space is legal JSON); 100,001 tools.
    std::string padded = json + std::string((size_t)64 * 1024 * 1024, ' ');
    std::string many_tools = "{\"Tools\":[{}";
    for (size_t i = 0; i < MAX_DOCUMENT_TOOLS; i++) many_tools += ",{}";
    many_tools += "]}";
    // A 6 x 6 picture with the budget set just below what it needs; a JPEG of
    // a few hundred bytes whose header claims 16384 x 16384 (within the
    // default budget): too short for its rows, refused before allocating.
    std::vector<uint8_t> six;
    ASSERT_TRUE(Encode_Png(Pattern_Picture(6, 6), &six));
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(Encode_Jpeg(Pattern_Picture(8, 8), 70, &jpeg));
    for (size_t i = 0; i + 9 < jpeg.size(); i++)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) jpeg[i + 5] = jpeg[i + 7] = 0x40, jpeg[i + 6] = jpeg[i + 8] = 0;
    std::pair<const char*, std::string> cases[] = {
        {"not a zip", "plain text"},
        {"empty file", ""},
        {"no image", Make_Zip({{"JQV Doc Settings.json", json}})},
        {"no settings", Make_Zip({{"JQV Image_Main.png", image}})},
        {"names differ in case", Make_Zip({{"jqv image_main.png", image}, {"JQV Doc Settings.json", json}})},
        {"bad json", Make_Zip({{"JQV Image_Main.png", image}, {"JQV Doc Settings.json", "{\"PPMM\":"}})},
        {"json array", Make_Zip({{"JQV Image_Main.png", image}, {"JQV Doc Settings.json", "[1]"}})},
        {"undecodable", Make_Zip({{"JQV Image_Main.png", "BMnonsense"}, {"JQV Doc Settings.json", json}})},
        {"bmp without rows", Make_Zip({{"JQV Image_Main.png", short_bmp}, {"JQV Doc Settings.json", json}})},
        {"wide png", Make_Zip({{"JQV Image_Main.png", wide_png}, {"JQV Doc Settings.json", json}})},
        {"truncated", Make_Zip({{"JQV Image_Main.png", image}, {"JQV Doc Settings.json", json}}).substr(0, 60)},
        {"a folder", ""},
        {"settings over 64 MiB", Make_Zip({{"JQV Image_Main.png", image}, {"JQV Doc Settings.json", padded}})},
        {"over 100,000 tools", Make_Zip({{"JQV Image_Main.png", image}, {"JQV Doc Settings.json", many_tools}})},
        {"budget: 6 x 6", Make_Zip({{"JQV Image_Main.png", std::string(six.begin(), six.end())},
                                    {"JQV Doc Settings.json", json}})},
        {"budget: small file, 16384 x 16384 picture",
         Make_Zip({{"JQV Image_Main.png", std::string(jpeg.begin(), jpeg.end())}, {"JQV Doc Settings.json", json}})},
    };
    Make_Document(1);
    Make_Document(3);
    std::string summary = Slot_Summary();
    const uint64_t open_bytes = Document_Pixel_Bytes();
    for (const auto& c : cases) {
        std::string name = c.first;
        std::string path = name == "a folder" ? folder : folder + "/refused.jqv";
        if (path != folder) Write_Whole_File(path, c.second);
        if (name == "budget: 6 x 6") Pixel_Budget_Bytes = open_bytes + 6 * 6 * 4 - 1;
        Clear_Prompt_History();
        Script_Prompt(1, path);
        Open_Document();
        Pixel_Budget_Bytes = (uint64_t)2 << 30;
        EXPECT_EQ(Slot_Summary(), summary) << c.first;
        ASSERT_EQ(Prompt_History().size(), 2u) << c.first;
        std::string expected = "Unable to load selected file";
        if (name == "budget: 6 x 6")
            expected += ": the pictures of all open documents would take more than 0 MB. Close some documents to continue.";
        EXPECT_EQ(Prompt_History()[1].Title + "/" + Prompt_History()[1].Text, "Error/" + expected) << c.first;
    }
    // Just within the budget it opens.
    Pixel_Budget_Bytes = open_bytes + 6 * 6 * 4;
    Write_Whole_File(folder + "/six.jqv", Make_Zip({{"JQV Image_Main.png", std::string(six.begin(), six.end())},
                                            {"JQV Doc Settings.json", json}}));
    Script_Prompt(1, folder + "/six.jqv");
    Open_Document();
    Pixel_Budget_Bytes = (uint64_t)2 << 30;
    EXPECT_EQ(Current_Job, 2);
    EXPECT_EQ(Document_Pixel_Bytes(), open_bytes + 6 * 6 * 4);
    Close_Job(2);
    // Missing file: silent. Cancelled: nothing. Eight open: refused before the dialog.
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/nothing.jqv");
    Open_Document();
    Script_Prompt(0);
    Open_Document();
    EXPECT_EQ(Prompt_History().size(), 2u);
    for (int i = 1; i <= 8; i++) Jobs[i].In_Use = 1;
    summary = Slot_Summary();
    Open_Document();
    EXPECT_EQ(Last_Text(), "Loaded job limit reached, close some jobs to continue.");
    EXPECT_EQ(Prompt_History().size(), 3u);
    EXPECT_EQ(Slot_Summary(), summary);
}

}  // namespace
