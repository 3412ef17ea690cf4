// The real platform backend on wxWidgets 3.2 / GTK 3. Windows and controls
// are wx widgets kept in tables by their fixed numbers; every toolkit
// callback only appends a Platform_Event to the FIFO, which the main loop
// drains with Poll_Event. GL views are wxGLCanvas windows with one context
// each, all sharing texture names with the first context made.
// This file: the event queue, start and end, windows, controls, the mirror
// of the control model, and timers; menus and the status bar are in
// platform_wx_menus.cpp, prompts in platform_wx_prompts.cpp, GL views and
// the input state in platform_wx_gl.cpp.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <wx/wx.h>
#include <wx/evtloop.h>
#include <wx/glcanvas.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/tglbtn.h>
#include <wx/utils.h>

#include <gtk/gtk.h>

#include "platform/platform.h"
#include "platform/platform_controls.h"
#include "platform/platform_internal.h"
#include "platform/platform_wx_internal.h"

namespace Wx_Backend {

std::map<int64_t, Wx_Window> Windows;
std::map<int64_t, Wx_Control> Controls;
std::map<int64_t, wxMenuItem*> Menu_Items;  // menu-bar items by number
std::map<std::pair<int64_t, int64_t>, wxTimer*> Timers;

std::mutex Queue_Lock;  // Post_Event may be called from another thread
std::deque<Platform_Event> Queue;

Idle_Hook Hook = nullptr;
void* Hook_User = nullptr;
bool Initialised = false;
int Realizing = 0;
GtkWidget* Open_Prompt = nullptr;
wxGUIEventLoop* Loop = nullptr;
wxGLContext* Share_Context = nullptr;  // first context made; kept alive until shutdown
int Silent = 0;                        // > 0 while we change controls ourselves

char Arg0[] = "trellum";
char* Args[] = {Arg0, nullptr};
int Arg_Count = 1;

// ---------------------------------------------------------------- helpers
wxString To_Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

std::string From_Wx(const wxString& text) {
    wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

Wx_Window* Find_Window(int64_t window) {
    auto it = Windows.find(window);
    return it == Windows.end() ? nullptr : &it->second;
}

Wx_Control* Find(int64_t control) {
    auto it = Controls.find(control);
    return it == Controls.end() ? nullptr : &it->second;
}

void Push(const Platform_Event& event) {
    std::lock_guard<std::mutex> lock(Queue_Lock);
    Queue.push_back(event);
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
    if (Silent > 0) return;
    if (Wx_Control* c = Find(control)) Push_Control(*c, ETYPE_CHANGE);
}


wxBitmap Bitmap_From_Rgba(const uint8_t* rgba, int w, int h) {
    if (!rgba || w < 1 || h < 1) return wxBitmap();
    wxImage image(w, h, false);
    image.SetAlpha();
    unsigned char* rgb = image.GetData();
    unsigned char* alpha = image.GetAlpha();
    for (int64_t i = 0, n = (int64_t)w * h; i < n; i++) {
        rgb[i * 3 + 0] = rgba[i * 4 + 0];
        rgb[i * 3 + 1] = rgba[i * 4 + 1];
        rgb[i * 3 + 2] = rgba[i * 4 + 2];
        alpha[i] = rgba[i * 4 + 3];
    }
    return wxBitmap(image, 32);
}

// wx reports its own failed checks through this handler; a message on stderr
// is enough, a modal assertion box would stop the program and the tests.
void Quiet_Assert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg) {
    fprintf(stderr, "wx check failed: %s:%d %s: %s %s\n", From_Wx(file).c_str(), line, From_Wx(func).c_str(),
            From_Wx(cond).c_str(), From_Wx(msg).c_str());
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

// The parent widget for a new control: the window's client panel or a container control.
wxWindow* Parent_Widget(Wx_Window& w, int64_t parent) {
    if (parent < 0) return w.Client;
    Control_Record* p = Find_Control(parent);
    Wx_Control* pc = Find(parent);
    if (!p || !pc || p->Window != w.Number) return nullptr;
    if (p->Kind == CONTROL_SCROLL_AREA || p->Kind == CONTROL_PAGE) return pc->Widget;
    return nullptr;
}

// The layouts give buttons, sliders and drop-downs pixel sizes made for
// slimmer controls than GTK's theme; without this the theme's padding eats
// a 36 x 36 icon button's picture and a 20 pixel slider disappears.
const char* Tight_Css =
    ".trellum-tight { padding: 0px; min-width: 0px; min-height: 0px; }"
    "button.trellum-tight { padding: 1px; }"
    "scale.trellum-tight { padding: 0px 6px; }"
    "scale.trellum-tight trough { min-height: 4px; }"
    "scale.trellum-tight slider { min-width: 12px; min-height: 12px; margin: -5px 0px; }"
    "combobox.trellum-tight button, .trellum-tight button.combo { padding: 0px 4px; min-height: 0px; }"
    "entry.trellum-tight { padding: 0px 4px; min-height: 0px; }";

void Install_Tight_Style() {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, Tight_Css, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

void Tighten(wxWindow* widget) {
    GtkWidget* w = widget->GetHandle();
    if (w) gtk_style_context_add_class(gtk_widget_get_style_context(w), "trellum-tight");
}

wxGLAttributes GL_Attributes() {
    wxGLAttributes attrs;
    attrs.PlatformDefaults().RGBA().DoubleBuffer().EndList();
    if (!wxGLCanvas::IsDisplaySupported(attrs)) {
        attrs.Reset();
        attrs.PlatformDefaults().Defaults().EndList();
    }
    return attrs;
}

// A context left current on a window that is about to go would make the
// next GL call fail on a dead drawable: release it first.
void Release_If_Current(wxWindow* widget) {
    wxGLCanvas* canvas = dynamic_cast<wxGLCanvas*>(widget);
    if (!canvas || !canvas->GetXWindow()) return;
    if (glXGetCurrentDrawable() == canvas->GetXWindow() && glXGetCurrentDisplay())
        glXMakeCurrent(glXGetCurrentDisplay(), 0, nullptr);
}

// Forgets `control` and every control inside it; the widgets themselves are
// destroyed by the caller (children go with their parent).
void Forget_Control_Tree(int64_t control) {
    for (int64_t child : Child_Controls(control)) Forget_Control_Tree(child);
    bool gl_view = Control_Kind_Of(control) == CONTROL_GL_VIEW;
    Forget_Control_Record(control);
    auto it = Controls.find(control);
    if (it == Controls.end()) return;
    if (gl_view) Release_If_Current(it->second.Widget);
    if (it->second.Context && it->second.Context != Share_Context) delete it->second.Context;
    Controls.erase(it);
}

void Run_Held_Resizes() {
    std::vector<int64_t> held;
    for (auto& kv : Windows)
        if (kv.second.Resize_Held) held.push_back(kv.first);
    for (int64_t n : held) {
        Wx_Window* w = Find_Window(n);
        if (!w) continue;
        w->Resize_Held = false;
        if (w->On_Resize) w->On_Resize();
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
    std::lock_guard<std::mutex> lock(Queue_Lock);
    return Next_Deliverable_Event(Queue, calibration_open) == Queue.size();
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
        std::lock_guard<std::mutex> lock(Queue_Lock);
        size_t next = Next_Deliverable_Event(Queue, calibration_open);
        if (next < Queue.size()) {
            *event = Queue[next];
            Queue.erase(Queue.begin() + (std::ptrdiff_t)next);
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
    std::lock_guard<std::mutex> lock(Queue_Lock);
    Queue.clear();
}

int64_t Remove_Events(int64_t window, int64_t kind, int64_t first_control, int64_t last_control) {
    Pump_Toolkit();
    std::lock_guard<std::mutex> lock(Queue_Lock);
    return Remove_Matching_Events(&Queue, window, kind, first_control, last_control);
}

void Set_Idle_Hook(Idle_Hook hook, void* user) {
    Hook = hook;
    Hook_User = user;
}

// ---------------------------------------------------------------- start and end
bool Platform_Init() {
    if (Initialised) return true;
    // The GL views use GLX, so the toolkit must talk to an X server.
    setenv("GDK_BACKEND", "x11", 0);
    const char* display = getenv("DISPLAY");
    if (!display || !*display) return false;
    wxSetAssertHandler(Quiet_Assert);
    wxApp::SetInstance(new wxApp());
    if (!wxEntryStart(Arg_Count, Args)) return false;
    wxTheApp->OnInitGui();
    delete wxLog::SetActiveTarget(new wxLogStderr());
    wxLog::SetLogLevel(wxLOG_Warning);
    wxInitAllImageHandlers();
    Install_Tight_Style();
    Install_Control_Mirror();
    Loop = new wxGUIEventLoop();
    wxEventLoopBase::SetActive(Loop);
    Initialised = true;
    return true;
}

void Platform_Shutdown() {
    if (!Initialised) return;
    for (auto& kv : Timers) {
        kv.second->Stop();
        delete kv.second;
    }
    Timers.clear();
    std::vector<int64_t> numbers;
    for (auto& kv : Windows) numbers.push_back(kv.first);
    for (int64_t n : numbers) Close_Window(n);
    if (Share_Context) {
        delete Share_Context;
        Share_Context = nullptr;
    }
    Pump_Toolkit();
    if (wxTheApp) wxTheApp->ProcessIdle();
    wxEventLoopBase::SetActive(nullptr);
    delete Loop;
    Loop = nullptr;
    Initialised = false;
    wxEntryCleanup();
    std::lock_guard<std::mutex> lock(Queue_Lock);
    Queue.clear();
}

int Platform_Has_Display() { return 1; }

// ---------------------------------------------------------------- windows
bool Open_Window(int64_t window, const std::string& title, int x, int y, int w, int h, int64_t flags) {
    if (!Initialised || Windows.count(window)) return false;
    long style = 0;
    if (flags & WINDOW_BORDERLESS) {
        style |= wxBORDER_NONE;
    } else {
        style |= wxCAPTION | wxSYSTEM_MENU;
        if (flags & WINDOW_CLOSE_BOX) style |= wxCLOSE_BOX;
        if (flags & WINDOW_RESIZABLE) style |= wxRESIZE_BORDER | wxMAXIMIZE_BOX | wxMINIMIZE_BOX;
    }
    if (flags & WINDOW_TOOL) style |= wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR;
    if (flags & WINDOW_ON_TOP) style |= wxSTAY_ON_TOP;
    wxWindow* parent = nullptr;
    if (flags & WINDOW_CHILD_OF_MAIN) {
        if (Wx_Window* main = Find_Window(WINDOW_MAIN)) {
            parent = main->Frame;
            style |= wxFRAME_FLOAT_ON_PARENT;
        }
    }
    wxFrame* frame = new wxFrame(parent, wxID_ANY, To_Wx(title), wxPoint(x, y), wxDefaultSize, style);
    Wx_Window& rec = Windows[window];
    rec.Number = window;
    rec.Flags = flags;
    rec.Frame = frame;
    frame->SetClientSize(std::max(w, 1), std::max(h, 1));
    rec.Client = new wxPanel(frame, wxID_ANY, wxPoint(0, 0), frame->GetClientSize(), wxNO_BORDER);

    // Our own size handler replaces the frame's layout: the client panel
    // follows the client area, then the program's resize handler runs.
    frame->Bind(wxEVT_SIZE, [window](wxSizeEvent&) {
        Wx_Window* r = Find_Window(window);
        if (!r) return;
        r->Client->SetSize(r->Frame->GetClientSize());
        if (Realizing > 0) {
            r->Resize_Held = true;
            return;
        }
        if (r->On_Resize) r->On_Resize();
    });
    frame->Bind(wxEVT_CLOSE_WINDOW, [window](wxCloseEvent& e) {
        // The close box only asks; Close_Window is what destroys the window.
        if (e.CanVeto()) e.Veto();
        Platform_Event ev;
        ev.Window = window;
        ev.Kind = EVENT_CLOSE_WINDOW;
        Push(ev);
    });
    frame->Bind(wxEVT_MENU, [window](wxCommandEvent& e) {
        Wx_Window* r = Find_Window(window);
        if (!r || !r->Menu_Items.count(e.GetId())) {
            e.Skip();
            return;
        }
        Platform_Event ev;
        ev.Window = window;
        ev.Kind = EVENT_MENU;
        ev.Control = e.GetId();
        Push(ev);
    });
    if (flags & WINDOW_ACCEPT_FILES) {
        frame->DragAcceptFiles(true);
        auto drop = [window](wxDropFilesEvent& e) {
            Platform_Event ev;
            ev.Window = window;
            ev.Kind = EVENT_FILE_DROP;
            for (int i = 0; i < e.GetNumberOfFiles(); i++) {
                if (i) ev.Text += "\n";
                ev.Text += From_Wx(e.GetFiles()[i]);
            }
            Push(ev);
        };
        frame->Bind(wxEVT_DROP_FILES, drop);
        rec.Client->Bind(wxEVT_DROP_FILES, drop);
    }
    rec.Client->Bind(wxEVT_PAINT, [window](wxPaintEvent&) {
        Wx_Window* r = Find_Window(window);
        if (!r) return;
        wxPaintDC dc(r->Client);
        if (r->Background.IsOk()) dc.DrawBitmap(r->Background, 0, 0, true);
    });
    if (flags & WINDOW_CENTRED) frame->CentreOnScreen(wxBOTH);
    if (!(flags & WINDOW_HIDDEN)) frame->Show(true);
    return true;
}

void Close_Window(int64_t window) {
    Wx_Window* w = Find_Window(window);
    if (!w) return;
    // wx destroys a frame's child frames with it: close them first, through
    // the tables, so that no entry is left pointing at a freed frame.
    std::vector<int64_t> children;
    for (auto& kv : Windows)
        if (kv.first != window && kv.second.Frame->GetParent() == w->Frame) children.push_back(kv.first);
    for (int64_t child : children) Close_Window(child);
    w = Find_Window(window);
    if (!w) return;
    for (auto it = Timers.begin(); it != Timers.end();) {
        if (it->first.first == window) {
            it->second->Stop();
            delete it->second;
            it = Timers.erase(it);
        } else {
            ++it;
        }
    }
    for (int64_t c : Window_Controls(window)) Forget_Control_Tree(c);
    Forget_Status_Record(window);
    for (auto it = Menu_Items.begin(); it != Menu_Items.end();) {
        if (w->Menu_Items.count(it->first))
            it = Menu_Items.erase(it);
        else
            ++it;
    }
    wxFrame* frame = w->Frame;
    Windows.erase(window);
    frame->Hide();
    frame->Destroy();
    if (wxTheApp) wxTheApp->ProcessIdle();
}

bool Window_Exists(int64_t window) { return Find_Window(window) != nullptr; }

void Show_Window(int64_t window, bool show) {
    if (Wx_Window* w = Find_Window(window)) {
        w->Frame->Show(show);
        if (show) w->Frame->Raise();
    }
}

void Set_Window_Title(int64_t window, const std::string& title) {
    if (Wx_Window* w = Find_Window(window)) w->Frame->SetTitle(To_Wx(title));
}

int Menu_Bar_Height(int64_t window) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Menu_Bar || !w->Menu_Bar->IsShown()) return 0;
    // The natural height is what the frame itself takes off its client area.
    gint natural = 0;
    gtk_widget_get_preferred_height(w->Menu_Bar->GetHandle(), nullptr, &natural);
    return natural;
}

int Status_Bar_Height(int64_t window) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Status || !w->Status->IsShown()) return 0;
    return w->Status->GetSize().y;
}

void Window_Size(int64_t window, int* w, int* h) {
    *w = 0;
    *h = 0;
    Wx_Window* r = Find_Window(window);
    if (!r) return;
    wxSize size = r->Frame->GetClientSize();
    *w = size.x;
    *h = size.y + Menu_Bar_Height(window) + Status_Bar_Height(window);
}

void Resize_Window(int64_t window, int w, int h) {
    Wx_Window* r = Find_Window(window);
    if (!r) return;
    // The given height includes the bars, as Window_Size reports it.
    int bars = Menu_Bar_Height(window) + Status_Bar_Height(window);
    r->Frame->SetClientSize(std::max(w, 1), std::max(h - bars, 1));
}

void Move_Window(int64_t window, int x, int y) {
    if (Wx_Window* r = Find_Window(window)) r->Frame->Move(x, y);
}

void Window_Position(int64_t window, int* x, int* y) {
    *x = 0;
    *y = 0;
    if (Wx_Window* r = Find_Window(window)) r->Frame->GetPosition(x, y);
}

void Set_Window_Min_Size(int64_t window, int w, int h) {
    Wx_Window* r = Find_Window(window);
    if (!r) return;
    // Measured like Window_Size: client area plus the bars.
    int bars = Menu_Bar_Height(window) + Status_Bar_Height(window);
    r->Frame->SetMinClientSize(wxSize(w, std::max(h - bars, 1)));
}

void Set_Window_Opacity(int64_t window, int alpha) {
    if (Wx_Window* r = Find_Window(window)) r->Frame->SetTransparent((wxByte)std::max(0, std::min(255, alpha)));
}

void Set_Window_Background_Image(int64_t window, const uint8_t* rgba, int w, int h) {
    Wx_Window* r = Find_Window(window);
    if (!r) return;
    r->Background = Bitmap_From_Rgba(rgba, w, h);
    r->Client->Refresh(false);
}

void Set_Window_On_Top(int64_t window, bool on_top) {
    Wx_Window* r = Find_Window(window);
    if (!r) return;
    long style = r->Frame->GetWindowStyleFlag();
    style = on_top ? (style | wxSTAY_ON_TOP) : (style & ~wxSTAY_ON_TOP);
    r->Frame->SetWindowStyleFlag(style);
}

void Bind_Resize_Handler(int64_t window, Resize_Handler handler) {
    if (Wx_Window* r = Find_Window(window)) r->On_Resize = handler;
}

// ---------------------------------------------------------------- controls
namespace Wx_Backend {

// A button-like widget whose press or toggle is a change of the control.
template <typename Widget>
Widget* Bound(Widget* widget, const wxEventTypeTag<wxCommandEvent>& type, int64_t control) {
    widget->Bind(type, [control](wxCommandEvent&) { Push_User_Change(control); });
    return widget;
}

// An image button starts with an empty picture of its inner size.
wxBitmap Empty_Button_Picture(const wxSize& s) {
    return wxBitmap(std::max(s.x - 4, 1), std::max(s.y - 4, 1), 32);
}

template <typename Widget>
Widget* Labelled(Widget* widget, const wxString& label) {
    widget->SetLabelText(label);
    return widget;
}

// The GL view and its context, the first of which all later ones share.
wxWindow* Make_GL_View(wxWindow* pw, wxPoint p, wxSize s, int64_t control, wxGLContext** context) {
    wxGLCanvas* canvas = new wxGLCanvas(pw, GL_Attributes(), wxID_ANY, p, s, wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE);
    wxGLContext* made = Share_Context ? new wxGLContext(canvas, Share_Context) : new wxGLContext(canvas);
    if (!made->IsOK()) {
        delete made;
        canvas->Destroy();
        return nullptr;
    }
    if (!Share_Context) Share_Context = made;
    Bind_GL_Events(canvas, control);
    *context = made;
    return canvas;
}

wxWindow* Make_Pages(wxWindow* pw, wxPoint p, wxSize s, int64_t control) {
    wxNotebook* nb = new wxNotebook(pw, wxID_ANY, p, s);
    nb->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [control, nb](wxBookCtrlEvent& e) {
        if (e.GetEventObject() == nb) Push_User_Change(control);
        e.Skip();
    });
    return nb;
}

// The widget of one kind of control, with its change events bound; nullptr
// for an unknown kind or a GL view without a context.
wxWindow* Make_Widget(int64_t kind, wxWindow* pw, wxPoint p, wxSize s, const wxString& label, int64_t control,
                      wxGLContext** context) {
    switch (kind) {
    case CONTROL_BUTTON:
        return Bound(Labelled(new wxButton(pw, wxID_ANY, wxEmptyString, p, s), label), wxEVT_BUTTON, control);
    case CONTROL_TOGGLE_BUTTON:
        return Bound(Labelled(new wxToggleButton(pw, wxID_ANY, wxEmptyString, p, s), label), wxEVT_TOGGLEBUTTON,
                     control);
    case CONTROL_IMAGE_BUTTON:
        return Bound(new wxBitmapButton(pw, wxID_ANY, Empty_Button_Picture(s), p, s), wxEVT_BUTTON, control);
    case CONTROL_IMAGE_TOGGLE:
        return Bound(new wxBitmapToggleButton(pw, wxID_ANY, Empty_Button_Picture(s), p, s), wxEVT_TOGGLEBUTTON,
                     control);
    case CONTROL_LABEL:
        return Labelled(new wxStaticText(pw, wxID_ANY, wxEmptyString, p, s, wxST_NO_AUTORESIZE), label);
    case CONTROL_FRAME:
        // A sibling drawn around the controls at its rectangle, not their parent.
        return Labelled(new wxStaticBox(pw, wxID_ANY, wxEmptyString, p, s), label);
    case CONTROL_SLIDER:
        return Bound(new wxSlider(pw, wxID_ANY, 0, 0, 100, p, s, wxSL_HORIZONTAL), wxEVT_SLIDER, control);
    case CONTROL_CHECKBOX:
        return Bound(Labelled(new wxCheckBox(pw, wxID_ANY, wxEmptyString, p, s), label), wxEVT_CHECKBOX, control);
    case CONTROL_DROPDOWN:
        return Bound(new wxChoice(pw, wxID_ANY, p, s), wxEVT_CHOICE, control);
    case CONTROL_LIST: {
        wxListCtrl* list = new wxListCtrl(pw, wxID_ANY, p, s, wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN);
        Bind_List_Events(list, control);
        return list;
    }
    case CONTROL_GL_VIEW:
        return Make_GL_View(pw, p, s, control, context);
    case CONTROL_SCROLL_AREA: {
        wxScrolledWindow* sw = new wxScrolledWindow(pw, wxID_ANY, p, s, wxHSCROLL | wxVSCROLL | wxBORDER_SUNKEN);
        sw->SetScrollRate(10, 10);
        return sw;
    }
    case CONTROL_PAGES:
        return Make_Pages(pw, p, s, control);
    case CONTROL_TEXT_INPUT:
        return Bound(new wxTextCtrl(pw, wxID_ANY, label, p, s, 0), wxEVT_TEXT, control);
    case CONTROL_TEXT_READONLY:
        return Bound(new wxTextCtrl(pw, wxID_ANY, label, p, s, wxTE_READONLY), wxEVT_TEXT, control);
    default:
        return nullptr;
    }
}

// Kinds whose GTK theme padding is taken off (see Tight_Css).
bool Wants_Tight_Style(int64_t kind) {
    return kind == CONTROL_BUTTON || kind == CONTROL_TOGGLE_BUTTON || kind == CONTROL_IMAGE_BUTTON ||
           kind == CONTROL_IMAGE_TOGGLE || kind == CONTROL_SLIDER || kind == CONTROL_DROPDOWN ||
           kind == CONTROL_TEXT_INPUT || kind == CONTROL_TEXT_READONLY;
}

wxScrolledWindow* Scroll_Area_Of(int64_t control) {
    Control_Record* r = Find_Control(control);
    Control_Record* p = r ? Find_Control(r->Parent) : nullptr;
    Wx_Control* pc = p && p->Kind == CONTROL_SCROLL_AREA ? Find(p->Number) : nullptr;
    return pc ? static_cast<wxScrolledWindow*>(pc->Widget) : nullptr;
}

}  // namespace Wx_Backend

bool Create_Control(int64_t window, int64_t control, int64_t kind, int x, int y, int w, int h,
                    const std::string& text, int64_t parent) {
    Wx_Window* win = Find_Window(window);
    if (!win || Find_Control(control)) return false;
    wxWindow* pw = Parent_Widget(*win, parent);
    if (!pw) return false;
    wxPoint p(x, y);
    wxGLContext* context = nullptr;
    Silent++;
    wxWindow* widget = Make_Widget(kind, pw, p, wxSize(std::max(w, 1), std::max(h, 1)), To_Wx(text), control, &context);
    Silent--;
    if (!widget) return false;
    Add_Control_Record(window, control, kind, x, y, w, h, text, parent);
    Wx_Control& c = Controls[control];
    c.Number = control;
    c.Widget = widget;
    c.Context = context;
    if (Wants_Tight_Style(kind)) Tighten(widget);
    if (wxScrolledWindow* area = Scroll_Area_Of(control)) widget->Move(area->CalcScrolledPosition(p));
    return true;
}

bool Add_Page(int64_t pages_control, int64_t page_control, const std::string& caption) {
    Control_Record* pages = Find_Control(pages_control);
    if (!pages || pages->Kind != CONTROL_PAGES || Find_Control(page_control)) return false;
    wxNotebook* nb = static_cast<wxNotebook*>(Find(pages_control)->Widget);
    wxPanel* page = new wxPanel(nb, wxID_ANY);
    Silent++;
    nb->AddPage(page, To_Wx(caption), nb->GetPageCount() == 0);
    Silent--;
    Add_Control_Record(pages->Window, page_control, CONTROL_PAGE, 0, 0, 0, 0, caption, pages_control);
    Read_Back(pages_control);
    Wx_Control& c = Controls[page_control];
    c.Number = page_control;
    c.Widget = page;
    return true;
}

void Free_Control(int64_t control) {
    Control_Record* r = Find_Control(control);
    Wx_Control* c = Find(control);
    if (!r || !c) return;
    wxWindow* widget = c->Widget;
    bool page = r->Kind == CONTROL_PAGE;
    int64_t pages = r->Parent;
    Forget_Control_Tree(control);
    if (page) {
        Wx_Control* p = Find(pages);
        if (p) {
            wxNotebook* nb = static_cast<wxNotebook*>(p->Widget);
            int index = nb->FindPage(widget);
            Silent++;
            if (index != wxNOT_FOUND) nb->DeletePage((size_t)index);
            Silent--;
            Read_Back(pages);
            return;
        }
    }
    widget->Destroy();
}

void Control_Rect(int64_t control, int* x, int* y, int* w, int* h) {
    *x = *y = *w = *h = 0;
    Wx_Control* c = Find(control);
    if (!c) return;
    wxPoint p = c->Widget->GetPosition();
    wxSize s = c->Widget->GetSize();
    // Children of a scroll area are placed in its inner (unscrolled) coordinates.
    if (wxScrolledWindow* area = Scroll_Area_Of(control)) p = area->CalcUnscrolledPosition(p);
    *x = p.x;
    *y = p.y;
    *w = s.x;
    *h = s.y;
}

void Resize_Control(int64_t control, int x, int y, int w, int h) {
    Control_Record* r = Find_Control(control);
    Wx_Control* c = Find(control);
    if (!r || !c || r->Kind == CONTROL_PAGE) return;
    int ox, oy, ow, oh;
    Control_Rect(control, &ox, &oy, &ow, &oh);
    wxPoint p(x == -1 ? ox : x, y == -1 ? oy : y);
    wxSize s(w == -1 ? ow : std::max(w, 0), h == -1 ? oh : std::max(h, 0));
    r->X = p.x;
    r->Y = p.y;
    r->W = s.x;
    r->H = s.y;
    if (wxScrolledWindow* area = Scroll_Area_Of(control)) p = area->CalcScrolledPosition(p);
    c->Widget->SetSize(p.x, p.y, s.x, s.y, wxSIZE_ALLOW_MINUS_ONE);
}

void Control_Window_Position(int64_t control, int* x, int* y) {
    *x = 0;
    *y = 0;
    Wx_Control* c = Find(control);
    Control_Record* r = Find_Control(control);
    if (!c || !r) return;
    Wx_Window* w = Find_Window(r->Window);
    if (!w) return;
    if (w->Frame->IsShown() && gtk_widget_get_mapped(c->Widget->GetHandle())) {
        wxPoint p = c->Widget->GetScreenPosition() - w->Client->GetScreenPosition();
        *x = p.x;
        *y = p.y;
        return;
    }
    // Not on the screen yet: GTK has placed nothing, so add up the positions
    // we gave, and put a notebook page where the notebook will put it.
    for (wxWindow* widget = c->Widget; widget && widget != w->Client; widget = widget->GetParent()) {
        wxNotebook* nb = dynamic_cast<wxNotebook*>(widget->GetParent());
        if (nb) {
            wxSize extra = nb->CalcSizeFromPage(wxSize(100, 100)) - wxSize(100, 100);
            *x += extra.x / 2;
            *y += extra.y - extra.x / 2;
        } else {
            wxPoint p = widget->GetPosition();
            *x += p.x;
            *y += p.y;
        }
        if (widget->IsTopLevel()) break;
    }
}

void Set_Control_Image(int64_t control, const uint8_t* rgba, int w, int h, double scale) {
    Wx_Control* c = Find(control);
    int64_t kind = Control_Kind_Of(control);
    if (!c) return;
    wxBitmap bitmap = Bitmap_From_Rgba(rgba, w, h);
    if (!bitmap.IsOk()) return;
    // GTK lays a bitmap out at its pixel size divided by its scale factor.
    if (std::isfinite(scale) && scale > 0) bitmap.SetScaleFactor(scale);
    if (kind == CONTROL_IMAGE_BUTTON || kind == CONTROL_IMAGE_TOGGLE || kind == CONTROL_BUTTON ||
        kind == CONTROL_TOGGLE_BUTTON)
        static_cast<wxAnyButton*>(c->Widget)->SetBitmap(bitmap);
}

void Set_Control_Font(int64_t control, const std::string& face, int points, bool bold) {
    Wx_Control* c = Find(control);
    if (!c || points < 1) return;
    // The face name goes to fontconfig as given; it substitutes missing faces.
    wxFont font(wxFontInfo(points).FaceName(To_Wx(face)).Bold(bold).AntiAliased(true));
    c->Widget->SetFont(font);
    if (Control_Kind_Of(control) == CONTROL_LIST) c->Widget->Refresh();
}

void Set_Focus(int64_t control) {
    if (Wx_Control* c = Find(control)) c->Widget->SetFocus();
}

void Set_Crosshair_Cursor(int64_t control) {
    if (Wx_Control* c = Find(control)) c->Widget->SetCursor(wxCursor(wxCURSOR_CROSS));
}

// ---------------------------------------------------------------- mirror of the control model
namespace Wx_Backend {

// Column widths the program asks for are minimums: under the desktop font
// their texts can be wider. A list draws a cell's text inside the column less
// 8 pixels; the margin leaves a little more.
const int LIST_CELL_MARGIN = 12;

// Widens a list column so that `text` shows whole; never narrows it.
void Fit_List_Column(wxListCtrl* list, long column, const std::string& text) {
    if (text.empty() || column < 0 || column >= list->GetColumnCount()) return;
    wxWindow* rows = List_Rows_Window(list);
    wxWindow* measure = rows ? rows : list;
    int needed = measure->GetTextExtent(To_Wx(text)).x + LIST_CELL_MARGIN;
    if (needed > list->GetColumnWidth(column)) list->SetColumnWidth(column, needed);
}

void Show_State(const Control_Record& r) {
    Wx_Control* c = Find(r.Number);
    if (!c) return;
    int64_t state = r.State;
    Silent++;
    switch (r.Kind) {
    case CONTROL_TOGGLE_BUTTON:
        static_cast<wxToggleButton*>(c->Widget)->SetValue(state != 0);
        break;
    case CONTROL_IMAGE_TOGGLE:
        static_cast<wxBitmapToggleButton*>(c->Widget)->SetValue(state != 0);
        break;
    case CONTROL_CHECKBOX:
        static_cast<wxCheckBox*>(c->Widget)->SetValue(state != 0);
        break;
    case CONTROL_SLIDER:
        static_cast<wxSlider*>(c->Widget)->SetValue((int)state);
        break;
    case CONTROL_DROPDOWN:
        static_cast<wxChoice*>(c->Widget)->SetSelection(state < 0 ? wxNOT_FOUND : (int)state);
        break;
    case CONTROL_LIST: {
        wxListCtrl* list = static_cast<wxListCtrl*>(c->Widget);
        for (long i = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i >= 0;
             i = list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
            if (i != state) list->SetItemState(i, 0, wxLIST_STATE_SELECTED);
        if (state >= 0) {
            list->SetItemState((long)state, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                               wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
            list->EnsureVisible((long)state);
        }
        break;
    }
    case CONTROL_PAGES:
        static_cast<wxNotebook*>(c->Widget)->ChangeSelection((size_t)state);
        break;
    default:
        break;
    }
    Silent--;
}

void Show_Text(const Control_Record& r) {
    Wx_Control* c = Find(r.Number);
    if (!c) return;
    Silent++;
    switch (r.Kind) {
    case CONTROL_BUTTON:
    case CONTROL_TOGGLE_BUTTON:
    case CONTROL_LABEL:
    case CONTROL_FRAME:
    case CONTROL_CHECKBOX:
        static_cast<wxControl*>(c->Widget)->SetLabelText(To_Wx(r.Text));
        break;
    case CONTROL_TEXT_INPUT:
    case CONTROL_TEXT_READONLY:
        static_cast<wxTextCtrl*>(c->Widget)->ChangeValue(To_Wx(r.Text));
        break;
    case CONTROL_PAGE: {
        Wx_Control* p = Find(r.Parent);
        if (!p) break;
        wxNotebook* nb = static_cast<wxNotebook*>(p->Widget);
        int index = nb->FindPage(c->Widget);
        if (index != wxNOT_FOUND) nb->SetPageText((size_t)index, To_Wx(r.Text));
        break;
    }
    default:
        break;
    }
    Silent--;
}

void Show_Tooltip(const Control_Record& r) {
    if (Wx_Control* c = Find(r.Number)) c->Widget->SetToolTip(To_Wx(r.Tooltip));
}

void Show_Hidden(const Control_Record& r) {
    if (Wx_Control* c = Find(r.Number)) c->Widget->Show(!r.Hidden);
}

void Show_Disabled(const Control_Record& r) {
    if (Wx_Control* c = Find(r.Number)) c->Widget->Enable(!r.Disabled);
}

void Show_Slider_Range(const Control_Record& r) {
    Wx_Control* c = Find(r.Number);
    if (!c) return;
    Silent++;
    wxSlider* sl = static_cast<wxSlider*>(c->Widget);
    // GTK refuses an empty range; the slider then offers one value.
    sl->SetRange((int)r.Min, (int)std::max(r.Max, r.Min + 1));
    sl->SetValue((int)r.State);
    Silent--;
}

void Show_Inner_Size(const Control_Record& r) {
    if (Wx_Control* c = Find(r.Number))
        static_cast<wxScrolledWindow*>(c->Widget)->SetVirtualSize(std::max(r.Inner_W, 0), std::max(r.Inner_H, 0));
}

void Show_Column_Added(const Control_Record& r, int width) {
    Wx_Control* c = Find(r.Number);
    if (!c) return;
    wxListCtrl* list = static_cast<wxListCtrl*>(c->Widget);
    long column = (long)r.Columns.size() - 1;
    list->InsertColumn(column, To_Wx(r.Columns.back()), wxLIST_FORMAT_LEFT, width);
    Fit_List_Column(list, column, r.Columns.back());
    // Rows added before the column get their cell now.
    for (size_t row = 0; row < r.Rows.size(); row++) {
        std::vector<std::string> cells = Split_Columns(r.Rows[row].first);
        if ((size_t)column < cells.size() && column > 0) {
            list->SetItem((long)row, column, To_Wx(cells[(size_t)column]));
            Fit_List_Column(list, column, cells[(size_t)column]);
        }
    }
}

void Show_Row_Added(const Control_Record& r) {
    Wx_Control* c = Find(r.Number);
    if (!c) return;
    const std::string& text = r.Rows.back().first;
    long index = (long)r.Rows.size() - 1;
    Silent++;
    if (r.Kind == CONTROL_DROPDOWN) {
        static_cast<wxChoice*>(c->Widget)->Append(To_Wx(text));
    } else {
        wxListCtrl* list = static_cast<wxListCtrl*>(c->Widget);
        std::vector<std::string> cells = Split_Columns(text);
        long row = list->InsertItem(index, To_Wx(cells[0]));
        for (size_t col = 1; col < cells.size() && col < r.Columns.size(); col++)
            list->SetItem(row, (long)col, To_Wx(cells[col]));
        for (size_t col = 0; col < cells.size() && col < r.Columns.size(); col++)
            Fit_List_Column(list, (long)col, cells[col]);
        list->SetItemData(row, index);
    }
    Silent--;
}

void Show_Rows_Cleared(const Control_Record& r) {
    Wx_Control* c = Find(r.Number);
    if (!c) return;
    Silent++;
    if (r.Kind == CONTROL_DROPDOWN) static_cast<wxChoice*>(c->Widget)->Clear();
    if (r.Kind == CONTROL_LIST) static_cast<wxListCtrl*>(c->Widget)->DeleteAllItems();
    Silent--;
}

void Show_Status_Text(int64_t window, int field, const std::string& text) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Status) return;
    Fit_Status_Field(window, field, text);
    w->Status->SetStatusText(To_Wx(text), field);
}

void Install_Control_Mirror() {
    Mirror.State = Show_State;
    Mirror.Text = Show_Text;
    Mirror.Tooltip = Show_Tooltip;
    Mirror.Hidden = Show_Hidden;
    Mirror.Disabled = Show_Disabled;
    Mirror.Slider_Range = Show_Slider_Range;
    Mirror.Inner_Size = Show_Inner_Size;
    Mirror.Column_Added = Show_Column_Added;
    Mirror.Row_Added = Show_Row_Added;
    Mirror.Rows_Cleared = Show_Rows_Cleared;
    Mirror.Status_Text = Show_Status_Text;
}

// The user changes what a widget shows; the model takes it over before the
// change is reported.
void Read_Back(int64_t control) {
    Control_Record* r = Find_Control(control);
    Wx_Control* c = Find(control);
    if (!r || !c) return;
    switch (r->Kind) {
    case CONTROL_TOGGLE_BUTTON: r->State = static_cast<wxToggleButton*>(c->Widget)->GetValue() ? 1 : 0; break;
    case CONTROL_IMAGE_TOGGLE: r->State = static_cast<wxBitmapToggleButton*>(c->Widget)->GetValue() ? 1 : 0; break;
    case CONTROL_CHECKBOX: r->State = static_cast<wxCheckBox*>(c->Widget)->GetValue() ? 1 : 0; break;
    case CONTROL_SLIDER: r->State = static_cast<wxSlider*>(c->Widget)->GetValue(); break;
    case CONTROL_DROPDOWN: {
        int sel = static_cast<wxChoice*>(c->Widget)->GetSelection();
        r->State = sel == wxNOT_FOUND ? -1 : sel;
        break;
    }
    case CONTROL_LIST:
        r->State = static_cast<wxListCtrl*>(c->Widget)->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
        break;
    case CONTROL_PAGES: {
        int sel = static_cast<wxNotebook*>(c->Widget)->GetSelection();
        r->State = sel == wxNOT_FOUND ? -1 : sel;
        break;
    }
    case CONTROL_TEXT_INPUT:
    case CONTROL_TEXT_READONLY:
        r->Text = From_Wx(static_cast<wxTextCtrl*>(c->Widget)->GetValue());
        break;
    default:
        break;
    }
}

}  // namespace Wx_Backend

// ---------------------------------------------------------------- timers
void Add_Timer(int64_t window, int64_t timer, int64_t period_ms) {
    if (!Find_Window(window)) return;
    Remove_Timer(window, timer);
    wxTimer* t = new wxTimer();
    t->Bind(wxEVT_TIMER, [window, timer](wxTimerEvent&) {
        Platform_Event ev;
        ev.Window = window;
        ev.Kind = EVENT_TIMER;
        ev.Control = timer;
        Push(ev);
    });
    Timers[{window, timer}] = t;
    t->Start((int)std::max<int64_t>(period_ms, 1));
}

void Remove_Timer(int64_t window, int64_t timer) {
    auto it = Timers.find({window, timer});
    if (it == Timers.end()) return;
    it->second->Stop();
    delete it->second;
    Timers.erase(it);
}

// ---------------------------------------------------------------- desktop launch
// GIO picks the desktop's default program for the address (the browser for
// an HTML file), as the file manager would; it needs no helper program.
bool Open_Url(const std::string& url) {
    std::string uri = url;
    if (!url.empty() && url[0] == '/') {
        gchar* made = g_filename_to_uri(url.c_str(), nullptr, nullptr);
        if (!made) return false;
        uri = made;
        g_free(made);
    }
    GError* error = nullptr;
    gboolean ok = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
    if (error) g_error_free(error);
    return ok == TRUE;
}
