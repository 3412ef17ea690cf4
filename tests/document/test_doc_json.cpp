#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "base/app_state.h"
#include "document/doc_json.h"
#include "document/doc_model.h"

namespace {

Doc_Info Known_Document() {
    Doc_Info d;
    d.Type = 3;
    d.Version = 7;
    d.Resolution.x = 2;
    d.Resolution.y = 1;
    d.PPMM = 0.1f;
    d.Processing.Name = std::string("q\"t\tc\x01\\");
    d.Processing.Mode = 3;
    d.Processing.Threshold_Cyan = 80;
    d.Processing.Threshold_Magenta = 81;
    d.Processing.Threshold_Yellow = 82;
    d.Processing.Threshold_Black = 255;
    d.Video_Settings.Name = "cam \xC3\xA9";
    d.Video_Settings.Gain = 0.5f;
    d.Video_Settings.Auto_Gain = 1.0f;
    d.Measure_Unit = 2;
    d.TimeStamp = 1733140800;
    d.Comment = "line\nbreak\r\b\f\x1f";
    d.ScaleValue = -3.75f;
    d.Measure.Angle = -0.0f;
    d.Measure.Distance = std::numeric_limits<float>::quiet_NaN();
    d.Measure.Hits = std::numeric_limits<float>::infinity();
    d.Measure.Area = FLT_MAX;
    d.Measure.Hit_Pixels = 12345678901LL;
    d.Measure.X_Start = 50;
    Tool t;
    t.Type = 0;
    t.X_Start = 1.25f;
    t.Y_Start = 100.5f;
    t.Colour = Pack_RGBA(255, 150, 90, 255);
    t.Selected = 1;
    t.Area = 5;  // only a blob writes its count
    d.Tools.push_back(t);
    Tool note;
    note.Type = 7;
    note.Distance = 12.34f;
    d.Tools.push_back(note);
    Tool blob;
    blob.Type = 6;
    blob.X_End = 30;
    blob.Area = 497;
    d.Tools.push_back(blob);
    blob.Area = 0;  // from a file that did not keep the count
    d.Tools.push_back(blob);
    d.Image_Buffer.assign(8, 200);
    return d;
}

const char* Zero_Video_Members_After_Device =
    "\"Brightness\":0,\"Contrast\":0,\"Hue\":0,\"Saturation\":0,\"Sharpness\":0,\"Gamma\":0,\"ColorEnable\":0,"
    "\"WhiteBalance\":0,\"BacklightCompensation\":0,";

TEST(DocJson, KnownDocumentIsWrittenByteForByte) {
    std::string expected =
        std::string("{\"Type\":3,\"Version\":7,\"Resolution\":{\"x\":2,\"y\":1},"
                    "\"PPMM\":0.100000001490116119384765625,\"Threshold_Percentage\":0,"
                    "\"Processing\":{\"Name\":\"q\\\"t\\tc\\u0001\\\\\",\"Mode\":3,\"Threshold_Cyan\":80,"
                    "\"Threshold_Magenta\":81,\"Threshold_Yellow\":82,\"Threshold_Black\":255,\"Use_HSVRange\":0},"
                    "\"Video_Settings\":{\"Name\":\"cam \xC3\xA9\",\"LoadedImage\":0,\"Device\":\"\",") +
        Zero_Video_Members_After_Device +
        "\"Gain\":0.5,\"Pan\":0,\"Tilt\":0,\"Roll\":0,\"Zoom\":0,\"Exposure\":0,\"Iris\":0,\"Focus\":0,\"Prop_Max\":0,"
        "\"Auto_Brightness\":0,\"Auto_Contrast\":0,\"Auto_Hue\":0,\"Auto_Saturation\":0,\"Auto_Sharpness\":0,"
        "\"Auto_Gamma\":0,\"Auto_ColorEnable\":0,\"Auto_WhiteBalance\":0,\"Auto_BacklightCompensation\":0,"
        "\"Auto_Gain\":1,\"Auto_Pan\":0,\"Auto_Tilt\":0,\"Auto_Roll\":0,\"Auto_Zoom\":0,\"Auto_Exposure\":0,"
        "\"Auto_Iris\":0,\"Auto_Focus\":0,\"Auto_Prop_Max\":0},"
        "\"Measure_Unit\":2,\"TimeStamp\":1733140800,\"Comment\":\"line\\nbreak\\r\\b\\f\\u001f\",\"Operator\":\"\","
        "\"ScaleValue\":-3.75,"
        "\"Measure\":{\"hfx\":0,\"hfy\":0,\"htx\":0,\"hty\":0,\"vfx\":0,\"vfy\":0,\"vtx\":0,\"vty\":0,\"cx\":0,"
        "\"cy\":0,\"w\":0,\"h\":0,\"Area\":3.4028234663852885981170418348452e+38,\"Radius\":0,\"Angle\":0,"
        "\"Distance\":null,\"Hits\":null,\"Hit_Pixels\":12345678901,\"Object\":0,\"X_Start\":50,\"Y_Start\":0,"
        "\"X_End\":0,\"Y_End\":0,\"Scale_Start\":0,\"Scale_End\":0},"
        "\"Tools\":[{\"Type\":0,\"Text\":\"\",\"X_Start\":1.25,\"Y_Start\":100.5,\"X_End\":0,\"Y_End\":0,"
        "\"CentreX\":0,\"CentreY\":0,\"Radius\":0,\"Angle\":0,\"Distance\":0,\"Scale_Start\":0,\"Scale_End\":0,"
        "\"Colour\":-10840321,\"Selected\":1},"
        "{\"Type\":7,\"Text\":\"\",\"X_Start\":0,\"Y_Start\":0,\"X_End\":0,\"Y_End\":0,\"CentreX\":0,\"CentreY\":0,"
        "\"Radius\":0,\"Angle\":0,\"Distance\":12.340000152587890625,\"Scale_Start\":0,\"Scale_End\":0,"
        "\"Colour\":0,\"Selected\":0},"
        "{\"Type\":6,\"Text\":\"\",\"X_Start\":0,\"Y_Start\":0,\"X_End\":30,\"Y_End\":0,\"CentreX\":0,\"CentreY\":0,"
        "\"Radius\":0,\"Angle\":0,\"Distance\":0,\"Scale_Start\":0,\"Scale_End\":0,\"Colour\":0,\"Selected\":0,"
        "\"Area\":497},"
        "{\"Type\":6,\"Text\":\"\",\"X_Start\":0,\"Y_Start\":0,\"X_End\":30,\"Y_End\":0,\"CentreX\":0,\"CentreY\":0,"
        "\"Radius\":0,\"Angle\":0,\"Distance\":0,\"Scale_Start\":0,\"Scale_End\":0,\"Colour\":0,\"Selected\":0}],"
        "\"Tool_Selected\":0,\"Image_Buffer\":0}";
    EXPECT_EQ(Doc_To_Json(Known_Document()), expected);
}

TEST(DocJson, NumbersAndStrings) {
    EXPECT_EQ(Json_Number(-2.5f), "-2.5");
    EXPECT_EQ(Json_Number(16777216.0f), "16777216");
    EXPECT_EQ(Json_Number(-std::numeric_limits<float>::infinity()), "null");
    // NUL and the other low controls escaped; slash and DEL as themselves.
    EXPECT_EQ(Json_String(std::string("\x00\x07/\x7f", 4)), "\"\\u0000\\u0007/\x7f\"");
}

TEST(DocJson, ReaderClearsIgnoresAndChecksTypes) {
    // Members absent, unknown, of the wrong type or out of their field's range
    // leave the field zero; the rest is read.
    const char* text =
        "{\"PPMM\":12.5,\"Unknown\":{\"x\":1},\"Measure_Unit\":\"2\",\"TimeStamp\":1.5,"
        "\"Processing\":{\"Mode\":300,\"Threshold_Cyan\":-1,\"Threshold_Black\":9,\"Name\":5},"
        "\"Resolution\":[1,2],\"Comment\":null,\"ScaleValue\":1e300,\"Type\":18446744073709551615,"
        "\"Tools\":[1,{\"Type\":5,\"Radius\":3,\"Colour\":4294967295,\"Selected\":2},\"x\",{\"Colour\":1.5}],"
        "\"Measure\":{\"Hits\":true,\"w\":7}}";
    Doc_Info d = Known_Document();  // everything must be cleared first
    ASSERT_TRUE(Json_To_Doc(text, &d));
    EXPECT_EQ(d.PPMM, 12.5f);
    EXPECT_EQ(d.Measure_Unit, 0);
    EXPECT_EQ(d.TimeStamp, 0);
    EXPECT_EQ(d.Processing.Mode, 0);
    EXPECT_EQ(d.Processing.Threshold_Cyan, 0);
    EXPECT_EQ(d.Processing.Threshold_Black, 9);
    EXPECT_EQ(d.Processing.Name, "");
    EXPECT_EQ(d.Resolution.x, 0);
    EXPECT_EQ(d.ScaleValue, 0.0f);
    EXPECT_EQ(d.Type, 0);
    EXPECT_EQ(d.Version, 0);  // absent
    EXPECT_EQ(d.Video_Settings.Name, "");
    EXPECT_EQ(d.Measure.Hits, 0.0f);
    EXPECT_EQ(d.Measure.w, 7.0f);
    ASSERT_EQ(d.Tools.size(), 2u);
    EXPECT_EQ(d.Tools[0].Type, 5);
    EXPECT_EQ(d.Tools[0].Radius, 3.0f);
    EXPECT_EQ(d.Tools[0].Colour, -1);
    EXPECT_EQ(d.Tools[0].Selected, 2);
    EXPECT_EQ(d.Tools[1].Colour, 0);

}

// The blob's pixel count: read for blobs only, from an integer of 1 or more
// (an integral float too); anything else is a blob without a count.
TEST(DocJson, BlobPixelCountMember) {
    struct Case {
        const char* tool;
        int64_t area;
    } cases[] = {
        {"\"Type\":6,\"Area\":497", 497},
        {"\"Area\":966.0,\"Type\":6", 966},  // member order does not matter
        {"\"Type\":6", 0},
        {"\"Type\":6,\"Area\":0", 0},
        {"\"Type\":6,\"Area\":-3", 0},
        {"\"Type\":6,\"Area\":2.5", 0},
        {"\"Type\":6,\"Area\":\"497\"", 0},
        {"\"Type\":6,\"Area\":null", 0},
        {"\"Type\":4,\"Area\":497", 0},  // a box is its W x H
        {"\"Type\":0,\"Area\":497", 0},
    };
    for (const Case& c : cases) {
        Doc_Info d;
        std::string text = std::string("{\"Tools\":[{") + c.tool + "}]}";
        ASSERT_TRUE(Json_To_Doc(text, &d)) << text;
        ASSERT_EQ(d.Tools.size(), 1u);
        EXPECT_EQ(d.Tools[0].Area, c.area) << text;
    }
    // Written and read back, the count survives; the known document's four
    // tools come back with theirs (the line's stray count is not written).
    Doc_Info back;
    ASSERT_TRUE(Json_To_Doc(Doc_To_Json(Known_Document()), &back));
    ASSERT_EQ(back.Tools.size(), 4u);
    EXPECT_EQ(back.Tools[0].Area, 0);
    EXPECT_EQ(back.Tools[2].Area, 497);
    EXPECT_EQ(back.Tools[3].Area, 0);
}

// "Bright objects" is an added member of "Processing": written only when set,
// read as off when absent, and anything but 0 or 1 counts as off or on.
TEST(DocJson, BrightObjectsMember) {
    struct Case {
        const char* processing;
        uint8_t bright;
    } cases[] = {{"\"Mode\":2", 0}, {"\"Mode\":2,\"Bright\":1", 1}, {"\"Bright\":0", 0}, {"\"Bright\":7", 1}};
    for (const Case& c : cases) {
        Doc_Info d;
        std::string text = std::string("{\"Processing\":{") + c.processing + "}}";
        ASSERT_TRUE(Json_To_Doc(text, &d)) << text;
        EXPECT_EQ(d.Processing.Bright, c.bright) << text;
    }
    Doc_Info doc = Known_Document();
    EXPECT_EQ(Doc_To_Json(doc).find("\"Bright\""), std::string::npos);
    doc.Processing.Bright = 1;
    const std::string text = Doc_To_Json(doc);
    EXPECT_NE(text.find("\"Use_HSVRange\":0,\"Bright\":1}"), std::string::npos) << text;
    Doc_Info back;
    ASSERT_TRUE(Json_To_Doc(text, &back));
    EXPECT_EQ(back.Processing.Bright, 1);
}

// Writers that print every number as a float: an integral value in the
// field's range is that integer, anything else leaves the field zero.
TEST(DocJson, IntegerFieldsTakeIntegralFloats) {
    struct Case {
        std::string member;  // inside the first tool unless it starts with '!'
        int64_t Doc_Info::*top;
        int64_t tool_type, colour, selected, value;
    } cases[] = {
        {"\"Type\":5.0", nullptr, 5, 0, 0, 0},
        {"\"Type\":5.5", nullptr, 0, 0, 0, 0},
        {"\"Type\":-0.0", nullptr, 0, 0, 0, 0},
        {"\"Type\":1e300", nullptr, 0, 0, 0, 0},
        {"\"Colour\":4294967295.0", nullptr, 0, -1, 0, 0},
        {"\"Colour\":-2147483648.0", nullptr, 0, INT32_MIN, 0, 0},
        {"\"Colour\":4294967296.0", nullptr, 0, 0, 0, 0},
        {"\"Colour\":16711680.0", nullptr, 0, 16711680, 0, 0},
        {"\"Selected\":1E0", nullptr, 0, 0, 1, 0},
        {"\"Selected\":256.0", nullptr, 0, 0, 0, 0},
        {"!\"Measure_Unit\":4.0", &Doc_Info::Measure_Unit, 0, 0, 0, 4},
        {"!\"TimeStamp\":1733140800.0", &Doc_Info::TimeStamp, 0, 0, 0, 1733140800},
        {"!\"TimeStamp\":-9223372036854775808.0", &Doc_Info::TimeStamp, 0, 0, 0, INT64_MIN},
        {"!\"TimeStamp\":9223372036854775808.0", &Doc_Info::TimeStamp, 0, 0, 0, 0},  // 2^63
        {"!\"TimeStamp\":9223372036854774784.0", &Doc_Info::TimeStamp, 0, 0, 0, 9223372036854774784},
        {"!\"Version\":1e30", &Doc_Info::Version, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        bool top = c.member[0] == '!';
        std::string text = top ? "{" + c.member.substr(1) + ",\"Tools\":[{}]}" : "{\"Tools\":[{" + c.member + "}]}";
        Doc_Info d = Known_Document();
        ASSERT_TRUE(Json_To_Doc(text, &d)) << text;
        ASSERT_EQ(d.Tools.size(), 1u) << text;
        EXPECT_EQ(d.Tools[0].Type, c.tool_type) << text;
        EXPECT_EQ(d.Tools[0].Colour, c.colour) << text;
        EXPECT_EQ(d.Tools[0].Selected, c.selected) << text;
        if (top) {
            EXPECT_EQ(d.*c.top, c.value) << text;
        }
    }
    // Narrow fields check their own range: uint8 Mode, int32 Resolution.
    Doc_Info d;
    ASSERT_TRUE(Json_To_Doc("{\"Processing\":{\"Mode\":3.0,\"Threshold_Cyan\":255.0,\"Threshold_Black\":-1.0},"
                            "\"Resolution\":{\"x\":2147483647.0,\"y\":2147483648.0}}",
                            &d));
    EXPECT_EQ(d.Processing.Mode * 1000 + d.Processing.Threshold_Cyan, 3255);
    EXPECT_EQ(d.Processing.Threshold_Black, 0);
    EXPECT_EQ(d.Resolution.x, INT32_MAX);
    EXPECT_EQ(d.Resolution.y, 0);
}

TEST(DocJson, ADocumentHoldsAtMostTheToolLimit) {
    for (size_t count : {MAX_DOCUMENT_TOOLS, MAX_DOCUMENT_TOOLS + 1}) {
        std::string text = "{\"Tools\":[";
        for (size_t i = 0; i < count; i++) text += i ? ",{}" : "{}";
        text += ",1]}";  // a stray value does not count
        Doc_Info d;
        d.PPMM = 42;
        EXPECT_EQ(Json_To_Doc(text, &d), count == MAX_DOCUMENT_TOOLS) << count;
        EXPECT_EQ(d.Tools.size(), count == MAX_DOCUMENT_TOOLS ? count : 0u);
        EXPECT_EQ(d.PPMM, count == MAX_DOCUMENT_TOOLS ? 0.0f : 42.0f) << "a refused text leaves the record";
    }
}

TEST(DocJson, InvalidTextIsRefusedAndLeavesTheRecord) {
    const char* bad[] = {"", "{", "[]", "3", "null", "{\"PPMM\":1,}", "{\"a\":\"\xff\"}", "{} {}",
                         "\xEF\xBB\xBF{\"PPMM\":1}x"};
    for (const char* text : bad) {
        Doc_Info d;
        d.PPMM = 42;
        EXPECT_FALSE(Json_To_Doc(text, &d)) << text;
        EXPECT_EQ(d.PPMM, 42.0f);
        Video_Settings v;
        v.Gain = 0.25f;
        EXPECT_FALSE(Json_To_Video_Settings(text, &v)) << text;
        EXPECT_EQ(v.Gain, 0.25f);
    }
}

}  // namespace
