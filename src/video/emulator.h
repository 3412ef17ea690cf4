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

struct Platform_Event;

// Half the sample width; a constant of the emulator, not taken from the picture.
const int64_t EMULATOR_SAMPLE_HALF_WIDTH = 1500;
const int EMULATOR_VIEW_W = 750;  // overview size, logical pixels
const int EMULATOR_VIEW_H = 120;

extern int64_t Sample_Count;               // entries of the sample table
extern int64_t Sample_Index;               // sample shown; kept across close and reopen
extern std::vector<uint8_t> Sample_Pixels; // BGRA, Sample_Row_Bytes per row, bottom file row first
extern int64_t Sample_Row_Bytes;           // sample width * 4
extern int64_t Sample_Height;              // rows in Sample_Pixels
extern int64_t Live_Width, Live_Height;    // live frame, 640 x 480
extern int64_t Live_Row_Bytes;             // Live_Width * 4
extern float Pan_Current;    // crop centre, sample pixels from the sample centre (negative = left)
extern float Pan_Target;     // where the crop is gliding to, same units
extern float Pan_Step;       // animation parameter; the crop moves while below 1.0
extern float Pan_Recompute;  // 1.0 = the next step re-derives and clamps the target
extern uint8_t Pan_Dragging; // 1 while the left button is held in the overview
extern int64_t Pan_Mouse_X;  // last mouse x in the overview, device pixels
extern float Desktop_Scale;  // display scale when the window opened (1.0 = 96 dpi)
extern int64_t Last_Crop_Column;  // first sample column of the last frame
extern int64_t Last_Live_Input_Ms;  // Elapsed_Ms (rounded) of the last press or drag

// ---- window
// Video on: emulator mode, window, live document current.
void Start_Emulator();
void Open_Emulator();
void Close_Emulator();
bool Emulator_Open();
// Every event of the emulator window.
void Emulator_Event(const Platform_Event& event);

// ---- frames
// Decodes sample `index` (out of range: the first) and produces a frame.
void Load_Sample(int64_t index);
// Copies the crop into the live document and redraws the overview.
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
