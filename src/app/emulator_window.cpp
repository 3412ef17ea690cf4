#include "app/emulator_window.h"

#include <GL/gl.h>

#include <cmath>

#include "app/video_source.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "base/picture.h"
#include "platform/platform.h"
#include "render/glip.h"
#include "render/overlay_queue.h"
#include "video/emulator.h"

namespace {

// What the window shows now, by the emulator's serials.
struct Emulator_Window_State {
    int64_t Built_Serial = -1;
    int64_t Shown_Sample_Serial = -1;
    int64_t Drawn_Frame_Serial = -1;
};
Emulator_Window_State Shown;

void Destroy_Window() {
    if (!Window_Exists(WINDOW_EMULATOR)) return;
    GLip_Free_Texture(CTL_EMU_VIEW);
    Free_Control(CTL_EMU_VIEW);
    Close_Window(WINDOW_EMULATOR);
}

void Build_Window() {
    Destroy_Window();
    Open_Window(WINDOW_EMULATOR, "Video emulator", 0, 0, 758, 150, WINDOW_HIDDEN | WINDOW_CENTRED | WINDOW_CLOSE_BOX);
    Create_Control(WINDOW_EMULATOR, CTL_EMU_PREVIOUS, CONTROL_BUTTON, 4, 0, 90, 22, "< Previous");
    Create_Control(WINDOW_EMULATOR, CTL_EMU_NEXT, CONTROL_BUTTON, 100, 0, 90, 22, "Next >");
    Create_Control(WINDOW_EMULATOR, CTL_EMU_LABEL, CONTROL_LABEL, 200, 4, 550, 22, "Sample: ");
    Create_Control(WINDOW_EMULATOR, CTL_EMU_VIEW, CONTROL_GL_VIEW, 4, 28, EMULATOR_VIEW_W, EMULATOR_VIEW_H, "");
    for (int64_t control : {CTL_EMU_PREVIOUS, CTL_EMU_NEXT, CTL_EMU_LABEL, CTL_EMU_VIEW})
        Set_Control_Font(control, "Segoe UI", 9, false);
    Show_Window(WINDOW_EMULATOR, true);
    int x = 0, y = 0;
    Window_Position(WINDOW_EMULATOR, &x, &y);
    Move_Window(WINDOW_EMULATOR, x, 20);
    Set_Window_On_Top(WINDOW_EMULATOR, true);
    Shown.Shown_Sample_Serial = Shown.Drawn_Frame_Serial = -1;
}

void Show_Sample(const Emulator_State& e) {
    Set_Text(CTL_EMU_LABEL, e.Sample_Name);
    Picture picture;
    picture.Width = (int32_t)(e.Sample_Row_Bytes / 4);
    picture.Height = (int32_t)e.Sample_Height;
    picture.Pixels = e.Sample_Pixels;
    // Rows go up in memory order (bottom file row first) with no flip, the
    // same way up as the live frame.
    GLip_Upload_Image(CTL_EMU_VIEW, &picture, 0, Background_Live, FIT_CONTAIN, 1, 0, 1, 0);
}

void Draw_Overview(const Emulator_State& e) {
    float t0 = Elapsed_Ms();
    if (!GL_Make_Current(CTL_EMU_VIEW)) return;
    GLip_Redraw(CTL_EMU_VIEW, Background_Live, FIT_CONTAIN, 0, 0, 1, 0);
    Draw_Rect_Now((float)((double)e.Pan_Current - e.Live_Width / 2 + 6), (float)(-e.Live_Height / 2 + 4),
                  (float)(e.Live_Width - 12), (float)(e.Live_Height - 12), Pack_RGBA(255, 0, 0, 255), 3);
    GL_Swap(CTL_EMU_VIEW);
    glFinish();
    // The overview is part of producing the frame.
    Stage_Times.Capture = Stage_Times.Capture + (Elapsed_Ms() - t0);
}

}  // namespace

void Show_Emulator_Changes() {
    const Emulator_State& e = Emulator_View();
    if (!e.Window_Wanted) {
        Destroy_Window();
        return;
    }
    if (e.Window_Serial != Shown.Built_Serial) {
        Build_Window();
        Shown.Built_Serial = e.Window_Serial;
    }
    if (e.Sample_Serial != Shown.Shown_Sample_Serial) {
        Show_Sample(e);
        Shown.Shown_Sample_Serial = e.Sample_Serial;
    }
    if (e.Frame_Serial != Shown.Drawn_Frame_Serial) {
        Draw_Overview(e);
        Shown.Drawn_Frame_Serial = e.Frame_Serial;
    }
}

void Emulator_Event(const Platform_Event& event) {
    if (event.Kind == EVENT_CLOSE_WINDOW) {
        if (event.Window == WINDOW_EMULATOR) Close_Emulator();
    } else if (event.Kind == EVENT_CONTROL) {
        int64_t mouse_x = (int64_t)std::nearbyint((double)event.X * Display_Scale_X());
        bool change = event.Type == ETYPE_CHANGE;
        if (event.Control == CTL_EMU_NEXT && change) Emulator_Next_Sample();
        if (event.Control == CTL_EMU_PREVIOUS && change) Emulator_Previous_Sample();
        if (event.Control == CTL_EMU_VIEW) {
            if (event.Type == ETYPE_LEFT_DOWN) Emulator_Press(mouse_x);
            if (event.Type == ETYPE_MOUSE_MOVE) Emulator_Pointer_Move(mouse_x);
            if (event.Type == ETYPE_LEFT_UP || event.Type == ETYPE_FOCUS_LOST) Emulator_Release();
        }
    }
    Show_Video_Changes();
}
