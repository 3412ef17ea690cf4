// The control model of both backends: records of every control and status
// bar, and the gadget procedures that set and read them. A change first
// lands in the record, then the backend's mirror hook shows it.
#include "platform/platform_controls.h"

#include <algorithm>
#include <cstdlib>

#include "platform/platform_internal.h"

std::map<int64_t, Control_Record> Control_Table;
std::map<int64_t, Status_Record> Status_Table;
Control_Mirror Mirror;
int64_t Pointer_Moved_Total = 0;

namespace {

bool Has_Rows(const Control_Record& c) { return c.Kind == CONTROL_DROPDOWN || c.Kind == CONTROL_LIST; }

bool Is_Switch(const Control_Record& c) {
    return c.Kind == CONTROL_TOGGLE_BUTTON || c.Kind == CONTROL_IMAGE_TOGGLE || c.Kind == CONTROL_CHECKBOX;
}

Status_Record* Find_Status(int64_t window, int field) {
    auto it = Status_Table.find(window);
    if (it == Status_Table.end() || field < 0 || field >= (int)it->second.Texts.size()) return nullptr;
    return &it->second;
}

}  // namespace

// ---------------------------------------------------------------- records
Control_Record* Find_Control(int64_t control) {
    auto it = Control_Table.find(control);
    return it == Control_Table.end() ? nullptr : &it->second;
}

Control_Record* Add_Control_Record(int64_t window, int64_t control, int64_t kind, int x, int y, int w, int h,
                                   const std::string& text, int64_t parent) {
    if (Control_Table.count(control)) return nullptr;
    Control_Record& c = Control_Table[control];
    c.Number = control;
    c.Window = window;
    c.Kind = kind;
    c.Parent = parent;
    c.X = x;
    c.Y = y;
    c.W = w;
    c.H = h;
    c.Text = text;
    if (Has_Rows(c) || kind == CONTROL_PAGES) c.State = -1;
    return &c;
}

std::vector<int64_t> Child_Controls(int64_t control) {
    std::vector<int64_t> children;
    for (const auto& kv : Control_Table)
        if (kv.second.Parent == control && kv.first != control) children.push_back(kv.first);
    return children;
}

std::vector<int64_t> Window_Controls(int64_t window) {
    std::vector<int64_t> owned;
    for (const auto& kv : Control_Table)
        if (kv.second.Window == window) owned.push_back(kv.first);
    return owned;
}

void Forget_Control_Record(int64_t control) { Control_Table.erase(control); }

void Clear_Control_Model() {
    Control_Table.clear();
    Status_Table.clear();
    Pointer_Moved_Total = 0;
}

// ---------------------------------------------------------------- gadget procedures
bool Control_Exists(int64_t control) { return Find_Control(control) != nullptr; }

int64_t Control_Kind_Of(int64_t control) {
    Control_Record* c = Find_Control(control);
    return c ? c->Kind : 0;
}

// Switches hold 0 or 1, a slider a value of its range, a list or drop-down
// a row or -1, pages a page index (others are refused); other kinds have none.
void Set_State(int64_t control, int64_t state) {
    Control_Record* c = Find_Control(control);
    if (!c) return;
    if (Is_Switch(*c)) {
        c->State = state != 0 ? 1 : 0;
    } else if (c->Kind == CONTROL_SLIDER) {
        c->State = std::max(c->Min, std::min(c->Max, state));
    } else if (Has_Rows(*c)) {
        c->State = (state < 0 || state >= (int64_t)c->Rows.size()) ? -1 : state;
    } else if (c->Kind == CONTROL_PAGES) {
        int64_t pages = (int64_t)Child_Controls(control).size();
        if (state < 0 || state >= pages) return;
        c->State = state;
    } else {
        return;
    }
    if (Mirror.State) Mirror.State(*c);
}

int64_t Get_State(int64_t control) {
    Control_Record* c = Find_Control(control);
    return c ? c->State : 0;
}

void Set_Text(int64_t control, const std::string& text) {
    Control_Record* c = Find_Control(control);
    if (!c) return;
    c->Text = text;
    if (Mirror.Text) Mirror.Text(*c);
}

std::string Get_Text(int64_t control) {
    Control_Record* c = Find_Control(control);
    if (!c) return "";
    if (c->Kind == CONTROL_DROPDOWN)
        return (c->State >= 0 && c->State < (int64_t)c->Rows.size()) ? c->Rows[(size_t)c->State].first : "";
    return c->Text;
}

void Set_Tooltip(int64_t control, const std::string& text) {
    Control_Record* c = Find_Control(control);
    if (!c) return;
    c->Tooltip = text;
    if (Mirror.Tooltip) Mirror.Tooltip(*c);
}

std::string Get_Tooltip(int64_t control) {
    Control_Record* c = Find_Control(control);
    return c ? c->Tooltip : "";
}

void Hide_Control(int64_t control, bool hide) {
    Control_Record* c = Find_Control(control);
    if (!c) return;
    c->Hidden = hide;
    if (Mirror.Hidden) Mirror.Hidden(*c);
}

bool Control_Hidden(int64_t control) {
    Control_Record* c = Find_Control(control);
    return c ? c->Hidden : false;
}

void Disable_Control(int64_t control, bool disable) {
    Control_Record* c = Find_Control(control);
    if (!c) return;
    c->Disabled = disable;
    if (Mirror.Disabled) Mirror.Disabled(*c);
}

bool Control_Disabled(int64_t control) {
    Control_Record* c = Find_Control(control);
    return c ? c->Disabled : false;
}

void Set_Slider_Range(int64_t control, int64_t min_value, int64_t max_value) {
    Control_Record* c = Find_Control(control);
    if (!c || c->Kind != CONTROL_SLIDER || max_value < min_value) return;
    c->Min = min_value;
    c->Max = max_value;
    c->State = std::max(min_value, std::min(max_value, c->State));
    if (Mirror.Slider_Range) Mirror.Slider_Range(*c);
}

void Set_Scroll_Area_Inner_Size(int64_t control, int w, int h) {
    Control_Record* c = Find_Control(control);
    if (!c || c->Kind != CONTROL_SCROLL_AREA) return;
    c->Inner_W = w;
    c->Inner_H = h;
    if (Mirror.Inner_Size) Mirror.Inner_Size(*c);
}

void Scroll_Area_Inner_Size(int64_t control, int* w, int* h) {
    Control_Record* c = Find_Control(control);
    *w = c ? c->Inner_W : 0;
    *h = c ? c->Inner_H : 0;
}

// ---------------------------------------------------------------- rows
void Add_List_Column(int64_t control, const std::string& title, int width) {
    Control_Record* c = Find_Control(control);
    if (!c || c->Kind != CONTROL_LIST) return;
    c->Columns.push_back(title);
    if (Mirror.Column_Added) Mirror.Column_Added(*c, width);
}

int64_t List_Column_Count(int64_t control) {
    Control_Record* c = Find_Control(control);
    return c ? (int64_t)c->Columns.size() : 0;
}

void Add_Row(int64_t control, const std::string& text, int64_t data) {
    Control_Record* c = Find_Control(control);
    if (!c || !Has_Rows(*c)) return;
    c->Rows.push_back({text, data});
    if (Mirror.Row_Added) Mirror.Row_Added(*c);
}

void Clear_Rows(int64_t control) {
    Control_Record* c = Find_Control(control);
    if (!c || !Has_Rows(*c)) return;
    c->Rows.clear();
    c->State = -1;
    if (Mirror.Rows_Cleared) Mirror.Rows_Cleared(*c);
}

int64_t Row_Count(int64_t control) {
    Control_Record* c = Find_Control(control);
    return c ? (int64_t)c->Rows.size() : 0;
}

std::string Get_Row_Text(int64_t control, int64_t row) {
    Control_Record* c = Find_Control(control);
    if (!c || row < 0 || row >= (int64_t)c->Rows.size()) return "";
    return c->Rows[(size_t)row].first;
}

std::string Get_Cell_Text(int64_t control, int64_t row, int64_t column) {
    std::vector<std::string> cells = Split_Columns(Get_Row_Text(control, row));
    if (column < 0 || column >= (int64_t)cells.size()) return "";
    return cells[(size_t)column];
}

int64_t Get_Row_Data(int64_t control, int64_t row) {
    Control_Record* c = Find_Control(control);
    if (!c || row < 0 || row >= (int64_t)c->Rows.size()) return 0;
    return c->Rows[(size_t)row].second;
}

// ---------------------------------------------------------------- status bar
void Add_Status_Record(int64_t window, size_t fields) {
    Status_Record& s = Status_Table[window];
    s.Texts.assign(fields, "");
    s.Writes.assign(fields, 0);
}

void Forget_Status_Record(int64_t window) { Status_Table.erase(window); }

void Set_Status_Text(int64_t window, int field, const std::string& text) {
    Status_Record* s = Find_Status(window, field);
    if (!s) return;
    if (Mirror.Status_Text) Mirror.Status_Text(window, field, text);
    s->Texts[(size_t)field] = text;
    s->Writes[(size_t)field]++;
}

std::string Get_Status_Text(int64_t window, int field) {
    Status_Record* s = Find_Status(window, field);
    return s ? s->Texts[(size_t)field] : "";
}

// ---------------------------------------------------------------- pointer
void Count_Pointer_Move(int dx, int dy) { Pointer_Moved_Total += std::abs(dx) + std::abs(dy); }
