// Video emulator: the live video source. One of the embedded 3000 x 480
// sample pictures is shown in the small "Video emulator" window; a 640 x 480
// crop of it is copied into the live document (slot 0) as the live frame.
// Dragging in the window's overview moves the crop, which glides to the new
// place in five animation steps; its position is the stage position.
//
// Sample_Pixels keeps the rows in the bitmap's own memory order: the bottom
// row of the picture file comes first. The live frame and the overview both
// use that order, so both show the sample upside down relative to the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Half the sample width; a constant of the emulator, not taken from the picture.
const int64_t EMULATOR_SAMPLE_HALF_WIDTH = 1500;
const int EMULATOR_VIEW_W = 750;  // overview size, logical pixels
const int EMULATOR_VIEW_H = 120;

// The emulator's state, written only by emulator.cpp. The window in app
// shows it: it is built afresh whenever Window_Serial changes, takes the
// sample picture and Sample_Name whenever Sample_Serial changes and redraws
// the overview whenever Frame_Serial changes.
struct Emulator_State {
    int64_t Sample_Count = 0;              // entries of the sample table
    int64_t Sample_Index = 0;              // sample shown; kept across close and reopen
    std::vector<uint8_t> Sample_Pixels;    // BGRA, Sample_Row_Bytes per row, bottom file row first
    int64_t Sample_Row_Bytes = 0;          // sample width * 4
    int64_t Sample_Height = 0;             // rows in Sample_Pixels
    std::string Sample_Name;               // of the sample shown ("" when unreadable)
    int64_t Live_Width = 640, Live_Height = 480;  // live frame, 640 x 480
    int64_t Live_Row_Bytes = 640 * 4;      // Live_Width * 4
    float Pan_Current = -400.0f;  // crop centre, sample pixels from the sample centre (negative = left)
    float Pan_Target = -400.0f;   // where the crop is gliding to, same units
    float Pan_Step = 1.0f;        // animation parameter; the crop moves while below 1.0
    float Pan_Recompute = 0.0f;   // 1.0 = the next step re-derives and clamps the target
    uint8_t Pan_Dragging = 0;     // 1 while the left button is held in the overview
    int64_t Pan_Mouse_X = 0;      // last mouse x in the overview, device pixels
    float Desktop_Scale = 1.0f;   // display scale when the window opened (1.0 = 96 dpi)
    int64_t Last_Crop_Column = 0;    // first sample column of the last frame
    int64_t Last_Live_Input_Ms = 0;  // Elapsed_Ms (rounded) of the last press or drag
    bool Window_Wanted = false;   // emulator mode: the window is to be shown
    int64_t Window_Serial = 0;    // one more at every open
    int64_t Sample_Serial = 0;    // one more at every sample loaded
    int64_t Frame_Serial = 0;     // one more at every frame produced
};

const Emulator_State& Emulator_View();
// The crop glides or follows a drag: the main loop keeps stepping.
bool Emulator_Moving();
// Tests: the record afresh (no sample, no window, the crop at rest).
void Reset_Emulator();
// Tests only: sets up a state that input would reach.
Emulator_State& Emulator_Test_Access();

// ---- on and off
// Video on: emulator mode, window wanted, live document current.
void Start_Emulator();
void Open_Emulator();
// Emulator mode ends; the window is no longer wanted.
void Close_Emulator();

// ---- the window's input (mouse x in device pixels of the overview)
void Emulator_Next_Sample();
void Emulator_Previous_Sample();
void Emulator_Press(int64_t mouse_x);
void Emulator_Pointer_Move(int64_t mouse_x);
// Button released or focus lost: the drag ends.
void Emulator_Release();

// ---- frames
// Decodes sample `index` (out of range: the first) and produces a frame.
void Load_Sample(int64_t index);
// Copies the crop into the live document; the overview is redrawn by the window.
void Emulator_Frame();
// The main loop's acquisition step in emulator mode.
void Emulator_Step();
// Farthest crop centre from the sample centre: 1500 - Live_Width / 2.
float Pan_Limit();

// ---- sample table
// Name and 32-bit pixels (bottom file row first) of entry `index`; false when
// the table has no such entry or its bitmap cannot be read.
bool Read_Sample(int64_t index, std::string* name, int32_t* width, int32_t* height, std::vector<uint8_t>* pixels);
// Converts a Windows bitmap file (24 or 32 bits, uncompressed) into BGRA rows
// in the bitmap's memory order (bottom row first). False for anything else.
bool Bitmap_To_Bottom_Up_BGRA(const uint8_t* data, size_t size, int32_t* width, int32_t* height,
                              std::vector<uint8_t>* pixels);
