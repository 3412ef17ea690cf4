// Shared records and helpers of the wx backend's source files
// (platform_wx.cpp, platform_wx_gl.cpp, platform_wx_test.cpp).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <wx/wx.h>
#include <wx/glcanvas.h>
#include <wx/listctrl.h>

#include "platform/platform.h"

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
    int64_t Flags = 0;
    wxFrame* Frame = nullptr;
    wxPanel* Client = nullptr;       // fills the client area; parent of the window's own controls
    Resize_Handler On_Resize = nullptr;
    wxMenuBar* Menu_Bar = nullptr;
    wxMenu* Current_Menu = nullptr;  // the menu that Add_Menu_Item appends to
    wxStatusBar* Status = nullptr;
    std::vector<std::string> Status_Texts;
    std::vector<int64_t> Status_Writes;
    std::set<int64_t> Menu_Items;    // item numbers whose wxEVT_MENU become EVENT_MENU
    wxBitmap Background;             // painted over the client area when valid (splash)
    bool Resize_Held = false;        // a resize came while a view was being realised
};

struct Wx_Control {
    int64_t Number = 0;
    int64_t Kind = 0;
    int64_t Window = 0;
    int64_t Parent = -1;
    wxWindow* Widget = nullptr;
    wxGLContext* Context = nullptr;  // GL views
    std::string Text;                // caption of kinds whose widget shows no text
    std::string Tooltip;
    int64_t Min = 0, Max = 100;      // slider range
    int Inner_W = 0, Inner_H = 0;    // scroll area
    std::vector<std::string> Columns;
    std::vector<std::pair<std::string, int64_t>> Rows;  // list and dropdown rows with their data
    int Wheel_Rest = 0;              // wheel rotation not yet reported as a whole notch
    bool Left_Pressed = false;       // a left press started on this view
    bool Right_Pressed = false;
};

extern std::map<int64_t, Wx_Window> Windows;
extern std::map<int64_t, Wx_Control> Controls;
extern bool Initialised;               // Platform_Init succeeded and the toolkit runs
extern int Realizing;                  // > 0 while GL_Make_Current realises a view's window
extern GtkWidget* Open_Prompt;         // the GTK dialog of the message box or file dialog being shown

wxString To_Wx(const std::string& text);
std::string From_Wx(const wxString& text);
Wx_Window* Find_Window(int64_t window);
Wx_Control* Find(int64_t control);
// The inner window of a report list that shows (and is clicked on) the rows.
wxWindow* List_Rows_Window(wxListCtrl* list);
// Runs the resize handlers held back while a window was being realised.
void Run_Held_Resizes();

}  // namespace Wx_Backend
