#include "app/calibration_panel.h"

#include <string>

#include "app/control_ids.h"
#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/calibration.h"
#include "measure/calibration_list.h"
#include "measure/canvas.h"
#include "measure/readouts.h"
#include "measure/units.h"
#include "platform/platform.h"

namespace {

// Runs the dialog; returns true with the typed length (above 0) and the
// optional name to save the calibration under when OK was pressed. `radius`
// adds the line saying the length asked for is the circle's radius.
bool Calibration_Dialog(const std::string& measured_text, const std::string& unit, bool radius, double* actual,
                        std::string* save_as) {
    if (!Open_Window(WINDOW_CALIBRATION, "Enter calibration value", 0, 0, 320, 120,
                     WINDOW_HIDDEN | WINDOW_CENTRED | WINDOW_CLOSE_BOX | WINDOW_ON_TOP | WINDOW_CHILD_OF_MAIN))
        return false;
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_FRAME, CONTROL_FRAME, 2, 4, 316, 112, "Calibrate:");
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_MEASURED_LABEL, CONTROL_LABEL, 8, 26, 160, 20, "Measured Distance:");
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_MEASURED, CONTROL_TEXT_READONLY, 170, 24, 70, 20, measured_text);
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_MEASURED_UNIT, CONTROL_LABEL, 244, 26, 120, 20, unit);
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_ACTUAL_LABEL, CONTROL_LABEL, 8, 48, 160, 20, "Actual Distance:");
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_ACTUAL, CONTROL_TEXT_INPUT, 170, 46, 70, 20, "");
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_ACTUAL_UNIT, CONTROL_LABEL, 244, 48, 120, 20, unit);
    // Without it a bead's diameter typed for a circle halves the calibration.
    if (radius) Create_Control(WINDOW_CALIBRATION, CTL_CAL_NOTE, CONTROL_LABEL, 8, 68, 300, 18, "The circle's radius");
    // Optional: a name ("10x") stores the new value among the named calibrations.
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_SAVE_AS_LABEL, CONTROL_LABEL, 8, 88, 56, 20, "Save as:");
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_SAVE_AS, CONTROL_TEXT_INPUT, 64, 86, 80, 22, "");
    Set_Tooltip(CTL_CAL_SAVE_AS, "Name of the objective, to choose this calibration again on the Settings page");
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_OK, CONTROL_BUTTON, 150, 86, 80, 22, "OK");
    Create_Control(WINDOW_CALIBRATION, CTL_CAL_CANCEL, CONTROL_BUTTON, 234, 86, 80, 22, "Cancel");
    Disable_Control(CTL_CAL_OK, true);
    Show_Window(WINDOW_CALIBRATION, true);

    bool ok = false;
    bool done = false;
    Platform_Event event;
    while (!done) {
        Wait_Event(100);
        while (!done && Poll_Event(&event)) {
            // The main window's events are not processed while the dialog is open.
            if (event.Window != WINDOW_CALIBRATION) continue;
            if (event.Kind == EVENT_CLOSE_WINDOW) {
                done = true;
            } else if (event.Kind == EVENT_CONTROL) {
                if (event.Control == CTL_CAL_ACTUAL) {
                    Disable_Control(CTL_CAL_OK, Typed_Length(Get_Text(CTL_CAL_ACTUAL)) == 0);
                } else if (event.Control == CTL_CAL_OK && !Control_Disabled(CTL_CAL_OK)) {
                    // Read again: the text may have changed after its last event.
                    *actual = Typed_Length(Get_Text(CTL_CAL_ACTUAL));
                    *save_as = Get_Text(CTL_CAL_SAVE_AS);
                    ok = *actual > 0;
                    done = ok;
                    if (!ok) Disable_Control(CTL_CAL_OK, true);
                } else if (event.Control == CTL_CAL_CANCEL) {
                    done = true;
                }
            }
        }
        if (!Window_Exists(WINDOW_CALIBRATION)) done = true;
        // A termination signal cancels the input, so the program can end in order.
        if (Prompt_Abort_Requested()) done = true;
    }
    Close_Window(WINDOW_CALIBRATION);
    return ok;
}


// What the caption and the drop-down showed last, so the periodic refresh
// only touches the controls when something changed.
std::string Shown_Caption;
int64_t Shown_Choice = -2;
int32_t Shown_Width = -1;  // live picture width the drop-down's rows were labelled for

// The rows name the calibrations as they apply to the live picture.
void Fill_Choice_Rows() {
    Shown_Width = Jobs[0].Doc.Resolution.x;
    Clear_Rows(CTL_CALIBRATION_CHOICE);
    for (const Named_Calibration& c : Calibrations) Add_Row(CTL_CALIBRATION_CHOICE, Calibration_Label(c, Shown_Width));
    Disable_Control(CTL_CALIBRATION_CHOICE, Calibrations.empty());
    Shown_Choice = -2;
}

}  // namespace


void Calibrate() {
    int64_t row = Get_State(CTL_MEASURE_LIST);
    if (row < 0 || row >= Row_Count(CTL_MEASURE_LIST)) return;
    std::string id = Get_Cell_Text(CTL_MEASURE_LIST, row, 0);
    Log("gadget data: Line: " + std::to_string(row) + ", Handle: " + id);
    int64_t slot = 0, position = 0;
    if (!Parse_Measurement_Id(id, &slot, &position)) return;
    if (slot < 0 || slot >= JOB_SLOTS || !Jobs[slot].In_Use) return;
    const std::vector<Tool>& tools = Jobs[slot].Doc.Tools;
    if (position < 0 || position >= (int64_t)tools.size()) return;
    const Tool& tool = tools[(size_t)position];

    double measured = 0;
    if (tool.Type == TOOL_LINE || tool.Type == TOOL_WIDTH || tool.Type == TOOL_HEIGHT)
        measured = tool.Distance;
    else if (tool.Type == TOOL_CIRCLE)
        measured = tool.Radius;
    measured = (double)Round_Half_Even(measured);
    if (measured < 1) return;

    Job_Slot* current = Current_Slot();
    float ppmm = current ? current->Doc.PPMM : Jobs[0].Doc.PPMM;
    double actual = 0;
    std::string save_as;
    if (!Calibration_Dialog(Format_Length(measured, ppmm, 0), Unit_Caption(), tool.Type == TOOL_CIRCLE, &actual,
                            &save_as))
        return;

    float new_ppmm = Calibration_PPMM(measured, actual, Current_Unit_Code());
    // Made on the document the measurement is in: its width scales the value
    // for pictures of other widths.
    int32_t made_width = Jobs[slot].Doc.Resolution.x;
    Note_Calibration_Made();
    Apply_Calibration_PPMM(new_ppmm, made_width);
    if (!Clean_Calibration_Name(save_as).empty() && Store_Named_Calibration(save_as, new_ppmm, made_width))
        Fill_Calibration_Choice();
    Refresh_Calibration_Display();
    Message_Box("Info", "Calibration complete", MSG_OK | MSG_ICON_INFO);
}

void Create_Calibration_Row(int64_t page) {
    Create_Control(WINDOW_MAIN, CTL_CALIBRATION_LABEL, CONTROL_LABEL, 2, 204, 150, 24, "Calibration:", page);
    Create_Control(WINDOW_MAIN, CTL_CALIBRATION_CHOICE, CONTROL_DROPDOWN, 152, 202, 128, 24, "", page);
    Set_Tooltip(CTL_CALIBRATION_CHOICE,
                "Calibration of the live picture and of the pictures frozen from now on; saved from the "
                "calibration dialog");
    Fill_Calibration_Choice();
}

void Fill_Calibration_Choice() {
    Fill_Choice_Rows();
    Refresh_Calibration_Display();
}

void Calibration_Chosen() {
    int64_t i = Get_State(CTL_CALIBRATION_CHOICE);
    if (i < 0 || i >= (int64_t)Calibrations.size()) return;
    Log("Calibration chosen: " + Calibrations[(size_t)i].Name);
    // A new objective says nothing about pictures taken with the old one:
    // frozen, opened and imported documents keep their own calibration.
    Apply_Named_Calibration((size_t)i);
    Refresh_Calibration_Display();
}

void Refresh_Calibration_Display() {
    // A change of the live picture's size that no caller reported.
    int32_t live_width = Jobs[0].Doc.Resolution.x;
    Live_Width_Changed(live_width);
    if (live_width != Shown_Width) Fill_Choice_Rows();
    std::string caption = Measure_Frame_Caption();
    if (caption != Shown_Caption || Get_Text(CTL_MEASURE_FRAME) != caption) {
        Set_Text(CTL_MEASURE_FRAME, caption);
        Shown_Caption = caption;
    }
    // The drop-down is the live picture's setting, whichever document is shown.
    int64_t choice = Find_Calibration(Jobs[0].Doc.PPMM, live_width);
    if (choice != Shown_Choice) {
        Set_State(CTL_CALIBRATION_CHOICE, choice);
        Shown_Choice = choice;
    }
}
