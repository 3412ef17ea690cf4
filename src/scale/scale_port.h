// The stage scale's serial port: the names offered by the "Scale port:"
// drop-down of the Settings page, and port 0 kept open on the chosen one.
// The choice is the preferences value `Comport`: a device path, or anything
// else ("None", or the factory "COM3" of other systems) for no scale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern const char* const SCALE_PORT_NONE;  // "None", the first row of the drop-down

extern uint8_t Scale_Port_Failure_Reported;  // 1 after the one report of this run

// True when `comport` names a port of this system (a path below /dev/).
bool Scale_Port_Named(const std::string& comport);
struct Scale_Port_Rows {
    std::vector<std::string> Names;
    int64_t Selected = 0;  // the row of the choice
};
// The drop-down's rows: "None", the ports present (below `root`, for tests),
// and `comport` itself when it names a port that is not present now; the
// row of `comport` selected.
Scale_Port_Rows Scale_Port_Choices(const std::string& comport, const std::string& root = "");
// The `Comport` value for row `row` (showing `row_text`) chosen in the
// drop-down. Choosing "None" (or no row) keeps a `comport` that already means
// no scale, so the file stays as it was.
std::string Scale_Port_Choice_Value(const std::string& comport, int64_t row, const std::string& row_text);
// Opens, reopens or closes port 0 so that it follows `comport`. A port that
// cannot be opened is reported once a run (a warning and a log line); later
// calls try again without a word, so a scale plugged in later is found.
void Scale_Follow_Port(const std::string& comport);
