// The real platform backend on wxWidgets 3.2 / GTK 3. Windows and controls
// are wx widgets kept in tables by their fixed numbers; every toolkit
// callback only appends a Platform_Event to the FIFO, which the main loop
// drains with Poll_Event. GL views are wxGLCanvas windows with one context
// each, all sharing texture names with the first context made.
// This file: the backend's tables and shared helpers, start and end, and
// the desktop launch. Windows are in platform_wx_windows.cpp, controls in
// platform_wx_controls.cpp, the mirror of the control model in
// platform_wx_mirror.cpp, the event queue and toolkit callbacks in
// platform_wx_events.cpp, menus and the status bar in platform_wx_menus.cpp,
// prompts in platform_wx_prompts.cpp, GL views and the input state in
// platform_wx_gl.cpp.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <wx/wx.h>
#include <wx/evtloop.h>

#include <gtk/gtk.h>

#include "platform/platform.h"
#include "platform/platform_wx_internal.h"

namespace Wx_Backend {

std::map<int64_t, Wx_Window> Windows;
std::map<int64_t, Wx_Control> Controls;
std::map<int64_t, wxMenuItem*> Menu_Items;  // menu-bar items by number
Wx_Shared Shared;

bool Initialised = false;
int Realizing = 0;
GtkWidget* Open_Prompt = nullptr;
wxGUIEventLoop* Loop = nullptr;

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

}  // namespace Wx_Backend

using namespace Wx_Backend;

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
    for (auto& kv : Shared.Timers) {
        kv.second->Stop();
        delete kv.second;
    }
    Shared.Timers.clear();
    std::vector<int64_t> numbers;
    for (auto& kv : Windows) numbers.push_back(kv.first);
    for (int64_t n : numbers) Close_Window(n);
    if (Shared.Share_Context) {
        delete Shared.Share_Context;
        Shared.Share_Context = nullptr;
    }
    Pump_Toolkit();
    if (wxTheApp) wxTheApp->ProcessIdle();
    wxEventLoopBase::SetActive(nullptr);
    delete Loop;
    Loop = nullptr;
    Initialised = false;
    wxEntryCleanup();
    std::lock_guard<std::mutex> lock(Shared.Queue_Lock);
    Shared.Queue.clear();
}

int Platform_Has_Display() { return 1; }

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
