// The scale port's choices and the values stored for them.
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

// The drop-down: "None", the ports present in natural order, and a chosen
// port that is unplugged now; the value stored for each row.
TEST(Scale_Port, Choices_And_Stored_Values) {
    Null_Reset();
    Temp_Folder root;
    for (const char* dir : {"/dev", "/dev/serial", "/dev/serial/by-id"})
        ASSERT_EQ(mkdir((root.Path + dir).c_str(), 0700), 0);
    for (const char* node : {"/dev/ttyUSB10", "/dev/ttyUSB2", "/dev/ttyACM0", "/dev/ttyS0", "/dev/video0",
                             "/dev/serial/by-id/usb-Scale_Co_A1-if00-port0"})
        Write_Whole_File(root.Path + node, "");
    const std::vector<std::string> present = {"/dev/serial/by-id/usb-Scale_Co_A1-if00-port0", "/dev/ttyUSB2",
                                              "/dev/ttyUSB10", "/dev/ttyACM0"};
    EXPECT_EQ(Serial_Port_Names(root.Path), present);
    EXPECT_TRUE(Serial_Port_Names(root.Path + "/nowhere").empty());

    struct Case {
        std::string comport;
        int64_t rows, selected;
        std::string none_value;  // stored when "None" is chosen
    } cases[] = {
        {"COM3", 5, 0, "COM3"},  // the factory value of other systems means no scale, and stays
        {"", 5, 0, ""},
        {"None", 5, 0, "None"},
        {"/dev/ttyUSB10", 5, 3, "None"},
        {"/dev/ttyUSB7", 6, 5, "None"},  // unplugged: still shown as the choice
        {"/dev/serial/by-id/usb-Scale_Co_A1-if00-port0", 5, 1, "None"},
    };
    for (const Case& c : cases) {
        const Scale_Port_Rows rows = Scale_Port_Choices(c.comport, root.Path);
        ASSERT_EQ((int64_t)rows.Names.size(), c.rows) << c.comport;
        EXPECT_EQ(rows.Names[0], "None");
        EXPECT_EQ(rows.Selected, c.selected) << c.comport;
        EXPECT_EQ(Scale_Port_Choice_Value(c.comport, rows.Selected, rows.Names[(size_t)rows.Selected]),
                  c.selected ? c.comport : c.none_value)
            << c.comport;
        EXPECT_EQ(Scale_Port_Choice_Value(c.comport, 0, "None"), c.none_value) << c.comport;
        EXPECT_EQ(Scale_Port_Choice_Value(c.comport, -1, ""), c.none_value) << c.comport;
        EXPECT_EQ(Scale_Port_Choice_Value(c.comport, 2, rows.Names[2]), "/dev/ttyUSB2") << c.comport;
    }
}

}  // namespace
