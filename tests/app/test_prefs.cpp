#include <gtest/gtest.h>

#include "base/app_state.h"
#include "app/prefs.h"
#include "measure/snapping.h"
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
        Data_Folder = folder.Path + "/Trellum/";
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
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Millimetres");
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
              "Comport = COM3\r\n");
}

TEST_F(Prefs, Reader_Rules) {
    Create_Folder(Data_Folder);
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
                     "SnapToEdge = 0\r\n");
    Prefs_Load();
    EXPECT_EQ(Last_Device, "Cam A  ");  // blanks before the line end stay
    EXPECT_EQ(Last_Resolution, "800x600");
    EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 250.5f);  // first match wins, other groups ignored
    EXPECT_EQ(Jobs[0].Doc.Measure_Unit, 4);
    EXPECT_EQ(Snap_Edge_Radius, 7);
    EXPECT_FLOAT_EQ(Snap_Angle_Tolerance, 2.5f);
    EXPECT_EQ(Comport_Name, "/dev/ttyUSB0");
    EXPECT_EQ(Get_State(CTL_SNAP_EDGES), 0);
    EXPECT_EQ(Get_State(CTL_SNAP_ANGLE), 1);  // missing: default 1
    EXPECT_EQ(Snap_Edge_Pixels, 12);
    EXPECT_EQ(Get_Text(CTL_MEASURE_FRAME), "Measurement: Pixels");
    // Carried-only values go back out unchanged.
    Prefs_Save();
    std::string saved = Read_Whole_File(Prefs_Path());
    EXPECT_NE(saved.find("LastDevice = Cam A  \r\n"), std::string::npos);
    EXPECT_NE(saved.find("LastResolution = 800x600\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Comport = /dev/ttyUSB0\r\n"), std::string::npos);
}

TEST_F(Prefs, A_Calibration_That_Is_Not_A_Positive_Number_Reads_As_100) {
    for (const char* value : {"0", "-3", "nan", "inf", "abc"}) {
        Create_Folder(Data_Folder);
        Write_Whole_File(Prefs_Path(), std::string("[Global]\r\nPPMM = ") + value + "\r\n");
        Jobs[0].Doc.PPMM = 1;
        Prefs_Load();
        EXPECT_FLOAT_EQ(Jobs[0].Doc.PPMM, 100.0f) << value;
    }
}

TEST_F(Prefs, Save_Into_A_Missing_Folder_Fails_Silently_And_Leaves_No_File) {
    Prefs_Save();
    EXPECT_FALSE(File_Exists(Prefs_Path()));
    EXPECT_TRUE(Prompt_History().empty());
}

TEST_F(Prefs, Parse_Text_Handles_Odd_Lines) {
    Prefs_Text p = Prefs_Parse_Text("key without equals\n[Global\nA=1\n=2\n[]\nB = 3");
    std::string v;
    EXPECT_TRUE(Prefs_Find(p, "global", "a", &v));
    EXPECT_EQ(v, "1");
    EXPECT_FALSE(Prefs_Find(p, "Global", "B", &v));  // "B" belongs to the later group "[]"
}

}  // namespace
