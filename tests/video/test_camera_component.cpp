// The built-in camera component: the V4L2 control mapping on recorded
// control data, the 4:3 crop, and real frames from GStreamer test sources
// through the component, the capture thread and the main loop (no camera
// hardware needed), with the start failures, the lost-device path and the
// source dialog.
#include <gtest/gtest.h>

#include <gst/gst.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "app/dispatch.h"
#include "app/main_loop.h"
#include "app/status_bar.h"
#include "measure/canvas.h"
#include "base/image_io.h"
#include "app/video_source.h"
#include "base/debug_log.h"
#include "support/test_support.h"
#include "video/camera_list.h"
#include "video/camera_source.h"
#include "video/gst_capture.h"
#include "video/v4l2_controls.h"
#include "video_test_world.h"

namespace {

// ---- recorded answers of a UVC camera (VIDIOC_QUERYCTRL, G_CTRL, QUERYMENU)
struct Recorded_Control {
    uint32_t Id, Type;
    int32_t Min, Max, Step, Default;
    uint32_t Flags;
    int32_t Value;
    uint32_t Menu_Items;  // bit i: menu item i exists
};
std::vector<Recorded_Control> Recorded;
std::vector<std::pair<uint32_t, int32_t>> Writes;

Recorded_Control* Find_Recorded(uint32_t id) {
    for (Recorded_Control& r : Recorded)
        if (r.Id == id) return &r;
    return nullptr;
}

int Recorded_Ioctl(int, unsigned long request, void* arg) {
    if (request == VIDIOC_QUERYCTRL) {
        v4l2_queryctrl* q = static_cast<v4l2_queryctrl*>(arg);
        Recorded_Control* r = Find_Recorded(q->id);
        if (!r) return errno = EINVAL, -1;
        q->type = r->Type;
        q->minimum = r->Min;
        q->maximum = r->Max;
        q->step = r->Step;
        q->default_value = r->Default;
        q->flags = r->Flags;
        return 0;
    }
    if (request == VIDIOC_G_CTRL || request == VIDIOC_S_CTRL) {
        v4l2_control* c = static_cast<v4l2_control*>(arg);
        Recorded_Control* r = Find_Recorded(c->id);
        if (!r) return errno = EINVAL, -1;
        if (request == VIDIOC_G_CTRL) {
            c->value = r->Value;
        } else {
            Writes.push_back({c->id, c->value});
            r->Value = c->value;
        }
        return 0;
    }
    if (request == VIDIOC_QUERYMENU) {
        v4l2_querymenu* m = static_cast<v4l2_querymenu*>(arg);
        Recorded_Control* r = Find_Recorded(m->id);
        if (!r || m->index >= 32 || !(r->Menu_Items & (1u << m->index))) return errno = EINVAL, -1;
        return 0;
    }
    return errno = ENOTTY, -1;
}

const uint32_t INT = V4L2_CTRL_TYPE_INTEGER, BOOL = V4L2_CTRL_TYPE_BOOLEAN, MENU = V4L2_CTRL_TYPE_MENU;
const uint32_t INACTIVE = V4L2_CTRL_FLAG_INACTIVE, DISABLED = V4L2_CTRL_FLAG_DISABLED;

void Record_Uvc_Camera() {
    Recorded = {
        {V4L2_CID_BRIGHTNESS, INT, -64, 64, 1, 0, 0, 0, 0},
        {V4L2_CID_CONTRAST, INT, 0, 64, 1, 32, 0, 32, 0},
        {V4L2_CID_SATURATION, INT, 0, 128, 1, 64, 0, 64, 0},
        {V4L2_CID_HUE, INT, -40, 40, 1, 0, 0, 10, 0},
        {V4L2_CID_AUTO_WHITE_BALANCE, BOOL, 0, 1, 1, 1, 0, 1, 0},
        {V4L2_CID_GAMMA, INT, 72, 500, 1, 100, 0, 100, 0},
        {V4L2_CID_GAIN, INT, 0, 100, 1, 0, 0, 25, 0},
        {V4L2_CID_POWER_LINE_FREQUENCY, MENU, 0, 2, 1, 1, 0, 1, 0x7},
        {V4L2_CID_WHITE_BALANCE_TEMPERATURE, INT, 2800, 6500, 1, 4600, INACTIVE, 4600, 0},
        {V4L2_CID_SHARPNESS, INT, 0, 6, 1, 3, 0, 3, 0},
        // A menu with a gap: items 0 and 2 only.
        {V4L2_CID_BACKLIGHT_COMPENSATION, MENU, 0, 2, 1, 0, 0, 0, 0x5},
        // Manual (1) and aperture priority (3) only, as UVC cameras offer it.
        {V4L2_CID_EXPOSURE_AUTO, MENU, 0, 3, 1, 3, 0, 3, 0xA},
        {V4L2_CID_EXPOSURE_ABSOLUTE, INT, 1, 5000, 1, 157, INACTIVE, 157, 0},
        {V4L2_CID_FOCUS_ABSOLUTE, INT, 0, 250, 5, 0, INACTIVE, 0, 0},
        {V4L2_CID_FOCUS_AUTO, BOOL, 0, 1, 1, 1, 0, 1, 0},
        {V4L2_CID_IRIS_ABSOLUTE, INT, 0, 10, 1, 0, DISABLED, 0, 0},  // listed but disabled: lacking
    };
    Writes.clear();
}

}  // namespace

TEST(Camera_Controls, Properties_Map_To_V4L2_Controls_On_Recorded_Data) {
    auto system_ioctl = V4L2_Ioctl;
    V4L2_Ioctl = Recorded_Ioctl;
    Record_Uvc_Camera();
    // Property order of the settings window; -1: the camera lacks it (Zoom,
    // Pan, Tilt are not there, Iris is disabled, three have no V4L2 control).
    const struct {
        int Property;
        float Value;
        int Auto;
    } reads[] = {
        {0, 0.5f, 0},  {1, 0.5f, 0},  {2, 0.625f, 0}, {3, 0.5f, 0},  {4, 0.5f, 0},
        {5, 28.0f / 428, 0}, {6, -1, 0}, {7, 1800.0f / 3700, 1}, {8, 0.0f, 0}, {9, 0.25f, 0},
        {10, -1, 0}, {11, -1, 0}, {12, -1, 0}, {13, -1, 0}, {14, 156.0f / 4999, 1},
        {15, -1, 0}, {16, 0.0f, 1}, {17, -1, 0},
    };
    for (const auto& r : reads) {
        EXPECT_NEAR(V4L2_Get_Property_Value(3, r.Property), r.Value, 1e-6) << V4L2_Property_Table[r.Property].Caption;
        EXPECT_EQ(V4L2_Get_Property_Auto(3, r.Property), r.Auto) << V4L2_Property_Table[r.Property].Caption;
    }
    EXPECT_EQ(V4L2_Get_Property_Value(-1, 0), -1.0f) << "no device node";

    typedef std::vector<std::pair<uint32_t, int32_t>> W;
    const struct {
        const char* What;
        int Property;
        float Value;
        int Auto;
        bool Ok;
        W Expected;
    } writes[] = {
        {"brightness 0.75", 0, 0.75f, 0, true, {{V4L2_CID_BRIGHTNESS, 32}}},
        {"brightness beyond 1 is clamped", 0, 2.0f, 0, true, {{V4L2_CID_BRIGHTNESS, 64}}},
        {"brightness between steps: the nearest above (89.6 of 128)", 0, 0.7f, 0, true, {{V4L2_CID_BRIGHTNESS, 26}}},
        {"brightness between steps: the nearest below (38.4 of 128)", 0, 0.3f, 0, true, {{V4L2_CID_BRIGHTNESS, -26}}},
        {"NaN reads as the minimum", 1, NAN, 0, true, {{V4L2_CID_CONTRAST, 0}}},
        {"focus manual: auto off first, value on its step of 5", 16, 0.3f, 0, true,
         {{V4L2_CID_FOCUS_AUTO, 0}, {V4L2_CID_FOCUS_ABSOLUTE, 75}}},
        {"focus between steps of 5: 16.25 steps is step 16", 16, 0.325f, 0, true,
         {{V4L2_CID_FOCUS_AUTO, 0}, {V4L2_CID_FOCUS_ABSOLUTE, 80}}},
        {"focus between steps of 5: 16.75 steps is step 17", 16, 0.335f, 0, true,
         {{V4L2_CID_FOCUS_AUTO, 0}, {V4L2_CID_FOCUS_ABSOLUTE, 85}}},
        {"focus automatic: the value is left alone", 16, 0.9f, 1, true, {{V4L2_CID_FOCUS_AUTO, 1}}},
        {"exposure automatic: aperture priority, the mode offered", 14, 0.5f, 1, true,
         {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_APERTURE_PRIORITY}}},
        {"exposure manual", 14, 1.0f, 0, true,
         {{V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL}, {V4L2_CID_EXPOSURE_ABSOLUTE, 5000}}},
        {"white balance automatic", 7, 0.0f, 1, true, {{V4L2_CID_AUTO_WHITE_BALANCE, 1}}},
        {"white balance manual, lowest temperature", 7, 0.0f, 0, true,
         {{V4L2_CID_AUTO_WHITE_BALANCE, 0}, {V4L2_CID_WHITE_BALANCE_TEMPERATURE, 2800}}},
        {"menu value in a gap goes to the next item", 8, 0.5f, 0, true, {{V4L2_CID_BACKLIGHT_COMPENSATION, 2}}},
        {"gain without an automatic control ignores the flag", 9, 0.5f, 1, true, {{V4L2_CID_GAIN, 50}}},
        {"zoom lacking", 13, 0.5f, 0, false, {}},
        {"iris disabled", 15, 0.5f, 0, false, {}},
        {"roll has no control", 12, 0.5f, 1, false, {}},
        {"property out of range", 18, 0.5f, 0, false, {}},
    };
    for (const auto& w : writes) {
        Writes.clear();
        EXPECT_EQ(V4L2_Set_Property(3, w.Property, w.Value, w.Auto), w.Ok) << w.What;
        EXPECT_EQ(Writes, w.Expected) << w.What;
    }
    // What was written reads back through the same normalisation.
    EXPECT_NEAR(V4L2_Get_Property_Value(3, 14), 1.0f, 1e-6);
    EXPECT_EQ(V4L2_Get_Property_Auto(3, 14), 0);

    // The normalisation on its own: empty ranges and steps that miss the maximum.
    v4l2_queryctrl q = {};
    q.minimum = 5;
    q.maximum = 5;
    EXPECT_EQ(V4L2_To_Unit(q, 5), 0.0f);
    EXPECT_EQ(V4L2_From_Unit(q, 0.7f), 5);
    q.minimum = 0;
    q.maximum = 10;
    q.step = 4;
    EXPECT_EQ(V4L2_From_Unit(q, 1.0f), 8) << "the last step that fits";
    EXPECT_EQ(V4L2_From_Unit(q, 0.5f), 4) << "5 lies between steps 4 and 8, nearer 4";
    EXPECT_EQ(V4L2_From_Unit(q, 0.7f), 8) << "7 lies between steps 4 and 8, nearer 8";
    EXPECT_EQ(V4L2_To_Unit(q, -3), 0.0f);
    EXPECT_EQ(V4L2_To_Unit(q, 30), 1.0f);
    V4L2_Ioctl = system_ioctl;
}

TEST(Camera_Modes, Pipeline_Text_Captions_And_Stored_Sizes) {
    Camera_Info node;
    node.Source = "v4l2src device=/dev/video0";
    Camera_Info typed;
    typed.Source = "videotestsrc ! video/x-raw,width=1920,height=1080";
    const std::string tail = "decodebin ! appsink name=trellum_sink emit-signals=false caps=video/x-raw sync=true "
                             "max-buffers=1 drop=true";
    const struct {
        const Camera_Info* Camera;
        const char* Resolution;
        std::string Expected;
    } pipelines[] = {
        {&node, "1920x1080",
         "v4l2src device=/dev/video0 ! capsfilter caps=\"video/x-raw,width=1920,height=1080;"
         "image/jpeg,width=1920,height=1080\" ! " + tail},
        {&node, "", "v4l2src device=/dev/video0 ! " + tail},
        {&node, "Camera default", "v4l2src device=/dev/video0 ! " + tail},
        {&typed, "", "videotestsrc ! video/x-raw,width=1920,height=1080 ! " + tail},
    };
    for (const auto& p : pipelines) EXPECT_EQ(Gst_Pipeline_Text(*p.Camera, p.Resolution), p.Expected) << p.Resolution;

    const struct {
        int32_t W, H;
        const char* Caption;
    } captions[] = {
        {1920, 1080, "1920 x 1080 (16:9)"}, {640, 480, "640 x 480 (4:3)"},   {1280, 1024, "1280 x 1024 (5:4)"},
        {1920, 1200, "1920 x 1200 (16:10)"}, {720, 480, "720 x 480 (3:2)"},   {1366, 768, "1366 x 768 (683:384)"},
        {1, 1, "1 x 1 (1:1)"},               {480, 640, "480 x 640 (3:4)"},   {0, 0, "0 x 0"},
    };
    for (const auto& c : captions) EXPECT_EQ(Resolution_Caption(c.W, c.H), c.Caption);

    const struct {
        const char* Text;
        int32_t W, H;  // 0: refused
    } sizes[] = {
        {"1920x1080", 1920, 1080}, {"640 x 480", 640, 480}, {"16384X1", 16384, 1}, {"16385x1", 0, 0},
        {"0x480", 0, 0},           {"640x", 0, 0},          {"x480", 0, 0},        {"640x480 ", 0, 0},
        {"-640x480", 0, 0},        {"640x480x3", 0, 0},     {"", 0, 0},            {"9999999999x1", 0, 0},
    };
    for (const auto& z : sizes) {
        int32_t w = -1, h = -1;
        EXPECT_EQ(Parse_Resolution(z.Text, &w, &h), z.W != 0) << z.Text;
        EXPECT_EQ(w, z.W ? z.W : -1) << z.Text;
        EXPECT_EQ(h, z.H ? z.H : -1) << z.Text;
    }
}

namespace {

void Short_Sleep(int64_t ms) { Sleep_Ms(std::min<int64_t>(ms, 20)); }

// A source element whose device is always in use by someone else, as a
// camera held by another program reports it: "trellumbusysrc".
struct Busy_Src {
    GstElement Parent;
};
struct Busy_SrcClass {
    GstElementClass Parent;
};
G_DEFINE_TYPE(Busy_Src, busy_src, GST_TYPE_ELEMENT)
GstStaticPadTemplate Busy_Src_Pad = GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

GstStateChangeReturn Busy_Src_Change_State(GstElement* element, GstStateChange transition) {
    if (transition == GST_STATE_CHANGE_NULL_TO_READY) {
        GST_ELEMENT_ERROR(element, RESOURCE, BUSY, ("Device is busy"), (nullptr));
        return GST_STATE_CHANGE_FAILURE;
    }
    return GST_ELEMENT_CLASS(busy_src_parent_class)->change_state(element, transition);
}
void busy_src_class_init(Busy_SrcClass* klass) {
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element, &Busy_Src_Pad);
    gst_element_class_set_static_metadata(element, "Busy source", "Source/Video", "Always busy", "tests");
    element->change_state = Busy_Src_Change_State;
}
void busy_src_init(Busy_Src* self) {
    gst_element_add_pad(GST_ELEMENT(self), gst_pad_new_from_static_template(&Busy_Src_Pad, "src"));
}

// The main window on the null platform, with a capture thread of the test's
// own that runs the real thread's steps (the program's thread starts once
// per process; another test lets it go).
class Camera : public ::testing::Test {
  protected:
    std::thread Stepper;
    std::atomic<bool> Stop{false};

    void SetUp() override {
        Fresh_Main_Window();
        Take_Prefs_Change();  // one left by an earlier test would be written into this test's folder
        Capture_Sleep = Short_Sleep;
        Capture_Test_Access().Device = -1;
        Set_Capture_State(CAPTURE_IDLE);
        Capture_Test_Access().Stop_Request = 0;
        Show_Capture_Messages();
        Clear_Prompt_History();
        Video_Mode = VIDEO_NONE;
        Main_Loop.Frames_Total = Main_Loop.Frames_This_Second = 0;
        Last_Device.clear();
        Last_Resolution.clear();
        Program_Names.Data_Folder = Folder();
        std::remove((Program_Names.Data_Folder + Program_Names.Prefs_File_Name).c_str());
        std::string why;
        ASSERT_TRUE(Gstreamer_Ready(&why)) << why;
        static bool registered = gst_element_register(nullptr, "trellumbusysrc", GST_RANK_NONE, busy_src_get_type());
        ASSERT_TRUE(registered);
        if (!Capture_Thread_Running())
            Stepper = std::thread([this] {
                while (!Stop.load()) Capture_Thread_Step();
            });
    }
    void TearDown() override {
        if (Video_Mode == VIDEO_CAMERA) Disable_Video();
        EXPECT_TRUE(Wait_Camera_Closed(20000)) << "the camera closes within bounded time";
        if (Video_Mode == VIDEO_EMULATOR) Close_Emulator();
        Stop = true;
        if (Stepper.joinable()) Stepper.join();
        Clear_Test_Cameras();
        Capture_Sleep = No_Sleep;
        Close_Capture_Library();
    }
    static std::string Folder() {
        static Temp_Folder folder;  // one for the process, removed at its end
        return folder.Path + "/";
    }
    // Main-loop passes until `done` holds; generous for a loaded machine.
    static bool Run_Until(const std::function<bool()>& done, double seconds = 30) {
        auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > until) return false;
            Main_Loop_Pass(false);
            Sleep_Ms(1);
        }
        return true;
    }
    // Passes until the capture thread has opened the camera or failed.
    static bool Run_Until_Started(double seconds = 60) {
        return Run_Until([] { return !Camera_Start_Pending(); }, seconds);
    }
    static uint32_t Live_Pixel(int x, int y) {
        const uint8_t* p = Jobs[0].Doc.Image_Buffer.data() + ((size_t)y * Jobs[0].Doc.Resolution.x + x) * 4;
        return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
    }
    // The live picture is w x h and every pixel is `expected` (x, y) in BGRA order.
    static bool Live_Picture_Is(int w, int h, const std::function<uint32_t(int, int)>& expected) {
        if (Jobs[0].Doc.Resolution.x != w || Jobs[0].Doc.Resolution.y != h ||
            Jobs[0].Doc.Image_Buffer.size() != (size_t)w * h * 4)
            return false;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if (Live_Pixel(x, y) != expected(x, y)) return false;
        return true;
    }
    // A test source's own size: videotestsrc gives 320 x 240 unless told otherwise.
    static bool Live_Picture_Is(uint32_t bgra, int w = 320, int h = 240) {
        return Live_Picture_Is(w, h, [bgra](int, int) { return bgra; });
    }
    static std::string Prefs_Text() {
        std::vector<uint8_t> bytes;
        Read_File_Bytes(Program_Names.Data_Folder + Program_Names.Prefs_File_Name, 1 << 20, &bytes);
        return std::string(bytes.begin(), bytes.end());
    }
};

const uint32_t GREEN = 0xff00ff00;  // B 0, G 255, R 0, A 255 (bytes from the lowest)
const uint32_t RED = 0xffff0000;

}  // namespace

TEST_F(Camera, Frames_Of_A_Test_Source_Fill_The_Live_Picture_At_Their_Own_Size) {
    // 1280 x 720 with black bands of 160 at both sides around a green 960 x 720:
    // the whole frame, pixel for pixel (a crop or a stretch moves the bands).
    ASSERT_TRUE(Start_Video_Source("gst:videotestsrc pattern=solid-color foreground-color=0xff00ff00 ! "
                                   "video/x-raw,width=960,height=720 ! videobox left=-160 right=-160 fill=black",
                                   ""))
        << Last_Prompt_Text();
    Show_Video_Changes();
    EXPECT_EQ(Video_Mode, VIDEO_CAMERA);
    EXPECT_EQ(Current_Job, 0);
    EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 1);
    ASSERT_TRUE(Run_Until_Started());
    int64_t device = Capture_Device_Number();
    ASSERT_GE(device, 0) << Last_Prompt_Text();
    // The first frame may take long on a loaded machine.
    const auto banded = [](int x, int) { return x < 160 || x >= 1120 ? 0xff000000u : GREEN; };
    EXPECT_TRUE(Run_Until([&] { return Main_Loop.Frames_Total >= 3 && Live_Picture_Is(1280, 720, banded); }, 20))
        << "frames " << Main_Loop.Frames_Total << ", pixel (0,0) " << std::hex << Live_Pixel(0, 0) << ", (320,240) "
        << Live_Pixel(320, 240);
    EXPECT_GT(Stage_Times.Capture.load(), 0.0f);
    // A pass that takes a frame also draws it: nothing is left to show later.
    for (int shown = 0; shown < 3;) {
        int64_t frames = Main_Loop.Frames_Total;
        ASSERT_TRUE(Run_Until([&] { return Main_Loop.Frames_Total != frames; }, 20));
        EXPECT_EQ(Jobs[0].Image_Changed, 0) << "frame " << Main_Loop.Frames_Total << " waits for the next pass";
        shown++;
    }
    // A source without a device node has no controls: the window shows them all automatic.
    for (int p = 0; p < 18; p++) EXPECT_EQ(Capture_Get_Property_Value(device, p), -1.0f) << p;
    Read_Camera_Settings();
    EXPECT_EQ(Camera_Settings.Auto_Brightness, 1.0f);
    EXPECT_EQ(Camera_Settings.Auto_Prop_Max, 1.0f);
    EXPECT_TRUE(Prompt_History().empty()) << Last_Prompt_Text();
    EXPECT_EQ(Prefs_Text(), "") << "a source from the command line is not remembered";
}

// A running source that changes its size: the live picture follows with
// whole frames of the new size and loses its measurements; a frozen
// document keeps both.
TEST_F(Camera, A_Size_Change_While_Running_Resizes_The_Live_Picture) {
    ASSERT_TRUE(Start_Video_Source("gst:videotestsrc pattern=solid-color foreground-color=0xff00ff00 ! "
                                   "capsfilter name=trellum_size caps=video/x-raw,width=320,height=240",
                                   ""))
        << Last_Prompt_Text();
    ASSERT_TRUE(Run_Until([] { return Main_Loop.Frames_Total > 0 && Live_Picture_Is(GREEN, 320, 240); }, 30));
    Jobs[2].In_Use = 1;
    Jobs[2].Doc = Jobs[0].Doc;
    Jobs[0].Doc.Tools.resize(2);
    Jobs[2].Doc.Tools.resize(1);
    Take_Window_Changes();
    ASSERT_TRUE(Gst_Capture_Set_Caps("trellum_size", "video/x-raw,width=400,height=100"));
    EXPECT_TRUE(Run_Until([] { return Live_Picture_Is(GREEN, 400, 100); }, 30)) << Jobs[0].Doc.Resolution.x;
    EXPECT_TRUE(Jobs[0].Doc.Tools.empty());
    // The main loop's window update may have taken the mark already; it then rebuilt the list.
    EXPECT_TRUE(Take_Window_Changes().Measurement_List || Row_Count(CTL_MEASURE_LIST) == 1);
    EXPECT_EQ(Jobs[2].Doc.Resolution.x, 320);
    EXPECT_EQ(Jobs[2].Doc.Tools.size(), 1u);
    // Smaller again, then back: every frame whole at its size, none torn.
    ASSERT_TRUE(Gst_Capture_Set_Caps("trellum_size", "video/x-raw,width=32,height=24"));
    EXPECT_TRUE(Run_Until([] { return Live_Picture_Is(GREEN, 32, 24); }, 30));
    ASSERT_TRUE(Gst_Capture_Set_Caps("trellum_size", "video/x-raw,width=320,height=240"));
    EXPECT_TRUE(Run_Until([] { return Live_Picture_Is(GREEN, 320, 240); }, 30));
    EXPECT_FALSE(Gst_Capture_Set_Caps("no_such_element", "video/x-raw"));
    EXPECT_TRUE(Prompt_History().empty()) << Last_Prompt_Text();
}

TEST_F(Camera, A_Source_That_Ends_Takes_The_Lost_Device_Path_And_Video_Starts_Again) {
    ASSERT_TRUE(Start_Video_Source("gst:videotestsrc num-buffers=30 pattern=solid-color foreground-color=0xff00ff00", ""))
        << Last_Prompt_Text();
    EXPECT_TRUE(Run_Until([] { return !Prompt_History().empty(); }, 60)) << "frames " << Main_Loop.Frames_Total;
    EXPECT_EQ(Last_Prompt_Text(),
              "Error / Lost video device, force-closing the video window\nA software crash may occur.");
    EXPECT_GT(Main_Loop.Frames_Total, 0);
    EXPECT_LE(Main_Loop.Frames_Total, 30);
    // The thread closes the device; video stays in camera mode until the user switches it off.
    EXPECT_TRUE(Run_Until([] { return Capture_Device_Number() == -1 && Get_Capture_State() == CAPTURE_IDLE; }, 20));
    EXPECT_EQ(Video_Mode, VIDEO_CAMERA);
    int64_t frames = Main_Loop.Frames_Total;
    Set_State(CTL_VIDEO_TOGGLE, 0);
    Control_Command(Control_Event(WINDOW_MAIN, CTL_VIDEO_TOGGLE, ETYPE_CHANGE));
    EXPECT_EQ(Video_Mode, VIDEO_NONE);

    // The toggle starts the same source again, and it delivers again.
    Clear_Prompt_History();
    Set_State(CTL_VIDEO_TOGGLE, 1);
    Control_Command(Control_Event(WINDOW_MAIN, CTL_VIDEO_TOGGLE, ETYPE_CHANGE));
    EXPECT_EQ(Video_Mode, VIDEO_CAMERA) << Last_Prompt_Text();
    EXPECT_TRUE(Run_Until([&] { return Main_Loop.Frames_Total >= frames + 3; }, 20));
    EXPECT_EQ(Jobs[0].In_Use, 1);
}

TEST_F(Camera, Sources_That_Cannot_Start) {
    const struct {
        const char* Source;
        const char* Prompt;  // "" none
        int64_t Mode_After;
    } cases[] = {
        {"/dev/trellum-no-such-node", "Warning / Camera not found: /dev/trellum-no-such-node. Using the video emulator.",
         VIDEO_EMULATOR},
        {"No Such Camera", "Warning / Camera not found: No Such Camera. Using the video emulator.", VIDEO_EMULATOR},
        {"gst:", "Warning / Camera not found: gst:. Using the video emulator.", VIDEO_EMULATOR},
        {"gst:trellumnosuchsrc", "Error / Unable to start the camera: gst:trellumnosuchsrc\nno element \"trellumnosuchsrc\"",
         VIDEO_NONE},
        {"gst:videotestsrc num-buffers=0", "Error / Unable to start the camera: gst:videotestsrc num-buffers=0\n"
                                           "the source ended before its first frame", VIDEO_NONE},
        {"gst:filesrc location=/nonexistent/trellum", "Warning / Camera not found: gst:filesrc "
                                                      "location=/nonexistent/trellum. Using the video emulator.",
         VIDEO_EMULATOR},
        {"gst:trellumbusysrc", "Error / Camera busy: gst:trellumbusysrc", VIDEO_NONE},
        {"", "", VIDEO_EMULATOR},
    };
    for (const auto& c : cases) {
        Clear_Prompt_History();
        Jobs[3].In_Use = 1;
        Make_Current_Job(3);
        Start_Video_Source(c.Source, "");
        EXPECT_TRUE(Run_Until_Started()) << c.Source;
        Show_Video_Changes();
        EXPECT_EQ(Last_Prompt_Text(), c.Prompt) << c.Source;
        EXPECT_LE(Prompt_History().size(), 1u) << "one message: " << c.Source;
        EXPECT_EQ(Video_Mode, c.Mode_After) << c.Source;
        EXPECT_EQ(Jobs[0].In_Use, c.Mode_After == VIDEO_NONE ? 0 : 1) << c.Source;
        EXPECT_EQ(Current_Job, c.Mode_After == VIDEO_NONE ? 3 : 0) << c.Source;
        EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), c.Mode_After == VIDEO_NONE ? 0 : 1) << c.Source;
        EXPECT_EQ(Capture_Device_Number(), -1) << c.Source;
        if (Video_Mode == VIDEO_EMULATOR) Close_Emulator();
    }
    EXPECT_EQ(Prefs_Text(), "") << "failed starts write no preferences";
}

TEST_F(Camera, The_Source_Dialog_Lists_Sources_And_Remembers_The_Choice) {
    Camera_Info red;
    red.Name = "Test camera";
    red.Source = "videotestsrc pattern=solid-color foreground-color=0xffff0000";
    red.Resolutions = {"800x600", "320x240"};
    Add_Test_Camera(red);
    Prefs_SaveInitial();
    std::string factory = Prefs_Text();

    Open_Video_Source_Dialog();
    ASSERT_TRUE(Window_Exists(WINDOW_VIDEO_SOURCE));
    EXPECT_EQ(Prefs_Text(), factory) << "opening the dialog changes nothing";
    int64_t rows = Row_Count(CTL_SRC_LIST);
    ASSERT_GE(rows, 3);
    const int64_t camera_row = rows - 2, description_row = rows - 1;
    EXPECT_EQ(Get_Row_Text(CTL_SRC_LIST, 0), "Video emulator\n");
    EXPECT_EQ(Get_Row_Text(CTL_SRC_LIST, camera_row), "Test camera\n");
    EXPECT_EQ(Get_Row_Text(CTL_SRC_LIST, description_row), "GStreamer source\n");
    EXPECT_EQ(Get_State(CTL_SRC_LIST), 0) << "nothing chosen yet: the emulator";
    Set_State(CTL_SRC_LIST, camera_row);
    Video_Source_Event(Control_Event(WINDOW_VIDEO_SOURCE, CTL_SRC_LIST, ETYPE_CHANGE));
    ASSERT_EQ(Row_Count(CTL_SRC_RESOLUTION), 3);
    EXPECT_EQ(Get_Row_Text(CTL_SRC_RESOLUTION, 0), "Camera default");
    EXPECT_EQ(Get_Row_Text(CTL_SRC_RESOLUTION, 1), "800 x 600 (4:3)");
    Set_State(CTL_SRC_RESOLUTION, 1);
    Video_Source_Event(Control_Event(WINDOW_VIDEO_SOURCE, CTL_SRC_OK, ETYPE_CHANGE));
    EXPECT_FALSE(Window_Exists(WINDOW_VIDEO_SOURCE));
    EXPECT_EQ(Video_Mode, VIDEO_CAMERA) << Last_Prompt_Text();
    EXPECT_EQ(Last_Device, "Test camera");
    EXPECT_EQ(Last_Resolution, "800x600") << "kept as listed, not as shown";
    Update_Windows();
    std::string text = Prefs_Text();
    EXPECT_NE(text.find("\r\nLastDevice = Test camera\r\nLastResolution = 800x600\r\n"), std::string::npos) << text;
    EXPECT_TRUE(Run_Until([] { return Main_Loop.Frames_Total > 0 && Live_Picture_Is(RED, 800, 600); }, 20))
        << std::hex << Live_Pixel(0, 0) << " " << std::dec << Jobs[0].Doc.Resolution.x;

    // Off and on with the toggle, while a frame is pending: the chosen camera
    // again, and the pending frame does not turn into a lost device.
    Disable_Video();
    Start_Chosen_Video_Source();
    EXPECT_EQ(Video_Mode, VIDEO_CAMERA) << Last_Prompt_Text();
    int64_t frames = Main_Loop.Frames_Total;
    EXPECT_TRUE(Run_Until([&] { return Main_Loop.Frames_Total >= frames + 3; }, 20));
    EXPECT_TRUE(Prompt_History().empty()) << Last_Prompt_Text();

    // The dialog opens on the running camera; choosing the emulator empties both keys.
    Open_Video_Source_Dialog();
    EXPECT_EQ(Get_State(CTL_SRC_LIST), camera_row);
    EXPECT_EQ(Get_State(CTL_SRC_RESOLUTION), 1);
    Set_State(CTL_SRC_LIST, 0);
    Video_Source_Event(Control_Event(WINDOW_VIDEO_SOURCE, CTL_SRC_LIST, ETYPE_CHANGE));
    EXPECT_TRUE(Control_Disabled(CTL_SRC_RESOLUTION));
    Video_Source_Event(Control_Event(WINDOW_VIDEO_SOURCE, CTL_SRC_OK, ETYPE_CHANGE));
    EXPECT_EQ(Video_Mode, VIDEO_EMULATOR);
    EXPECT_TRUE(Run_Until([] { return Capture_Device_Number() == -1; }, 20)) << "the thread closes the camera";
    EXPECT_EQ(Last_Device, "");
    Update_Windows();
    text = Prefs_Text();
    EXPECT_NE(text.find("\r\nLastDevice = \r\nLastResolution = \r\n"), std::string::npos) << text;
    EXPECT_TRUE(Prompt_History().empty()) << Last_Prompt_Text();

    // A typed description: an empty one is refused with the dialog left open,
    // one that does not start is not remembered, one that runs is, and the
    // dialog shows it chosen with its text.
    const std::string green = "videotestsrc pattern=solid-color foreground-color=0xff00ff00";
    const struct {
        const char* Typed;
        const char* Prompt_Start;  // "" none
        const char* Last_Device_After;
    } typed[] = {
        {"  ", "Error / Type a GStreamer source description", ""},
        {"trellumnosuchsrc", "Error / Unable to start the camera: gst:trellumnosuchsrc\n", ""},
        {green.c_str(), "", "gst:videotestsrc pattern=solid-color foreground-color=0xff00ff00"},
    };
    for (const auto& t : typed) {
        Clear_Prompt_History();
        Open_Video_Source_Dialog();
        Set_Text(CTL_SRC_GST_TEXT, t.Typed);
        Video_Source_Event(Control_Event(WINDOW_VIDEO_SOURCE, CTL_SRC_GST_TEXT, ETYPE_CHANGE));
        EXPECT_EQ(Get_State(CTL_SRC_LIST), description_row) << "typing chooses the description: " << t.Typed;
        EXPECT_TRUE(Control_Disabled(CTL_SRC_RESOLUTION)) << t.Typed;
        Video_Source_Event(Control_Event(WINDOW_VIDEO_SOURCE, CTL_SRC_OK, ETYPE_CHANGE));
        EXPECT_TRUE(Run_Until_Started()) << t.Typed;
        EXPECT_EQ(Last_Prompt_Text().rfind(t.Prompt_Start, 0), 0u) << t.Typed << ": " << Last_Prompt_Text();
        EXPECT_EQ(Prompt_History().empty(), *t.Prompt_Start == 0) << t.Typed;
        EXPECT_EQ(Window_Exists(WINDOW_VIDEO_SOURCE), std::string(t.Typed) == "  ") << t.Typed;
        EXPECT_EQ(Last_Device, t.Last_Device_After) << t.Typed;
        Close_Video_Source_Dialog();
    }
    EXPECT_TRUE(Run_Until([] { return Main_Loop.Frames_Total > 0 && Live_Picture_Is(GREEN); }, 20));
    EXPECT_NE(Prefs_Text().find("\r\nLastDevice = gst:" + green + "\r\nLastResolution = \r\n"), std::string::npos)
        << Prefs_Text();
    Open_Video_Source_Dialog();
    EXPECT_EQ(Get_State(CTL_SRC_LIST), description_row);
    EXPECT_EQ(Get_Text(CTL_SRC_GST_TEXT), green);
    Close_Video_Source_Dialog();

    // A remembered camera that is gone: one message, and the emulator.
    Disable_Video();
    Last_Device = "Camera unplugged meanwhile";
    Clear_Test_Cameras();
    Video_Source_Event(Platform_Event());  // nothing happens without a window
    Start_Video_Source(Last_Device, "");
    EXPECT_EQ(Last_Prompt_Text(), "Warning / Camera not found: Camera unplugged meanwhile. Using the video emulator.");
    EXPECT_EQ(Video_Mode, VIDEO_EMULATOR);
}

// A start that never delivers a frame runs on the capture thread: the loop
// keeps answering events meanwhile and the status bar says what happens. A
// second start cancels it and runs long before the component's own 10 s
// wait for the first frame would have ended; the first gives no message.
TEST_F(Camera, A_Start_That_Never_Delivers_Leaves_The_Loop_Answering) {
    ASSERT_TRUE(Start_Video_Source("gst:appsrc is-live=true caps=video/x-raw,format=BGRx,width=64,height=48", ""));
    EXPECT_EQ(Video_Mode, VIDEO_CAMERA);
    EXPECT_EQ(Status_Field_Text(0), "Starting camera...");
    Set_Magnifier_Zoom(4);
    for (int i = 0; i < 10; i++) {
        Platform_Event wheel = View_Event(ETYPE_WHEEL);
        wheel.Wheel = 1;
        Post_Event(wheel);
        EXPECT_TRUE(Run_Until([&] { return Canvas_View().Magnifier_Zoom == 5 + i; }, 5)) << "event " << i << " not answered";
    }
    EXPECT_TRUE(Camera_Start_Pending());
    EXPECT_TRUE(Capture_Component_In_Use());
    EXPECT_EQ(Status_Field_Text(0), "Starting camera...");

    ASSERT_TRUE(Start_Video_Source("gst:videotestsrc pattern=solid-color foreground-color=0xff00ff00", ""));
    // Generous for a loaded machine, and still short of the 10 s a start that
    // waited for the first one would take.
    EXPECT_TRUE(Run_Until([] { return Main_Loop.Frames_Total > 0 && Live_Picture_Is(GREEN); }, 6));
    EXPECT_TRUE(Prompt_History().empty()) << Last_Prompt_Text();
    EXPECT_EQ(Status_Field_Text(0).rfind("Video: FPS: ", 0), 0u) << Status_Field_Text(0);
}
