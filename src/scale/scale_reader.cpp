#include "scale/scale_reader.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/debug_log.h"
#include "platform/platform.h"

float Scale_Reading = 0;
uint8_t Scale_Checked = 0;

// Reads everything the port holds now (what arrives while reading is taken
// too, for at most the serial time-out: a scale that never stops talking
// must not hold the poll).
static std::string Drain_Port() {
    std::string text;
    float until = Elapsed_Ms() + (float)SERIAL_TIMEOUT_MS;
    int64_t waiting = Serial_Available(SCALE_PORT);
    while (waiting > 0 && Elapsed_Ms() < until) {
        std::vector<uint8_t> buffer((size_t)waiting);
        int64_t n = Serial_Read(SCALE_PORT, buffer.data(), waiting);
        if (n <= 0) break;
        text.append((const char*)buffer.data(), (size_t)n);
        waiting = Serial_Available(SCALE_PORT);
    }
    return text;
}

std::string Scale_Response() {
    if (Serial_Available(SCALE_PORT) > 0) return Drain_Port();
    Log("No SerialInput() available from Response() function");
    return "";
}

void Scale_Clear() {
    if (Serial_Available(SCALE_PORT) <= 0) return;
    std::string text = Drain_Port();
    Log("Cleared Serial: " + text);
    Sleep_Ms(1);
}

void Scale_Send(const std::string& command, bool clear_first) {
    if (clear_first) Scale_Clear();
    std::string line = command + "\r\n";
    Serial_Write(SCALE_PORT, (const uint8_t*)line.data(), (int64_t)line.size());
}

// The leading whole number of a line, as a lenient text-to-number reading
// does: spaces, an optional sign, digits; anything else ends it. No digits
// read as 0; an absurdly long number stops growing instead of overflowing.
static int64_t Leading_Number(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) i++;
    bool negative = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) negative = line[i++] == '-';
    int64_t value = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        if (value < (int64_t)1e17) value = value * 10 + (line[i] - '0');
        i++;
    }
    return negative ? -value : value;
}

bool Scale_Last_Line_Value(const std::string& text, int64_t* hundredths) {
    size_t last_end = text.rfind("\r\n");
    if (last_end == std::string::npos) return false;
    size_t start = last_end == 0 ? std::string::npos : text.rfind("\r\n", last_end - 1);
    start = start == std::string::npos ? 0 : start + 2;
    *hundredths = Leading_Number(text.substr(start, last_end - start));
    return true;
}

float Read_Scale(int64_t port, int64_t limit) {
    if (!Serial_Is_Open(port)) {
        Log("Lost Serial??");
        return 0;
    }
    std::string text = Scale_Response();
    int64_t hundredths = 0;
    if (Scale_Last_Line_Value(text, &hundredths)) Scale_Reading = (float)((double)hundredths * 0.01);
    if (!Scale_Checked) {
        Scale_Checked = 1;
        if (std::fabs((double)Scale_Reading) > (double)limit)
            Message_Box("Warning", "Initial value outside of reasonable expections, please check / zero scale",
                        MSG_ICON_WARNING);
    }
    Scale_Send("!A", false);
    return Scale_Reading;
}
