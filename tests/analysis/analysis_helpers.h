// Shared set-up of the analysis tests: a live document of a chosen size, a
// hit mask drawn directly, the side-panel controls on the null backend, and
// the lines of a private debug log.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "analysis/analysis_kernels.h"
#include "analysis/threshold.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "support/temp_folder.h"

// The canvas's tool and pointer (image pixels), as a move would leave them.
inline void Point_Tool_At(int64_t tool, float x, float y) {
    Canvas_State canvas = Canvas_View();
    canvas.Current_Tool = tool;
    canvas.Pointer_X = x;
    canvas.Pointer_Y = y;
    Set_Canvas_State_For_Test(canvas);
}

// A fresh current live document of w x h white pixels, thresholds 80, pointer off the image.
inline Doc_Info& Make_Document(int32_t w, int32_t h) {
    Reset_Jobs();
    Reset_Canvas_State();
    Build_Grey_Palette();
    Jobs[0].In_Use = 1;
    Allocate_Image(&Jobs[0], w, h);
    Doc_Info& doc = Jobs[0].Doc;
    for (uint8_t& b : doc.Image_Buffer) b = 255;
    ProcessMode& p = doc.Processing;
    p.Threshold_Cyan = p.Threshold_Magenta = p.Threshold_Yellow = p.Threshold_Black = 80;
    Make_Current_Job(0);
    return doc;
}

inline void Fill_Rect(Doc_Info& doc, int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t r, uint8_t g,
                      uint8_t b) {
    Forget_Processed_Image();  // pixels written in place
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++) {
            uint8_t* p = &doc.Image_Buffer[((size_t)y * doc.Resolution.x + x) * 4];
            p[0] = b, p[1] = g, p[2] = r, p[3] = 255;
        }
}

inline void Random_Pixels(Doc_Info& doc, uint32_t seed) {
    Forget_Processed_Image();
    std::mt19937 rng(seed);
    for (size_t i = 0; i < doc.Image_Buffer.size(); i++) doc.Image_Buffer[i] = (i % 4 == 3) ? 255 : (uint8_t)rng();
}

// A cleared mask of w x h (the document keeps its Resolution).
inline void Clear_Mask(int32_t w, int32_t h) {
    Hit_Mask.assign((size_t)w * h, 0);
    Hit_Mask_Width = w;
    Hit_Mask_Height = h;
}

inline void Mask_Rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    for (int32_t y = y0; y <= y1; y++)
        for (int32_t x = x0; x <= x1; x++) Hit_Mask[(size_t)y * Hit_Mask_Width + x] = 1;
}

inline void Mask_Disc(double cx, double cy, double r) {
    for (int32_t y = 0; y < Hit_Mask_Height; y++)
        for (int32_t x = 0; x < Hit_Mask_Width; x++)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Hit_Mask[(size_t)y * Hit_Mask_Width + x] = 1;
}

// The analysis buttons, the slider (1..255), its frame, the unit list and the automatic tool buttons.
inline void Make_Analysis_Controls() {
    Null_Reset();
    Open_Window(WINDOW_MAIN, "main", 0, 0, 1060, 600, 0);
    for (int64_t c = CTL_ANALYSIS_FIRST; c <= CTL_ANALYSIS_LAST; c++)
        Create_Control(WINDOW_MAIN, c, CONTROL_IMAGE_TOGGLE, 0, 0, 32, 32, "");
    for (int64_t c = CTL_TOOL_WIDTH; c <= CTL_TOOL_AUTO_CIRCLE; c++)
        Create_Control(WINDOW_MAIN, c, CONTROL_IMAGE_TOGGLE, 0, 0, 32, 32, "");
    Create_Control(WINDOW_MAIN, CTL_THRESHOLD_SLIDER, CONTROL_SLIDER, 0, 0, 200, 20, "");
    Set_Slider_Range(CTL_THRESHOLD_SLIDER, 1, 255);
    Create_Control(WINDOW_MAIN, CTL_THRESHOLD_FRAME, CONTROL_FRAME, 0, 0, 200, 50, "");
    Create_Control(WINDOW_MAIN, CTL_UNIT_LIST, CONTROL_DROPDOWN, 0, 0, 100, 20, "");
    for (int i = 0; i < 5; i++) Add_Row(CTL_UNIT_LIST, "unit");
}

inline void Open_Test_Log() {
    // One folder for the process, removed at its end.
    static Temp_Folder folder;
    ASSERT_FALSE(folder.Path.empty());
    ASSERT_TRUE(Log_Open(folder.Path));
}

inline std::vector<std::string> Log_Lines() {
    Log_Flush();
    std::vector<std::string> lines;
    std::ifstream in(Log_File_Path(), std::ios::binary);
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
    return lines;
}
