#include <gtest/gtest.h>

#include <vector>

#include "video_test_world.h"

namespace {

// A fake device with eighteen properties; records what was sent to it.
struct Sent_Property {
    int Property;
    float Value;
    int Automatic;
};
float Device_Values[VIDEO_PROPERTY_COUNT];
int Device_Auto[VIDEO_PROPERTY_COUNT];
std::vector<Sent_Property> Sent;
int Device_Reads = 0;

float Fake_Value(unsigned, int p) {
    Device_Reads++;
    return (p >= 0 && p < VIDEO_PROPERTY_COUNT) ? Device_Values[p] : -1.0f;
}
int Fake_Auto(unsigned, int p) { return (p >= 0 && p < VIDEO_PROPERTY_COUNT) ? Device_Auto[p] : 0; }
int Fake_Set(unsigned, int p, float v, int a) {
    Sent.push_back({p, v, a});
    return 1;
}

const int GAMMA = 5, ZOOM = 13, FOCUS = 16, BRIGHTNESS = 0;

class Settings_Window : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_Video_World();
        for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
            Device_Values[i] = 0.1f + 0.04f * i;
            Device_Auto[i] = i % 2;
        }
        Device_Values[BRIGHTNESS] = 0.537f;  // between two slider steps
        Sent.clear();
        Device_Reads = 0;
        Capture_Library t;
        t.getCapturePropertyValue = Fake_Value;
        t.getCapturePropertyAuto = Fake_Auto;
        t.setCaptureProperty = Fake_Set;
        Install_Capture_Library(t);
    }
    void TearDown() override {
        Close_Camera_Settings_Window();
        Capture_Device = -1;
        Close_Capture_Library();
    }
    void Open_With_Camera() {
        Video_Mode = VIDEO_CAMERA;
        Capture_Device = 0;
        Last_Device = "Bench camera";
        Open_Camera_Settings_Window();
    }
    const Sent_Property* Sent_For(int p) {
        for (const Sent_Property& s : Sent)
            if (s.Property == p) return &s;
        return nullptr;
    }
};

}  // namespace

TEST_F(Settings_Window, Opens_Without_Camera_At_Zero_Whatever_The_Settings_Hold) {
    *Video_Property(&Camera_Settings, GAMMA) = 0.9f;
    *Video_Property_Auto(&Camera_Settings, GAMMA) = 1.0f;
    Open_Camera_Settings_Window();
    ASSERT_TRUE(Camera_Settings_Window_Open());
    int w = 0, h = 0;
    Window_Size(WINDOW_VIDEO_SETTINGS, &w, &h);
    EXPECT_EQ(w, 220);
    EXPECT_EQ(h, 400);
    EXPECT_EQ(Device_Reads, 0);
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        int x = 0, y = 0, cw = 0, ch = 0;
        Control_Rect(CTL_VS_SLIDER + i, &x, &y, &cw, &ch);
        EXPECT_EQ(y, 4 + 20 * i) << i;
        EXPECT_EQ(Get_State(CTL_VS_SLIDER + i), 0) << i;
        EXPECT_EQ(Get_State(CTL_VS_CHECK + i), 0) << i;
        EXPECT_EQ(Get_Text(CTL_VS_VALUE + i), "0.0") << i;
        EXPECT_EQ(Control_Kind_Of(CTL_VS_CHECK + i), CONTROL_CHECKBOX);
    }
    EXPECT_EQ(Get_Text(CTL_VS_LABEL + 0), "Brightness:");
    EXPECT_EQ(Get_Text(CTL_VS_LABEL + 8), "BacklightCompensation:");
    EXPECT_EQ(Get_Text(CTL_VS_LABEL + 17), "Prop_Max:");
    EXPECT_EQ(Get_Text(CTL_VS_LOAD), "Load");
    EXPECT_EQ(Get_Text(CTL_VS_SAVE), "Save");

    // A second open while it is open changes nothing.
    Set_State(CTL_VS_SLIDER + 3, 42);
    Open_Camera_Settings_Window();
    EXPECT_EQ(Get_State(CTL_VS_SLIDER + 3), 42);
}

TEST_F(Settings_Window, Reads_The_Device_And_Marks_Unsupported_Properties_Automatic) {
    Device_Values[ZOOM] = -1.0f;
    Device_Auto[ZOOM] = 0;
    Open_With_Camera();
    EXPECT_EQ(Camera_Settings.Name, "Bench camera");
    EXPECT_EQ(Camera_Settings.Zoom, 0.0f);
    EXPECT_EQ(Camera_Settings.Auto_Zoom, 1.0f);
    EXPECT_EQ(Get_State(CTL_VS_SLIDER + ZOOM), 0);
    EXPECT_EQ(Get_State(CTL_VS_CHECK + ZOOM), 1);
    EXPECT_EQ(Get_Text(CTL_VS_VALUE + ZOOM), "0.00");
    // Supported ones show the device's values.
    EXPECT_EQ(Get_State(CTL_VS_SLIDER + BRIGHTNESS), 54);
    EXPECT_EQ(Get_Text(CTL_VS_VALUE + BRIGHTNESS), "0.54");
    EXPECT_EQ(Get_State(CTL_VS_CHECK + 1), 1);
    EXPECT_EQ(Get_State(CTL_VS_CHECK + 2), 0);
    EXPECT_EQ(Camera_Settings_Sent.Auto_Zoom, 1.0f);
}

TEST_F(Settings_Window, Moving_A_Slider_Makes_Only_That_Property_Manual) {
    Open_With_Camera();
    ASSERT_EQ(Get_State(CTL_VS_CHECK + GAMMA), 1);
    Set_State(CTL_VS_SLIDER + GAMMA, 75);
    Platform_Event e = Control_Event(WINDOW_VIDEO_SETTINGS, CTL_VS_SLIDER + GAMMA, ETYPE_CHANGE);
    EXPECT_EQ(Camera_Settings_Event(e), 1);
    Apply_Camera_Settings();

    EXPECT_EQ(Camera_Settings.Gamma, 0.75f);
    EXPECT_EQ(Camera_Settings.Auto_Gamma, 0.0f);
    EXPECT_EQ(Get_Text(CTL_VS_VALUE + GAMMA), "0.75");
    EXPECT_EQ(Get_State(CTL_VS_CHECK + GAMMA), 0);
    ASSERT_EQ(Sent.size(), (size_t)VIDEO_PROPERTY_COUNT);
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        EXPECT_EQ(Sent[i].Property, i) << "sent in property order";
        if (i == GAMMA) continue;
        EXPECT_EQ(Get_State(CTL_VS_CHECK + i), i % 2) << "other boxes keep their state: " << i;
        EXPECT_EQ(Sent[i].Automatic, i % 2) << i;
        EXPECT_EQ(Sent[i].Value, Device_Values[i]) << "untouched values go back unrounded: " << i;
    }
    EXPECT_EQ(Sent[GAMMA].Value, 0.75f);
    EXPECT_EQ(Sent[GAMMA].Automatic, 0);
    EXPECT_EQ(Camera_Settings_Sent.Gamma, 0.75f);
    EXPECT_EQ(Camera_Settings.Brightness, 0.537f);
}

TEST_F(Settings_Window, Ticking_A_Box_Alone_Sends_It_Automatic) {
    Open_With_Camera();
    ASSERT_EQ(Get_State(CTL_VS_CHECK + FOCUS), 0);
    Set_State(CTL_VS_CHECK + FOCUS, 1);
    EXPECT_EQ(Camera_Settings_Event(Control_Event(WINDOW_VIDEO_SETTINGS, CTL_VS_CHECK + FOCUS, ETYPE_CHANGE)), 1);
    Apply_Camera_Settings();
    EXPECT_EQ(Camera_Settings.Auto_Focus, 1.0f);
    EXPECT_EQ(Get_State(CTL_VS_CHECK + FOCUS), 1);
    ASSERT_NE(Sent_For(FOCUS), nullptr);
    EXPECT_EQ(Sent_For(FOCUS)->Automatic, 1);
    EXPECT_EQ(Sent_For(FOCUS)->Value, Device_Values[FOCUS]);
    // Unticking sends it manual again.
    Sent.clear();
    Set_State(CTL_VS_CHECK + FOCUS, 0);
    Apply_Camera_Settings();
    EXPECT_EQ(Camera_Settings.Auto_Focus, 0.0f);
    EXPECT_EQ(Sent_For(FOCUS)->Automatic, 0);
}

TEST_F(Settings_Window, Shown_Settings_Survive_An_Apply_And_Nothing_Goes_Without_A_Device) {
    // Values put into the window from a settings record (as a file load does).
    Open_Camera_Settings_Window();
    *Video_Property(&Camera_Settings, GAMMA) = 0.333f;
    *Video_Property_Auto(&Camera_Settings, GAMMA) = 1.0f;
    *Video_Property(&Camera_Settings, ZOOM) = 0.5f;
    Show_Camera_Settings();
    EXPECT_EQ(Get_State(CTL_VS_SLIDER + GAMMA), 33);
    EXPECT_EQ(Get_Text(CTL_VS_VALUE + GAMMA), "0.33");
    EXPECT_EQ(Get_State(CTL_VS_CHECK + GAMMA), 1);

    Set_State(CTL_VS_SLIDER + 2, 10);
    Apply_Camera_Settings();
    EXPECT_TRUE(Sent.empty()) << "no device is open";
    EXPECT_EQ(Camera_Settings.Gamma, 0.333f);
    EXPECT_EQ(Camera_Settings.Auto_Gamma, 1.0f);
    EXPECT_EQ(Camera_Settings.Zoom, 0.5f);
    EXPECT_EQ(Camera_Settings.Hue, 0.1f);
    EXPECT_EQ(Camera_Settings_Sent.Gamma, 0.333f);

    // With the window closed, applying must not wipe the record.
    Close_Camera_Settings_Window();
    Apply_Camera_Settings();
    EXPECT_EQ(Camera_Settings.Gamma, 0.333f);
}

TEST_F(Settings_Window, Buttons_And_Close_Box) {
    Open_Camera_Settings_Window();
    Script_Prompt(0);  // the file dialog is cancelled
    EXPECT_EQ(Camera_Settings_Event(Control_Event(WINDOW_VIDEO_SETTINGS, CTL_VS_LOAD, ETYPE_CHANGE)), 0);
    Script_Prompt(0);
    EXPECT_EQ(Camera_Settings_Event(Control_Event(WINDOW_VIDEO_SETTINGS, CTL_VS_SAVE, ETYPE_CHANGE)), 0);
    ASSERT_EQ(Prompt_History().size(), 2u);
    EXPECT_EQ(Prompt_History()[0].Title, "Choose file to load");
    EXPECT_EQ(Prompt_History()[1].Title, "Please choose file name");
    EXPECT_EQ(Camera_Settings_Event(Control_Event(WINDOW_VIDEO_SETTINGS, CTL_VS_VALUE + 3, ETYPE_CHANGE)), 0);

    Platform_Event close;
    close.Window = WINDOW_VIDEO_SETTINGS;
    close.Kind = EVENT_CLOSE_WINDOW;
    Camera_Settings_Event(close);
    EXPECT_FALSE(Camera_Settings_Window_Open());
    EXPECT_FALSE(Control_Exists(CTL_VS_SLIDER));
}
