// A camera at its own size on the real window: a 1920 x 1080 test source
// reaches the live document pixel for pixel, Space freezes the whole frame,
// and a size change while it runs resizes the live picture and clears the
// live document's measurements, leaving the frozen document alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/control_ids.h"
#include "app/job_list.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/video_source.h"
#include "base/app_state.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "platform/platform_wx_test.h"
#include "ui/ui_world.h"
#include "video/camera_source.h"
#include "video/gst_capture.h"

namespace {

const uint32_t BLUE = 0xff0000ff;   // B 255, G 0, R 0, A 255 (bytes from the lowest)
const uint32_t BLACK = 0xff000000;
const int BAND = 160;  // black columns the source adds at both sides

// The caps of the blue part of a width x height picture.
std::string Blue_Caps(int width, int height) {
    return "video/x-raw,format=BGRx,width=" + std::to_string(width - 2 * BAND) + ",height=" + std::to_string(height);
}

// A blue picture of (width - 2 * BAND) x height in 8-bit RGB, so that no
// colour conversion touches a value, with black bands of BAND at both
// sides; the capsfilter "trellum_size" sets the blue part's size.
std::string Source(int width, int height) {
    return "gst:videotestsrc pattern=solid-color foreground-color=0xff0000ff ! capsfilter name=trellum_size caps=" +
           Blue_Caps(width, height) + " ! videobox left=-160 right=-160 fill=black";
}

uint32_t Expected(int w, int x) { return x < BAND || x >= w - BAND ? BLACK : BLUE; }

// The first pixel of `slot` that is not the source's, or "" when all are and
// the picture is w x h.
std::string Picture_Differs(int64_t slot, int w, int h) {
    const Doc_Info& d = Jobs[slot].Doc;
    if (d.Resolution.x != w || d.Resolution.y != h || d.Image_Buffer.size() != (size_t)w * h * 4)
        return "size " + std::to_string(d.Resolution.x) + " x " + std::to_string(d.Resolution.y);
    const uint8_t* p = d.Image_Buffer.data();
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++, p += 4) {
            uint32_t v = (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
            if (v != Expected(w, x)) return "pixel " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(v);
        }
    return "";
}

class Ui_Camera : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_World();
        Clear_Prompt_History();  // earlier tests' prompts
    }
    void TearDown() override {
        // Back to the emulator for the other tests.
        Start_Video_Source("", "");
        Show_Video_Changes();
        Reset_World();
    }
};

}  // namespace

TEST_F(Ui_Camera, A_Full_Size_Source_Is_Frozen_Whole_And_Follows_A_Size_Change) {
    ASSERT_TRUE(Start_Video_Source(Source(1920, 1080), ""));
    Show_Video_Changes();
    ASSERT_EQ(Video_Mode, VIDEO_CAMERA);
    int64_t first = Main_Loop.Frames_Total;
    EXPECT_TRUE(Pump_Until([&] { return Main_Loop.Frames_Total >= first + 3 && Picture_Differs(0, 1920, 1080).empty(); }))
        << Picture_Differs(0, 1920, 1080);
    ASSERT_TRUE(Prompt_History().empty()) << Prompt_History().back().Text;

    // Space: a document of the whole frame, pixel for pixel.
    Post_View_Event(ETYPE_KEY_DOWN, 0, 0, VK_SPACE_);
    Settle();
    ASSERT_EQ(Jobs[1].In_Use, 1);
    EXPECT_EQ(Picture_Differs(1, 1920, 1080), "");
    Tool frozen_line;
    frozen_line.Type = 1;
    frozen_line.X_End = 1800;
    Jobs[1].Doc.Tools.push_back(frozen_line);
    Mark_Measurement_List_Changed();

    // Measurements on the live document, then the source changes its size.
    Select_Job(0);
    Settle();
    Tool line;
    line.Type = 1;
    line.X_Start = 1700;
    line.X_End = 1900;
    Jobs[0].Doc.Tools.push_back(line);
    Mark_Measurement_List_Changed();
    Settle();
    ASSERT_EQ(Row_Count(CTL_MEASURE_LIST), 1);
    ASSERT_TRUE(Gst_Capture_Set_Caps("trellum_size", Blue_Caps(800, 600)));
    EXPECT_TRUE(Pump_Until([] { return Picture_Differs(0, 800, 600).empty(); })) << Picture_Differs(0, 800, 600);
    Settle();
    EXPECT_TRUE(Jobs[0].Doc.Tools.empty());
    EXPECT_EQ(Row_Count(CTL_MEASURE_LIST), 1) << "the list (frozen documents' measurements) keeps its row";
    // Frames keep coming at the new size, each one whole.
    int64_t resized = Main_Loop.Frames_Total;
    EXPECT_TRUE(Pump_Until([&] { return Main_Loop.Frames_Total >= resized + 5; }));
    EXPECT_EQ(Picture_Differs(0, 800, 600), "");
    EXPECT_EQ(Picture_Differs(1, 1920, 1080), "") << "the frozen document keeps its picture";
    EXPECT_EQ(Jobs[1].Doc.Tools.size(), 1u);
    EXPECT_TRUE(Prompt_History().empty()) << Prompt_History().back().Text;
}
