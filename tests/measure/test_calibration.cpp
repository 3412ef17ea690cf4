#include <gtest/gtest.h>

#include "base/app_state.h"
#include "app/prefs.h"
#include "measure/readouts.h"
#include "measure/calibration.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"

namespace {

// Types `Typed` into the dialog's actual-distance field, then presses OK (or Cancel).
struct Dialog_Script {
    std::string Typed;
    bool Press_Ok = true;
    int Step = 0;
    bool Ok_Was_Enabled = false;
    bool Opened = false;
    std::string Measured_Text, Unit_Text;
};

void Dialog_Hook(void* user) {
    Dialog_Script* s = (Dialog_Script*)user;
    if (!Window_Exists(WINDOW_CALIBRATION)) return;
    Platform_Event e;
    e.Window = WINDOW_CALIBRATION;
    e.Kind = EVENT_CONTROL;
    e.Type = ETYPE_CHANGE;
    if (s->Step == 0) {
        s->Opened = true;
        s->Measured_Text = Get_Text(CTL_CAL_MEASURED);
        s->Unit_Text = Get_Text(CTL_CAL_ACTUAL_UNIT);
        EXPECT_TRUE(Control_Disabled(CTL_CAL_OK));
        Set_Text(CTL_CAL_ACTUAL, s->Typed);
        e.Control = CTL_CAL_ACTUAL;
        Post_Event(e);
    } else if (s->Step == 1) {
        s->Ok_Was_Enabled = !Control_Disabled(CTL_CAL_OK);
        e.Control = s->Press_Ok && s->Ok_Was_Enabled ? CTL_CAL_OK : CTL_CAL_CANCEL;
        Post_Event(e);
    }
    s->Step++;
}

class Calibration : public ::testing::Test {
protected:
    Temp_Folder folder;
    void SetUp() override {
        Fresh_Main_Window();
        Data_Folder = folder.Path + "/";
        Make_Document(0, 640, 480, 50);
        Make_Document(1, 640, 480, 50);
        Make_Document(2, 640, 480, 80);
        Current_Job = 1;
    }
    void TearDown() override { Set_Idle_Hook(nullptr, nullptr); }

    Dialog_Script Run(const Tool& tool, int64_t unit, const std::string& typed, bool ok = true) {
        Jobs[1].Doc.Tools = {tool};
        Rebuild_Measurement_List();
        Set_State(CTL_MEASURE_LIST, 0);
        Set_State(CTL_UNIT_LIST, unit);
        Dialog_Script script;
        script.Typed = typed;
        script.Press_Ok = ok;
        Set_Idle_Hook(Dialog_Hook, &script);
        Calibrate();
        Set_Idle_Hook(nullptr, nullptr);
        return script;
    }
};

Tool Line(float distance) {
    Tool t;
    t.Type = TOOL_LINE;
    t.X_End = distance;
    t.Distance = distance;
    return t;
}

TEST_F(Calibration, New_Calibration_From_A_Known_Length) {
    struct Case {
        float distance;
        int64_t unit;
        const char* typed;
        float ppmm;
    };
    const Case cases[] = {
        {200.4f, 2, "2", 100.0f},                          // 200 px are 2 mm
        {200.4f, 1, "10", (float)(1000.0 / 254.0 * 200)},  // 10 thou = 254 um
        {200.4f, 2, "-5", 2.0f},                           // a negative length counts as 100 mm
        {200.4f, 2, "250000", 0.002f},                     // at most 100000 mm
        {200.4f, 0, "2000", 100.0f},
        {200.4f, 3, "0.5", (float)(1000.0 / 12700.0 * 200)},
    };
    for (const Case& c : cases) {
        Clear_Prompt_History();
        Dialog_Script s = Run(Line(c.distance), c.unit, c.typed);
        EXPECT_TRUE(s.Ok_Was_Enabled) << c.typed;
        for (int slot : {0, 1, 2}) EXPECT_FLOAT_EQ(Jobs[slot].Doc.PPMM, c.ppmm) << c.typed << " slot " << slot;
        EXPECT_EQ(Last_Prompt_Text(), "Info / Calibration complete");
    }
    EXPECT_NE(Read_Whole_File(Prefs_Path()).find("PPMM = 15.748032\r\n"), std::string::npos);
}

TEST_F(Calibration, Dialog_Shows_The_Measured_Length_And_Unit) {
    Dialog_Script s = Run(Line(200.4f), 1, "0", false);
    EXPECT_TRUE(s.Opened);
    EXPECT_FALSE(s.Ok_Was_Enabled);  // a typed 0 keeps OK disabled
    EXPECT_EQ(s.Measured_Text, "157.48");
    EXPECT_EQ(s.Unit_Text, "thou");
    EXPECT_FLOAT_EQ(Jobs[1].Doc.PPMM, 50);  // cancelled: nothing changes
}

TEST_F(Calibration, Circles_Use_Their_Radius_And_Other_Kinds_Open_No_Dialog) {
    Tool circle;
    circle.Type = TOOL_CIRCLE;
    circle.Radius = 49.5f;
    Run(circle, 2, "1");
    EXPECT_FLOAT_EQ(Jobs[1].Doc.PPMM, 50.0f);  // 50 px (radius, halves to even) are 1 mm

    for (int64_t type : {TOOL_BOX, TOOL_BLOB, TOOL_THRESHOLD_NOTE}) {
        Tool t;
        t.Type = type;
        t.X_End = 300;
        t.Distance = 300;
        Dialog_Script s = Run(t, 2, "1");
        EXPECT_FALSE(s.Opened) << type;
    }
    Dialog_Script tiny = Run(Line(0.4f), 2, "1");
    EXPECT_FALSE(tiny.Opened);
}

TEST(Calibration_Math, Leading_Number) {
    EXPECT_DOUBLE_EQ(Leading_Number("2.5mm"), 2.5);
    EXPECT_DOUBLE_EQ(Leading_Number("abc"), 0);
    EXPECT_DOUBLE_EQ(Leading_Number(""), 0);
    EXPECT_DOUBLE_EQ(Leading_Number("-5"), -5);
}

}  // namespace
