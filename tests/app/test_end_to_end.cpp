// Starts the real program under the display of the test run (Xvfb in the
// suite), lets it run, ends it with SIGTERM (or as a user would) and checks
// the debug log and the preferences file it wrote. Every wait is for a
// condition (a log line, a marker file, the exit) with a generous deadline.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/image_io.h"
#include "base/picture.h"
#include "document/doc_file.h"
#include "document/doc_model.h"
#include "measure/results_table.h"
#include "support/temp_folder.h"

namespace {

const char* const Factory_File =
    "\xEF\xBB\xBF\r\n[Global]\r\nApplicationName = Trellum\r\nLastDevice = \r\nLastResolution = \r\n"
    "PPMM = 100.000000\r\nMeasureUnit = 2\r\nSnapToAngle = 1\r\nSnap_AngleTolerance = 3.000000\r\n"
    "SnapToEdge = 1\r\nSnap_EdgePixels = 12\r\nSnap_EdgeSensitivity = 64\r\nSnap_EdgeRadius = 12\r\n";

long File_Size_Of(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? (long)st.st_size : -1;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string Only_File_In(const std::string& folder, const std::string& suffix) {
    std::string found;
    std::string command = "ls '" + folder + "' 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p) return found;
    char line[1024];
    while (fgets(line, sizeof line, p)) {
        std::string name = line;
        if (!name.empty() && name.back() == '\n') name.pop_back();
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            found = folder + "/" + name;
    }
    pclose(p);
    return found;
}

// Generous on purpose: the suite must pass on a loaded 2-core machine,
// where the sanitizer build needs many seconds to bring the window up.
const double Deadline_Seconds = 120;

double Seconds_Since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Polls `done` every 50 ms until it holds or the deadline passes.
template <typename Condition>
bool Wait_Until(Condition done, double seconds = Deadline_Seconds) {
    auto start = std::chrono::steady_clock::now();
    while (!done()) {
        if (Seconds_Since(start) > seconds) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Starts `program` (a file of the build folder) in `folder` with the data
// folder below it; its stdout goes to stdout.txt there. Without a display
// the child has no DISPLAY or WAYLAND_DISPLAY.
pid_t Start_Program(const Temp_Folder& folder, const std::string& program, const std::vector<std::string>& args,
                    bool without_display = false) {
    std::string path = std::string(TRELLUM_BINARY_DIR) + "/" + program;
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.Path.c_str()) != 0) _exit(90);
        setenv("XDG_CONFIG_HOME", (folder.Path + "/config").c_str(), 1);
        setenv("GSETTINGS_BACKEND", "memory", 0);
        if (without_display) {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
        }
        // Kept for the failure message (a sanitizer report lands here too).
        if (!freopen((folder.Path + "/stderr.txt").c_str(), "w", stderr)) _exit(92);
        if (!freopen((folder.Path + "/stdout.txt").c_str(), "w", stdout)) _exit(93);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(91);
    }
    return pid;
}

// Waits for the program to end by itself; returns its exit status, or -1
// when it had to be killed after the deadline.
int Wait_For_Exit(pid_t pid) {
    int status = 0;
    if (Wait_Until([&] { return waitpid(pid, &status, WNOHANG) == pid; })) return status;
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

int Count_Timing_Lines(const std::vector<std::string>& log) {
    int n = 0;
    for (const std::string& line : log)
        if (line.rfind("Time, ", 0) == 0 && line.find(" ms,  Capture; ") != std::string::npos) n++;
    return n;
}

// What the program wrote to stderr, for failure messages.
std::string Stderr_Of(const Temp_Folder& folder) { return Read_Whole_File(folder.File("stderr.txt")); }

std::vector<std::string> Log_Of(const Temp_Folder& folder) {
    std::string path = Only_File_In(folder.Path + "/Logs", " - DebugLog.txt");
    return path.empty() ? std::vector<std::string>() : Lines(Read_Whole_File(path));
}

TEST(End_To_End, Start_Run_And_Terminate) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display (the suite runs under Xvfb)";
    Temp_Folder folder;
    auto started = std::chrono::steady_clock::now();
    pid_t pid = Start_Program(folder, "trellum", {"--no-splash"});
    ASSERT_GT(pid, 0);
    // The log reaches the disk with each timing line, while the program runs.
    bool two_lines = Wait_Until([&] { return Count_Timing_Lines(Log_Of(folder)) >= 2; });
    double ran = Seconds_Since(started);
    kill(pid, SIGTERM);
    int status = Wait_For_Exit(pid);
    ASSERT_TRUE(two_lines) << "no two timing lines in the log within " << Deadline_Seconds << " s\n"
                           << Stderr_Of(folder);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << Stderr_Of(folder);
    EXPECT_EQ(WEXITSTATUS(status), 0) << Stderr_Of(folder);

    std::vector<std::string> log = Log_Of(folder);
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[0], "Trellum");
    EXPECT_EQ(log[1], "v0.241202");
    EXPECT_EQ(log[2], folder.Path + "/config/Trellum/");
    EXPECT_EQ(log[3], "Prefs_SaveInitial");
    EXPECT_EQ(log[4], "Prefs_Load");
    // At most one timing line a second of the run (and the one more it may
    // write before the signal is seen).
    EXPECT_LE(Count_Timing_Lines(log), (int)(Seconds_Since(started) + 1.0)) << "ran " << ran << " s";
    EXPECT_EQ(log[log.size() - 3], "gText finishing");
    EXPECT_EQ(log[log.size() - 2], "GLip finishing");
    EXPECT_EQ(log[log.size() - 1], "ended...");

    EXPECT_EQ(Read_Whole_File(folder.Path + "/config/Trellum/Orbisk.prefs"), Factory_File);
    EXPECT_FALSE(Only_File_In(folder.Path + "/Logs", "fontDef - Canvas.png").empty());
    // Nothing was measured: nothing to recover, and no file of named calibrations yet.
    EXPECT_EQ(File_Size_Of(folder.Path + "/config/Trellum/recovery"), -1);
    EXPECT_EQ(File_Size_Of(folder.Path + "/config/Trellum/calibrations.json"), -1);
}

// The program ends in order however it is asked to, with a child window or a
// modal prompt open: exit code 0 (the sanitizer build fails a run on any use
// of freed memory) and the whole log on disk, ending with the shutdown lines.
TEST(End_To_End, Ends_In_Order_With_A_Window_Or_Prompt_Open) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display (the suite runs under Xvfb)";
    struct Case {
        std::string What, Ending;  // ending "": the test sends SIGTERM
        std::string Shown;         // the marker: the window or the prompt's title
    } cases[] = {
        {"settings", "", "Video Settings"},
        {"settings", "exit", "Video Settings"},
        {"settings", "close-box", "Video Settings"},
        {"save", "", "Error"},
        {"close-all", "", "Message"},
        {"open", "", "Choose file to load"},
        {"export-image", "", "Please choose file to save"},
        {"export-results", "", "Export results"},
        {"about", "", "About"},
        {"shortcuts", "", "Keyboard shortcuts"},
        {"calibrate", "", "Calibration"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What + " " + (c.Ending.empty() ? "SIGTERM" : c.Ending));
        Temp_Folder folder;
        std::string marker = folder.File("shown.txt");
        std::vector<std::string> args = {c.What, marker};
        if (!c.Ending.empty()) args.push_back(c.Ending);
        pid_t pid = Start_Program(folder, "trellum_scripted", args);
        ASSERT_GT(pid, 0);
        int status = 0;
        bool exited = false;
        Wait_Until([&] { return File_Size_Of(marker) >= 0 || (exited = waitpid(pid, &status, WNOHANG) == pid); });
        EXPECT_GE(File_Size_Of(marker), 0) << (exited ? "ended before" : "nothing") << " shown, status " << status
                                           << "\n" << Stderr_Of(folder);
        EXPECT_EQ(Read_Whole_File(marker), c.Shown);
        if (!exited) {
            if (c.Ending.empty()) kill(pid, SIGTERM);
            status = Wait_For_Exit(pid);
        }
        ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << Stderr_Of(folder);
        EXPECT_EQ(WEXITSTATUS(status), 0) << Stderr_Of(folder);
        std::vector<std::string> log = Log_Of(folder);
        ASSERT_GE(log.size(), 8u);
        EXPECT_EQ(log[4], "Prefs_Load");
        EXPECT_GE(Count_Timing_Lines(log), 1);
        EXPECT_EQ(log[log.size() - 3], "gText finishing");
        EXPECT_EQ(log[log.size() - 2], "GLip finishing");
        EXPECT_EQ(log[log.size() - 1], "ended...");
    }
}

// The batch commands on saved documents, without a display: a file that is
// not a document and one that is missing are named on stderr with a reason,
// the others still count, and the run ends with exit 1.
TEST(End_To_End, Batch_Commands_On_Saved_Documents) {
    Temp_Folder folder;
    Doc_Info a, b;
    a.PPMM = 10;
    a.Measure_Unit = 2;
    for (float w : {20.0f, 40.0f}) {
        Tool box;
        box.Type = TOOL_BOX;
        box.X_End = w;
        box.Y_End = 10;
        a.Tools.push_back(box);
    }
    b.PPMM = 5000;
    b.Measure_Unit = 0;
    Tool blob;
    blob.Type = TOOL_BLOB;
    blob.X_End = 29;
    blob.Y_End = 24;
    blob.Area = 497;
    b.Tools.push_back(blob);
    Picture picture;
    picture.Width = 4;
    picture.Height = 3;
    picture.Pixels.assign(4 * 3 * 4, 255);
    std::string saved_b;
    for (auto doc : {std::make_pair(&a, "a.jqv"), std::make_pair(&b, "b.jqv")}) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(Build_Document_Archive(*doc.first, picture, &bytes));
        ASSERT_TRUE(Write_File_Atomically(folder.File(doc.second), bytes));
        saved_b.assign(bytes.begin(), bytes.end());
    }
    Write_Whole_File(folder.File("broken.jqv"), "not a zip archive");
    ASSERT_EQ(symlink("b.jqv", folder.File("link.csv").c_str()), 0);
    // A full device of our own where we may make one, so that a fault that
    // replaced it would not replace the system's.
    std::string full = folder.File("full");
    if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) full = "/dev/full";

    // What the readable ones must give: documents numbered by their place on the line.
    std::vector<Results_Row> rows;
    Append_Results_Rows(1, "a.jqv", a, &rows);
    Append_Results_Rows(3, "b.jqv", b, &rows);
    struct Run {
        std::vector<std::string> args;
        int exit_code;
        std::string out_file, out_text;  // out_file "": stdout
        std::vector<std::string> named;  // on stderr
    } runs[] = {
        {{"--export-results", "out.csv", "a.jqv", "broken.jqv", "b.jqv", "missing.jqv"}, 1, "out.csv",
         Results_Csv_Text(rows), {"broken.jqv: not a readable document file", "missing.jqv: No such file"}},
        {{"--summary", "a.jqv", "broken.jqv", "b.jqv"}, 1, "", Summary_Csv_Text(rows), {"broken.jqv: "}},
        {{"--export-results", "folder-not-there/out.csv", "a.jqv"}, 1, "", "", {"folder-not-there/out.csv: "}},
        {{"--export-results", "b.jqv", "a.jqv", "b.jqv"}, 2, "b.jqv", saved_b, {"b.jqv: is the input file b.jqv"}},
        {{"--export-results", "link.csv", "b.jqv"}, 2, "b.jqv", saved_b, {"link.csv: is the input file b.jqv"}},
        {{"--export-results", "-", "a.jqv", "broken.jqv", "b.jqv"}, 1, "", Results_Csv_Text(rows), {"broken.jqv: "}},
        {{"--export-results", "/dev/stdout", "a.jqv", "broken.jqv", "b.jqv"}, 1, "", Results_Csv_Text(rows),
         {"broken.jqv: "}},
        {{"--export-results", full, "a.jqv"}, 1, "", "", {full + ": the results table cannot be written"}},
        {{"--summary", "b.jqv"}, 0, "", "", {}},  // last: its stdout is read below
    };
    std::vector<Results_Row> b_alone;
    Append_Results_Rows(1, "b.jqv", b, &b_alone);
    runs[sizeof runs / sizeof runs[0] - 1].out_text = Summary_Csv_Text(b_alone);
    for (const Run& r : runs) {
        SCOPED_TRACE(r.args[0] + " " + r.args[1]);
        pid_t pid = Start_Program(folder, "trellum", r.args, true);
        ASSERT_GT(pid, 0);
        int status = Wait_For_Exit(pid);
        std::string err = Stderr_Of(folder);
        ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << err;
        EXPECT_EQ(WEXITSTATUS(status), r.exit_code) << err;
        if (!r.out_text.empty()) {
            EXPECT_EQ(Read_Whole_File(folder.File(r.out_file.empty() ? "stdout.txt" : r.out_file)), r.out_text);
        }
        for (const std::string& n : r.named) EXPECT_NE(err.find("trellum: " + n), std::string::npos) << err;
        if (r.named.empty()) {
            EXPECT_EQ(err, "");
        }
    }
    struct stat st;
    EXPECT_TRUE(lstat(folder.File("link.csv").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_TRUE(stat(full.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) << full << " is still the device";
    // The blob's area is its count (497 x 0.2 um x 0.2 um), not its box.
    EXPECT_NE(Read_Whole_File(folder.File("stdout.txt")).find(",blob,um,area,1,19.88,,19.88,19.88\n"),
              std::string::npos);
    // A batch run opens no window and leaves no preferences or log behind.
    EXPECT_EQ(File_Size_Of(folder.File("config")), -1);
    EXPECT_EQ(File_Size_Of(folder.File("Logs")), -1);
}

// No lost work: a measurement on the live picture, then the end by a signal
// (SIGHUP: the terminal closed); the next start offers the document back
// and, answered Yes, has it with its line, and so does the start after it.
TEST(End_To_End, Unsaved_Work_Comes_Back_After_A_Signal) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display (the suite runs under Xvfb)";
    Temp_Folder folder;
    const std::string recovery = folder.Path + "/config/Trellum/recovery";
    // The copy of document 1 in whichever set the last program left.
    auto copy_size = [&] {
        long size = -1;
        std::string command = "ls '" + recovery + "' 2>/dev/null";
        FILE* p = popen(command.c_str(), "r");
        char line[1024];
        while (p && fgets(line, sizeof line, p)) {
            std::string name = line;
            if (!name.empty() && name.back() == '\n') name.pop_back();
            if (name.rfind("set-", 0) == 0) size = std::max(size, File_Size_Of(recovery + "/" + name + "/Document 1.JQV"));
        }
        if (p) pclose(p);
        return size;
    };
    struct Run {
        const char* what;
        int signal;
        const char* shown;
    } runs[] = {
        {"measure", SIGHUP, "Measured"},
        {"restore", SIGTERM, "Restore 1 document from the last session?|1|1|200"},
        {"restore", SIGHUP, "Restore 1 document from the last session?|1|1|200"},
    };
    int n = 0;
    for (const Run& r : runs) {
        SCOPED_TRACE(std::string(r.what) + " " + std::to_string(r.signal));
        std::string marker = folder.File("shown" + std::to_string(n++) + ".txt");
        pid_t pid = Start_Program(folder, "trellum_scripted", {r.what, marker});
        ASSERT_GT(pid, 0);
        int status = 0;
        bool exited = false;
        Wait_Until([&] { return File_Size_Of(marker) >= 0 || (exited = waitpid(pid, &status, WNOHANG) == pid); });
        EXPECT_EQ(Read_Whole_File(marker), r.shown) << Stderr_Of(folder);
        if (!exited) {
            kill(pid, r.signal);
            status = Wait_For_Exit(pid);
        }
        ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << Stderr_Of(folder);
        EXPECT_EQ(WEXITSTATUS(status), 0) << Stderr_Of(folder);
        std::vector<std::string> log = Log_Of(folder);
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log[log.size() - 1], "ended...");
        // Still unsaved at the signal: the copy stays for the next start.
        EXPECT_GT(copy_size(), 0);
    }
}

// Camera mode from the command line with a hardware-free source: frames
// arrive (the capture stage time is above 0), the camera shutdown runs in
// order, and the source is not remembered in the preferences.
TEST(End_To_End, Camera_From_The_Command_Line) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display (the suite runs under Xvfb)";
    Temp_Folder folder;
    pid_t pid = Start_Program(folder, "trellum", {"--no-splash", "--camera", "gst:videotestsrc pattern=smpte"});
    ASSERT_GT(pid, 0);
    auto captured = [&] {
        for (const std::string& line : Log_Of(folder))
            if (line.rfind("Time, ", 0) == 0 && line.find("Capture; 0.0(") == std::string::npos) return true;
        return false;
    };
    bool frames = Wait_Until(captured);
    kill(pid, SIGTERM);
    int status = Wait_For_Exit(pid);
    ASSERT_TRUE(frames) << "no capture time in the log\n" << Stderr_Of(folder);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << Stderr_Of(folder);
    EXPECT_EQ(WEXITSTATUS(status), 0) << Stderr_Of(folder);
    std::vector<std::string> log = Log_Of(folder);
    auto index_of = [&](const std::string& text) {
        for (size_t i = 0; i < log.size(); i++)
            if (log[i] == text) return (int)i;
        return -1;
    };
    EXPECT_GE(index_of("Camera started: gst:videotestsrc pattern=smpte"), 0);
    EXPECT_GE(index_of("Was waiting, now capturing..."), 0);
    int stopping = index_of("Stopping Video");
    ASSERT_GE(stopping, 0);
    EXPECT_GT(index_of("Closing Video"), stopping);
    EXPECT_GT(index_of("Closed Video"), index_of("Closing Video"));
    EXPECT_EQ(index_of("Camera still closing"), -1) << "the device closes within the shutdown's wait";
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 1], "ended...");
    std::string prefs = Read_Whole_File(folder.Path + "/config/Trellum/Orbisk.prefs");
    EXPECT_NE(prefs.find("\r\nLastDevice = \r\nLastResolution = \r\n"), std::string::npos) << prefs;
}

// A camera that never delivers a frame: the program keeps running while it
// starts (timing lines keep coming), and SIGTERM ends it at once instead of
// after the component's waits for the first frame.
TEST(End_To_End, SIGTERM_While_A_Camera_Starts) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display (the suite runs under Xvfb)";
    Temp_Folder folder;
    pid_t pid = Start_Program(folder, "trellum",
                              {"--no-splash", "--camera", "gst:videotestsrc is-live=true ! identity sleep-time=60000000"});
    ASSERT_GT(pid, 0);
    auto starting = [&] {
        int opening = -1, lines_after = 0;
        std::vector<std::string> log = Log_Of(folder);
        for (size_t i = 0; i < log.size(); i++) {
            if (log[i].rfind("Opening camera: ", 0) == 0) opening = (int)i;
            if (opening >= 0 && log[i].rfind("Time, ", 0) == 0) lines_after++;
        }
        return lines_after >= 2;
    };
    bool loop_ran = Wait_Until(starting);
    auto signalled = std::chrono::steady_clock::now();
    kill(pid, SIGTERM);
    int status = Wait_For_Exit(pid);
    double took = Seconds_Since(signalled);
    ASSERT_TRUE(loop_ran) << "no timing lines while the camera started\n" << Stderr_Of(folder);
    ASSERT_TRUE(WIFEXITED(status)) << status << "\n" << Stderr_Of(folder);
    EXPECT_EQ(WEXITSTATUS(status), 0) << Stderr_Of(folder);
    // Generous for a loaded machine; a start that held the program up took 9 s and more.
    EXPECT_LT(took, 5.0);
    std::vector<std::string> log = Log_Of(folder);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 1], "ended...");
    bool stopping = false, started = false;
    for (const std::string& line : log) {
        stopping |= line == "Stopping Video";
        started |= line.rfind("Camera started", 0) == 0;
    }
    EXPECT_TRUE(stopping);
    EXPECT_FALSE(started);
}

// The camera list needs no display and opens no window; a bad option is a usage error.
TEST(End_To_End, Camera_List_Without_A_Display) {
    Temp_Folder folder;
    std::string program = std::string(TRELLUM_BINARY_DIR) + "/trellum";
    std::string run = "cd '" + folder.Path + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" + program + "'";
    int status = system((run + " --list-cameras > list.txt 2> err.txt").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << Read_Whole_File(folder.File("err.txt"));
    // Every line names a device and its sizes ("name (node): 640x480 ...").
    std::string list = Read_Whole_File(folder.File("list.txt"));
    for (size_t start = 0; start < list.size();) {
        size_t end = list.find('\n', start);
        std::string line = list.substr(start, end - start);
        EXPECT_NE(line.find(':'), std::string::npos) << line;
        start = end == std::string::npos ? list.size() : end + 1;
    }
    EXPECT_EQ(File_Size_Of(folder.Path + "/Logs"), -1) << "no log: the window program never started";
    status = system((run + " --list-cameras --camera /dev/video0 > list.txt 2> err.txt").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(Read_Whole_File(folder.File("err.txt")).find("usage: trellum"), std::string::npos);
}

}  // namespace
