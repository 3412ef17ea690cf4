// Measurement overlay (placed tools of the current frozen document with their
// labels, queued over the picture) and the seven-segment read-out displays.
#pragma once

#include <cstdint>
#include <string>

struct Tool;

// Queues every tool of the current document (frozen documents only).
void Draw_Measurement_Overlay();
// Queues the two labels (shadow, then text) of tool number n.
void Draw_Tool_Label(const Tool& tool, int64_t n);
// The label text of tool number n in the current unit.
std::string Tool_Label_Text(const Tool& tool, int64_t n);
