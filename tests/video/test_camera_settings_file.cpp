#include <gtest/gtest.h>

#include "../document/file_test_util.h"
#include "app/control_ids.h"
#include "app/prefs.h"
#include "app/video_settings_window.h"
#include "app/video_source.h"
#include "base/app_state.h"
#include "document/doc_json.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "video/camera_settings.h"
#include "video/camera_settings_file.h"

using namespace file_test;

namespace {

class CameraSettingsFile : public ::testing::Test {
protected:
    Temp_Folder temp;
    std::string folder = temp.Path;
    void SetUp() override {
        Null_Reset();
        Clear_Prompt_Script();
        Clear_Prompt_History();
        Camera_Settings = Video_Settings();
        Last_Device.clear();
    }
    void TearDown() override {
        Camera_Settings = Video_Settings();
        Last_Device.clear();
    }
    std::string Last_Text() { return Prompt_History().empty() ? "" : Prompt_History().back().Text; }
};

TEST_F(CameraSettingsFile, SaveAndLoadBack) {
    Camera_Settings.Name = "Lab camera";
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        *Video_Property(&Camera_Settings, i) = 0.05f * (float)i;
        *Video_Property_Auto(&Camera_Settings, i) = i % 3 == 0 ? 1.0f : 0.0f;
    }
    const std::string saved = Video_Settings_To_Json(Camera_Settings);
    Script_Prompt(1, folder + "/lab");
    Save_Camera_Settings();
    EXPECT_EQ(Read_Whole_File(folder + "/lab.VSF"), saved);
    EXPECT_EQ(Prompt_History()[0].Title + Prompt_History()[0].Filter, "Please choose file namevsf|*.vsf");
    EXPECT_EQ(Prompt_History()[1].Title + "/" + Last_Text(), "Success/Video Settings Saved");
    Camera_Settings = Video_Settings();
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/lab.VSF");
    Load_Camera_Settings();
    EXPECT_EQ(Video_Settings_To_Json(Camera_Settings), saved);
    EXPECT_EQ(Prompt_History().size(), 1u);  // same (empty) device: no warning

    // lab.vsf keeps its name; the overwrite question's No keeps the file; a missing folder fails.
    EXPECT_EQ(Camera_Settings_File_Name("lab.vsf") + Camera_Settings_File_Name("a.vsf.bak"), "lab.vsfa.vsf.bak.VSF");
    Write_Whole_File(folder + "/lab.vsf", "keep");
    Script_Prompt(1, folder + "/lab.vsf");
    Script_Prompt(0);
    Save_Camera_Settings();
    EXPECT_EQ(Prompt_History().back().Title + "/" + Last_Text(), "Error/File already exists,overwrite?");
    EXPECT_EQ(Read_Whole_File(folder + "/lab.vsf"), "keep");
    Script_Prompt(1, folder + "/missing/lab");
    Save_Camera_Settings();
    EXPECT_EQ(Last_Text(), "Unable to create file");
}

TEST_F(CameraSettingsFile, LoadCases) {
    Camera_Settings.Gain = 0.75f;
    for (const char* text : {"not json", "[0.5]", ""}) {
        Write_Whole_File(folder + "/bad.vsf", text);
        Script_Prompt(1, folder + "/bad.vsf");
        Load_Camera_Settings();
        EXPECT_EQ(Prompt_History().back().Title + "/" + Last_Text(), "Error/Unable to load file");
        EXPECT_EQ(Camera_Settings.Gain, 0.75f);
    }
    Clear_Prompt_History();
    Script_Prompt(1, folder + "/none.vsf");
    Load_Camera_Settings();
    EXPECT_EQ(Prompt_History().size(), 1u);  // a missing file is not reported
    // A file without Gain clears it; one made for another device warns and is loaded.
    struct Case {
        std::string current, device;
        bool warns;
    } cases[] = {{"", "", false}, {"", "Cam B", true}, {"Cam A", "Cam A", false}, {"Cam A", "", true}};
    for (const Case& c : cases) {
        Last_Device = c.current;
        Camera_Settings.Gain = Camera_Settings.Auto_Gain = 0.75f;
        Write_Whole_File(folder + "/s.vsf", "{\"Device\":\"" + c.device + "\",\"Zoom\":0.25,\"Other\":1}");
        Clear_Prompt_History();
        Script_Prompt(1, folder + "/s.vsf");
        Load_Camera_Settings();
        EXPECT_EQ(Camera_Settings.Gain + Camera_Settings.Auto_Gain, 0.0f);
        EXPECT_EQ(Camera_Settings.Zoom, 0.25f);
        ASSERT_EQ(Prompt_History().size(), c.warns ? 2u : 1u) << c.current << "/" << c.device;
        if (c.warns) {
            EXPECT_EQ(Prompt_History()[1].Title + "/" + Last_Text(),
                      "Warning/Video Settings generated from a different device: " + c.device);
        }
    }
}

// A file may hold any number: the record keeps it (and saves it back as
// read), the window's sliders show it limited to 0..1.
TEST_F(CameraSettingsFile, ExtremeValuesAreKeptAndShownWithinTheSliderRange) {
    struct Row {
        const char* property;
        const char* number;
        float kept;
        int64_t slider;
        const char* text;
    } rows[] = {
        {"Gain", "1e30", 1e30f, 100, "1000000015047466219876688855040.00"},
        {"Zoom", "-5", -5.0f, 0, "-5.00"},
        {"Focus", "3.4028234663852886e38", 3.4028234663852886e38f, 100,
         "340282346638528859811704183484516925440.00"},
        {"Hue", "0.5", 0.5f, 50, "0.50"},
        {"Iris", "-1e-40", -1e-40f, 0, "-0.00"},
        {"Pan", "1e39", 0.0f, 0, "0.00"},  // beyond float: refused like a wrong type
        {"Tilt", "7.0", 7.0f, 100, "7.00"},
    };
    std::string text = "{\"Auto_Gain\":1e30";
    for (const Row& r : rows) text += std::string(",\"") + r.property + "\":" + r.number;
    text += "}";
    Write_Whole_File(folder + "/odd.vsf", text);
    Open_Camera_Settings_Window();
    Script_Prompt(1, folder + "/odd.vsf");
    Load_Camera_Settings();
    Show_Video_Changes();
    ASSERT_EQ(Prompt_History().size(), 1u) << Last_Text();
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        for (const Row& r : rows) {
            if (std::string(Video_Property_Names[i]) != r.property) continue;
            EXPECT_EQ(*Video_Property(&Camera_Settings, i), r.kept) << r.property;
            EXPECT_EQ(Get_State(CTL_VS_SLIDER + i), r.slider) << r.property;
            EXPECT_EQ(Get_Text(CTL_VS_VALUE + i), r.text) << r.property;
        }
    }
    EXPECT_EQ(Camera_Settings.Auto_Gain, 1e30f);
    EXPECT_EQ(Get_State(CTL_VS_CHECK + 9), 1);
    // An apply without moving a slider keeps the exact values; they save as read.
    Apply_Camera_Settings();
    Video_Settings loaded;
    ASSERT_TRUE(Json_To_Video_Settings(text, &loaded));
    loaded.Auto_Gain = 1.0f;  // the check box holds on or off
    Script_Prompt(1, folder + "/back");
    Save_Camera_Settings();
    EXPECT_EQ(Read_Whole_File(folder + "/back.VSF"), Video_Settings_To_Json(loaded));
    Close_Camera_Settings_Window();
}

}  // namespace
