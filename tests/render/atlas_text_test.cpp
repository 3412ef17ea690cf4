// Font atlas and text batch, CPU side: tables, packing, overflow, measuring
// and the quads a text adds. No GL view is needed.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <string>

#include "platform/platform.h"
#include "render/font_atlas.h"
#include "render/text.h"
#include "resources/resources.h"
#include "render_env.h"

namespace {

// Atlas pixel rectangle of a packed glyph, from its texture coordinates.
struct Rect { int x0, y0, x1, y1; };  // inclusive
Rect Glyph_Rect(const Font_Def& f, int c, int S) {
    const float* t = f.Tex_Coords[c];
    Rect r;
    r.x0 = (int)std::lround(t[0] * S);
    r.y0 = (int)std::lround((1 - t[1]) * S);
    r.x1 = (int)std::lround(t[2] * S) - 1;
    r.y1 = (int)std::lround((1 - t[5]) * S) - 1;
    return r;
}

int Alpha(int x, int y) {
    if (x < 0 || y < 0 || x >= Atlas_Last_Image.Width || y >= Atlas_Last_Image.Height) return 0;
    return Atlas_Last_Image.Pixels[((size_t)y * Atlas_Last_Image.Width + x) * 4 + 3];
}

class Atlas : public ::testing::Test {
protected:
    void SetUp() override {
        Render_Test_Start();  // the atlas itself needs no view; a built one is also uploaded
        Clear_Prompt_Script();
        Clear_Prompt_History();
        Define_Start_Up_Fonts();
        gText_Select_Font(0);
        gText_Set_Scale(1.0f);
    }
};

TEST_F(Atlas, StartUpBuildFillsTablesAndConsumesTheMarker) {
    EXPECT_EQ(Font_Defs[0].Style, 1024);
    gText_Define_Font(2, "No Such Family", 20, 0, "AB");  // drawn with Roboto
    ASSERT_EQ(gText_Build_Atlas(256), 0);
    EXPECT_EQ(Font_Defs[0].Style, 0);
    EXPECT_EQ(Atlas_Overflowed, 0);
    EXPECT_TRUE(Prompt_History().empty());

    // Space of font 1: advance + 1 wide, 2 high, offset 0 - top.
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face;
    Resource_Data roboto = Resource_Font_Roboto();
    ASSERT_EQ(FT_New_Memory_Face(lib, roboto.Data, (FT_Long)roboto.Size, 0, &face), 0);
    FT_Set_Char_Size(face, 0, 20 * 64, 96, 96);  // 20 pt = 26.67 px
    FT_Load_Char(face, ' ', FT_LOAD_NO_HINTING);
    float advance = std::nearbyint(face->glyph->advance.x / 64.0);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    const Font_Def& f1 = Font_Defs[1];
    EXPECT_EQ(f1.Metrics[32][0], advance + 1);
    EXPECT_EQ(f1.Metrics[32][1], 2);
    EXPECT_LE(f1.Offsets[32][1], 0);
    EXPECT_GT(f1.Line_Height, 20);

    // Every provided character is packed, including "²" (178) and the "%"
    // the seven-segment face borrows; others stay zero.
    for (int c = 33; c <= 126; c++) EXPECT_GT(f1.Metrics[c][0], 0) << "char " << c;
    EXPECT_GT(f1.Metrics[178][0], 0);
    EXPECT_EQ(f1.Metrics[177][0], 0);
    for (char c : std::string("-0123456789.%")) EXPECT_GT(Font_Defs[0].Metrics[(int)c][0], 0) << c;
    EXPECT_EQ(Font_Defs[0].Metrics[(int)'A'][0], 0);
    EXPECT_EQ(Font_Defs[2].Metrics['A'][0], f1.Metrics['A'][0]);
    EXPECT_EQ(Font_Defs[2].Metrics['B'][1], f1.Metrics['B'][1]);
}

TEST_F(Atlas, GlyphBoxesAreTightDisjointAndHoldAllInk) {
    ASSERT_EQ(gText_Build_Atlas(256), 0);
    const int S = 256;
    ASSERT_EQ(Atlas_Last_Image.Width, S);
    std::vector<Rect> rects;
    std::vector<uint8_t> covered((size_t)S * S, 0);
    float tallest = 0;
    for (int slot = 0; slot < 2; slot++) {
        const Font_Def& f = Font_Defs[slot];
        for (int c = 33; c < 256; c++) {
            if (f.Metrics[c][0] == 0) continue;
            Rect r = Glyph_Rect(f, c, S);
            EXPECT_EQ(r.x1 - r.x0 + 1, f.Metrics[c][0]);
            EXPECT_EQ(r.y1 - r.y0 + 1, f.Metrics[c][1]);
            tallest = std::max(tallest, f.Metrics[c][1]);
            // The ink box is tight: ink on its first and last row and column.
            int top = 0, bottom = 0, left = 0, right = 0;
            for (int x = r.x0; x <= r.x1; x++) { top += Alpha(x, r.y0) > 0; bottom += Alpha(x, r.y1) > 0; }
            for (int y = r.y0; y <= r.y1; y++) { left += Alpha(r.x0, y) > 0; right += Alpha(r.x1, y) > 0; }
            EXPECT_TRUE(top && bottom && left && right) << "slot " << slot << " char " << c;
            // One pixel apart from every other glyph.
            for (int y = r.y0 - 1; y <= r.y1 + 1; y++)
                for (int x = r.x0 - 1; x <= r.x1 + 1; x++)
                    if (x >= 0 && y >= 0 && x < S && y < S) {
                        EXPECT_EQ(covered[(size_t)y * S + x] & 1, 0) << "overlap at " << x << "," << y;
                        covered[(size_t)y * S + x] |= 2;
                    }
            for (int y = r.y0; y <= r.y1; y++)
                for (int x = r.x0; x <= r.x1; x++) covered[(size_t)y * S + x] = 1;
            rects.push_back(r);
        }
    }
    // No ink outside the glyph boxes, and the tallest glyph starts the first row at (1, 1).
    for (int y = 0; y < S; y++)
        for (int x = 0; x < S; x++)
            if (!(covered[(size_t)y * S + x] & 1)) {
                ASSERT_EQ(Alpha(x, y), 0) << x << "," << y;
            }
    bool first_at_origin = false;
    for (const Rect& r : rects)
        if (r.x0 == 1 && r.y0 == 1) first_at_origin = (r.y1 - r.y0 + 1) == tallest;
    EXPECT_TRUE(first_at_origin);

    // Every glyph keeps all of its ink, also one that starts left of its pen
    // position (the seven-segment decimal point, "j"): the packed box is the
    // face's own ink box and holds the same coverage.
    struct Ink { int slot; int code; } inks[] = {{0, '.'}, {0, '8'}, {0, '1'}, {0, '-'},
                                                 {1, 'j'}, {1, 'A'}, {1, 'g'}, {1, 178}};
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    for (const Ink& ink : inks) {
        SCOPED_TRACE(testing::Message() << "slot " << ink.slot << " char " << ink.code);
        Resource_Data data = ink.slot == 0 ? Resource_Font_Seven_Segment() : Resource_Font_Roboto();
        FT_Face face;
        ASSERT_EQ(FT_New_Memory_Face(lib, data.Data, (FT_Long)data.Size, 0, &face), 0);
        // 20 points at 96 dpi; the seven-segment face at 80 % of that.
        FT_Set_Char_Size(face, 0, ink.slot == 0 ? 1024 : 1280, 96, 96);
        ASSERT_EQ(FT_Load_Char(face, (FT_ULong)ink.code, FT_LOAD_NO_HINTING | FT_LOAD_RENDER), 0);
        const FT_Bitmap& bm = face->glyph->bitmap;
        int x0 = (int)bm.width, x1 = -1, y0 = (int)bm.rows, y1 = -1;
        long coverage = 0;
        for (int y = 0; y < (int)bm.rows; y++)
            for (int x = 0; x < (int)bm.width; x++) {
                int a = bm.buffer[y * bm.pitch + x];
                if (a == 0) continue;
                coverage += a;
                x0 = std::min(x0, x); x1 = std::max(x1, x);
                y0 = std::min(y0, y); y1 = std::max(y1, y);
            }
        FT_Done_Face(face);
        ASSERT_GT(coverage, 0);
        const Font_Def& f = Font_Defs[ink.slot];
        EXPECT_EQ(f.Metrics[ink.code][0], x1 - x0 + 1);
        EXPECT_EQ(f.Metrics[ink.code][1], y1 - y0 + 1);
        Rect r = Glyph_Rect(f, ink.code, S);
        long packed = 0;
        for (int y = r.y0; y <= r.y1; y++)
            for (int x = r.x0; x <= r.x1; x++) packed += Alpha(x, y);
        EXPECT_EQ(packed, coverage);
    }
    FT_Done_FreeType(lib);
}

TEST_F(Atlas, SmallAtlasOverflowsWithOneMessage) {
    EXPECT_EQ(gText_Build_Atlas(31), -1);
    EXPECT_EQ(Font_Defs[0].Style, 1024);  // nothing built
    Script_Prompt(1);
    ASSERT_EQ(gText_Build_Atlas(32), 0);
    EXPECT_EQ(Atlas_Overflowed, 1);
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Error");
    EXPECT_EQ(Prompt_History()[0].Text,
              "Font atlas texture size exceeded; some fonts may render incorrectly.\n\nIncrease size as required");
    int packed = 0, total = 0;
    for (int slot = 0; slot < 2; slot++)
        for (int c = 32; c < 256; c++) {
            const Font_Def& f = Font_Defs[slot];
            bool provided = slot == 0 ? std::string(" -0123456789.%").find((char)c) != std::string::npos
                                      : (c <= 126 || c == 178);
            if (!provided) continue;
            total++;
            if (f.Metrics[c][0] == 0) {
                for (int k = 0; k < 8; k++) EXPECT_EQ(f.Tex_Coords[c][k], 0);
                continue;
            }
            packed++;
            // Only rows started inside the atlas hold glyphs.
            EXPECT_LE(Glyph_Rect(f, c, 32).y0, 32);
        }
    EXPECT_GT(packed, 0);
    EXPECT_LT(packed, total / 2);
}

TEST_F(Atlas, InvalidDefinitionsChangeNothing) {
    struct Case { int64_t slot; const char* name; float size; } cases[] = {
        {17, "Roboto", 20}, {-1, "Roboto", 20}, {2, "", 20}, {2, "Roboto", 4}, {2, "Roboto", 4.4f}};
    for (const Case& c : cases) {
        EXPECT_EQ(gText_Define_Font(c.slot, c.name, c.size, 0, "abc"), 0);
        EXPECT_EQ(Font_Defs[2].Name, "") << c.slot << " " << c.name << " " << c.size;
    }
    gText_Define_Font(16, "Anything", 12, 0, "x");
    EXPECT_EQ(Font_Defs[16].Name, "Anything");
}

TEST(Text_Code_Units, DecodesUtf8AndReplacesMalformedBytes) {
    struct Case { std::string in; std::u16string out; } cases[] = {
        {"", u""},
        {"12", u"12"},
        {"mm\xC2\xB2", u"mm\u00B2"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
        {"a\x80z", u"a\uFFFDz"},         // stray continuation byte
        {"\xC2", u"\uFFFD"},             // truncated sequence
        {"\xC0\xAF", u"\uFFFD\uFFFD"},   // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
    };
    for (const Case& c : cases) EXPECT_EQ(Text_Code_Units(c.in), c.out) << c.in;
}

class Text : public Atlas {
protected:
    void SetUp() override {
        Atlas::SetUp();
        ASSERT_EQ(gText_Build_Atlas(256), 0);
        gText_Flush();
        Text_Flush_Count = 0;
    }
};

TEST_F(Text, WidthHeightAndSettings) {
    const Font_Def& f = Font_Defs[1];
    ASSERT_EQ(gText_Select_Font(1), 0);
    const float w1 = f.Metrics['1'][0], w2 = f.Metrics['2'][0];
    struct Case { float scale; const char* text; float width; } cases[] = {
        {1.0f, "1", w1 + 2}, {1.0f, "12", w1 + w2 + 4}, {0.5f, "12", (w1 + w2 + 4) * 0.5f},
        {2.0f, " ", (f.Metrics[' '][0] + 2) * 2}, {1.0f, "", 0},
        {1.0f, "\xC2\xB2", f.Metrics[178][0] + 2}, {1.0f, "\x01", 2}};
    for (const Case& c : cases) {
        ASSERT_EQ(gText_Set_Scale(c.scale), 0);
        EXPECT_FLOAT_EQ(gText_Width(c.text), c.width) << c.text << " at " << c.scale;
    }
    gText_Set_Scale(1.0f);
    EXPECT_EQ(gText_Height(""), 0);
    EXPECT_FLOAT_EQ(gText_Height("1"), f.Metrics['1'][1] + f.Offsets['1'][1]);
    EXPECT_GE(gText_Height("1g"), gText_Height("1"));

    // Invalid slot or scale: -1 and the setting stays.
    struct Bad { int64_t slot; float scale; } bad[] = {{16, 0.0005f}, {-1, 1e7f}, {99, -1.0f}, {16, NAN}};
    for (const Bad& b : bad) {
        EXPECT_EQ(gText_Select_Font(b.slot), -1);
        EXPECT_EQ(gText_Set_Scale(b.scale), -1);
        EXPECT_EQ(Current_Font, 1);
        EXPECT_EQ(Text_Scale, 1.0f);
    }
    EXPECT_EQ(gText_Select_Font(15), 0);
    EXPECT_EQ(gText_Set_Scale(0.001f), 0);
}

TEST_F(Text, QuadsFollowThePen) {
    gText_Select_Font(1);
    gText_Set_Scale(1.0f);
    const Font_Def& f = Font_Defs[1];
    gText_Add(10, 20, "A A\nA", 1, 2, 3, 4);
    ASSERT_EQ(Text_Batch.Count, 3);  // the space and the line break add no quad
    const int16_t* q0 = Text_Batch.Positions[0];
    const int16_t* q1 = Text_Batch.Positions[1];
    const int16_t* q2 = Text_Batch.Positions[2];
    EXPECT_EQ(q0[0], 10);
    EXPECT_EQ(q0[1], (int)std::nearbyint(20 + f.Offsets['A'][1]));
    EXPECT_EQ(q0[2] - q0[0], f.Metrics['A'][0]);
    EXPECT_EQ(q0[5] - q0[1], f.Metrics['A'][1]);
    EXPECT_EQ(q1[0] - q0[0], f.Metrics['A'][0] + 2 + f.Metrics[' '][0] + 2);
    EXPECT_EQ(q1[1], q0[1]);
    EXPECT_EQ(q2[0], 10);  // the next line starts at the text's x
    EXPECT_EQ(q2[1] - q0[1], f.Line_Height);
    for (int k = 0; k < 8; k++) EXPECT_EQ(Text_Batch.Tex_Coords[2][k], f.Tex_Coords['A'][k]);
    for (int k = 0; k < 16; k += 4) {
        EXPECT_EQ(Text_Batch.Colours[1][k], 1);
        EXPECT_EQ(Text_Batch.Colours[1][k + 3], 4);
    }
    // The pen over three letters at several scales, with and without an x
    // offset: the offsets move one glyph only, and the step from letter to
    // letter is the width of one letter, its spacing scaled with it.
    struct Pen { float scale, x_offset; } pens[] = {{1, 0}, {2, 0}, {1, 3}, {2, 3}, {0.5f, 4}, {3, -1}};
    const float y_offset = f.Offsets['A'][1];
    for (const Pen& p : pens) {
        gText_Flush();
        Font_Defs[1].Offsets['A'][0] = p.x_offset;
        ASSERT_EQ(gText_Set_Scale(p.scale), 0);
        const float step = gText_Width("A");
        EXPECT_FLOAT_EQ(step, (f.Metrics['A'][0] + 2) * p.scale);
        gText_Add(10, 20, "AAA", 0, 0, 0, 255);
        ASSERT_EQ(Text_Batch.Count, 3);
        for (int k = 0; k < 3; k++) {
            const int16_t* q = Text_Batch.Positions[k];
            SCOPED_TRACE(testing::Message() << "scale " << p.scale << " x offset " << p.x_offset << " letter " << k);
            EXPECT_EQ(q[0], (int)std::nearbyint(10 + p.x_offset * p.scale + k * step));
            EXPECT_EQ(q[1], (int)std::nearbyint(20 + y_offset * p.scale));
            EXPECT_EQ(q[5], (int)std::nearbyint(20 + (y_offset + f.Metrics['A'][1]) * p.scale));
        }
    }
    Font_Defs[1].Offsets['A'][0] = 0;
    gText_Set_Scale(1.0f);

    // Far-off positions are pinned to the 16-bit range.
    gText_Flush();
    gText_Add(1e6f, -1e6f, "A", 0, 0, 0, 255);
    EXPECT_EQ(Text_Batch.Positions[0][0], 32767);
    EXPECT_EQ(Text_Batch.Positions[0][1], -32768);
    gText_Flush();
}

TEST_F(Text, BatchFlushesWhenATextWouldNotFit) {
    gText_Select_Font(1);
    gText_Add(0, 0, std::string(100, 'x'), 0, 0, 0, 255);
    EXPECT_EQ(Text_Batch.Count, 100);
    EXPECT_EQ(Text_Flush_Count, 0);
    gText_Add(0, 30, std::string(4000, 'y'), 0, 0, 0, 255);
    EXPECT_EQ(Text_Flush_Count, 1);
    EXPECT_EQ(Text_Batch.Count, 4000);
    gText_Flush();
    EXPECT_EQ(Text_Batch.Count, 0);
    // Longer than the batch: drawn in batches, nothing lost.
    gText_Add(0, 0, std::string(5000, 'z'), 0, 0, 0, 255);
    EXPECT_EQ(Text_Flush_Count, 3);
    EXPECT_EQ(Text_Batch.Count, 5000 - TEXT_BATCH_QUADS);
    gText_Draw(0, 0, "ab", 0, 0, 0, 255);
    EXPECT_EQ(Text_Batch.Count, 0);
    EXPECT_EQ(Text_Flush_Count, 4);
}

}  // namespace
