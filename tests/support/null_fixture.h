// Test fixture for the logic tests on the null backend: a fresh main window
// (every control of the real layout in the null control table), empty job
// slots, start-up interaction state and no scripted prompts.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "analysis/threshold.h"
#include "base/control_ids.h"
#include "app/main_window.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "platform/platform.h"
#include "platform/platform_null.h"

inline void Fresh_Main_Window() {
    Null_Reset();
    Reset_Jobs();
    Reset_Canvas_State();
    Clear_Prompt_Script();
    Clear_Prompt_History();
    Build_Grey_Palette();
    ASSERT_TRUE(Create_Main_Window_Controls());
    Jobs[0].Doc.PPMM = 100;
    Jobs[0].Doc.Measure_Unit = 2;
}

// Puts a w x h document of one colour (B, G, R) into `slot`.
inline void Make_Document(int64_t slot, int32_t w, int32_t h, float ppmm = 100, uint8_t b = 200, uint8_t g = 200,
                          uint8_t r = 200) {
    Job_Slot& s = Jobs[slot];
    s.In_Use = 1;
    s.Doc.PPMM = ppmm;
    s.Doc.Measure_Unit = 2;
    Allocate_Image(&s, w, h);
    for (size_t i = 0; i < s.Doc.Image_Buffer.size(); i += 4) {
        s.Doc.Image_Buffer[i] = b;
        s.Doc.Image_Buffer[i + 1] = g;
        s.Doc.Image_Buffer[i + 2] = r;
        s.Doc.Image_Buffer[i + 3] = 255;
    }
}

inline std::string Last_Prompt_Text() {
    const auto& h = Prompt_History();
    return h.empty() ? std::string() : h.back().Title + " / " + h.back().Text;
}
