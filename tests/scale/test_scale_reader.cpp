#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/debug_log.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "scale/scale_reader.h"

namespace {

// A pseudo-terminal playing the scale: the program opens the slave side as
// its serial port 0, the test writes replies to and reads requests from the master.
class ScaleReader : public ::testing::Test {
protected:
    int master = -1;
    void SetUp() override {
        Null_Reset();
        Clear_Prompt_Script();
        Clear_Prompt_History();
        Serial_Close(SCALE_PORT);
        Scale_Reading = 0;
        Scale_Checked = 1;  // the first-poll check has its own test
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        ASSERT_TRUE(Serial_Open(SCALE_PORT, ptsname(master)));
    }
    void TearDown() override {
        Serial_Close(SCALE_PORT);
        if (master >= 0) close(master);
        Scale_Checked = 0;
        Scale_Reading = 0;
    }
    // Sends bytes as the scale and waits until the port sees all of them.
    void Scale_Says(const std::string& text) {
        int64_t before = Serial_Available(SCALE_PORT);
        ASSERT_EQ(write(master, text.data(), text.size()), (ssize_t)text.size());
        for (int i = 0; i < 2000 && Serial_Available(SCALE_PORT) < before + (int64_t)text.size(); i++) usleep(1000);
        ASSERT_EQ(Serial_Available(SCALE_PORT), before + (int64_t)text.size());
    }
    // Everything the program has sent to the scale so far.
    std::string Requests() {
        std::string got;
        char buffer[256];
        while (true) {
            struct pollfd p = {master, POLLIN, 0};
            if (poll(&p, 1, got.empty() ? 200 : 20) <= 0) break;
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, (size_t)n);
        }
        return got;
    }
};

TEST_F(ScaleReader, LastCompleteLineIsTheReading) {
    struct Case {
        std::string reply;
        float before, expected;
    } cases[] = {
        {"12345\r\n12346\r\n", 0, 123.46f},
        {"-250\r\n-24", 0, -2.50f},       // the partial line is dropped
        {"", 7.5f, 7.5f},                 // nothing received: previous value
        {"99", 7.5f, 7.5f},               // no complete line
        {"abc\r\n", 7.5f, 0},             // unparsable reads as 0
        {"+15 mm\r\n", 0, 0.15f},
        {"\r\n", 3, 0},
        {"1\r\n\r\n", 3, 0},              // the last line is the empty one
        {"  -7\r\n", 0, -0.07f},
    };
    for (const Case& c : cases) {
        Scale_Reading = c.before;
        if (!c.reply.empty()) Scale_Says(c.reply);
        float got = Read_Scale(SCALE_PORT, 2000);
        EXPECT_EQ(got, c.expected) << c.reply;
        EXPECT_EQ(Scale_Reading, c.expected);
        EXPECT_EQ(Serial_Available(SCALE_PORT), 0) << "all waiting input is taken";
        EXPECT_EQ(Requests(), "!A\r\n") << "exactly one request per poll";
    }
    EXPECT_TRUE(Prompt_History().empty());
}

TEST_F(ScaleReader, FirstPollChecksTheLimitOnce) {
    struct Case {
        const char* reply;
        bool warns;
    } cases[] = {{"200001\r\n", true}, {"200000\r\n", false}, {"-200001\r\n", true}, {"", false}};
    for (const Case& c : cases) {
        Scale_Checked = 0;
        Scale_Reading = 0;
        Clear_Prompt_History();
        if (*c.reply) Scale_Says(c.reply);
        Read_Scale(SCALE_PORT, 2000);
        EXPECT_EQ(Scale_Checked, 1);
        ASSERT_EQ(Prompt_History().size(), c.warns ? 1u : 0u) << c.reply;
        if (c.warns) {
            EXPECT_EQ(Prompt_History()[0].Title, "Warning");
            EXPECT_EQ(Prompt_History()[0].Text,
                      "Initial value outside of reasonable expections, please check / zero scale");
            EXPECT_TRUE(Prompt_History()[0].Flags & MSG_ICON_WARNING);
        }
        // Later polls never warn, whatever they read.
        Scale_Says("999999\r\n");
        EXPECT_FLOAT_EQ(Read_Scale(SCALE_PORT, 2000), 9999.99f);
        EXPECT_EQ(Prompt_History().size(), c.warns ? 1u : 0u);
        Requests();
    }
}

TEST_F(ScaleReader, ClearSendAndLogLines) {
    const char* base = getenv("TMPDIR");
    std::string folder_pattern = std::string(base && *base ? base : "/tmp") + "/trellum-scale-XXXXXX";
    std::vector<char> name(folder_pattern.begin(), folder_pattern.end());
    name.push_back(0);
    ASSERT_NE(mkdtemp(name.data()), nullptr);
    std::string folder = name.data();
    ASSERT_TRUE(Log_Open(folder));

    Scale_Says("stale 1\r\n");
    Scale_Send("!A", true);
    EXPECT_EQ(Serial_Available(SCALE_PORT), 0);
    EXPECT_EQ(Requests(), "!A\r\n");
    Scale_Send("Z", false);
    EXPECT_EQ(Requests(), "Z\r\n");
    EXPECT_EQ(Scale_Response(), "");
    Serial_Close(SCALE_PORT);
    EXPECT_EQ(Read_Scale(SCALE_PORT, 2000), 0.0f);
    Log_Flush();

    std::ifstream f(Log_File_Path(), std::ios::binary);
    std::string log((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("Cleared Serial: stale 1\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("No SerialInput() available from Response() function"), std::string::npos);
    EXPECT_NE(log.find("Lost Serial??"), std::string::npos);
    std::string path = Log_File_Path();
    Log_Close();
    unlink(path.c_str());
    rmdir((folder + "/Logs").c_str());
    rmdir(folder.c_str());
}

}  // namespace
