#include <gtest/gtest.h>

#include <vector>

#include "video_test_world.h"

namespace {

// A fake capture component: a frame completes after Done_After polls of
// isCaptureDone (-1 = never); optionally the state is changed from outside
// after Change_State_After polls.
struct Fake_Device {
    int Done_After = 0;
    int Change_State_After = -1;
    int64_t Change_State_To = CAPTURE_STOP;
    int Request_Stop_At = -1;
    int Polls = 0;
    int Do_Calls = 0;
    int Deinit_Calls = 0;
    int Last_Device = -1;
};
Fake_Device Fake;
int64_t Slept_Ms = 0;
std::vector<int64_t> Sleeps;

void Count_Sleep(int64_t ms) {
    Slept_Ms += ms;
    Sleeps.push_back(ms);
}

void Fake_Do(unsigned device) {
    Fake.Do_Calls++;
    Fake.Last_Device = (int)device;
    Fake.Polls = 0;
}
int Fake_Done(unsigned) {
    int poll = Fake.Polls++;
    if (Fake.Change_State_After >= 0 && poll == Fake.Change_State_After) Set_Capture_State(Fake.Change_State_To);
    if (poll == Fake.Request_Stop_At) Request_Capture_Stop();
    return Fake.Done_After >= 0 && poll >= Fake.Done_After;
}
void Fake_Deinit(unsigned device) {
    Fake.Deinit_Calls++;
    Fake.Last_Device = (int)device;
}

Capture_Library Fake_Table() {
    Capture_Library t;
    t.doCapture = Fake_Do;
    t.isCaptureDone = Fake_Done;
    t.deinitCapture = Fake_Deinit;
    return t;
}

class Capture : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_Video_World();
        Fake = Fake_Device();
        Slept_Ms = 0;
        Sleeps.clear();
        Capture_Sleep = Count_Sleep;
        Install_Capture_Library(Fake_Table());
    }
    void TearDown() override {
        Capture_Device = -1;
        Set_Capture_State(CAPTURE_IDLE);
        Close_Capture_Library();
    }
};

}  // namespace

TEST_F(Capture, State_Machine_With_A_Fake_Component) {
    struct Case {
        const char* what;
        int64_t device;
        int64_t state;
        int done_after;
        int change_after;
        bool stop_request;
        // expected after one step
        int64_t state_after;
        int do_calls;
        int64_t slept;
        uint8_t image_changed;
        int64_t redraw;
        int64_t lost_messages;
    };
    const Case cases[] = {
        {"idle waits 100 ms", 0, CAPTURE_IDLE, 0, -1, false, CAPTURE_IDLE, 0, 100, 0, 0, 0},
        {"no device: back to idle", -1, CAPTURE_REQUESTED, 0, -1, false, CAPTURE_IDLE, 0, 0, 0, 0, 0},
        {"frame at once", 0, CAPTURE_REQUESTED, 0, -1, false, CAPTURE_READY, 1, 0, 1, 1, 0},
        {"frame after 3 polls", 2, CAPTURE_REQUESTED, 3, -1, false, CAPTURE_READY, 1, 3, 1, 1, 0},
        {"frame on the last poll", 1, CAPTURE_REQUESTED, 2500, -1, false, CAPTURE_READY, 1, 2500, 1, 1, 0},
        {"never completes", 0, CAPTURE_REQUESTED, -1, -1, false, CAPTURE_STOP, 1, 2500, 0, 0, 1},
        {"stop set while waiting", 0, CAPTURE_REQUESTED, -1, 5, false, CAPTURE_STOP, 1, 5, 0, 0, 0},
        {"ready waits for the main loop", 0, CAPTURE_READY, 0, -1, false, CAPTURE_READY, 0, 1, 0, 0, 0},
        {"stop request takes over from ready", -1, CAPTURE_READY, 0, -1, true, CAPTURE_IDLE, 0, 0, 0, 0, 0},
    };
    for (const Case& k : cases) {
        Fake = Fake_Device();
        Fake.Done_After = k.done_after;
        Fake.Change_State_After = k.change_after;
        Slept_Ms = 0;
        Jobs[0].Image_Changed = 0;
        Redraw_Request = 0;
        Capture_Device = k.device;
        Set_Capture_State(k.state);
        if (k.stop_request) Request_Capture_Stop();

        Capture_Thread_Step();

        EXPECT_EQ(Get_Capture_State(), k.state_after) << k.what;
        EXPECT_EQ(Fake.Do_Calls, k.do_calls) << k.what;
        if (k.do_calls) EXPECT_EQ(Fake.Last_Device, k.device) << k.what;
        EXPECT_EQ(Slept_Ms, k.slept) << k.what;
        EXPECT_EQ(Jobs[0].Image_Changed, k.image_changed) << k.what;
        EXPECT_EQ(Redraw_Request, k.redraw) << k.what;
        EXPECT_EQ(Capture_Messages_Pending(), k.lost_messages) << k.what;
        EXPECT_EQ(Prompt_History().size(), 0u) << "the thread itself never shows a message: " << k.what;
        Show_Capture_Messages();
        Clear_Prompt_History();
        std::lock_guard<std::mutex> lock(Capture_Lock);
        Capture_Stop_Request = 0;
    }
}

TEST_F(Capture, Lost_Device_Is_Reported_On_The_Main_Thread_And_The_Device_Closed) {
    Fake.Done_After = -1;
    Capture_Device = 3;
    Set_Capture_State(CAPTURE_REQUESTED);
    Capture_Thread_Step();
    ASSERT_EQ(Get_Capture_State(), CAPTURE_STOP);
    EXPECT_EQ(Slept_Ms, CAPTURE_MAX_POLLS);
    EXPECT_EQ(Prompt_History().size(), 0u);

    EXPECT_EQ(Show_Capture_Messages(), 1);
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Error");
    EXPECT_EQ(Prompt_History()[0].Text, "Lost video device, force-closing the video window\nA software crash may occur.");
    EXPECT_EQ(Show_Capture_Messages(), 0) << "shown once";

    // Stop: wait a second, close the device, back to idle.
    Sleeps.clear();
    Capture_Thread_Step();
    EXPECT_EQ(Sleeps, std::vector<int64_t>{1000});
    EXPECT_EQ(Fake.Deinit_Calls, 1);
    EXPECT_EQ(Fake.Last_Device, 3);
    EXPECT_EQ(Capture_Device.load(), -1);
    EXPECT_EQ(Get_Capture_State(), CAPTURE_IDLE);

    // With the device gone a request comes straight back.
    Set_Capture_State(CAPTURE_REQUESTED);
    Capture_Thread_Step();
    EXPECT_EQ(Get_Capture_State(), CAPTURE_IDLE);
    EXPECT_EQ(Fake.Deinit_Calls, 1);
}

TEST_F(Capture, Stop_Request_Takes_Effect_After_The_Pending_Frame) {
    // Requested while the frame is on its way: the frame still completes.
    Fake.Done_After = 4;
    Fake.Request_Stop_At = 2;
    Capture_Device = 0;
    Set_Capture_State(CAPTURE_REQUESTED);
    Capture_Thread_Step();
    EXPECT_EQ(Get_Capture_State(), CAPTURE_READY);
    EXPECT_EQ(Jobs[0].Image_Changed, 1);
    EXPECT_EQ(Fake.Deinit_Calls, 0);
    // The next pass stops: a second's grace, then the device is closed.
    Sleeps.clear();
    Capture_Thread_Step();
    EXPECT_EQ(Sleeps, std::vector<int64_t>{1000});
    EXPECT_EQ(Fake.Deinit_Calls, 1);
    EXPECT_EQ(Capture_Device.load(), -1);
    EXPECT_EQ(Get_Capture_State(), CAPTURE_IDLE);
    EXPECT_EQ(Capture_Stop_Request, 0);

    // Requested before the thread looked: no frame is started at all.
    Fake = Fake_Device();
    Capture_Device = 0;
    Set_Capture_State(CAPTURE_REQUESTED);
    Request_Capture_Stop();
    Capture_Thread_Step();
    EXPECT_EQ(Fake.Do_Calls, 0);
    EXPECT_EQ(Fake.Deinit_Calls, 1);
    EXPECT_EQ(Get_Capture_State(), CAPTURE_IDLE);
}

TEST_F(Capture, Entry_Points_That_Were_Not_Fetched_Are_Never_Called) {
    Capture_Library partial;
    partial.doCapture = Fake_Do;  // no isCaptureDone, no deinitCapture, no property calls
    Install_Capture_Library(partial);
    Fake.Done_After = 0;
    Capture_Device = 0;
    Set_Capture_State(CAPTURE_REQUESTED);
    Capture_Thread_Step();
    EXPECT_EQ(Fake.Do_Calls, 1);
    EXPECT_EQ(Get_Capture_State(), CAPTURE_STOP) << "without isCaptureDone no frame can complete";
    Capture_Thread_Step();
    EXPECT_EQ(Capture_Device.load(), -1);
    EXPECT_EQ(Fake.Deinit_Calls, 0);

    Install_Capture_Library(Capture_Library());
    EXPECT_EQ(Capture_Get_Property_Value(0, 5), -1.0f);
    EXPECT_EQ(Capture_Get_Property_Auto(0, 5), 0);
    Capture_Set_Property(0, 5, 0.5f, 0);
    EXPECT_EQ(Capture_Count_Devices(), 0);
    EXPECT_EQ(Capture_Device_Name(0), "");
    Capture_Params params;
    EXPECT_FALSE(Capture_Init(0, &params));
    Capture_Do(0);
    EXPECT_EQ(Capture_Is_Done(0), 0);
    Capture_Deinit(0);
}

TEST_F(Capture, Library_Is_Kept_While_A_Device_Is_Open_And_A_Missing_File_Is_Reported) {
    Capture_Device = 1;
    EXPECT_FALSE(Close_Capture_Library());
    EXPECT_TRUE(Capture_Library_Loaded());
    Capture_Device = -1;
    EXPECT_TRUE(Close_Capture_Library());
    EXPECT_FALSE(Capture_Library_Loaded());

    // No component is installed on this machine.
    EXPECT_EQ(Open_Capture_Library(), CAPTURE_OPEN_NO_LIBRARY);
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Error");
    EXPECT_EQ(Prompt_History()[0].Text, "Unable to open escapi.dll\nCurrent Directory: " + Current_Directory());
    EXPECT_FALSE(Capture_Library_Loaded());
}

TEST_F(Capture, Real_Thread_Delivers_A_Frame_And_Leaves_When_Detached) {
    Capture_Sleep = No_Sleep;
    Fake.Done_After = 2;
    Capture_Device = 0;
    Start_Capture_Thread();
    ASSERT_TRUE(Capture_Thread_Running());
    Set_Capture_State(CAPTURE_REQUESTED);
    for (int i = 0; i < 2000 && Get_Capture_State() != CAPTURE_READY; i++) Sleep_Ms(1);
    EXPECT_EQ(Get_Capture_State(), CAPTURE_READY);
    EXPECT_EQ(Jobs[0].Image_Changed, 1);
    Detach_Capture_Thread();
    for (int i = 0; i < 2000 && Capture_Thread_Running(); i++) Sleep_Ms(1);
    EXPECT_FALSE(Capture_Thread_Running());
}

namespace {

class Video_Off : public ::testing::Test {
  protected:
    void SetUp() override { Reset_Video_World(); }
};

}  // namespace

TEST_F(Video_Off, Current_Document_Moves_Off_The_Live_One) {
    struct Case {
        const char* what;
        int64_t mode;
        std::vector<int64_t> frozen;
        int64_t current;
        int64_t expected_current;
    };
    const Case cases[] = {
        {"emulator, live current, frozen 3 and 5", VIDEO_EMULATOR, {5, 3}, 0, 3},
        {"emulator, live current, none frozen", VIDEO_EMULATOR, {}, 0, -1},
        {"emulator, frozen 5 current", VIDEO_EMULATOR, {1, 5}, 5, 5},
        {"camera, live current, frozen 8", VIDEO_CAMERA, {8}, 0, 8},
        {"video already off", VIDEO_NONE, {2}, 0, 2},
    };
    for (const Case& k : cases) {
        Reset_Video_World();
        if (k.mode == VIDEO_EMULATOR) Start_Emulator();
        Video_Mode = k.mode;
        Jobs[0].In_Use = 1;
        for (int64_t s : k.frozen) {
            Jobs[s].In_Use = 1;
            Allocate_Image(&Jobs[s], 2, 2);
        }
        Current_Job = k.current;
        Set_State(CTL_VIDEO_TOGGLE, 1);
        Open_Camera_Settings_Window();

        Disable_Video();

        EXPECT_EQ(Current_Job, k.expected_current) << k.what;
        EXPECT_EQ(Video_Mode, VIDEO_NONE) << k.what;
        EXPECT_EQ(Jobs[0].In_Use, 0) << k.what;
        EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 0) << k.what;
        EXPECT_FALSE(Window_Exists(WINDOW_EMULATOR)) << k.what;
        EXPECT_FALSE(Camera_Settings_Window_Open()) << k.what;
        EXPECT_TRUE(File_Exists(Data_Folder + Prefs_File_Name)) << "preferences saved: " << k.what;
        std::lock_guard<std::mutex> lock(Capture_Lock);
        EXPECT_EQ(Capture_Stop_Request, k.mode == VIDEO_CAMERA ? 1 : 0) << k.what;
        Capture_Stop_Request = 0;
    }
}
