#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

#include "app/dispatch.h"
#include "base/app_state.h"
#include "measure/overlay.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "measure/results_table.h"
#include "measure/tools.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"

namespace {

class Readouts : public ::testing::Test {
protected:
    void SetUp() override { Fresh_Main_Window(); }
};

TEST_F(Readouts, Row_Texts_By_Kind) {
    struct Case {
        Tool tool;
        float ppmm;
        int64_t unit;
        std::string row;
    };
    Tool circle = Make_Tool(TOOL_CIRCLE, 50, 60, 25, 0);
    circle.Radius = 25;
    // Two nuclei of 497 and 966 pixels at 0.2 um a pixel: the area is the
    // pixel count, not the 27.84 / 51.84 um2 of their boxes.
    Tool nucleus = Make_Tool(TOOL_BLOB, 100, 100, 129, 124), big = Make_Tool(TOOL_BLOB, 0, 0, 36, 36);
    nucleus.Area = 497;
    big.Area = 966;
    Tool counted_box = Make_Tool(TOOL_BOX, 0, 0, 20, 10);
    counted_box.Area = 7;  // a box never reads the count
    const Case cases[] = {
        {Make_Tool(TOOL_LINE, 10, 20, 110, 20, 100, 180), 50, 2, "1:0:M\nW: 2mm"},
        {Make_Tool(TOOL_LINE, 10, 20, 10, 70, 50, 90), 50, 2, "1:0:M\nH: 1mm"},
        {Make_Tool(TOOL_LINE, 0, 0, 30, 40, 50, 233.13f), 10, 2, "1:0:M\nW: 3mm\nH: 4mm\nL: 5mm\nA: 233.1deg"},
        {Make_Tool(TOOL_LINE, 5, 5, 5, 5, 0, 0), 10, 2, "1:0:M\nW: 0mm\nH: 0mm\nL: 0mm"},
        {Make_Tool(TOOL_BOX, 0, 0, 20, 10), 10, 2, "1:0:B\nW: 2mm\nH: 1mm\na: 2mm\xC2\xB2"},
        {Make_Tool(TOOL_BOX, 0, 0, 20, 10), 10, 4, "1:0:B\nW: 20px\nH: 10px\na: 200px\xC2\xB2"},
        {Make_Tool(TOOL_BLOB, 30, 30, 10, 20), 10, 2, "1:0:L\nW: 2mm\nH: 1mm\na: 2mm\xC2\xB2"},
        {nucleus, 5000, 0, "1:0:L\nW: 5.80um\nH: 4.80um\na: 19.88um\xC2\xB2"},
        {big, 5000, 0, "1:0:L\nW: 7.20um\nH: 7.20um\na: 38.64um\xC2\xB2"},
        {nucleus, 5000, 4, "1:0:L\nW: 29px\nH: 24px\na: 497px\xC2\xB2"},
        {nucleus, 10, 3, "1:0:L\nW: 0.11inch\nH: 0.09inch\na: 0.01inch\xC2\xB2"},
        {counted_box, 10, 2, "1:0:B\nW: 2mm\nH: 1mm\na: 2mm\xC2\xB2"},
        {circle, 10, 2, "1:0:C\nR: 2.50mm"},
        {Make_Tool(TOOL_WIDTH, 0, 0, 49, 0, 49), 10, 2, "1:0:W\n4.90mm"},
        {Make_Tool(TOOL_THRESHOLD_NOTE, 0, 0, 0, 0, 12.34f), 10, 2, "1:0:\nThreshold\n12.3%"},
    };
    for (const Case& c : cases) {
        Set_State(CTL_UNIT_LIST, c.unit);
        Settings_From_Widgets();
        EXPECT_EQ(Measurement_Row_Text(1, 0, c.tool, c.ppmm), c.row);
    }
}

// The labels on the picture use the live calibration (100 px/mm, microns here).
TEST_F(Readouts, Picture_Labels_Of_Boxes_And_Blobs) {
    Tool blob = Make_Tool(TOOL_BLOB, 0, 0, 30, 20), box = Make_Tool(TOOL_BOX, 0, 0, 30, 20);
    const std::string um2 = "um\xC2\xB2";
    Set_State(CTL_UNIT_LIST, 0);
    Settings_From_Widgets();
    EXPECT_EQ(Tool_Label_Text(blob, 2), "2: 60000.00" + um2);  // no count: the box
    EXPECT_EQ(Tool_Label_Text(box, 0), "0: 300 x 200um");
    blob.Area = 497;
    box.Area = 497;
    EXPECT_EQ(Tool_Label_Text(blob, 2), "2: 49700.00" + um2);
    EXPECT_EQ(Tool_Label_Text(box, 0), "0: 300 x 200um");
}

TEST_F(Readouts, List_Groups_Rows_By_Document_And_Skips_The_Live_One) {
    Make_Document(0, 10, 10);
    Make_Document(1, 10, 10, 50);
    Make_Document(3, 10, 10, 50);
    Jobs[0].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 100, 0, 100));
    Jobs[3].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 100, 0, 100));
    Jobs[1].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 50, 0, 50));
    Jobs[1].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 150, 0, 150));
    Rebuild_Measurement_List();
    ASSERT_EQ(Row_Count(CTL_MEASURE_LIST), 3);
    EXPECT_EQ(Get_Cell_Text(CTL_MEASURE_LIST, 0, 0), "1:0:M");
    EXPECT_EQ(Get_Cell_Text(CTL_MEASURE_LIST, 1, 0), "1:1:M");
    EXPECT_EQ(Get_Cell_Text(CTL_MEASURE_LIST, 2, 0), "3:0:M");
    EXPECT_EQ(Get_Row_Data(CTL_MEASURE_LIST, 2), 3);

    Jobs[1].In_Use = 0;
    Rebuild_Measurement_List();
    ASSERT_EQ(Row_Count(CTL_MEASURE_LIST), 1);
    EXPECT_EQ(Get_Cell_Text(CTL_MEASURE_LIST, 0, 0), "3:0:M");
}

TEST_F(Readouts, Delete_Removes_The_Selected_Rows_Tool) {
    Make_Document(2, 10, 10);
    for (float d : {10.0f, 20.0f, 30.0f}) Jobs[2].Doc.Tools.push_back(Make_Tool(TOOL_WIDTH, 0, 0, d, 0, d));
    Rebuild_Measurement_List();
    Delete_Selected_Measurement();  // nothing selected
    EXPECT_EQ(Jobs[2].Doc.Tools.size(), 3u);
    Set_State(CTL_MEASURE_LIST, 1);
    Delete_Selected_Measurement();
    ASSERT_EQ(Jobs[2].Doc.Tools.size(), 2u);
    EXPECT_FLOAT_EQ(Jobs[2].Doc.Tools[0].Distance, 10);
    EXPECT_FLOAT_EQ(Jobs[2].Doc.Tools[1].Distance, 30);
    EXPECT_EQ(Row_Count(CTL_MEASURE_LIST), 2);
}

TEST_F(Readouts, Parse_Id) {
    int64_t s = -1, p = -1;
    EXPECT_TRUE(Parse_Measurement_Id("2:0:M", &s, &p));
    EXPECT_EQ(s, 2);
    EXPECT_EQ(p, 0);
    EXPECT_TRUE(Parse_Measurement_Id("8:12:", &s, &p));
    EXPECT_EQ(p, 12);
    for (const char* bad : {"", "2", "2:", ":0:M", "2::M", "x:1:M", "2:y:M"})
        EXPECT_FALSE(Parse_Measurement_Id(bad, &s, &p)) << bad;
}

TEST_F(Readouts, Readout_Texts) {
    Refresh_Readouts(true);
    EXPECT_EQ(Readout_Texts[0], "0.0");
    EXPECT_EQ(Readout_Texts[3], "0.0");
    EXPECT_EQ(Readout_Texts[4], "0.0");
    EXPECT_EQ(Readout_Texts[5], "N.A.");

    Make_Document(1, 10, 10, 10);
    Make_Current_Job(1);
    sMeasurement& m = Jobs[1].Doc.Measure;
    m.Hits = 12.5f;
    m.Distance = 50;
    m.X_Start = 0;
    m.Y_Start = 0;
    m.X_End = 0;
    m.Y_End = -10;  // straight up: 270 degrees with y downwards
    Stage_Position = 300;
    Stage_Zero = 100;  // 200 px at the live 100 px/mm
    Refresh_Readouts(true);
    EXPECT_EQ(Readout_Texts[0], "2");
    EXPECT_EQ(Readout_Texts[1], "");
    EXPECT_EQ(Readout_Texts[3], "5");
    EXPECT_EQ(Readout_Texts[4], "270.0");
    EXPECT_EQ(Readout_Texts[5], "12.5%");
    Set_State(CTL_PLUS_MINUS, 1);
    Settings_From_Widgets();
    Refresh_Readouts(true);
    EXPECT_EQ(Readout_Texts[5], "87.5%");
}

}  // namespace
