#include <gtest/gtest.h>

#include "document/settings.h"

#include "base/app_state.h"
#include "app/prefs.h"
#include "measure/snapping.h"
#include "measure/units.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"

namespace {

const std::string Factory_File =
    "\xEF\xBB\xBF\r\n"
    "[Global]\r\n"
    "ApplicationName = Trellum\r\n"
    "LastDevice = \r\n"
    "LastResolution = \r\n"
    "PPMM = 100.000000\r\n"
    "MeasureUnit = 2\r\n"
    "SnapToAngle = 1\r\n"
    "Snap_AngleTolerance = 3.000000\r\n"
    "SnapToEdge = 1\r\n"
    "Snap_EdgePixels = 12\r\n"
    "Snap_EdgeSensitivity = 64\r\n"
    "Snap_EdgeRadius = 12\r\n";

class Prefs : public ::testing::Test {
protected:
    Temp_Folder folder;
    void SetUp() override {
        Fresh_Main_Window();
        Program_Names.Data_Folder = folder.Path + "/Trellum/";
    }
};

TEST_F(Prefs, First_Run_Writes_The_Factory_File_And_Reads_It_Back) {
    Set_State(CTL_SNAP_EDGES, 0);
    Prefs_Load();
    EXPECT_EQ(Read_Whole_File(Prefs_Path()), Factory_File);
    EXPECT_EQ(Last_Resolution, "");  // present with an empty value
    EXPECT_EQ(Comport_Name, "COM3");
    EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 100.0f);
    EXPECT_EQ(Get_State(CTL_SNAP_EDGES), 1);
    EXPECT_EQ(Get_State(CTL_UNIT_LIST), 2);
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres (uncalibrated)");
}

TEST_F(Prefs, Save_Writes_Every_Key_In_Order_And_Adds_A_Missing_Comport) {
    Prefs_Load();
    Jobs[0].Doc.PPMM = 787.4016f;
    Jobs[0].Doc.Measure_Unit = 1;
    Set_State(CTL_SNAP_ANGLE, 0);
    Prefs_Save();
    EXPECT_EQ(Read_Whole_File(Prefs_Path()),
              "\xEF\xBB\xBF\r\n[Global]\r\nApplicationName = Trellum\r\nLastDevice = \r\nLastResolution = \r\n"
              "MeasureUnit = 1\r\nPPMM = 787.401611\r\nSnapToAngle = 0\r\nSnap_AngleTolerance = 3.000000\r\n"
              "SnapToEdge = 1\r\nSnap_EdgePixels = 12\r\nSnap_EdgeSensitivity = 64\r\nSnap_EdgeRadius = 12\r\n"
              "Comport = COM3\r\nAutoThreshold = own\r\n");
}

TEST_F(Prefs, Reader_Rules) {
    Create_Folder(Program_Names.Data_Folder);
    Write_Whole_File(Prefs_Path(),
                     "\xEF\xBB\xBF\r\n"
                     "; a comment line = 5\r\n"
                     "[Other]\r\n"
                     "PPMM = 1.5\r\n"
                     "  [gLoBaL]  \r\n"
                     "\tlastdevice\t=   Cam A  \r\n"
                     "LASTRESOLUTION=800x600\r\n"
                     "PPMM = 250.5\r\n"
                     "PPMM = 999\r\n"
                     "MeasureUnit = 4 pixels\r\n"
                     "Snap_EdgeRadius = 7\r\n"
                     "Snap_AngleTolerance = 2.5\r\n"
                     "Comport = /dev/ttyUSB0\r\n"
                     "AutoThreshold = IsoData\r\n"
                     "SnapToEdge = 0\r\n");
    Prefs_Load();
    EXPECT_EQ(Last_Device, "Cam A  ");  // blanks before the line end stay
    EXPECT_EQ(Last_Resolution, "800x600");
    EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 250.5f);  // first match wins, other groups ignored
    EXPECT_EQ(Jobs[0].Doc.Measure_Unit, 4);
    EXPECT_EQ(Snap_View().Edge_Radius, 7);
    EXPECT_FLOAT_EQ(Snap_View().Angle_Tolerance, 2.5f);
    EXPECT_EQ(Comport_Name, "/dev/ttyUSB0");
    EXPECT_EQ(Get_State(CTL_SNAP_EDGES), 0);
    EXPECT_EQ(Get_State(CTL_SNAP_ANGLE), 1);  // missing: default 1
    EXPECT_EQ(Snap_Edge_Pixels, 12);
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Pixels");
    EXPECT_EQ(Settings_View().Threshold_Method, 4);
    // Carried-only values go back out unchanged.
    Prefs_Save();
    std::string saved = Read_Whole_File(Prefs_Path());
    EXPECT_NE(saved.find("LastDevice = Cam A  \r\n"), std::string::npos);
    EXPECT_NE(saved.find("LastResolution = 800x600\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Comport = /dev/ttyUSB0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("AutoThreshold = isodata\r\n"), std::string::npos);
}

TEST_F(Prefs, A_Calibration_That_Is_Not_A_Positive_Number_Reads_As_100) {
    for (const char* value : {"0", "-3", "nan", "inf", "abc"}) {
        Create_Folder(Program_Names.Data_Folder);
        Write_Whole_File(Prefs_Path(), std::string("[Global]\r\nPPMM = ") + value + "\r\n");
        Jobs[0].Doc.PPMM = 1;
        Prefs_Load();
        EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 100.0f) << value;
    }
}

// A file that cannot be read counts as missing: factory values (never the
// zeroes that made every length infinite) and one message saying why.
TEST_F(Prefs, An_Unreadable_File_Gives_The_Factory_Values_And_One_Message) {
    std::string big = "[Global]\r\nPPMM = 5\r\n;" + std::string(1 << 20, 'x') + "\r\n";
    struct Row {
        const char* what;
        std::string reason;
    } rows[] = {{"a folder", "is a folder"},
                {"no data folder", "could not be created in " + folder.Path + "/plain/Trellum/"},
                {"over 1 MB", "is larger than 1 MB"}};
    for (const Row& r : rows) {
        Fresh_Main_Window();
        Program_Names.Data_Folder = folder.Path + "/" + r.what + "/Trellum/";
        if (std::string(r.what) == "no data folder") {
            Write_Whole_File(folder.Path + "/plain", "a file where a folder should be");
            Program_Names.Data_Folder = folder.Path + "/plain/Trellum/";
        } else {
            ASSERT_TRUE(Create_Folder(Program_Names.Data_Folder));
        }
        if (std::string(r.what) == "a folder") {
            ASSERT_TRUE(Create_Folder(Prefs_Path()));
        }
        if (std::string(r.what) == "over 1 MB") Write_Whole_File(Prefs_Path(), big);
        Jobs[0].Doc.PPMM = 0;
        Jobs[0].Doc.Measure_Unit = 0;
        Set_Snap_Preferences(0, 0);
        Set_State(CTL_SNAP_EDGES, 0);
        Prefs_Load();
        EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 100.0f) << r.what;
        EXPECT_EQ(Jobs[0].Doc.Measure_Unit, 2) << r.what;
        EXPECT_EQ(Snap_View().Edge_Radius, 12) << r.what;
        EXPECT_FLOAT_EQ(Snap_View().Angle_Tolerance, 3.0f) << r.what;
        EXPECT_EQ(Get_State(CTL_SNAP_EDGES), 1) << r.what;
        EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres (uncalibrated)") << r.what;
        ASSERT_EQ(Prompt_History().size(), 1u) << r.what;
        EXPECT_EQ(Last_Prompt_Text(), "Warning / The preferences file " + Prefs_Path() + " " + r.reason +
                                          ".\nThe factory settings are used.");
        if (std::string(r.what) == "over 1 MB") {
            EXPECT_EQ(Read_Whole_File(Prefs_Path()), big) << "the load leaves the file alone";
        }
    }
}

// Values are kept as read and saved back so; each use limits its own copy.
TEST_F(Prefs, Extreme_Values_Are_Kept_And_Written_Back) {
    struct Row {
        const char* key;
        const char* value;
        const char* saved;  // the line written back
    } rows[] = {
        {"Snap_EdgeRadius", "9223372036854775807", "Snap_EdgeRadius = 9223372036854775807"},
        {"Snap_EdgeRadius", "99999999999999999999", "Snap_EdgeRadius = 9223372036854775807"},  // nearest int64
        {"Snap_EdgeRadius", "-9223372036854775808", "Snap_EdgeRadius = -9223372036854775808"},
        {"Snap_EdgePixels", "-7", "Snap_EdgePixels = -7"},
        {"MeasureUnit", "9223372036854775807", "MeasureUnit = 9223372036854775807"},
        {"MeasureUnit", "-3", "MeasureUnit = -3"},
        {"Snap_AngleTolerance", "-1e30", "Snap_AngleTolerance = -1000000015047466219876688855040.000000"},
        {"Snap_AngleTolerance", "nan", "Snap_AngleTolerance = nan"},
        {"PPMM", "1e30", "PPMM = 1000000015047466219876688855040.000000"},
    };
    for (const Row& r : rows) {
        Fresh_Main_Window();
        Create_Folder(Program_Names.Data_Folder);
        Write_Whole_File(Prefs_Path(), std::string("[Global]\r\n") + r.key + " = " + r.value + "\r\n");
        Prefs_Load();
        EXPECT_TRUE(Prompt_History().empty());
        EXPECT_GE(Snap_Radius_In_Use(), -1);
        EXPECT_LE(Snap_Radius_In_Use(), SNAP_EDGE_RADIUS_MAX);
        EXPECT_TRUE(Snap_Tolerance_In_Use() >= 0 && Snap_Tolerance_In_Use() <= 90) << r.value;
        // A unit outside the list selects nothing; lengths then read in millimetres.
        if (std::string(r.key) == "MeasureUnit") {
            EXPECT_EQ(Current_Unit_Code(), -1) << r.value;
        }
        Prepare_Snap_Offsets();
        EXPECT_LE(Snap_View().Offsets.size(), (size_t)(2 * SNAP_EDGE_RADIUS_MAX + 1) * (2 * SNAP_EDGE_RADIUS_MAX + 1));
        Prefs_Save();
        EXPECT_NE(Read_Whole_File(Prefs_Path()).find(std::string("\r\n") + r.saved + "\r\n"), std::string::npos)
            << Read_Whole_File(Prefs_Path());
    }
}

TEST_F(Prefs, Save_Into_A_Missing_Folder_Fails_Silently_And_Leaves_No_File) {
    Prefs_Save();
    EXPECT_FALSE(File_Exists(Prefs_Path()));
    EXPECT_TRUE(Prompt_History().empty());
}

// Keys that a file does not carry take the reader's defaults, whatever the
// settings held before.
TEST_F(Prefs, Missing_Keys_Read_As_The_Defaults) {
    const char* files[] = {
        "[Global]\r\n",
        "\xEF\xBB\xBF\r\n[Global]\r\n",
        "",
        "[Other]\r\nSnap_EdgeRadius = 5\r\nLastResolution = 800x600\r\nMeasureUnit = 0\r\n",
        "[Global]\r\nApplicationName = Trellum\r\n[Global2]\r\nSnap_EdgePixels = 3\r\n",
    };
    for (const char* file : files) {
        SCOPED_TRACE(file);
        Create_Folder(Program_Names.Data_Folder);
        Write_Whole_File(Prefs_Path(), file);
        Last_Device = "cam";
        Last_Resolution = "1x1";
        Snap_Edge_Pixels = Snap_Edge_Sensitivity = 1;
        Set_Snap_Preferences(1, 9);
        Comport_Name = "x";
        Jobs[0].Doc.PPMM = 7;
        Jobs[0].Doc.Measure_Unit = 4;
        Set_State(CTL_SNAP_ANGLE, 0);
        Set_State(CTL_SNAP_EDGES, 0);
        Prefs_Load();
        EXPECT_EQ(Last_Device, "");
        EXPECT_EQ(Last_Resolution, "640x480");
        EXPECT_EQ(Snap_Edge_Pixels, 12);
        EXPECT_EQ(Snap_Edge_Sensitivity, 64);
        EXPECT_EQ(Snap_View().Edge_Radius, 12);
        EXPECT_FLOAT_EQ(Snap_View().Angle_Tolerance, 3.0f);
        EXPECT_EQ(Comport_Name, "COM3");
        EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 100.0f);
        EXPECT_EQ(Jobs[0].Doc.Measure_Unit, 2);
        EXPECT_EQ(Get_State(CTL_SNAP_ANGLE), 1);
        EXPECT_EQ(Get_State(CTL_SNAP_EDGES), 1);
        EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres (uncalibrated)");
    }
}

TEST_F(Prefs, Parse_Text_Handles_Odd_Lines) {
    Prefs_Text p = Prefs_Parse_Text("key without equals\n[Global\nA=1\n=2\n[]\nB = 3");
    std::string v;
    EXPECT_TRUE(Prefs_Find(p, "global", "a", &v));
    EXPECT_EQ(v, "1");
    EXPECT_FALSE(Prefs_Find(p, "Global", "B", &v));  // "B" belongs to the later group "[]"
}

}  // namespace
