#include "app/main_loop.h"

#include <csignal>
#include <cmath>
#include <cstdio>

#include "analysis/threshold.h"
#include "app/analysis_panel.h"
#include "app/command_line.h"
#include "app/control_ids.h"
#include "app/dispatch.h"
#include "app/emulator_window.h"
#include "app/help.h"
#include "app/job_list.h"
#include "app/main_window.h"
#include "app/picture_keys.h"
#include "app/prefs.h"
#include "app/readout_panel.h"
#include "app/recovery.h"
#include "app/renderer.h"
#include "app/status_bar.h"
#include "app/unsaved.h"
#include "app/video_settings_window.h"
#include "app/video_source.h"
#include "app/window_title.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"
#include "measure/canvas.h"
#include "measure/readouts.h"
#include "platform/platform.h"
#include "render/font_atlas.h"
#include "render/glip.h"
#include "scale/scale_port.h"
#include "scale/scale_reader.h"
#include "video/camera_settings_file.h"
#include "video/camera_source.h"
#include "video/capture_thread.h"
#include "video/emulator.h"

volatile sig_atomic_t Signal_Quit = 0;

namespace {

int64_t Last_Scale_Poll_Frames = -1;
// The video mode at the last timer-3 tick. Until a camera runs the stage
// position is the emulator's pan (or nothing); the first reading after the
// camera started replaces it and is no movement of the stage.
int64_t Scale_Poll_Mode = VIDEO_NONE;

// Milliseconds of the last user event or video frame. The 100 ms redraw
// timer only requests redraws within IDLE_AFTER_MS of it: everything that
// changes the picture requests its own redraw, and a program that nobody
// uses should not repaint ten times a second. The 500 ms timer always does.
int64_t Last_Activity_Ms = 0;
int64_t Last_Activity_Frames = -1;
const int64_t IDLE_AFTER_MS = 2000;

// How long the end of the program waits for the camera to close.
const int64_t SHUTDOWN_CAMERA_WAIT_MS = 500;
// How long it waits for the detached capture thread to leave its loop.
const int64_t SHUTDOWN_THREAD_WAIT_MS = 500;

// Waits, in short steps, until the detached capture thread has left its
// loop or `timeout_ms` have passed; true when it has left.
bool Wait_Capture_Thread_Ended(int64_t timeout_ms) {
    double until = (double)Elapsed_Ms() + (double)timeout_ms;
    while (Capture_Thread_Running()) {
        if ((double)Elapsed_Ms() > until) return false;
        Sleep_Ms(1);
    }
    return true;
}

void On_Signal(int) { Signal_Quit = 1; }

std::string Fixed(double v, int decimals) {
    char b[64];
    snprintf(b, sizeof b, "%.*f", decimals, v);
    return b;
}

// Timer 3: the digital scale, only while a camera delivers frames.
void Scale_Poll() {
    bool camera_started = Video_Mode == VIDEO_CAMERA && Scale_Poll_Mode != VIDEO_CAMERA;
    Scale_Poll_Mode = Video_Mode;
    if (Video_Mode != VIDEO_CAMERA) return;
    if (!camera_started && Main_Loop.Frames_Total == Last_Scale_Poll_Frames) return;
    Last_Scale_Poll_Frames = Main_Loop.Frames_Total;
    float previous = Stage_Position;
    Scale_Follow_Port(Comport_Name);
    Stage_Position = Read_Scale(0, 2000) * Jobs[0].Doc.PPMM;
    if (!camera_started && std::fabs(previous - Stage_Position) > 100 && Current_Job != 0) Select_Job(0);
}

void Timer_Event(int64_t timer) {
    switch (timer) {
        case TIMER_REDRAW_100:
            if ((int64_t)Elapsed_Ms() - Last_Activity_Ms < IDLE_AFTER_MS) Request_Redraw();
            break;
        case TIMER_REDRAW_500: Request_Redraw(); break;
        case TIMER_SCALE_330: Scale_Poll(); break;
        case TIMER_STATUS_200:
            Refresh_Status_Bar();
            Refresh_Document_Display();
            break;
        default: break;
    }
}

void Video_Settings_Event(const Platform_Event& event) {
    if (event.Kind == EVENT_CLOSE_WINDOW) {
        Close_Camera_Settings_Window();
        return;
    }
    if (event.Kind != EVENT_CONTROL) return;
    if (event.Control == CTL_VS_LOAD) {
        Load_Camera_Settings();
    } else if (event.Control == CTL_VS_SAVE) {
        Save_Camera_Settings();
    } else {
        // A burst of slider movement is applied once: the later slider events
        // of this window are dropped, since applying reads every slider as it
        // stands now. Everything else (check boxes, other windows) stays queued.
        Remove_Events(WINDOW_VIDEO_SETTINGS, EVENT_CONTROL, CTL_VS_SLIDER, CTL_VS_SLIDER + VIDEO_PROPERTY_COUNT - 1);
        Apply_Camera_Settings();
    }
}

void Camera_Acquisition_Step() {
    // The capture thread is still opening the camera: nothing to request yet.
    if (Camera_Start_Pending()) {
        Camera_Finish_Start();
        if (Camera_Start_Pending() || Video_Mode != VIDEO_CAMERA) return;
    }
    switch (Get_Capture_State()) {
        case CAPTURE_IDLE:
            // No device (it was lost or did not open): a request would only
            // come back at once, and log its line every pass.
            if (Capture_Device_Number() == -1) break;
            Log("Was waiting, now capturing...");
            Set_Capture_State(CAPTURE_REQUESTED);
            break;
        case CAPTURE_REQUESTED: Main_Loop.Next_Acquire_Ms = 0; break;
        case CAPTURE_READY:
            // Into the live picture now, so that this pass's redraw shows it.
            Camera_Take_Frame();
            Main_Loop.New_Frame = 1;
            Main_Loop.Frames_This_Second++;
            Main_Loop.Frames_Total++;
            Set_Capture_State(CAPTURE_REQUESTED);
            break;
        default: break;
    }
}

}  // namespace

std::string Format_Timing_Line(const Stage_Times_Record& t) {
    float total = t.DD + t.Upload + t.Download + t.Vid_Rend + t.Process;
    return "Time, " + Fixed(total, 2) + " ms,  Capture; " + Fixed(t.Capture, 1) + "(decoupled), DD; " +
           Fixed(t.DD, 1) + ", Vid_Rend; " + Fixed(t.Vid_Rend, 1) + ", Process; " + Fixed(t.Process, 1) +
           ", Upload; " + Fixed(t.Upload, 1) + ", Download; " + Fixed(t.Download, 1) + " ms";
}

void Install_Signal_Handlers() {
    struct sigaction sa = {};
    sa.sa_handler = On_Signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // The terminal it was started from closed, or the user logged out: the
    // same orderly end, so the unsaved work is kept. SIGQUIT keeps its core
    // dump, the way to look into a program that hangs.
    sigaction(SIGHUP, &sa, nullptr);
    // A message box or file dialog open at that moment gives way, so that the
    // loop sees the request and the program ends in order.
    Set_Prompt_Abort_Flag(&Signal_Quit);
}

void Startup_Shared_State() {
    Reset_Jobs();
    Build_Grey_Palette();
    Program_Names.Data_Folder = User_Data_Folder() + "/" + Application_Name + "/";
    Program_Names.Prefs_File_Name = "Orbisk.prefs";
    Program_Names.Start_Directory = Current_Directory();
    Log_Open(Program_Names.Start_Directory);
    Elapsed_Init();
}

void Dispatch_Event(const Platform_Event& event) {
    if (event.Kind != EVENT_TIMER) Last_Activity_Ms = (int64_t)Elapsed_Ms();
    switch (event.Window) {
        case WINDOW_MAIN:
            switch (event.Kind) {
                case EVENT_CLOSE_WINDOW: Quit_Command(); break;
                case EVENT_CONTROL:
                    if (event.Control == CTL_PICTURE_VIEW && event.Type == ETYPE_KEY_DOWN)
                        Picture_View_Key(event.Key);
                    else if (event.Control == CTL_PICTURE_VIEW) {
                        if (event.Type == ETYPE_MOUSE_ENTER) Set_Focus(CTL_PICTURE_VIEW);
                        Picture_View_Event(event);
                    }
                    else
                        Control_Command(event);
                    break;
                case EVENT_MENU: Menu_Command(event); break;
                case EVENT_FILE_DROP:
                    if (!event.Text.empty()) Import_Dropped_Files(event.Text);
                    break;
                case EVENT_TIMER: Timer_Event(event.Control); break;
                default: break;
            }
            break;
        case WINDOW_VIDEO_SETTINGS: Video_Settings_Event(event); break;
        case WINDOW_EMULATOR: Emulator_Event(event); break;
        case WINDOW_KEYBOARD_SHORTCUTS: Keyboard_Shortcuts_Event(event); break;
        case WINDOW_VIDEO_SOURCE: Video_Source_Event(event); break;
        default: break;
    }
}

void Update_Windows() {
    Show_Video_Changes();
    // A camera mode of another width scales the named calibration in use.
    if (Jobs[0].In_Use) Live_Width_Changed(Jobs[0].Doc.Resolution.x);
    Window_Changes changes = Take_Window_Changes();
    // Selecting a slot rebuilds both lists with its panels.
    if (changes.Job_Panels && Current_Job >= 0) {
        Select_Job(Current_Job);
    } else {
        if (changes.Job_List || changes.Job_Panels) Job_Update_List();
        if (changes.Measurement_List) Rebuild_Measurement_List();
    }
    if (Take_Prefs_Change()) Prefs_Save();
}

void Idle_Pass() {
    // Messages raised on the capture thread are shown here, on the main thread.
    if (Capture_Messages_Pending() > 0) Show_Capture_Messages();
    if (Take_Threshold_Label_Request()) Apply_Threshold();
    if (Emulator_View().Pan_Step < 1.0f) Main_Loop.Next_Acquire_Ms = 0;
    // A frame is taken before the redraw, so that it is shown in this pass.
    Main_Loop.Now_Ms = (int64_t)std::llround(Elapsed_Ms());
    if (Main_Loop.Now_Ms >= Main_Loop.Next_Acquire_Ms) {
        Main_Loop.Next_Acquire_Ms = Main_Loop.Now_Ms + Main_Loop.Acquire_Interval_Ms;
        if (Video_Mode == VIDEO_EMULATOR)
            Emulator_Step();
        else if (Video_Mode == VIDEO_CAMERA)
            Camera_Acquisition_Step();
        else if (Main_Loop.New_Frame == 1)
            Main_Loop.New_Frame = 0;
    }
    // What the acquisition changed is in the windows before this pass draws.
    Update_Windows();
    // Taken by exchange: a request made while this one is drawn is kept for the next pass.
    if (Take_Redraw_Request()) {
        Process_Image();
        Render_Frame();
        Refresh_Readouts(Main_Loop.Frames_Total % 60 == 0);
    }
    int64_t frames = Main_Loop.Frames_Total + Main_Loop.Frames_This_Second;
    if (frames != Last_Activity_Frames) {
        Last_Activity_Frames = frames;
        Last_Activity_Ms = Main_Loop.Now_Ms;
    }
    if (Main_Loop.Now_Ms > Main_Loop.Next_Timing_Log_Ms) {
        Main_Loop.Next_Timing_Log_Ms = Main_Loop.Now_Ms + 1000;
        Main_Loop.Frames_Per_Second = Main_Loop.Frames_This_Second;
        Main_Loop.Frames_This_Second = 0;
        Log(Format_Timing_Line(Stage_Times));
        // Once a second the log goes to disk, so a crash keeps all but the last second.
        Log_Flush();
    }
    Recovery_Tick(Main_Loop.Now_Ms);
    if (Signal_Quit) Main_Loop.Quit_Request = 1;
}

int64_t Idle_Wait_Ms() {
    if (Redraw_Requested() || Threshold_Label_Requested() || Main_Loop.Quit_Request == 1 || Signal_Quit) return 0;
    int64_t now = (int64_t)std::llround(Elapsed_Ms());
    // Longest sleep: the 100 ms redraw timer wakes the loop at least that often anyway.
    int64_t wait = 250;
    int64_t until_timing = Main_Loop.Next_Timing_Log_Ms + 1 - now;
    if (until_timing < wait) wait = until_timing;
    if (Video_Mode == VIDEO_CAMERA) {
        // A frame that is due is looked for every millisecond, not in a loop
        // that spins a core while the camera exposes.
        int64_t until_acquire = Main_Loop.Next_Acquire_Ms - now;
        if (until_acquire < 1) until_acquire = 1;
        if (until_acquire < wait) wait = until_acquire;
    } else if (Video_Mode == VIDEO_EMULATOR) {
        // The emulator works only while the crop glides or follows a drag.
        if (Emulator_Moving()) {
            int64_t until_acquire = Main_Loop.Next_Acquire_Ms - now;
            if (until_acquire < wait) wait = until_acquire;
        }
    }
    return wait < 0 ? 0 : wait;
}

void Shutdown_Program() {
    if (Video_Mode == VIDEO_CAMERA) {
        Log("Stopping Video");
        // The capture thread closes the camera (or gives up opening it) at
        // once; it is waited for, briefly, so the pipeline is not torn down by
        // the process exit. One that hangs is left to the exit: the thread is
        // detached, and the program still ends soon after the request.
        Capture_Prepare_Exit();
        Set_Capture_State(CAPTURE_STOP);
        Request_Capture_Stop();
        if (!Wait_Camera_Closed(SHUTDOWN_CAMERA_WAIT_MS)) Log("Camera still closing");
        Log("Closing Video");
        Disable_Video();
        Show_Video_Changes();
        Log("Closed Video");
    }
    Detach_Capture_Thread();
    Log("gText finishing");
    gText_Free();
    Log("GLip finishing");
    GLip_Free_All();
    Log("ended...");
    // The thread was let go above; the process exit should not tear down
    // what it still touches. One that hangs is left to the exit.
    Wait_Capture_Thread_Ended(SHUTDOWN_THREAD_WAIT_MS);
    // The port is closed when Serial_Close returns (unsent bytes dropped):
    // nothing to wait for.
    if (Serial_Is_Open(0)) Serial_Close(0);
    // The toolkit's teardown is the riskiest step: have the log on disk before it.
    Log_Flush();
    Platform_Shutdown();
    Log_Close();
}

bool Main_Loop_Pass(bool may_wait) {
    Platform_Event event;
    // Pending events are always drained before any idle work.
    if (Poll_Event(&event)) {
        Main_Loop.Last_Event = event.Kind;
        Dispatch_Event(event);
        Update_Windows();
        return true;
    }
    Main_Loop.Last_Event = 0;
    Idle_Pass();
    if (Main_Loop.Quit_Request == 1) return false;
    // Nothing pending: sleep until the next due work or the next event.
    if (may_wait) {
        int64_t wait = Idle_Wait_Ms();
        if (wait > 0) Wait_Event(wait);
    }
    return true;
}

int Run_Program() {
    Startup_Shared_State();
    Install_Signal_Handlers();
    if (!Platform_Init()) {
        fprintf(stderr, "Trellum needs a graphical display (X11). Run it under Xvfb: xvfb-run -a build/trellum\n");
        Log_Close();
        return 1;
    }
    if (!Build_Main_Window()) {
        Message_Box("Error", "Unable to correctly initialize window, exiting", MSG_OK | MSG_ICON_ERROR);
        Platform_Shutdown();
        Log_Close();
        return 0;
    }
    // The restore question may wait for a long time: what the start-up logged is on disk meanwhile.
    Log_Flush();
    Recovery_Offer();
    Open_Start_Documents(Start_Documents);
    while (Main_Loop_Pass(true)) {
    }
    // A signal ends the program without asking: the unsaved work is kept for the next start.
    Recovery_At_Exit(Signal_Quit != 0);
    Shutdown_Program();
    return 0;
}
