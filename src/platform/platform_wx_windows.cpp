// Windows of the wx backend: frames with a client panel, their size and
// place, the resize handlers held back while a GL view is realised, and
// the windows' timers.
#include <algorithm>
#include <string>
#include <vector>

#include <wx/wx.h>

#include <gtk/gtk.h>

#include "platform/platform.h"
#include "platform/platform_controls.h"
#include "platform/platform_wx_internal.h"

namespace Wx_Backend {

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

}  // namespace Wx_Backend

using namespace Wx_Backend;

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
    for (auto it = Shared.Timers.begin(); it != Shared.Timers.end();) {
        if (it->first.first == window) {
            it->second->Stop();
            delete it->second;
            it = Shared.Timers.erase(it);
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
    Shared.Timers[{window, timer}] = t;
    t->Start((int)std::max<int64_t>(period_ms, 1));
}

void Remove_Timer(int64_t window, int64_t timer) {
    auto it = Shared.Timers.find({window, timer});
    if (it == Shared.Timers.end()) return;
    it->second->Stop();
    delete it->second;
    Shared.Timers.erase(it);
}
