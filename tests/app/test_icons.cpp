// Vector icons, PNG decoding into straight RGBA, the splash picture and the
// splash window's fade loop on the null backend.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "app/icons.h"
#include "app/splash.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "resources/resources.h"

namespace {

const uint8_t* Px(const Icon_Image& img, int x, int y) { return &img.Rgba[((size_t)y * img.Width + x) * 4]; }

}  // namespace

TEST(Icons, CairoPixelsBecomeStraightRgba) {
    struct Case {
        uint32_t Word;  // premultiplied 0xAARRGGBB as cairo stores it
        uint8_t R, G, B, A;
    } cases[] = {
        {0x00000000u, 0, 0, 0, 0},          // transparent
        {0xFF14F0F0u, 20, 240, 240, 255},   // opaque: channel order only
        {0x80400000u, 128, 0, 0, 128},      // half alpha: 64 * 255 / 128, rounded
        {0x80000040u, 0, 0, 128, 128},
        {0x01010101u, 255, 255, 255, 1},    // the smallest alpha
        {0xC0C0C0C0u, 255, 255, 255, 192},  // premultiplied white
    };
    for (const Case& c : cases) {
        uint8_t pixel[4];
        std::memcpy(pixel, &c.Word, 4);
        Icon_Image img = Icon_From_Cairo_Pixels(pixel, 1, 1, 4);
        ASSERT_EQ(img.Rgba.size(), 4u);
        EXPECT_EQ(img.Rgba[0], c.R) << std::hex << c.Word;
        EXPECT_EQ(img.Rgba[1], c.G) << std::hex << c.Word;
        EXPECT_EQ(img.Rgba[2], c.B) << std::hex << c.Word;
        EXPECT_EQ(img.Rgba[3], c.A) << std::hex << c.Word;
    }
    // rows are taken at the stride, not packed
    uint32_t rows[2][2] = {{0xFF010203u, 0xDEADBEEFu}, {0xFF040506u, 0xDEADBEEFu}};
    Icon_Image two = Icon_From_Cairo_Pixels((const uint8_t*)rows, 1, 2, 8);
    ASSERT_EQ(two.Rgba.size(), 8u);
    EXPECT_EQ(two.Rgba[4], 4);
    EXPECT_EQ(two.Rgba[6], 6);
}

TEST(Icons, VectorIconsAreSizedTransparentAndDistinct) {
    std::set<std::vector<uint8_t>> seen;
    for (int i = 0; i < VECTOR_ICON_COUNT; i++) {
        for (double scale : {1.0, 1.25, 2.0}) {
            Icon_Image img = Draw_Vector_Icon(i, scale);
            int size = (int)(32 * scale + 0.5);
            ASSERT_EQ(img.Width, size) << i << " at " << scale;
            ASSERT_EQ(img.Height, size);
            ASSERT_EQ(img.Rgba.size(), (size_t)size * size * 4);
            for (int corner : {0, size - 1, (size - 1) * size, size * size - 1})
                EXPECT_EQ(img.Rgba[corner * 4 + 3], 0) << "icon " << i << " corner " << corner;
            int opaque = 0;
            for (size_t k = 3; k < img.Rgba.size(); k += 4) opaque += img.Rgba[k] == 255;
            EXPECT_GT(opaque, size * size / 20) << "icon " << i << " is nearly empty";
            if (scale == 1.0) seen.insert(img.Rgba);
        }
    }
    EXPECT_EQ(seen.size(), (size_t)VECTOR_ICON_COUNT) << "two icons are drawn the same";
    for (int bad : {-1, (int)VECTOR_ICON_COUNT}) EXPECT_EQ(Draw_Vector_Icon(bad, 1.0).Width, 0);
    for (double odd : {0.0, -2.0, 0.0 / 0.0}) EXPECT_EQ(Draw_Vector_Icon(VECTOR_ICON_MODE_1, odd).Width, 32);
}

TEST(Icons, ModeDiscsHaveTheirColoursAndADarkOutline) {
    struct Case {
        int Icon;
        uint8_t R, G, B;
    } cases[] = {{VECTOR_ICON_MODE_1, 20, 240, 240},
                 {VECTOR_ICON_MODE_2, 240, 20, 240},
                 {VECTOR_ICON_MODE_3, 240, 240, 20},
                 {VECTOR_ICON_MODE_4, 120, 120, 120}};
    for (const Case& c : cases) {
        for (double scale : {1.0, 2.0}) {
            Icon_Image img = Draw_Vector_Icon(c.Icon, scale);
            int mid = img.Width / 2;
            const uint8_t* centre = Px(img, mid, mid);
            EXPECT_EQ(centre[0], c.R) << c.Icon;
            EXPECT_EQ(centre[1], c.G) << c.Icon;
            EXPECT_EQ(centre[2], c.B) << c.Icon;
            EXPECT_EQ(centre[3], 255);
            // going out from the centre the fill gives way to the outline
            int darkest = 255;
            for (int y = mid; y >= 0; y--) {
                const uint8_t* p = Px(img, mid, y);
                if (p[3] == 255) darkest = std::min(darkest, std::max<int>(p[0], std::max(p[1], p[2])));
            }
            EXPECT_LE(darkest, 40) << "no dark outline on icon " << c.Icon;
        }
    }
}

TEST(Icons, BrokenPngDataDecodesToNothing) {
    Resource_Data png = Resource_Icon_Png(ICON_OPEN);
    ASSERT_GT(png.Size, 100u);
    std::vector<uint8_t> garbage(300, 0x5A);
    EXPECT_EQ(Decode_Png_Image(nullptr, 0).Width, 0);
    EXPECT_EQ(Decode_Png_Image(garbage.data(), garbage.size()).Width, 0);
    for (size_t cut : {(size_t)8, (size_t)40, png.Size / 2, png.Size - 12}) {
        Icon_Image img = Decode_Png_Image(png.Data, cut);
        EXPECT_EQ(img.Width, 0) << "cut at " << cut;
        EXPECT_TRUE(img.Rgba.empty());
    }
    EXPECT_EQ(Decode_Png_Image(png.Data, png.Size).Width, 32);
}

TEST(Splash, PictureFallsBackToTheDrawnTitle) {
    Resource_Data png = Resource_Splash_Png();
    Icon_Image stored = Prepare_Splash_Picture(png.Data, png.Size, 1.0);
    EXPECT_EQ(stored.Width, 970);
    EXPECT_EQ(stored.Height, 494);

    std::vector<uint8_t> broken(png.Data, png.Data + png.Size / 3);
    for (double scale : {1.0, 2.0}) {
        Icon_Image img = Prepare_Splash_Picture(broken.data(), broken.size(), scale);
        ASSERT_EQ(img.Width, 640);
        ASSERT_EQ(img.Height, 200);
        EXPECT_EQ(Px(img, 0, 0)[0], 255);
        EXPECT_EQ(Px(img, 639, 199)[3], 255);
        // ink of the two lines: the name in the top half, the version below,
        // each centred across the picture
        for (int line = 0; line < 2; line++) {
            int y0 = line ? 100 : 0, y1 = line ? 200 : 90;
            int min_x = 640, max_x = -1;
            for (int y = y0; y < y1; y++)
                for (int x = 0; x < 640; x++)
                    if (Px(img, x, y)[0] < 100) {
                        min_x = std::min(min_x, x);
                        max_x = std::max(max_x, x);
                    }
            ASSERT_GE(max_x, 0) << "no text in line " << line;
            EXPECT_NEAR((min_x + max_x) / 2.0, 320, 12) << "line " << line;
            EXPECT_GT(max_x - min_x, 150) << "line " << line;
        }
    }
}

namespace {

// Watches the splash from inside its event polling: counts the polls (one
// per loop step) and presses or releases keys at chosen steps.
struct Splash_Watch {
    int Polls = 0;
    int Space_Down_At = -1, Space_Up_At = -1;
    int Window_W = 0, Window_H = 0;
    bool Window_Seen = true;
};

void Watch_Hook(void* user) {
    Splash_Watch* w = (Splash_Watch*)user;
    w->Polls++;
    if (w->Polls == w->Space_Down_At) Null_Set_Key_Down(VK_SPACE_, true);
    if (w->Polls == w->Space_Up_At) Null_Set_Key_Down(VK_SPACE_, false);
    if (!Window_Exists(WINDOW_SPLASH)) w->Window_Seen = false;
    Window_Size(WINDOW_SPLASH, &w->Window_W, &w->Window_H);
}

}  // namespace

TEST(Splash, FadeHoldAndSkipSteps) {
    // 51 fade-in steps (opacity 0 to 250), the hold, 51 fade-out steps
    // (255 down to 5); each step polls one event.
    struct Case {
        const char* Name;
        int64_t Hold_Ms;
        bool Space_From_Start, Left_From_Start;
        int Space_Down_At, Space_Up_At;
        int Polls;
    } cases[] = {
        {"no input, no hold", 0, false, false, -1, -1, 51 + 1 + 51},
        // space skips the fade-in after its first step and the hold; still
        // held, it ends the fade-out after its first step
        {"space held", 5000000, true, false, -1, -1, 1 + 0 + 1},
        // the button ends only the hold
        {"left button held", 5000000, false, true, -1, -1, 51 + 1 + 51},
        // space pressed during the hold and let go: the full fade-out follows
        {"space tapped in the hold", 5000000, false, false, 60, 61, 51 + 10 + 51},
    };
    for (const Case& c : cases) {
        Null_Reset();
        Splash_Watch watch;
        watch.Space_Down_At = c.Space_Down_At;
        watch.Space_Up_At = c.Space_Up_At;
        Null_Set_Key_Down(VK_SPACE_, c.Space_From_Start);
        Null_Set_Left_Button(c.Left_From_Start);
        Set_Idle_Hook(Watch_Hook, &watch);
        Show_Splash(c.Hold_Ms);
        Set_Idle_Hook(nullptr, nullptr);
        EXPECT_EQ(watch.Polls, c.Polls) << c.Name;
        EXPECT_TRUE(watch.Window_Seen) << c.Name;
        EXPECT_EQ(watch.Window_W, 970) << c.Name;
        EXPECT_EQ(watch.Window_H, 494) << c.Name;
        EXPECT_FALSE(Window_Exists(WINDOW_SPLASH)) << c.Name << ": window left open";
    }
    Null_Reset();
}

TEST(Splash, DiscardsOneEventPerStep) {
    // two steps with space held: of three queued events one is left, so the
    // splash neither flushes the queue nor lets events through unread
    Null_Reset();
    Null_Set_Key_Down(VK_SPACE_, true);
    for (int i = 0; i < 3; i++) {
        Platform_Event e;
        e.Window = WINDOW_MAIN;
        e.Kind = EVENT_MENU;
        e.Control = 100 + i;
        Post_Event(e);
    }
    Show_Splash(5000000);
    Platform_Event left;
    ASSERT_TRUE(Poll_Event(&left));
    EXPECT_EQ(left.Control, 102);
    EXPECT_FALSE(Poll_Event(&left));
    Null_Reset();
}
