// The scale bar and the exported picture's drawing in the document's unit.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "document/doc_model.h"
#include "document/settings.h"
#include "base/picture.h"
#include "measure/picture_render.h"
#include "measure/scale_bar.h"
#include "measure/units.h"
#include "platform/platform.h"
#include "platform/platform_null.h"

namespace {

class Scale_Bars : public ::testing::Test {
  protected:
    void SetUp() override {
        Null_Reset();
        Reset_Jobs();
        Jobs[0].Doc.PPMM = 100.0f;
    }
};

// The bar is the 1-2-5 length nearest (on a log scale) to a fifth of the
// width, in the document's unit; pixels when there is no usable calibration.
TEST_F(Scale_Bars, LengthTable) {
    struct Row {
        int64_t width;
        double ppmm;
        int64_t unit;
        double value, pixels;
        const char* label;
    } rows[] = {
        {640, 100, UNIT_MICRONS, 1000, 100, "1000 \xC2\xB5m"},   // a fifth is 1280 um
        {3000, 1000, UNIT_MICRONS, 500, 500, "500 \xC2\xB5m"},   // 600 um
        {1000, 2000, UNIT_MICRONS, 100, 200, "100 \xC2\xB5m"},
        {640, 100, UNIT_MILLIMETRES, 1, 100, "1 mm"},
        {100, 100, UNIT_MILLIMETRES, 0.2, 20, "0.2 mm"},         // exactly a fifth
        {640, 10000, UNIT_MILLIMETRES, 0.01, 100, "0.01 mm"},
        {500, 3, UNIT_MILLIMETRES, 50, 150, "50 mm"},             // 33.3 mm: 50 is nearer than 20
        {2000, 10, UNIT_INCHES, 2, 508, "2 in"},                  // 1.57 in
        {1000, 50, UNIT_THOU, 200, 200 / 39.37 * 50, "200 thou"}, // 157 thou
        {640, 100, UNIT_PIXELS, 100, 100, "100 px"},
        {4, 100, UNIT_PIXELS, 1, 1, "1 px"},                      // never a fraction of a pixel
        {640, 0, UNIT_MICRONS, 100, 100, "100 px"},               // uncalibrated
        {640, NAN, UNIT_MILLIMETRES, 100, 100, "100 px"},
        {640, -5, UNIT_INCHES, 100, 100, "100 px"},
        {640, 100, 9, 1, 100, "1 mm"},                            // unknown unit: millimetres
    };
    for (const Row& r : rows) {
        Scale_Bar bar;
        ASSERT_TRUE(Choose_Scale_Bar(r.width, r.ppmm, r.unit, &bar)) << r.width;
        std::string what = std::to_string(r.width) + " px at " + std::to_string(r.ppmm) + ", unit " +
                           std::to_string(r.unit);
        EXPECT_NEAR(bar.Value, r.value, 1e-9 * r.value) << what;
        EXPECT_NEAR(bar.Pixels, r.pixels, 1e-6 * r.pixels) << what;
        EXPECT_EQ(bar.Label, r.label) << what;
        if (r.width >= 100) {
            EXPECT_GT(bar.Pixels / r.width, 0.2 / 1.6) << what;
            EXPECT_LT(bar.Pixels / r.width, 0.2 * 1.6) << what;
        }
    }
    Scale_Bar bar;
    EXPECT_FALSE(Choose_Scale_Bar(0, 100, UNIT_MILLIMETRES, &bar));
    EXPECT_FALSE(Choose_Scale_Bar(-3, 100, UNIT_MILLIMETRES, &bar));
}

// The software drawing of an exported picture: the document's own colours,
// exclusive-or outlines, labels in the document's unit, the scale bar in the
// bottom-right corner; each option off leaves its pixels alone.
TEST_F(Scale_Bars, DocumentPictureOverlayAndScaleBar) {
    const int W = 300, H = 200;
    Picture grey;
    grey.Width = W, grey.Height = H;
    grey.Pixels.assign((size_t)W * H * 4, 100);
    auto at = [&](const Picture& p, int x, int y) { return p.Pixels.data() + ((size_t)y * p.Width + x) * 4; };
    uint8_t* marked = grey.Pixels.data() + ((size_t)5 * W + 5) * 4;
    marked[0] = 1, marked[1] = 2, marked[2] = 3, marked[3] = 0;
    Doc_Info doc;
    doc.Resolution.x = W, doc.Resolution.y = H;
    doc.PPMM = 100;
    doc.Measure_Unit = UNIT_MILLIMETRES;
    Tool line;
    line.Type = TOOL_LINE, line.X_Start = 20, line.Y_Start = 50, line.X_End = 120, line.Y_End = 50;
    line.Colour = 0x00FFFF;  // red and green flipped
    Tool circle;
    circle.Type = TOOL_CIRCLE, circle.X_Start = circle.CentreX = 200, circle.Y_Start = circle.CentreY = 100;
    circle.Radius = 30, circle.Colour = 0xFFFFFF;
    Tool wild = line, huge = circle;
    wild.X_End = NAN;  // damaged tools are skipped, not drawn across the picture
    huge.CentreX = 150, huge.Radius = 3e30f;
    doc.Tools = {line, circle, wild, huge};

    struct Case {
        uint8_t overlay, scale_bar;
    } cases[] = {{1, 1}, {0, 1}, {1, 0}, {0, 0}};
    for (const Case& c : cases) {
        Picture out;
        Scale_Bar_Box box;
        Picture_Render_Options options;
        options.Overlay = c.overlay, options.Scale_Bar = c.scale_bar;
        ASSERT_TRUE(Render_Document_Picture(doc, grey, options, &out, &box));
        ASSERT_EQ(out.Width * 1000 + out.Height, W * 1000 + H);
        std::string what = "overlay " + std::to_string(c.overlay) + ", bar " + std::to_string(c.scale_bar);
        for (size_t i = 3; i < out.Pixels.size(); i += 4) ASSERT_EQ(out.Pixels[i], 255) << what;
        EXPECT_EQ(at(out, 5, 5)[0] | at(out, 5, 5)[1] << 8 | at(out, 5, 5)[2] << 16, 0x030201) << what;
        // The 2.5-pixel line at y = 50 covers rows 49 and 50; blue stays, red and green flip.
        for (int y : {49, 50}) {
            const uint8_t* p = at(out, 70, y);
            EXPECT_EQ(p[0] | p[1] << 8 | p[2] << 16, c.overlay ? 0x9B9B64 : 0x646464) << what << " row " << y;
        }
        EXPECT_EQ(at(out, 70, 53)[2], 100) << what;
        EXPECT_EQ(at(out, 230, 100)[0], c.overlay ? 155 : 100) << what << ": circle";
        EXPECT_EQ(at(out, 200, 100)[0], 100) << what << ": circle centre";
        // Labels sit just above their anchors: "0: 10mm" over the line's start.
        int label_pixels = 0;
        for (int y = 30; y < 47; y++)
            for (int x = 20; x < 90; x++) label_pixels += at(out, x, y)[0] != 100;
        if (c.overlay)
            EXPECT_GT(label_pixels, 20) << what;
        else
            EXPECT_EQ(label_pixels, 0) << what;
        if (c.scale_bar) {
            // 300 px at 100 px/mm: a fifth is 0.6 mm, the bar 0.5 mm = 50 px.
            EXPECT_EQ(box.Bar_Right - box.Bar_Left, 50) << what;
            EXPECT_GT(box.Left, W / 2);
            EXPECT_GT(box.Top, H / 2);
            EXPECT_LE(box.Right, W);
            EXPECT_LE(box.Bottom, H);
            EXPECT_GT(box.Right, W - 20);
            EXPECT_GT(box.Bottom, H - 20);
            EXPECT_TRUE(box.Left <= box.Bar_Left && box.Bar_Right <= box.Right && box.Bar_Bottom <= box.Bottom);
            const uint8_t* bar = at(out, (box.Bar_Left + box.Bar_Right) / 2, (box.Bar_Top + box.Bar_Bottom) / 2);
            EXPECT_EQ(bar[0] + bar[1] + bar[2], 3 * 255) << what;
            EXPECT_LT(at(out, box.Left + 1, box.Top + 1)[1], 50) << what << ": dark backdrop";
            EXPECT_EQ(at(out, box.Left - 2, box.Top - 2)[1], 100) << what;
        } else {
            EXPECT_EQ(box.Right, 0);
            for (int y = H - 40; y < H; y++)
                for (int x = W - 80; x < W; x++) ASSERT_EQ(at(out, x, y)[1], 100) << what;
        }
    }
    Picture empty, out;
    EXPECT_FALSE(Render_Document_Picture(doc, empty, Picture_Render_Options(), &out));

    struct Label {
        Tool tool;
        double ppmm;
        int64_t unit;
        const char* text;
    };
    Tool box_tool, blob, counted_blob, width;
    box_tool.Type = TOOL_BOX, box_tool.X_Start = 5, box_tool.Y_Start = 5, box_tool.X_End = 25, box_tool.Y_End = 15;
    blob = box_tool, blob.Type = TOOL_BLOB;
    counted_blob = blob, counted_blob.Area = 150;
    width = line, width.Type = TOOL_WIDTH, width.X_End = 20.5f;
    Label labels[] = {
        {line, 10, UNIT_MILLIMETRES, "0: 10mm"},  // the document's calibration, not the live one's
        {box_tool, 10, UNIT_MICRONS, "0: 2000 x 1000um"},
        {circle, 10, UNIT_PIXELS, "0: 30px"},
        {blob, 10, UNIT_MILLIMETRES, "0: 2.00mm\xC2\xB2"},
        {blob, 10, UNIT_PIXELS, "0: 200.00px\xC2\xB2"},
        {counted_blob, 10, UNIT_MILLIMETRES, "0: 1.50mm\xC2\xB2"},  // the pixel count, not the box
        {counted_blob, 10, UNIT_PIXELS, "0: 150.00px\xC2\xB2"},
        {width, 100, UNIT_PIXELS, "0: 0px"},
        {line, 10, UNIT_INCHES, "0: 0.39inch"},
    };
    for (const Label& l : labels) EXPECT_EQ(Picture_Tool_Label(l.tool, 0, l.ppmm, l.unit), l.text);
}

}  // namespace
