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

extern float Pointer_Win_X, Pointer_Win_Y;  // picture-view pixels, -1 before the first move
extern float Pointer_X, Pointer_Y;          // image pixels of the current document, -1 = none
extern uint8_t Pointer_Inside;
extern int64_t Magnifier_Zoom;              // 1..16
extern int64_t Current_Tool;                // Measuring_Tool
extern int64_t Click_State;                 // 0 none, 1 first point, 2 two points (circle)
extern sMeasurement Live_Measure;
extern float First_Point_Stage;
extern int64_t Wheel_Remainder;             // wheel units carried to the next message

// Resets the interaction state to its start-up values.
void Reset_Canvas_State();
// Image position shown at a picture-view window position (logical pixels, as
// the pointer events carry them).
void Window_To_Image(float wx, float wy, float* x, float* y);
// The first point's x on the live document, following the stage since the first click.
float Stage_Compensated_Start_X();
// Tool button 128..136, or -1 for none.
void Choose_Tool(int64_t button);
// Every event of the picture view (control 108).
void Picture_View_Event(const Platform_Event& event);
// Whole-number rounding of the click coordinates: nearest, halves to even.
int64_t Round_Half_Even(double v);
