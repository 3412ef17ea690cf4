// What the side panel's measurement list and read-outs show: one list row
// per tool of every open frozen document, and the six read-out values (the
// app's readout panel puts them on the widgets).
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct Tool;

// The list's row text (columns joined by "\n") for tool number `position` of slot `slot`.
std::string Measurement_Row_Text(int64_t slot, int64_t position, const Tool& tool, float ppmm);
// The read-outs' texts for the current document: ScaleX, ScaleY, ScaleZ,
// Length, Angle, Threshold % (counting the misses with the "+-" setting).
std::array<std::string, 6> Readout_Values();
// Parses "slot:position:letter". Returns false when the text has no two numbers.
bool Parse_Measurement_Id(const std::string& id, int64_t* slot, int64_t* position);
