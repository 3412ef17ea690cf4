#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "document/doc_model.h"
#include "document/image_io.h"
#include "file_test_util.h"
#include "platform/platform.h"
#include "platform/platform_null.h"

using namespace file_test;

namespace {

int Worst_Difference(const Picture& a, const Picture& b) {
    int worst = 0;
    for (size_t i = 0; i < a.Pixels.size(); i++)
        if (i % 4 != 3) worst = std::max(worst, std::abs((int)a.Pixels[i] - (int)b.Pixels[i]));
    return worst;
}

TEST(ImageIo, EncodeDecodeRoundTrips) {
    for (auto size : {std::make_pair(1, 1), std::make_pair(3, 2), std::make_pair(17, 5), std::make_pair(2, 33)}) {
        Picture in = Pattern_Picture(size.first, size.second, 17);
        std::vector<uint8_t> png, bmp, jpeg;
        ASSERT_TRUE(Encode_Png(in, &png));
        ASSERT_TRUE(Encode_Bmp24(in, &bmp));
        ASSERT_TRUE(Encode_Jpeg(in, 90, &jpeg));
        EXPECT_EQ(png[25], 2) << "PNG colour type RGB, no alpha";
        EXPECT_EQ(bmp[28], 24);
        EXPECT_EQ(Detect_Picture_Format(png.data(), png.size()), PICTURE_PNG);
        EXPECT_EQ(Detect_Picture_Format(bmp.data(), bmp.size()), PICTURE_BMP);
        EXPECT_EQ(Detect_Picture_Format(jpeg.data(), jpeg.size()), PICTURE_JPEG);
        struct Case {
            const std::vector<uint8_t>* bytes;
            int tolerance;
        } cases[] = {{&png, 0}, {&bmp, 0}, {&jpeg, 48}};
        for (const Case& c : cases) {
            Picture out;
            ASSERT_TRUE(Decode_Picture(c.bytes->data(), c.bytes->size(), &out));
            ASSERT_EQ(out.Width, in.Width);
            ASSERT_EQ(out.Height, in.Height);
            ASSERT_EQ(out.Pixels.size(), in.Pixels.size());
            EXPECT_LE(Worst_Difference(in, out), c.tolerance) << size.first << "x" << size.second;
            for (size_t i = 3; i < out.Pixels.size(); i += 4) ASSERT_EQ(out.Pixels[i], 255);
        }
    }
    // BMP rows are padded to four bytes: 3 pixels of 3 bytes take 12 per row.
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(Encode_Bmp24(Pattern_Picture(3, 2), &bmp));
    EXPECT_EQ(bmp.size(), 54u + 24u);
    Picture nothing;
    Picture mismatched = Pattern_Picture(4, 4);
    mismatched.Pixels.pop_back();
    std::vector<uint8_t> out;
    for (const Picture* p : {&nothing, &mismatched}) {
        EXPECT_FALSE(Encode_Png(*p, &out));
        EXPECT_FALSE(Encode_Bmp24(*p, &out));
        EXPECT_FALSE(Encode_Jpeg(*p, 70, &out));
    }
}

// A hand-made BMP: 40-byte header, optional masks and palette, rows as given.
std::string Make_Bmp(int32_t w, int32_t h, int bpp, uint32_t compression, const std::vector<uint32_t>& masks,
                     const std::vector<uint32_t>& palette, const std::string& rows) {
    auto u32 = [](uint32_t v) { return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)}; };
    auto u16 = [](uint32_t v) { return std::string{(char)v, (char)(v >> 8)}; };
    std::string extra;
    for (uint32_t m : masks) extra += u32(m);
    for (uint32_t c : palette) extra += u32(c);
    uint32_t offset = 54 + (uint32_t)extra.size();
    std::string b = "BM" + u32(offset + (uint32_t)rows.size()) + u32(0) + u32(offset);
    b += u32(40) + u32((uint32_t)w) + u32((uint32_t)h) + u16(1) + u16(bpp) + u32(compression) +
         u32((uint32_t)rows.size()) + u32(0) + u32(0) + u32((uint32_t)palette.size()) + u32(0);
    return b + extra + rows;
}

TEST(ImageIo, BmpVariants) {
    struct Case {
        const char* what;
        std::string file;
        std::vector<uint32_t> expected;  // BGRA packed little-endian, top row first
    } cases[] = {
        // 24-bit top-down, 1 pixel per row (3 bytes + 1 padding).
        {"24 top-down", Make_Bmp(1, -2, 24, 0, {}, {}, std::string("\x01\x02\x03\x00\x04\x05\x06\x00", 8)),
         {0xFF030201, 0xFF060504}},
        // 8-bit palette, bottom-up: the last row in the file is the top row.
        {"8 palette", Make_Bmp(2, 2, 8, 0, {}, {0x00112233, 0x00445566}, std::string("\x01\x00\x00\x00\x00\x01\x00\x00", 8)),
         {0xFF112233, 0xFF445566, 0xFF445566, 0xFF112233}},
        // 1-bit, index beyond a one-entry palette reads black.
        {"1 bit", Make_Bmp(3, 1, 1, 0, {}, {0x00FFFFFF}, std::string("\x40\x00\x00\x00", 4)),
         {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}},
        // 32-bit bit fields with alpha in the top byte.
        {"32 bitfields", Make_Bmp(1, 1, 32, 6, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, {},
                                  std::string("\x10\x20\x30\x80", 4)),
         {0x80302010}},
        // 16-bit default 5-5-5: full red.
        {"16 bit", Make_Bmp(1, 1, 16, 0, {}, {}, std::string("\x00\x7C\x00\x00", 4)), {0xFFFF0000}},
    };
    for (const Case& c : cases) {
        Picture p;
        ASSERT_TRUE(Decode_Picture((const uint8_t*)c.file.data(), c.file.size(), &p)) << c.what;
        ASSERT_EQ((size_t)p.Width * p.Height, c.expected.size()) << c.what;
        for (size_t i = 0; i < c.expected.size(); i++) {
            uint32_t got = p.Pixels[i * 4] | (p.Pixels[i * 4 + 1] << 8) | (p.Pixels[i * 4 + 2] << 16) |
                           ((uint32_t)p.Pixels[i * 4 + 3] << 24);
            EXPECT_EQ(got, c.expected[i]) << c.what << " pixel " << i;
        }
    }
}

TEST(ImageIo, DamagedOrOversizedDataIsRefused) {
    Picture in = Pattern_Picture(8, 8);
    std::vector<uint8_t> png, bmp, jpeg;
    ASSERT_TRUE(Encode_Png(in, &png));
    ASSERT_TRUE(Encode_Bmp24(in, &bmp));
    ASSERT_TRUE(Encode_Jpeg(in, 70, &jpeg));
    std::vector<std::pair<std::string, std::vector<uint8_t>>> cases = {
        {"png cut", std::vector<uint8_t>(png.begin(), png.begin() + png.size() / 2)},
        {"bmp cut", std::vector<uint8_t>(bmp.begin(), bmp.end() - 10)},
        {"jpeg header only", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 20)},
        {"bare signatures", {0xFF, 0xD8, 0xFF}},
        {"unknown", {'G', 'I', 'F', '8', '9', 'a'}},
        {"empty", {}},
        {"rle bmp", std::vector<uint8_t>(bmp)},
        {"zero width bmp", std::vector<uint8_t>(bmp)},
        {"height INT32_MIN bmp", std::vector<uint8_t>(bmp)},
    };
    cases[6].second[30] = 1;  // BI_RLE8 is not read
    for (int i = 18; i < 22; i++) cases[7].second[i] = 0;
    cases[8].second[22] = 0, cases[8].second[23] = 0, cases[8].second[24] = 0, cases[8].second[25] = 0x80;
    for (const auto& c : cases) {
        Picture out = Pattern_Picture(1, 1);
        EXPECT_FALSE(Decode_Picture(c.second.data(), c.second.size(), &out)) << c.first;
        EXPECT_EQ(out.Width, 1) << c.first << ": output must stay unchanged";
    }
    // The edge limit applies to every decoder.
    Picture wide = Pattern_Picture(40, 2);
    ASSERT_TRUE(Encode_Png(wide, &png));
    ASSERT_TRUE(Encode_Bmp24(wide, &bmp));
    ASSERT_TRUE(Encode_Jpeg(wide, 70, &jpeg));
    Picture out;
    EXPECT_FALSE(Decode_Png(png.data(), png.size(), 39, &out));
    EXPECT_FALSE(Decode_Bmp(bmp.data(), bmp.size(), 39, &out));
    EXPECT_FALSE(Decode_Jpeg(jpeg.data(), jpeg.size(), 39, &out));
    EXPECT_TRUE(Decode_Png(png.data(), png.size(), 40, &out));
    EXPECT_TRUE(Decode_Bmp(bmp.data(), bmp.size(), 40, &out));
    EXPECT_TRUE(Decode_Jpeg(jpeg.data(), jpeg.size(), 40, &out));
}

TEST(ImageIo, ExportNamesFollowTheFilter) {
    struct Case {
        const char* typed;
        int filter;
        const char* name;
    } cases[] = {
        {"shot", EXPORT_JPEG, "shot.jpg"},       {"shot.JPG", EXPORT_JPEG, "shot.JPG"},
        {"shot.jpeg", EXPORT_JPEG, "shot.jpeg.jpg"}, {"shot.jpg", EXPORT_PNG, "shot.jpg.png"},
        {"shot", EXPORT_BMP, "shot.bmp"},        {"shot.Bmp", EXPORT_BMP, "shot.Bmp"},
        {"a.png", EXPORT_PNG, "a.png"},          {"png", EXPORT_PNG, "png.png"},
    };
    for (const Case& c : cases) EXPECT_EQ(Export_File_Name(c.typed, c.filter), c.name) << c.typed;
}

class ImageFiles : public ::testing::Test {
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
};

TEST_F(ImageFiles, ExportWritesEachFormatWithoutAlpha) {
    Picture shown = Pattern_Picture(9, 7, 0);  // a read-back with transparent alpha
    for (int filter : {EXPORT_JPEG, EXPORT_BMP, EXPORT_PNG}) {
        std::string path = folder + "/" + Export_File_Name("shot", filter);
        ASSERT_TRUE(Write_Export_File(shown, filter, path));
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(Read_File_Bytes(path, 1 << 20, &bytes));
        Picture back;
        ASSERT_TRUE(Decode_Picture(bytes.data(), bytes.size(), &back));
        EXPECT_EQ(back.Width, 9);
        EXPECT_EQ(back.Height, 7);
        for (size_t i = 3; i < back.Pixels.size(); i += 4) ASSERT_EQ(back.Pixels[i], 255);
        EXPECT_LE(Worst_Difference(shown, back), filter == EXPORT_JPEG ? 64 : 0);
    }
    EXPECT_FALSE(Write_Export_File(shown, EXPORT_PNG, folder + "/no/such/folder/x.png"));
}

TEST_F(ImageFiles, ExportMessages) {
    Current_Job = -1;
    Export_Image();
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Error");
    EXPECT_EQ(Prompt_History()[0].Text, "No document selected");

    // Without a picture view nothing can be read back: that is a failure, never "Success".
    Current_Job = 0;
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/shot", EXPORT_PNG);
    Export_Image();
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[0].Title, "Please choose file to save");
    EXPECT_EQ(Prompt_History()[0].Filter, "Jpg|*.jpg|Bitmap|*.bmp|PNG|*.png");
    EXPECT_EQ(Prompt_History()[1].Title, "Error");
    EXPECT_EQ(Prompt_History()[1].Text, "Unable to save image file");
    EXPECT_FALSE(File_Exists(folder + "/shot.png"));
}

TEST_F(ImageFiles, ImportMakesANewFrozenDocument) {
    Jobs[0].In_Use = 1;
    Jobs[0].Doc.PPMM = 42.5f;
    Jobs[0].Doc.Measure_Unit = 4;
    Jobs[0].Doc.Processing.Mode = 2;
    Jobs[0].Doc.Processing.Threshold_Magenta = 77;
    Jobs[1].In_Use = 1;
    Jobs[2].Doc.Tools.resize(4);  // a closed document's leftovers
    Jobs[2].File_Name = "old.JQV";
    Current_Job = 0;
    Picture p = Pattern_Picture(4, 3, 9);
    std::vector<uint8_t> png;
    ASSERT_TRUE(Encode_Png(p, &png));
    std::string path = folder + "/micro.png";
    ASSERT_TRUE(Write_File_Atomically(path, png));
    int64_t before = Local_Time_Seconds();
    ASSERT_TRUE(Import_Image_File(path, true));
    EXPECT_EQ(Current_Job, 2);
    const Job_Slot& job = Jobs[2];
    EXPECT_EQ(job.In_Use, 1);
    EXPECT_EQ(job.Image_Changed, 1);
    EXPECT_EQ(job.File_Name, "");
    EXPECT_TRUE(job.Doc.Tools.empty());
    EXPECT_EQ(job.Doc.PPMM, 42.5f);
    EXPECT_EQ(job.Doc.Measure_Unit, 4);
    EXPECT_EQ(job.Doc.Processing.Mode, 2);
    EXPECT_EQ(job.Doc.Processing.Threshold_Magenta, 77);
    EXPECT_GE(job.Doc.TimeStamp, before);
    EXPECT_EQ(job.Doc.Resolution.x, 4);
    EXPECT_EQ(job.Doc.Resolution.y, 3);
    ASSERT_EQ(job.Doc.Image_Buffer.size(), 48u);
    EXPECT_EQ(job.Doc.Image_Buffer[3], 255);
    EXPECT_EQ(job.Doc.Image_Buffer[4 * 5 + 0], p.Pixels[4 * 5 + 0]);
    EXPECT_TRUE(Prompt_History().empty());

    // Not a picture: ignored quietly on a drop, reported from the menu.
    Write_All(folder + "/notes.txt", "hello");
    EXPECT_FALSE(Import_Image_File(folder + "/notes.txt", true));
    EXPECT_TRUE(Prompt_History().empty());
    EXPECT_FALSE(Import_Image_File(folder + "/notes.txt", false));
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Text, "Unable to load selected file");
    EXPECT_EQ(Count_Open_Jobs(), 2);

    // Eight documents open: refused with the limit message.
    for (int i = 1; i <= 8; i++) Jobs[i].In_Use = 1;
    Clear_Prompt_History();
    EXPECT_FALSE(Import_Image_File(path, true));
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Error");
    EXPECT_EQ(Prompt_History()[0].Text, "Loaded job limit reached, close some jobs to continue.");
}

TEST_F(ImageFiles, ImportDialog) {
    Script_Prompt(0);
    Import_Image_Dialog();
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Kind, PROMPT_OPEN_FILE);
    EXPECT_EQ(Prompt_History()[0].Title, "Please choose an image to load");
    EXPECT_EQ(Prompt_History()[0].Filter,
              "PNG, BMP, JPEG|*.png;*.bmp;*.jpg;*.jpeg|PNG (*.png)|*.png|BMP (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg");
    EXPECT_EQ(Count_Open_Jobs(), 0);
}

TEST_F(ImageFiles, AtomicWriteKeepsModesAndLeavesNoTemporary) {
    std::string path = folder + "/file.bin";
    ASSERT_TRUE(Write_File_Atomically(path, std::string("first")));
    mode_t mask = umask(0);
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(Write_File_Atomically(path, std::string("second")));
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Read_All(path), "second");
    {
        File_Size_Limit limit(3);
        EXPECT_FALSE(Write_File_Atomically(path, std::string("third and longer")));
    }
    EXPECT_EQ(Read_All(path), "second");
    EXPECT_EQ(List_Folder(folder), std::vector<std::string>{"file.bin"});
    EXPECT_FALSE(Write_File_Atomically(folder, std::string("onto a folder")));

    std::vector<uint8_t> bytes;
    EXPECT_TRUE(Read_File_Bytes(path, 6, &bytes));
    EXPECT_EQ(bytes.size(), 6u);
    EXPECT_FALSE(Read_File_Bytes(path, 5, &bytes));  // larger than allowed
    EXPECT_FALSE(Read_File_Bytes(folder, 100, &bytes));
    EXPECT_FALSE(Read_File_Bytes(folder + "/missing", 100, &bytes));
}

}  // namespace
