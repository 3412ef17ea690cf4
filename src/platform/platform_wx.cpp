// The real platform backend on wxWidgets 3.2 / GTK 3. Windows and controls
// are wx widgets kept in tables by their fixed numbers; every toolkit
// callback only appends a Platform_Event to the FIFO, which the main loop
// drains with Poll_Event. GL views are wxGLCanvas windows with one context
// each, all sharing texture names with the first context made.
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

void Push_Control(const Wx_Control& c, int64_t type, float x = 0, float y = 0) {
    Platform_Event e;
    e.Window = c.Window;
    e.Kind = EVENT_CONTROL;
    e.Control = c.Number;
    e.Type = type;
    e.X = x;
    e.Y = y;
    Push(e);
}

// Posts a control event from a widget callback unless the change was ours.
void Push_User_Change(int64_t control) {
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
void Bind_GL_Events(wxGLCanvas* canvas, int64_t number) {
    auto pos = [](const wxMouseEvent& e, float* x, float* y) {
        *x = (float)e.GetX();
        *y = (float)e.GetY();
    };
    canvas->Bind(wxEVT_PAINT, [canvas](wxPaintEvent&) { wxPaintDC dc(canvas); });
    canvas->Bind(wxEVT_ERASE_BACKGROUND, [](wxEraseEvent&) {});
    canvas->Bind(wxEVT_ENTER_WINDOW, [number, pos](wxMouseEvent& e) {
        if (Wx_Control* c = Find(number)) {
            float x, y;
            pos(e, &x, &y);
            Push_Control(*c, ETYPE_MOUSE_ENTER, x, y);
        }
        e.Skip();
    });
    canvas->Bind(wxEVT_LEAVE_WINDOW, [number, pos](wxMouseEvent& e) {
        if (Wx_Control* c = Find(number)) {
            float x, y;
            pos(e, &x, &y);
            Push_Control(*c, ETYPE_MOUSE_LEAVE, x, y);
        }
        e.Skip();
    });
    canvas->Bind(wxEVT_MOTION, [number, pos](wxMouseEvent& e) {
        if (Wx_Control* c = Find(number)) {
            float x, y;
            pos(e, &x, &y);
            Push_Control(*c, ETYPE_MOUSE_MOVE, x, y);
        }
        e.Skip();
    });
    // A press remembers itself in `pressed`; a release is a click only over
    // the view that saw the press (GTK keeps delivering the pointer to the
    // pressed view until the release).
    auto press = [number, pos](wxMouseEvent& e, bool Wx_Control::*pressed, int64_t type) {
        if (Wx_Control* c = Find(number)) {
            float x, y;
            pos(e, &x, &y);
            c->*pressed = true;
            Push_Control(*c, type, x, y);
        }
        e.Skip();
    };
    auto release = [canvas, number, pos](wxMouseEvent& e, bool Wx_Control::*pressed, int64_t up, int64_t click) {
        if (Wx_Control* c = Find(number)) {
            float x, y;
            pos(e, &x, &y);
            Push_Control(*c, up, x, y);
            wxSize size = canvas->GetClientSize();
            bool inside = e.GetX() >= 0 && e.GetY() >= 0 && e.GetX() < size.x && e.GetY() < size.y;
            if (c->*pressed && inside) Push_Control(*c, click, x, y);
            c->*pressed = false;
        }
        e.Skip();
    };
    canvas->Bind(wxEVT_LEFT_DOWN, [canvas, press](wxMouseEvent& e) {
        canvas->SetFocus();  // the key commands go to the view that was clicked
        press(e, &Wx_Control::Left_Pressed, ETYPE_LEFT_DOWN);
    });
    canvas->Bind(wxEVT_LEFT_UP, [release](wxMouseEvent& e) {
        release(e, &Wx_Control::Left_Pressed, ETYPE_LEFT_UP, ETYPE_LEFT_CLICK);
    });
    // GTK turns the second press of a double click into the double click
    // itself; it still counts as a press for the click on its release.
    canvas->Bind(wxEVT_LEFT_DCLICK, [press](wxMouseEvent& e) {
        press(e, &Wx_Control::Left_Pressed, ETYPE_LEFT_DOUBLE_CLICK);
    });
    canvas->Bind(wxEVT_RIGHT_DOWN, [press](wxMouseEvent& e) {
        press(e, &Wx_Control::Right_Pressed, ETYPE_RIGHT_DOWN);
    });
    canvas->Bind(wxEVT_RIGHT_UP, [release](wxMouseEvent& e) {
        release(e, &Wx_Control::Right_Pressed, ETYPE_RIGHT_UP, ETYPE_RIGHT_CLICK);
    });
    canvas->Bind(wxEVT_MIDDLE_DOWN, [number, pos](wxMouseEvent& e) {
        if (Wx_Control* c = Find(number)) {
            float x, y;
            pos(e, &x, &y);
            Push_Control(*c, ETYPE_MIDDLE_DOWN, x, y);
        }
        e.Skip();
    });
    canvas->Bind(wxEVT_MOUSEWHEEL, [number, pos](wxMouseEvent& e) {
        Wx_Control* c = Find(number);
        if (!c || e.GetWheelAxis() != wxMOUSE_WHEEL_VERTICAL) return;
        int delta = e.GetWheelDelta() > 0 ? e.GetWheelDelta() : 120;
        // Whole notches of 120 units; the remainder waits for the next message.
        c->Wheel_Rest += e.GetWheelRotation() * 120 / delta;
        int notches = c->Wheel_Rest / 120;
        c->Wheel_Rest -= notches * 120;
        if (notches == 0) return;
        Platform_Event ev;
        ev.Window = c->Window;
        ev.Kind = EVENT_CONTROL;
        ev.Control = number;
        ev.Type = ETYPE_WHEEL;
        pos(e, &ev.X, &ev.Y);
        ev.Wheel = notches;
        Push(ev);
    });
    auto key = [number](wxKeyEvent& e, int64_t type) {
        Wx_Control* c = Find(number);
        if (!c) return;
        // A key with Ctrl or Alt is a menu shortcut (Ctrl+O, Ctrl+S, Alt+F4),
        // not a picture-view command: let it reach the menu accelerators.
        if (e.ControlDown() || e.AltDown()) {
            e.Skip();
            return;
        }
        Platform_Event ev;
        ev.Window = c->Window;
        ev.Kind = EVENT_CONTROL;
        ev.Control = number;
        ev.Type = type;
        ev.X = (float)e.GetX();
        ev.Y = (float)e.GetY();
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
    Wx_Control* p = Find(parent);
    if (!p || p->Window != w.Number) return nullptr;
    if (p->Kind == CONTROL_SCROLL_AREA || p->Kind == CONTROL_PAGE) return p->Widget;
    return nullptr;
}

bool In_Scroll_Area(const Wx_Control& c) {
    Wx_Control* p = Find(c.Parent);
    return p && p->Kind == CONTROL_SCROLL_AREA;
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
    std::vector<int64_t> children;
    for (auto& kv : Controls)
        if (kv.second.Parent == control && kv.first != control) children.push_back(kv.first);
    for (int64_t child : children) Forget_Control_Tree(child);
    auto it = Controls.find(control);
    if (it == Controls.end()) return;
    if (it->second.Kind == CONTROL_GL_VIEW) Release_If_Current(it->second.Widget);
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

bool Queue_Empty() {
    std::lock_guard<std::mutex> lock(Queue_Lock);
    return Queue.empty();
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
        std::lock_guard<std::mutex> lock(Queue_Lock);
        if (!Queue.empty()) {
            *event = Queue.front();
            Queue.pop_front();
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
    std::vector<int64_t> owned;
    for (auto& kv : Controls)
        if (kv.second.Window == window) owned.push_back(kv.first);
    for (int64_t c : owned) Forget_Control_Tree(c);
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
bool Create_Control(int64_t window, int64_t control, int64_t kind, int x, int y, int w, int h,
                    const std::string& text, int64_t parent) {
    Wx_Window* win = Find_Window(window);
    if (!win || Controls.count(control)) return false;
    wxWindow* pw = Parent_Widget(*win, parent);
    if (!pw) return false;
    wxPoint p(x, y);
    wxSize s(std::max(w, 1), std::max(h, 1));
    wxString label = To_Wx(text);
    wxWindow* widget = nullptr;
    wxGLContext* context = nullptr;
    Silent++;
    switch (kind) {
    case CONTROL_BUTTON: {
        wxButton* b = new wxButton(pw, wxID_ANY, wxEmptyString, p, s);
        b->SetLabelText(label);
        b->Bind(wxEVT_BUTTON, [control](wxCommandEvent&) { Push_User_Change(control); });
        widget = b;
        break;
    }
    case CONTROL_TOGGLE_BUTTON: {
        wxToggleButton* b = new wxToggleButton(pw, wxID_ANY, wxEmptyString, p, s);
        b->SetLabelText(label);
        b->Bind(wxEVT_TOGGLEBUTTON, [control](wxCommandEvent&) { Push_User_Change(control); });
        widget = b;
        break;
    }
    case CONTROL_IMAGE_BUTTON: {
        wxBitmap empty(std::max(w - 4, 1), std::max(h - 4, 1), 32);
        wxBitmapButton* b = new wxBitmapButton(pw, wxID_ANY, empty, p, s);
        b->Bind(wxEVT_BUTTON, [control](wxCommandEvent&) { Push_User_Change(control); });
        widget = b;
        break;
    }
    case CONTROL_IMAGE_TOGGLE: {
        wxBitmap empty(std::max(w - 4, 1), std::max(h - 4, 1), 32);
        wxBitmapToggleButton* b = new wxBitmapToggleButton(pw, wxID_ANY, empty, p, s);
        b->Bind(wxEVT_TOGGLEBUTTON, [control](wxCommandEvent&) { Push_User_Change(control); });
        widget = b;
        break;
    }
    case CONTROL_LABEL: {
        wxStaticText* t = new wxStaticText(pw, wxID_ANY, wxEmptyString, p, s, wxST_NO_AUTORESIZE);
        t->SetLabelText(label);
        widget = t;
        break;
    }
    case CONTROL_FRAME: {
        // A sibling drawn around the controls at its rectangle, not their parent.
        wxStaticBox* b = new wxStaticBox(pw, wxID_ANY, wxEmptyString, p, s);
        b->SetLabelText(label);
        widget = b;
        break;
    }
    case CONTROL_SLIDER: {
        wxSlider* sl = new wxSlider(pw, wxID_ANY, 0, 0, 100, p, s, wxSL_HORIZONTAL);
        sl->Bind(wxEVT_SLIDER, [control](wxCommandEvent&) { Push_User_Change(control); });
        widget = sl;
        break;
    }
    case CONTROL_CHECKBOX: {
        wxCheckBox* cb = new wxCheckBox(pw, wxID_ANY, wxEmptyString, p, s);
        cb->SetLabelText(label);
        cb->Bind(wxEVT_CHECKBOX, [control](wxCommandEvent&) { Push_User_Change(control); });
        widget = cb;
        break;
    }
    case CONTROL_DROPDOWN: {
        wxChoice* ch = new wxChoice(pw, wxID_ANY, p, s);
        ch->Bind(wxEVT_CHOICE, [control](wxCommandEvent&) { Push_User_Change(control); });
        widget = ch;
        break;
    }
    case CONTROL_LIST: {
        wxListCtrl* list = new wxListCtrl(pw, wxID_ANY, p, s, wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN);
        Bind_List_Events(list, control);
        widget = list;
        break;
    }
    case CONTROL_GL_VIEW: {
        wxGLCanvas* canvas = new wxGLCanvas(pw, GL_Attributes(), wxID_ANY, p, s, wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE);
        context = Share_Context ? new wxGLContext(canvas, Share_Context) : new wxGLContext(canvas);
        if (!context->IsOK()) {
            delete context;
            context = nullptr;
            canvas->Destroy();
            Silent--;
            return false;
        }
        if (!Share_Context) Share_Context = context;
        Bind_GL_Events(canvas, control);
        widget = canvas;
        break;
    }
    case CONTROL_SCROLL_AREA: {
        wxScrolledWindow* sw = new wxScrolledWindow(pw, wxID_ANY, p, s, wxHSCROLL | wxVSCROLL | wxBORDER_SUNKEN);
        sw->SetScrollRate(10, 10);
        widget = sw;
        break;
    }
    case CONTROL_PAGES: {
        wxNotebook* nb = new wxNotebook(pw, wxID_ANY, p, s);
        nb->Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, [control, nb](wxBookCtrlEvent& e) {
            if (e.GetEventObject() == nb) Push_User_Change(control);
            e.Skip();
        });
        widget = nb;
        break;
    }
    case CONTROL_TEXT_INPUT:
    case CONTROL_TEXT_READONLY: {
        long style = kind == CONTROL_TEXT_READONLY ? wxTE_READONLY : 0;
        wxTextCtrl* t = new wxTextCtrl(pw, wxID_ANY, label, p, s, style);
        t->Bind(wxEVT_TEXT, [control](wxCommandEvent&) { Push_User_Change(control); });
        widget = t;
        break;
    }
    default:
        break;
    }
    Silent--;
    if (!widget) return false;
    Wx_Control& c = Controls[control];
    c.Number = control;
    c.Kind = kind;
    c.Window = window;
    c.Parent = parent;
    c.Widget = widget;
    c.Context = context;
    c.Text = text;
    if (kind == CONTROL_BUTTON || kind == CONTROL_TOGGLE_BUTTON || kind == CONTROL_IMAGE_BUTTON ||
        kind == CONTROL_IMAGE_TOGGLE || kind == CONTROL_SLIDER || kind == CONTROL_DROPDOWN ||
        kind == CONTROL_TEXT_INPUT || kind == CONTROL_TEXT_READONLY)
        Tighten(widget);
    if (Wx_Control* pc = Find(parent))
        if (pc->Kind == CONTROL_SCROLL_AREA) widget->Move(static_cast<wxScrolledWindow*>(pc->Widget)->CalcScrolledPosition(p));
    return true;
}

bool Add_Page(int64_t pages_control, int64_t page_control, const std::string& caption) {
    Wx_Control* pages = Find(pages_control);
    if (!pages || pages->Kind != CONTROL_PAGES || Controls.count(page_control)) return false;
    wxNotebook* nb = static_cast<wxNotebook*>(pages->Widget);
    wxPanel* page = new wxPanel(nb, wxID_ANY);
    Silent++;
    nb->AddPage(page, To_Wx(caption), nb->GetPageCount() == 0);
    Silent--;
    Wx_Control& c = Controls[page_control];
    c.Number = page_control;
    c.Kind = CONTROL_PAGE;
    c.Window = pages->Window;
    c.Parent = pages_control;
    c.Widget = page;
    c.Text = caption;
    return true;
}

bool Control_Exists(int64_t control) { return Find(control) != nullptr; }

int64_t Control_Kind_Of(int64_t control) {
    Wx_Control* c = Find(control);
    return c ? c->Kind : 0;
}

void Free_Control(int64_t control) {
    Wx_Control* c = Find(control);
    if (!c) return;
    wxWindow* widget = c->Widget;
    bool page = c->Kind == CONTROL_PAGE;
    int64_t pages = c->Parent;
    Forget_Control_Tree(control);
    if (page) {
        Wx_Control* p = Find(pages);
        if (p) {
            wxNotebook* nb = static_cast<wxNotebook*>(p->Widget);
            int index = nb->FindPage(widget);
            Silent++;
            if (index != wxNOT_FOUND) nb->DeletePage((size_t)index);
            Silent--;
            return;
        }
    }
    widget->Destroy();
}

void Set_State(int64_t control, int64_t state) {
    Wx_Control* c = Find(control);
    if (!c) return;
    Silent++;
    switch (c->Kind) {
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
        static_cast<wxSlider*>(c->Widget)->SetValue((int)std::max(c->Min, std::min(c->Max, state)));
        break;
    case CONTROL_DROPDOWN: {
        wxChoice* ch = static_cast<wxChoice*>(c->Widget);
        if (state < 0 || state >= (int64_t)ch->GetCount()) state = -1;
        ch->SetSelection(state < 0 ? wxNOT_FOUND : (int)state);
        break;
    }
    case CONTROL_LIST: {
        wxListCtrl* list = static_cast<wxListCtrl*>(c->Widget);
        long count = list->GetItemCount();
        for (long i = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); i >= 0;
             i = list->GetNextItem(i, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
            if (i != state) list->SetItemState(i, 0, wxLIST_STATE_SELECTED);
        if (state >= 0 && state < count) {
            list->SetItemState((long)state, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                               wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
            list->EnsureVisible((long)state);
        }
        break;
    }
    case CONTROL_PAGES: {
        wxNotebook* nb = static_cast<wxNotebook*>(c->Widget);
        if (state >= 0 && state < (int64_t)nb->GetPageCount()) nb->ChangeSelection((size_t)state);
        break;
    }
    default:
        break;
    }
    Silent--;
}

int64_t Get_State(int64_t control) {
    Wx_Control* c = Find(control);
    if (!c) return 0;
    switch (c->Kind) {
    case CONTROL_TOGGLE_BUTTON: return static_cast<wxToggleButton*>(c->Widget)->GetValue() ? 1 : 0;
    case CONTROL_IMAGE_TOGGLE: return static_cast<wxBitmapToggleButton*>(c->Widget)->GetValue() ? 1 : 0;
    case CONTROL_CHECKBOX: return static_cast<wxCheckBox*>(c->Widget)->GetValue() ? 1 : 0;
    case CONTROL_SLIDER: return static_cast<wxSlider*>(c->Widget)->GetValue();
    case CONTROL_DROPDOWN: {
        int sel = static_cast<wxChoice*>(c->Widget)->GetSelection();
        return sel == wxNOT_FOUND ? -1 : sel;
    }
    case CONTROL_LIST:
        return static_cast<wxListCtrl*>(c->Widget)->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    case CONTROL_PAGES: {
        int sel = static_cast<wxNotebook*>(c->Widget)->GetSelection();
        return sel == wxNOT_FOUND ? -1 : sel;
    }
    default: return 0;
    }
}

void Set_Text(int64_t control, const std::string& text) {
    Wx_Control* c = Find(control);
    if (!c) return;
    c->Text = text;
    Silent++;
    switch (c->Kind) {
    case CONTROL_BUTTON:
    case CONTROL_TOGGLE_BUTTON:
    case CONTROL_LABEL:
    case CONTROL_FRAME:
    case CONTROL_CHECKBOX:
        static_cast<wxControl*>(c->Widget)->SetLabelText(To_Wx(text));
        break;
    case CONTROL_TEXT_INPUT:
    case CONTROL_TEXT_READONLY:
        static_cast<wxTextCtrl*>(c->Widget)->ChangeValue(To_Wx(text));
        break;
    case CONTROL_PAGE: {
        Wx_Control* p = Find(c->Parent);
        if (!p) break;
        wxNotebook* nb = static_cast<wxNotebook*>(p->Widget);
        int index = nb->FindPage(c->Widget);
        if (index != wxNOT_FOUND) nb->SetPageText((size_t)index, To_Wx(text));
        break;
    }
    default:
        break;
    }
    Silent--;
}

std::string Get_Text(int64_t control) {
    Wx_Control* c = Find(control);
    if (!c) return "";
    switch (c->Kind) {
    case CONTROL_BUTTON:
    case CONTROL_TOGGLE_BUTTON:
    case CONTROL_LABEL:
    case CONTROL_FRAME:
    case CONTROL_CHECKBOX:
        return From_Wx(static_cast<wxControl*>(c->Widget)->GetLabelText());
    case CONTROL_TEXT_INPUT:
    case CONTROL_TEXT_READONLY:
        return From_Wx(static_cast<wxTextCtrl*>(c->Widget)->GetValue());
    case CONTROL_DROPDOWN: {
        wxChoice* ch = static_cast<wxChoice*>(c->Widget);
        int sel = ch->GetSelection();
        return sel == wxNOT_FOUND ? "" : From_Wx(ch->GetString((unsigned)sel));
    }
    default:
        return c->Text;
    }
}

void Set_Tooltip(int64_t control, const std::string& text) {
    Wx_Control* c = Find(control);
    if (!c) return;
    c->Tooltip = text;
    c->Widget->SetToolTip(To_Wx(text));
}

std::string Get_Tooltip(int64_t control) {
    Wx_Control* c = Find(control);
    return c ? c->Tooltip : "";
}

void Hide_Control(int64_t control, bool hide) {
    if (Wx_Control* c = Find(control)) c->Widget->Show(!hide);
}

bool Control_Hidden(int64_t control) {
    Wx_Control* c = Find(control);
    return c ? !c->Widget->IsShown() : false;
}

void Disable_Control(int64_t control, bool disable) {
    if (Wx_Control* c = Find(control)) c->Widget->Enable(!disable);
}

bool Control_Disabled(int64_t control) {
    Wx_Control* c = Find(control);
    return c ? !c->Widget->IsThisEnabled() : false;
}

void Control_Rect(int64_t control, int* x, int* y, int* w, int* h) {
    *x = *y = *w = *h = 0;
    Wx_Control* c = Find(control);
    if (!c) return;
    wxPoint p = c->Widget->GetPosition();
    wxSize s = c->Widget->GetSize();
    // Children of a scroll area are placed in its inner (unscrolled) coordinates.
    if (In_Scroll_Area(*c)) p = static_cast<wxScrolledWindow*>(Find(c->Parent)->Widget)->CalcUnscrolledPosition(p);
    *x = p.x;
    *y = p.y;
    *w = s.x;
    *h = s.y;
}

void Resize_Control(int64_t control, int x, int y, int w, int h) {
    Wx_Control* c = Find(control);
    if (!c || c->Kind == CONTROL_PAGE) return;
    int ox, oy, ow, oh;
    Control_Rect(control, &ox, &oy, &ow, &oh);
    wxPoint p(x == -1 ? ox : x, y == -1 ? oy : y);
    wxSize s(w == -1 ? ow : std::max(w, 0), h == -1 ? oh : std::max(h, 0));
    if (In_Scroll_Area(*c)) p = static_cast<wxScrolledWindow*>(Find(c->Parent)->Widget)->CalcScrolledPosition(p);
    c->Widget->SetSize(p.x, p.y, s.x, s.y, wxSIZE_ALLOW_MINUS_ONE);
}

void Control_Window_Position(int64_t control, int* x, int* y) {
    *x = 0;
    *y = 0;
    Wx_Control* c = Find(control);
    if (!c) return;
    Wx_Window* w = Find_Window(c->Window);
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

void Set_Slider_Range(int64_t control, int64_t min_value, int64_t max_value) {
    Wx_Control* c = Find(control);
    if (!c || c->Kind != CONTROL_SLIDER || max_value < min_value) return;
    c->Min = min_value;
    c->Max = max_value;
    Silent++;
    wxSlider* sl = static_cast<wxSlider*>(c->Widget);
    // GTK refuses an empty range; the slider then offers one value.
    sl->SetRange((int)min_value, (int)std::max(max_value, min_value + 1));
    sl->SetValue((int)std::max(min_value, std::min(max_value, (int64_t)sl->GetValue())));
    Silent--;
}

void Set_Control_Image(int64_t control, const uint8_t* rgba, int w, int h, double scale) {
    Wx_Control* c = Find(control);
    if (!c) return;
    wxBitmap bitmap = Bitmap_From_Rgba(rgba, w, h);
    if (!bitmap.IsOk()) return;
    // GTK lays a bitmap out at its pixel size divided by its scale factor.
    if (std::isfinite(scale) && scale > 0) bitmap.SetScaleFactor(scale);
    if (c->Kind == CONTROL_IMAGE_BUTTON || c->Kind == CONTROL_IMAGE_TOGGLE || c->Kind == CONTROL_BUTTON ||
        c->Kind == CONTROL_TOGGLE_BUTTON)
        static_cast<wxAnyButton*>(c->Widget)->SetBitmap(bitmap);
}

void Set_Control_Font(int64_t control, const std::string& face, int points, bool bold) {
    Wx_Control* c = Find(control);
    if (!c || points < 1) return;
    // The face name goes to fontconfig as given; it substitutes missing faces.
    wxFont font(wxFontInfo(points).FaceName(To_Wx(face)).Bold(bold).AntiAliased(true));
    c->Widget->SetFont(font);
    if (c->Kind == CONTROL_LIST) c->Widget->Refresh();
}

void Set_Focus(int64_t control) {
    if (Wx_Control* c = Find(control)) c->Widget->SetFocus();
}

void Set_Crosshair_Cursor(int64_t control) {
    if (Wx_Control* c = Find(control)) c->Widget->SetCursor(wxCursor(wxCURSOR_CROSS));
}

void Set_Scroll_Area_Inner_Size(int64_t control, int w, int h) {
    Wx_Control* c = Find(control);
    if (!c || c->Kind != CONTROL_SCROLL_AREA) return;
    c->Inner_W = w;
    c->Inner_H = h;
    static_cast<wxScrolledWindow*>(c->Widget)->SetVirtualSize(std::max(w, 0), std::max(h, 0));
}

void Scroll_Area_Inner_Size(int64_t control, int* w, int* h) {
    Wx_Control* c = Find(control);
    *w = c ? c->Inner_W : 0;
    *h = c ? c->Inner_H : 0;
}

// ---------------------------------------------------------------- rows
namespace {

// Column and field widths the program asks for are minimums: under the
// desktop font their texts can be wider. A list draws a cell's text inside
// the column less 8 pixels, a status field inside its width less 9; the
// margins below leave a little more.
const int LIST_CELL_MARGIN = 12;
const int STATUS_FIELD_MARGIN = 12;

// Widens a list column so that `text` shows whole; never narrows it.
void Fit_List_Column(wxListCtrl* list, long column, const std::string& text) {
    if (text.empty() || column < 0 || column >= list->GetColumnCount()) return;
    wxWindow* rows = List_Rows_Window(list);
    wxWindow* measure = rows ? rows : list;
    int needed = measure->GetTextExtent(To_Wx(text)).x + LIST_CELL_MARGIN;
    if (needed > list->GetColumnWidth(column)) list->SetColumnWidth(column, needed);
}

}  // namespace

void Add_List_Column(int64_t control, const std::string& title, int width) {
    Wx_Control* c = Find(control);
    if (!c || c->Kind != CONTROL_LIST) return;
    wxListCtrl* list = static_cast<wxListCtrl*>(c->Widget);
    list->InsertColumn((long)c->Columns.size(), To_Wx(title), wxLIST_FORMAT_LEFT, width);
    c->Columns.push_back(title);
    // Rows added before the column get their cell now.
    long column = (long)c->Columns.size() - 1;
    Fit_List_Column(list, column, title);
    for (size_t r = 0; r < c->Rows.size(); r++) {
        std::vector<std::string> cells = Split_Columns(c->Rows[r].first);
        if ((size_t)column < cells.size() && column > 0) {
            list->SetItem((long)r, column, To_Wx(cells[(size_t)column]));
            Fit_List_Column(list, column, cells[(size_t)column]);
        }
    }
}

int64_t List_Column_Count(int64_t control) {
    Wx_Control* c = Find(control);
    return c ? (int64_t)c->Columns.size() : 0;
}

void Add_Row(int64_t control, const std::string& text, int64_t data) {
    Wx_Control* c = Find(control);
    if (!c) return;
    Silent++;
    if (c->Kind == CONTROL_DROPDOWN) {
        static_cast<wxChoice*>(c->Widget)->Append(To_Wx(text));
        c->Rows.push_back({text, data});
    } else if (c->Kind == CONTROL_LIST) {
        wxListCtrl* list = static_cast<wxListCtrl*>(c->Widget);
        std::vector<std::string> cells = Split_Columns(text);
        long row = list->InsertItem((long)c->Rows.size(), To_Wx(cells[0]));
        for (size_t col = 1; col < cells.size() && col < c->Columns.size(); col++)
            list->SetItem(row, (long)col, To_Wx(cells[col]));
        for (size_t col = 0; col < cells.size() && col < c->Columns.size(); col++)
            Fit_List_Column(list, (long)col, cells[col]);
        list->SetItemData(row, (long)c->Rows.size());
        c->Rows.push_back({text, data});
    }
    Silent--;
}

void Clear_Rows(int64_t control) {
    Wx_Control* c = Find(control);
    if (!c) return;
    Silent++;
    if (c->Kind == CONTROL_DROPDOWN) static_cast<wxChoice*>(c->Widget)->Clear();
    if (c->Kind == CONTROL_LIST) static_cast<wxListCtrl*>(c->Widget)->DeleteAllItems();
    c->Rows.clear();
    Silent--;
}

int64_t Row_Count(int64_t control) {
    Wx_Control* c = Find(control);
    return c ? (int64_t)c->Rows.size() : 0;
}

std::string Get_Row_Text(int64_t control, int64_t row) {
    Wx_Control* c = Find(control);
    if (!c || row < 0 || row >= (int64_t)c->Rows.size()) return "";
    return c->Rows[(size_t)row].first;
}

std::string Get_Cell_Text(int64_t control, int64_t row, int64_t column) {
    std::vector<std::string> cells = Split_Columns(Get_Row_Text(control, row));
    if (column < 0 || column >= (int64_t)cells.size()) return "";
    return cells[(size_t)column];
}

int64_t Get_Row_Data(int64_t control, int64_t row) {
    Wx_Control* c = Find(control);
    if (!c || row < 0 || row >= (int64_t)c->Rows.size()) return 0;
    return c->Rows[(size_t)row].second;
}

// ---------------------------------------------------------------- menus
void Create_Menu_Bar(int64_t window) {
    Wx_Window* w = Find_Window(window);
    if (!w || w->Menu_Bar) return;
    w->Menu_Bar = new wxMenuBar();
    w->Frame->SetMenuBar(w->Menu_Bar);
}

void Add_Menu_Title(int64_t window, const std::string& title) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Menu_Bar) return;
    w->Current_Menu = new wxMenu();
    w->Menu_Bar->Append(w->Current_Menu, To_Wx(title));
}

void Add_Menu_Item(int64_t window, int64_t item, const std::string& text) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Current_Menu || Menu_Items.count(item)) return;
    // wx registers the accelerator written after "\t" in the label.
    Menu_Items[item] = w->Current_Menu->Append((int)item, To_Wx(text));
    w->Menu_Items.insert(item);
}

void Add_Menu_Separator(int64_t window) {
    Wx_Window* w = Find_Window(window);
    if (w && w->Current_Menu) w->Current_Menu->AppendSeparator();
}

void Disable_Menu_Item(int64_t item, bool disable) {
    auto it = Menu_Items.find(item);
    if (it != Menu_Items.end()) it->second->Enable(!disable);
}

bool Menu_Item_Disabled(int64_t item) {
    auto it = Menu_Items.find(item);
    return it != Menu_Items.end() && !it->second->IsEnabled();
}

void Show_Popup_Menu(int64_t window, const std::vector<std::pair<int64_t, std::string>>& items) {
    Wx_Window* w = Find_Window(window);
    if (!w || items.empty()) return;
    wxMenu menu;
    for (const auto& item : items) {
        menu.Append((int)item.first, To_Wx(item.second));
        w->Menu_Items.insert(item.first);
    }
    // Runs until the menu closes; the choice reaches the frame as wxEVT_MENU.
    w->Frame->PopupMenu(&menu);
}

// ---------------------------------------------------------------- status bar
void Create_Status_Bar(int64_t window, const std::vector<int>& widths) {
    Wx_Window* w = Find_Window(window);
    if (!w || w->Status || widths.empty()) return;
    w->Status = w->Frame->CreateStatusBar((int)widths.size());
    if (!w->Status) return;
    w->Status->SetStatusWidths((int)widths.size(), widths.data());
    w->Status_Texts.assign(widths.size(), "");
    w->Status_Writes.assign(widths.size(), 0);
}

void Fit_Status_Field(int64_t window, int field, const std::string& text) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Status || field < 0 || field >= w->Status->GetFieldsCount() || text.empty()) return;
    int needed = w->Status->GetTextExtent(To_Wx(text)).x + STATUS_FIELD_MARGIN;
    if (needed <= w->Status->GetStatusWidth(field)) return;
    std::vector<int> widths((size_t)w->Status->GetFieldsCount());
    for (size_t i = 0; i < widths.size(); i++) widths[i] = w->Status->GetStatusWidth((int)i);
    widths[(size_t)field] = needed;
    w->Status->SetStatusWidths((int)widths.size(), widths.data());
}

void Set_Status_Text(int64_t window, int field, const std::string& text) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Status || field < 0 || field >= (int)w->Status_Texts.size()) return;
    Fit_Status_Field(window, field, text);
    w->Status->SetStatusText(To_Wx(text), field);
    w->Status_Texts[(size_t)field] = text;
    w->Status_Writes[(size_t)field]++;
}

std::string Get_Status_Text(int64_t window, int field) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Status || field < 0 || field >= (int)w->Status_Texts.size()) return "";
    return w->Status_Texts[(size_t)field];
}

int64_t Status_Write_Count(int64_t window, int field) {
    Wx_Window* w = Find_Window(window);
    if (!w || field < 0 || field >= (int)w->Status_Writes.size()) return 0;
    return w->Status_Writes[(size_t)field];
}

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

// ---------------------------------------------------------------- prompts
namespace {
wxWindow* Dialog_Parent() {
    Wx_Window* main = Find_Window(WINDOW_MAIN);
    return main && main->Frame->IsShown() ? main->Frame : nullptr;
}
}  // namespace

namespace {
// While a prompt is shown, a termination request closes it as if cancelled.
gboolean Check_Prompt_Abort(gpointer dialog) {
    if (Prompt_Abort_Requested()) gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    return G_SOURCE_CONTINUE;
}

// Runs `dialog` modally through `run` with the abort check installed and the
// dialog published in Open_Prompt (tests answer it from there).
template <typename Run>
auto Run_Prompt(GtkWidget* dialog, Run run) -> decltype(run()) {
    GtkWidget* outer = Open_Prompt;
    Open_Prompt = dialog;
    guint check = g_timeout_add(100, Check_Prompt_Abort, dialog);
    auto result = run();
    g_source_remove(check);
    Open_Prompt = outer;
    return result;
}

// GTK matches file patterns case-sensitively, so "*.jqv" would hide the
// "name.JQV" that Save writes. Each pattern of the filter string also goes
// in with every letter as a bracket of both cases ("*.[jJ][qQ][vV]"); the
// filter names and wx's own list of patterns stay as given.
std::string Any_Case_Pattern(const std::string& pattern) {
    std::string out;
    for (char ch : pattern) {
        unsigned char u = (unsigned char)ch;
        if (std::isalpha(u) && u < 128) {
            out += '[';
            out += (char)std::tolower(u);
            out += (char)std::toupper(u);
            out += ']';
        } else {
            out += ch;
        }
    }
    return out;
}

void Make_Filters_Any_Case(GtkWidget* chooser, const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos) bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(chooser));
    size_t pair = 0;
    for (GSList* f = filters; f; f = f->next, pair++) {
        if (pair * 2 + 1 >= parts.size()) break;
        const std::string& patterns = parts[pair * 2 + 1];
        size_t p = 0;
        while (p <= patterns.size()) {
            size_t semi = patterns.find(';', p);
            if (semi == std::string::npos) semi = patterns.size();
            std::string one = patterns.substr(p, semi - p);
            if (!one.empty()) gtk_file_filter_add_pattern(GTK_FILE_FILTER(f->data), Any_Case_Pattern(one).c_str());
            p = semi + 1;
        }
    }
    g_slist_free(filters);
}
}  // namespace

int Message_Box(const std::string& title, const std::string& text, int64_t flags) {
    Prompt_Record r;
    r.Kind = PROMPT_MESSAGE;
    r.Title = title;
    r.Text = text;
    r.Flags = flags;
    if (Take_Scripted_Prompt(&r)) return r.Answer;
    bool yes_no = (flags & MSG_YES_NO) != 0;
    int answer = yes_no ? 0 : 1;
    if (Initialised && !Prompt_Abort_Requested()) {
        // A GTK message dialog of our own: wx leaves the title unset when it
        // is "Message" (its default caption), and GTK then shows none.
        GtkMessageType type = yes_no ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_INFO;
        if (flags & MSG_ICON_ERROR) type = GTK_MESSAGE_ERROR;
        else if (flags & MSG_ICON_WARNING) type = GTK_MESSAGE_WARNING;
        else if (flags & MSG_ICON_INFO) type = GTK_MESSAGE_INFO;
        wxWindow* parent = Dialog_Parent();
        GtkWidget* dialog =
            gtk_message_dialog_new(parent ? GTK_WINDOW(parent->GetHandle()) : nullptr, GTK_DIALOG_MODAL, type,
                                   yes_no ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s", text.c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
        gtk_window_set_position(GTK_WINDOW(dialog), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), yes_no ? GTK_RESPONSE_YES : GTK_RESPONSE_OK);
        gint result = Run_Prompt(dialog, [dialog] { return gtk_dialog_run(GTK_DIALOG(dialog)); });
        gtk_widget_destroy(dialog);
        answer = (result == GTK_RESPONSE_OK || result == GTK_RESPONSE_YES) ? 1 : 0;
    } else if (Prompt_Abort_Requested()) {
        answer = 0;
    }
    r.Answer = answer;
    Record_Prompt(r);
    return answer;
}

namespace {
bool File_Dialog(int64_t kind, const std::string& title, const std::string& default_name, const std::string& filter,
                 std::string* path, int* filter_index) {
    Prompt_Record r;
    r.Kind = kind;
    r.Title = title;
    r.Text = default_name;
    r.Filter = filter;
    if (!Take_Scripted_Prompt(&r)) {
        r.Answer = 0;
        if (Initialised && !Prompt_Abort_Requested()) {
            long style = kind == PROMPT_OPEN_FILE ? (wxFD_OPEN | wxFD_FILE_MUST_EXIST) : wxFD_SAVE;
            wxString dir, name = To_Wx(default_name);
            size_t slash = default_name.rfind('/');
            if (slash != std::string::npos) {
                dir = To_Wx(default_name.substr(0, slash + 1));
                name = To_Wx(default_name.substr(slash + 1));
            }
            wxFileDialog dialog(Dialog_Parent(), To_Wx(title), dir, name, To_Wx(filter), style);
            GtkWidget* chooser = dialog.GetHandle();
            if (chooser) Make_Filters_Any_Case(chooser, filter);
            int result = chooser ? Run_Prompt(chooser, [&dialog] { return dialog.ShowModal(); }) : dialog.ShowModal();
            if (result == wxID_OK) {
                r.Answer = 1;
                r.Path = From_Wx(dialog.GetPath());
                r.Filter_Index = dialog.GetFilterIndex();
            }
        }
        Record_Prompt(r);
    }
    if (r.Answer != 1) return false;
    if (path) *path = r.Path;
    if (filter_index) *filter_index = r.Filter_Index;
    return true;
}
}  // namespace

bool Open_File_Dialog(const std::string& title, const std::string& default_name, const std::string& filter,
                      std::string* path, int* filter_index) {
    return File_Dialog(PROMPT_OPEN_FILE, title, default_name, filter, path, filter_index);
}

bool Save_File_Dialog(const std::string& title, const std::string& default_name, const std::string& filter,
                      std::string* path, int* filter_index) {
    return File_Dialog(PROMPT_SAVE_FILE, title, default_name, filter, path, filter_index);
}

