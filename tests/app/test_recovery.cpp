// Recovery copies: this program's set follows its unsaved documents, other
// running programs' sets are never touched, sets of programs that are gone
// are offered back, and a copy that cannot be written is said to have failed.
// Other programs are forked children of the test, which write their copies
// and then hold their set until they are killed, as a crash would end them.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/recovery.h"
#include "base/app_state.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "base/picture.h"
#include "document/doc_file.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"

namespace {

// Every test starts later than any tick of an earlier one: the module's due
// time outlives a test.
int64_t Test_Clock = (int64_t)1 << 40;
int64_t Fresh_Time() { return Test_Clock += 1000 * RECOVERY_INTERVAL_MS; }

std::vector<std::string> Names_In(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (struct dirent* e = readdir(dir))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

class Recovery : public ::testing::Test {
protected:
    Temp_Folder folder;
    void SetUp() override {
        Fresh_Main_Window();
        Data_Folder = folder.Path + "/";
    }
    void TearDown() override { Recovery_Clear(); }
};

// Another program with its unsaved documents copied, alive until End_Session.
struct Session {
    pid_t Pid = -1;
    bool Wrote = false;
};

template <typename Body>
Session Start_Session(Body body) {
    Session s;
    int ready[2];
    if (pipe(ready) != 0) return s;
    s.Pid = fork();
    if (s.Pid == 0) {
        close(ready[0]);
        Reset_Jobs();
        body();
        char ok = Recovery_Write() ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1) _exit(2);
        for (;;) pause();
    }
    close(ready[1]);
    char ok = 0;
    s.Wrote = read(ready[0], &ok, 1) == 1 && ok == 'y';
    close(ready[0]);
    return s;
}

void End_Session(Session* s) {
    if (s->Pid <= 0) return;
    kill(s->Pid, SIGKILL);
    waitpid(s->Pid, nullptr, 0);
    s->Pid = -1;
}

// Ticks at `now` until the background copy is done (a generous deadline).
bool Tick_Until_Idle(int64_t now) {
    auto start = std::chrono::steady_clock::now();
    Recovery_Tick(now);
    while (Recovery_Busy()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(120)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Recovery_Tick(now);
    }
    return true;
}

// The first blue value of a copy's picture, its tool count and size, "" unreadable.
std::string Copy_Summary(const std::string& path) {
    Doc_Info doc;
    Picture picture;
    if (!Read_Document_File(path, &doc, &picture) || picture.Pixels.empty()) return "";
    return std::to_string(picture.Pixels[0]) + "/" + std::to_string(doc.Tools.size()) + "/" +
           std::to_string(picture.Width) + "x" + std::to_string(picture.Height);
}

std::string Log_Text() {
    Log_Flush();
    std::ifstream in(Log_File_Path(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The periodic copy: only documents that changed since their copy are
// written, and copies of documents saved or closed meanwhile go.
TEST_F(Recovery, Copies_Follow_The_Unsaved_Documents) {
    Make_Document(0, 6, 4);
    for (int slot : {1, 2, 3}) Make_Document(slot, 6, 4, 80, (uint8_t)(10 * slot));
    Mark_Document_Changed(1);
    Mark_Document_Changed(3);
    const int64_t t0 = Fresh_Time();
    ASSERT_TRUE(Tick_Until_Idle(t0));
    const std::string set = Recovery_Set_Folder();
    ASSERT_EQ(set.rfind(Recovery_Folder() + "set-", 0), 0u) << set;
    EXPECT_EQ(Read_Whole_File(set + "lock"), std::to_string(getpid()) + "\n");
    EXPECT_EQ(Recovery_Files(), (std::vector<std::string>{set + "Document 1.JQV", set + "Document 3.JQV"}));
    EXPECT_EQ(Copy_Summary(set + "Document 3.JQV"), "30/0/6x4");

    // Each step: the copies the test removes (to see whether they are written
    // again), what changes, when the loop ticks, and the copies there are after.
    const int64_t I = RECOVERY_INTERVAL_MS;
    struct Step {
        const char* what;
        std::vector<int> removed;
        void (*change)();
        int64_t at;  // ms after t0; -1 the exit after a signal
        std::vector<int> copies;
    } steps[] = {
        {"nothing changed: nothing written", {1}, [] {}, I, {3}},
        {"changed, not due yet", {}, [] {
             Jobs[1].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 3, 0, 3));
             Mark_Document_Changed(1);
         }, 2 * I - 1, {3}},
        {"due: only the changed one", {3}, [] {}, 2 * I, {1}},
        {"changed again", {}, [] { Mark_Document_Changed(3); }, 3 * I, {1, 3}},
        {"saved: its copy goes", {}, [] { Mark_Document_Saved(3); }, 4 * I, {1}},
        {"a new document in a freed slot", {}, [] {
             Make_Document(3, 2, 2, 80, 90);
             Mark_Document_Changed(3);
         }, 5 * I, {1, 3}},
        {"closed: its copy goes", {}, [] { Close_Job(3); }, 6 * I, {1}},
        {"a signal: what changed is written, the rest kept", {1}, [] { Mark_Document_Changed(2); }, -1, {2}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        for (int slot : s.removed) remove((set + "Document " + std::to_string(slot) + ".JQV").c_str());
        s.change();
        if (s.at < 0)
            Recovery_At_Exit(true);
        else
            ASSERT_TRUE(Tick_Until_Idle(t0 + s.at));
        std::vector<std::string> expected;
        for (int slot : s.copies) expected.push_back(set + "Document " + std::to_string(slot) + ".JQV");
        EXPECT_EQ(Recovery_Files(), expected);
        if (std::string(s.what) == "due: only the changed one") {
            EXPECT_EQ(Copy_Summary(set + "Document 1.JQV"), "10/1/6x4") << "the copy has the latest state";
        }
    }
    EXPECT_EQ(Copy_Summary(set + "Document 2.JQV"), "20/0/6x4");
    EXPECT_FALSE(File_Exists(set + "Document 2.JQV.tmp"));

    // A clean exit removes the set, and the recovery folder with it.
    Recovery_At_Exit(false);
    EXPECT_FALSE(File_Exists(set));
    EXPECT_FALSE(File_Exists(Recovery_Folder()));
}

// The copy keeps the picture exactly, through the background copy and the
// direct one, at widths whose rows need padding and at odd sizes.
TEST_F(Recovery, Copies_Keep_The_Picture) {
    struct Case {
        int32_t w, h;
        bool background;
    } cases[] = {{1, 1, true}, {5, 3, false}, {7, 2, true}, {333, 257, true}, {333, 257, false}};
    int64_t t = Fresh_Time();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.background ? " background" : ""));
        Make_Document(1, c.w, c.h);
        std::vector<uint8_t>& px = Jobs[1].Doc.Image_Buffer;
        for (size_t i = 0; i < px.size(); i++) px[i] = (uint8_t)(i * 7 + i / 13);
        Mark_Document_Changed(1);
        if (c.background)
            ASSERT_TRUE(Tick_Until_Idle(t += RECOVERY_INTERVAL_MS));
        else
            ASSERT_TRUE(Recovery_Write());
        Doc_Info doc;
        Picture picture;
        ASSERT_TRUE(Read_Document_File(Recovery_Set_Folder() + "Document 1.JQV", &doc, &picture));
        ASSERT_EQ(picture.Width, c.w);
        ASSERT_EQ(picture.Height, c.h);
        ASSERT_EQ(picture.Pixels.size(), px.size());
        size_t wrong = 0;
        for (size_t i = 0; i < px.size(); i++)
            if (picture.Pixels[i] != (i % 4 == 3 ? 255 : px[i])) wrong++;
        EXPECT_EQ(wrong, 0u);
        EXPECT_FLOAT_EQ(doc.PPMM, 100);
    }
}

// A document replaced while its pixels are being taken (a big picture takes
// several passes) is copied whole from its new state, never half and half.
TEST_F(Recovery, A_Document_Replaced_While_Copied_Is_Copied_Whole) {
    const int64_t t = Fresh_Time();
    Make_Document(1, 4096, 4096, 100, 10);
    Mark_Document_Changed(1);
    Recovery_Tick(t);  // starts the copy
    Recovery_Tick(t);  // its first slice
    Close_Job(1);
    Make_Document(1, 4096, 4096, 100, 90);
    Jobs[1].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 3, 0, 3));
    Mark_Document_Changed(1);
    ASSERT_TRUE(Tick_Until_Idle(t));
    Doc_Info doc;
    Picture picture;
    ASSERT_TRUE(Read_Document_File(Recovery_Set_Folder() + "Document 1.JQV", &doc, &picture));
    ASSERT_FALSE(picture.Pixels.empty());
    // The old one when it was done before the change (a fast machine), else the new one.
    uint8_t blue = picture.Pixels[0];
    EXPECT_TRUE((blue == 10 && doc.Tools.empty()) || (blue == 90 && doc.Tools.size() == 1u)) << (int)blue;
    size_t other = 0;
    for (size_t i = 0; i < picture.Pixels.size(); i += 4)
        if (picture.Pixels[i] != blue) other++;
    EXPECT_EQ(other, 0u);
}

// Another running program's set is never touched; once it is gone, its
// copies, and loose ones of an older build, are offered. Only the copies
// restored or declined are removed; what is not a copy, and a copy that does
// not open, stay where they are.
TEST_F(Recovery, Sets_Of_Programs_That_Are_Gone_Come_Back) {
    struct Case {
        const char* what;
        int answer;  // to "Restore ...?"
        int64_t restored;
    } cases[] = {{"no", 0, 0}, {"yes", 1, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Temp_Folder data;
        Fresh_Main_Window();
        Data_Folder = data.Path + "/";
        // The other program: documents 1 and 2 unsaved, pictures 11 and 12.
        Session other = Start_Session([] {
            for (int slot : {1, 2}) {
                Make_Document(slot, 4, 3, 80, (uint8_t)(10 + slot));
                Mark_Document_Changed(slot);
            }
            Jobs[2].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 2, 0, 2));
        });
        ASSERT_TRUE(other.Wrote);
        // This one: three unsaved documents in the same slots and one more.
        for (int slot : {1, 2, 3}) {
            Make_Document(slot, 4, 3, 80, (uint8_t)(50 + slot));
            Mark_Document_Changed(slot);
        }
        ASSERT_TRUE(Recovery_Write());
        EXPECT_TRUE(Recovery_Orphan_Files().empty()) << "the other program still runs";
        Recovery_At_Exit(false);
        std::vector<std::string> sets;
        for (const std::string& name : Names_In(Recovery_Folder())) sets.push_back(name);
        ASSERT_EQ(sets.size(), 1u) << "only this program's own set is gone";
        const std::string theirs = Recovery_Folder() + sets[0] + "/";
        EXPECT_EQ(Copy_Summary(theirs + "Document 1.JQV"), "11/0/4x3");
        EXPECT_EQ(Copy_Summary(theirs + "Document 2.JQV"), "12/1/4x3");

        // It crashes. Beside its set: an older build's copy, one that is
        // damaged, and what is no copy at all.
        End_Session(&other);
        Reset_Jobs();
        Make_Document(0, 6, 4);
        Doc_Info loose_doc;
        Picture loose;
        loose.Width = loose.Height = 2;
        loose.Pixels.assign(16, 77);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(Build_Document_Archive(loose_doc, loose, &bytes));
        const std::string base = Recovery_Folder();
        ASSERT_TRUE(Write_File_Atomically(base + "Document 4.JQV", bytes));
        Write_Whole_File(base + "Document 5.JQV", std::string("PK\x03\x04", 4) + "damaged");
        for (int i = 0; i < 20; i++) Write_Whole_File(base + "junk " + std::to_string(i) + ".JQV", "junk");
        Write_Whole_File(base + "notes.txt", "mine");
        Write_Whole_File(theirs + "notes.txt", "mine too");
        EXPECT_EQ(Recovery_Orphan_Files(), (std::vector<std::string>{base + "Document 4.JQV", base + "Document 5.JQV",
                                                                     theirs + "Document 1.JQV",
                                                                     theirs + "Document 2.JQV"}));
        Clear_Prompt_History();
        Script_Prompt(c.answer);
        Recovery_Offer();
        ASSERT_FALSE(Prompt_History().empty());
        EXPECT_EQ(Prompt_History()[0].Text, "Restore 4 documents from the last session?");
        EXPECT_EQ(Prompt_History().size(), c.answer ? 2u : 1u) << "one error, for the damaged copy";
        ASSERT_EQ(Count_Open_Jobs(), c.restored);
        if (c.restored) {
            EXPECT_EQ(Jobs[1].Doc.Image_Buffer[0], 77);
            EXPECT_EQ(Jobs[2].Doc.Image_Buffer[0], 11);
            EXPECT_EQ(Jobs[3].Doc.Image_Buffer[0], 12);
            EXPECT_EQ(Jobs[3].Doc.Tools.size(), 1u);
            for (int64_t slot : {1, 2, 3}) {
                EXPECT_EQ(Jobs[slot].Changed, 1);
                EXPECT_EQ(Jobs[slot].File_Name, "");
            }
            // Their files are this program's copies now, and need no writing.
            const std::string mine = Recovery_Set_Folder();
            EXPECT_EQ(Recovery_Files(), (std::vector<std::string>{mine + "Document 1.JQV", mine + "Document 2.JQV",
                                                                  mine + "Document 3.JQV"}));
            EXPECT_EQ(Copy_Summary(mine + "Document 3.JQV"), "12/1/4x3");
            remove((mine + "Document 3.JQV").c_str());
            ASSERT_TRUE(Recovery_Write());
            EXPECT_FALSE(File_Exists(mine + "Document 3.JQV")) << "written again";
        }
        // Left alone: the damaged copy (it may be all there is), and everything else.
        EXPECT_EQ(File_Exists(base + "Document 5.JQV"), c.answer == 1);
        EXPECT_TRUE(File_Exists(base + "junk 19.JQV"));
        EXPECT_EQ(Read_Whole_File(base + "notes.txt"), "mine");
        EXPECT_EQ(Read_Whole_File(theirs + "notes.txt"), "mine too");
        EXPECT_FALSE(File_Exists(base + "Document 4.JQV"));
        EXPECT_FALSE(File_Exists(theirs + "Document 1.JQV"));
        EXPECT_TRUE(File_Exists(theirs + "lock")) << "its notes keep the set";
        Recovery_Clear();
    }
}

// A copy that cannot be written is a failure in the log, and told once.
TEST_F(Recovery, A_Failed_Copy_Is_Reported) {
    ASSERT_TRUE(Log_Open(folder.Path));
    struct Case {
        const char* what;
        bool background;
        std::string blocked;  // in the way: "recovery" a file there, "set" a folder as the temporary file
    } cases[] = {
        {"recovery folder is a file", false, "recovery"},
        {"the same again", true, "recovery"},
        {"temporary file is a folder", true, "set"},
    };
    int64_t t = Fresh_Time();
    size_t warnings_before = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Make_Document(1, 4, 4);
        Mark_Document_Changed(1);
        if (c.blocked == "recovery") {
            Write_Whole_File(Recovery_Folder().substr(0, Recovery_Folder().size() - 1), "in the way");
        } else {
            ASSERT_TRUE(Recovery_Write());  // the set exists now
            ASSERT_EQ(mkdir((Recovery_Set_Folder() + "Document 1.JQV.tmp").c_str(), 0700), 0);
            Mark_Document_Changed(1);
        }
        std::string log_before = Log_Text();
        if (c.background) {
            ASSERT_TRUE(Tick_Until_Idle(t += RECOVERY_INTERVAL_MS));
        } else {
            EXPECT_FALSE(Recovery_Write());
        }
        std::string log = Log_Text().substr(log_before.size());
        EXPECT_NE(log.find("Recovery: cannot write Document 1.JQV: "), std::string::npos) << log;
        EXPECT_NE(log.find("Recovery: 1 of "), std::string::npos) << log;
        EXPECT_EQ(log.find("unsaved documents kept"), std::string::npos) << log;
        size_t warnings = 0;
        for (const Prompt_Record& p : Prompt_History())
            if (p.Title == "Warning" && p.Text.find("could not be kept") != std::string::npos) warnings++;
        // Told once while it keeps failing; after a good copy, a new failure is told again.
        EXPECT_EQ(warnings, c.what == std::string("the same again") ? warnings_before : warnings_before + 1);
        warnings_before = warnings;
        if (c.blocked != "recovery") {
            rmdir((Recovery_Set_Folder() + "Document 1.JQV.tmp").c_str());
            EXPECT_TRUE(Recovery_Write());
            EXPECT_EQ(Copy_Summary(Recovery_Set_Folder() + "Document 1.JQV"), "200/0/4x4");
        }
        if (std::string(c.what) == "the same again") {
            remove(Recovery_Folder().substr(0, Recovery_Folder().size() - 1).c_str());
            EXPECT_TRUE(Recovery_Write()) << "the folder is free again";
        }
    }
    Log_Close();
}

}  // namespace
