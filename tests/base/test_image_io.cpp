#include <gtest/gtest.h>

#include <sys/stat.h>

#include "base/image_io.h"
#include "document/file_test_util.h"

using namespace file_test;

namespace {

enum Codec { CODEC_JPEG, CODEC_BMP, CODEC_PNG };

class FileHelpers : public ::testing::Test {
protected:
    std::string folder;
    void SetUp() override {
        folder = Make_Temp_Folder();
        ASSERT_FALSE(folder.empty());
    }
    void TearDown() override { Remove_Tree(folder); }
};

TEST(ImageIo, EncodeDecodeRoundTrips) {
    for (auto size : {std::make_pair(1, 1), {3, 2}, {17, 5}, {2, 33}}) {
        Picture in = Pattern_Picture(size.first, size.second, 0);  // alpha must not survive
        for (int filter : {CODEC_JPEG, CODEC_BMP, CODEC_PNG}) {
            std::vector<uint8_t> bytes;
            ASSERT_TRUE(filter == CODEC_PNG   ? Encode_Png(in, &bytes)
                        : filter == CODEC_BMP ? Encode_Bmp24(in, &bytes)
                                               : Encode_Jpeg(in, 90, &bytes));
            if (filter == CODEC_PNG) {
                EXPECT_EQ(bytes[25], 2) << "colour type RGB";
            }
            if (filter == CODEC_BMP) {
                EXPECT_EQ(bytes.size(), 54 + ((size.first * 3 + 3) / 4 * 4) * size.second);
            }
            Picture out;
            ASSERT_TRUE(Decode_Picture(bytes.data(), bytes.size(), &out));
            ASSERT_EQ(out.Width * 100 + out.Height, size.first * 100 + size.second);
            for (size_t i = 0; i < in.Pixels.size(); i++)
                ASSERT_NEAR(out.Pixels[i], i % 4 == 3 ? 255 : in.Pixels[i], filter == CODEC_JPEG ? 48 : 0)
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
    // Data that ends before the rows do: libjpeg would fill the rest grey.
    Picture noisy = Pattern_Picture(64, 64);
    for (size_t i = 0; i < noisy.Pixels.size(); i++) noisy.Pixels[i] = (uint8_t)(i * 2654435761u >> 13);
    std::vector<uint8_t> long_jpeg, huge_header, taller;
    ASSERT_TRUE(Encode_Jpeg(noisy, 90, &long_jpeg) && Encode_Jpeg(in, 70, &huge_header));
    // Start of frame: height and width at +5. 4000 x 3000 in a few hundred
    // bytes is refused from the header; 64 x 128 plausibly could be there, so
    // the decoder finds the end of the data before the last row.
    auto resize_frame = [](std::vector<uint8_t>* jpeg, int w, int h) {
        for (size_t i = 0; i + 9 < jpeg->size(); i++) {
            if ((*jpeg)[i] == 0xFF && (*jpeg)[i + 1] == 0xC0) {
                (*jpeg)[i + 5] = (uint8_t)(h >> 8), (*jpeg)[i + 6] = (uint8_t)h;
                (*jpeg)[i + 7] = (uint8_t)(w >> 8), (*jpeg)[i + 8] = (uint8_t)w;
                return;
            }
        }
    };
    resize_frame(&huge_header, 4000, 3000);
    taller = long_jpeg;
    resize_frame(&taller, 64, 128);
    // A complete PNG whose image data holds one row of the three its header gives.
    std::string one_row = Png_Chunk("IHDR", std::string("\0\0\0\2\0\0\0\3\x08\0\0\0\0", 13));
    std::string short_rows = Make_Png(2, 1, 8, 0, "ab");
    short_rows.replace(8, one_row.size(), one_row);
    std::vector<uint8_t> cases[] = {{png.begin(), png.begin() + png.size() / 2}, {bmp.begin(), bmp.end() - 10},
                                    {jpeg.begin(), jpeg.begin() + 20}, {0xFF, 0xD8, 0xFF}, {'G', 'I', 'F', '8'},
                                    {}, rle, zero_width, min_height,
                                    {long_jpeg.begin(), long_jpeg.begin() + long_jpeg.size() * 2 / 3}, huge_header, taller,
                                    {short_rows.begin(), short_rows.end()}};
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

// Samples come in as stored: 16-bit ones scaled to 8 bits, no gamma
// conversion whether or not the file has a gAMA or sRGB chunk.
TEST(ImageIo, PngSamplesAreTakenAsStored) {
    auto gama = [](uint32_t g) {
        return std::make_pair(std::string("gAMA"), std::string{(char)(g >> 24), (char)(g >> 16), (char)(g >> 8), (char)g});
    };
    struct Case {
        const char* what;
        std::string file;
        std::vector<uint32_t> pixels;  // B | G << 8 | R << 16 | A << 24, top row first
    } cases[] = {
        {"16-bit grey, no gAMA", Make_Png(1, 2, 16, 0, std::string("\x80\x80\x40\x40", 4)), {0xFF808080, 0xFF404040}},
        {"16-bit RGB, no gAMA", Make_Png(1, 1, 16, 2, std::string("\x80\x00\x40\x00\xFF\xFF", 6)), {0xFF8040FF}},
        {"16-bit RGB, linear gAMA", Make_Png(1, 1, 16, 2, std::string("\x80\x80\0\0\xFF\xFF", 6), {gama(100000)}),
         {0xFF8000FF}},
        {"16-bit grey + alpha, not premultiplied", Make_Png(1, 1, 16, 4, std::string("\x80\x80\x40\x40", 4)),
         {0x40808080}},
        {"8-bit grey, linear gAMA", Make_Png(2, 1, 8, 0, std::string("\x80\x40", 2), {gama(100000)}),
         {0xFF808080, 0xFF404040}},
        {"8-bit RGB, gAMA 0.2 and sRGB", Make_Png(1, 1, 8, 2, "\x80\x40\x20", {gama(20000), {"sRGB", "\0"}}),
         {0xFF804020}},
        {"palette with tRNS", Make_Png(2, 1, 8, 3, std::string("\0\1", 2), {{"PLTE", "\x10\x20\x30\x40\x50\x60"},
                                                                             {"tRNS", "\x7f"}}),
         {0x7F102030, 0xFF405060}},
        {"1-bit grey", Make_Png(3, 1, 1, 0, "\xA0"), {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}},
    };
    for (const Case& c : cases) {
        Picture p;
        ASSERT_TRUE(Decode_Picture((const uint8_t*)c.file.data(), c.file.size(), &p)) << c.what;
        ASSERT_EQ((size_t)p.Width * p.Height, c.pixels.size()) << c.what;
        for (size_t i = 0; i < c.pixels.size(); i++)
            EXPECT_EQ(p.Pixels[i * 4] | p.Pixels[i * 4 + 1] << 8 | p.Pixels[i * 4 + 2] << 16 | (uint32_t)p.Pixels[i * 4 + 3] << 24,
                      c.pixels[i])
                << c.what << " pixel " << i;
    }
}

TEST_F(FileHelpers, AtomicWriteKeepsModesAndTheOldFile) {
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
