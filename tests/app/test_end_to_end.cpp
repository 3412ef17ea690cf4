// Starts the real program under the display of the test run (Xvfb in the
// suite), lets it run, ends it with SIGTERM and checks the debug log and the
// preferences file it wrote.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace {

const char* const Factory_File =
    "\xEF\xBB\xBF\r\n[Global]\r\nApplicationName = Trellum\r\nLastDevice = \r\nLastResolution = \r\n"
    "PPMM = 100.000000\r\nMeasureUnit = 2\r\nSnapToAngle = 1\r\nSnap_AngleTolerance = 3.000000\r\n"
    "SnapToEdge = 1\r\nSnap_EdgePixels = 12\r\nSnap_EdgeSensitivity = 64\r\nSnap_EdgeRadius = 12\r\n";

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

// Runs the program in `folder` for `seconds`, then sends SIGTERM; returns its exit status.
int Run_Program_For(const Temp_Folder& folder, int seconds) {
    std::string program = std::string(TRELLUM_BINARY_DIR) + "/trellum";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.Path.c_str()) != 0) _exit(90);
        setenv("XDG_CONFIG_HOME", (folder.Path + "/config").c_str(), 1);
        execl(program.c_str(), program.c_str(), (char*)nullptr);
        _exit(91);
    }
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; i++) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(End_To_End, Start_Run_And_Terminate) {
    if (!getenv("DISPLAY")) GTEST_SKIP() << "needs a display (the suite runs under Xvfb)";
    Temp_Folder folder;
    int status = Run_Program_For(folder, 8);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::string log_path = Only_File_In(folder.Path + "/Logs", " - DebugLog.txt");
    ASSERT_FALSE(log_path.empty());
    std::vector<std::string> log = Lines(Read_Whole_File(log_path));
    ASSERT_GE(log.size(), 8u);
    EXPECT_EQ(log[0], "Trellum");
    EXPECT_EQ(log[1], "v0.241202");
    EXPECT_EQ(log[2], folder.Path + "/config/Trellum/");
    EXPECT_EQ(log[3], "Prefs_SaveInitial");
    EXPECT_EQ(log[4], "Prefs_Load");
    int timing_lines = 0;
    for (const std::string& line : log)
        if (line.rfind("Time, ", 0) == 0 && line.find(" ms,  Capture; ") != std::string::npos) timing_lines++;
    EXPECT_GE(timing_lines, 2);  // about one per second once the window is up
    EXPECT_LE(timing_lines, 9);
    EXPECT_EQ(log[log.size() - 3], "gText finishing");
    EXPECT_EQ(log[log.size() - 2], "GLip finishing");
    EXPECT_EQ(log[log.size() - 1], "ended...");

    EXPECT_EQ(Read_Whole_File(folder.Path + "/config/Trellum/Orbisk.prefs"), Factory_File);
    EXPECT_FALSE(Only_File_In(folder.Path + "/Logs", "fontDef - Canvas.png").empty());
}

}  // namespace
