// Serial scale reader: polls a digital linear scale on serial port 0 with the
// request "!A" CR LF and reads its reply lines, each a signed whole number of
// hundredths of a millimetre. Each poll reads the answer to the previous
// poll's request; the first poll with the port open checks the reading once
// against a plausibility limit.
#pragma once

#include <cstdint>
#include <string>

const int64_t SCALE_PORT = 0;

extern float Scale_Reading;    // last reading, millimetres
extern uint8_t Scale_Checked;  // 1 after the first poll with the port open

// The current reading in millimetres (the previous one when no complete line
// arrived), or 0 when `port` is not open. Sends the next request.
float Read_Scale(int64_t port, int64_t limit);
// All bytes waiting on the port as text (empty, and a log line, when none).
std::string Scale_Response();
// Sends `command` + CR LF; with clear_first, waiting input is discarded first.
void Scale_Send(const std::string& command, bool clear_first);
// Discards waiting input (logged).
void Scale_Clear();
// The reading of the last complete line of `text`, in hundredths of a
// millimetre; false when the text holds no CR LF.
bool Scale_Last_Line_Value(const std::string& text, int64_t* hundredths);
