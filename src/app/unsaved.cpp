#include "app/unsaved.h"

#include "app/job_list.h"
#include "base/app_state.h"
#include "document/doc_file.h"
#include "document/doc_model.h"
#include "platform/platform.h"

std::string Unsaved_Question_Text(size_t count) {
    if (count == 1) return "Save changes to 1 document?";
    return "Save changes to " + std::to_string(count) + " documents?";
}

bool Ask_About_Unsaved(const std::vector<int64_t>& slots) {
    std::vector<int64_t> unsaved;
    for (int64_t slot : slots)
        if (slot >= 1 && slot < JOB_SLOTS && Jobs[slot].In_Use && Jobs[slot].Changed) unsaved.push_back(slot);
    if (unsaved.empty()) return true;
    int answer = Choice_Box("Message", Unsaved_Question_Text(unsaved.size()), "Save", "Discard", "Cancel");
    if (answer == 1) return !Prompt_Abort_Requested();
    if (answer != 0) return false;
    for (int64_t slot : unsaved) {
        // The dialogs are modal: the document may be gone, or saved, by now.
        if (!Jobs[slot].In_Use || !Jobs[slot].Changed) continue;
        // The document being saved is the one on the screen.
        if (Current_Job != slot) Select_Job(slot);
        if (!Save_Job(slot, 1)) return false;
    }
    return true;
}

void Quit_Command() {
    if (Ask_About_Unsaved(Unsaved_Jobs())) Request_Quit();
}

void New_Command() {
    std::vector<int64_t> unsaved = Unsaved_Jobs();
    if (unsaved.empty()) {
        Close_All_Jobs();
        return;
    }
    if (Ask_About_Unsaved(unsaved))
        Discard_All_Jobs();
    else {
        Mark_Job_List_Changed();
        Mark_Measurement_List_Changed();
    }
}

void Close_Document_Command() {
    int64_t slot = Current_Job;
    if (slot <= 0 || slot >= JOB_SLOTS) return;
    if (!Ask_About_Unsaved({slot})) return;
    // Closing steps the current document down to the nearest one in use.
    Close_Job(slot);
}
