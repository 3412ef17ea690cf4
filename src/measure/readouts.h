// Measurement list and read-outs of the side panel: one list row per tool of
// every open frozen document, and the seven-segment read-out views.
#pragma once

#include <cstdint>
#include <string>

struct Tool;

void Rebuild_Measurement_List();
// The list's row text (columns joined by "\n") for tool number `position` of slot `slot`.
std::string Measurement_Row_Text(int64_t slot, int64_t position, const Tool& tool, float ppmm);
void Delete_Selected_Measurement();
// Recomputes and redraws the six read-out views; stores the "DD" stage time.
void Refresh_Readouts(bool full);
// Texts the read-outs showed at the last refresh (ScaleX, ScaleY, ScaleZ, Length, Angle, Threshold %).
extern std::string Readout_Texts[6];
// Parses "slot:position:letter". Returns false when the text has no two numbers.
bool Parse_Measurement_Id(const std::string& id, int64_t* slot, int64_t* position);
