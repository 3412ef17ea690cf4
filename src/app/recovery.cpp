#include "app/recovery.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "base/app_state.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "base/picture.h"
#include "document/doc_file.h"
#include "document/doc_model.h"
#include "platform/platform.h"

namespace {

int64_t Next_Write_Ms = RECOVERY_INTERVAL_MS;
// The change count and the set of unsaved slots the files on disk show.
uint64_t Written_Serial = 0;
std::vector<int64_t> Written_Slots;
bool Written_Once = false;
// Set when the restore question was ended by a termination request: the
// files of the last session are then left exactly as they are.
bool Leave_Folder_Alone = false;

std::string Recovery_Name(int64_t slot) { return "Document " + std::to_string(slot) + ".JQV"; }

// Every file name in the folder (none when it does not exist).
std::vector<std::string> Folder_Entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (struct dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool Write_Slot(int64_t slot, const std::string& path) {
    const Doc_Info& doc = Jobs[slot].Doc;
    Picture picture;
    picture.Width = doc.Resolution.x;
    picture.Height = doc.Resolution.y;
    picture.Pixels = doc.Image_Buffer;
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Pixels.size() != (size_t)picture.Width * (size_t)picture.Height * 4)
        return false;
    for (size_t i = 3; i < picture.Pixels.size(); i += 4) picture.Pixels[i] = 255;
    std::vector<uint8_t> bytes;
    return Build_Document_Archive(doc, picture, &bytes) && Write_File_Atomically(path, bytes);
}

}  // namespace

std::string Recovery_Folder() { return Data_Folder + "recovery/"; }

std::vector<std::string> Recovery_Files() {
    std::vector<std::string> paths;
    for (const std::string& name : Folder_Entries(Recovery_Folder()))
        if (Ends_With_No_Case(name, ".JQV") && paths.size() < (size_t)MAX_FROZEN_JOBS)
            paths.push_back(Recovery_Folder() + name);
    return paths;
}

bool Recovery_Write() {
    if (Leave_Folder_Alone) return true;
    std::vector<int64_t> unsaved = Unsaved_Jobs();
    bool ok = true;
    if (!unsaved.empty()) {
        if (!Create_Folder(Recovery_Folder())) {
            Log("Recovery: cannot create " + Recovery_Folder());
            return false;
        }
        for (int64_t slot : unsaved)
            if (!Write_Slot(slot, Recovery_Folder() + Recovery_Name(slot))) {
                Log("Recovery: cannot write " + Recovery_Name(slot));
                ok = false;
            }
    }
    // Files of documents that are saved or closed by now, and temporary
    // files an interrupted write left behind, go.
    for (const std::string& name : Folder_Entries(Recovery_Folder())) {
        bool keep = false;
        for (int64_t slot : unsaved)
            if (name == Recovery_Name(slot)) keep = true;
        if (!keep) unlink((Recovery_Folder() + name).c_str());
    }
    if (unsaved.empty()) rmdir(Recovery_Folder().c_str());
    Written_Serial = Document_Change_Serial;
    Written_Slots = unsaved;
    Written_Once = true;
    if (!unsaved.empty()) Log("Recovery: " + std::to_string(unsaved.size()) + " unsaved documents kept");
    return ok;
}

void Recovery_Clear() {
    if (Leave_Folder_Alone) return;
    for (const std::string& name : Folder_Entries(Recovery_Folder())) unlink((Recovery_Folder() + name).c_str());
    rmdir(Recovery_Folder().c_str());
    Written_Slots.clear();
    Written_Serial = Document_Change_Serial;
}

void Recovery_Tick(int64_t now_ms) {
    if (now_ms < Next_Write_Ms) return;
    Next_Write_Ms = now_ms + RECOVERY_INTERVAL_MS;
    // Nothing new since the last write: the files on disk still hold it all.
    if (Written_Once && Written_Serial == Document_Change_Serial && Written_Slots == Unsaved_Jobs()) return;
    if (!Written_Once && Unsaved_Jobs().empty()) return;
    Recovery_Write();
}

void Recovery_Offer() {
    std::vector<std::string> files = Recovery_Files();
    if (files.empty()) return;
    std::string text = files.size() == 1 ? "Restore 1 document from the last session?"
                                         : "Restore " + std::to_string(files.size()) +
                                               " documents from the last session?";
    if (Message_Box("Message", text, MSG_YES_NO) != 1) {
        // A termination request while asking keeps them for the next start.
        if (Prompt_Abort_Requested())
            Leave_Folder_Alone = true;
        else
            Recovery_Clear();
        return;
    }
    int64_t restored = 0;
    for (const std::string& path : files) {
        if (Prompt_Abort_Requested()) {
            Leave_Folder_Alone = true;  // the files stay for the next start
            return;
        }
        if (!Open_Document_File(path, false)) continue;
        Mark_Document_Changed(Current_Job);
        restored++;
    }
    Log("Recovery: " + std::to_string(restored) + " documents restored");
    // The restored documents may sit in other slots now: the files follow them.
    Recovery_Write();
}

void Recovery_At_Exit(bool terminated) {
    if (terminated)
        Recovery_Write();
    else
        Recovery_Clear();
}

void Open_Start_Documents(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (Prompt_Abort_Requested()) return;
        Log("Opening " + path);
        Open_Document_File(path);
    }
}
