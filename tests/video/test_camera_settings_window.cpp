#include <gtest/gtest.h>

#include <vector>

#include "video_test_world.h"

namespace {

// A fake device with eighteen properties; records what is sent to it.
struct Sent_Property { int Property; float Value; int Automatic; };
float Device_Values[VIDEO_PROPERTY_COUNT];
int Device_Auto[VIDEO_PROPERTY_COUNT];
std::vector<Sent_Property> Sent;

float Fake_Value(unsigned, int p) { return Device_Values[p]; }
int Fake_Auto(unsigned, int p) { return Device_Auto[p]; }
int Fake_Set(unsigned, int p, float v, int a) {
    Sent.push_back({p, v, a});
    return 1;
}

const int BRIGHTNESS = 0, GAMMA = 5, ZOOM = 13, FOCUS = 16;

class Settings_Window : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_Video_World();
        for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
            Device_Values[i] = 0.1f + 0.04f * i;
            Device_Auto[i] = i % 2;
        }
        Device_Values[BRIGHTNESS] = 0.537f;  // between two slider steps
        Device_Values[ZOOM] = -1.0f;         // not supported
        Sent.clear();
        Capture_Library t;
        t.getCapturePropertyValue = Fake_Value;
        t.getCapturePropertyAuto = Fake_Auto;
        t.setCaptureProperty = Fake_Set;
        Install_Capture_Library(t);
    }
    void TearDown() override {
        Close_Camera_Settings_Window();
        Capture_Test_Access().Device = -1;
        Close_Capture_Library();
    }
    void Open_With_Camera() {
        Video_Mode = VIDEO_CAMERA;
        Capture_Test_Access().Device = 0;
        Open_Camera_Settings_Window();
    }
};

}  // namespace

TEST_F(Settings_Window, Opens_At_Zero_Without_Camera_And_Shows_The_Device_With_One) {
    Camera_Settings.Gamma = 0.9f;
    Camera_Settings.Auto_Gamma = 1.0f;
    Open_Camera_Settings_Window();
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        EXPECT_EQ(Get_State(CTL_VS_SLIDER + i) + Get_State(CTL_VS_CHECK + i), 0) << i;
        EXPECT_EQ(Get_Text(CTL_VS_VALUE + i), "0.0") << i;
    }
    EXPECT_EQ(Get_Text(CTL_VS_LABEL + 17), "Prop_Max:");
    Close_Camera_Settings_Window();

    Open_With_Camera();
    Set_State(CTL_VS_SLIDER + 3, 42);
    Open_Camera_Settings_Window();  // a second open while open does nothing
    EXPECT_EQ(Get_State(CTL_VS_SLIDER + 3), 42);
    // A property the device reports as -1 shows 0 and automatic.
    EXPECT_EQ(Camera_Settings.Auto_Zoom, 1.0f);
    EXPECT_EQ(Get_State(CTL_VS_SLIDER + ZOOM), 0);
    EXPECT_EQ(Get_State(CTL_VS_CHECK + ZOOM), 1);
    EXPECT_EQ(Get_State(CTL_VS_SLIDER + BRIGHTNESS), 54);
    EXPECT_EQ(Get_Text(CTL_VS_VALUE + BRIGHTNESS), "0.54");
    EXPECT_EQ(Get_State(CTL_VS_CHECK + 1) * 10 + Get_State(CTL_VS_CHECK + 2), 10);
}

TEST_F(Settings_Window, Moving_A_Slider_Makes_Only_That_Property_Manual) {
    Open_With_Camera();
    Set_State(CTL_VS_SLIDER + GAMMA, 75);
    Set_State(CTL_VS_CHECK + FOCUS, 1);  // ticked without moving its slider
    EXPECT_EQ(Camera_Settings_Event(Control_Event(WINDOW_VIDEO_SETTINGS, CTL_VS_SLIDER + GAMMA, ETYPE_CHANGE)), 1);
    Apply_Camera_Settings();

    EXPECT_EQ(Camera_Settings.Gamma, 0.75f);
    EXPECT_EQ(Camera_Settings.Auto_Gamma, 0.0f);
    EXPECT_EQ(Get_Text(CTL_VS_VALUE + GAMMA), "0.75");
    EXPECT_EQ(Get_State(CTL_VS_CHECK + GAMMA), 0);
    EXPECT_EQ(Camera_Settings.Auto_Focus, 1.0f);
    ASSERT_EQ(Sent.size(), (size_t)VIDEO_PROPERTY_COUNT);
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        int expected_auto = (i == GAMMA) ? 0 : (i == FOCUS || i == ZOOM) ? 1 : i % 2;
        float expected_value = (i == GAMMA) ? 0.75f : (i == ZOOM) ? 0.0f : Device_Values[i];
        EXPECT_EQ(Sent[i].Property, i);
        EXPECT_EQ(Sent[i].Automatic, expected_auto) << i;
        EXPECT_EQ(Get_State(CTL_VS_CHECK + i), expected_auto) << i;
        EXPECT_EQ(Sent[i].Value, expected_value) << "untouched values go back unrounded: " << i;
    }
}

TEST_F(Settings_Window, Shown_Settings_Survive_An_Apply_And_Nothing_Goes_Without_A_Device) {
    Open_Camera_Settings_Window();
    Camera_Settings.Gamma = 0.333f;  // as a loaded settings file puts them in
    Camera_Settings.Auto_Gamma = 1.0f;
    Show_Camera_Settings();
    EXPECT_EQ(Get_State(CTL_VS_SLIDER + GAMMA), 33);
    Set_State(CTL_VS_SLIDER + 2, 10);
    Apply_Camera_Settings();
    EXPECT_TRUE(Sent.empty());
    EXPECT_EQ(Camera_Settings.Gamma, 0.333f);
    EXPECT_EQ(Camera_Settings.Auto_Gamma, 1.0f);
    EXPECT_EQ(Camera_Settings.Hue, 0.1f);
    Close_Camera_Settings_Window();
    Apply_Camera_Settings();  // closed controls must not wipe the record
    EXPECT_EQ(Camera_Settings.Gamma, 0.333f);
}

// Loaded values outside 0..1 go to the device limited to that range; the
// record keeps them as loaded.
TEST_F(Settings_Window, The_Device_Gets_Properties_Within_0_To_1) {
    Open_With_Camera();
    const float in[] = {1e30f, -5.0f, 3.4028234663852886e38f, 0.25f, -1e-40f};
    const float sent[] = {1.0f, 0.0f, 1.0f, 0.25f, 0.0f};
    for (int i = 0; i < 5; i++) *Video_Property(&Camera_Settings, i) = in[i];
    Show_Camera_Settings();
    Sent.clear();
    Apply_Camera_Settings();
    ASSERT_EQ(Sent.size(), (size_t)VIDEO_PROPERTY_COUNT);
    for (int i = 0; i < 5; i++) {
        EXPECT_EQ(Sent[i].Value, sent[i]) << i;
        EXPECT_EQ(*Video_Property(&Camera_Settings, i), in[i]) << i;
    }
}
