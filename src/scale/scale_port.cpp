#include "scale/scale_port.h"

#include <vector>

#include "base/debug_log.h"
#include "platform/platform.h"
#include "scale/scale_reader.h"

const char* const SCALE_PORT_NONE = "None";
uint8_t Scale_Port_Failure_Reported = 0;

namespace {
std::string Open_Port_Name;  // the device port 0 was opened on
}

bool Scale_Port_Named(const std::string& comport) { return comport.rfind("/dev/", 0) == 0; }

Scale_Port_Rows Scale_Port_Choices(const std::string& comport, const std::string& root) {
    Scale_Port_Rows rows;
    rows.Names.push_back(SCALE_PORT_NONE);
    for (const std::string& name : Serial_Port_Names(root)) {
        if (name == comport) rows.Selected = (int64_t)rows.Names.size();
        rows.Names.push_back(name);
    }
    // A scale that is unplugged now still shows as the choice.
    if (Scale_Port_Named(comport) && rows.Selected == 0) {
        rows.Selected = (int64_t)rows.Names.size();
        rows.Names.push_back(comport);
    }
    return rows;
}

std::string Scale_Port_Choice_Value(const std::string& comport, int64_t row, const std::string& row_text) {
    if (row <= 0) return Scale_Port_Named(comport) ? SCALE_PORT_NONE : comport;
    return row_text;
}

void Scale_Follow_Port(const std::string& comport) {
    if (!Scale_Port_Named(comport)) {
        if (Serial_Is_Open(SCALE_PORT)) {
            Log("Scale port closed");
            Serial_Close(SCALE_PORT);
        }
        return;
    }
    if (Serial_Is_Open(SCALE_PORT) && Open_Port_Name == comport) return;
    if (Serial_Open(SCALE_PORT, comport)) {
        Open_Port_Name = comport;
        Log("Scale port opened: " + comport);
        return;
    }
    if (Scale_Port_Failure_Reported) return;
    Scale_Port_Failure_Reported = 1;
    std::string why = Serial_Last_Error();
    Log("Scale port not opened: " + comport + " (" + why + ")");
    Message_Box("Scale port", "Unable to open the scale port " + comport + " (" + why +
                                  ").\nThe stage position is not read until it can be opened.",
                MSG_ICON_WARNING);
}
