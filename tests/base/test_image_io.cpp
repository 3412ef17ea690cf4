#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <tiffio.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/file_test_util.h"

using namespace file_test;

// The largest single C++ allocation since it was last set to 0, to see that
// a hostile file is refused before its picture is allocated.
static std::atomic<size_t> Largest_Allocation{0};
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
    size_t seen = Largest_Allocation.load();
    while (size > seen && !Largest_Allocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    std::abort();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

enum Codec { CODEC_JPEG, CODEC_BMP, CODEC_PNG };

class FileHelpers : public ::testing::Test {
protected:
    Temp_Folder temp;
    std::string folder = temp.Path;
    void SetUp() override {
        ASSERT_FALSE(folder.empty());
    }
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

// A TIFF written by libtiff itself: size, layout and raw sample bytes
// (native order for 16 bits), in strips of `rows` rows or tiles of 16 x 16.
struct Tiff_Layout {
    uint32_t w = 1, h = 1;
    uint16_t bits = 8, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
    uint16_t extra = 0;  // EXTRASAMPLE_* of the one extra sample, or 0 for none
    bool tiled = false;
    uint32_t rows = 1;
    std::vector<uint8_t> samples_bytes;  // whole picture, contiguous (or plane after plane)
    bool second_page = false;            // a 1 x 1 page after the first
};

std::vector<uint8_t> Write_Test_Tiff(const std::string& path, const Tiff_Layout& t) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return {};
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, t.w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, t.h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, t.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, t.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, t.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, t.planar);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    if (t.extra) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &t.extra);
    const size_t bytes = t.bits / 8;
    const int planes = t.planar == PLANARCONFIG_SEPARATE ? t.samples : 1;
    const int per_pixel = planes > 1 ? 1 : t.samples;
    const size_t plane_bytes = (size_t)t.w * t.h * per_pixel * bytes;
    if (t.tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        std::vector<uint8_t> tile(16 * 16 * per_pixel * bytes);
        for (int plane = 0; plane < planes; plane++)
            for (uint32_t y = 0; y < t.h; y += 16)
                for (uint32_t x = 0; x < t.w; x += 16) {
                    std::fill(tile.begin(), tile.end(), 0xEE);
                    for (uint32_t r = 0; r < 16 && y + r < t.h; r++)
                        for (uint32_t c = 0; c < 16 && x + c < t.w; c++)
                            std::memcpy(&tile[(r * 16 + c) * per_pixel * bytes],
                                        &t.samples_bytes[plane * plane_bytes + ((y + r) * t.w + x + c) * per_pixel * bytes],
                                        per_pixel * bytes);
                    TIFFWriteTile(tif, tile.data(), x, y, 0, (uint16_t)plane);
                }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, t.rows);
        const size_t row = (size_t)t.w * per_pixel * bytes;
        for (int plane = 0; plane < planes; plane++)
            for (uint32_t y = 0; y < t.h; y++)
                TIFFWriteScanline(tif, (void*)&t.samples_bytes[plane * plane_bytes + y * row], y, (uint16_t)plane);
    }
    if (t.second_page) {
        TIFFWriteDirectory(tif);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        uint8_t one = 9;
        TIFFWriteScanline(tif, &one, 0, 0);
    }
    TIFFClose(tif);
    std::string all = Read_Whole_File(path);
    return std::vector<uint8_t>(all.begin(), all.end());
}

std::vector<uint8_t> U16(std::initializer_list<uint16_t> values) {
    std::vector<uint8_t> out(values.size() * 2);
    std::memcpy(out.data(), values.begin(), out.size());
    return out;
}

TEST_F(FileHelpers, TiffLayoutsDecodeToTheirPixels) {
    // Pixels are B | G << 8 | R << 16 | A << 24, top row first.
    std::vector<uint8_t> rgb_20x18, rgb_planes;
    std::vector<uint32_t> rgb_20x18_pixels;
    for (uint32_t i = 0; i < 20 * 18; i++) {
        uint8_t r = (uint8_t)(i * 7), g = (uint8_t)(i >> 2), b = (uint8_t)(255 - i);
        rgb_20x18.insert(rgb_20x18.end(), {r, g, b});
        rgb_20x18_pixels.push_back(0xFF000000u | r << 16 | g << 8 | b);
    }
    for (int plane = 0; plane < 3; plane++)
        for (uint32_t i = 0; i < 20 * 18; i++) rgb_planes.push_back(rgb_20x18[i * 3 + plane]);
    struct Case {
        const char* what;
        Tiff_Layout layout;
        std::vector<uint32_t> pixels;
    };
    auto layout = [](uint32_t w, uint32_t h, uint16_t bits, uint16_t samples, uint16_t photometric,
                   std::vector<uint8_t> data) {
        Tiff_Layout t;
        t.w = w, t.h = h, t.bits = bits, t.samples = samples, t.photometric = photometric;
        t.samples_bytes = std::move(data);
        return t;
    };
    Case cases[] = {
        {"8-bit grey, strips of one row", layout(3, 2, 8, 1, PHOTOMETRIC_MINISBLACK, {0, 128, 255, 1, 2, 3}),
         {0xFF000000, 0xFF808080, 0xFFFFFFFF, 0xFF010101, 0xFF020202, 0xFF030303}},
        // 16 bits to 8: the nearest of 0..255 (v / 257 rounded), not the high byte.
        {"16-bit grey", layout(4, 1, 16, 1, PHOTOMETRIC_MINISBLACK, U16({0, 65535, 32896, 200})),
         {0xFF000000, 0xFFFFFFFF, 0xFF808080, 0xFF010101}},
        {"8-bit grey, white is zero", layout(2, 1, 8, 1, PHOTOMETRIC_MINISWHITE, {0, 200}), {0xFFFFFFFF, 0xFF373737}},
        {"grey and alpha", layout(1, 1, 8, 2, PHOTOMETRIC_MINISBLACK, {90, 30}), {0x1E5A5A5A}},
        {"16-bit RGBA, alpha not premultiplied", layout(1, 1, 16, 4, PHOTOMETRIC_RGB, U16({65535, 0, 32896, 16448})),
         {0x40FF0080}},
        {"RGB tiled, tiles past the edges", layout(20, 18, 8, 3, PHOTOMETRIC_RGB, rgb_20x18), rgb_20x18_pixels},
        {"RGB in separate planes, strips of 7 rows", layout(20, 18, 8, 3, PHOTOMETRIC_RGB, rgb_planes), rgb_20x18_pixels},
        {"two pages: the first is read", layout(2, 1, 8, 1, PHOTOMETRIC_MINISBLACK, {5, 6}), {0xFF050505, 0xFF060606}},
    };
    cases[3].layout.extra = EXTRASAMPLE_UNASSALPHA;
    cases[4].layout.extra = EXTRASAMPLE_UNASSALPHA;
    cases[5].layout.tiled = true;
    cases[6].layout.planar = PLANARCONFIG_SEPARATE, cases[6].layout.rows = 7;
    cases[7].layout.second_page = true;
    for (const Case& c : cases) {
        std::vector<uint8_t> file = Write_Test_Tiff(folder + "/t.tif", c.layout);
        ASSERT_FALSE(file.empty()) << c.what;
        int32_t w = 0, h = 0;
        ASSERT_TRUE(Tiff_Size(file.data(), file.size(), &w, &h)) << c.what;
        EXPECT_EQ(w * 1000 + h, (int32_t)(c.layout.w * 1000 + c.layout.h)) << c.what;
        Picture p;
        Tiff_Calibration cal;
        ASSERT_TRUE(Decode_Tiff(file.data(), file.size(), MAX_PICTURE_EDGE, &p, &cal)) << c.what;
        EXPECT_EQ(cal.PPMM, 0) << c.what << ": no resolution tags, no calibration";
        ASSERT_EQ((size_t)p.Width * p.Height, c.pixels.size()) << c.what;
        for (size_t i = 0; i < c.pixels.size(); i++)
            ASSERT_EQ(p.Pixels[i * 4] | p.Pixels[i * 4 + 1] << 8 | p.Pixels[i * 4 + 2] << 16 |
                          (uint32_t)p.Pixels[i * 4 + 3] << 24,
                      c.pixels[i])
                << c.what << " pixel " << i;
        // Damaged copies and a lower edge limit are refused, the output untouched.
        Picture untouched = Pattern_Picture(1, 1);
        for (size_t cut : {file.size() / 2, file.size() - 1, (size_t)8, (size_t)3}) {
            std::vector<uint8_t> part(file.begin(), file.begin() + cut);
            if (Decode_Tiff(part.data(), part.size(), MAX_PICTURE_EDGE, &untouched)) {
                // A cut that leaves the directory and every strip whole may still read.
                EXPECT_EQ(untouched.Width, p.Width) << c.what << " cut at " << cut;
                untouched = Pattern_Picture(1, 1);
            }
            EXPECT_EQ(untouched.Width, 1) << c.what << " cut at " << cut;
        }
        EXPECT_FALSE(Decode_Tiff(file.data(), file.size(), (int32_t)std::max(c.layout.w, c.layout.h) - 1, &untouched) &&
                     std::max(c.layout.w, c.layout.h) > 1)
            << c.what;
    }
}

// What the export writes is what libtiff reads back: 8-bit RGB, the
// "ImageJ=" description naming the unit and the resolution in pixels per
// that unit (no resolution unit, except inch); and what our reader makes of
// calibrations written by others.
TEST_F(FileHelpers, TiffCarriesTheCalibration) {
    const std::string path = folder + "/cal.tif";
    Picture in = Pattern_Picture(33, 7);
    struct Case {
        double ppmm;
        int64_t unit;
        const char* unit_line;  // nullptr: no description
        uint16_t res_unit;      // 0: no resolution tags
        double resolution;      // pixels per res_unit, or per the description's unit
        double read_ppmm;
        int64_t read_unit;
    } cases[] = {
        {123.25, 0, "unit=micron", RESUNIT_NONE, 0.12325, 123.25, 0},
        {2.5, 1, "unit=mil", RESUNIT_NONE, 0.0635, 2.5, 1},
        {1000, 2, "unit=mm", RESUNIT_NONE, 1000, 1000, 2},
        {40, 3, "unit=inch", RESUNIT_INCH, 1016, 40, 3},
        {7.75, 4, "unit=pixel", 0, 0, 0, 4},  // lengths in pixels: no scale
        {55, -1, nullptr, RESUNIT_CENTIMETER, 550, 55, -1},
        {0, 0, nullptr, 0, 0, 0, -1},
        {NAN, 2, nullptr, 0, 0, 0, -1},
        {0.001, 2, "unit=mm", RESUNIT_NONE, 0.001, 0.001, 2},  // one pixel a metre is the least kept
        {0.001, 0, "unit=micron", RESUNIT_NONE, 1e-6, 0.001, 0},
        {1e-4, 2, nullptr, 0, 0, 0, -1},
        {9.9e7, 3, "unit=inch", RESUNIT_INCH, 9.9e7 * 25.4, 9.9e7, 3},  // the most the tag holds
        {9.9e7, -1, nullptr, RESUNIT_CENTIMETER, 9.9e8, 9.9e7, -1},
        {1e8, 2, nullptr, 0, 0, 0, -1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(Encode_Tiff(in, c.ppmm, c.unit, &bytes));
        Write_Whole_File(path, std::string(bytes.begin(), bytes.end()));
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        uint32_t w = 0, h = 0;
        uint16_t bits = 0, samples = 0, photometric = 0, res_unit = 0;
        float xres = 0, yres = 0;
        const char* description = nullptr;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        EXPECT_EQ(std::vector<uint32_t>({w, h, bits, samples, photometric}),
                  std::vector<uint32_t>({33, 7, 8, 3, PHOTOMETRIC_RGB}));
        bool has_x = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres) == 1;
        bool has_y = TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres) == 1;
        bool has_unit = TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &res_unit) == 1;
        bool has_description = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description) == 1;
        std::string what = std::to_string(c.ppmm) + " unit " + std::to_string(c.unit);
        if (c.res_unit) {
            ASSERT_TRUE(has_x && has_y && has_unit) << what;
            EXPECT_NEAR(xres, c.resolution, c.resolution * 1e-6) << what;
            EXPECT_EQ(yres, xres) << what;
            EXPECT_EQ(res_unit, c.res_unit) << what;
        } else {
            EXPECT_FALSE(has_x || has_y) << what;
        }
        ASSERT_EQ(has_description, c.unit_line != nullptr) << what;
        if (c.unit_line) {
            EXPECT_EQ(std::string(description), std::string("ImageJ=\n") + c.unit_line + "\n");
        }
        TIFFClose(tif);
        Picture out;
        Tiff_Calibration cal;
        ASSERT_TRUE(Decode_Tiff(bytes.data(), bytes.size(), MAX_PICTURE_EDGE, &out, &cal));
        for (size_t i = 0; i < in.Pixels.size(); i++) ASSERT_EQ(out.Pixels[i], in.Pixels[i]) << "byte " << i;
        EXPECT_NEAR(cal.PPMM, c.read_ppmm, c.read_ppmm * 1e-6) << what;
        EXPECT_EQ(cal.Unit, c.read_unit) << what;
    }

    // Calibrations as other programs write them.
    // Of a description only the first 64 KB are read.
    const std::string filler(70000, 'x');
    const std::string long_first = "ImageJ=1.0\nunit=mm\n" + filler, long_last = "ImageJ=1.0\n" + filler + "\nunit=mm\n";
    struct Foreign {
        uint16_t res_unit;
        float xres;
        const char* description;  // nullptr: none
        double ppmm;
        int64_t unit;
        const char* mode = "w";   // "wb" big-endian, "w8" BigTIFF, "w8b" both
    } foreign[] = {
        {RESUNIT_NONE, 2.0f, long_first.c_str(), 2, 2},
        {RESUNIT_NONE, 2.0f, long_first.c_str(), 2, 2, "wb"},
        {RESUNIT_NONE, 2.0f, long_first.c_str(), 2, 2, "w8"},
        {RESUNIT_NONE, 2.0f, long_last.c_str(), 0, -1},
        {RESUNIT_NONE, 2.0f, long_last.c_str(), 0, -1, "wb"},
        {RESUNIT_NONE, 2.0f, long_last.c_str(), 0, -1, "w8"},
        {RESUNIT_NONE, 2.0f, long_last.c_str(), 0, -1, "w8b"},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=mm\n", 2, 2, "w8"},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=micron\n", 2000, 0},    // pixels per micron
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=\\u00B5m\n", 2000, 0},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=microns\n", 2000, 0},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=um\n", 2000, 0},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=\xC2\xB5m\n", 2000, 0},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=nm\n", 2e6, 0},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=mil\n", 2 / 0.0254, 1},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=thou\n", 2 / 0.0254, 1},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=mm\n", 2, 2},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=millimeter\n", 2, 2},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\r\nunit=millimetre\r\n", 2, 2},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=cm\n", 0.2, 2},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=in\n", 2 / 25.4, 3},
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=pixels\n", 0, 4},       // no length: no scale
        {RESUNIT_NONE, 2.0f, "ImageJ=1.0\nunit=px\n", 0, 4},
        {RESUNIT_INCH, 254.0f, "ImageJ=1.0\nunit=inch\n", 10, 3},
        {RESUNIT_CENTIMETER, 50.0f, "ImageJ=1.0\nunit=pixel\n", 5, 4},  // as this program wrote them once
        {RESUNIT_CENTIMETER, 50.0f, "ImageJ=1.0\nunit=micron\n", 5, 0},
        {RESUNIT_CENTIMETER, 50.0f, nullptr, 5, -1},
        {RESUNIT_INCH, 72.0f, nullptr, 0, -1},                          // a printing default, not a calibration
        {RESUNIT_NONE, 3.0f, "ImageJ=1.0\nunit=parsec\n", 0, -1},
        {RESUNIT_NONE, 3.0f, "made by a scanner\nunit=mm\n", 0, -1},
        {RESUNIT_CENTIMETER, 1e-6f, nullptr, 0, -1},                    // a damaged tag, not a calibration
        {RESUNIT_CENTIMETER, 0.5f, nullptr, 0.05, -1},
    };
    for (const Foreign& f : foreign) {
        TIFF* tif = TIFFOpen(path.c_str(), f.mode);
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, f.xres);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, f.xres);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, f.res_unit);
        if (f.description) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, f.description);
        uint8_t v = 1;
        TIFFWriteScanline(tif, &v, 0, 0);
        TIFFClose(tif);
        std::string file = Read_Whole_File(path);
        Picture out;
        Tiff_Calibration cal;
        ASSERT_TRUE(Decode_Tiff((const uint8_t*)file.data(), file.size(), MAX_PICTURE_EDGE, &out, &cal));
        std::string what = std::string(f.description ? f.description : "no description").substr(0, 40) + " " + f.mode;
        EXPECT_NEAR(cal.PPMM, f.ppmm, f.ppmm * 1e-6) << what;
        EXPECT_EQ(cal.Unit, f.unit) << what;
    }
}

// A little-endian TIFF put together by hand, directory first: entries of
// SHORT (3), LONG (4) or ASCII/UNDEFINED (bytes) values, the out-of-line
// values after the directory, then `data`. Strip and tile offsets are
// given as positions in `data`.
struct Hand_Entry {
    uint16_t tag, type;
    std::vector<uint32_t> values;
    std::string bytes;
};

std::string Hand_Tiff(std::vector<Hand_Entry> entries, const std::string& data) {
    auto le = [](uint32_t v, int n) {
        std::string out;
        for (int k = 0; k < n; k++) out += (char)(v >> (8 * k));
        return out;
    };
    std::sort(entries.begin(), entries.end(), [](const Hand_Entry& a, const Hand_Entry& b) { return a.tag < b.tag; });
    std::vector<std::string> payloads;
    size_t outside = 0;
    for (const Hand_Entry& e : entries) {
        std::string v = e.bytes;
        for (uint32_t x : e.values) v += le(x, e.type == 3 ? 2 : 4);
        payloads.push_back(v);
        if (v.size() > 4) outside += (v.size() + 1) / 2 * 2;
    }
    const uint32_t directory_end = 8 + 2 + 12 * (uint32_t)entries.size() + 4;
    const uint32_t data_at = directory_end + (uint32_t)outside;
    for (size_t i = 0; i < entries.size(); i++)
        if (entries[i].tag == TIFFTAG_STRIPOFFSETS || entries[i].tag == TIFFTAG_TILEOFFSETS) {
            payloads[i].clear();
            for (uint32_t x : entries[i].values) payloads[i] += le(x + data_at, 4);
        }
    std::string head = "II*" + std::string(1, '\0') + le(8, 4) + le((uint32_t)entries.size(), 2), tail;
    for (size_t i = 0; i < entries.size(); i++) {
        const std::string& v = payloads[i];
        uint32_t count = entries[i].values.empty() ? (uint32_t)v.size() : (uint32_t)entries[i].values.size();
        head += le(entries[i].tag, 2) + le(entries[i].type, 2) + le(count, 4);
        if (v.size() <= 4) {
            head += v + std::string(4 - v.size(), '\0');
        } else {
            head += le(directory_end + (uint32_t)tail.size(), 4);
            tail += v + std::string(v.size() % 2, '\0');
        }
    }
    return head + le(0, 4) + tail + data;
}

// Files whose directory promises what their data does not hold are refused
// before the picture is allocated; what is whole still reads.
TEST_F(FileHelpers, DamagedAndHostileTiffsAreRefused) {
    auto basic = [](uint32_t w, uint32_t h, uint16_t bits, uint16_t samples, uint16_t photometric) {
        std::vector<Hand_Entry> e = {{TIFFTAG_IMAGEWIDTH, 4, {w}, ""},  {TIFFTAG_IMAGELENGTH, 4, {h}, ""},
                                     {TIFFTAG_PHOTOMETRIC, 3, {photometric}, ""},
                                     {TIFFTAG_SAMPLESPERPIXEL, 3, {samples}, ""}};
        e.push_back({TIFFTAG_BITSPERSAMPLE, 3, std::vector<uint32_t>(samples, bits), ""});
        return e;
    };
    auto with = [](std::vector<Hand_Entry> e, std::vector<Hand_Entry> more) {
        e.insert(e.end(), more.begin(), more.end());
        return e;
    };
    // 4 x 2 RGB in three planes of one strip each: R 10.., G 20.., B 30...
    std::string planes;
    for (int plane = 0; plane < 3; plane++)
        for (int i = 0; i < 8; i++) planes += (char)((plane + 1) * 10 + i);
    auto planar = with(basic(4, 2, 8, 3, PHOTOMETRIC_RGB), {{TIFFTAG_PLANARCONFIG, 3, {PLANARCONFIG_SEPARATE}, ""},
                                                            {TIFFTAG_ROWSPERSTRIP, 4, {2}, ""}});
    // The same planes as one 16 x 16 tile each.
    std::string tiles;
    for (int plane = 0; plane < 3; plane++) {
        std::string tile(256, '\0');
        for (int i = 0; i < 8; i++) tile[(i / 4) * 16 + i % 4] = planes[plane * 8 + i];
        tiles += tile;
    }
    auto tiled = with(basic(4, 2, 8, 3, PHOTOMETRIC_RGB), {{TIFFTAG_PLANARCONFIG, 3, {PLANARCONFIG_SEPARATE}, ""},
                                                           {TIFFTAG_TILEWIDTH, 4, {16}, ""},
                                                           {TIFFTAG_TILELENGTH, 4, {16}, ""}});
    // JPEG strips from libtiff, put behind a directory at the front, as
    // other writers place it, so that a cut loses strips and not the directory.
    auto jpeg_file = [&](uint16_t photometric) {
        const std::string path = folder + "/j.tif";
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        const uint32_t w = 32, h = 64;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
        if (photometric == PHOTOMETRIC_YCBCR) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);
        std::vector<uint8_t> row(w * 3);
        for (uint32_t y = 0; y < h; y++) {
            for (uint32_t i = 0; i < row.size(); i++) row[i] = (uint8_t)(i * 5 + y * 3);
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
        TIFFClose(tif);
        tif = TIFFOpen(path.c_str(), "r");
        std::string data;
        std::vector<uint32_t> offsets, counts;
        std::vector<char> raw(1 << 16);
        for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); s++) {
            tmsize_t n = TIFFReadRawStrip(tif, s, raw.data(), (tmsize_t)raw.size());
            offsets.push_back((uint32_t)data.size());
            counts.push_back((uint32_t)n);
            data.append(raw.data(), (size_t)std::max<tmsize_t>(n, 0));
        }
        uint32_t table_size = 0;
        void* table = nullptr;
        TIFFGetField(tif, TIFFTAG_JPEGTABLES, &table_size, &table);
        std::string tables((const char*)table, table_size);
        TIFFClose(tif);
        auto e = with(basic(w, h, 8, 3, photometric),
                      {{TIFFTAG_COMPRESSION, 3, {COMPRESSION_JPEG}, ""}, {TIFFTAG_ROWSPERSTRIP, 4, {16}, ""},
                       {TIFFTAG_STRIPOFFSETS, 4, offsets, ""}, {TIFFTAG_STRIPBYTECOUNTS, 4, counts, ""},
                       {TIFFTAG_JPEGTABLES, 7, {}, tables}});
        if (photometric == PHOTOMETRIC_YCBCR) e.push_back({TIFFTAG_YCBCRSUBSAMPLING, 3, {2, 2}, ""});
        return Hand_Tiff(e, data);
    };
    const std::string jpeg_rgb = jpeg_file(PHOTOMETRIC_RGB), jpeg_ycbcr = jpeg_file(PHOTOMETRIC_YCBCR);
    // 16384 x 16384 at one bit a pixel (32 MiB of rows) in a file of a few hundred bytes.
    auto huge = [&](uint16_t compression, uint32_t stored) {
        return Hand_Tiff(with(basic(16384, 16384, 1, 1, PHOTOMETRIC_MINISBLACK),
                              {{TIFFTAG_COMPRESSION, 3, {compression}, ""}, {TIFFTAG_ROWSPERSTRIP, 4, {16384}, ""},
                               {TIFFTAG_STRIPOFFSETS, 4, {0}, ""}, {TIFFTAG_STRIPBYTECOUNTS, 4, {stored}, ""}}),
                         std::string(64, '\0'));
    };
    struct Case {
        const char* what;
        std::string file;
        bool whole;
    } cases[] = {
        {"separate planes", Hand_Tiff(with(planar, {{TIFFTAG_STRIPOFFSETS, 4, {0, 8, 16}, ""},
                                                    {TIFFTAG_STRIPBYTECOUNTS, 4, {8, 8, 8}, ""}}), planes), true},
        {"separate planes, two strips missing",
         Hand_Tiff(with(planar, {{TIFFTAG_STRIPOFFSETS, 4, {0}, ""}}), planes), false},
        {"separate planes, a strip past the end",
         Hand_Tiff(with(planar, {{TIFFTAG_STRIPOFFSETS, 4, {0, 8, 20}, ""},
                                 {TIFFTAG_STRIPBYTECOUNTS, 4, {8, 8, 8}, ""}}), planes), false},
        {"separate tiles", Hand_Tiff(with(tiled, {{TIFFTAG_TILEOFFSETS, 4, {0, 256, 512}, ""},
                                                  {TIFFTAG_TILEBYTECOUNTS, 4, {256, 256, 256}, ""}}), tiles), true},
        {"separate tiles, two missing", Hand_Tiff(with(tiled, {{TIFFTAG_TILEOFFSETS, 4, {0}, ""}}), tiles), false},
        {"JPEG in RGB", jpeg_rgb, true},
        {"JPEG in RGB cut at 60 %", jpeg_rgb.substr(0, jpeg_rgb.size() * 6 / 10), false},
        {"JPEG in YCbCr", jpeg_ycbcr, true},
        {"JPEG in YCbCr cut at 60 %", jpeg_ycbcr.substr(0, jpeg_ycbcr.size() * 6 / 10), false},
        {"16384 x 16384, one strip of 32 MiB claimed", huge(COMPRESSION_NONE, 16384 * 2048), false},
        {"16384 x 16384, uncompressed in 64 bytes", huge(COMPRESSION_NONE, 64), false},
        {"16384 x 16384, deflated into 64 bytes", huge(COMPRESSION_ADOBE_DEFLATE, 64), false},
        {"16384 x 16384, fax-coded into 64 bytes", huge(COMPRESSION_CCITTFAX4, 64), false},
    };
    for (const Case& c : cases) {
        Picture p = Pattern_Picture(1, 1);
        Largest_Allocation = 0;
        bool read = Decode_Tiff((const uint8_t*)c.file.data(), c.file.size(), MAX_PICTURE_EDGE, &p);
        EXPECT_EQ(read, c.whole) << c.what;
        EXPECT_LT(Largest_Allocation.load(), (size_t)1 << 20) << c.what;
        if (read != c.whole) continue;
        if (!read) {
            EXPECT_EQ(p.Width, 1) << c.what << ": output unchanged";
        } else if (std::string(c.what).rfind("separate", 0) == 0) {
            ASSERT_EQ(p.Width * 10 + p.Height, 42) << c.what;
            for (int i = 0; i < 8; i++)
                ASSERT_EQ(p.Pixels[i * 4] | p.Pixels[i * 4 + 1] << 8 | p.Pixels[i * 4 + 2] << 16,
                          (30 + i) | (20 + i) << 8 | (10 + i) << 16) << c.what << " pixel " << i;
        } else {
            ASSERT_EQ(p.Width * 100 + p.Height, 3264) << c.what;
            const uint8_t* last = &p.Pixels[((size_t)63 * 32 + 10) * 4];  // row 63: R = 50 + 189
            EXPECT_NEAR(last[2], (uint8_t)(30 * 5 + 63 * 3), 12) << c.what;
        }
    }
    // Pictures that compress as well as their codec can still read.
    struct Flat {
        uint16_t compression, bits, photometric;
    } flats[] = {{COMPRESSION_ADOBE_DEFLATE, 8, PHOTOMETRIC_RGB}, {COMPRESSION_LZW, 8, PHOTOMETRIC_RGB},
                 {COMPRESSION_PACKBITS, 8, PHOTOMETRIC_MINISBLACK}, {COMPRESSION_CCITTFAX4, 1, PHOTOMETRIC_MINISWHITE}};
    for (const Flat& f : flats) {
        const std::string path = folder + "/flat.tif";
        const uint32_t edge = 2048;
        const uint16_t samples = f.photometric == PHOTOMETRIC_RGB ? 3 : 1;
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, edge);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, edge);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, f.bits);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, f.photometric);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, f.compression);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, edge);
        std::vector<uint8_t> row((size_t)edge * samples * f.bits / 8, 0);
        for (uint32_t y = 0; y < edge; y++) TIFFWriteScanline(tif, row.data(), y, 0);
        TIFFClose(tif);
        std::string file = Read_Whole_File(path);
        Picture p;
        ASSERT_TRUE(Decode_Tiff((const uint8_t*)file.data(), file.size(), MAX_PICTURE_EDGE, &p))
            << "compression " << f.compression << " in " << file.size() << " bytes";
        EXPECT_EQ(p.Pixels[4 * 1000] + p.Pixels[p.Pixels.size() - 2], f.photometric == PHOTOMETRIC_MINISWHITE ? 510 : 0);
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
    EXPECT_EQ(Read_Whole_File(path), "second");
    EXPECT_EQ(List_Folder(folder), std::vector<std::string>{"file.bin"});
    EXPECT_FALSE(Write_File_Atomically(folder, std::string("onto a folder")));
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(Read_File_Bytes(path, 6, &bytes));
    EXPECT_FALSE(Read_File_Bytes(path, 5, &bytes) || Read_File_Bytes(folder, 100, &bytes));
}

// Only regular files are replaced by rename: a link stays a link (the file
// it leads to is replaced, or made), a FIFO and a device are written in
// place, and a device that takes no bytes fails the write.
TEST_F(FileHelpers, AtomicWriteFollowsLinksAndWritesOtherKindsInPlace) {
    auto at = [&](const std::string& name) { return folder + "/" + name; };
    Write_Whole_File(at("target.csv"), "old");
    chmod(at("target.csv").c_str(), 0640);
    ASSERT_EQ(mkdir(at("sub").c_str(), 0700), 0);
    ASSERT_EQ(symlink("target.csv", at("link.csv").c_str()), 0);
    ASSERT_EQ(symlink("../missing.csv", at("sub/dangling.csv").c_str()), 0);  // relative to its own folder
    ASSERT_EQ(symlink("loop-b", at("loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", at("loop-b").c_str()), 0);
    ASSERT_EQ(mkfifo(at("fifo").c_str(), 0600), 0);
    // Device nodes of our own where we may make them, so that a fault
    // replaces those and never the system's (which only root could).
    auto device = [&](const char* name, unsigned minor) {
        std::string node = at(name);
        if (mknod(node.c_str(), S_IFCHR | 0666, makedev(1, minor)) == 0) {
            int fd = open(node.c_str(), O_WRONLY);
            if (fd >= 0 && close(fd) == 0) return node;
        }
        return std::string("/dev/") + name;
    };
    const std::string null_node = device("null", 3), full_node = device("full", 7);
    // Opened first and without blocking, so the writer finds a reader.
    int reader = open(at("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    struct Case {
        std::string path;
        bool ok;
        std::string lands_in;  // where the bytes must be read back ("" none, "fifo" the reader)
        mode_t kind;           // of `path` afterwards, links not followed
    } cases[] = {
        {at("link.csv"), true, at("target.csv"), S_IFLNK},
        {at("sub/dangling.csv"), true, at("missing.csv"), S_IFLNK},
        {at("fifo"), true, "fifo", S_IFIFO},
        {null_node, true, "", S_IFCHR},
        {full_node, false, "", S_IFCHR},
        {at("loop-a"), false, "", S_IFLNK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string bytes = "to " + c.path;
        EXPECT_EQ(Write_File_Atomically(c.path, bytes), c.ok);
        struct stat st;
        ASSERT_EQ(lstat(c.path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, c.kind);
        if (c.lands_in == "fifo") {
            char got[256];
            ssize_t n = read(reader, got, sizeof got);
            EXPECT_EQ(std::string(got, n > 0 ? (size_t)n : 0), bytes);
        } else if (!c.lands_in.empty()) {
            EXPECT_EQ(Read_Whole_File(c.lands_in), bytes);
        }
    }
    close(reader);
    struct stat st;
    EXPECT_TRUE(stat(at("target.csv").c_str(), &st) == 0 && (st.st_mode & 0777) == 0640) << "the target keeps its mode";
    for (const std::string& left : List_Folder(folder)) EXPECT_NE(left.rfind(".trellum-write-", 0), 0u) << left;
}

}  // namespace
