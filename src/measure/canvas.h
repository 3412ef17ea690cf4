// Canvas interaction: the pointer and wheel handling of the picture view (its
// keys are the key table in app/), the chosen measuring tool and the click
// progress of a manual tool, which on the live picture follows the stage.
#pragma once

#include <cstdint>

#include "document/doc_model.h"

struct Platform_Event;

// Measuring tools by Current_Tool (1..9), in tool-button order.
enum Measuring_Tool : int64_t {
    MTOOL_LINE = 1, MTOOL_BOX = 2, MTOOL_CIRCLE = 3, MTOOL_WIDTH = 4, MTOOL_HEIGHT = 5,
    MTOOL_AXES = 6, MTOOL_AUTO_BOX = 7, MTOOL_BLOB = 8, MTOOL_AUTO_CIRCLE = 9,
};

// The interaction state; only canvas.cpp writes it, everyone else reads it
// through Canvas_View() and changes it through the procedures below.
struct Canvas_State {
    float Pointer_Win_X = -1.0f, Pointer_Win_Y = -1.0f;  // picture-view pixels, -1 before the first move
    float Pointer_X = -1.0f, Pointer_Y = -1.0f;          // image pixels of the current document, -1 = none
    uint8_t Pointer_Inside = 0;
    int64_t Magnifier_Zoom = 4;                          // 1..16
    int64_t Current_Tool = MTOOL_LINE;                   // Measuring_Tool
    int64_t Click_State = 0;                             // 0 none, 1 first point, 2 two points (circle)
    sMeasurement Live_Measure;
    float First_Point_Stage = 0;
    uint8_t Snapped_To_Edge = 0;                         // 1 = the last move was snapped onto an edge
    uint8_t Snapped_To_Angle = 0;                        // 1 = the last move was levelled
};
const Canvas_State& Canvas_View();

// Resets the interaction state to its start-up values (and the stage
// positions the first point follows).
void Reset_Canvas_State();
// Drops a manual tool's first (and second) point.
void Drop_Tool_Click();
// Forgets the pointer and any started tool (a document is closed or replaced).
void Forget_Pointer();
// The magnifier's zoom, kept within 1..16.
void Set_Magnifier_Zoom(int64_t zoom);
// The automatic tools' measurement at the pointer, taken by the analysis.
void Take_Live_Measure(const sMeasurement& m);
// Tests set up a state directly; the program never calls this.
void Set_Canvas_State_For_Test(const Canvas_State& state);
// The picture view that pointer positions are unprojected through; -1 (the
// start) for none, when window pixels are image pixels.
void Attach_Picture_View(int64_t view);
// Image position shown at a picture-view window position (logical pixels, as
// the pointer events carry them).
void Window_To_Image(float wx, float wy, float* x, float* y);
// The first point's x on the live document, following the stage since the first click.
float Stage_Compensated_Start_X();
// Chooses a measuring tool (Measuring_Tool); anything else chooses the line.
void Choose_Tool(int64_t tool);
// Every event of the picture view (the app gives it the keyboard focus when
// the pointer enters). The view's settings: edge and angle snapping, and
// whether the magnifier follows the pointer.
void Picture_View_Event(const Platform_Event& event);
// Whole-number rounding of the click coordinates: nearest, halves to even.
int64_t Round_Half_Even(double v);
