#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "video_test_world.h"
#include "app/main_loop.h"

namespace {

// A fake capture component: a frame completes on poll Done_After of
// isCaptureDone (-1 never, -2 the device reports itself lost on poll 3);
// At_Poll/Action change the state meanwhile.
struct Fake_Device {
    int Done_After = 0, Polls = 0, Do_Calls = 0, Deinit_Calls = 0, Last_Device = -1;
    int At_Poll = -1;
    char Action = 0;  // 'S' state Stop, 'R' Request_Capture_Stop
};
Fake_Device Fake;
std::vector<int64_t> Sleeps;

void Count_Sleep(int64_t ms) { Sleeps.push_back(ms); }
int64_t Slept() {
    int64_t sum = 0;
    for (int64_t s : Sleeps) sum += s;
    return sum;
}
void Fake_Do(unsigned device) {
    Fake.Do_Calls++;
    Fake.Last_Device = (int)device;
}
int Fake_Done(unsigned) {
    int poll = Fake.Polls++;
    if (poll == Fake.At_Poll && Fake.Action == 'S') Set_Capture_State(CAPTURE_STOP);
    if (poll == Fake.At_Poll && Fake.Action == 'R') Request_Capture_Stop();
    if (Fake.Done_After == -2) return poll >= 3 ? -1 : 0;
    return Fake.Done_After >= 0 && poll >= Fake.Done_After;
}
void Fake_Deinit(unsigned device) {
    Fake.Deinit_Calls++;
    Fake.Last_Device = (int)device;
}

class Capture : public ::testing::Test {
  protected:
    void SetUp() override {
        Reset_Video_World();
        Fake = Fake_Device();
        Sleeps.clear();
        Capture_Sleep = Count_Sleep;
        Capture_Library t;
        t.doCapture = Fake_Do;
        t.isCaptureDone = Fake_Done;
        t.deinitCapture = Fake_Deinit;
        Install_Capture_Library(t);
    }
    void TearDown() override {
        Capture_Test_Access().Device = -1;
        Close_Capture_Library();
    }
};

}  // namespace

TEST_F(Capture, State_Machine_With_A_Fake_Component) {
    struct Case {
        const char* what;
        int64_t device, state;
        int done_after, at_poll;
        char action;
        int64_t state_after, slept;
        uint8_t frame;  // a frame completed (its capture time is taken)
        int64_t lost;
    };
    const Case cases[] = {
        {"idle", 0, CAPTURE_IDLE, 0, -1, 0, CAPTURE_IDLE, 100, 0, 0},
        {"no device", -1, CAPTURE_REQUESTED, 0, -1, 0, CAPTURE_IDLE, 0, 0, 0},
        {"frame at once", 0, CAPTURE_REQUESTED, 0, -1, 0, CAPTURE_READY, 0, 1, 0},
        {"frame on the last poll", 2, CAPTURE_REQUESTED, 2500, -1, 0, CAPTURE_READY, 2500, 1, 0},
        {"never completes", 0, CAPTURE_REQUESTED, -1, -1, 0, CAPTURE_STOP, 2500, 0, 1},
        {"lost device reported at once", 0, CAPTURE_REQUESTED, -2, -1, 0, CAPTURE_STOP, 3, 0, 1},
        {"stop set while waiting", 0, CAPTURE_REQUESTED, -1, 5, 'S', CAPTURE_STOP, 5, 0, 0},
        {"stop requested while waiting", 0, CAPTURE_REQUESTED, 4, 2, 'R', CAPTURE_READY, 4, 1, 0},
        {"ready", 0, CAPTURE_READY, 0, -1, 0, CAPTURE_READY, 1, 0, 0},
    };
    for (const Case& k : cases) {
        Fake = Fake_Device();
        Fake.Done_After = k.done_after;
        Fake.At_Poll = k.at_poll;
        Fake.Action = k.action;
        Sleeps.clear();
        Jobs[0].Image_Changed = 0;
        Take_Redraw_Request();
        Stage_Times.Capture = -1;
        Capture_Test_Access().Device = k.device;
        Set_Capture_State(k.state);

        Capture_Thread_Step();

        EXPECT_EQ(Get_Capture_State(), k.state_after) << k.what;
        EXPECT_EQ(Fake.Do_Calls, k.state == CAPTURE_REQUESTED && k.device != -1) << k.what;
        EXPECT_EQ(Slept(), k.slept) << k.what;
        EXPECT_EQ(Stage_Times.Capture.load() >= 0, k.frame == 1) << k.what;
        // The frame is not in the live picture yet: the main loop marks it when it takes it.
        EXPECT_EQ(Jobs[0].Image_Changed, 0) << k.what;
        EXPECT_FALSE(Redraw_Requested()) << k.what;
        EXPECT_EQ(Prompt_History().size(), 0u) << "the thread itself shows nothing: " << k.what;
        EXPECT_EQ(Show_Capture_Messages(), k.lost) << k.what;
        if (k.lost) {
            ASSERT_EQ(Prompt_History().size(), 1u);
            EXPECT_EQ(Prompt_History()[0].Title, "Error");
            EXPECT_EQ(Prompt_History()[0].Text,
                      "Lost video device, force-closing the video window\nA software crash may occur.");
            Clear_Prompt_History();
        }
        // Whatever stop was asked for is carried out by the next pass.
        if (k.state_after == CAPTURE_STOP || k.action == 'R') {
            Sleeps.clear();
            Capture_Thread_Step();
            EXPECT_EQ(Sleeps, std::vector<int64_t>{1000}) << k.what;
            EXPECT_EQ(Fake.Deinit_Calls, 1) << k.what;
            EXPECT_EQ(Fake.Last_Device, k.device) << k.what;
            EXPECT_EQ(Capture_Device_Number(), -1) << k.what;
            EXPECT_EQ(Get_Capture_State(), CAPTURE_IDLE) << k.what;
            EXPECT_EQ(Capture_Test_Access().Stop_Request, 0) << k.what;
        } else {
            EXPECT_EQ(Fake.Deinit_Calls, 0) << k.what;
        }
    }
}

// The thread's frame follows each frame's size within the picture limit, and
// the live picture takes it in exchange only at the same size.
TEST(Capture_Frame, Follows_The_Frame_Size_And_Is_Exchanged_At_The_Same_Size) {
    const struct {
        int32_t W, H;
        bool Taken;
    } sizes[] = {{1920, 1080, true}, {2, 3, true}, {0, 5, false}, {5, -1, false},
                 {16385, 1, false},  {1, 16384, true}, {640, 480, true}};
    Capture_Params target = Capture_Frame_Target();
    ASSERT_NE(target.Next_Frame, nullptr);
    for (const auto& z : sizes) {
        Capture_Params before = target;
        EXPECT_EQ(target.Next_Frame(&target, z.W, z.H), z.Taken) << z.W << "x" << z.H;
        Capture_Frame_View f = Capture_Frame();
        const int32_t w = z.Taken ? z.W : before.Width, h = z.Taken ? z.H : before.Height;
        EXPECT_EQ(target.Width, w) << z.W << "x" << z.H;
        EXPECT_EQ(target.Height, h) << z.W << "x" << z.H;
        EXPECT_EQ(f.Width, w) << z.W << "x" << z.H;
        EXPECT_EQ(f.Height, h) << z.W << "x" << z.H;
        EXPECT_EQ((const void*)f.Pixels, (const void*)target.Buffer) << z.W << "x" << z.H;
    }
    // 640 x 480 now: the last pixel is written where the main thread reads it.
    target.Buffer[640 * 480 - 1] = 0x7f010203;
    std::vector<uint8_t> wrong(16), live((size_t)640 * 480 * 4, 9);
    EXPECT_FALSE(Capture_Exchange_Frame(&wrong));
    EXPECT_EQ(wrong.size(), 16u);
    const void* frame_pixels = Capture_Frame().Pixels;
    ASSERT_TRUE(Capture_Exchange_Frame(&live));
    EXPECT_EQ(live.data(), frame_pixels);
    EXPECT_EQ(live[(640 * 480 - 1) * 4], 3);
    EXPECT_EQ(Capture_Frame().Pixels[0], 9) << "the next frame goes into the old picture's buffer";
    // The component is told the new buffer with the next frame.
    target.Next_Frame(&target, 640, 480);
    EXPECT_EQ((const void*)target.Buffer, (const void*)Capture_Frame().Pixels);
}

TEST_F(Capture, Missing_Entry_Points_Are_Never_Called_And_The_Library_Outlives_The_Device) {
    Capture_Library partial;
    partial.doCapture = Fake_Do;  // no isCaptureDone: no frame can complete
    Install_Capture_Library(partial);
    Capture_Test_Access().Device = 0;
    Set_Capture_State(CAPTURE_REQUESTED);
    Capture_Thread_Step();
    EXPECT_EQ(Get_Capture_State(), CAPTURE_STOP);
    EXPECT_FALSE(Close_Capture_Library()) << "the thread still needs it to close the device";
    Capture_Thread_Step();
    EXPECT_EQ(Capture_Device_Number(), -1);
    EXPECT_EQ(Fake.Deinit_Calls, 0);
    EXPECT_EQ(Capture_Get_Property_Value(0, 5), -1.0f);
    EXPECT_TRUE(Close_Capture_Library());

    // No component exists on this machine.
    EXPECT_EQ(Open_Capture_Library(), CAPTURE_OPEN_NO_LIBRARY);
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Text, "Unable to open escapi.dll\nCurrent Directory: " + Current_Directory());
    EXPECT_FALSE(Capture_Library_Loaded());
}

TEST_F(Capture, Real_Thread_Delivers_A_Frame_And_Leaves_When_Detached) {
    Capture_Sleep = No_Sleep;
    Fake.Done_After = 2;
    Capture_Test_Access().Device = 0;
    Start_Capture_Thread();
    Set_Capture_State(CAPTURE_REQUESTED);
    // Generous deadlines: the thread may get little time on a loaded machine.
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Get_Capture_State() != CAPTURE_READY && std::chrono::steady_clock::now() < until) Sleep_Ms(1);
    EXPECT_EQ(Get_Capture_State(), CAPTURE_READY);
    Detach_Capture_Thread();
    until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Capture_Thread_Running() && std::chrono::steady_clock::now() < until) Sleep_Ms(1);
    EXPECT_FALSE(Capture_Thread_Running());
}

TEST(Video_Off, Current_Document_Moves_Off_The_Live_One) {
    struct Case { int64_t mode; std::vector<int64_t> frozen; int64_t current, expected; };
    const Case cases[] = {{VIDEO_EMULATOR, {5, 3}, 0, 3}, {VIDEO_EMULATOR, {}, 0, -1}, {VIDEO_EMULATOR, {1, 5}, 5, 5},
                          {VIDEO_CAMERA, {8}, 0, 8}, {VIDEO_NONE, {2}, 0, 2}};
    for (const Case& k : cases) {
        Reset_Video_World();
        std::remove((Program_Names.Data_Folder + Program_Names.Prefs_File_Name).c_str());
        if (k.mode == VIDEO_EMULATOR) Start_Emulator();
        Show_Video_Changes();
        Video_Mode = k.mode;
        for (int64_t s : k.frozen) Jobs[s].In_Use = 1;
        Make_Current_Job(k.current);
        Open_Camera_Settings_Window();

        Disable_Video();
        Show_Video_Changes();
        Update_Windows();

        EXPECT_EQ(Current_Job, k.expected) << k.mode << " " << k.current;
        EXPECT_EQ(Video_Mode, VIDEO_NONE);
        EXPECT_EQ(Jobs[0].In_Use, 0);
        EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 0);
        EXPECT_FALSE(Window_Exists(WINDOW_EMULATOR));
        EXPECT_FALSE(Camera_Settings_Window_Open());
        EXPECT_TRUE(File_Exists(Program_Names.Data_Folder + Program_Names.Prefs_File_Name)) << "preferences saved";
        std::lock_guard<std::mutex> lock(Capture_Test_Access().Lock);
        EXPECT_EQ(Capture_Test_Access().Stop_Request, k.mode == VIDEO_CAMERA ? 1 : 0);
        Capture_Test_Access().Stop_Request = 0;
    }
}

// Video only says what its windows should show; they change when app brings
// them up to date, in the order the requests were made.
TEST(Video_Windows, Follow_What_Video_Asked_For_When_Brought_Up_To_Date) {
    Reset_Video_World();
    struct Step {
        const char* what;
        void (*act)();
        int64_t toggle, emulator_y;  // emulator_y -1: no emulator window
        bool settings_open;
    };
    const Step steps[] = {
        {"emulator on", [] { Start_Emulator(); }, 1, 20, false},
        {"settings opened", [] { Open_Camera_Settings_Window(); }, 1, 20, true},
        {"moved away", [] { Move_Window(WINDOW_EMULATOR, 0, 300); }, 1, 300, true},
        {"second start builds the window afresh", [] { Start_Emulator(); }, 1, 20, true},
        {"emulator closed", [] { Close_Emulator(); }, 0, -1, true},
        {"video off", [] { Disable_Video(); }, 0, -1, false},
        {"a close asked for before the window opened",
         [] {
             Mark_Camera_Settings_Window_Closed();
             Open_Camera_Settings_Window();
         },
         0, -1, true},
        {"camera stops", [] { Mark_Camera_Settings_Window_Closed(); }, 0, -1, false},
    };
    for (const Step& s : steps) {
        s.act();
        Show_Video_Changes();
        EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), s.toggle) << s.what;
        int x = 0, y = -1;
        if (Window_Exists(WINDOW_EMULATOR)) Window_Position(WINDOW_EMULATOR, &x, &y);
        EXPECT_EQ(y, s.emulator_y) << s.what;
        EXPECT_EQ(Camera_Settings_Window_Open(), s.settings_open) << s.what;
    }
    // Nothing changes before the windows are brought up to date.
    Start_Emulator();
    EXPECT_FALSE(Window_Exists(WINDOW_EMULATOR));
    EXPECT_EQ(Get_State(CTL_VIDEO_TOGGLE), 0);
    Show_Video_Changes();
    EXPECT_EQ(Get_Text(CTL_EMU_LABEL), "Widefield01");
    Close_Emulator();
    Show_Video_Changes();
}
