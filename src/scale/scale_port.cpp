#include "scale/scale_port.h"

#include <vector>

#include "base/control_ids.h"
#include "base/debug_log.h"
#include "platform/platform.h"
#include "scale/scale_reader.h"

const char* const SCALE_PORT_NONE = "None";
uint8_t Scale_Port_Failure_Reported = 0;

namespace {
std::string Open_Port_Name;  // the device port 0 was opened on
}

bool Scale_Port_Named(const std::string& comport) { return comport.rfind("/dev/", 0) == 0; }

void Fill_Scale_Port_Choice(const std::string& comport, const std::string& root) {
    std::vector<std::string> names = Serial_Port_Names(root);
    Clear_Rows(CTL_SCALE_PORT);
    Add_Row(CTL_SCALE_PORT, SCALE_PORT_NONE);
    int64_t selected = 0;
    for (const std::string& name : names) {
        if (name == comport) selected = Row_Count(CTL_SCALE_PORT);
        Add_Row(CTL_SCALE_PORT, name);
    }
    // A scale that is unplugged now still shows as the choice.
    if (Scale_Port_Named(comport) && selected == 0) {
        selected = Row_Count(CTL_SCALE_PORT);
        Add_Row(CTL_SCALE_PORT, comport);
    }
    Set_State(CTL_SCALE_PORT, selected);
}

std::string Scale_Port_Choice_Value(const std::string& comport) {
    int64_t row = Get_State(CTL_SCALE_PORT);
    if (row <= 0) return Scale_Port_Named(comport) ? SCALE_PORT_NONE : comport;
    return Get_Row_Text(CTL_SCALE_PORT, row);
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
