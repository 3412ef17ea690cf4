#include <gtest/gtest.h>

#include <vector>

#include "app/renderer.h"
#include "render/overlay_queue.h"

// Sizes of the reduced thumbnail, and the mean its first texture pixel takes.
TEST(Renderer, ThumbnailsAreReducedByAWholeStep) {
    struct Case {
        int64_t w, h, tw, th;
    } cases[] = {
        {256, 192, 256, 192},   // fits: sent as it is
        {64, 480, 22, 160},     // taller than the texture: step 3
        {640, 480, 214, 160},   // step 3, the last block partly outside
        {1920, 1080, 240, 135},  // step 8
        {5472, 3648, 249, 166},  // step 22
        {4100, 100, 242, 6},     // wide: step 17
        {1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        std::vector<uint8_t> pixels((size_t)(c.w * c.h * 4));
        for (int64_t i = 0; i < c.w * c.h; i++) {
            const int64_t x = i % c.w, y = i / c.w;
            pixels[i * 4 + 0] = (uint8_t)(x * 7);
            pixels[i * 4 + 1] = (uint8_t)(y * 5);
            pixels[i * 4 + 2] = 9;
            pixels[i * 4 + 3] = 255;
        }
        int64_t tw = 0, th = 0;
        const uint8_t* t = Reduce_For_Thumbnail(pixels.data(), c.w, c.h, &tw, &th);
        EXPECT_EQ(tw, c.tw);
        EXPECT_EQ(th, c.th);
        if (c.tw == c.w) {
            EXPECT_EQ(t, pixels.data());
            continue;
        }
        // Texture pixel (1, 1) is the mean of picture pixels (s + s/2 - 1 .. s + s/2) in both directions.
        const int64_t s = (c.w + THUMB_TEXTURE_W - 1) / THUMB_TEXTURE_W > (c.h + THUMB_TEXTURE_H - 1) / THUMB_TEXTURE_H
                              ? (c.w + THUMB_TEXTURE_W - 1) / THUMB_TEXTURE_W
                              : (c.h + THUMB_TEXTURE_H - 1) / THUMB_TEXTURE_H;
        const int64_t x0 = s + s / 2, y0 = s + s / 2;
        const uint8_t* p = t + (tw + 1) * 4;
        EXPECT_EQ(p[0], (uint8_t)(((x0 * 7) % 256 + ((x0 - 1) * 7) % 256 + 1) / 2));
        EXPECT_EQ(p[1], (uint8_t)(((y0 * 5) % 256 + ((y0 - 1) * 5) % 256 + 1) / 2));
        EXPECT_EQ(p[2], 9);
        EXPECT_EQ(p[3], 255);
    }
}

// The reticle keeps its 640 x 480 drawing and scales with the picture.
TEST(Renderer, ReticleFollowsThePictureSize) {
    struct Case {
        int64_t w, h;
        float cx, cy, arm, left, top;
    } cases[] = {
        {640, 480, 320, 240, 32, 160, 120},
        {1920, 1080, 960, 540, 72, 480, 270},
        {2592, 1944, 1296, 972, 129.6f, 648, 486},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        Clear_Overlay_Queue();
        Queue_Reticle(c.w, c.h);
        const std::vector<Overlay_Shape>& l = Overlay_Queue.Lines;
        ASSERT_EQ(l.size(), 10u);
        EXPECT_FLOAT_EQ(l[0].X1, c.cx);  // the vertical bar of the cross
        EXPECT_FLOAT_EQ(l[0].Y1, c.cy - c.arm);
        EXPECT_FLOAT_EQ(l[0].Y2, c.cy + c.arm);
        EXPECT_FLOAT_EQ(l[1].X1, c.cx - c.arm);  // the horizontal bar
        EXPECT_FLOAT_EQ(l[1].Y1, c.cy);
        // First bracket: top-left corner, arms right and down; last: bottom-right, arms left and up.
        EXPECT_FLOAT_EQ(l[2].X1, c.left);
        EXPECT_FLOAT_EQ(l[2].Y1, c.top);
        EXPECT_FLOAT_EQ(l[2].X2, c.left + c.arm);
        EXPECT_FLOAT_EQ(l[3].Y2, c.top + c.arm);
        EXPECT_FLOAT_EQ(l[8].X1, 3 * c.left);
        EXPECT_FLOAT_EQ(l[8].Y1, 3 * c.top);
        EXPECT_FLOAT_EQ(l[8].X2, 3 * c.left - c.arm);
        EXPECT_FLOAT_EQ(l[9].Y2, 3 * c.top - c.arm);
    }
    Clear_Overlay_Queue();
}
