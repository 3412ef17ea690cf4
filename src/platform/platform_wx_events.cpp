// The wx backend's event queue: the FIFO every toolkit callback appends to,
// Poll_Event and Wait_Event, the callbacks of GL views and lists, and the
// key code tables.
#include <algorithm>
#include <mutex>

#include <wx/wx.h>
#include <wx/glcanvas.h>
#include <wx/listctrl.h>

#include <gtk/gtk.h>

#include "platform/platform.h"
#include "platform/platform_controls.h"
#include "platform/platform_internal.h"
#include "platform/platform_wx_internal.h"

namespace Wx_Backend {

Idle_Hook Hook = nullptr;
void* Hook_User = nullptr;

void Push(const Platform_Event& event) {
    std::lock_guard<std::mutex> lock(Shared.Queue_Lock);
    Shared.Queue.push_back(event);
}

int64_t Window_Of(int64_t control) {
    Control_Record* r = Find_Control(control);
    return r ? r->Window : WINDOW_NONE;
}

Platform_Event Control_Event(int64_t control, int64_t type, float x, float y) {
    Platform_Event e;
    e.Window = Window_Of(control);
    e.Kind = EVENT_CONTROL;
    e.Control = control;
    e.Type = type;
    e.X = x;
    e.Y = y;
    return e;
}

void Push_Control(const Wx_Control& c, int64_t type, float x = 0, float y = 0) {
    Push(Control_Event(c.Number, type, x, y));
}

// Posts a control event from a widget callback unless the change was ours.
void Push_User_Change(int64_t control) {
    Read_Back(control);
    if (Shared.Silent > 0) return;
    if (Wx_Control* c = Find(control)) Push_Control(*c, ETYPE_CHANGE);
}

// ---------------------------------------------------------------- keys
struct Key_Pair {
    int Wx;
    int32_t Vk;
};

const Key_Pair Key_Table[] = {
    {WXK_BACK, 8},          {WXK_TAB, 9},           {WXK_RETURN, 13},        {WXK_NUMPAD_ENTER, 13},
    {WXK_SHIFT, 16},        {WXK_CONTROL, 17},      {WXK_ALT, 18},           {WXK_PAUSE, 19},
    {WXK_CAPITAL, 20},      {WXK_ESCAPE, 27},       {WXK_SPACE, 32},         {WXK_PAGEUP, 33},
    {WXK_PAGEDOWN, 34},     {WXK_END, 35},          {WXK_HOME, 36},          {WXK_LEFT, 37},
    {WXK_UP, 38},           {WXK_RIGHT, 39},        {WXK_DOWN, 40},          {WXK_INSERT, 45},
    {WXK_DELETE, 46},       {WXK_NUMPAD0, 96},      {WXK_NUMPAD1, 97},       {WXK_NUMPAD2, 98},
    {WXK_NUMPAD3, 99},      {WXK_NUMPAD4, 100},     {WXK_NUMPAD5, 101},      {WXK_NUMPAD6, 102},
    {WXK_NUMPAD7, 103},     {WXK_NUMPAD8, 104},     {WXK_NUMPAD9, 105},      {WXK_NUMPAD_MULTIPLY, 106},
    {WXK_NUMPAD_ADD, 107},  {WXK_NUMPAD_SUBTRACT, 109}, {WXK_NUMPAD_DECIMAL, 110}, {WXK_NUMPAD_DIVIDE, 111},
    {WXK_NUMPAD_LEFT, 37},  {WXK_NUMPAD_UP, 38},    {WXK_NUMPAD_RIGHT, 39},  {WXK_NUMPAD_DOWN, 40},
    {WXK_NUMPAD_DELETE, 46}, {WXK_NUMPAD_HOME, 36}, {WXK_NUMPAD_END, 35},    {WXK_NUMPAD_PAGEUP, 33},
    {WXK_NUMPAD_PAGEDOWN, 34}, {WXK_NUMPAD_INSERT, 45},
    {';', 186},             {'=', 187},             {',', 188},              {'-', 189},
    {'.', 190},             {'/', 191},             {'`', 192},              {'[', 219},
    {'\\', 220},            {']', 221},             {'\'', 222},
};

}  // namespace Wx_Backend

using namespace Wx_Backend;

// Windows virtual-key code of a wx key code (0 when it has none).
int32_t Wx_Key_To_Virtual(int key) {
    if (key >= '0' && key <= '9') return key;
    if (key >= 'A' && key <= 'Z') return key;
    if (key >= 'a' && key <= 'z') return key - 'a' + 'A';
    if (key >= WXK_F1 && key <= WXK_F24) return 112 + (key - WXK_F1);
    for (const Key_Pair& p : Key_Table)
        if (p.Wx == key) return p.Vk;
    return 0;
}

// wx key code of a virtual-key code, for the asynchronous key state (0 when none).
int Virtual_To_Wx_Key(int32_t vk) {
    if (vk >= '0' && vk <= '9') return vk;
    if (vk >= 'A' && vk <= 'Z') return vk;
    if (vk >= 112 && vk <= 135) return WXK_F1 + (vk - 112);
    for (const Key_Pair& p : Key_Table)
        if (p.Vk == vk) return p.Wx;
    return 0;
}

namespace Wx_Backend {

// ---------------------------------------------------------------- GL view events
// Queues a pointer event of view `number` at the event's position.
void Push_Pointer(int64_t number, const wxMouseEvent& e, int64_t type) {
    if (Wx_Control* c = Find(number)) Push_Control(*c, type, (float)e.GetX(), (float)e.GetY());
}

// Enter, leave, motion and middle press only report where the pointer is.
void Bind_Pointer_Report(wxGLCanvas* canvas, int64_t number, const wxEventTypeTag<wxMouseEvent>& what,
                         int64_t type) {
    canvas->Bind(what, [number, type](wxMouseEvent& e) {
        Push_Pointer(number, e, type);
        e.Skip();
    });
}

// A press remembers itself in `pressed`; a release is a click only over the
// view that saw the press (GTK keeps delivering the pointer to the pressed
// view until the release).
void Bind_Button(wxGLCanvas* canvas, int64_t number, bool Wx_Control::*pressed, int64_t down, int64_t up,
                 int64_t click) {
    auto press = [number, pressed](wxMouseEvent& e, int64_t type) {
        if (Wx_Control* c = Find(number)) c->*pressed = true;
        Push_Pointer(number, e, type);
        e.Skip();
    };
    auto release = [canvas, number, pressed, up, click](wxMouseEvent& e) {
        if (Wx_Control* c = Find(number)) {
            Push_Pointer(number, e, up);
            wxSize size = canvas->GetClientSize();
            bool inside = e.GetX() >= 0 && e.GetY() >= 0 && e.GetX() < size.x && e.GetY() < size.y;
            if (c->*pressed && inside) Push_Pointer(number, e, click);
            c->*pressed = false;
        }
        e.Skip();
    };
    bool left = pressed == &Wx_Control::Left_Pressed;
    canvas->Bind(left ? wxEVT_LEFT_DOWN : wxEVT_RIGHT_DOWN, [canvas, press, left, down](wxMouseEvent& e) {
        if (left) canvas->SetFocus();  // the key commands go to the view that was clicked
        press(e, down);
    });
    canvas->Bind(left ? wxEVT_LEFT_UP : wxEVT_RIGHT_UP, release);
    // GTK turns the second press of a double click into the double click
    // itself; it still counts as a press for the click on its release.
    if (left) canvas->Bind(wxEVT_LEFT_DCLICK, [press](wxMouseEvent& e) { press(e, ETYPE_LEFT_DOUBLE_CLICK); });
}

void Bind_Wheel(wxGLCanvas* canvas, int64_t number) {
    canvas->Bind(wxEVT_MOUSEWHEEL, [number](wxMouseEvent& e) {
        Wx_Control* c = Find(number);
        if (!c || e.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL) return;
        int delta = e.GetWheelDelta() > 0 ? e.GetWheelDelta() : 120;
        // Whole notches of 120 units; the remainder waits for the next message.
        c->Wheel_Rest += e.GetWheelRotation() * 120 / delta;
        int notches = c->Wheel_Rest / 120;
        c->Wheel_Rest -= notches * 120;
        if (notches == 0) return;
        Platform_Event ev = Control_Event(number, ETYPE_WHEEL, (float)e.GetX(), (float)e.GetY());
        ev.Wheel = notches;
        Push(ev);
    });
}

void Bind_Keys(wxGLCanvas* canvas, int64_t number) {
    auto key = [number](wxKeyEvent& e, int64_t type) {
        if (!Find(number)) return;
        // A key with Ctrl or Alt is a menu shortcut (Ctrl+O, Ctrl+S, Alt+F4),
        // not a picture-view command: let it reach the menu accelerators.
        if (e.ControlDown() || e.AltDown()) {
            e.Skip();
            return;
        }
        Platform_Event ev = Control_Event(number, type, (float)e.GetX(), (float)e.GetY());
        ev.Key = Wx_Key_To_Virtual(e.GetKeyCode());
        Push(ev);
    };
    canvas->Bind(wxEVT_KEY_DOWN, [key](wxKeyEvent& e) { key(e, ETYPE_KEY_DOWN); });
    canvas->Bind(wxEVT_KEY_UP, [key](wxKeyEvent& e) { key(e, ETYPE_KEY_UP); });
    canvas->Bind(wxEVT_KILL_FOCUS, [number](wxFocusEvent& e) {
        if (Wx_Control* c = Find(number)) Push_Control(*c, ETYPE_FOCUS_LOST);
        e.Skip();
    });
}

void Bind_GL_Events(wxGLCanvas* canvas, int64_t number) {
    canvas->Bind(wxEVT_PAINT, [canvas](wxPaintEvent&) { wxPaintDC dc(canvas); });
    canvas->Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
    Bind_Pointer_Report(canvas, number, wxEVT_ENTER_WINDOW, ETYPE_MOUSE_ENTER);
    Bind_Pointer_Report(canvas, number, wxEVT_LEAVE_WINDOW, ETYPE_MOUSE_LEAVE);
    Bind_Pointer_Report(canvas, number, wxEVT_MOTION, ETYPE_MOUSE_MOVE);
    Bind_Button(canvas, number, &Wx_Control::Left_Pressed, ETYPE_LEFT_DOWN, ETYPE_LEFT_UP, ETYPE_LEFT_CLICK);
    Bind_Button(canvas, number, &Wx_Control::Right_Pressed, ETYPE_RIGHT_DOWN, ETYPE_RIGHT_UP, ETYPE_RIGHT_CLICK);
    Bind_Pointer_Report(canvas, number, wxEVT_MIDDLE_DOWN, ETYPE_MIDDLE_DOWN);
    Bind_Wheel(canvas, number);
    Bind_Keys(canvas, number);
}

// The list's rows live in an inner window below the column header; the
// click that selects a row arrives there. The rows window is made first, so
// it wins the tie while a hidden list has placed neither.
wxWindow* List_Rows_Window(wxListCtrl* list) {
    wxWindow* best = nullptr;
    for (wxWindow* child : list->GetChildren())
        if (!best || child->GetPosition().y > best->GetPosition().y) best = child;
    return best;
}

void Bind_List_Events(wxListCtrl* list, int64_t number) {
    list->Bind(wxEVT_LIST_ITEM_SELECTED, [number](wxListEvent&) { Push_User_Change(number); });
    list->Bind(wxEVT_LIST_ITEM_DESELECTED, [number](wxListEvent&) { Read_Back(number); });
    list->Bind(wxEVT_LIST_ITEM_RIGHT_CLICK, [number](wxListEvent& e) {
        if (Wx_Control* c = Find(number)) Push_Control(*c, ETYPE_RIGHT_CLICK, e.GetPoint().x, e.GetPoint().y);
    });
    list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [number](wxListEvent&) {
        if (Wx_Control* c = Find(number)) Push_Control(*c, ETYPE_LEFT_DOUBLE_CLICK);
    });
    if (wxWindow* rows = List_Rows_Window(list)) {
        rows->Bind(wxEVT_LEFT_UP, [list, number](wxMouseEvent& e) {
            int flags = 0;
            long item = list->HitTest(e.GetPosition(), flags);
            Wx_Control* c = Find(number);
            if (c && item >= 0) Push_Control(*c, ETYPE_LEFT_CLICK, e.GetX(), e.GetY());
            e.Skip();
        });
    }
}

void Pump_Toolkit() {
    if (!Initialised) return;
    if (wxTheApp) wxTheApp->ProcessPendingEvents();
    // Bounded so that a widget that keeps asking for idle time cannot hold us here.
    for (int i = 0; i < 10000 && gtk_events_pending(); i++) gtk_main_iteration_do(FALSE);
}

// No event Poll_Event would hand out is queued.
bool Queue_Empty() {
    bool calibration_open = Window_Exists(WINDOW_CALIBRATION);
    std::lock_guard<std::mutex> lock(Shared.Queue_Lock);
    return Next_Deliverable_Event(Shared.Queue, calibration_open) == Shared.Queue.size();
}

gboolean Wait_Timeout(gpointer flag) {
    *(bool*)flag = true;
    return G_SOURCE_REMOVE;
}

}  // namespace Wx_Backend

// ---------------------------------------------------------------- events
bool Poll_Event(Platform_Event* event) {
    Pump_Toolkit();
    {
        bool calibration_open = Window_Exists(WINDOW_CALIBRATION);
        std::lock_guard<std::mutex> lock(Shared.Queue_Lock);
        size_t next = Next_Deliverable_Event(Shared.Queue, calibration_open);
        if (next < Shared.Queue.size()) {
            *event = Shared.Queue[next];
            Shared.Queue.erase(Shared.Queue.begin() + (std::ptrdiff_t)next);
            return true;
        }
    }
    *event = Platform_Event();
    if (Hook) Hook(Hook_User);
    return false;
}

void Wait_Event(int64_t timeout_ms) {
    Pump_Toolkit();
    if (!Initialised || timeout_ms <= 0 || !Queue_Empty()) return;
    bool timed_out = false;
    guint source = g_timeout_add((guint)std::min<int64_t>(timeout_ms, 1 << 30), Wait_Timeout, &timed_out);
    // A timer firing, a toolkit callback that queues an event or a wake-up
    // from Post_Event on another thread all end one iteration.
    while (!timed_out && Queue_Empty()) {
        g_main_context_iteration(nullptr, TRUE);
        if (wxTheApp) wxTheApp->ProcessPendingEvents();
    }
    if (!timed_out) g_source_remove(source);
}

void Post_Event(const Platform_Event& event) {
    Push(event);
    if (Initialised) g_main_context_wakeup(nullptr);
}

void Flush_Events() {
    Pump_Toolkit();
    std::lock_guard<std::mutex> lock(Shared.Queue_Lock);
    Shared.Queue.clear();
}

int64_t Remove_Events(int64_t window, int64_t kind, int64_t first_control, int64_t last_control) {
    Pump_Toolkit();
    std::lock_guard<std::mutex> lock(Shared.Queue_Lock);
    return Remove_Matching_Events(&Shared.Queue, window, kind, first_control, last_control);
}

void Set_Idle_Hook(Idle_Hook hook, void* user) {
    Hook = hook;
    Hook_User = user;
}
