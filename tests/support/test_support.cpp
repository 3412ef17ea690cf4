// Shared builders of the logic tests (see test_support.h).
#include "support/test_support.h"

// The fixture header names the program headers the builders use.
#include "support/null_fixture.h"
#include "document/settings.h"

void Reset_App_State() {
    Null_Reset();
    Reset_Jobs();
    Reset_Canvas_State();
    Reset_Settings();
    Clear_Prompt_Script();
    Clear_Prompt_History();
    Calibrations.clear();
    Calibration_Made = false;
    Live_PPMM_Width = 0;
}

void Fresh_Main_Window() {
    Reset_App_State();
    Build_Grey_Palette();
    ASSERT_TRUE(Create_Main_Window_Controls());
    Jobs[0].Doc.PPMM = 100;
    Jobs[0].Doc.Measure_Unit = 2;
}

void Fill_Picture(std::vector<uint8_t>* bgra, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    for (size_t i = 0; i + 3 < bgra->size(); i += 4) {
        (*bgra)[i] = b;
        (*bgra)[i + 1] = g;
        (*bgra)[i + 2] = r;
        (*bgra)[i + 3] = a;
    }
}

void Make_Document(int64_t slot, int32_t w, int32_t h, float ppmm, uint8_t b, uint8_t g, uint8_t r) {
    Job_Slot& s = Jobs[slot];
    s.In_Use = 1;
    s.Doc.PPMM = ppmm;
    s.Doc.Measure_Unit = 2;
    Allocate_Image(&s, w, h);
    Fill_Picture(&s.Doc.Image_Buffer, b, g, r);
}

std::string Last_Prompt_Text() {
    const auto& h = Prompt_History();
    return h.empty() ? std::string() : h.back().Title + " / " + h.back().Text;
}

Platform_Event Control_Event(int64_t window, int64_t control, int64_t type, float x, float y) {
    Platform_Event e;
    e.Window = window;
    e.Kind = EVENT_CONTROL;
    e.Control = control;
    e.Type = type;
    e.X = x;
    e.Y = y;
    return e;
}

Platform_Event View_Event(int64_t type, float x, float y) {
    return Control_Event(WINDOW_MAIN, CTL_PICTURE_VIEW, type, x, y);
}

Tool Make_Tool(int64_t type, float x1, float y1, float x2, float y2, float distance, float angle) {
    Tool t;
    t.Type = type;
    t.X_Start = x1;
    t.Y_Start = y1;
    t.X_End = x2;
    t.Y_End = y2;
    t.Distance = distance;
    t.Angle = angle;
    return t;
}
