// The mirror of the control model in the wx backend: every change the
// program makes to a control record is shown in its widget, and what the
// user changes in a widget is read back into the record.
#include <algorithm>
#include <string>
#include <vector>

#include <wx/wx.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/tglbtn.h>

#include "platform/platform.h"
#include "platform/platform_controls.h"
#include "platform/platform_internal.h"
#include "platform/platform_wx_internal.h"

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
    Shared.Silent++;
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
    Shared.Silent--;
}

void Show_Text(const Control_Record& r) {
    Wx_Control* c = Find(r.Number);
    if (!c) return;
    Shared.Silent++;
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
    Shared.Silent--;
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
    Shared.Silent++;
    wxSlider* sl = static_cast<wxSlider*>(c->Widget);
    // GTK refuses an empty range; the slider then offers one value.
    sl->SetRange((int)r.Min, (int)std::max(r.Max, r.Min + 1));
    sl->SetValue((int)r.State);
    Shared.Silent--;
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
    Shared.Silent++;
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
    Shared.Silent--;
}

void Show_Rows_Cleared(const Control_Record& r) {
    Wx_Control* c = Find(r.Number);
    if (!c) return;
    Shared.Silent++;
    if (r.Kind == CONTROL_DROPDOWN) static_cast<wxChoice*>(c->Widget)->Clear();
    if (r.Kind == CONTROL_LIST) static_cast<wxListCtrl*>(c->Widget)->DeleteAllItems();
    Shared.Silent--;
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
