// The null backend: every window is an entry of a table, every control a
// record of the shared control model (state, text, rows and geometry); events come only from
// Post_Event and from timers due on the clock; prompts take scripted answers
// (unscripted message boxes answer OK/No, dialogs are cancelled); no GL views.
#include <algorithm>
#include <map>
#include <set>
#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/platform_controls.h"
#include "platform/platform_internal.h"
#include "platform/platform_null.h"

namespace {

struct Null_Timer {
    int64_t Window;
    int64_t Number;
    int64_t Period;
    double Next;
};

struct Null_Window {
    std::string Title;
    int X = 0, Y = 0, W = 0, H = 0;
    bool Shown = false;
    int Min_W = 0, Min_H = 0;
    Resize_Handler On_Resize = nullptr;
};

std::map<int64_t, Null_Window> Windows;
std::map<int64_t, bool> Menu_Disabled;  // item -> disabled
std::vector<std::string> Opened_Urls;
std::vector<Null_Timer> Timers;
std::deque<Platform_Event> Queue;
std::set<int32_t> Keys_Down;
bool Left_Down = false;
Idle_Hook Hook = nullptr;
void* Hook_User = nullptr;

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
    Clear_Control_Model();
    Menu_Disabled.clear();
    Opened_Urls.clear();
    Timers.clear();
    Queue.clear();
    Keys_Down.clear();
    Left_Down = false;
    Hook = nullptr;
    Hook_User = nullptr;
}

// ---------------------------------------------------------------- events
namespace {
size_t Next_Event() { return Next_Deliverable_Event(Queue, Window_Exists(WINDOW_CALIBRATION)); }
}  // namespace

bool Poll_Event(Platform_Event* event) {
    Fire_Timers();
    if (Next_Event() == Queue.size() && Hook) Hook(Hook_User);
    size_t next = Next_Event();
    if (next == Queue.size()) {
        *event = Platform_Event();
        return false;
    }
    *event = Queue[next];
    Queue.erase(Queue.begin() + (std::ptrdiff_t)next);
    return true;
}

void Wait_Event(int64_t timeout_ms) {
    if (Next_Event() != Queue.size() || timeout_ms <= 0) return;
    double until = Elapsed_Ms() + (double)timeout_ms;
    for (const Null_Timer& t : Timers) until = std::min(until, t.Next);
    double now = Elapsed_Ms();
    if (until > now) Sleep_Ms((int64_t)(until - now + 0.999));
}

void Post_Event(const Platform_Event& event) { Queue.push_back(event); }
void Flush_Events() { Queue.clear(); }

int64_t Remove_Events(int64_t window, int64_t kind, int64_t first_control, int64_t last_control) {
    return Remove_Matching_Events(&Queue, window, kind, first_control, last_control);
}

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
    nw.Shown = !(flags & WINDOW_HIDDEN);
    return true;
}

void Close_Window(int64_t window) {
    for (int64_t c : Window_Controls(window)) Forget_Control_Record(c);
    Forget_Status_Record(window);
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

void Set_Window_Opacity(int64_t, int) {}  // nothing is drawn

void Set_Window_Background_Image(int64_t, const uint8_t*, int, int) {}
void Set_Window_On_Top(int64_t, bool) {}

void Bind_Resize_Handler(int64_t window, Resize_Handler handler) {
    if (Null_Window* w = Find_Window(window)) w->On_Resize = handler;
}

int Menu_Bar_Height(int64_t) { return 0; }
int Status_Bar_Height(int64_t) { return 0; }

// ---------------------------------------------------------------- controls
// State, texts and rows are the shared control model's; this backend only
// keeps the geometry in the records.
bool Create_Control(int64_t window, int64_t control, int64_t kind, int x, int y, int w, int h,
                    const std::string& text, int64_t parent) {
    if (!Windows.count(window)) return false;
    return Add_Control_Record(window, control, kind, x, y, w, h, text, parent) != nullptr;
}

bool Add_Page(int64_t pages_control, int64_t page_control, const std::string& caption) {
    Control_Record* pages = Find_Control(pages_control);
    if (!pages || pages->Kind != CONTROL_PAGES) return false;
    int64_t window = pages->Window;
    int w = pages->W, h = pages->H;
    if (!Add_Control_Record(window, page_control, CONTROL_PAGE, 0, 0, w, h, caption, pages_control)) return false;
    // The first page is shown as soon as it exists.
    Control_Record* p = Find_Control(pages_control);
    if (p->State < 0) p->State = 0;
    return true;
}

static void Forget_Control_Tree(int64_t control) {
    for (int64_t child : Child_Controls(control)) Forget_Control_Tree(child);
    Forget_Control_Record(control);
}

void Free_Control(int64_t control) { Forget_Control_Tree(control); }

void Resize_Control(int64_t control, int x, int y, int w, int h) {
    Control_Record* c = Find_Control(control);
    if (!c) return;
    if (x != -1) c->X = x;
    if (y != -1) c->Y = y;
    if (w != -1) c->W = w;
    if (h != -1) c->H = h;
}

void Control_Rect(int64_t control, int* x, int* y, int* w, int* h) {
    Control_Record* c = Find_Control(control);
    *x = c ? c->X : 0;
    *y = c ? c->Y : 0;
    *w = c ? c->W : 0;
    *h = c ? c->H : 0;
}

void Control_Window_Position(int64_t control, int* x, int* y) {
    *x = 0;
    *y = 0;
    for (Control_Record* c = Find_Control(control); c; c = Find_Control(c->Parent)) {
        *x += c->X;
        *y += c->Y;
        if (c->Parent < 0) break;
    }
}

void Set_Control_Image(int64_t, const uint8_t*, int, int, double) {}
void Set_Control_Font(int64_t, const std::string&, int, bool) {}
void Set_Focus(int64_t) {}
void Set_Crosshair_Cursor(int64_t) {}

// ---------------------------------------------------------------- menus
void Create_Menu_Bar(int64_t window) { Note_Menu_Bar(window); }
void Add_Menu_Title(int64_t window, const std::string& title) { Note_Menu_Title(window, title); }
void Add_Menu_Item(int64_t window, int64_t item, const std::string& text) {
    Menu_Disabled[item] = false;
    Note_Menu_Item(window, item, text);
}
void Add_Menu_Separator(int64_t) {}
void Disable_Menu_Item(int64_t item, bool disable) { Menu_Disabled[item] = disable; }

bool Menu_Item_Disabled(int64_t item) {
    auto it = Menu_Disabled.find(item);
    return it != Menu_Disabled.end() && it->second;
}

void Show_Popup_Menu(int64_t, const std::vector<std::pair<int64_t, std::string>>&) {}

// ---------------------------------------------------------------- status bar
void Create_Status_Bar(int64_t window, const std::vector<int>& widths) {
    if (Find_Window(window)) Add_Status_Record(window, widths.size());
}

void Fit_Status_Field(int64_t, int, const std::string&) {}  // no fonts to measure with

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

int Choice_Box(const std::string& title, const std::string& text, const std::string& first,
               const std::string& second, const std::string& third) {
    Prompt_Record r;
    r.Kind = PROMPT_CHOICE;
    r.Title = title;
    r.Text = text;
    r.Filter = first + "|" + second + "|" + third;
    if (Take_Scripted_Prompt(&r)) return r.Answer >= 0 && r.Answer <= 2 ? r.Answer : 2;
    r.Answer = 2;
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
    Control_Record* c = Find_Control(view);
    *w = c ? c->W : 0;
    *h = c ? c->H : 0;
}

double Display_Scale_X() { return 1.0; }
double Display_Scale_Y() { return 1.0; }

// ---------------------------------------------------------------- input state
bool Key_Is_Down(int32_t virtual_key) { return Keys_Down.count(virtual_key) != 0; }
bool Left_Button_Is_Down() { return Left_Down; }
void Move_Pointer_By(int dx, int dy) { Count_Pointer_Move(dx, dy); }

// ---------------------------------------------------------------- desktop launch
bool Open_Url(const std::string& url) {
    Opened_Urls.push_back(url);
    return true;
}

const std::vector<std::string>& Null_Opened_Urls() { return Opened_Urls; }
