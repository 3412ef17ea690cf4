#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/debug_log.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "scale/scale_port.h"
#include "scale/scale_reader.h"
#include "support/temp_folder.h"

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
    Temp_Folder folder;
    ASSERT_TRUE(Log_Open(folder.Path));
    Scale_Says("stale 1\r\n");
    Scale_Send("!A", true);
    EXPECT_EQ(Serial_Available(SCALE_PORT), 0);
    Scale_Send("Z", false);
    EXPECT_EQ(Requests(), "!A\r\nZ\r\n");
    EXPECT_EQ(Scale_Response(), "");
    Serial_Close(SCALE_PORT);
    EXPECT_EQ(Read_Scale(SCALE_PORT, 2000), 0.0f);
    Log_Flush();
    std::string log = Read_Whole_File(Log_File_Path());
    Log_Close();
    EXPECT_NE(log.find("Cleared Serial: stale 1\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("No SerialInput() available from Response() function"), std::string::npos);
    EXPECT_NE(log.find("Lost Serial??"), std::string::npos);
}

// A far side that stopped reading: the line's buffer is full, and neither a
// write nor a whole poll may wait for it longer than the serial time-out.
TEST_F(ScaleReader, A_Line_Nobody_Reads_Costs_At_Most_The_Timeout) {
    auto ms_since = [](std::chrono::steady_clock::time_point t) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t).count();
    };
    std::vector<uint8_t> flood(1 << 20, 'x');
    auto start = std::chrono::steady_clock::now();
    int64_t written = Serial_Write(SCALE_PORT, flood.data(), (int64_t)flood.size());
    EXPECT_LT(ms_since(start), 250);
    ASSERT_GT(written, 0);
    ASSERT_LT(written, (int64_t)flood.size()) << "the pseudo-terminal took a megabyte: the test proves nothing";
    struct Case {
        const char* reply;
        float expected;
    } cases[] = {{"4200\r\n", 42.0f}, {"", 42.0f}, {"-17\r\n", -0.17f}};  // no reply: the previous reading
    // A time-out drops what is queued, so before each poll the line is filled
    // again through a second descriptor of the same terminal.
    // The kernel moves queued bytes on in the background and so may make room
    // again: the line counts as full once it stayed so for 50 ms.
    int filler = open(ptsname(master), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(filler, 0);
    auto fill = [&] {
        struct pollfd out = {filler, POLLOUT, 0};
        do {
            while (write(filler, flood.data(), 4096) > 0) {
            }
        } while (poll(&out, 1, 50) > 0);
    };
    int timed_out = 0;
    for (const Case& c : cases) {
        if (*c.reply) Scale_Says(c.reply);
        fill();
        start = std::chrono::steady_clock::now();
        EXPECT_EQ(Read_Scale(SCALE_PORT, 2000), c.expected) << c.reply;
        auto took = ms_since(start);
        EXPECT_LT(took, 250) << c.reply;
        if (took >= SERIAL_TIMEOUT_MS - 5) timed_out++;
    }
    EXPECT_GE(timed_out, 1) << "no request met a full line: the time-out was never tried";
    EXPECT_TRUE(Serial_Is_Open(SCALE_PORT));
    fill();
    start = std::chrono::steady_clock::now();
    Serial_Close(SCALE_PORT);  // a close does not wait for the stalled bytes either
    EXPECT_LT(ms_since(start), 250);
    close(filler);
}

// Port 0 follows the preferences value: opened on a device path, reopened on
// another, closed for no scale; a port that cannot be opened is reported once.
TEST_F(ScaleReader, The_Port_Follows_The_Choice_And_Failures_Are_Reported_Once) {
    std::string pty = ptsname(master);
    Scale_Port_Failure_Reported = 0;
    struct Case {
        std::string comport;
        bool open_after;
        size_t prompts_after;
    } cases[] = {
        {"COM3", false, 0},           {pty, true, 0},  {"None", false, 0}, {pty, true, 0},
        {"/dev/trellum-no-such-port", false, 1}, {"/dev/trellum-no-such-port", false, 1},
        {"/dev/trellum-other-missing", false, 1}, {pty, true, 1},         {"", false, 1},
    };
    for (const Case& c : cases) {
        Scale_Follow_Port(c.comport);
        EXPECT_EQ(Serial_Is_Open(SCALE_PORT), c.open_after) << c.comport;
        EXPECT_EQ(Prompt_History().size(), c.prompts_after) << c.comport;
    }
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_EQ(Prompt_History()[0].Title, "Scale port");
    EXPECT_EQ(Prompt_History()[0].Text,
              "Unable to open the scale port /dev/trellum-no-such-port (No such file or directory).\n"
              "The stage position is not read until it can be opened.");
    Scale_Port_Failure_Reported = 0;
    Scale_Follow_Port(pty);  // reopened on the pseudo-terminal: the poll works through it
    Scale_Says("123\r\n");
    EXPECT_FLOAT_EQ(Read_Scale(SCALE_PORT, 2000), 1.23f);
}

// Only a terminal becomes the scale's port: the requests would overwrite a
// disk or loop device, grow a regular file, or fill a FIFO's reader.
TEST_F(ScaleReader, Only_A_Terminal_Is_Opened_As_The_Port) {
    Temp_Folder folder;
    const std::string file = folder.File("disk.img"), fifo = folder.File("fifo");
    Write_Whole_File(file, "data");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int fifo_reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fifo_reader, 0);
    struct Case {
        std::string path;
        bool opens;
        std::string error;
    } cases[] = {
        {"/dev/null", false, "Not a serial port"},  {file, false, "Not a serial port"},
        {fifo, false, "Not a serial port"},         {folder.Path, false, "Not a serial port"},
        {folder.File("gone"), false, "No such file or directory"}, {ptsname(master), true, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Serial_Open(SCALE_PORT, c.path), c.opens) << c.path;
        EXPECT_EQ(Serial_Is_Open(SCALE_PORT), c.opens) << c.path;
        EXPECT_EQ(Serial_Last_Error(), c.error) << c.path;
        Scale_Send("!A", false);
    }
    EXPECT_EQ(Read_Whole_File(file), "data");
    char byte;
    EXPECT_LE(read(fifo_reader, &byte, 1), 0) << "a request went into the FIFO";
    close(fifo_reader);
    EXPECT_EQ(Requests(), "!A\r\n") << "only the terminal was written to";

    // Chosen as the port: refused with the one report of the run.
    Scale_Port_Failure_Reported = 0;
    Scale_Follow_Port("/dev/null");
    EXPECT_FALSE(Serial_Is_Open(SCALE_PORT));
    ASSERT_EQ(Prompt_History().size(), 1u);
    EXPECT_NE(Prompt_History()[0].Text.find("port /dev/null (Not a serial port)."), std::string::npos);
}

}  // namespace
