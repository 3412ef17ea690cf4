#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>

#include "base/debug_log.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "scale/scale_reader.h"

namespace {

// A pseudo-terminal plays the scale: the program opens the slave side as its
// serial port 0; the test writes replies to, and reads requests from, the master.
class ScaleReader : public ::testing::Test {
protected:
    int master = -1;
    void SetUp() override {
        Null_Reset();
        Clear_Prompt_Script();
        Clear_Prompt_History();
        Scale_Reading = 0;
        Scale_Checked = 1;  // the first-poll check has its own test
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        ASSERT_TRUE(Serial_Open(SCALE_PORT, ptsname(master)));
    }
    void TearDown() override {
        Serial_Close(SCALE_PORT);
        close(master);
        Scale_Checked = 0;
    }
    void Scale_Says(const std::string& text) {
        ASSERT_EQ(write(master, text.data(), text.size()), (ssize_t)text.size());
        // Generous deadline: the pseudo-terminal may be slow on a loaded machine.
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (Serial_Available(SCALE_PORT) < (int64_t)text.size() && std::chrono::steady_clock::now() < until)
            usleep(1000);
        ASSERT_EQ(Serial_Available(SCALE_PORT), (int64_t)text.size());
    }
    std::string Requests() {
        std::string got;
        char buffer[256];
        struct pollfd p = {master, POLLIN, 0};
        while (poll(&p, 1, got.empty() ? 500 : 20) > 0) {
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
        {"12345\r\n12346\r\n", 0, 123.46f}, {"-250\r\n-24", 0, -2.50f},  // the partial line is dropped
        {"", 7.5f, 7.5f},                                                // nothing: the previous value
        {"99", 7.5f, 7.5f},                 {"abc\r\n", 7.5f, 0},         // unparsable reads as 0
        {"  +15 mm\r\n", 0, 0.15f},         {"1\r\n\r\n", 3, 0},          // the last line is the empty one
    };
    for (const Case& c : cases) {
        Scale_Reading = c.before;
        if (!c.reply.empty()) Scale_Says(c.reply);
        EXPECT_EQ(Read_Scale(SCALE_PORT, 2000), c.expected) << c.reply;
        EXPECT_EQ(Serial_Available(SCALE_PORT), 0);
        EXPECT_EQ(Requests(), "!A\r\n") << "exactly one request per poll";
    }
    EXPECT_TRUE(Prompt_History().empty());
}

TEST_F(ScaleReader, FirstPollChecksTheLimitOnce) {
    std::pair<const char*, bool> cases[] = {{"200001\r\n", true}, {"200000\r\n", false}, {"-200001\r\n", true}, {"", false}};
    for (const auto& c : cases) {
        Scale_Checked = 0;
        Scale_Reading = 0;
        Clear_Prompt_History();
        if (*c.first) Scale_Says(c.first);
        Read_Scale(SCALE_PORT, 2000);
        Scale_Says("999999\r\n");  // later polls never warn
        EXPECT_FLOAT_EQ(Read_Scale(SCALE_PORT, 2000), 9999.99f);
        ASSERT_EQ(Prompt_History().size(), c.second ? 1u : 0u) << c.first;
        if (c.second) {
            EXPECT_EQ(Prompt_History()[0].Title + "/" + Prompt_History()[0].Text,
                      "Warning/Initial value outside of reasonable expections, please check / zero scale");
        }
        Requests();
    }
}

TEST_F(ScaleReader, ClearSendAndLogLines) {
    std::string pattern = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/trellum-test-XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    ASSERT_TRUE(Log_Open(pattern));
    Scale_Says("stale 1\r\n");
    Scale_Send("!A", true);
    EXPECT_EQ(Serial_Available(SCALE_PORT), 0);
    Scale_Send("Z", false);
    EXPECT_EQ(Requests(), "!A\r\nZ\r\n");
    EXPECT_EQ(Scale_Response(), "");
    Serial_Close(SCALE_PORT);
    EXPECT_EQ(Read_Scale(SCALE_PORT, 2000), 0.0f);
    Log_Flush();
    std::ifstream f(Log_File_Path(), std::ios::binary);
    std::string log((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    Log_Close();
    (void)!system(("rm -rf '" + pattern + "'").c_str());
    EXPECT_NE(log.find("Cleared Serial: stale 1\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("No SerialInput() available from Response() function"), std::string::npos);
    EXPECT_NE(log.find("Lost Serial??"), std::string::npos);
}

}  // namespace
