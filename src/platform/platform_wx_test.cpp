// Test support of the wx backend: the GUI tests feed toolkit events straight
// into a control's handlers, so the click, wheel, key, close and drop rules
// are checked without a person at the pointer.
#include <algorithm>
#include <string>
#include <vector>

#include <wx/notebook.h>
#include <wx/tglbtn.h>

#include <gtk/gtk.h>

#include "platform/platform.h"
#include "platform/platform_wx_internal.h"
#include "platform/platform_wx_test.h"

using namespace Wx_Backend;

bool Wx_Test_Mouse_Event(int64_t control, int what, int x, int y, int wheel_rotation) {
    Wx_Control* c = Find(control);
    if (!c) return false;
    wxEventType type;
    switch (what) {
    case WX_TEST_LEFT_DOWN: type = wxEVT_LEFT_DOWN; break;
    case WX_TEST_LEFT_UP: type = wxEVT_LEFT_UP; break;
    case WX_TEST_LEFT_DCLICK: type = wxEVT_LEFT_DCLICK; break;
    case WX_TEST_RIGHT_DOWN: type = wxEVT_RIGHT_DOWN; break;
    case WX_TEST_RIGHT_UP: type = wxEVT_RIGHT_UP; break;
    case WX_TEST_MOTION: type = wxEVT_MOTION; break;
    case WX_TEST_WHEEL: type = wxEVT_MOUSEWHEEL; break;
    default: return false;
    }
    wxMouseEvent e(type);
    e.SetEventObject(c->Widget);
    e.SetId(c->Widget->GetId());
    e.m_x = x;
    e.m_y = y;
    e.m_wheelRotation = wheel_rotation;
    e.m_wheelDelta = 120;
    e.m_wheelAxis = wxMOUSE_WHEEL_VERTICAL;
    wxWindow* target = c->Widget;
    // A list's rows are drawn (and clicked) in its inner window.
    if (Control_Kind_Of(control) == CONTROL_LIST) target = List_Rows_Window(static_cast<wxListCtrl*>(c->Widget));
    if (!target) return false;
    e.SetEventObject(target);
    return target->GetEventHandler()->ProcessEvent(e);
}

bool Wx_Test_Key_Event(int64_t control, int wx_key_code, bool down, bool control_down, bool alt_down) {
    Wx_Control* c = Find(control);
    if (!c) return false;
    wxKeyEvent e(down ? wxEVT_KEY_DOWN : wxEVT_KEY_UP);
    e.SetEventObject(c->Widget);
    e.m_keyCode = wx_key_code;
    e.SetControlDown(control_down);
    e.SetAltDown(alt_down);
    return c->Widget->GetEventHandler()->ProcessEvent(e);
}

// Sends a control's own command event as a user action would (button press,
// box ticked, list row chosen).
bool Wx_Test_User_Select(int64_t control, int64_t row) {
    Wx_Control* c = Find(control);
    if (!c) return false;
    if (Control_Kind_Of(control) == CONTROL_LIST) {
        wxListEvent e(wxEVT_LIST_ITEM_SELECTED, c->Widget->GetId());
        e.SetEventObject(c->Widget);
        e.m_itemIndex = (long)row;
        return c->Widget->GetEventHandler()->ProcessEvent(e);
    }
    int64_t kind = Control_Kind_Of(control);
    wxEventType type = wxEVT_BUTTON;
    if (kind == CONTROL_CHECKBOX) type = wxEVT_CHECKBOX;
    if (kind == CONTROL_TOGGLE_BUTTON || kind == CONTROL_IMAGE_TOGGLE) type = wxEVT_TOGGLEBUTTON;
    if (kind == CONTROL_SLIDER) type = wxEVT_SLIDER;
    if (kind == CONTROL_DROPDOWN) type = wxEVT_CHOICE;
    if (kind == CONTROL_TEXT_INPUT || kind == CONTROL_TEXT_READONLY) type = wxEVT_TEXT;
    wxCommandEvent e(type, c->Widget->GetId());
    e.SetEventObject(c->Widget);
    e.SetInt((int)row);
    return c->Widget->GetEventHandler()->ProcessEvent(e);
}

// Clicks the close box: the frame gets the close request a user would send.
bool Wx_Test_Close_Box(int64_t window) {
    Wx_Window* w = Find_Window(window);
    if (!w) return false;
    w->Frame->Close(false);
    return true;
}

// Drops files on a window as the file manager would.
bool Wx_Test_Drop_Files(int64_t window, const std::vector<std::string>& names) {
    Wx_Window* w = Find_Window(window);
    if (!w) return false;
    wxString* files = new wxString[names.size()];
    for (size_t i = 0; i < names.size(); i++) files[i] = To_Wx(names[i]);
    wxDropFilesEvent e(wxEVT_DROP_FILES, (int)names.size(), files);  // takes the array
    e.SetEventObject(w->Frame);
    return w->Frame->GetEventHandler()->ProcessEvent(e);
}

// The picture an image button shows: its size in logical pixels as GTK lays
// it out, and what GTK draws there, in device pixels (straight RGBA, rows
// from the top, on a transparent background).
bool Wx_Test_Button_Picture(int64_t control, int* logical_w, int* logical_h, std::vector<uint8_t>* drawn,
                            int* drawn_w, int* drawn_h) {
    Wx_Control* c = Find(control);
    wxAnyButton* button = c ? dynamic_cast<wxAnyButton*>(c->Widget) : nullptr;
    if (!button) return false;
    GtkWidget* image = gtk_button_get_image(GTK_BUTTON(button->GetHandle()));
    if (!image) image = gtk_bin_get_child(GTK_BIN(button->GetHandle()));
    if (!image || !gtk_widget_get_visible(image)) return false;
    GtkRequisition natural;
    gtk_widget_get_preferred_size(image, nullptr, &natural);
    *logical_w = natural.width;
    *logical_h = natural.height;
    // The image is drawn centred in its allocation; take the picture's own box.
    GtkAllocation alloc;
    gtk_widget_get_allocation(image, &alloc);
    const int scale = gtk_widget_get_scale_factor(image);
    const int w = natural.width * scale, h = natural.height * scale;
    if (w < 1 || h < 1) return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_surface_set_device_scale(surface, scale, scale);
    cairo_t* cr = cairo_create(surface);
    cairo_translate(cr, -(alloc.width - natural.width) / 2, -(alloc.height - natural.height) / 2);
    gtk_widget_draw(image, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const uint8_t* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    drawn->assign((size_t)w * h * 4, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t argb = *(const uint32_t*)(pixels + (size_t)y * stride + (size_t)x * 4);
            uint32_t a = argb >> 24;
            uint8_t* out = &(*drawn)[((size_t)y * w + x) * 4];
            for (int k = 0; k < 3; k++) {
                uint32_t v = (argb >> (16 - 8 * k)) & 255;
                out[k] = (uint8_t)(a ? std::min<uint32_t>(255, (v * 255 + a / 2) / a) : 0);
            }
            out[3] = (uint8_t)a;
        }
    cairo_surface_destroy(surface);
    *drawn_w = w;
    *drawn_h = h;
    return true;
}

// 1 when a status field's text was cut short ("Zo...") the last time the bar
// was painted, 0 when it was shown whole, -1 for no such field. Paints the
// bar first.
int Wx_Test_Status_Field_Cut(int64_t window, int field) {
    Wx_Window* w = Find_Window(window);
    if (!w || !w->Status || field < 0 || field >= w->Status->GetFieldsCount()) return -1;
    w->Status->Refresh();
    w->Status->Update();
    return w->Status->GetField(field).IsEllipsized() ? 1 : 0;
}

// 1 when a list cell's text does not fit its column, 0 when it does, -1 for
// no such cell. The list draws a cell's text in the column's width less 8
// pixels, in the font of its rows.
int Wx_Test_List_Cell_Cut(int64_t control, int64_t row, int64_t column) {
    Wx_Control* c = Find(control);
    if (!c || Control_Kind_Of(control) != CONTROL_LIST) return -1;
    wxListCtrl* list = static_cast<wxListCtrl*>(c->Widget);
    if (row < 0 || row >= list->GetItemCount() || column < 0 || column >= list->GetColumnCount()) return -1;
    wxString text = list->GetItemText((long)row, (int)column);
    wxWindow* rows = List_Rows_Window(list);
    int width = (rows ? rows : list)->GetTextExtent(text).x;
    return width <= list->GetColumnWidth((int)column) - 8 ? 0 : 1;
}

// What a control's widget itself shows, read past the control model: the
// state of switches, sliders, drop-downs, lists and pages, and the text of
// captions, text inputs and the chosen drop-down row.
bool Wx_Test_Widget_Shows(int64_t control, int64_t* state, std::string* text) {
    Wx_Control* c = Find(control);
    if (!c) return false;
    *state = 0;
    *text = "";
    switch (Control_Kind_Of(control)) {
    case CONTROL_BUTTON:
    case CONTROL_LABEL:
    case CONTROL_FRAME:
        *text = From_Wx(static_cast<wxControl*>(c->Widget)->GetLabelText());
        break;
    case CONTROL_TOGGLE_BUTTON:
        *state = static_cast<wxToggleButton*>(c->Widget)->GetValue() ? 1 : 0;
        *text = From_Wx(static_cast<wxControl*>(c->Widget)->GetLabelText());
        break;
    case CONTROL_CHECKBOX:
        *state = static_cast<wxCheckBox*>(c->Widget)->GetValue() ? 1 : 0;
        *text = From_Wx(static_cast<wxControl*>(c->Widget)->GetLabelText());
        break;
    case CONTROL_IMAGE_TOGGLE: *state = static_cast<wxBitmapToggleButton*>(c->Widget)->GetValue() ? 1 : 0; break;
    case CONTROL_SLIDER: *state = static_cast<wxSlider*>(c->Widget)->GetValue(); break;
    case CONTROL_DROPDOWN: {
        wxChoice* ch = static_cast<wxChoice*>(c->Widget);
        int sel = ch->GetSelection();
        *state = sel == wxNOT_FOUND ? -1 : sel;
        if (sel != wxNOT_FOUND) *text = From_Wx(ch->GetString((unsigned)sel));
        break;
    }
    case CONTROL_LIST:
        *state = static_cast<wxListCtrl*>(c->Widget)->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
        break;
    case CONTROL_PAGES: {
        int sel = static_cast<wxNotebook*>(c->Widget)->GetSelection();
        *state = sel == wxNOT_FOUND ? -1 : sel;
        break;
    }
    case CONTROL_TEXT_INPUT:
    case CONTROL_TEXT_READONLY:
        *text = From_Wx(static_cast<wxTextCtrl*>(c->Widget)->GetValue());
        break;
    default:
        break;
    }
    return true;
}

// Changes a widget as the user would (ticks the box, drags the slider,
// picks a row, types a text) and sends the change event that goes with it.
bool Wx_Test_User_Sets(int64_t control, int64_t state, const std::string& text) {
    Wx_Control* c = Find(control);
    if (!c) return false;
    int64_t kind = Control_Kind_Of(control);
    wxEventType type = wxEVT_NULL;
    switch (kind) {
    case CONTROL_TOGGLE_BUTTON:
        static_cast<wxToggleButton*>(c->Widget)->SetValue(state != 0);
        type = wxEVT_TOGGLEBUTTON;
        break;
    case CONTROL_IMAGE_TOGGLE:
        static_cast<wxBitmapToggleButton*>(c->Widget)->SetValue(state != 0);
        type = wxEVT_TOGGLEBUTTON;
        break;
    case CONTROL_CHECKBOX:
        static_cast<wxCheckBox*>(c->Widget)->SetValue(state != 0);
        type = wxEVT_CHECKBOX;
        break;
    case CONTROL_SLIDER:
        static_cast<wxSlider*>(c->Widget)->SetValue((int)state);
        type = wxEVT_SLIDER;
        break;
    case CONTROL_DROPDOWN:
        static_cast<wxChoice*>(c->Widget)->SetSelection((int)state);
        type = wxEVT_CHOICE;
        break;
    case CONTROL_LIST: {
        // The list reports the selection itself, as it does for a click.
        wxListCtrl* list = static_cast<wxListCtrl*>(c->Widget);
        list->SetItemState((long)state, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        return true;
    }
    case CONTROL_TEXT_INPUT:
        // SetValue (unlike ChangeValue) sends the text event a key press would.
        static_cast<wxTextCtrl*>(c->Widget)->SetValue(To_Wx(text));
        return true;
    default:
        return false;
    }
    wxCommandEvent e(type, c->Widget->GetId());
    e.SetEventObject(c->Widget);
    return c->Widget->GetEventHandler()->ProcessEvent(e);
}

// ---------------------------------------------------------------- prompts
// Message boxes and file dialogs run their own modal loop; a test acts inside
// it from a GLib time-out, as a person would while the prompt is up.
namespace {
struct Every_Call {
    bool (*Fn)(void*);
    void* User;
};
gboolean Run_Every(gpointer data) {
    Every_Call* call = static_cast<Every_Call*>(data);
    if (call->Fn(call->User)) return G_SOURCE_CONTINUE;
    delete call;
    return G_SOURCE_REMOVE;
}
}  // namespace

// Calls fn(user) every `ms` milliseconds, also inside modal loops, until it returns false.
void Wx_Test_Every(int ms, bool (*fn)(void*), void* user) {
    g_timeout_add((guint)ms, Run_Every, new Every_Call{fn, user});
}

bool Wx_Test_Prompt_Open() { return Open_Prompt != nullptr; }

// The title the open prompt's window really carries ("" when none is open).
std::string Wx_Test_Prompt_Title() {
    if (!Open_Prompt) return "";
    const char* title = gtk_window_get_title(GTK_WINDOW(Open_Prompt));
    return title ? title : "";
}

// Presses OK / Yes (accept) or Cancel / No in the open prompt; in a box of
// three answers, accepting presses the first button.
bool Wx_Test_Answer_Prompt(bool accept) {
    if (!Open_Prompt) return false;
    gint response = GTK_RESPONSE_CANCEL;
    if (accept) response = GTK_IS_MESSAGE_DIALOG(Open_Prompt) ? GTK_RESPONSE_OK : GTK_RESPONSE_ACCEPT;
    if (accept && GTK_IS_MESSAGE_DIALOG(Open_Prompt)) {
        // A Yes/No box answers Yes; an OK box OK.
        GtkWidget* yes = gtk_dialog_get_widget_for_response(GTK_DIALOG(Open_Prompt), GTK_RESPONSE_YES);
        if (yes) response = GTK_RESPONSE_YES;
        if (gtk_dialog_get_widget_for_response(GTK_DIALOG(Open_Prompt), 1)) response = 1;
    }
    gtk_dialog_response(GTK_DIALOG(Open_Prompt), response);
    return true;
}

// Number of filters of the open file dialog (-1 when no file dialog is open).
int Wx_Test_Prompt_Filter_Count() {
    if (!Open_Prompt || !GTK_IS_FILE_CHOOSER(Open_Prompt)) return -1;
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(Open_Prompt));
    int n = (int)g_slist_length(filters);
    g_slist_free(filters);
    return n;
}

// Name shown for filter `index` of the open file dialog.
std::string Wx_Test_Prompt_Filter_Name(int index) {
    if (!Open_Prompt || !GTK_IS_FILE_CHOOSER(Open_Prompt)) return "";
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(Open_Prompt));
    GSList* f = g_slist_nth(filters, (guint)index);
    std::string name = f && gtk_file_filter_get_name(GTK_FILE_FILTER(f->data))
                           ? gtk_file_filter_get_name(GTK_FILE_FILTER(f->data))
                           : "";
    g_slist_free(filters);
    return name;
}

// 1 when filter `index` of the open file dialog lists a file of this name,
// 0 when it hides it, -1 when there is no such filter.
int Wx_Test_Prompt_Filter_Shows(int index, const std::string& file_name) {
    if (!Open_Prompt || !GTK_IS_FILE_CHOOSER(Open_Prompt)) return -1;
    GSList* filters = gtk_file_chooser_list_filters(GTK_FILE_CHOOSER(Open_Prompt));
    GSList* f = g_slist_nth(filters, (guint)index);
    int shows = -1;
    if (f) {
        GtkFileFilterInfo info = {};
        info.contains = GTK_FILE_FILTER_DISPLAY_NAME;
        info.display_name = file_name.c_str();
        shows = gtk_file_filter_filter(GTK_FILE_FILTER(f->data), &info) ? 1 : 0;
    }
    g_slist_free(filters);
    return shows;
}
