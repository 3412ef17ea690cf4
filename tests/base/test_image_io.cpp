#include <gtest/gtest.h>

#include <sys/stat.h>

#include "document/doc_model.h"
#include "document/image_io.h"
#include "file_test_util.h"
#include "platform/platform.h"
#include "platform/platform_null.h"

using namespace file_test;

namespace {

TEST(ImageIo, EncodeDecodeRoundTrips) {
    for (auto size : {std::make_pair(1, 1), {3, 2}, {17, 5}, {2, 33}}) {
        Picture in = Pattern_Picture(size.first, size.second, 0);  // alpha must not survive
        for (int filter : {EXPORT_JPEG, EXPORT_BMP, EXPORT_PNG}) {
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(filter == EXPORT_PNG   ? Encode_Png(in, &bytes)
                        : filter == EXPORT_BMP ? Encode_Bmp24(in, &bytes)
                                               : Encode_Jpeg(in, 90, &bytes));
            if (filter == EXPORT_PNG) {
                EXPECT_EQ(bytes[25], 2) << "colour type RGB";
            }
            if (filter == EXPORT_BMP) {
                EXPECT_EQ(bytes.size(), 54 + ((size.first * 3 + 3) / 4 * 4) * size.second);
            }
            Picture out;
            ASSERT_TRUE(Decode_Picture(bytes.data(), bytes.size(), &out));
            ASSERT_EQ(out.Width * 100 + out.Height, size.first * 100 + size.second);
            for (size_t i = 0; i < in.Pixels.size(); i++)
                ASSERT_NEAR(out.Pixels[i], i % 4 == 3 ? 255 : in.Pixels[i], filter == EXPORT_JPEG ? 48 : 0)
                    << filter << " byte " << i;
        }
    }
    Picture empty, short_buffer = Pattern_Picture(4, 4);
    short_buffer.Pixels.pop_back();
    std::vector<uint8_t> out;
    for (const Picture* p : {&empty, &short_buffer})
        EXPECT_FALSE(Encode_Png(*p, &out) || Encode_Bmp24(*p, &out) || Encode_Jpeg(*p, 70, &out));
}

TEST(ImageIo, BmpPixelLayouts) {
    auto u32 = [](uint32_t v) { return std::string{(char)v, (char)(v >> 8), (char)(v >> 16), (char)(v >> 24)}; };
    // 40-byte header, then masks/palette, then rows.
    auto bmp = [&](int32_t w, int32_t h, int bpp, uint32_t compression, const std::string& extra, const std::string& rows) {
        uint32_t offset = 54 + (uint32_t)extra.size();
        return "BM" + u32(offset + (uint32_t)rows.size()) + u32(0) + u32(offset) + u32(40) + u32(w) + u32(h) +
               u32(1 | (bpp << 16)) + u32(compression) + u32(0) + u32(0) + u32(0) +
               u32(bpp <= 8 ? (uint32_t)extra.size() / 4 : 0) + u32(0) + extra + rows;
    };
    struct Case {
        std::string file;
        std::vector<uint32_t> pixels;  // B | G << 8 | R << 16 | A << 24, top row first
    } cases[] = {
        {bmp(1, -2, 24, 0, "", std::string("\1\2\3\0\4\5\6\0", 8)), {0xFF030201, 0xFF060504}},  // top-down
        {bmp(2, 2, 8, 0, u32(0x112233) + u32(0x445566), std::string("\1\0\0\0\0\1\0\0", 8)),      // bottom-up palette
         {0xFF112233, 0xFF445566, 0xFF445566, 0xFF112233}},
        {bmp(1, 1, 32, 6, u32(0xFF0000) + u32(0xFF00) + u32(0xFF) + u32(0xFF000000), "\x10\x20\x30\x80"), {0x80302010}},
        {bmp(1, 1, 16, 0, "", std::string("\0\x7C\0\0", 4)), {0xFFFF0000}},  // 5-5-5
    };
    for (const Case& c : cases) {
        Picture p;
        ASSERT_TRUE(Decode_Picture((const uint8_t*)c.file.data(), c.file.size(), &p));
        ASSERT_EQ((size_t)p.Width * p.Height, c.pixels.size());
        for (size_t i = 0; i < c.pixels.size(); i++)
            EXPECT_EQ(p.Pixels[i * 4] | p.Pixels[i * 4 + 1] << 8 | p.Pixels[i * 4 + 2] << 16 | (uint32_t)p.Pixels[i * 4 + 3] << 24,
                      c.pixels[i]);
    }
}

TEST(ImageIo, DamagedOrOversizedDataIsRefused) {
    Picture in = Pattern_Picture(40, 2);
    std::vector<uint8_t> png, bmp, jpeg;
    ASSERT_TRUE(Encode_Png(in, &png) && Encode_Bmp24(in, &bmp) && Encode_Jpeg(in, 70, &jpeg));
    std::vector<uint8_t> rle = bmp, zero_width = bmp, min_height = bmp;
    rle[30] = 1;
    zero_width[18] = zero_width[19] = 0;
    min_height[22] = min_height[23] = min_height[24] = 0, min_height[25] = 0x80;  // INT32_MIN
    std::vector<uint8_t> cases[] = {{png.begin(), png.begin() + png.size() / 2}, {bmp.begin(), bmp.end() - 10},
                                    {jpeg.begin(), jpeg.begin() + 20}, {0xFF, 0xD8, 0xFF}, {'G', 'I', 'F', '8'},
                                    {}, rle, zero_width, min_height};
    for (const auto& c : cases) {
        Picture out = Pattern_Picture(1, 1);
        EXPECT_FALSE(Decode_Picture(c.data(), c.size(), &out));
        EXPECT_EQ(out.Width, 1) << "output unchanged";
    }
    Picture out;
    EXPECT_FALSE(Decode_Png(png.data(), png.size(), 39, &out) || Decode_Bmp(bmp.data(), bmp.size(), 39, &out) ||
                 Decode_Jpeg(jpeg.data(), jpeg.size(), 39, &out));
    EXPECT_TRUE(Decode_Png(png.data(), png.size(), 40, &out) && Decode_Bmp(bmp.data(), bmp.size(), 40, &out) &&
                Decode_Jpeg(jpeg.data(), jpeg.size(), 40, &out));
}

TEST(ImageIo, ExportNamesFollowTheFilter) {
    struct Case {
        const char* typed;
        int filter;
        const char* name;
    } cases[] = {{"shot", EXPORT_JPEG, "shot.jpg"}, {"shot.JPG", EXPORT_JPEG, "shot.JPG"},
                 {"shot.jpeg", EXPORT_JPEG, "shot.jpeg.jpg"}, {"shot.jpg", EXPORT_PNG, "shot.jpg.png"},
                 {"shot.Bmp", EXPORT_BMP, "shot.Bmp"}, {"png", EXPORT_PNG, "png.png"}};
    for (const Case& c : cases) EXPECT_EQ(Export_File_Name(c.typed, c.filter), c.name);
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
    void TearDown() override { Remove_Tree(folder); }
    std::string Last_Text() { return Prompt_History().empty() ? "" : Prompt_History().back().Text; }
};

TEST_F(ImageFiles, ExportFailuresAreNeverSuccess) {
    Current_Job = -1;
    Export_Image();
    EXPECT_EQ(Last_Text(), "No document selected");
    // Without a picture view nothing can be read back.
    Current_Job = 0;
    Script_Prompt(1, folder + "/shot", EXPORT_PNG);
    Export_Image();
    ASSERT_EQ(Prompt_History().size(), 3u);
    EXPECT_EQ(Prompt_History()[1].Filter, "Jpg|*.jpg|Bitmap|*.bmp|PNG|*.png");
    EXPECT_EQ(Prompt_History()[2].Title + "/" + Last_Text(), "Error/Unable to save image file");
    EXPECT_FALSE(Write_Export_File(Pattern_Picture(2, 2), EXPORT_PNG, folder + "/no/such/x.png"));
    EXPECT_TRUE(List_Folder(folder).empty());
}

TEST_F(ImageFiles, ImportMakesANewFrozenDocument) {
    Jobs[0].In_Use = 1;
    Jobs[0].Doc.PPMM = 42.5f;
    Jobs[0].Doc.Measure_Unit = 4;
    Jobs[0].Doc.Processing.Threshold_Magenta = 77;
    Jobs[1].In_Use = 1;
    Jobs[2].Doc.Tools.resize(4);  // a closed document's leftovers
    Jobs[2].File_Name = "old.JQV";
    Current_Job = 0;
    Picture p = Pattern_Picture(4, 3, 9);
    std::vector<uint8_t> png;
    ASSERT_TRUE(Encode_Png(p, &png) && Write_File_Atomically(folder + "/micro.png", png));
    int64_t before = Local_Time_Seconds();
    ASSERT_TRUE(Import_Image_File(folder + "/micro.png", true));
    const Job_Slot& job = Jobs[2];
    EXPECT_EQ(Current_Job, 2);
    EXPECT_EQ(job.In_Use + job.Image_Changed, 2);
    EXPECT_EQ(job.File_Name + std::to_string(job.Doc.Tools.size()), "0");
    EXPECT_EQ(job.Doc.PPMM, 42.5f);
    EXPECT_EQ(job.Doc.Measure_Unit, 4);
    EXPECT_EQ(job.Doc.Processing.Threshold_Magenta, 77);
    EXPECT_GE(job.Doc.TimeStamp, before);
    EXPECT_EQ(job.Doc.Resolution.x * 10 + job.Doc.Resolution.y, 43);
    ASSERT_EQ(job.Doc.Image_Buffer.size(), 48u);
    EXPECT_EQ(job.Doc.Image_Buffer[3], 255);
    EXPECT_EQ(job.Doc.Image_Buffer[22], p.Pixels[22]);
    EXPECT_TRUE(Prompt_History().empty());
    // Not a picture: quiet on a drop, reported from the menu.
    Write_All(folder + "/notes.txt", "hello");
    EXPECT_FALSE(Import_Image_File(folder + "/notes.txt", true));
    EXPECT_TRUE(Prompt_History().empty());
    EXPECT_FALSE(Import_Image_File(folder + "/notes.txt", false));
    EXPECT_EQ(Last_Text(), "Unable to load selected file");
    for (int i = 1; i <= 8; i++) Jobs[i].In_Use = 1;
    EXPECT_FALSE(Import_Image_File(folder + "/micro.png", true));
    EXPECT_EQ(Last_Text(), "Loaded job limit reached, close some jobs to continue.");
    Script_Prompt(0);
    Import_Image_Dialog();
    EXPECT_EQ(Prompt_History().back().Title, "Please choose an image to load");
    EXPECT_EQ(Prompt_History().back().Filter,
              "PNG, BMP, JPEG|*.png;*.bmp;*.jpg;*.jpeg|PNG (*.png)|*.png|BMP (*.bmp)|*.bmp|JPEG (*.jpg)|*.jpg");
}

TEST_F(ImageFiles, AtomicWriteKeepsModesAndTheOldFile) {
    std::string path = folder + "/file.bin";
    ASSERT_TRUE(Write_File_Atomically(path, std::string("first")));
    mode_t mask = umask(0);
    umask(mask);
    struct stat st;
    EXPECT_TRUE(stat(path.c_str(), &st) == 0 && (st.st_mode & 0777) == (0666 & ~mask));
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(Write_File_Atomically(path, std::string("second")));
    EXPECT_TRUE(stat(path.c_str(), &st) == 0 && (st.st_mode & 0777) == 0640);
    {
        File_Size_Limit limit(3);
        EXPECT_FALSE(Write_File_Atomically(path, std::string("third and longer")));
    }
    EXPECT_EQ(Read_All(path), "second");
    EXPECT_EQ(List_Folder(folder), std::vector<std::string>{"file.bin"});
    EXPECT_FALSE(Write_File_Atomically(folder, std::string("onto a folder")));
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(Read_File_Bytes(path, 6, &bytes));
    EXPECT_FALSE(Read_File_Bytes(path, 5, &bytes) || Read_File_Bytes(folder, 100, &bytes));
}

}  // namespace
