#include "app/recovery.h"

#include <archive.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <thread>

#include "base/app_state.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "document/doc_file.h"
#include "document/doc_json.h"
#include "document/doc_model.h"
#include "platform/platform.h"

namespace {

const char* const LOCK_NAME = "lock";
// Main-thread time one idle pass may spend taking pixels for a copy.
const double SLICE_MS = 15;
// Bytes handed to the compressor at a time (a cancel is seen between them).
const size_t WRITE_CHUNK = (size_t)1 << 20;

// The copy of a slot in this program's set, as it is on disk.
struct Copy_Record {
    bool Present = false;
    uint64_t Serial = 0;  // the slot's Change_Serial the copy shows
};

// Where the pixels of a copy come from: a finished image member (taken
// earlier), or the document's own buffer, converted as it is written.
struct Pixel_Source {
    const uint8_t* Member = nullptr;
    const uint8_t* Bgra = nullptr;
    int32_t Width = 0, Height = 0;
};

// The pixels of one slot being taken into an image member, a slice per pass.
struct Snapshot {
    int64_t Slot = -1;  // -1: none in progress
    uint64_t Serial = 0;
    const uint8_t* Source = nullptr;  // the buffer it was started on
    size_t Source_Size = 0;
    int32_t Width = 0, Height = 0;
    int32_t Rows_Done = 0;  // from the bottom, the member's row order
    std::unique_ptr<uint8_t[]> Member;
};

// The copy being written by the writing thread. The main thread touches the
// fields only while the thread is not running, except Cancel and Done.
struct Copy_Job {
    int64_t Slot = -1;  // -1: no thread
    uint64_t Serial = 0;
    std::string Json, Path;
    std::unique_ptr<uint8_t[]> Member;
    int32_t Width = 0, Height = 0;
    std::thread Thread;
    std::atomic<bool> Done{false}, Cancel{false};
    bool Ok = false;
    std::string Error;
};

// What one round of copies came to, for its log lines and the warning.
struct Round {
    bool Active = false;
    bool Changed_Anything = false;
    int64_t Failures = 0;
    std::string Error;
};

struct Recovery_State {
    std::string Base;  // the recovery folder the set lives in
    std::string Set;   // this program's set folder, "" none yet
    int Lock_Fd = -1;
    Copy_Record Copies[JOB_SLOTS];
    int64_t Next_Write_Ms = RECOVERY_INTERVAL_MS;
    std::vector<int64_t> Pending;  // slots due for a copy in this round
    Snapshot Snap;
    Round Current_Round;
    bool Failure_Told = false;  // the warning was shown since the last good round
} R;

// Never destroyed: a process ended by exit() while the thread runs must not
// abort in the destructor of a joinable thread.
Copy_Job& Job = *new Copy_Job;

// A set whose owner is gone, locked by us while its copies are offered.
struct Orphan_Set {
    std::string Folder;  // ends with "/"
    int Lock_Fd = -1;
    bool Legacy = false;  // loose copies of an older build in recovery/ itself
    std::vector<std::string> Copies;  // names, in order
};

std::string Copy_Name(int64_t slot) { return "Document " + std::to_string(slot) + ".JQV"; }

std::string Error_Text(int error) { return error ? strerror(error) : "unknown error"; }

// Every name in the folder (none when it does not exist), sorted.
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

// A regular file with a ".JQV" name that starts as a ZIP archive does: what
// every copy is. Anything else in the folders is left alone and not offered.
bool Looks_Like_Copy(const std::string& folder, const std::string& name) {
    if (!Ends_With_No_Case(name, ".JQV")) return false;
    int fd = open((folder + name).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st;
    uint8_t magic[4] = {0, 0, 0, 0};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && read(fd, magic, 4) == 4 && magic[0] == 'P' &&
              magic[1] == 'K' && magic[2] == 3 && magic[3] == 4;
    close(fd);
    return ok;
}

bool Is_Unsaved(int64_t slot) { return slot >= 1 && slot < JOB_SLOTS && Jobs[slot].In_Use && Jobs[slot].Changed; }

// An unsaved document whose copy is missing or older than the document.
bool Needs_Copy(int64_t slot) {
    return Is_Unsaved(slot) && !(R.Copies[slot].Present && R.Copies[slot].Serial == Jobs[slot].Change_Serial);
}

// ------------------------------------------------------------ the image member

uint64_t Member_Size(int32_t width, int32_t height) { return BMP24_HEADER + Bmp24_Stride(width) * (uint64_t)height; }

// ------------------------------------------------------------ writing one copy (any thread)

bool Write_Data(struct archive* a, const uint8_t* data, size_t size, const std::atomic<bool>* cancel) {
    size_t done = 0;
    while (done < size) {
        if (cancel && cancel->load()) return false;
        size_t n = std::min(size - done, WRITE_CHUNK);
        la_ssize_t written = archive_write_data(a, data + done, n);
        if (written <= 0) return false;
        done += (size_t)written;
    }
    return true;
}

bool Write_Image_Member(struct archive* a, const Pixel_Source& src, const std::atomic<bool>* cancel) {
    uint64_t size = Member_Size(src.Width, src.Height);
    if (src.Member) return Write_Data(a, src.Member, (size_t)size, cancel);
    // Straight from the document: a few rows at a time, no copy of the picture.
    size_t stride = (size_t)Bmp24_Stride(src.Width);
    int32_t rows_per_chunk = (int32_t)std::max<size_t>(1, WRITE_CHUNK / stride);
    std::vector<uint8_t> chunk(std::max(BMP24_HEADER, stride * (size_t)rows_per_chunk));
    Bmp24_Header(src.Width, src.Height, chunk.data());
    if (!Write_Data(a, chunk.data(), BMP24_HEADER, cancel)) return false;
    for (int32_t row = 0; row < src.Height; row += rows_per_chunk) {
        int32_t n = std::min(rows_per_chunk, src.Height - row);
        for (int32_t i = 0; i < n; i++)
            Bmp24_Row(src.Bgra, src.Width, src.Height, row + i, chunk.data() + (size_t)i * stride);
        if (!Write_Data(a, chunk.data(), (size_t)n * stride, cancel)) return false;
    }
    return true;
}

// Writes the document file `path` through "<path>.tmp", flushed to the disk
// before it is renamed over an older copy. On failure the older copy stays
// and *error says why ("" when cancelled).
bool Write_Copy(const std::string& json, const Pixel_Source& src, const std::string& path,
                const std::atomic<bool>* cancel, std::string* error) {
    std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        *error = Error_Text(errno);
        return false;
    }
    int failure = 0;
    // A copy lives only until the next start: speed over size. Deflate at 1
    // is about four times as fast as the saved documents' 6 on a big picture.
    struct archive* a = archive_write_new();
    bool ok = a && archive_write_set_format_zip(a) == ARCHIVE_OK &&
              archive_write_set_option(a, "zip", "compression", "deflate") == ARCHIVE_OK &&
              archive_write_set_option(a, "zip", "compression-level", "1") == ARCHIVE_OK &&
              archive_write_set_option(a, "zip", "hdrcharset", "UTF-8") == ARCHIVE_OK &&
              archive_write_set_bytes_in_last_block(a, 1) == ARCHIVE_OK && archive_write_open_fd(a, fd) == ARCHIVE_OK;
    time_t now = time(nullptr);
    ok = ok && Begin_Document_Member(a, Image_Member_Name, Member_Size(src.Width, src.Height), (int64_t)now) &&
         Write_Image_Member(a, src, cancel);
    ok = ok && Begin_Document_Member(a, Settings_Member_Name, json.size(), (int64_t)now) &&
         Write_Data(a, (const uint8_t*)json.data(), json.size(), cancel);
    if (a) {
        if (archive_write_close(a) != ARCHIVE_OK) ok = false;
        if (!ok) failure = archive_errno(a);
        archive_write_free(a);
    }
    if (ok && fsync(fd) != 0) {
        ok = false;
        failure = errno;
    }
    if (close(fd) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (ok && rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        *error = cancel && cancel->load() ? "" : Error_Text(failure);
    }
    return ok;
}

void Writing_Thread() {
    Pixel_Source src;
    src.Member = Job.Member.get();
    src.Width = Job.Width;
    src.Height = Job.Height;
    Job.Ok = Write_Copy(Job.Json, src, Job.Path, &Job.Cancel, &Job.Error);
    Job.Member.reset();
    Job.Done = true;
}

// ------------------------------------------------------------ this program's set

void Close_Set() {
    if (R.Lock_Fd >= 0) close(R.Lock_Fd);
    R.Lock_Fd = -1;
    R.Set.clear();
    for (Copy_Record& c : R.Copies) c = Copy_Record();
}

// The set folder appears under its final name only with its lock held, so
// another program never finds it unlocked.
bool Ensure_Set(std::string* error) {
    if (!R.Set.empty()) return true;
    if (!Create_Folder(Recovery_Folder())) {
        *error = "cannot create " + Recovery_Folder();
        return false;
    }
    std::string pattern = Recovery_Folder() + ".new-XXXXXX";
    std::vector<char> made(pattern.begin(), pattern.end());
    made.push_back(0);
    if (!mkdtemp(made.data())) {
        *error = Error_Text(errno);
        return false;
    }
    std::string temp_folder = made.data();
    std::string lock_path = temp_folder + "/" + LOCK_NAME;
    std::string final_folder = Recovery_Folder() + "set-" + temp_folder.substr(temp_folder.size() - 6);
    std::string pid = std::to_string((long)getpid()) + "\n";
    int fd = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    bool ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 && write(fd, pid.data(), pid.size()) == (ssize_t)pid.size() &&
              rename(temp_folder.c_str(), final_folder.c_str()) == 0;
    if (!ok) {
        *error = Error_Text(errno);
        if (fd >= 0) close(fd);
        unlink(lock_path.c_str());
        rmdir(temp_folder.c_str());
        return false;
    }
    R.Lock_Fd = fd;
    R.Set = final_folder + "/";
    R.Base = Recovery_Folder();
    return true;
}

// A data folder other than the one the set was made in (the tests switch
// folders) starts a new set.
void Follow_Data_Folder() {
    if (!R.Set.empty() && R.Base != Recovery_Folder()) Close_Set();
}

void Remove_Copy(int64_t slot) {
    if (!R.Copies[slot].Present) return;
    unlink((R.Set + Copy_Name(slot)).c_str());
    R.Copies[slot] = Copy_Record();
    R.Current_Round.Changed_Anything = true;
}

// Copies of documents that are saved or closed by now go.
void Remove_Stale_Copies() {
    for (int64_t slot = 1; slot < JOB_SLOTS; slot++)
        if (!Is_Unsaved(slot) && slot != Job.Slot) Remove_Copy(slot);
}

void Note_Failure(int64_t slot, const std::string& error) {
    Log("Recovery: cannot write " + Copy_Name(slot) + ": " + error);
    R.Current_Round.Failures++;
    if (R.Current_Round.Error.empty()) R.Current_Round.Error = error;
}

void Note_Written(int64_t slot, uint64_t serial) {
    R.Copies[slot].Present = true;
    R.Copies[slot].Serial = serial;
    R.Current_Round.Changed_Anything = true;
    // Saved or closed while it was written: the copy is already out of date.
    if (!Is_Unsaved(slot)) Remove_Copy(slot);
}

// Joins the writing thread when it has finished (or, with `wait`, after it
// finishes, cancelled first when its document moved on meanwhile).
void Collect_Job(bool wait) {
    if (Job.Slot < 0) return;
    if (!wait && !Job.Done) return;
    if (wait && !(Is_Unsaved(Job.Slot) && Jobs[Job.Slot].Change_Serial == Job.Serial)) Job.Cancel = true;
    Job.Thread.join();
    int64_t slot = Job.Slot;
    Job.Slot = -1;
    if (Job.Ok)
        Note_Written(slot, Job.Serial);
    else if (!Job.Error.empty())
        Note_Failure(slot, Job.Error);
    Job.Json.clear();
}

// Ends a round: its log lines and, once, the warning.
void Finish_Round() {
    Round round = R.Current_Round;
    R.Current_Round = Round();
    if (!round.Active || (!round.Changed_Anything && round.Failures == 0)) return;
    int64_t unsaved = (int64_t)Unsaved_Jobs().size();
    if (round.Failures == 0) {
        R.Failure_Told = false;
        if (unsaved > 0) Log("Recovery: " + std::to_string(unsaved) + " unsaved documents kept");
        return;
    }
    Log("Recovery: " + std::to_string(round.Failures) + " of " + std::to_string(unsaved) +
        " unsaved documents could not be kept");
    if (R.Failure_Told) return;
    R.Failure_Told = true;
    Message_Box("Warning",
                "Unsaved documents could not be kept for recovery (" + round.Error +
                    "). Save them to keep your work.",
                MSG_ICON_WARNING);
}

void Start_Round() {
    Follow_Data_Folder();
    R.Current_Round.Active = true;
    Remove_Stale_Copies();
    for (int64_t slot : Unsaved_Jobs())
        if (Needs_Copy(slot) && std::find(R.Pending.begin(), R.Pending.end(), slot) == R.Pending.end())
            R.Pending.push_back(slot);
}

void Drop_Snapshot() {
    R.Snap.Member.reset();
    R.Snap.Slot = -1;
}

// The snapshot's document is still the one it started on, unchanged.
bool Snapshot_Valid() {
    const Snapshot& s = R.Snap;
    const Doc_Info& doc = Jobs[s.Slot].Doc;
    return Is_Unsaved(s.Slot) && Jobs[s.Slot].Change_Serial == s.Serial && doc.Image_Buffer.data() == s.Source &&
           doc.Image_Buffer.size() == s.Source_Size && doc.Resolution.x == s.Width && doc.Resolution.y == s.Height;
}

bool Pixels_Usable(const Doc_Info& doc) {
    return doc.Resolution.x > 0 && doc.Resolution.y > 0 &&
           doc.Image_Buffer.size() == (size_t)doc.Resolution.x * (size_t)doc.Resolution.y * 4 &&
           Member_Size(doc.Resolution.x, doc.Resolution.y) <= 0xFFFFFFFFull;
}

void Start_Snapshot(int64_t slot) {
    const Doc_Info& doc = Jobs[slot].Doc;
    if (!Pixels_Usable(doc)) {
        Note_Failure(slot, "the document has no picture");
        return;
    }
    Snapshot& s = R.Snap;
    // Not zero-filled: every byte is written by the slices.
    s.Member.reset(new (std::nothrow) uint8_t[Member_Size(doc.Resolution.x, doc.Resolution.y)]);
    if (!s.Member) {
        Note_Failure(slot, "out of memory");
        return;
    }
    s.Slot = slot;
    s.Serial = Jobs[slot].Change_Serial;
    s.Source = doc.Image_Buffer.data();
    s.Source_Size = doc.Image_Buffer.size();
    s.Width = doc.Resolution.x;
    s.Height = doc.Resolution.y;
    s.Rows_Done = 0;
    Bmp24_Header(s.Width, s.Height, s.Member.get());
}

// Takes rows until this pass's slice is used up; then hands the copy over.
void Continue_Snapshot() {
    Snapshot& s = R.Snap;
    if (!Snapshot_Valid()) {
        // Changed meanwhile: started again from its present state.
        int64_t slot = s.Slot;
        Drop_Snapshot();
        if (Needs_Copy(slot)) R.Pending.push_back(slot);
        return;
    }
    double until = Elapsed_Ms() + SLICE_MS;
    size_t stride = (size_t)Bmp24_Stride(s.Width);
    while (s.Rows_Done < s.Height && Elapsed_Ms() < until) {
        Bmp24_Row(s.Source, s.Width, s.Height, s.Rows_Done, s.Member.get() + BMP24_HEADER + (size_t)s.Rows_Done * stride);
        s.Rows_Done++;
    }
    if (s.Rows_Done < s.Height) return;
    Job.Slot = s.Slot;
    Job.Serial = s.Serial;
    Job.Json = Doc_To_Json(Jobs[s.Slot].Doc);
    Job.Path = R.Set + Copy_Name(s.Slot);
    Job.Member = std::move(s.Member);
    Job.Width = s.Width;
    Job.Height = s.Height;
    Job.Ok = false;
    Job.Error.clear();
    Job.Done = false;
    Job.Cancel = false;
    Drop_Snapshot();
    Job.Thread = std::thread(Writing_Thread);
}

// One step of the background round, every idle pass.
void Advance_Round() {
    Collect_Job(false);
    if (Job.Slot >= 0) return;  // one copy at a time bounds the memory
    if (R.Snap.Slot >= 0) {
        Continue_Snapshot();
        return;
    }
    while (!R.Pending.empty()) {
        int64_t slot = R.Pending.front();
        R.Pending.erase(R.Pending.begin());
        if (!Needs_Copy(slot)) continue;
        std::string error;
        if (!Ensure_Set(&error)) {
            Note_Failure(slot, error);
            continue;
        }
        Start_Snapshot(slot);
        if (R.Snap.Slot >= 0) return;
    }
    if (R.Current_Round.Active) Finish_Round();
}

// ------------------------------------------------------------ orphaned sets

// Takes the lock at `path` (a lock file, or the recovery folder for loose
// copies): -1 when its owner still runs or it cannot be opened.
int Take_Lock(const std::string& path, bool folder) {
    int fd = folder ? open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                    : open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// The sets nobody owns, locked, with their copies; loose copies first.
std::vector<Orphan_Set> Find_Orphan_Sets() {
    std::vector<Orphan_Set> sets;
    const std::string base = Recovery_Folder();
    std::vector<std::string> names = Folder_Entries(base);
    Orphan_Set loose;
    loose.Folder = base;
    loose.Legacy = true;
    for (const std::string& name : names)
        if (Looks_Like_Copy(base, name)) loose.Copies.push_back(name);
    if (!loose.Copies.empty() && (loose.Lock_Fd = Take_Lock(base, true)) >= 0) sets.push_back(loose);
    for (const std::string& name : names) {
        std::string folder = base + name + "/";
        struct stat st;
        if (name.rfind("set-", 0) != 0 || folder == R.Set || lstat((base + name).c_str(), &st) != 0 ||
            !S_ISDIR(st.st_mode))
            continue;
        Orphan_Set set;
        set.Folder = folder;
        if ((set.Lock_Fd = Take_Lock(folder + LOCK_NAME, false)) < 0) continue;
        for (const std::string& entry : Folder_Entries(folder))
            if (Looks_Like_Copy(folder, entry)) set.Copies.push_back(entry);
        sets.push_back(set);
    }
    return sets;
}

// Lets go of an orphaned set; one that holds nothing of ours any more goes,
// with the half-written copies a crash left in it.
void Release_Set(const Orphan_Set& set) {
    if (!set.Legacy) {
        bool empty = true;
        for (const std::string& name : Folder_Entries(set.Folder)) {
            if (name == LOCK_NAME) continue;
            if (name.rfind("Document ", 0) == 0 && Ends_With_No_Case(name, ".JQV.tmp"))
                unlink((set.Folder + name).c_str());
            else
                empty = false;
        }
        if (empty) {
            unlink((set.Folder + LOCK_NAME).c_str());
            rmdir(set.Folder.c_str());
        }
    }
    close(set.Lock_Fd);
}

struct Offered_Copy {
    size_t Set = 0;
    std::string Name;
};

std::vector<Offered_Copy> Offered_Copies(const std::vector<Orphan_Set>& sets) {
    std::vector<Offered_Copy> offered;
    for (size_t i = 0; i < sets.size(); i++)
        for (const std::string& name : sets[i].Copies)
            if (offered.size() < (size_t)MAX_FROZEN_JOBS) offered.push_back({i, name});
    return offered;
}

// A restored document's file becomes its copy in this program's set.
void Adopt_Copy(const std::string& path, int64_t slot) {
    std::string error;
    if (!Ensure_Set(&error)) {
        Log("Recovery: cannot keep " + path + ": " + error);
        return;
    }
    if (rename(path.c_str(), (R.Set + Copy_Name(slot)).c_str()) != 0) {
        Log("Recovery: cannot keep " + path + ": " + Error_Text(errno));
        return;
    }
    R.Copies[slot].Present = true;
    R.Copies[slot].Serial = Jobs[slot].Change_Serial;
}

}  // namespace

std::string Recovery_Folder() { return Program_Names.Data_Folder + "recovery/"; }

std::string Recovery_Set_Folder() {
    Follow_Data_Folder();
    return R.Set;
}

std::vector<std::string> Recovery_Files() {
    std::vector<std::string> paths;
    for (const std::string& name : Folder_Entries(Recovery_Set_Folder()))
        if (Ends_With_No_Case(name, ".JQV")) paths.push_back(R.Set + name);
    return paths;
}

std::vector<std::string> Recovery_Orphan_Files() {
    Follow_Data_Folder();
    std::vector<Orphan_Set> sets = Find_Orphan_Sets();
    std::vector<std::string> paths;
    for (const Offered_Copy& c : Offered_Copies(sets)) paths.push_back(sets[c.Set].Folder + c.Name);
    for (const Orphan_Set& set : sets) close(set.Lock_Fd);
    return paths;
}

bool Recovery_Write() {
    Collect_Job(true);
    Drop_Snapshot();
    R.Pending.clear();
    Start_Round();
    std::vector<int64_t> due = R.Pending;
    R.Pending.clear();
    for (int64_t slot : due) {
        std::string error;
        if (!Ensure_Set(&error)) {
            Note_Failure(slot, error);
            continue;
        }
        const Doc_Info& doc = Jobs[slot].Doc;
        if (!Pixels_Usable(doc)) {
            Note_Failure(slot, "the document has no picture");
            continue;
        }
        Pixel_Source src;
        src.Bgra = doc.Image_Buffer.data();
        src.Width = doc.Resolution.x;
        src.Height = doc.Resolution.y;
        if (Write_Copy(Doc_To_Json(doc), src, R.Set + Copy_Name(slot), nullptr, &error))
            Note_Written(slot, Jobs[slot].Change_Serial);
        else
            Note_Failure(slot, error);
    }
    bool ok = R.Current_Round.Failures == 0;
    Finish_Round();
    return ok;
}

void Recovery_Clear() {
    Job.Cancel = true;
    Collect_Job(true);
    Drop_Snapshot();
    R.Pending.clear();
    R.Current_Round = Round();
    Follow_Data_Folder();
    if (R.Set.empty()) return;
    for (int64_t slot = 1; slot < JOB_SLOTS; slot++)
        if (R.Copies[slot].Present) unlink((R.Set + Copy_Name(slot)).c_str());
    unlink((R.Set + LOCK_NAME).c_str());
    rmdir(R.Set.c_str());
    Close_Set();
    // Gone too when nothing else is left in it.
    rmdir(Recovery_Folder().c_str());
}

void Recovery_Tick(int64_t now_ms) {
    if (now_ms >= R.Next_Write_Ms) {
        R.Next_Write_Ms = now_ms + RECOVERY_INTERVAL_MS;
        Collect_Job(false);
        Start_Round();
    }
    if (R.Current_Round.Active || Job.Slot >= 0) Advance_Round();
}

bool Recovery_Busy() { return Job.Slot >= 0 || R.Snap.Slot >= 0 || !R.Pending.empty(); }

void Recovery_Offer() {
    Follow_Data_Folder();
    std::vector<Orphan_Set> sets = Find_Orphan_Sets();
    std::vector<Offered_Copy> offered = Offered_Copies(sets);
    if (!offered.empty()) {
        std::string text = offered.size() == 1 ? "Restore 1 document from the last session?"
                                               : "Restore " + std::to_string(offered.size()) +
                                                     " documents from the last session?";
        if (Message_Box("Message", text, MSG_YES_NO) != 1) {
            // A termination request while asking keeps them for the next start.
            if (!Prompt_Abort_Requested())
                for (const Offered_Copy& c : offered) unlink((sets[c.Set].Folder + c.Name).c_str());
        } else {
            int64_t restored = 0;
            for (const Offered_Copy& c : offered) {
                if (Prompt_Abort_Requested()) break;  // the rest stay for the next start
                // One that does not open stays where it is: it may be the only copy.
                std::string path = sets[c.Set].Folder + c.Name;
                if (!Open_Document_File(path, false)) continue;
                Mark_Document_Changed(Current_Job);
                Adopt_Copy(path, Current_Job);
                restored++;
            }
            Log("Recovery: " + std::to_string(restored) + " documents restored");
        }
    }
    for (const Orphan_Set& set : sets) Release_Set(set);
    // Gone too when nothing else is left in it.
    rmdir(Recovery_Folder().c_str());
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
