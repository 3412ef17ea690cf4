// Shared records and helpers of the wx backend's source files
// (platform_wx.cpp and the platform_wx_*.cpp beside it, and the tests'
// platform_wx_test.cpp).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <wx/wx.h>
#include <wx/glcanvas.h>
#include <wx/listctrl.h>

#include "platform/platform.h"
#include "platform/platform_controls.h"

// From libGL; declared here because the GLX header drags in Xlib's macros
// (Display and GLXContext are pointers, drawables are XIDs).
extern "C" void (*glXGetProcAddressARB(const unsigned char* name))();
extern "C" void* glXGetCurrentDisplay();
extern "C" unsigned long glXGetCurrentDrawable();
extern "C" int glXMakeCurrent(void* display, unsigned long drawable, void* context);

typedef struct _GtkWidget GtkWidget;

namespace Wx_Backend {

struct Wx_Window {
    int64_t Number = 0;
    wxFrame* Frame = nullptr;
    wxPanel* Client = nullptr;       // fills the client area; parent of the window's own controls
    Resize_Handler On_Resize = nullptr;
    wxMenuBar* Menu_Bar = nullptr;
    wxMenu* Current_Menu = nullptr;  // the menu that Add_Menu_Item appends to
    wxStatusBar* Status = nullptr;
    std::set<int64_t> Menu_Items;    // item numbers whose wxEVT_MENU become EVENT_MENU
    wxBitmap Background;             // painted over the client area when valid (splash)
    bool Resize_Held = false;        // a resize came while a view was being realised
};

// The widgets of a control; its kind, texts, state and rows are its record
// in the shared control model (platform_controls.h) under the same number.
struct Wx_Control {
    int64_t Number = 0;
    wxWindow* Widget = nullptr;
    wxGLContext* Context = nullptr;  // GL views
    int Wheel_Rest = 0;              // wheel rotation not yet reported as a whole notch
    bool Left_Pressed = false;       // a left press started on this view
    bool Right_Pressed = false;
};

// What the backend's files share beyond the tables below; one instance.
struct Wx_Shared {
    std::mutex Queue_Lock;  // Post_Event may be called from another thread
    std::deque<Platform_Event> Queue;
    std::map<std::pair<int64_t, int64_t>, wxTimer*> Timers;  // by window and timer number
    wxGLContext* Share_Context = nullptr;  // first context made; kept alive until shutdown
    int Silent = 0;                        // > 0 while we change controls ourselves
};

extern Wx_Shared Shared;
extern std::map<int64_t, Wx_Window> Windows;
extern std::map<int64_t, wxMenuItem*> Menu_Items;  // menu-bar items by number
extern std::map<int64_t, Wx_Control> Controls;
extern bool Initialised;               // Platform_Init succeeded and the toolkit runs
extern int Realizing;                  // > 0 while GL_Make_Current realises a view's window
extern GtkWidget* Open_Prompt;         // the GTK dialog of the message box or file dialog being shown

wxString To_Wx(const std::string& text);
std::string From_Wx(const wxString& text);
Wx_Window* Find_Window(int64_t window);
Wx_Control* Find(int64_t control);
// Appends an event to the FIFO (from any thread).
void Push(const Platform_Event& event);
// Posts a control event from a widget callback unless the change was ours.
void Push_User_Change(int64_t control);
// Runs the toolkit's pending work without waiting.
void Pump_Toolkit();
// Binds the pointer, wheel, key and focus callbacks of a GL view.
void Bind_GL_Events(wxGLCanvas* canvas, int64_t number);
// Binds the selection and click callbacks of a report list.
void Bind_List_Events(wxListCtrl* list, int64_t number);
wxBitmap Bitmap_From_Rgba(const uint8_t* rgba, int w, int h);
// Loads the style that takes GTK's theme padding off small controls.
void Install_Tight_Style();
// Forgets `control` and every control inside it; the widgets themselves are
// destroyed by the caller (children go with their parent).
void Forget_Control_Tree(int64_t control);
// The inner window of a report list that shows (and is clicked on) the rows.
wxWindow* List_Rows_Window(wxListCtrl* list);
// Runs the resize handlers held back while a window was being realised.
void Run_Held_Resizes();
// Copies what the user changed in a widget (state, edited text) into the model.
void Read_Back(int64_t control);
// Points the control model's mirror hooks at this backend's widget updates.
void Install_Control_Mirror();

}  // namespace Wx_Backend
