// Prompts of the wx backend: message boxes and file dialogs, scripted by the
// tests, recorded, and ended by a termination request while they are shown.
#include <cctype>
#include <string>
#include <vector>

#include <wx/wx.h>

#include <gtk/gtk.h>

#include "platform/platform.h"
#include "platform/platform_internal.h"
#include "platform/platform_wx_internal.h"

using namespace Wx_Backend;

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

int Choice_Box(const std::string& title, const std::string& text, const std::string& first,
               const std::string& second, const std::string& third) {
    Prompt_Record r;
    r.Kind = PROMPT_CHOICE;
    r.Title = title;
    r.Text = text;
    r.Filter = first + "|" + second + "|" + third;
    if (Take_Scripted_Prompt(&r)) return r.Answer >= 0 && r.Answer <= 2 ? r.Answer : 2;
    int answer = 2;
    if (Initialised && !Prompt_Abort_Requested()) {
        wxWindow* parent = Dialog_Parent();
        GtkWidget* dialog = gtk_message_dialog_new(parent ? GTK_WINDOW(parent->GetHandle()) : nullptr,
                                                   GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_NONE, "%s",
                                                   text.c_str());
        // Responses 1 and 2 for the first two buttons; the third is Cancel,
        // which is also what closing the box or a termination request gives.
        gtk_dialog_add_button(GTK_DIALOG(dialog), first.c_str(), 1);
        gtk_dialog_add_button(GTK_DIALOG(dialog), second.c_str(), 2);
        gtk_dialog_add_button(GTK_DIALOG(dialog), third.c_str(), GTK_RESPONSE_CANCEL);
        gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
        gtk_window_set_position(GTK_WINDOW(dialog), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), 1);
        gint result = Run_Prompt(dialog, [dialog] { return gtk_dialog_run(GTK_DIALOG(dialog)); });
        gtk_widget_destroy(dialog);
        answer = result == 1 ? 0 : result == 2 ? 1 : 2;
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
