#include "app/window_title.h"

#include "app/calibration_panel.h"
#include "base/app_state.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"
#include "platform/platform.h"

namespace {
std::string Shown_Title;
}

std::string Window_Title_Text() {
    std::string title = Application_Name + " - " + Application_Version;
    if (Current_Job < 1 || Current_Job >= JOB_SLOTS || !Jobs[Current_Job].In_Use) return title;
    const Job_Slot& job = Jobs[Current_Job];
    std::string name = "Document " + std::to_string(Current_Job);
    if (!job.File_Name.empty()) {
        size_t slash = job.File_Name.rfind('/');
        name = slash == std::string::npos ? job.File_Name : job.File_Name.substr(slash + 1);
    }
    return title + " - " + name + (job.Changed ? "*" : "");
}

void Refresh_Document_Display() {
    std::string title = Window_Title_Text();
    if (title != Shown_Title) {
        Set_Window_Title(WINDOW_MAIN, title);
        Shown_Title = title;
    }
    Refresh_Calibration_Display();
}
