// View presentation and the overlay queue on real GL views (Xvfb, llvmpipe):
// placement by fit mode, read-back, unprojection, and what each queued
// request leaves in the pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/app_state.h"
#include "base/image_io.h"
#include "platform/platform.h"
#include "render/font_atlas.h"
#include "render/glip.h"
#include "render/overlay_queue.h"
#include "render/text.h"
#include "render_env.h"

namespace {

class Views : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Render_Test_Start()) << "no display";
        Clear_Overlay_Queue();
    }
    static Picture Read(int64_t view) {
        Picture p;
        GLip_Read_Back(view, &p, GL_BACK_BUFFER);
        static int n = 0;
        Save_Debug(p, std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                          std::to_string(n++));
        return p;
    }
    // Uploads and presents with a swap, as the renderer does.
    static void Show(int64_t view, const Picture& pic, int64_t fit, int nearest = 0) {
        GLip_Upload_Image(view, &pic, nearest, Pack_RGBA(0, 0, 255, 255), fit, 1, 0, 1, 0);
    }
    static bool Is(const Picture& p, int x, int y, int r, int g, int b, int tol = 8) {
        return std::abs(Channel(p, x, y, 2) - r) <= tol && std::abs(Channel(p, x, y, 1) - g) <= tol &&
               std::abs(Channel(p, x, y, 0) - b) <= tol;
    }
    static int Count_Colour(const Picture& p, int r, int g, int b, int tol = 40) {
        int n = 0;
        for (int y = 0; y < p.Height; y++)
            for (int x = 0; x < p.Width; x++) n += Is(p, x, y, r, g, b, tol);
        return n;
    }
};

TEST_F(Views, FitModesPlaceThePicture) {
    // 640 x 480 in 1000 x 500; the background is blue, the picture red.
    struct Case {
        int64_t fit;
        int64_t w, h;
        std::vector<std::pair<int, int>> picture, band;
    } cases[] = {
        {FIT_CONTAIN, 960, 480, {{170, 250}, {829, 250}, {500, 0}, {500, 499}}, {{155, 250}, {845, 250}}},
        {FIT_COVER, 640, 320, {{0, 0}, {999, 499}, {500, 250}}, {}},
        {FIT_ACTUAL, 1000, 500, {{185, 250}, {814, 250}, {500, 11}, {500, 488}}, {{175, 250}, {825, 250}, {500, 8}, {500, 491}}},
        {7, 640, 480, {{0, 0}, {999, 499}}, {}},
    };
    Picture pic = Solid_Picture(640, 480, 255, 0, 0);
    for (const Case& c : cases) {
        Show(VIEW_A, pic, c.fit);
        GLip_Presentation p = GLip_Last_Presentation(VIEW_A);
        EXPECT_EQ(p.W, c.w) << "fit " << c.fit;
        EXPECT_EQ(p.H, c.h) << "fit " << c.fit;
        EXPECT_EQ(p.Viewport_W, 1000);
        EXPECT_EQ(p.Viewport_H, 500);
        Picture shown = Read(VIEW_A);
        ASSERT_EQ(shown.Width, 1000);
        ASSERT_EQ(shown.Height, 500);
        for (auto& xy : c.picture) EXPECT_TRUE(Is(shown, xy.first, xy.second, 255, 0, 0)) << c.fit << " @" << xy.first << "," << xy.second;
        for (auto& xy : c.band) EXPECT_TRUE(Is(shown, xy.first, xy.second, 0, 0, 255)) << c.fit << " @" << xy.first << "," << xy.second;
    }
}

TEST_F(Views, ReadBackIsUprightAndShowsTheFrameJustPresented) {
    // VIEW_C has never been read back: its first read-back follows a swap
    // with no copy kept; later ones use the copy taken before the swap.
    struct Case { int64_t view; int w, h; int top[3], bottom[3]; int swap; } cases[] = {
        {VIEW_C, 300, 200, {255, 0, 0}, {0, 0, 255}, 1},
        {VIEW_C, 300, 200, {0, 255, 0}, {255, 255, 0}, 1},
        {VIEW_A, 1000, 500, {255, 0, 255}, {0, 255, 255}, 1},
        {VIEW_A, 1000, 500, {10, 200, 30}, {200, 10, 90}, 1},
        {VIEW_A, 1000, 500, {90, 90, 90}, {250, 250, 250}, 0},
    };
    for (const Case& c : cases) {
        Picture pic = Solid_Picture(64, 64, c.top[0], c.top[1], c.top[2]);
        for (int y = 32; y < 64; y++)
            for (int x = 0; x < 64; x++) Set_Pixel(&pic, x, y, c.bottom[0], c.bottom[1], c.bottom[2]);
        GLip_Upload_Image(c.view, &pic, 1, 0, 7, c.swap, 0, 1, 0);
        Picture shown = Read(c.view);
        ASSERT_EQ(shown.Width, c.w);
        ASSERT_EQ(shown.Height, c.h);
        EXPECT_TRUE(Is(shown, 3, 2, c.top[0], c.top[1], c.top[2])) << c.view << " top";
        EXPECT_TRUE(Is(shown, c.w - 3, c.h - 2, c.bottom[0], c.bottom[1], c.bottom[2])) << c.view << " bottom";
    }
}

TEST_F(Views, UnprojectInvertsThePresentation) {
    Picture pic = Solid_Picture(64, 48, 0, 0, 0);
    Set_Pixel(&pic, 40, 30, 255, 255, 255);
    for (int64_t fit : {(int64_t)FIT_ACTUAL, (int64_t)FIT_COVER, (int64_t)FIT_CONTAIN, (int64_t)5}) {
        Show(VIEW_A, pic, fit, 1);
        Picture shown = Read(VIEW_A);
        int x0 = 99999, y0 = 99999, x1 = -1, y1 = -1;
        for (int y = 0; y < shown.Height; y++)
            for (int x = 0; x < shown.Width; x++)
                if (Channel(shown, x, y, 1) > 128) {
                    x0 = std::min(x0, x); x1 = std::max(x1, x);
                    y0 = std::min(y0, y); y1 = std::max(y1, y);
                }
        ASSERT_GE(x1, 0) << "fit " << fit;
        float u = 0, v = 0;
        GLip_Unproject(VIEW_A, (x0 + x1 + 1) / 2.0f, (y0 + y1 + 1) / 2.0f, &u, &v);
        // Presentation space to picture pixels: x = u + w / 2, y = v + h / 2.
        EXPECT_NEAR(u + 32, 40.5, 0.5) << "fit " << fit;
        EXPECT_NEAR(v + 24, 30.5, 0.5) << "fit " << fit;
    }
}

TEST_F(Views, UploadFormats) {
    // 3 x 2 one-byte pixels: rows are not 4-byte aligned.
    const uint8_t grey[6] = {10, 60, 110, 160, 210, 250};
    GLip_Upload_Buffer(VIEW_B, grey, 3, 2, 8, 1, 0, 7, 1, 0, 1);
    Picture shown = Read(VIEW_B);
    for (int k = 0; k < 6; k++) {
        int x = (k % 3) * 320 / 3 + 53, y = (k / 3) * 120 + 60;
        EXPECT_TRUE(Is(shown, x, y, grey[k], grey[k], grey[k], 2)) << k;
    }
    // 4-byte pixels blue, green, red, alpha; 24 bits keeps the colour and drops alpha.
    const uint8_t bgra[8] = {30, 60, 90, 0, 200, 150, 100, 0};
    for (int64_t bits : {(int64_t)32, (int64_t)24}) {
        GLip_Upload_Buffer(VIEW_B, bgra, 2, 1, bits, 1, 0, 7, 1, 0, 1);
        shown = Read(VIEW_B);
        EXPECT_TRUE(Is(shown, 80, 120, 90, 60, 30, 2)) << bits;
        EXPECT_TRUE(Is(shown, 240, 120, 100, 150, 200, 2)) << bits;
    }
    // The next frame of the same size and format goes into the texture there is.
    const uint8_t next[8] = {200, 150, 100, 0, 30, 60, 90, 0};
    GLip_Upload_Buffer(VIEW_B, next, 2, 1, 24, 1, 0, 7, 1, 0, 1);
    shown = Read(VIEW_B);
    EXPECT_TRUE(Is(shown, 80, 120, 100, 150, 200, 2));
    EXPECT_TRUE(Is(shown, 240, 120, 90, 60, 30, 2));
    const uint8_t grey_next[6] = {250, 210, 160, 110, 60, 10};
    GLip_Upload_Buffer(VIEW_B, grey, 3, 2, 8, 1, 0, 7, 1, 0, 1);
    GLip_Upload_Buffer(VIEW_B, grey_next, 3, 2, 8, 1, 0, 7, 1, 0, 1);
    shown = Read(VIEW_B);
    for (int k = 0; k < 6; k++) {
        int x = (k % 3) * 320 / 3 + 53, y = (k / 3) * 120 + 60;
        EXPECT_TRUE(Is(shown, x, y, grey_next[k], grey_next[k], grey_next[k], 2)) << k;
    }
}

// The main view's texture is sent again only when its buffer changed or is
// another one; presenting the kept texture draws the same bytes.
TEST_F(Views, PresentBufferUploadsOnlyWhatChanged) {
    std::vector<uint8_t> a = {30, 60, 90, 0, 200, 150, 100, 0}, b = a;
    int64_t before = GLip_Texture_Uploads;
    auto present = [&](const std::vector<uint8_t>& pixels, int64_t w, int64_t bits, int changed) {
        Queue_Line(-40, -40, 40, 40, Pack_RGBA(255, 0, 0, 255), 2.5f, 1);  // the overlay must come out the same too
        GLip_Present_Buffer(VIEW_B, pixels.data(), w, 1, bits, 1, 0, 7, 1, 0, 1, changed);
        int64_t sent = GLip_Texture_Uploads - before;
        before = GLip_Texture_Uploads;
        return sent;
    };
    GLip_Upload_Image(VIEW_B, nullptr, 0, 0, 2, 1, 0, 1, 0);
    EXPECT_EQ(present(a, 2, 24, 1), 1);
    Picture forced = Read(VIEW_B);
    struct Step {
        const char* what;
        const std::vector<uint8_t>* pixels;
        int64_t w, bits;
        int changed;
        int64_t uploads;
    } steps[] = {
        {"unchanged", &a, 2, 24, 0, 0},
        {"unchanged again", &a, 2, 24, 0, 0},
        {"another buffer", &b, 2, 24, 0, 1},
        {"back to the first", &a, 2, 24, 0, 1},
        {"other width", &a, 1, 24, 0, 1},
        {"other format", &a, 1, 32, 0, 1},
        {"changed", &a, 2, 24, 1, 1},
        {"unchanged after the change", &a, 2, 24, 0, 0},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(present(*s.pixels, s.w, s.bits, s.changed), s.uploads) << s.what;
        if (s.w == 2 && s.bits == 24) {
            Picture shown = Read(VIEW_B);
            EXPECT_TRUE(shown.Pixels == forced.Pixels) << s.what;
        }
    }
    // A texture that is gone, or was filled from a picture since, is sent again.
    GLip_Free_Texture(VIEW_B);
    EXPECT_EQ(present(a, 2, 24, 0), 1);
    Picture pic = Solid_Picture(2, 1, 9, 9, 9);
    Show(VIEW_B, pic, 7);
    before = GLip_Texture_Uploads;
    EXPECT_EQ(present(a, 2, 24, 0), 1);
    EXPECT_TRUE(Read(VIEW_B).Pixels == forced.Pixels);
}

TEST_F(Views, NothingHappensWithoutViewOrTexture) {
    Queue_Line(0, 0, 10, 10, Pack_RGBA(255, 0, 0, 255), 1, 0);
    GLip_Redraw(VIEW_D, 0, 2, 1, 0, 1, 0);   // no texture yet
    GLip_Redraw(9999, 0, 2, 1, 0, 1, 0);     // not a view
    GLip_Upload_Image(VIEW_A, nullptr, 0, 0, 2, 1, 0, 1, 0);
    Picture empty;
    GLip_Upload_Image(VIEW_A, &empty, 0, 0, 2, 1, 0, 1, 0);
    EXPECT_EQ(GLip_Last_Presentation(VIEW_D).W, 0);
    EXPECT_EQ(Overlay_Queue.Lines.size(), 1u);  // no presentation drained it
    Picture untouched;
    GLip_Read_Back(9999, &untouched, GL_BACK_BUFFER);
    EXPECT_EQ(untouched.Width, 0);

    // A freed texture is gone until the next upload; Redraw then draws nothing.
    Picture pic = Solid_Picture(8, 8, 255, 255, 255);
    Show(VIEW_B, pic, 2);
    ASSERT_NE(View_Textures["501"], 0u);
    Queue_Line(0, 0, 10, 10, Pack_RGBA(255, 0, 0, 255), 1, 0);
    GLip_Free_Texture(VIEW_B);
    EXPECT_EQ(View_Textures["501"], 0u);
    GLip_Presentation before = GLip_Last_Presentation(VIEW_B);
    GLip_Redraw(VIEW_B, 0, 7, 1, 0, 1, 0);
    EXPECT_EQ(GLip_Last_Presentation(VIEW_B).W, before.W);
    EXPECT_EQ(Overlay_Queue.Lines.size(), 1u);
    Show(VIEW_B, pic, 2);
    EXPECT_NE(View_Textures["501"], 0u);
    EXPECT_TRUE(Overlay_Queue.Lines.empty());
}

TEST_F(Views, XorLineDrawnTwiceRestoresThePicture) {
    Picture pic(Solid_Picture(1000, 500, 0, 0, 0));
    for (int y = 0; y < 500; y++)
        for (int x = 0; x < 1000; x++) Set_Pixel(&pic, x, y, x & 255, y & 255, (x + y) & 255);
    Show(VIEW_A, pic, FIT_ACTUAL);
    Picture base = Read(VIEW_A);
    const int32_t colour = Pack_RGBA(253, 254, 255, 255);
    Queue_Line(100, 100, 900, 400, colour, 2.5f, 1);
    Show(VIEW_A, pic, FIT_ACTUAL);
    Picture once = Read(VIEW_A);
    int changed = 0;
    for (size_t i = 0; i < base.Pixels.size(); i += 4) changed += base.Pixels[i] != once.Pixels[i];
    EXPECT_GT(changed, 800);
    Queue_Line(100, 100, 900, 400, colour, 2.5f, 1);
    Queue_Line(100, 100, 900, 400, colour, 2.5f, 1);
    Show(VIEW_A, pic, FIT_ACTUAL);
    Picture twice = Read(VIEW_A);
    int differ = 0;
    for (size_t i = 0; i < base.Pixels.size(); i += 4)
        differ += base.Pixels[i] != twice.Pixels[i] || base.Pixels[i + 1] != twice.Pixels[i + 1] ||
                  base.Pixels[i + 2] != twice.Pixels[i + 2];
    EXPECT_EQ(differ, 0);
}

TEST_F(Views, OnlyTheLastBorderIsDrawn) {
    Picture pic = Solid_Picture(640, 480, 0, 0, 0);
    Queue_Border(Pack_RGBA(255, 0, 0, 255), 6);
    Queue_Border(Pack_RGBA(0, 255, 0, 255), 6);
    Show(VIEW_A, pic, FIT_CONTAIN);
    EXPECT_EQ(Overlay_Stats.Borders, 1);
    Picture shown = Read(VIEW_A);
    // The outline of the picture: 160 units = 166.7 pixels from either side, rows 0 and 499.
    EXPECT_TRUE(Is(shown, 167, 250, 0, 255, 0, 60));
    EXPECT_TRUE(Is(shown, 833, 250, 0, 255, 0, 60));
    EXPECT_TRUE(Is(shown, 500, 0, 0, 255, 0, 60));
    EXPECT_EQ(Count_Colour(shown, 255, 0, 0, 100), 0);
    // Nothing carries over to the next presentation.
    Show(VIEW_A, pic, FIT_CONTAIN);
    EXPECT_EQ(Overlay_Stats.Borders, 0);
    EXPECT_EQ(Count_Colour(Read(VIEW_A), 0, 255, 0, 100), 0);
}

TEST_F(Views, CircleSegmentsFollowTheLastQueuedRadius) {
    struct Case { std::vector<float> radii; int64_t vertices; } cases[] = {
        {{10, 300}, 300}, {{300, 10}, 24}, {{1000}, 512}, {{5, 30.7f}, 30}, {{50, NAN}, 24}, {{0}, 24}};
    Picture pic = Solid_Picture(640, 480, 0, 0, 0);
    for (const Case& c : cases) {
        for (float r : c.radii) Queue_Circle(320, 240, r, Pack_RGBA(255, 255, 255, 255), 1, 0);
        Show(VIEW_A, pic, FIT_CONTAIN);
        ASSERT_EQ(Overlay_Stats.Circle_Vertices.size(), c.radii.size());
        for (int64_t n : Overlay_Stats.Circle_Vertices) EXPECT_EQ(n, c.vertices) << c.radii.back();
    }
}

TEST_F(Views, CrosshairRanges) {
    // 320 x 240 in 1000 x 500, fit 2: W' = 480, H' = 240; picture (100, 60)
    // is at view (375, 125); the picture spans view x 167..833.
    Picture pic = Solid_Picture(320, 240, 0, 0, 0);
    const int32_t magenta = Pack_RGBA(250, 25, 250, 255);
    struct Case {
        float x1, x2, y1, y2;
        std::vector<std::pair<int, int>> lit, dark;
    } cases[] = {
        {0, 0, 0, 0, {{375, 1}, {375, 498}, {1, 125}, {998, 125}}, {{380, 300}}},
        {7, 7, 7, 7, {{375, 1}, {998, 125}}, {}},
        {50, 150, 60, 60, {{300, 125}, {470, 125}}, {{250, 125}, {500, 125}, {375, 60}}},
        {150, 50, 20, 100, {{375, 60}, {375, 180}}, {{300, 125}, {375, 30}}},
    };
    for (const Case& c : cases) {
        Queue_Crosshair(100, 60, c.x1, c.x2, c.y1, c.y2, magenta, 1.5f, 0);
        Show(VIEW_A, pic, FIT_CONTAIN);
        Picture shown = Read(VIEW_A);
        for (auto& xy : c.lit) {
            int best = 0;
            for (int d = -1; d <= 1; d++)
                best = std::max(best, std::max(Channel(shown, xy.first + d, xy.second, 2),
                                               Channel(shown, xy.first, xy.second + d, 2)));
            EXPECT_GT(best, 150) << c.x1 << "," << c.x2 << " @" << xy.first << "," << xy.second;
        }
        for (auto& xy : c.dark) EXPECT_LT(Channel(shown, xy.first, xy.second, 2), 50) << c.x1 << " @" << xy.first;
    }
}

TEST_F(Views, LabelBackdropAndText) {
    Define_Start_Up_Fonts();
    ASSERT_EQ(gText_Build_Atlas(256), 0);
    // A 1000 x 500 picture at actual size: picture pixels are view pixels.
    Picture pic = Solid_Picture(1000, 500, 255, 255, 255);
    Queue_Label("12", 1, 200, 100, 1.0f, Pack_RGBA(0, 0, 0, 255));
    Queue_Label("-0.5%", 0, 600, 300, 0.5f, Pack_RGBA(200, 0, 0, 255));
    Show(VIEW_A, pic, FIT_ACTUAL);
    Picture shown = Read(VIEW_A);
    gText_Select_Font(1);
    gText_Set_Scale(1.0f);
    const int w = (int)gText_Width("12"), h = (int)gText_Height("12");
    ASSERT_GT(w, 10);
    ASSERT_GT(h, 10);
    auto shaded = [&](int x, int y) { return Channel(shown, x, y, 0) < 245; };
    const int mid_y = 100 + h / 2;
    EXPECT_TRUE(shaded(199, mid_y));          // 1 left
    EXPECT_FALSE(shaded(198, mid_y));
    EXPECT_TRUE(shaded(201 + w, mid_y));      // 2 right
    EXPECT_FALSE(shaded(202 + w, mid_y));
    EXPECT_TRUE(shaded(199, 99));             // 1 above
    EXPECT_FALSE(shaded(199, 98));
    EXPECT_TRUE(shaded(199, 101 + h));        // 2 below
    EXPECT_FALSE(shaded(199, 102 + h));
    int ink = 0;
    for (int y = 100; y < 100 + h; y++)
        for (int x = 200; x < 200 + w; x++) ink += Channel(shown, x, y, 0) < 100;
    EXPECT_GT(ink, 30);
    // The second label in its own font, scale and colour.
    int red = 0;
    for (int y = 295; y < 320; y++)
        for (int x = 595; x < 660; x++) red += Channel(shown, x, y, 2) > 150 && Channel(shown, x, y, 1) < 100;
    EXPECT_GT(red, 10);
    EXPECT_EQ(Overlay_Stats.Backdrops.size(), 2u);
    EXPECT_EQ(Text_Batch.Count, 0);
    // Clearing the queue drops the labels with the shapes.
    Queue_Label("12", 1, 200, 100, 1.0f, Pack_RGBA(0, 0, 0, 255));
    Clear_Overlay_Queue();
    Show(VIEW_A, pic, FIT_ACTUAL);
    EXPECT_EQ(Overlay_Stats.Backdrops.size(), 0u);
}

TEST_F(Views, RequestsGoToTheFirstViewPresented) {
    Picture pic = Solid_Picture(320, 240, 0, 0, 0);
    Queue_Line(0, 120, 320, 120, Pack_RGBA(255, 0, 0, 255), 3, 0);
    Show(VIEW_B, pic, FIT_ACTUAL);
    EXPECT_GT(Count_Colour(Read(VIEW_B), 255, 0, 0), 300);
    Show(VIEW_A, pic, FIT_ACTUAL);
    EXPECT_EQ(Count_Colour(Read(VIEW_A), 255, 0, 0), 0);
}

TEST(Magnifier_Profile, NeverReadsOutsideTheRow) {
    struct Case { double centre; int64_t n, width; bool ok; int64_t c0, skip, count; } cases[] = {
        {320, 160, 640, true, 240, 0, 160},
        {640, 160, 640, true, 560, 0, 79},    // pointer at the right edge
        {0, 160, 640, true, 0, 80, 160},      // at the left edge
        {320, 1000, 640, true, 0, 180, 819},  // lens wider than the picture
        {320.5, 10, 640, true, 316, 0, 10},   // halves round to even
        {5000, 160, 640, false, 0, 0, 0},
        {-5000, 160, 640, false, 0, 0, 0},
        {320, 0, 640, false, 0, 0, 0},
        {NAN, 160, 640, false, 0, 0, 0},
        {0, 160, 1, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        int64_t c0 = -1, skip = -1, count = -1;
        ASSERT_EQ(Magnifier_Profile_Span(c.centre, c.n, c.width, &c0, &skip, &count), c.ok) << c.centre;
        if (!c.ok) continue;
        EXPECT_EQ(c0, c.c0) << c.centre;
        EXPECT_EQ(skip, c.skip) << c.centre;
        EXPECT_EQ(count, c.count) << c.centre;
        EXPECT_LE(c0 + (count - skip), c.width - 1);  // the last segment's right pixel
    }
}

TEST_F(Views, MagnifierLensAndProfile) {
    // 640 x 480 picture; the buffer is exactly the picture, so a read past
    // the last row's end would leave the allocation.
    Picture pic = Solid_Picture(640, 480, 40, 40, 40);
    for (int x = 0; x < 640; x++) Set_Pixel(&pic, x, 479, x * 255 / 639, 0, 255 - x * 255 / 639);
    struct Case { float u; uint8_t corner; int64_t first, last; int lens_x, lens_y; } cases[] = {
        {640 / 640.0f, 2, 560, 639, 667, 125},  // right edge, lens upper right
        {0.0f, 3, 0, 80, 333, 125},             // left edge, lens upper left
    };
    for (const Case& c : cases) {
        Queue_Magnifier(c.u, 479 / 480.0f, 1.0f, c.corner, pic.Pixels.data(), 640, 480, 479, 1.0f, 5.0f);
        Show(VIEW_A, pic, FIT_CONTAIN);
        EXPECT_EQ(Overlay_Stats.Profile_First_Column, c.first);
        EXPECT_EQ(Overlay_Stats.Profile_Last_Column, c.last);
        Picture shown = Read(VIEW_A);
        // The lens (0.45 of the picture) sits in the given quadrant with its blue cross.
        int blue = 0;
        for (int d = -2; d <= 2; d++) blue = std::max(blue, Channel(shown, c.lens_x + d, c.lens_y + 60, 0));
        EXPECT_GT(blue, 150);
        EXPECT_FALSE(Overlay_Queue.Magnifier.Pending);
    }
    // A pointer row outside the buffer draws the lens but no profile.
    Queue_Magnifier(0.5f, 0.5f, 2.0f, 0, pic.Pixels.data(), 640, 480, 480, 1.0f, 5.0f);
    Show(VIEW_A, pic, FIT_CONTAIN);
    EXPECT_EQ(Overlay_Stats.Profile_First_Column, -1);
}

// Writes a picture of a typical frame when TRELLUM_RENDER_SCREENSHOT names a file.
TEST_F(Views, Screenshot) {
    const char* path = std::getenv("TRELLUM_RENDER_SCREENSHOT");
    if (!path) GTEST_SKIP() << "set TRELLUM_RENDER_SCREENSHOT to a PNG path";
    Define_Start_Up_Fonts();
    ASSERT_EQ(gText_Build_Atlas(256), 0);
    Picture pic = Solid_Picture(640, 480, 0, 0, 0);
    for (int y = 0; y < 480; y++)
        for (int x = 0; x < 640; x++) {
            double d = std::hypot(x - 330.0, y - 250.0);
            int v = d < 120 ? 200 : 60 + (x * 3 + y) % 40;
            Set_Pixel(&pic, x, y, v, v - (d < 120 ? 40 : 0), v / 2 + x / 8);
        }
    const int32_t xor_white = Pack_RGBA(253, 254, 255, 255);
    Queue_Border(Pack_RGBA(50, 200, 50, 250), 2.0f);
    Queue_Line(320, 208, 320, 272, xor_white, 1.5f, 1);
    Queue_Line(288, 240, 352, 240, xor_white, 1.5f, 1);
    Queue_Line(160, 120, 192, 120, xor_white, 2.5f, 1);
    Queue_Line(160, 120, 160, 152, xor_white, 2.5f, 1);
    Queue_Line(210, 250, 450, 250, Pack_RGBA(255, 255, 255, 255), 2.5f, 1);
    Queue_Circle(330, 250, 120, Pack_RGBA(255, 255, 255, 255), 2.5f, 0);
    Queue_Rect(400, 60, 600, 160, Pack_RGBA(20, 195, 250, 255), 2.5f, 0);
    Queue_Crosshair(200, 380, 0, 0, 0, 0, Pack_RGBA(20, 225, 70, 255), 1.5f, 1);
    Queue_Label("240.0 px  12.5 mm\xC2\xB2", 1, 40, 40, 1.0f, Pack_RGBA(255, 255, 255, 255));
    Queue_Label("-12.345%", 0, 40, 420, 1.0f, Pack_RGBA(255, 200, 40, 255));
    Queue_Magnifier(200 / 640.0f, 380 / 480.0f, 2.0f, 2, pic.Pixels.data(), 640, 480, 380, 1.0f, 5.0f);
    GLip_Upload_Buffer(VIEW_A, pic.Pixels.data(), 640, 480, 24, 0, Background_Live, FIT_CONTAIN, 1, 0, 1);
    Picture shown = Read(VIEW_A);
    std::vector<uint8_t> png;
    ASSERT_TRUE(Encode_Png(shown, &png));
    ASSERT_TRUE(Write_File_Atomically(path, png));
}

}  // namespace
