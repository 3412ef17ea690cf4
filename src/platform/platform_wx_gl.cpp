// GL views of the wx backend (make current, swap, size, display scale) and
// the asynchronous keyboard and pointer state.
#include <algorithm>

#include <gtk/gtk.h>

#include "platform/platform.h"
#include "platform/platform_wx_internal.h"

using namespace Wx_Backend;

int Virtual_To_Wx_Key(int32_t vk);

// ---------------------------------------------------------------- OpenGL views
namespace {
Wx_Control* Find_GL(int64_t view) {
    Wx_Control* c = Find(view);
    return c && Control_Kind_Of(view) == CONTROL_GL_VIEW && c->Context ? c : nullptr;
}
}  // namespace

bool GL_View_Exists(int64_t view) { return Find_GL(view) != nullptr; }

bool GL_Make_Current(int64_t view) {
    Wx_Control* c = Find_GL(view);
    if (!c) return false;
    wxGLCanvas* canvas = static_cast<wxGLCanvas*>(c->Widget);
    // A view in a window not shown yet has no X window until it is realised.
    GtkWidget* widget = canvas->GetHandle();
    if (widget && !gtk_widget_get_realized(widget)) {
        // Realising a window sizes it, and its resize handler may draw (and so
        // come back here) before GTK has finished: hold the handler until then.
        Realizing++;
        gtk_widget_realize(widget);
        Realizing--;
        if (Realizing == 0) Run_Held_Resizes();
    }
    if (!canvas->GetXWindow()) return false;
    return c->Context->SetCurrent(*canvas);
}

void GL_Swap(int64_t view) {
    Wx_Control* c = Find_GL(view);
    if (!c) return;
    wxGLCanvas* canvas = static_cast<wxGLCanvas*>(c->Widget);
    if (canvas->GetXWindow()) canvas->SwapBuffers();
}

void GL_Swap_Interval(int64_t view, int interval) {
    // Not every GLX offers a swap-interval call; a view presents unsynchronised then.
    typedef int (*Swap_Interval)(int);
    static bool looked_up = false;
    static Swap_Interval set_interval = nullptr;
    if (!GL_Make_Current(view)) return;
    if (!looked_up) {
        looked_up = true;
        set_interval = (Swap_Interval)glXGetProcAddressARB((const unsigned char*)"glXSwapIntervalMESA");
        if (!set_interval)
            set_interval = (Swap_Interval)glXGetProcAddressARB((const unsigned char*)"glXSwapIntervalSGI");
    }
    if (set_interval) set_interval(std::max(interval, 0));
}

void GL_View_Size(int64_t view, int* w, int* h) {
    *w = 0;
    *h = 0;
    Wx_Control* c = Find_GL(view);
    if (!c) return;
    wxSize s = c->Widget->GetClientSize();
    *w = s.x;
    *h = s.y;
}

namespace {
double Content_Scale() {
    if (!Initialised) return 1.0;
    if (Wx_Window* main = Find_Window(WINDOW_MAIN)) return main->Frame->GetContentScaleFactor();
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = display ? gdk_display_get_monitor(display, 0) : nullptr;
    return monitor ? (double)gdk_monitor_get_scale_factor(monitor) : 1.0;
}
}  // namespace

double Display_Scale_X() { return Content_Scale(); }
double Display_Scale_Y() { return Content_Scale(); }

// ---------------------------------------------------------------- input state
bool Key_Is_Down(int32_t virtual_key) {
    if (!Initialised) return false;
    if (virtual_key == 1) return wxGetMouseState().LeftIsDown();
    if (virtual_key == 2) return wxGetMouseState().RightIsDown();
    if (virtual_key == 4) return wxGetMouseState().MiddleIsDown();
    int key = Virtual_To_Wx_Key(virtual_key);
    if (key == 0) return false;
    return wxGetKeyState((wxKeyCode)key);
}

bool Left_Button_Is_Down() {
    if (!Initialised) return false;
    return wxGetMouseState().LeftIsDown();
}

void Move_Pointer_By(int dx, int dy) {
    Count_Pointer_Move(dx, dy);
    if (!Initialised) return;
    GdkDisplay* display = gdk_display_get_default();
    GdkSeat* seat = display ? gdk_display_get_default_seat(display) : nullptr;
    GdkDevice* pointer = seat ? gdk_seat_get_pointer(seat) : nullptr;
    if (!pointer) return;
    GdkScreen* screen = nullptr;
    int x = 0, y = 0;
    gdk_device_get_position(pointer, &screen, &x, &y);
    if (screen) gdk_device_warp(pointer, screen, x + dx, y + dy);
}

