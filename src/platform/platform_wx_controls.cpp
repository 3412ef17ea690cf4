// Controls of the wx backend: the widget of each kind of control, its
// place and size, pages, images, fonts and focus, and forgetting a control
// with everything inside it.
#include <algorithm>
#include <cmath>
#include <string>

#include <wx/wx.h>
#include <wx/glcanvas.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/tglbtn.h>

#include <gtk/gtk.h>

#include "platform/platform.h"
#include "platform/platform_controls.h"
#include "platform/platform_wx_internal.h"

namespace Wx_Backend {

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
    if (it->second.Context && it->second.Context != Shared.Share_Context) delete it->second.Context;
    Controls.erase(it);
}


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
    wxGLContext* made = Shared.Share_Context ? new wxGLContext(canvas, Shared.Share_Context) : new wxGLContext(canvas);
    if (!made->IsOK()) {
        delete made;
        canvas->Destroy();
        return nullptr;
    }
    if (!Shared.Share_Context) Shared.Share_Context = made;
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

using namespace Wx_Backend;

bool Create_Control(int64_t window, int64_t control, int64_t kind, int x, int y, int w, int h,
                    const std::string& text, int64_t parent) {
    Wx_Window* win = Find_Window(window);
    if (!win || Find_Control(control)) return false;
    wxWindow* pw = Parent_Widget(*win, parent);
    if (!pw) return false;
    wxPoint p(x, y);
    wxGLContext* context = nullptr;
    Shared.Silent++;
    wxWindow* widget = Make_Widget(kind, pw, p, wxSize(std::max(w, 1), std::max(h, 1)), To_Wx(text), control, &context);
    Shared.Silent--;
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
    Shared.Silent++;
    nb->AddPage(page, To_Wx(caption), nb->GetPageCount() == 0);
    Shared.Silent--;
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
            Shared.Silent++;
            if (index != wxNOT_FOUND) nb->DeletePage((size_t)index);
            Shared.Silent--;
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
