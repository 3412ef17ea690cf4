#include <gtest/gtest.h>

#include <sys/stat.h>

#include <zlib.h>

#include <algorithm>
#include <ctime>

#include "app/app_state.h"
#include "document/doc_file.h"
#include "document/doc_json.h"
#include "document/doc_model.h"
#include "document/image_io.h"
#include "file_test_util.h"
#include "platform/platform.h"
#include "platform/platform_null.h"

using namespace file_test;

namespace {

class DocFile : public ::testing::Test {
protected:
    std::string folder;
    void SetUp() override {
        Null_Reset();
        Reset_Jobs();
        Clear_Prompt_Script();
        Clear_Prompt_History();
        folder = Make_Temp_Folder();
        ASSERT_FALSE(folder.empty());
    }
    void TearDown() override {
        Clear_Prompt_Script();
        Remove_Tree(folder);
    }
    // A frozen document in `slot` with a pattern picture, tools and settings.
    void Make_Document(int64_t slot, int32_t w = 5, int32_t h = 3) {
        Job_Slot& job = Jobs[slot];
        job.In_Use = 1;
        Allocate_Image(&job, w, h);
        Picture p = Pattern_Picture(w, h, 17);  // alpha in the buffer must not reach the file
        job.Doc.Image_Buffer = p.Pixels;
        job.Doc.PPMM = 123.25f;
        job.Doc.Measure_Unit = 3;
        job.Doc.TimeStamp = 1733140800 + slot;
        job.Doc.Processing.Mode = 4;
        job.Doc.Processing.Threshold_Black = 99;
        job.Doc.Processing.Threshold_Cyan = 1;
        job.Doc.Measure.Hits = 12.5f;
        job.Doc.Measure.X_End = 31.75f;
        for (int i = 0; i < 3; i++) {
            Tool t;
            t.Type = i == 2 ? 7 : i;
            t.X_Start = 1.5f * i;
            t.Distance = 10.0f + i;
            t.Colour = Pack_RGBA(150, 255, 155, 255);
            job.Doc.Tools.push_back(t);
        }
        Current_Job = slot;
    }
    const Prompt_Record* Last_Prompt() {
        const auto& h = Prompt_History();
        return h.empty() ? nullptr : &h.back();
    }
};

// Everything about the slots that an open must not disturb when it refuses.
std::string Slot_Summary() {
    std::string s = std::to_string(Current_Job);
    for (int i = 0; i < JOB_SLOTS; i++)
        s += "|" + std::to_string(Jobs[i].In_Use) + "," + Jobs[i].File_Name + "," +
             std::to_string(Jobs[i].Doc.Tools.size()) + "," + std::to_string(Jobs[i].Doc.Image_Buffer.size()) + "," +
             std::to_string(Jobs[i].Doc.PPMM);
    return s;
}

TEST_F(DocFile, SaveAndOpenGiveTheSameDocument) {
    Make_Document(2);
    const Doc_Info saved = Jobs[2].Doc;
    Script_Prompt(1, folder + "/part7");
    Save_Document(1);
    std::string path = folder + "/part7.JQV";
    ASSERT_TRUE(File_Exists(path));
    EXPECT_EQ(Jobs[2].File_Name, path);
    EXPECT_EQ(Prompt_History().size(), 1u);  // only the dialog: no message on success
    EXPECT_EQ(Prompt_History()[0].Title, "Please choose file to save");
    EXPECT_EQ(Prompt_History()[0].Filter, "jqv|*.jqv");

    Jobs[1].In_Use = 1;
    Script_Prompt(1, path);
    Open_Document();
    ASSERT_EQ(Current_Job, 3);  // slots 1 and 2 are taken
    const Job_Slot& job = Jobs[3];
    EXPECT_EQ(job.In_Use, 1);
    EXPECT_EQ(job.Image_Changed, 1);
    EXPECT_EQ(job.File_Name, path);
    EXPECT_EQ(job.Doc.Resolution.x, 5);
    EXPECT_EQ(job.Doc.Resolution.y, 3);
    ASSERT_EQ(job.Doc.Image_Buffer.size(), saved.Image_Buffer.size());
    for (size_t i = 0; i < saved.Image_Buffer.size(); i++)
        ASSERT_EQ(job.Doc.Image_Buffer[i], i % 4 == 3 ? 255 : saved.Image_Buffer[i]) << "byte " << i;
    EXPECT_EQ(job.Doc.PPMM, 123.25f);
    EXPECT_EQ(job.Doc.Measure_Unit, 3);
    EXPECT_EQ(job.Doc.TimeStamp, saved.TimeStamp);
    EXPECT_EQ(job.Doc.Processing.Mode, 4);
    EXPECT_EQ(job.Doc.Processing.Threshold_Black, 99);
    EXPECT_EQ(job.Doc.Processing.Threshold_Cyan, 1);
    EXPECT_EQ(job.Doc.Measure.Hits, 12.5f);
    EXPECT_EQ(job.Doc.Measure.X_End, 31.75f);
    ASSERT_EQ(job.Doc.Tools.size(), 3u);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(job.Doc.Tools[i].Type, saved.Tools[i].Type);
        EXPECT_EQ(job.Doc.Tools[i].X_Start, saved.Tools[i].X_Start);
        EXPECT_EQ(job.Doc.Tools[i].Distance, saved.Tools[i].Distance);
        EXPECT_EQ(job.Doc.Tools[i].Colour, saved.Tools[i].Colour);
    }
}

TEST_F(DocFile, ArchiveLayout) {
    Make_Document(1, 4, 2);
    std::vector<uint8_t> bytes;
    Picture picture;
    Buffer_To_Image(&picture);
    time_t before = time(nullptr);
    ASSERT_TRUE(Build_Document_Archive(Jobs[1].Doc, picture, &bytes));
    std::vector<Zip_Member> members = Read_Zip(std::string(bytes.begin(), bytes.end()));
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].Name, "JQV Image_Main.png");
    EXPECT_EQ(members[1].Name, "JQV Doc Settings.json");
    for (const Zip_Member& m : members) {
        EXPECT_EQ(m.Filetype, (int64_t)AE_IFREG);
        EXPECT_EQ(m.Perm, 0644);
        EXPECT_GE(m.Mtime, (int64_t)before - 2);
    }
    // The image member is a 24-bit BMP whatever its name says.
    ASSERT_GE(members[0].Content.size(), 54u);
    EXPECT_EQ(members[0].Content.substr(0, 2), "BM");
    EXPECT_EQ((uint8_t)members[0].Content[28], 24);
    EXPECT_EQ(members[1].Content, Doc_To_Json(Jobs[1].Doc));
    // Deflated: local header compression method 8.
    EXPECT_EQ(bytes[8], 8);
}

TEST_F(DocFile, NamesAndTheOverwriteQuestion) {
    Make_Document(1);
    struct Case {
        std::string typed, written;
    } cases[] = {{"part7", "part7.JQV"}, {"part7.jqv", "part7.jqv"}, {"a.b.Jqv", "a.b.Jqv"}, {"x.jqvz", "x.jqvz.JQV"}};
    for (const Case& c : cases) {
        EXPECT_EQ(Document_File_Name(folder + "/" + c.typed), folder + "/" + c.written);
    }

    // First save: no question. Second save (reusing File_Name): asked; No keeps the file.
    Script_Prompt(1, folder + "/part7");
    Save_Document(1);
    std::string path = folder + "/part7.JQV";
    std::string first = Read_All(path);
    ASSERT_FALSE(first.empty());
    Jobs[1].Doc.Tools.clear();
    Clear_Prompt_History();
    Script_Prompt(0);
    Save_Document(1);
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Error");
    EXPECT_EQ(Prompt_History()[0].Text, "File already exists,overwrite?");
    EXPECT_TRUE(Prompt_History()[0].Flags & MSG_YES_NO);
    EXPECT_TRUE(Read_All(path) == first);

    // A new document typed as "part7" meets the same question; Yes overwrites.
    Make_Document(2);
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/part7");
    Script_Prompt(1);
    Save_Document(0);
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[1].Text, "File already exists,overwrite?");
    EXPECT_TRUE(Read_All(path) != first);
    EXPECT_EQ(Jobs[2].File_Name, path);

    // Cancelled dialog: nothing written, nothing asked.
    Clear_Prompt_History();
    Script_Prompt(0);
    Save_Document(0);
    EXPECT_EQ(Prompt_History().size(), 1u);
    EXPECT_FALSE(File_Exists(folder + "/.JQV"));
}

TEST_F(DocFile, SaveRefusals) {
    // Live or no document.
    for (int64_t current : {-1, 0}) {
        Clear_Prompt_History();
        Current_Job = current;
        Save_Document(1);
        ASSERT_EQ(Prompt_History().size(), 1u);
        EXPECT_EQ(Prompt_History()[0].Title, "Error");
        EXPECT_EQ(Prompt_History()[0].Text, "No document selected");
    }
    // A folder that does not exist.
    Make_Document(1);
    Jobs[1].File_Name = "old name";
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/missing/part7");
    Save_Document(0);
    ASSERT_NE(Last_Prompt(), nullptr);
    EXPECT_EQ(Last_Prompt()->Text, "Unable to create selected file");
    EXPECT_EQ(Jobs[1].File_Name, "old name");
}

TEST_F(DocFile, InterruptedSaveKeepsTheOldFile) {
    Make_Document(1, 64, 64);  // about 12 KB of picture
    Script_Prompt(1, folder + "/keep");
    Save_Document(1);
    std::string path = folder + "/keep.JQV";
    std::string before = Read_All(path);
    ASSERT_GT(before.size(), 4000u);

    Jobs[1].Doc.Tools.clear();
    uint32_t noise = 12345;  // incompressible, so the new archive is surely larger than the limit
    for (uint8_t& b : Jobs[1].Doc.Image_Buffer) b = (uint8_t)((noise = noise * 1103515245u + 12345u) >> 24);
    Clear_Prompt_History();
    Script_Prompt(1);  // overwrite: yes
    {
        File_Size_Limit limit(2048);  // the new archive fails half-way
        Save_Document(1);
    }
    ASSERT_NE(Last_Prompt(), nullptr);
    EXPECT_EQ(Last_Prompt()->Title, "Error");
    EXPECT_EQ(Last_Prompt()->Text, "Unable to create selected file");
    EXPECT_TRUE(Read_All(path) == before);
    EXPECT_EQ(List_Folder(folder), std::vector<std::string>{"keep.JQV"});  // no temporary left behind
}

TEST_F(DocFile, OpenFillsTheLowestFreeSlot) {
    Make_Document(1);
    Script_Prompt(1, folder + "/doc");
    Save_Document(1);
    Jobs[1].In_Use = 1;
    Jobs[2].In_Use = 1;
    Jobs[4].In_Use = 1;
    Jobs[3].Doc.Tools.resize(9);  // leftovers of a closed document must not survive
    Jobs[3].File_Name = "stale";
    Current_Job = 1;
    Script_Prompt(1, folder + "/doc.JQV");
    Open_Document();
    EXPECT_EQ(Current_Job, 3);
    EXPECT_EQ(Jobs[3].In_Use, 1);
    EXPECT_EQ(Jobs[3].Doc.Tools.size(), 3u);
    EXPECT_EQ(Jobs[3].File_Name, folder + "/doc.JQV");

    // With all eight in use the open is refused before any dialog.
    for (int i = 1; i <= 8; i++) Jobs[i].In_Use = 1;
    Clear_Prompt_History();
    std::string summary = Slot_Summary();
    Open_Document();
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Error");
    EXPECT_EQ(Prompt_History()[0].Text, "Loaded job limit reached, close some jobs to continue.");
    EXPECT_EQ(Slot_Summary(), summary);
}

TEST_F(DocFile, ImageMemberInEveryFormatOpens) {
    Picture p = Pattern_Picture(6, 4);
    std::vector<uint8_t> png, jpeg, bmp;
    ASSERT_TRUE(Encode_Png(p, &png));
    ASSERT_TRUE(Encode_Jpeg(p, 95, &jpeg));
    ASSERT_TRUE(Encode_Bmp24(p, &bmp));
    struct Case {
        const char* name;
        std::vector<uint8_t>* bytes;
        int tolerance;
    } cases[] = {{"png", &png, 0}, {"jpeg", &jpeg, 40}, {"bmp", &bmp, 0}};
    for (const Case& c : cases) {
        Reset_Jobs();
        std::string zip = Make_Zip({{"JQV Doc Settings.json", "{\"Measure_Unit\":1,\"PPMM\":0}"},
                                    {"JQV Image_Main.png", std::string(c.bytes->begin(), c.bytes->end())}});
        std::string path = folder + "/" + c.name + ".jqv";
        Write_All(path, zip);
        Script_Prompt(1, path);
        Open_Document();
        ASSERT_EQ(Current_Job, 1) << c.name;
        const Doc_Info& d = Jobs[1].Doc;
        EXPECT_EQ(d.Resolution.x, 6);
        EXPECT_EQ(d.Resolution.y, 4);
        EXPECT_EQ(d.Measure_Unit, 1);
        EXPECT_EQ(d.PPMM, 50.0f) << "PPMM 0 opens as 50";
        EXPECT_TRUE(d.Tools.empty());
        ASSERT_EQ(d.Image_Buffer.size(), p.Pixels.size());
        int worst = 0;
        for (size_t i = 0; i < p.Pixels.size(); i++) {
            if (i % 4 == 3) {
                ASSERT_EQ(d.Image_Buffer[i], 255);
                continue;
            }
            worst = std::max(worst, std::abs((int)d.Image_Buffer[i] - (int)p.Pixels[i]));
        }
        EXPECT_LE(worst, c.tolerance) << c.name;
    }
}

TEST_F(DocFile, RefusedFilesChangeNoSlot) {
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(Encode_Bmp24(Pattern_Picture(3, 3), &bmp));
    std::string image(bmp.begin(), bmp.end());
    // A BMP header claiming 20000 x 20000 pixels with almost no data behind it,
    // and a PNG header of 16385 x 1 (refused on the header alone).
    std::string huge_bmp = image;
    huge_bmp[18] = (char)0x20, huge_bmp[19] = (char)0x4E, huge_bmp[22] = (char)0x20, huge_bmp[23] = (char)0x4E;
    std::vector<uint8_t> png;
    ASSERT_TRUE(Encode_Png(Pattern_Picture(1, 1), &png));
    std::string wide_png(png.begin(), png.end());
    wide_png[16] = 0, wide_png[17] = 0, wide_png[18] = 0x40, wide_png[19] = 0x01;  // width 16385
    uLong crc = crc32(0, (const Bytef*)wide_png.data() + 12, 17);
    for (int i = 0; i < 4; i++) wide_png[29 + i] = (char)(crc >> (24 - 8 * i));
    // Within the edge limit but with the rows missing: must not allocate 1 GiB first.
    std::string short_bmp = image;
    short_bmp[18] = (char)0x80, short_bmp[19] = (char)0x3E, short_bmp[22] = (char)0x80, short_bmp[23] = (char)0x3E;
    const std::string settings = "{\"PPMM\":10}";
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"not a zip", "this is plain text, not an archive"},
        {"empty file", ""},
        {"no image member", Make_Zip({{"JQV Doc Settings.json", settings}})},
        {"no settings member", Make_Zip({{"JQV Image_Main.png", image}})},
        {"member names differ in case", Make_Zip({{"jqv image_main.png", image}, {"JQV Doc Settings.json", settings}})},
        {"bad json", Make_Zip({{"JQV Image_Main.png", image}, {"JQV Doc Settings.json", "{\"PPMM\":"}})},
        {"json array", Make_Zip({{"JQV Image_Main.png", image}, {"JQV Doc Settings.json", "[1,2]"}})},
        {"undecodable image", Make_Zip({{"JQV Image_Main.png", "BMnonsense"}, {"JQV Doc Settings.json", settings}})},
        {"huge bmp", Make_Zip({{"JQV Image_Main.png", huge_bmp}, {"JQV Doc Settings.json", settings}})},
        {"bmp without its rows", Make_Zip({{"JQV Image_Main.png", short_bmp}, {"JQV Doc Settings.json", settings}})},
        {"wide png", Make_Zip({{"JQV Image_Main.png", wide_png}, {"JQV Doc Settings.json", settings}})},
        {"truncated zip", Make_Zip({{"JQV Image_Main.png", image}, {"JQV Doc Settings.json", settings}}).substr(0, 60)},
    };
    Make_Document(1);
    Make_Document(3);
    Current_Job = 3;
    for (const Case& c : cases) {
        std::string path = folder + "/refused.jqv";
        Write_All(path, c.bytes);
        std::string summary = Slot_Summary();
        Clear_Prompt_History();
        Script_Prompt(1, path);
        Open_Document();
        EXPECT_EQ(Slot_Summary(), summary) << c.what;
        ASSERT_EQ(Prompt_History().size(), 2u) << c.what;
        EXPECT_EQ(Prompt_History()[1].Title, "Error") << c.what;
        EXPECT_EQ(Prompt_History()[1].Text, "Unable to load selected file") << c.what;
    }
    // A folder is refused the same way; a missing file silently.
    std::string summary = Slot_Summary();
    Clear_Prompt_History();
    Script_Prompt(1, folder);
    Open_Document();
    EXPECT_EQ(Prompt_History().back().Text, "Unable to load selected file");
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/nothing.jqv");
    Open_Document();
    EXPECT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Slot_Summary(), summary);
}

TEST_F(DocFile, SettingsWithUnknownMembersAndWithoutTools) {
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(Encode_Bmp24(Pattern_Picture(2, 2), &bmp));
    std::string zip = Make_Zip({{"README", "ignored"},
                                {"JQV Image_Main.png", std::string(bmp.begin(), bmp.end())},
                                {"JQV Doc Settings.json",
                                 "{\"Extra\":[1,{\"a\":null}],\"PPMM\":-4,\"TimeStamp\":99,\"Image_Buffer\":12345,"
                                 "\"Resolution\":{\"x\":999,\"y\":999}}"}});
    Write_All(folder + "/x.jqv", zip);
    Script_Prompt(1, folder + "/x.jqv");
    Open_Document();
    ASSERT_EQ(Current_Job, 1);
    EXPECT_EQ(Jobs[1].Doc.TimeStamp, 99);
    EXPECT_TRUE(Jobs[1].Doc.Tools.empty());
    EXPECT_EQ(Jobs[1].Doc.PPMM, 50.0f);  // a negative calibration is as unusable as 0
    EXPECT_EQ(Jobs[1].Doc.Resolution.x, 2);  // the picture decides the size, not the record
    EXPECT_EQ(Jobs[1].Doc.Image_Buffer.size(), 16u);
}

TEST_F(DocFile, CancelledOpenChangesNothing) {
    Make_Document(1);
    std::string summary = Slot_Summary();
    Script_Prompt(0);
    Open_Document();
    EXPECT_EQ(Slot_Summary(), summary);
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Choose file to load");
    EXPECT_EQ(Prompt_History()[0].Filter, "jqv|*.jqv");
}

}  // namespace
