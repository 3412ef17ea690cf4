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

#include <algorithm>
#include <chrono>
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

class Recovery : public ::testing::Test {
protected:
    Temp_Folder folder;
    void SetUp() override {
        Fresh_Main_Window();
        Program_Names.Data_Folder = folder.Path + "/";
    }
    void TearDown() override { Recovery_Clear(); }
};

// Another program with its unsaved documents copied, alive until it is
// killed; *set is its set folder ("" when its copies failed).
template <typename Body>
pid_t Start_Session(Body body, std::string* set) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        Reset_Jobs();
        body();
        std::string told = Recovery_Write() ? Recovery_Set_Folder() : "";
        if (write(ready[1], told.data(), told.size()) < 0) _exit(2);
        close(ready[1]);
        for (;;) pause();
    }
    close(ready[1]);
    char buffer[4096];
    ssize_t n = read(ready[0], buffer, sizeof buffer);
    *set = std::string(buffer, n > 0 ? (size_t)n : 0);
    close(ready[0]);
    return pid;
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
    return Read_Whole_File(Log_File_Path());
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

    // A clean exit removes the set, and the recovery folder with it.
    Recovery_At_Exit(false);
    EXPECT_FALSE(File_Exists(set));
    EXPECT_FALSE(File_Exists(Recovery_Folder()));
}

// The copy keeps the picture exactly, through the background copy and the
// direct one, at widths whose rows need padding. Replaced: a new document
// takes the slot after the copy's first slice (a big picture takes several
// passes); the copy then shows one of the two whole, never half of each.
TEST_F(Recovery, Copies_Keep_The_Picture) {
    struct Case {
        int32_t w, h;
        bool background, replaced;
    } cases[] = {{1, 1, true, false}, {5, 3, false, false}, {333, 257, true, false}, {333, 257, false, false},
                 {4096, 4096, true, true}};
    int64_t t = Fresh_Time();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.background ? " background" : ""));
        auto make = [&](int seed) {
            Make_Document(1, c.w, c.h);
            std::vector<uint8_t>& px = Jobs[1].Doc.Image_Buffer;
            for (size_t i = 0; i < px.size(); i++) px[i] = (uint8_t)(i * 7 + i / 13 + seed * 101);
            Mark_Document_Changed(1);
        };
        make(0);
        const std::vector<uint8_t> first = Jobs[1].Doc.Image_Buffer;
        if (c.background) {
            Recovery_Tick(t += RECOVERY_INTERVAL_MS);  // starts the copy
            Recovery_Tick(t);                          // its first slice
            if (c.replaced) {
                Close_Job(1);
                make(1);
                Jobs[1].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 3, 0, 3));
            }
            ASSERT_TRUE(Tick_Until_Idle(t));
        } else {
            ASSERT_TRUE(Recovery_Write());
        }
        Doc_Info doc;
        Picture picture;
        ASSERT_TRUE(Read_Document_File(Recovery_Set_Folder() + "Document 1.JQV", &doc, &picture));
        const std::vector<uint8_t>& px = doc.Tools.empty() ? first : Jobs[1].Doc.Image_Buffer;
        ASSERT_EQ(picture.Width, c.w);
        ASSERT_EQ(picture.Pixels.size(), px.size());
        size_t wrong = 0;
        for (size_t i = 0; i < px.size(); i++)
            if (picture.Pixels[i] != (i % 4 == 3 ? 255 : px[i])) wrong++;
        EXPECT_EQ(wrong, 0u);
    }
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
        Program_Names.Data_Folder = data.Path + "/";
        // The other program: documents 1 and 2 unsaved, pictures 11 and 12.
        std::string theirs;
        pid_t other = Start_Session([] {
            for (int slot : {1, 2}) {
                Make_Document(slot, 4, 3, 80, (uint8_t)(10 + slot));
                Mark_Document_Changed(slot);
            }
            Jobs[2].Doc.Tools.push_back(Make_Tool(TOOL_LINE, 0, 0, 2, 0, 2));
        }, &theirs);
        ASSERT_GT(other, 0);
        ASSERT_FALSE(theirs.empty());
        // This one: three unsaved documents in the same slots and one more.
        for (int slot : {1, 2, 3}) {
            Make_Document(slot, 4, 3, 80, (uint8_t)(50 + slot));
            Mark_Document_Changed(slot);
        }
        ASSERT_TRUE(Recovery_Write());
        EXPECT_TRUE(Recovery_Orphan_Files().empty()) << "the other program still runs";
        Recovery_At_Exit(false);
        EXPECT_EQ(Copy_Summary(theirs + "Document 1.JQV"), "11/0/4x3");
        EXPECT_EQ(Copy_Summary(theirs + "Document 2.JQV"), "12/1/4x3");

        // It crashes. Beside its set: an older build's copy, one that is
        // damaged, and what is no copy at all.
        kill(other, SIGKILL);
        waitpid(other, nullptr, 0);
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
            for (int64_t slot : {1, 2, 3}) EXPECT_TRUE(Jobs[slot].Changed && Jobs[slot].File_Name.empty()) << slot;
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
    const std::string folder_file = folder.Path + "/recovery";
    struct Case {
        const char* what;
        bool background, in_set;  // in_set: a folder in the way of the temporary file, else of the set
        bool warned;              // a new warning: the first failure after a good copy
    } cases[] = {
        {"recovery folder is a file", false, false, true},
        {"the same again: not told twice", true, false, false},
        {"temporary file is a folder, after a good copy", true, true, true},
    };
    int64_t t = Fresh_Time();
    size_t warnings = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Make_Document(1, 4, 4);
        if (c.in_set) {
            remove(folder_file.c_str());
            ASSERT_TRUE(Recovery_Write()) << "free again";
        }
        Mark_Document_Changed(1);
        std::string blocked = c.in_set ? Recovery_Set_Folder() + "Document 1.JQV.tmp" : folder_file;
        if (c.in_set)
            ASSERT_EQ(mkdir(blocked.c_str(), 0700), 0);
        else
            Write_Whole_File(blocked, "in the way");
        size_t logged = Log_Text().size();
        if (c.background) {
            ASSERT_TRUE(Tick_Until_Idle(t += RECOVERY_INTERVAL_MS));
        } else {
            EXPECT_FALSE(Recovery_Write());
        }
        std::string log = Log_Text().substr(logged);
        EXPECT_NE(log.find("Recovery: cannot write Document 1.JQV: "), std::string::npos) << log;
        EXPECT_NE(log.find("Recovery: 1 of 1 unsaved documents could not be kept"), std::string::npos) << log;
        EXPECT_EQ(log.find("unsaved documents kept"), std::string::npos) << log;
        if (c.warned) warnings++;
        EXPECT_EQ(std::count_if(Prompt_History().begin(), Prompt_History().end(),
                                [](const Prompt_Record& p) { return p.Title == "Warning"; }),
                  (long)warnings);
    }
    // Out of the way again: the copy is written.
    rmdir((Recovery_Set_Folder() + "Document 1.JQV.tmp").c_str());
    EXPECT_TRUE(Recovery_Write());
    EXPECT_EQ(Copy_Summary(Recovery_Set_Folder() + "Document 1.JQV"), "200/0/4x4");
    Log_Close();
}

}  // namespace
