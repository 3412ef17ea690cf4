// Test support of the wx backend: the GUI tests feed toolkit events straight
// into a control's handlers, so the click, wheel, key, close and drop rules
// are checked without a person at the pointer.
#include <string>
#include <vector>

#include <wx/tglbtn.h>

#include "platform/platform.h"
#include "platform/platform_wx_internal.h"
#include "platform/platform_wx_test.h"

using namespace Wx_Backend;

bool Wx_Test_Mouse_Event(int64_t control, int what, int x, int y, int wheel_rotation) {
    Wx_Control* c = Find(control);
    if (!c) return false;
    wxEventType type;
    switch (what) {
    case WX_TEST_LEFT_DOWN: type = wxEVT_LEFT_DOWN; break;
    case WX_TEST_LEFT_UP: type = wxEVT_LEFT_UP; break;
    case WX_TEST_LEFT_DCLICK: type = wxEVT_LEFT_DCLICK; break;
    case WX_TEST_RIGHT_DOWN: type = wxEVT_RIGHT_DOWN; break;
    case WX_TEST_RIGHT_UP: type = wxEVT_RIGHT_UP; break;
    case WX_TEST_MOTION: type = wxEVT_MOTION; break;
    case WX_TEST_WHEEL: type = wxEVT_MOUSEWHEEL; break;
    default: return false;
    }
    wxMouseEvent e(type);
    e.SetEventObject(c->Widget);
    e.SetId(c->Widget->GetId());
    e.m_x = x;
    e.m_y = y;
    e.m_wheelRotation = wheel_rotation;
    e.m_wheelDelta = 120;
    e.m_wheelAxis = wxMOUSE_WHEEL_VERTICAL;
    wxWindow* target = c->Widget;
    // A list's rows are drawn (and clicked) in its inner window.
    if (Control_Kind_Of(control) == CONTROL_LIST) target = List_Rows_Window(static_cast<wxListCtrl*>(c->Widget));
    if (!target) return false;
    e.SetEventObject(target);
    return target->GetEventHandler()->ProcessEvent(e);
}

bool Wx_Test_Key_Event(int64_t control, int wx_key_code, bool down, bool control_down, bool alt_down) {
    Wx_Control* c = Find(control);
    if (!c) return false;
    wxKeyEvent e(down ? wxEVT_KEY_DOWN : wxEVT_KEY_UP);
    e.SetEventObject(c->Widget);
    e.m_keyCode = wx_key_code;
    e.SetControlDown(control_down);
    e.SetAltDown(alt_down);
    return c->Widget->GetEventHandler()->ProcessEvent(e);
}

// Sends a control's own command event as a user action would (button press,
// box ticked, list row chosen).
bool Wx_Test_User_Select(int64_t control, int64_t row) {
    Wx_Control* c = Find(control);
    if (!c) return false;
    if (Control_Kind_Of(control) == CONTROL_LIST) {
        wxListEvent e(wxEVT_LIST_ITEM_SELECTED, c->Widget->GetId());
        e.SetEventObject(c->Widget);
        e.m_itemIndex = (long)row;
        return c->Widget->GetEventHandler()->ProcessEvent(e);
    }
    wxEventType type = wxEVT_BUTTON;
    if (Control_Kind_Of(control) == CONTROL_CHECKBOX) type = wxEVT_CHECKBOX;
    if (Control_Kind_Of(control) == CONTROL_TOGGLE_BUTTON || Control_Kind_Of(control) == CONTROL_IMAGE_TOGGLE) type = wxEVT_TOGGLEBUTTON;
    if (Control_Kind_Of(control) == CONTROL_SLIDER) type = wxEVT_SLIDER;
    if (Control_Kind_Of(control) == CONTROL_DROPDOWN) type = wxEVT_CHOICE;
    if (Control_Kind_Of(control) == CONTROL_TEXT_INPUT || Control_Kind_Of(control) == CONTROL_TEXT_READONLY) type = wxEVT_TEXT;
    wxCommandEvent e(type, c->Widget->GetId());
    e.SetEventObject(c->Widget);
    e.SetInt((int)row);
    return c->Widget->GetEventHandler()->ProcessEvent(e);
}

// Clicks the close box: the frame gets the close request a user would send.
bool Wx_Test_Close_Box(int64_t window) {
    Wx_Window* w = Find_Window(window);
    if (!w) return false;
    w->Frame->Close(false);
    return true;
}

// Drops files on a window as the file manager would.
bool Wx_Test_Drop_Files(int64_t window, const std::vector<std::string>& names) {
    Wx_Window* w = Find_Window(window);
    if (!w) return false;
    wxString* files = new wxString[names.size()];
    for (size_t i = 0; i < names.size(); i++) files[i] = To_Wx(names[i]);
    wxDropFilesEvent e(wxEVT_DROP_FILES, (int)names.size(), files);  // takes the array
    e.SetEventObject(w->Frame);
    return w->Frame->GetEventHandler()->ProcessEvent(e);
}
