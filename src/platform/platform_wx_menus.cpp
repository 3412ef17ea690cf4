// Menus and status bars of the wx backend: menu-bar items and pop-up menus
// whose choices arrive as EVENT_MENU, and the status fields that widen to
// show their texts whole.
#include <string>
#include <vector>

#include <wx/wx.h>

#include "platform/platform.h"
#include "platform/platform_controls.h"
#include "platform/platform_internal.h"
#include "platform/platform_wx_internal.h"

using namespace Wx_Backend;

namespace {
// A status field draws its text inside its width less 9 pixels; the margin
// leaves a little more.
const int STATUS_FIELD_MARGIN = 12;
}  // namespace

// ---------------------------------------------------------------- menus
void Create_Menu_Bar(int64_t window) {
    Wx_Window* w = Find_Window(window);
    if (!w || w->Menu_Bar) return;
    w->Menu_Bar = new wxMenuBar();
    w->Frame->SetMenuBar(w->Menu_Bar);
    Note_Menu_Bar(window);
}

void Add_Menu_Title(int64_t window, const std::string& title) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Menu_Bar) return;
    w->Current_Menu = new wxMenu();
    w->Menu_Bar->Append(w->Current_Menu, To_Wx(title));
    Note_Menu_Title(window, title);
}

void Add_Menu_Item(int64_t window, int64_t item, const std::string& text) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Current_Menu || Menu_Items.count(item)) return;
    // wx registers the accelerator written after "\t" in the label.
    Menu_Items[item] = w->Current_Menu->Append((int)item, To_Wx(text));
    w->Menu_Items.insert(item);
    Note_Menu_Item(window, item, text);
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
    Add_Status_Record(window, widths.size());
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
