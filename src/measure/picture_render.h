// A document's picture drawn in software at its own resolution: its own
// colours, the placed tools with their labels as the picture view draws them
// (exclusive-or outlines 2.5 pixels wide, labels in the proportional face),
// and a scale bar in the bottom-right corner. Needs no display and no GL
// context; the picture export of the File menu and the batch command share it.
#pragma once

#include <cstdint>
#include <string>

struct Doc_Info;
struct Picture;
struct Scale_Bar;
struct Tool;

struct Picture_Render_Options {
    uint8_t Overlay = 1;    // draw the placed tools and their labels
    uint8_t Scale_Bar = 1;  // draw the scale bar
};

// Where the scale bar was drawn (the tests look there), picture pixels.
struct Scale_Bar_Box {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;  // the backdrop, right and bottom exclusive
    int32_t Bar_Left = 0, Bar_Top = 0, Bar_Right = 0, Bar_Bottom = 0;  // the bar itself
};

// Draws `doc`'s tools (calibration and unit: the document's own) and the
// scale bar over `picture` (the document's pixels, BGRA) into `out`, alpha
// 255. `box`, when given, receives the scale bar's place (zero when none).
// False when the picture is empty or does not match its buffer.
bool Render_Document_Picture(const Doc_Info& doc, const Picture& picture, const Picture_Render_Options& options,
                             Picture* out, Scale_Bar_Box* box = nullptr);
// The label of tool number n in a unit and calibration: the exported
// picture's in the document's own, the view's in the current unit.
std::string Picture_Tool_Label(const Tool& tool, int64_t n, double ppmm, int64_t unit);
