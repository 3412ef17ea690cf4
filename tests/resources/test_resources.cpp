// The embedded resources: the sample table's layout and bitmaps, that the
// generator reproduces the same bytes, that every sample has something for
// its analysis mode to find, and the fonts, stored icons and splash picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/icons.h"
#include "resources/resources.h"
#include "support/temp_folder.h"

namespace {

const int W = 3000, H = 480;
const uint32_t Bmp_File_Size = 54 + W * H * 3;

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }
uint16_t U16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

struct Cmyk_Picture {
    std::vector<uint8_t> C, M, Y, K;  // rows from the top of the picture
};

// Decodes a sample (bottom-up BGR) into the four process colours the
// thresholds work on: K = 255 - max(R, G, B), C = 255 - R - K, ...
Cmyk_Picture To_Cmyk(const Resource_Data& bmp) {
    Cmyk_Picture p;
    size_t n = (size_t)W * H;
    p.C.resize(n);
    p.M.resize(n);
    p.Y.resize(n);
    p.K.resize(n);
    const uint8_t* pixels = bmp.Data + U32(bmp.Data + 10);
    for (int y = 0; y < H; y++) {
        const uint8_t* row = pixels + (size_t)(H - 1 - y) * W * 3;
        for (int x = 0; x < W; x++) {
            int b = row[x * 3], g = row[x * 3 + 1], r = row[x * 3 + 2];
            int mx = std::max(r, std::max(g, b)), k = 255 - mx;
            size_t i = (size_t)y * W + x;
            p.K[i] = (uint8_t)k;
            p.C[i] = (uint8_t)(255 - r - k);
            p.M[i] = (uint8_t)(255 - g - k);
            p.Y[i] = (uint8_t)(255 - b - k);
        }
    }
    return p;
}

double Share_At_Least(const std::vector<uint8_t>& channel, int level) {
    size_t n = 0;
    for (uint8_t v : channel) n += v >= level;
    return (double)n / channel.size();
}

// Runs of `mask` along one row: (start, length) pairs.
std::vector<std::pair<int, int>> Runs(const std::vector<uint8_t>& channel, int y, int level) {
    std::vector<std::pair<int, int>> runs;
    int start = -1;
    for (int x = 0; x <= W; x++) {
        bool on = x < W && channel[(size_t)y * W + x] >= level;
        if (on && start < 0) start = x;
        if (!on && start >= 0) {
            runs.push_back({start, x - start});
            start = -1;
        }
    }
    return runs;
}

// 4-connected components of channel >= level, with an explicit stack.
int Count_Components(const std::vector<uint8_t>& channel, int level, int min_pixels) {
    std::vector<uint8_t> seen(channel.size());
    std::vector<size_t> stack;
    int count = 0;
    for (size_t i = 0; i < channel.size(); i++) {
        if (seen[i] || channel[i] < level) continue;
        int pixels = 0;
        stack.push_back(i);
        seen[i] = 1;
        while (!stack.empty()) {
            size_t j = stack.back();
            stack.pop_back();
            pixels++;
            int x = (int)(j % W), y = (int)(j / W);
            const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
            for (int d = 0; d < 4; d++) {
                int nx = x + dx[d], ny = y + dy[d];
                if (nx < 0 || ny < 0 || nx >= W || ny >= H) continue;
                size_t k = (size_t)ny * W + nx;
                if (!seen[k] && channel[k] >= level) {
                    seen[k] = 1;
                    stack.push_back(k);
                }
            }
        }
        if (pixels >= min_pixels) count++;
    }
    return count;
}

Resource_Data Sample(int index) {
    Resource_Data bmp;
    std::string name;
    EXPECT_TRUE(Resource_Sample_Entry(index, &name, &bmp)) << index;
    return bmp;
}

}  // namespace

TEST(Resources, SampleTableHoldsFiveBottomUpBitmapsWithTheirNames) {
    Resource_Data table = Resource_Sample_Table();
    ASSERT_GE(table.Size, 8u);
    int64_t count;
    std::memcpy(&count, table.Data, 8);
    ASSERT_EQ(count, 5);
    size_t at = 8;
    for (int i = 0; i < 5; i++) {
        ASSERT_LE(at + 24 + 54, table.Size);
        const uint8_t* name = table.Data + at;
        std::string expected = "Widefield0" + std::to_string(i + 1);
        for (int k = 0; k < 12; k++)
            EXPECT_EQ(U16(name + 2 * k), k < 11 ? (uint16_t)expected[k] : 0) << "sample " << i << " char " << k;
        const uint8_t* bmp = name + 24;
        EXPECT_EQ(bmp[0], 'B');
        EXPECT_EQ(bmp[1], 'M');
        EXPECT_EQ(U32(bmp + 2), Bmp_File_Size);
        EXPECT_EQ(U32(bmp + 10), 54u);              // pixel offset
        EXPECT_EQ(U32(bmp + 14), 40u);              // info header
        EXPECT_EQ((int32_t)U32(bmp + 18), W);
        EXPECT_EQ((int32_t)U32(bmp + 22), H);       // positive: rows bottom-up
        EXPECT_EQ(U16(bmp + 26), 1);
        EXPECT_EQ(U16(bmp + 28), 24);
        EXPECT_EQ(U32(bmp + 30), 0u);               // uncompressed
        EXPECT_EQ(U32(bmp + 34), (uint32_t)W * H * 3);

        std::string entry_name;
        Resource_Data entry;
        ASSERT_TRUE(Resource_Sample_Entry(i, &entry_name, &entry));
        EXPECT_EQ(entry_name, expected);
        EXPECT_EQ(entry.Data, bmp);
        EXPECT_EQ(entry.Size, Bmp_File_Size);
        at += 24 + Bmp_File_Size;
    }
    EXPECT_EQ(at, table.Size) << "nothing may follow the fifth bitmap";
    for (int64_t bad : {-1, 5, 1000}) EXPECT_FALSE(Resource_Sample_Entry(bad, nullptr, nullptr)) << bad;
}

// The embedded table came from one run of the generator at build time;
// running it again must give the very same bytes.
TEST(Resources, GeneratorReproducesTheEmbeddedSamples) {
    Temp_Folder folder;
    ASSERT_FALSE(folder.Path.empty());
    std::string out = folder.File("samples.bin");
    std::string command = std::string("\"") + TRELLUM_BINARY_DIR + "/tools/gen_samples\" \"" + out + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string read = Read_Whole_File(out);
    std::vector<uint8_t> bytes(read.begin(), read.end());
    Resource_Data table = Resource_Sample_Table();
    ASSERT_EQ(bytes.size(), table.Size);
    EXPECT_TRUE(std::memcmp(bytes.data(), table.Data, table.Size) == 0);
}

TEST(Resources, EachSampleHasContentForItsAnalysis) {
    // 1: stained cells: magenta cytoplasm around darker nuclei on a light field
    {
        Cmyk_Picture p = To_Cmyk(Sample(0));
        double stained = Share_At_Least(p.M, 45), nuclei = Share_At_Least(p.K, 100);
        EXPECT_GT(stained, 0.05);
        EXPECT_LT(stained, 0.6);
        EXPECT_GT(nuclei, 0.005);
        EXPECT_LT(nuclei, stained);
        EXPECT_GT(Share_At_Least(p.K, 40), 0.0);
        EXPECT_GE(Count_Components(p.K, 100, 30), 30) << "separate nuclei";
    }
    // 2: fibres: along a row, dark runs of clearly different widths
    {
        Cmyk_Picture p = To_Cmyk(Sample(1));
        std::vector<std::pair<int, int>> runs = Runs(p.K, 240, 45);
        int thin = 0, thick = 0;
        for (auto& r : runs) {
            thin += r.second >= 3 && r.second <= 10;
            thick += r.second >= 20;
        }
        EXPECT_GE(runs.size(), 8u);
        EXPECT_GE(thin, 2);
        EXPECT_GE(thick, 2);
    }
    // 3: micrometer: 57 ticks, 50 px apart from x = 100, across a row above
    // the base line (y = 300 from the top; the short ticks reach 70 up)
    {
        Cmyk_Picture p = To_Cmyk(Sample(2));
        std::vector<std::pair<int, int>> runs = Runs(p.K, 260, 110);
        ASSERT_EQ(runs.size(), 57u);
        for (size_t i = 0; i < runs.size(); i++) {
            double centre = runs[i].first + (runs[i].second - 1) / 2.0;
            EXPECT_NEAR(centre, 100 + 50.0 * i, 0.6) << "tick " << i;
            EXPECT_GE(runs[i].second, 2);
            EXPECT_LE(runs[i].second, 5);
        }
        // the base line itself is dark across the scale
        EXPECT_EQ(Runs(p.K, 300, 110).size(), 1u);
    }
    // 4: halftone: every ink finds something in its own channel
    {
        Cmyk_Picture p = To_Cmyk(Sample(3));
        EXPECT_GT(Share_At_Least(p.C, 150), 0.01);
        EXPECT_GT(Share_At_Least(p.M, 150), 0.01);
        EXPECT_GT(Share_At_Least(p.Y, 150), 0.01);
        EXPECT_GT(Share_At_Least(p.K, 150), 0.01);
        EXPECT_GT(Share_At_Least(p.K, 1) - Share_At_Least(p.K, 60), 0.2) << "paper shows between the dots";
    }
    // 5: dark particles on a bright field
    {
        Cmyk_Picture p = To_Cmyk(Sample(4));
        EXPECT_GT(1.0 - Share_At_Least(p.K, 40), 0.9);
        EXPECT_GT(Share_At_Least(p.K, 180), 0.005);
        int particles = Count_Components(p.K, 128, 1);
        EXPECT_GE(particles, 80);
        EXPECT_LE(particles, 400);
    }
}

TEST(Resources, SamplesLookLikeCameraPictures) {
    // slight noise: no sample has long stretches of identical pixels, even
    // where the field is empty
    for (int i = 0; i < 5; i++) {
        Resource_Data bmp = Sample(i);
        const uint8_t* px = bmp.Data + 54;
        int longest = 0, run = 0;
        for (int x = 1; x < W; x++) {
            run = std::memcmp(px + x * 3, px + (x - 1) * 3, 3) == 0 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        EXPECT_LT(longest, 20) << "sample " << i;
    }
}

TEST(Resources, FontsAreTheTrueTypeFiles) {
    struct {
        const char* Name;
        Resource_Data Data;
    } fonts[] = {{"seven-segment", Resource_Font_Seven_Segment()},
                 {"roboto", Resource_Font_Roboto()},
                 {"monospace", Resource_Font_Monospace()}};
    for (auto& f : fonts) {
        ASSERT_GT(f.Data.Size, 10000u) << f.Name;
        EXPECT_EQ(U32(f.Data.Data), 0x00000100u) << f.Name << ": sfnt version 1.0";
        uint16_t tables = (uint16_t)((f.Data.Data[4] << 8) | f.Data.Data[5]);
        EXPECT_GE(tables, 8) << f.Name;
        EXPECT_LE(12u + tables * 16u, f.Data.Size) << f.Name;
    }
    EXPECT_NE(Resource_Font_Roboto().Data, Resource_Font_Monospace().Data);
}

TEST(Resources, StoredIconsAndSplashDecode) {
    for (int i = 0; i < STORED_ICON_COUNT; i++) {
        Icon_Image icon = Load_Stored_Icon(i);
        ASSERT_EQ(icon.Width, 32) << i;
        ASSERT_EQ(icon.Height, 32) << i;
        ASSERT_EQ(icon.Rgba.size(), 32u * 32 * 4);
        for (int corner : {0, 31, 31 * 32, 32 * 32 - 1}) EXPECT_EQ(icon.Rgba[corner * 4 + 3], 0) << i;
        int opaque = 0;
        for (size_t k = 3; k < icon.Rgba.size(); k += 4) opaque += icon.Rgba[k] == 255;
        EXPECT_GT(opaque, 100) << i;
    }
    EXPECT_EQ(Resource_Icon_Png(STORED_ICON_COUNT).Size, 0u);
    EXPECT_EQ(Load_Stored_Icon(-1).Width, 0);

    Resource_Data splash = Resource_Splash_Png();
    Icon_Image picture = Decode_Png_Image(splash.Data, splash.Size);
    EXPECT_EQ(picture.Width, 970);
    EXPECT_EQ(picture.Height, 494);
}
