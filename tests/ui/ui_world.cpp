#include "app/analysis_panel.h"
#include "ui/ui_world.h"

#include <cmath>

#include "analysis/threshold.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "app/dispatch.h"
#include "app/job_list.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "document/doc_model.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "measure/canvas.h"
#include "platform/platform.h"
#include "app/renderer.h"
#include "app/splash.h"
#include "support/temp_folder.h"

namespace {

Temp_Folder* World_Folder = nullptr;

void Main_Loop_Pump_Pass() { Main_Loop_Pass(false); }

class Ui_Environment : public ::testing::Environment {
public:
    void SetUp() override {
        World_Folder = new Temp_Folder();
        Pump_Pass = Main_Loop_Pump_Pass;
        // Every test case is a process of its own: the start-up splash would cost each one seconds.
        Splash_At_Start = false;
        Startup_Shared_State();
        Program_Names.Data_Folder = World_Folder->Path + "/config/Trellum/";
        ASSERT_TRUE(Platform_Init()) << "no display";
        ASSERT_TRUE(Build_Main_Window());
        Pump(500);
    }
    void TearDown() override {
        Shutdown_Program();
        delete World_Folder;
    }
};

::testing::Environment* const Ui_Env = ::testing::AddGlobalTestEnvironment(new Ui_Environment);

}  // namespace

void Settle() {
    for (int i = 0; i < 200; i++) {
        Platform_Event e;
        if (!Poll_Event(&e)) break;
        Dispatch_Event(e);
    }
    Request_Redraw();
    Idle_Pass();
}

void Image_To_Window(float x, float y, float* wx, float* wy) {
    // The presentation is an affine map; invert it from two probes, then step
    // to the neighbouring float window positions until the point maps back
    // exactly (halves must stay halves for the rounding of clicks).
    float x0, y0, x1, y1;
    Window_To_Image(0, 0, &x0, &y0);
    Window_To_Image(100, 100, &x1, &y1);
    *wx = (x - x0) / ((x1 - x0) / 100.0f);
    *wy = (y - y0) / ((y1 - y0) / 100.0f);
    for (int i = 0; i < 64; i++) {
        float ix, iy;
        Window_To_Image(*wx, *wy, &ix, &iy);
        if (ix == x && iy == y) break;
        if (ix != x) *wx = std::nextafter(*wx, ix < x ? 1e9f : -1e9f);
        if (iy != y) *wy = std::nextafter(*wy, iy < y ? 1e9f : -1e9f);
    }
}

void Post_View_Event(int64_t type, float wx, float wy, int32_t key, int32_t wheel) {
    Platform_Event e;
    e.Window = WINDOW_MAIN;
    e.Kind = EVENT_CONTROL;
    e.Control = CTL_PICTURE_VIEW;
    e.Type = type;
    e.X = wx;
    e.Y = wy;
    e.Key = key;
    e.Wheel = wheel;
    Post_Event(e);
}

void Click_Image(float x, float y) {
    float wx, wy;
    Image_To_Window(x, y, &wx, &wy);
    // As with a real pointer, the picture is redrawn (and the automatic
    // measurement runs) at the new position before the click.
    Post_View_Event(ETYPE_MOUSE_MOVE, wx, wy);
    Settle();
    Post_View_Event(ETYPE_LEFT_CLICK, wx, wy);
    Settle();
}

int64_t Open_Plain_Document(int32_t w, int32_t h, uint8_t r, uint8_t g, uint8_t b, float ppmm) {
    int64_t slot = First_Free_Job();
    Job_Slot& s = Jobs[slot];
    s.In_Use = 1;
    s.Image_Changed = 1;
    s.Doc = Doc_Info();
    s.Doc.PPMM = ppmm;
    s.Doc.Measure_Unit = 2;
    s.Doc.TimeStamp = Local_Time_Seconds();
    Allocate_Image(&s, w, h);
    for (size_t i = 0; i < s.Doc.Image_Buffer.size(); i += 4) {
        s.Doc.Image_Buffer[i] = b;
        s.Doc.Image_Buffer[i + 1] = g;
        s.Doc.Image_Buffer[i + 2] = r;
        s.Doc.Image_Buffer[i + 3] = 255;
    }
    Select_Job(slot);
    Settle();
    Settle();
    return slot;
}

void Read_Back_At_Image(float x, float y, int* r, int* g, int* b) {
    float wx, wy;
    Image_To_Window(x, y, &wx, &wy);
    int px = (int)std::floor(wx * Display_Scale_X()), py = (int)std::floor(wy * Display_Scale_Y());
    *r = *g = *b = -1;
    const Picture& p = Read_Back_Image;
    if (px < 0 || py < 0 || px >= p.Width || py >= p.Height) return;
    const uint8_t* q = &p.Pixels[((size_t)py * p.Width + px) * 4];
    *b = q[0];
    *g = q[1];
    *r = q[2];
}

void Reset_World() {
    for (int64_t i = 1; i < JOB_SLOTS; i++) {
        Jobs[i].In_Use = 0;
        Jobs[i].Doc.Tools.clear();
    }
    Select_Job(0);
    Select_Analysis_Mode(1);
    Choose_Tool_Button(CTL_TOOL_LINE);
    Set_State(CTL_SNAP_EDGES, 0);
    Set_State(CTL_SNAP_ANGLE, 0);
    Set_State(CTL_MAGNIFY, 0);
    Settings_From_Widgets();
    Reticle_Hidden = 0;
    Canvas_State canvas = Canvas_View();
    canvas.Click_State = 0;
    canvas.Pointer_Inside = 0;  // no cross-hair or live preview over the pictures
    Set_Canvas_State_For_Test(canvas);

    Flush_Events();
    Rebuild_Measurement_List();
    Settle();
}
