// Placing, selecting, moving and clearing measurements; the three-point circle.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "measure/tools.h"
#include "platform/platform.h"
#include "platform/platform_test.h"
#include "support/test_support.h"
#include "platform/platform_null.h"

namespace {

void Open_Document(int64_t slot) {
    Jobs[slot].In_Use = 1;
    Allocate_Image(&Jobs[slot], 64, 48);
    Jobs[slot].Doc.PPMM = 50.0f;
}

Tool Line_Tool(float x1, float y1, float x2, float y2) { return Make_Tool(TOOL_LINE, x1, y1, x2, y2); }

std::string Read_Log() {
    Log_Flush();
    std::ifstream in(Log_File_Path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

class Tools : public ::testing::Test {
  protected:
    void SetUp() override {
        Null_Reset();
        Clear_Prompt_Script();
        Clear_Prompt_History();
        Reset_Jobs();
        Reset_Canvas_State();
        Open_Document(0);
        Make_Current_Job(0);
    }
    void TearDown() override { Log_Close(); }
};

TEST_F(Tools, AddToolDistanceAngleAndSelection) {
    struct Row {
        int64_t x1, y1, x2, y2;
        float distance, angle;
    } rows[] = {
        {10, 20, 110, 20, 100, 180},  // placed left to right
        {110, 20, 10, 20, 100, 0},    // right to left
        {0, 10, 0, 0, 10, 90},        // placed upwards
        {0, 0, 0, 10, 10, 270},       // downwards
        {0, 0, 3, 4, 5, 233.130102f},
        {-5, 7, -5, 7, 0, 0},         // zero length
    };
    ASSERT_TRUE(Log_Open(::testing::TempDir()));
    Open_Document(1);
    Make_Current_Job(1);
    Jobs[1].Doc.Tools.push_back(Line_Tool(1, 1, 2, 2));
    Jobs[1].Doc.Tools.back().Selected = 1;
    sMeasurement live = Canvas_View().Live_Measure;
    live.Scale_Start = 3.5f;
    live.Scale_End = 7.25f;
    Take_Live_Measure(live);
    size_t expected_count = 1;
    for (const Row& r : rows) {
        Add_Tool(TOOL_LINE, r.x1, r.y1, r.x2, r.y2, Manual_Tool_Colour);
        expected_count++;
        const std::vector<Tool>& tools = Jobs[1].Doc.Tools;
        ASSERT_EQ(tools.size(), expected_count);
        const Tool& t = tools.back();
        EXPECT_TRUE(t.X_Start == r.x1 && t.Y_Start == r.y1 && t.X_End == r.x2 && t.Y_End == r.y2);
        EXPECT_FLOAT_EQ(t.Distance, r.distance) << r.x1 << "," << r.y1 << " " << r.x2 << "," << r.y2;
        EXPECT_NEAR(t.Angle, r.angle, 1e-4) << r.x1 << "," << r.y1 << " " << r.x2 << "," << r.y2;
        EXPECT_EQ(t.Radius, 0.0f);
        EXPECT_EQ(t.Colour, Manual_Tool_Colour);
        EXPECT_EQ(t.Scale_Start, 3.5f);
        EXPECT_EQ(t.Scale_End, 7.25f);
        for (size_t i = 0; i + 1 < tools.size(); i++) EXPECT_EQ(tools[i].Selected, 0) << i;
        EXPECT_EQ(t.Selected, 1);
        EXPECT_EQ(Selected_Tool_Index(), (int64_t)tools.size() - 1);
    }
    EXPECT_EQ(Current_Job, 1);
    std::string log = Read_Log();
    EXPECT_EQ(Count(log, "Tool - FromX: 10, FromY: 20, ToX: 110, ToY: 20\r\n"), 1u);
    EXPECT_EQ(Count(log, "Tool - FromX: -5, FromY: 7, ToX: -5, ToY: 7\r\n"), 1u);
    EXPECT_EQ(Count(log, "Tool - "), 6u);
}

TEST_F(Tools, CircleRecordKeepsCentreAndRadius) {
    Open_Document(2);
    Make_Current_Job(2);
    Add_Tool(TOOL_CIRCLE, 50, 60, 25, 0, Automatic_Tool_Colour);
    ASSERT_EQ(Jobs[2].Doc.Tools.size(), 1u);
    const Tool& t = Jobs[2].Doc.Tools[0];
    EXPECT_EQ(t.Type, TOOL_CIRCLE);
    EXPECT_EQ(t.CentreX, 50.0f);
    EXPECT_EQ(t.CentreY, 60.0f);
    EXPECT_EQ(t.Radius, 25.0f);
    EXPECT_EQ(t.X_End, 25.0f);
    EXPECT_EQ(t.Y_End, 0.0f);
    EXPECT_FLOAT_EQ(t.Distance, 65.0f);
    EXPECT_EQ(t.Colour, Automatic_Tool_Colour);
}

TEST_F(Tools, LiveDocumentIsFrozenFirst) {
    for (int64_t s = 1; s <= 3; s++) Open_Document(s);
    Jobs[0].Doc.Tools.push_back(Line_Tool(1, 2, 3, 4));
    Jobs[0].Doc.Tools[0].Selected = 1;

    Add_Tool(TOOL_LINE, 10, 20, 110, 20, Manual_Tool_Colour);
    EXPECT_EQ(Current_Job, 4);
    EXPECT_EQ(Jobs[4].In_Use, 1);
    ASSERT_EQ(Jobs[4].Doc.Tools.size(), 2u);  // the live tool came along with the snapshot
    EXPECT_EQ(Jobs[4].Doc.Tools[0].Selected, 0);
    EXPECT_EQ(Jobs[4].Doc.Tools[1].Distance, 100.0f);
    EXPECT_EQ(Jobs[4].Doc.Tools[1].Selected, 1);
    ASSERT_EQ(Jobs[0].Doc.Tools.size(), 1u);
    EXPECT_EQ(Jobs[0].Doc.Tools[0].Selected, 1);
    for (int64_t s = 1; s <= 3; s++) EXPECT_TRUE(Jobs[s].Doc.Tools.empty()) << s;

    // A threshold note on the live document goes into a new snapshot too.
    Make_Current_Job(0);
    Add_Threshold_Note(37.5f);
    EXPECT_EQ(Current_Job, 5);
    ASSERT_EQ(Jobs[5].Doc.Tools.size(), 2u);
    const Tool& note = Jobs[5].Doc.Tools[1];
    EXPECT_EQ(note.Type, TOOL_THRESHOLD_NOTE);
    EXPECT_EQ(note.Distance, 37.5f);
    EXPECT_EQ(note.Selected, 0);
    EXPECT_EQ(note.X_Start, 0.0f);
    EXPECT_EQ(Selected_Tool_Index(), 0);  // the note does not take the selection
    EXPECT_EQ(Jobs[0].Doc.Tools.size(), 1u);
}

TEST_F(Tools, EightDocumentsOpenTheLiveDocumentTakesTheTool) {
    for (int64_t s = 1; s <= 8; s++) Open_Document(s);
    Add_Tool(TOOL_LINE, 0, 0, 10, 0, Manual_Tool_Colour);
    Add_Threshold_Note(12.0f);
    EXPECT_EQ(Current_Job, 0);
    ASSERT_EQ(Jobs[0].Doc.Tools.size(), 2u);
    EXPECT_EQ(Jobs[0].Doc.Tools[0].Distance, 10.0f);
    EXPECT_EQ(Jobs[0].Doc.Tools[1].Type, TOOL_THRESHOLD_NOTE);
    for (int64_t s = 1; s <= 8; s++) EXPECT_TRUE(Jobs[s].Doc.Tools.empty()) << s;
}

TEST_F(Tools, NothingHappensWithoutADocument) {
    Jobs[0].Doc.Tools.push_back(Line_Tool(10, 20, 110, 20));
    Jobs[0].Doc.Tools[0].Selected = 1;
    Make_Current_Job(-1);
    int64_t moves = Pointer_Moves_Total();
    Add_Tool(TOOL_LINE, 0, 0, 10, 0, Manual_Tool_Colour);
    Add_Threshold_Note(5.0f);
    Nudge_Selected(1, 0);
    Select_Tool(0);
    Script_Prompt(1);
    Clear_All_Measurements();
    EXPECT_EQ(Selected_Tool_Index(), -1);
    EXPECT_EQ(Current_Job, -1);
    EXPECT_EQ(Count_Open_Jobs(), 0);
    ASSERT_EQ(Jobs[0].Doc.Tools.size(), 1u);
    EXPECT_EQ(Jobs[0].Doc.Tools[0].X_Start, 10.0f);
    EXPECT_TRUE(Prompt_History().empty());
    EXPECT_EQ(Pointer_Moves_Total(), moves);
}

TEST_F(Tools, CircleThroughThreePoints) {
    struct Row {
        double x1, y1, x2, y2, x3, y3;
        bool circle;
        double cx, cy, r, tolerance;
    } rows[] = {
        {0, 10, 10, 0, 20, 10, true, 10, 10, 10, 1e-3},
        // vertical first chord counts as slope 0.00001: not the circumcircle (3.75, 5, 6.25)
        {0, 0, 0, 10, 10, 5, true, 0.000075, -2.49985, 9.1665, 1e-3},
        // the centre's y comes from the float32 centre x: 1000000.000075 is stored
        // as 1000000, which puts cy at 5 instead of -2.5
        {1000000, 0, 1000000, 10, 1000010, 5, true, 1000000, 5, 20.0 / 3.0, 1e-3},
        // both chords get slope 0.00001: no finite centre
        {0, 0, 10, 0, 10, 10, false, 0, 0, 0, 0},
        // collinear points
        {0, 0, 10, 10, 20, 20, false, 0, 0, 0, 0},
        {5, 5, 5, 5, 5, 5, false, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        float cx = -1, cy = -1, radius = -1;
        Circle_Through(r.x1, r.y1, r.x2, r.y2, r.x3, r.y3, &cx, &cy, &radius);
        bool circle = std::isfinite(radius) && radius > 0;
        EXPECT_EQ(circle, r.circle) << r.x1 << "," << r.y1 << " r=" << radius;
        if (!r.circle || !circle) continue;
        EXPECT_NEAR(cx, r.cx, r.tolerance) << r.x1 << "," << r.y1;
        EXPECT_NEAR(cy, r.cy, r.tolerance) << r.x1 << "," << r.y1;
        EXPECT_NEAR(radius, r.r, r.tolerance) << r.x1 << "," << r.y1;
    }
}

TEST_F(Tools, SelectToolIndexTable) {
    Open_Document(1);
    Make_Current_Job(1);
    for (int i = 0; i < 3; i++) Jobs[1].Doc.Tools.push_back(Line_Tool(i, 0, i + 1, 0));
    struct Row {
        int64_t select, expected;
    } rows[] = {{0, 0}, {2, 2}, {1, 1}, {3, -1}, {-1, -1}, {1, 1}};
    for (const Row& r : rows) {
        Select_Tool(r.select);
        EXPECT_EQ(Selected_Tool_Index(), r.expected) << r.select;
        int selected = 0;
        for (const Tool& t : Jobs[1].Doc.Tools) selected += t.Selected;
        EXPECT_EQ(selected, r.expected < 0 ? 0 : 1) << r.select;
    }
}

TEST_F(Tools, NudgeMovesOnlySelectedEndPoints) {
    Open_Document(1);
    Make_Current_Job(1);
    Add_Tool(TOOL_CIRCLE, 50, 60, 25, 0, Manual_Tool_Colour);
    Add_Tool(TOOL_LINE, 10, 20, 110, 20, Manual_Tool_Colour);
    int64_t moves = Pointer_Moves_Total();
    Nudge_Selected(1, 0);
    Nudge_Selected(1, 0);
    const Tool& line = Jobs[1].Doc.Tools[1];
    EXPECT_EQ(line.X_Start, 12.0f);
    EXPECT_EQ(line.Y_Start, 20.0f);
    EXPECT_EQ(line.X_End, 112.0f);
    EXPECT_EQ(line.Y_End, 20.0f);
    EXPECT_EQ(line.Distance, 100.0f);
    EXPECT_EQ(line.Angle, 180.0f);
    EXPECT_EQ(Pointer_Moves_Total() - moves, 2);
    const Tool& circle = Jobs[1].Doc.Tools[0];
    EXPECT_EQ(circle.X_Start, 50.0f);
    EXPECT_EQ(circle.CentreX, 50.0f);

    // A selected circle moves its stored points but keeps centre and radius.
    Select_Tool(0);
    Nudge_Selected(0, -1);
    EXPECT_EQ(circle.Y_Start, 59.0f);
    EXPECT_EQ(circle.Y_End, -1.0f);
    EXPECT_EQ(circle.CentreY, 60.0f);
    EXPECT_EQ(circle.Radius, 25.0f);
    EXPECT_EQ(line.Y_Start, 20.0f);
}

TEST_F(Tools, ClearAllAsksAndOnlyYesEmpties) {
    Open_Document(1);
    Make_Current_Job(1);
    Add_Tool(TOOL_LINE, 10, 20, 110, 20, Manual_Tool_Colour);
    Add_Tool(TOOL_LINE, 10, 20, 10, 90, Manual_Tool_Colour);
    Script_Prompt(0);
    Clear_All_Measurements();
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Clear all measurements...");
    EXPECT_EQ(Prompt_History()[0].Text, "Are you sure?");
    EXPECT_EQ(Prompt_History()[0].Flags & MSG_YES_NO, MSG_YES_NO);
    EXPECT_EQ(Jobs[1].Doc.Tools.size(), 2u);
    EXPECT_EQ(Selected_Tool_Index(), 1);

    Script_Prompt(1);
    Clear_All_Measurements();
    EXPECT_TRUE(Jobs[1].Doc.Tools.empty());
    EXPECT_EQ(Selected_Tool_Index(), -1);
    EXPECT_EQ(Jobs[0].Doc.Tools.size(), 0u);
}

}  // namespace
