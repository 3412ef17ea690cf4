#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include "app/prefs.h"
#include "document/doc_json.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "video/camera_settings_file.h"

namespace {

class CameraSettingsFile : public ::testing::Test {
protected:
    std::string folder;
    void SetUp() override {
        Null_Reset();
        Clear_Prompt_Script();
        Clear_Prompt_History();
        Camera_Settings = Video_Settings();
        Last_Device.clear();
        std::string pattern = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/trellum-vsf-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back(0);
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        folder = name.data();
    }
    void TearDown() override {
        Clear_Prompt_Script();
        if (DIR* d = opendir(folder.c_str())) {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.') unlink((folder + "/" + e->d_name).c_str());
            closedir(d);
        }
        rmdir(folder.c_str());
        Camera_Settings = Video_Settings();
        Last_Device.clear();
    }
    std::string Read(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    void Write(const std::string& path, const std::string& text) {
        std::ofstream f(path, std::ios::binary);
        f << text;
    }
    void Load(const std::string& path) {
        Script_Prompt(1, path);
        Load_Camera_Settings();
    }
};

TEST_F(CameraSettingsFile, SaveAndLoadBack) {
    Camera_Settings.Name = "Lab camera";
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        *Video_Property(&Camera_Settings, i) = 0.05f * (float)i;
        *Video_Property_Auto(&Camera_Settings, i) = i % 3 == 0 ? 1.0f : 0.0f;
    }
    const Video_Settings saved = Camera_Settings;
    Script_Prompt(1, folder + "/lab");
    Save_Camera_Settings();
    std::string path = folder + "/lab.VSF";
    EXPECT_EQ(Read(path), Video_Settings_To_Json(saved));
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[0].Title, "Please choose file name");
    EXPECT_EQ(Prompt_History()[0].Filter, "vsf|*.vsf");
    EXPECT_EQ(Prompt_History()[1].Title, "Success");
    EXPECT_EQ(Prompt_History()[1].Text, "Video Settings Saved");

    Camera_Settings = Video_Settings();
    Clear_Prompt_History();
    Load(path);
    EXPECT_EQ(Camera_Settings.Name, "Lab camera");
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        EXPECT_EQ(*Video_Property(&Camera_Settings, i), *Video_Property(const_cast<Video_Settings*>(&saved), i));
        EXPECT_EQ(*Video_Property_Auto(&Camera_Settings, i),
                  *Video_Property_Auto(const_cast<Video_Settings*>(&saved), i));
    }
    ASSERT_EQ(Prompt_History().size(), 1u);  // same (empty) device: no warning
    EXPECT_EQ(Prompt_History()[0].Title, "Choose file to load");
}

TEST_F(CameraSettingsFile, NamesAndOverwrite) {
    EXPECT_EQ(Camera_Settings_File_Name("lab"), "lab.VSF");
    EXPECT_EQ(Camera_Settings_File_Name("lab.vsf"), "lab.vsf");
    EXPECT_EQ(Camera_Settings_File_Name("lab.vsf.bak"), "lab.vsf.bak.VSF");
    Write(folder + "/lab.vsf", "keep");
    Script_Prompt(1, folder + "/lab.vsf");
    Script_Prompt(0);
    Save_Camera_Settings();
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[1].Title, "Error");
    EXPECT_EQ(Prompt_History()[1].Text, "File already exists,overwrite?");
    EXPECT_EQ(Read(folder + "/lab.vsf"), "keep");

    Clear_Prompt_History();
    Script_Prompt(1, folder + "/missing/lab");
    Save_Camera_Settings();
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[1].Text, "Unable to create file");
}

TEST_F(CameraSettingsFile, LoadCases) {
    Camera_Settings.Gain = 0.75f;
    Camera_Settings.Auto_Gain = 1.0f;
    // Not JSON: error, settings unchanged. Missing file: silent.
    for (const char* text : {"not json", "[0.5]", ""}) {
        Write(folder + "/bad.vsf", text);
        Clear_Prompt_History();
        Load(folder + "/bad.vsf");
        ASSERT_EQ(Prompt_History().size(), 2u) << text;
        EXPECT_EQ(Prompt_History()[1].Title, "Error");
        EXPECT_EQ(Prompt_History()[1].Text, "Unable to load file");
        EXPECT_EQ(Camera_Settings.Gain, 0.75f);
    }
    Clear_Prompt_History();
    Load(folder + "/none.vsf");
    EXPECT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Camera_Settings.Gain, 0.75f);

    // A file without Gain clears it; a file naming another device warns but loads.
    struct Case {
        std::string current, device;
        bool warns;
    } cases[] = {{"", "", false}, {"", "Cam B", true}, {"Cam A", "Cam A", false}, {"Cam A", "", true}};
    for (const Case& c : cases) {
        Last_Device = c.current;
        Camera_Settings.Gain = 0.75f;
        Write(folder + "/s.vsf", "{\"Device\":\"" + c.device + "\",\"Zoom\":0.25,\"Other\":1}");
        Clear_Prompt_History();
        Load(folder + "/s.vsf");
        EXPECT_EQ(Camera_Settings.Gain, 0.0f);
        EXPECT_EQ(Camera_Settings.Auto_Gain, 0.0f);
        EXPECT_EQ(Camera_Settings.Zoom, 0.25f);
        EXPECT_EQ(Camera_Settings.Device, c.device);
        ASSERT_EQ(Prompt_History().size(), c.warns ? 2u : 1u) << c.current << "/" << c.device;
        if (c.warns) {
            EXPECT_EQ(Prompt_History()[1].Title, "Warning");
            EXPECT_EQ(Prompt_History()[1].Text, "Video Settings generated from a different device: " + c.device);
        }
    }
}

}  // namespace
