// The null backend: every window and control is an entry of a table that
// remembers its state, text, rows and geometry; events come only from
// Post_Event and from timers due on the clock; prompts take scripted answers
// (unscripted message boxes answer OK/No, dialogs are cancelled); no GL views.
#include <algorithm>
#include <map>
#include <set>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/platform_null.h"

namespace {

struct Null_Control {
    int64_t Window = 0;
    int64_t Kind = 0;
    int64_t Parent = -1;
    int X = 0, Y = 0, W = 0, H = 0;
    std::string Text;
    std::string Tooltip;
    int64_t State = 0;
    bool Hidden = false;
    bool Disabled = false;
    int64_t Min = 0, Max = 100;
    std::vector<std::string> Columns;
    std::vector<std::pair<std::string, int64_t>> Rows;
    int Inner_W = 0, Inner_H = 0;
};

struct Null_Timer {
    int64_t Window;
    int64_t Number;
    int64_t Period;
    double Next;
};

struct Null_Window {
    std::string Title;
    int X = 0, Y = 0, W = 0, H = 0;
    int64_t Flags = 0;
    bool Shown = false;
    int Opacity = 255;
    int Min_W = 0, Min_H = 0;
    Resize_Handler On_Resize = nullptr;
    bool Has_Status = false;
    std::vector<std::string> Status;
    std::vector<int64_t> Status_Writes;
};

std::map<int64_t, Null_Window> Windows;
std::map<int64_t, Null_Control> Controls;
std::map<int64_t, bool> Menu_Disabled;  // item -> disabled
std::vector<Null_Timer> Timers;
std::deque<Platform_Event> Queue;
std::set<int32_t> Keys_Down;
bool Left_Down = false;
int64_t Pointer_Moved = 0;
Idle_Hook Hook = nullptr;
void* Hook_User = nullptr;

Null_Control* Find(int64_t control) {
    auto it = Controls.find(control);
    return it == Controls.end() ? nullptr : &it->second;
}

Null_Window* Find_Window(int64_t window) {
    auto it = Windows.find(window);
    return it == Windows.end() ? nullptr : &it->second;
}

// Queues the timer events that are due.
void Fire_Timers() {
    double now = Elapsed_Ms();
    for (Null_Timer& t : Timers) {
        if (now >= t.Next) {
            Platform_Event e;
            e.Window = t.Window;
            e.Kind = EVENT_TIMER;
            e.Control = t.Number;
            Queue.push_back(e);
            t.Next = now + (double)t.Period;
        }
    }
}


}  // namespace

// ---------------------------------------------------------------- test controls
void Null_Set_Key_Down(int32_t virtual_key, bool down) {
    if (down)
        Keys_Down.insert(virtual_key);
    else
        Keys_Down.erase(virtual_key);
}

void Null_Set_Left_Button(bool down) { Left_Down = down; }

void Null_Reset() {
    Windows.clear();
    Controls.clear();
    Menu_Disabled.clear();
    Timers.clear();
    Queue.clear();
    Keys_Down.clear();
    Left_Down = false;
    Pointer_Moved = 0;
    Hook = nullptr;
    Hook_User = nullptr;
}

// ---------------------------------------------------------------- events
bool Poll_Event(Platform_Event* event) {
    Fire_Timers();
    if (Queue.empty() && Hook) Hook(Hook_User);
    if (Queue.empty()) {
        *event = Platform_Event();
        return false;
    }
    *event = Queue.front();
    Queue.pop_front();
    return true;
}

void Wait_Event(int64_t timeout_ms) {
    if (!Queue.empty() || timeout_ms <= 0) return;
    double until = Elapsed_Ms() + (double)timeout_ms;
    for (const Null_Timer& t : Timers) until = std::min(until, t.Next);
    double now = Elapsed_Ms();
    if (until > now) Sleep_Ms((int64_t)(until - now + 0.999));
}

void Post_Event(const Platform_Event& event) { Queue.push_back(event); }
void Flush_Events() { Queue.clear(); }

void Set_Idle_Hook(Idle_Hook hook, void* user) {
    Hook = hook;
    Hook_User = user;
}

bool Platform_Init() { return true; }
void Platform_Shutdown() { Null_Reset(); }
int Platform_Has_Display() { return 0; }

// ---------------------------------------------------------------- windows
bool Open_Window(int64_t window, const std::string& title, int x, int y, int w, int h, int64_t flags) {
    if (Windows.count(window)) return false;
    Null_Window& nw = Windows[window];
    nw.Title = title;
    nw.X = x;
    nw.Y = y;
    nw.W = w;
    nw.H = h;
    nw.Flags = flags;
    nw.Shown = !(flags & WINDOW_HIDDEN);
    return true;
}

void Close_Window(int64_t window) {
    for (auto it = Controls.begin(); it != Controls.end();) {
        if (it->second.Window == window)
            it = Controls.erase(it);
        else
            ++it;
    }
    Timers.erase(std::remove_if(Timers.begin(), Timers.end(), [&](const Null_Timer& t) { return t.Window == window; }),
                 Timers.end());
    Windows.erase(window);
}

bool Window_Exists(int64_t window) { return Windows.count(window) != 0; }

void Show_Window(int64_t window, bool show) {
    if (Null_Window* w = Find_Window(window)) w->Shown = show;
}

void Set_Window_Title(int64_t window, const std::string& title) {
    if (Null_Window* w = Find_Window(window)) w->Title = title;
}

void Window_Size(int64_t window, int* w, int* h) {
    Null_Window* nw = Find_Window(window);
    *w = nw ? nw->W : 0;
    *h = nw ? nw->H : 0;
}

void Resize_Window(int64_t window, int w, int h) {
    Null_Window* nw = Find_Window(window);
    if (!nw) return;
    nw->W = std::max(w, nw->Min_W);
    nw->H = std::max(h, nw->Min_H);
    if (nw->On_Resize) nw->On_Resize();
}

void Move_Window(int64_t window, int x, int y) {
    if (Null_Window* w = Find_Window(window)) {
        w->X = x;
        w->Y = y;
    }
}

void Window_Position(int64_t window, int* x, int* y) {
    Null_Window* nw = Find_Window(window);
    *x = nw ? nw->X : 0;
    *y = nw ? nw->Y : 0;
}

void Set_Window_Min_Size(int64_t window, int w, int h) {
    if (Null_Window* nw = Find_Window(window)) {
        nw->Min_W = w;
        nw->Min_H = h;
    }
}

void Set_Window_Opacity(int64_t window, int alpha) {
    if (Null_Window* w = Find_Window(window)) w->Opacity = alpha;
}

void Set_Window_Background_Image(int64_t, const uint8_t*, int, int) {}
void Set_Window_On_Top(int64_t, bool) {}

void Bind_Resize_Handler(int64_t window, Resize_Handler handler) {
    if (Null_Window* w = Find_Window(window)) w->On_Resize = handler;
}

int Menu_Bar_Height(int64_t) { return 0; }
int Status_Bar_Height(int64_t) { return 0; }

// ---------------------------------------------------------------- controls
bool Create_Control(int64_t window, int64_t control, int64_t kind, int x, int y, int w, int h,
                    const std::string& text, int64_t parent) {
    if (Controls.count(control) || !Windows.count(window)) return false;
    Null_Control& c = Controls[control];
    c.Window = window;
    c.Kind = kind;
    c.Parent = parent;
    c.X = x;
    c.Y = y;
    c.W = w;
    c.H = h;
    c.Text = text;
    if (kind == CONTROL_DROPDOWN || kind == CONTROL_LIST) c.State = -1;
    return true;
}

bool Add_Page(int64_t pages_control, int64_t page_control, const std::string& caption) {
    Null_Control* pages = Find(pages_control);
    if (!pages || Controls.count(page_control)) return false;
    Null_Control& page = Controls[page_control];
    page.Window = pages->Window;
    page.Kind = CONTROL_PAGE;
    page.Parent = pages_control;
    page.W = pages->W;
    page.H = pages->H;
    page.Text = caption;
    return true;
}

bool Control_Exists(int64_t control) { return Find(control) != nullptr; }

int64_t Control_Kind_Of(int64_t control) {
    Null_Control* c = Find(control);
    return c ? c->Kind : 0;
}

void Free_Control(int64_t control) { Controls.erase(control); }

void Set_State(int64_t control, int64_t state) {
    Null_Control* c = Find(control);
    if (!c) return;
    if (c->Kind == CONTROL_SLIDER) state = std::max(c->Min, std::min(c->Max, state));
    if (c->Kind == CONTROL_DROPDOWN || c->Kind == CONTROL_LIST)
        if (state < -1 || state >= (int64_t)c->Rows.size()) state = -1;
    c->State = state;
}

int64_t Get_State(int64_t control) {
    Null_Control* c = Find(control);
    return c ? c->State : 0;
}

void Set_Text(int64_t control, const std::string& text) {
    if (Null_Control* c = Find(control)) c->Text = text;
}

std::string Get_Text(int64_t control) {
    Null_Control* c = Find(control);
    if (!c) return "";
    if (c->Kind == CONTROL_DROPDOWN)
        return (c->State >= 0 && c->State < (int64_t)c->Rows.size()) ? c->Rows[(size_t)c->State].first : "";
    return c->Text;
}

void Set_Tooltip(int64_t control, const std::string& text) {
    if (Null_Control* c = Find(control)) c->Tooltip = text;
}

std::string Get_Tooltip(int64_t control) {
    Null_Control* c = Find(control);
    return c ? c->Tooltip : "";
}

void Hide_Control(int64_t control, bool hide) {
    if (Null_Control* c = Find(control)) c->Hidden = hide;
}

bool Control_Hidden(int64_t control) {
    Null_Control* c = Find(control);
    return c ? c->Hidden : false;
}

void Disable_Control(int64_t control, bool disable) {
    if (Null_Control* c = Find(control)) c->Disabled = disable;
}

bool Control_Disabled(int64_t control) {
    Null_Control* c = Find(control);
    return c ? c->Disabled : false;
}

void Resize_Control(int64_t control, int x, int y, int w, int h) {
    Null_Control* c = Find(control);
    if (!c) return;
    if (x != -1) c->X = x;
    if (y != -1) c->Y = y;
    if (w != -1) c->W = w;
    if (h != -1) c->H = h;
}

void Control_Rect(int64_t control, int* x, int* y, int* w, int* h) {
    Null_Control* c = Find(control);
    *x = c ? c->X : 0;
    *y = c ? c->Y : 0;
    *w = c ? c->W : 0;
    *h = c ? c->H : 0;
}

void Control_Window_Position(int64_t control, int* x, int* y) {
    *x = 0;
    *y = 0;
    for (Null_Control* c = Find(control); c; c = Find(c->Parent)) {
        *x += c->X;
        *y += c->Y;
        if (c->Parent < 0) break;
    }
}

void Set_Slider_Range(int64_t control, int64_t min_value, int64_t max_value) {
    Null_Control* c = Find(control);
    if (!c) return;
    c->Min = min_value;
    c->Max = max_value;
    c->State = std::max(min_value, std::min(max_value, c->State));
}

void Set_Control_Image(int64_t, const uint8_t*, int, int, double) {}
void Set_Control_Font(int64_t, const std::string&, int, bool) {}
void Set_Focus(int64_t) {}
void Set_Crosshair_Cursor(int64_t) {}

void Set_Scroll_Area_Inner_Size(int64_t control, int w, int h) {
    if (Null_Control* c = Find(control)) {
        c->Inner_W = w;
        c->Inner_H = h;
    }
}

void Scroll_Area_Inner_Size(int64_t control, int* w, int* h) {
    Null_Control* c = Find(control);
    *w = c ? c->Inner_W : 0;
    *h = c ? c->Inner_H : 0;
}

void Add_List_Column(int64_t control, const std::string& title, int) {
    if (Null_Control* c = Find(control)) c->Columns.push_back(title);
}

int64_t List_Column_Count(int64_t control) {
    Null_Control* c = Find(control);
    return c ? (int64_t)c->Columns.size() : 0;
}

void Add_Row(int64_t control, const std::string& text, int64_t data) {
    if (Null_Control* c = Find(control)) c->Rows.push_back({text, data});
}

void Clear_Rows(int64_t control) {
    Null_Control* c = Find(control);
    if (!c) return;
    c->Rows.clear();
    c->State = -1;
}

int64_t Row_Count(int64_t control) {
    Null_Control* c = Find(control);
    return c ? (int64_t)c->Rows.size() : 0;
}

std::string Get_Row_Text(int64_t control, int64_t row) {
    Null_Control* c = Find(control);
    if (!c || row < 0 || row >= (int64_t)c->Rows.size()) return "";
    return c->Rows[(size_t)row].first;
}

std::string Get_Cell_Text(int64_t control, int64_t row, int64_t column) {
    std::vector<std::string> cells = Split_Columns(Get_Row_Text(control, row));
    if (column < 0 || column >= (int64_t)cells.size()) return "";
    return cells[(size_t)column];
}

int64_t Get_Row_Data(int64_t control, int64_t row) {
    Null_Control* c = Find(control);
    if (!c || row < 0 || row >= (int64_t)c->Rows.size()) return 0;
    return c->Rows[(size_t)row].second;
}

// ---------------------------------------------------------------- menus
void Create_Menu_Bar(int64_t) {}
void Add_Menu_Title(int64_t, const std::string&) {}
void Add_Menu_Item(int64_t, int64_t item, const std::string&) { Menu_Disabled[item] = false; }
void Add_Menu_Separator(int64_t) {}
void Disable_Menu_Item(int64_t item, bool disable) { Menu_Disabled[item] = disable; }

bool Menu_Item_Disabled(int64_t item) {
    auto it = Menu_Disabled.find(item);
    return it != Menu_Disabled.end() && it->second;
}

void Show_Popup_Menu(int64_t, const std::vector<std::pair<int64_t, std::string>>&) {}

// ---------------------------------------------------------------- status bar
void Create_Status_Bar(int64_t window, const std::vector<int>& widths) {
    Null_Window* w = Find_Window(window);
    if (!w) return;
    w->Has_Status = true;
    w->Status.assign(widths.size(), "");
    w->Status_Writes.assign(widths.size(), 0);
}

void Fit_Status_Field(int64_t, int, const std::string&) {}  // no fonts to measure with

void Set_Status_Text(int64_t window, int field, const std::string& text) {
    Null_Window* w = Find_Window(window);
    if (!w || field < 0 || field >= (int)w->Status.size()) return;
    w->Status[(size_t)field] = text;
    w->Status_Writes[(size_t)field]++;
}

std::string Get_Status_Text(int64_t window, int field) {
    Null_Window* w = Find_Window(window);
    if (!w || field < 0 || field >= (int)w->Status.size()) return "";
    return w->Status[(size_t)field];
}

int64_t Status_Write_Count(int64_t window, int field) {
    Null_Window* w = Find_Window(window);
    if (!w || field < 0 || field >= (int)w->Status.size()) return 0;
    return w->Status_Writes[(size_t)field];
}

// ---------------------------------------------------------------- timers
void Add_Timer(int64_t window, int64_t timer, int64_t period_ms) {
    Remove_Timer(window, timer);
    if (period_ms < 1) period_ms = 1;
    Timers.push_back({window, timer, period_ms, (double)Elapsed_Ms() + (double)period_ms});
}

void Remove_Timer(int64_t window, int64_t timer) {
    Timers.erase(std::remove_if(Timers.begin(), Timers.end(),
                                [&](const Null_Timer& t) { return t.Window == window && t.Number == timer; }),
                 Timers.end());
}

// ---------------------------------------------------------------- prompts
int Message_Box(const std::string& title, const std::string& text, int64_t flags) {
    Prompt_Record r;
    r.Kind = PROMPT_MESSAGE;
    r.Title = title;
    r.Text = text;
    r.Flags = flags;
    if (Take_Scripted_Prompt(&r)) return r.Answer;
    r.Answer = (flags & MSG_YES_NO) ? 0 : 1;
    Record_Prompt(r);
    return r.Answer;
}

static bool File_Dialog(int64_t kind, const std::string& title, const std::string& default_name,
                        const std::string& filter, std::string* path, int* filter_index) {
    Prompt_Record r;
    r.Kind = kind;
    r.Title = title;
    r.Text = default_name;
    r.Filter = filter;
    if (!Take_Scripted_Prompt(&r)) {
        r.Answer = 0;
        Record_Prompt(r);
    }
    if (r.Answer != 1) return false;
    if (path) *path = r.Path;
    if (filter_index) *filter_index = r.Filter_Index;
    return true;
}

bool Open_File_Dialog(const std::string& title, const std::string& default_name, const std::string& filter,
                      std::string* path, int* filter_index) {
    return File_Dialog(PROMPT_OPEN_FILE, title, default_name, filter, path, filter_index);
}

bool Save_File_Dialog(const std::string& title, const std::string& default_name, const std::string& filter,
                      std::string* path, int* filter_index) {
    return File_Dialog(PROMPT_SAVE_FILE, title, default_name, filter, path, filter_index);
}

// ---------------------------------------------------------------- GL views: none here
bool GL_View_Exists(int64_t) { return false; }
bool GL_Make_Current(int64_t) { return false; }
void GL_Swap(int64_t) {}
void GL_Swap_Interval(int64_t, int) {}

void GL_View_Size(int64_t view, int* w, int* h) {
    Null_Control* c = Find(view);
    *w = c ? c->W : 0;
    *h = c ? c->H : 0;
}

double Display_Scale_X() { return 1.0; }
double Display_Scale_Y() { return 1.0; }

// ---------------------------------------------------------------- input state
bool Key_Is_Down(int32_t virtual_key) { return Keys_Down.count(virtual_key) != 0; }
bool Left_Button_Is_Down() { return Left_Down; }
void Move_Pointer_By(int dx, int dy) { Pointer_Moved += (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy); }
int64_t Pointer_Moves_Total() { return Pointer_Moved; }
