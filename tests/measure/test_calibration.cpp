#include <gtest/gtest.h>

#include <unistd.h>

#include "app/calibration_panel.h"
#include "app/dispatch.h"
#include "base/app_state.h"
#include "app/main_loop.h"
#include "app/prefs.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "measure/calibration.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"

namespace {

// Types `Typed` into the dialog's actual-distance field, then presses OK (or Cancel).
struct Dialog_Script {
    std::string Typed;
    std::string Save_As;  // typed into "Save as:" (empty: left empty)
    bool Press_Ok = true;
    int Step = 0;
    bool Ok_Was_Enabled = false;
    bool Opened = false;
    std::string Measured_Text, Unit_Text;
    bool Has_Note = false;
    std::string Note_Text;
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
        s->Has_Note = Control_Exists(CTL_CAL_NOTE);
        if (s->Has_Note) s->Note_Text = Get_Text(CTL_CAL_NOTE);
        EXPECT_TRUE(Control_Disabled(CTL_CAL_OK));
        Set_Text(CTL_CAL_ACTUAL, s->Typed);
        if (!s->Save_As.empty()) Set_Text(CTL_CAL_SAVE_AS, s->Save_As);
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
        Program_Names.Data_Folder = folder.Path + "/";
        Make_Document(0, 640, 480, 50);
        Make_Document(1, 640, 480, 50);
        Make_Document(2, 640, 480, 80);
        Make_Current_Job(1);
    }
    void TearDown() override { Set_Idle_Hook(nullptr, nullptr); }

    Dialog_Script Run(const Tool& tool, int64_t unit, const std::string& typed, bool ok = true,
                      const std::string& save_as = "") {
        Jobs[1].Doc.Tools = {tool};
        Rebuild_Measurement_List();
        Set_State(CTL_MEASURE_LIST, 0);
        Set_State(CTL_UNIT_LIST, unit);
        Settings_From_Widgets();
        Dialog_Script script;
        script.Typed = typed;
        script.Press_Ok = ok;
        script.Save_As = save_as;
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
        {200.4f, 2, "250000", 0.002f},                     // at most 100000 mm
        {200.4f, 2, " 4e-1 ", 500.0f},
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
    Update_Windows();
    EXPECT_NE(Read_Whole_File(Prefs_Path()).find("PPMM = 15.748032\r\n"), std::string::npos);
}

TEST_F(Calibration, Dialog_Shows_The_Measured_Length_And_Unit) {
    Dialog_Script s = Run(Line(200.4f), 1, "0", false);
    EXPECT_TRUE(s.Opened);
    EXPECT_FALSE(s.Ok_Was_Enabled);  // a typed 0 keeps OK disabled
    EXPECT_EQ(s.Measured_Text, "157.48");
    EXPECT_EQ(s.Unit_Text, "thou");
    EXPECT_FALSE(s.Has_Note) << "a line's length needs no explanation";
    EXPECT_FLOAT_EQ(Jobs[1].Doc.PPMM, 50);  // cancelled: nothing changes

    // Whatever is not a number above 0 keeps OK disabled through the dialog too.
    for (const char* typed : {"-5", "1e999", "2mm"}) {
        Clear_Prompt_History();
        Dialog_Script bad = Run(Line(200.4f), 2, typed);
        EXPECT_FALSE(bad.Ok_Was_Enabled) << typed;
        EXPECT_FLOAT_EQ(Jobs[1].Doc.PPMM, 50) << typed;
        EXPECT_TRUE(Prompt_History().empty()) << typed;
    }
}

TEST_F(Calibration, Circles_Use_Their_Radius_And_Other_Kinds_Open_No_Dialog) {
    Tool circle;
    circle.Type = TOOL_CIRCLE;
    circle.Radius = 49.5f;
    Dialog_Script round = Run(circle, 2, "1");
    EXPECT_FLOAT_EQ(Jobs[1].Doc.PPMM, 50.0f);  // 50 px (radius, halves to even) are 1 mm
    EXPECT_EQ(round.Note_Text, "The circle's radius");

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

// The list file: a round trip through the exact text, files that cannot be
// used, and names given twice.
TEST_F(Calibration, Named_Calibrations_File) {
    // Entries of unknown width are written as before widths were kept.
    std::vector<Named_Calibration> list = {{"4x", 39.5f}, {"10x \"oil\"", 787.4016f, 2592}, {"40x", 0.1f}};
    std::string text = Calibration_List_Text(list, true);
    EXPECT_EQ(text,
              "{\"Calibrated\":1,\"Calibrations\":[{\"Name\":\"4x\",\"PPMM\":39.5},{\"Name\":\"10x \\\"oil\\\"\","
              "\"PPMM\":787.401611328125,\"Width\":2592},{\"Name\":\"40x\",\"PPMM\":0.100000001490116119384765625}]}\n");
    std::vector<Named_Calibration> back;
    bool calibrated = false;
    ASSERT_TRUE(Parse_Calibration_List(text, &back, &calibrated));
    EXPECT_TRUE(calibrated);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(back[i].Name, list[i].Name);
        EXPECT_EQ(back[i].PPMM, list[i].PPMM) << "bit for bit";
        EXPECT_EQ(back[i].Width, list[i].Width);
    }
    EXPECT_EQ(Calibration_List_Text(back, true), text);

    struct Case {
        const char* what;
        std::string file;       // written as calibrations.json ("<folder>": a folder of that name)
        bool warned;            // one warning at load
        std::vector<std::string> names;
        bool made;              // a calibration counts as made
        const char* warning_says = "";
    };
    const Case cases[] = {
        {"missing", "", false, {}, false},
        {"not JSON", "{\"Calibrations\":[", true, {}, false},
        {"an array", "[1,2]", true, {}, false},
        {"list not an array", "{\"Calibrations\":{}}", true, {}, false},
        {"a folder", "<folder>", true, {}, false},
        {"empty list, made", "{\"Calibrated\":1,\"Calibrations\":[]}", false, {}, true},
        {"bad entries skipped",
         "{\"Calibrations\":[{\"Name\":\"\",\"PPMM\":5},{\"Name\":\"a\",\"PPMM\":0},{\"Name\":\"b\",\"PPMM\":-1},"
         "{\"Name\":\"c\",\"PPMM\":\"7\"},{\"Name\":3,\"PPMM\":7},7,{\"Name\":\"  ok \\u0007\",\"PPMM\":7}]}",
         true, {"ok"}, true, "6 entries"},
        {"a value no float holds, a long name cut at a character",
         "{\"Calibrations\":[{\"Name\":\"t\",\"PPMM\":1e-50},{\"Name\":\"h\",\"PPMM\":1e300},{\"Name\":\"" +
             std::string(63, 'n') + "\u00e9\u00e9\",\"PPMM\":2}]}",
         true, {std::string(63, 'n')}, true},
        {"only the range picture files may carry",
         "{\"Calibrations\":[{\"Name\":\"tiny\",\"PPMM\":1e-30},{\"Name\":\"least\",\"PPMM\":0.001},"
         "{\"Name\":\"under\",\"PPMM\":0.000999},{\"Name\":\"top\",\"PPMM\":1e8},{\"Name\":\"big\",\"PPMM\":5e7}]}",
         true, {"least", "big"}, true},
        {"a number past a double costs its entry only",
         "{\"Calibrations\":[{\"Name\":\"a\",\"PPMM\":1e999},{\"Name\":\"x 1e999\\\"\",\"PPMM\":5},"
         "{\"Name\":\"d\",\"PPMM\":" + std::string(400, '9') + "},{\"Name\":\"e\",\"PPMM\":-1E+999}]}",
         true, {"x 1e999\""}, true, "pixels: a, d, e."},
        {"bidirectional controls removed from names",
         "{\"Calibrations\":[{\"Name\":\"\\u202eli\\u200fv\\u2066\\u2069e\\u061c\\u200e\\u202a\",\"PPMM\":5},"
         "{\"Name\":\"\\u202b\\u202c\\u202d\\u2067\\u2068\",\"PPMM\":6},{\"Name\":\"\\u2065\\u2029\\u202f\\u200d\\u061b\u00e9\",\"PPMM\":7}]}",
         true, {"live", "\u2065\u2029\u202f\u200d\u061b\u00e9"}, true},
        {"picture widths: whole pixels up to the largest picture, or none",
         "{\"Calibrations\":[{\"Name\":\"none\",\"PPMM\":5,\"Width\":0},{\"Name\":\"edge\",\"PPMM\":5,\"Width\":16384},"
         "{\"Name\":\"past\",\"PPMM\":5,\"Width\":16385},{\"Name\":\"minus\",\"PPMM\":5,\"Width\":-640},"
         "{\"Name\":\"half\",\"PPMM\":5,\"Width\":640.5},{\"Name\":\"text\",\"PPMM\":5,\"Width\":\"640\"},"
         "{\"Name\":\"huge\",\"PPMM\":5,\"Width\":1e999}]}",
         true, {"none", "edge"}, true, "5 entries"},
        {"duplicate name keeps the first", "{\"Calibrations\":[{\"Name\":\"10x\",\"PPMM\":5},{\"Name\":\"10X\",\"PPMM\":6}]}",
         false, {"10x"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = Calibration_List_Path();
        for (const std::string& p : {path, path + ".broken"}) {
            unlink(p.c_str());
            rmdir(p.c_str());
        }
        if (c.file == "<folder>")
            ASSERT_TRUE(Create_Folder(path));
        else if (!c.file.empty())
            Write_Whole_File(path, c.file);
        Clear_Prompt_History();
        Jobs[0].Doc.PPMM = 100;
        Calibration_List_Load();
        EXPECT_EQ(Prompt_History().size(), c.warned ? 1u : 0u);
        if (c.warned) {
            EXPECT_EQ(Prompt_History()[0].Title, "Warning");
            EXPECT_NE(Prompt_History()[0].Text.find(c.warning_says), std::string::npos) << Prompt_History()[0].Text;
        }
        std::vector<std::string> names;
        for (const Named_Calibration& n : Calibrations) names.push_back(n.Name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(Calibration_Made, c.made);
        if (c.what == std::string("duplicate name keeps the first")) {
            EXPECT_FLOAT_EQ(Calibrations[0].PPMM, 5);
        }
        // Saving a name again replaces its value in place, whatever its case.
        Store_Named_Calibration(" 4x ", 40, 0);
        Store_Named_Calibration("4X", 41, 0);
        ASSERT_FALSE(Calibrations.empty());
        EXPECT_EQ(Calibrations.back().Name, "4x");
        EXPECT_FLOAT_EQ(Calibrations.back().PPMM, 41);
        EXPECT_EQ(Calibrations.size(), c.names.size() + 1);
        if (c.warned && c.file != "<folder>") {
            EXPECT_EQ(Read_Whole_File(path + ".broken"), c.file) << "a broken file is moved aside, not lost";
        }
        if (c.file != "<folder>") {
            std::vector<Named_Calibration> saved;
            bool made = false;
            ASSERT_TRUE(Parse_Calibration_List(Read_Whole_File(path), &saved, &made));
            EXPECT_EQ(saved.size(), Calibrations.size());
            EXPECT_TRUE(made);
        }
    }
}

// "Save as:" stores the new value; choosing it later sets the live picture
// only; the caption names the current document's calibration or warns.
TEST_F(Calibration, Save_As_Choice_And_Caption) {
    Fill_Calibration_Choice();
    Jobs[1].Changed = Jobs[2].Changed = 0;
    EXPECT_EQ(Measure_Frame_Caption(), "Measurement: Millimetres");  // 50 is not the factory value
    Make_Current_Job(0);
    Jobs[0].Doc.PPMM = 100;  // the factory value on the live document
    EXPECT_EQ(Measure_Frame_Caption(), "Measurement: Millimetres (uncalibrated)");
    Make_Current_Job(1);

    Run(Line(200.4f), 2, "2", true, " 10x ");  // 100 px/mm
    ASSERT_EQ(Calibrations.size(), 1u);
    EXPECT_EQ(Calibrations[0].Name, "10x");
    EXPECT_FLOAT_EQ(Calibrations[0].PPMM, 100);
    EXPECT_EQ(Row_Count(CTL_CALIBRATION_CHOICE), 1);
    EXPECT_EQ(Get_State(CTL_CALIBRATION_CHOICE), 0);
    EXPECT_EQ(Measure_Frame_Caption(), "Measurement: Millimetres - 10x");
    EXPECT_EQ(Jobs[1].Changed, 1);
    EXPECT_EQ(Jobs[2].Changed, 1);

    Run(Line(200.4f), 2, "4");  // 50 px/mm, no name: the list keeps its one entry
    EXPECT_EQ(Calibrations.size(), 1u);
    EXPECT_EQ(Measure_Frame_Caption(), "Measurement: Millimetres");  // calibrated, but under no name
    Refresh_Calibration_Display();
    EXPECT_EQ(Get_State(CTL_CALIBRATION_CHOICE), -1);
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres");

    Clear_Prompt_History();
    Jobs[1].Changed = Jobs[2].Changed = 0;
    Jobs[2].Doc.PPMM = 200;  // as imported from a calibrated picture
    Set_State(CTL_CALIBRATION_CHOICE, 0);
    Calibration_Chosen();
    EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 100);
    EXPECT_FLOAT_EQ(Jobs[1].Doc.PPMM, 50) << "frozen before the objective changed";
    EXPECT_FLOAT_EQ(Jobs[2].Doc.PPMM, 200);
    EXPECT_EQ(Jobs[1].Changed + Jobs[2].Changed, 0);
    EXPECT_TRUE(Prompt_History().empty()) << "a choice needs no confirmation";
    Update_Windows();
    EXPECT_NE(Read_Whole_File(Prefs_Path()).find("PPMM = 100.000000\r\n"), std::string::npos);
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres");  // document 1 keeps its 50
    Fill_Calibration_Choice();  // rebuilt while document 1 is shown
    EXPECT_EQ(Get_State(CTL_CALIBRATION_CHOICE), 0) << "the drop-down shows the live picture's choice";
    ASSERT_EQ(Duplicate_Job(0), 0);  // a picture frozen now takes it
    EXPECT_FLOAT_EQ(Jobs[Current_Job].Doc.PPMM, 100);
    Refresh_Calibration_Display();
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres - 10x");

    // A new run reads the list and the note that a calibration was made.
    Calibrations.clear();
    Calibration_Made = false;
    Jobs[0].Doc.PPMM = 100;
    Calibration_List_Load();
    ASSERT_EQ(Calibrations.size(), 1u);
    EXPECT_TRUE(Calibration_Made);
}

// A named calibration on a live picture of another width scales by the
// width ratio, and says so where its name is shown.
TEST_F(Calibration, Named_Calibration_Scales_To_The_Live_Width) {
    struct Case {
        int32_t made, live;
        float ppmm, applied;
        const char* label;
    };
    const Case cases[] = {
        {2592, 640, 787.4f, (float)(787.4f * 640.0 / 2592), "10x (made at 2592 px, scaled)"},
        {2592, 2592, 787.4f, 787.4f, "10x"},
        {0, 640, 787.4f, 787.4f, "10x"},     // made before widths were kept
        {2592, 0, 787.4f, 787.4f, "10x"},    // no live picture yet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label + std::string(" live ") + std::to_string(c.live));
        Calibrations = {{"4x", 20, 640}, {"10x", c.ppmm, c.made}};
        Make_Document(0, c.live, 2);
        Make_Current_Job(0);
        Fill_Calibration_Choice();
        EXPECT_EQ(Get_Row_Text(CTL_CALIBRATION_CHOICE, 1), c.label);
        Set_State(CTL_CALIBRATION_CHOICE, 1);
        Calibration_Chosen();
        EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, c.applied);
        EXPECT_FLOAT_EQ(Jobs[1].Doc.PPMM, 50) << "frozen documents keep theirs";
        EXPECT_EQ(Get_State(CTL_CALIBRATION_CHOICE), 1);
        EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres - " + std::string(c.label));
    }
}

// While a named calibration is applied the live value follows the live
// picture's width, reported or not; a value typed since then stays.
TEST_F(Calibration, Live_Value_Follows_The_Live_Width) {
    Calibrations = {{"10x", 787.4f, 2592}};
    Make_Document(0, 2592, 2);
    Make_Current_Job(0);
    Fill_Calibration_Choice();
    Set_State(CTL_CALIBRATION_CHOICE, 0);
    Calibration_Chosen();
    const struct {
        int32_t width;
        bool reported;  // else the Settings page's refresh finds it
        float ppmm;
    } steps[] = {{640, true, (float)(787.4f * 640.0 / 2592)}, {2592, false, 787.4f}, {1296, false, 393.7f}};
    for (const auto& step : steps) {
        Allocate_Image(&Jobs[0], step.width, 2);
        if (step.reported)
            Live_Width_Changed(step.width);
        else
            Refresh_Calibration_Display();
        EXPECT_EQ(Jobs[0].Doc.PPMM, step.ppmm) << step.width;
    }
    EXPECT_EQ(Get_Row_Text(CTL_CALIBRATION_CHOICE, 0), "10x (made at 2592 px, scaled)");
    EXPECT_EQ(Get_State(CTL_CALIBRATION_CHOICE), 0);

    // Made on a document 1280 pixels wide: the live picture, 1296 wide, takes it scaled.
    Allocate_Image(&Jobs[1], 1280, 2);
    Run(Line(200.4f), 2, "2", true, "20x");  // 100 px/mm
    EXPECT_EQ(Calibrations[1].Width, 1280);
    EXPECT_FLOAT_EQ(Jobs[2].Doc.PPMM, 100);
    EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 101.25f);
    Jobs[0].Doc.PPMM = 55;  // typed since
    Live_Width_Changed(2592);
    EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 55);
}

TEST(Calibration_Math, Typed_Length_Is_One_Number_Above_Zero) {
    const struct {
        const char* typed;
        double value;  // 0: OK stays disabled
    } cases[] = {
        {"2.5", 2.5}, {" 2 ", 2}, {".5", 0.5}, {"1e-3", 0.001}, {"250000", 250000},
        {"", 0}, {"   ", 0}, {"abc", 0}, {"0", 0}, {"-0", 0}, {"-5", 0}, {"+5", 0},
        {"2.5mm", 0}, {"2,5", 0}, {"2 5", 0}, {"nan", 0}, {"inf", 0}, {"-inf", 0},
        {"1e999", 0}, {"1e-999", 0}, {"0x10", 0}, {"e5", 0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(Typed_Length(c.typed), c.value) << '"' << c.typed << '"';
}

}  // namespace
