#include "app/dispatch.h"

#include "analysis/auto_threshold.h"
#include "analysis/threshold.h"
#include "analysis/threshold_methods.h"
#include "app/analysis_panel.h"
#include "app/calibration_panel.h"
#include "app/control_ids.h"
#include "app/help.h"
#include "app/job_list.h"
#include "app/picture_export.h"
#include "app/prefs.h"
#include "app/readout_panel.h"
#include "app/splash.h"
#include "app/unsaved.h"
#include "app/video_settings_window.h"
#include "app/video_source.h"
#include "base/app_state.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "document/csv_export.h"
#include "document/doc_file.h"
#include "document/doc_model.h"
#include "document/image_files.h"
#include "document/settings.h"
#include "measure/calibration.h"
#include "measure/calibration_list.h"
#include "measure/canvas.h"
#include "measure/readouts.h"
#include "measure/results_table.h"
#include "measure/tools.h"
#include "platform/platform.h"
#include "scale/scale_port.h"
#include "video/camera_source.h"
#include "video/capture_thread.h"
#include "video/emulator.h"

namespace {

const int64_t Tool_Buttons[9] = {CTL_TOOL_LINE,  CTL_TOOL_BOX,      CTL_TOOL_CIRCLE,
                                 CTL_TOOL_WIDTH, CTL_TOOL_HEIGHT,   CTL_TOOL_AXES,
                                 CTL_TOOL_AUTO_BOX, CTL_TOOL_BLOB, CTL_TOOL_AUTO_CIRCLE};

void Unit_Changed() {
    if (Current_Job > -1) {
        int64_t selected_row = Get_State(CTL_MEASURE_LIST);
        int64_t unit = Get_State(CTL_UNIT_LIST);
        if (Jobs[Current_Job].Doc.Measure_Unit != unit) Mark_Document_Changed(Current_Job);
        Jobs[Current_Job].Doc.Measure_Unit = unit;
        Set_Text(CTL_MEASURE_FRAME, Measure_Frame_Caption());
        Rebuild_Measurement_List();
        Set_State(CTL_MEASURE_LIST, selected_row);
        Request_Threshold_Label();
    }
    Prefs_Save();
}

void Measurement_List_Event(const Platform_Event& event) {
    int64_t row = Get_State(CTL_MEASURE_LIST);
    switch (event.Type) {
        case ETYPE_LEFT_CLICK: {
            if (row < 0) return;
            int64_t slot = Get_Row_Data(CTL_MEASURE_LIST, row);
            if (slot != Current_Job) {
                Log("Navigating to: " + std::to_string(slot));
                Select_Job(slot);
                Set_State(CTL_MEASURE_LIST, row);  // the rebuild cleared the selection
            }
            break;
        }
        case ETYPE_RIGHT_CLICK:
            if (row >= 0)
                Show_Popup_Menu(WINDOW_MAIN, {{MENU_DELETE_MEASUREMENT, "Delete measurement..."},
                                              {MENU_CLEAR_MEASUREMENTS, "Clear all measurements..."},
                                              {MENU_CALIBRATE, "Calibrate against..."}});
            break;
        case ETYPE_LEFT_DOUBLE_CLICK:
            Log("Calibration here");
            if (row >= 0) Calibrate();
            break;
        default: break;
    }
}

void Scale_Port_Chosen() {
    const int64_t row = Get_State(CTL_SCALE_PORT);
    std::string chosen = Scale_Port_Choice_Value(Comport_Name, row, Get_Row_Text(CTL_SCALE_PORT, row));
    if (chosen == Comport_Name) return;
    Comport_Name = chosen;
    Log("Scale port: " + Comport_Name);
    Prefs_Save();
    // A new choice gets its own report when it cannot be opened.
    Scale_Port_Failure_Reported = 0;
    Scale_Follow_Port(Comport_Name);
}

void Threshold_Note() {
    Job_Slot* slot = Current_Slot();
    if (!slot) return;
    float hits = slot->Doc.Measure.Hits;
    Add_Threshold_Note(Get_State(CTL_PLUS_MINUS) == 1 ? 100.0f - hits : hits);
}

}  // namespace

void Menu_Command(const Platform_Event& event) {
    switch (event.Control) {
        case MENU_NEW: New_Command(); break;
        case MENU_OPEN: Open_Document(); break;
        case MENU_SAVE: Save_Document(1); break;
        case MENU_EXPORT_DATA: Export_Csv(Measurement_List_For_Csv()); break;
        case MENU_EXPORT_RESULTS: Export_Results(); break;
        case MENU_IMPORT_IMAGE: Import_Image_Dialog(); break;
        case MENU_VIDEO_SOURCE: Open_Video_Source_Dialog(); break;
        case MENU_EXPORT_IMAGE: Export_Image(CTL_PICTURE_VIEW); break;
        case MENU_EXPORT_PICTURE: Export_Picture(); break;
        case MENU_EXIT: Quit_Command(); break;
        case MENU_ABOUT: Show_Splash(5000000); break;
        case MENU_KEYBOARD_SHORTCUTS: Open_Keyboard_Shortcuts(); break;
        case MENU_USER_GUIDE: Open_User_Guide(); break;
        case MENU_DELETE_MEASUREMENT:
            if (Current_Job == -1) break;
            if (Message_Box("Delete selected measurement...", "Are you sure?", MSG_YES_NO) == 1)
                Delete_Selected_Measurement();
            break;
        case MENU_CLEAR_MEASUREMENTS:
            if (Current_Job != -1) Clear_All_Measurements();
            break;
        case MENU_CALIBRATE:
            if (Current_Job != -1) Calibrate();
            break;
        default: break;
    }
}

void Settings_From_Widgets() {
    User_Settings s = Settings_View();
    s.Unit = Get_State(CTL_UNIT_LIST);
    s.Snap_Edges = Get_State(CTL_SNAP_EDGES) == 1;
    s.Snap_Angle = Get_State(CTL_SNAP_ANGLE) == 1;
    s.Magnify = Get_State(CTL_MAGNIFY) == 1;
    s.Export_Scale_Bar = Get_State(CTL_EXPORT_SCALE_BAR) == 1;
    s.Export_Overlay = Get_State(CTL_EXPORT_OVERLAY) == 1;
    s.Invert_Hits = Get_State(CTL_PLUS_MINUS) == 1;
    const int64_t method = Get_State(CTL_THRESHOLD_METHOD);
    s.Threshold_Method = method >= 0 && method <= THRESHOLD_METHODS ? (uint8_t)method : 0;
    Store_Settings(s);
}

void Fill_Scale_Port_Choice(const std::string& comport, const std::string& root) {
    const Scale_Port_Rows rows = Scale_Port_Choices(comport, root);
    Clear_Rows(CTL_SCALE_PORT);
    for (const std::string& name : rows.Names) Add_Row(CTL_SCALE_PORT, name);
    Set_State(CTL_SCALE_PORT, rows.Selected);
}

void Choose_Tool_Button(int64_t button) {
    if (button >= 0) {
        for (int64_t b : Tool_Buttons) Set_State(b, 0);
        Set_State(button, 1);
    }
    for (int i = 0; i < 9; i++) {
        if (Get_State(Tool_Buttons[i]) == 1) {
            Choose_Tool(MTOOL_LINE + i);
            return;
        }
    }
    Choose_Tool(MTOOL_LINE);
    Set_State(CTL_TOOL_LINE, 1);
}

void Control_Command(const Platform_Event& event) {
    int64_t c = event.Control;
    Settings_From_Widgets();
    if (c >= CTL_ANALYSIS_FIRST && c <= CTL_ANALYSIS_LAST) {
        Select_Analysis_Mode(c - CTL_ANALYSIS_FIRST + 1);
        return;
    }
    if (c >= CTL_TOOL_LINE && c <= CTL_TOOL_AUTO_CIRCLE) {
        Choose_Tool_Button(c);
        return;
    }
    switch (c) {
        case CTL_OPEN_FILE: Open_Document(); break;
        case CTL_SAVE_FILE: Save_Document(1); break;
        case CTL_CLOSE_FILE: Close_Document_Command(); break;
        case CTL_VIDEO_TOGGLE:
            if (Get_State(CTL_VIDEO_TOGGLE) == 1)
                Start_Chosen_Video_Source();
            else
                Disable_Video();
            break;
        case CTL_THRESHOLD_SLIDER: Apply_Threshold(); break;
        case CTL_AUTO_THRESHOLD: Auto_Threshold(); break;
        case CTL_BRIGHT_OBJECTS: Bright_Objects_Changed(); break;
        case CTL_THRESHOLD_METHOD:
            if (event.Type == ETYPE_CHANGE) Mark_Prefs_Changed();
            break;
        case CTL_SNAP_ANGLE:
        case CTL_SNAP_EDGES: Prefs_Save(); break;
        case CTL_READOUT_THRESHOLD_PCT:
            if (event.Type == ETYPE_LEFT_DOUBLE_CLICK) Threshold_Note();
            break;
        case CTL_UNIT_LIST:
            if (event.Type == ETYPE_CHANGE) Unit_Changed();
            break;
        case CTL_MEASURE_LIST: Measurement_List_Event(event); break;
        case CTL_SCALE_PORT:
            if (event.Type == ETYPE_CHANGE) Scale_Port_Chosen();
            break;
        case CTL_SIDE_PANEL:
            // Ports come and go with their adapters: the list is fresh whenever the page is shown.
            if (Get_State(CTL_SIDE_PANEL) == 1) Fill_Scale_Port_Choice(Comport_Name);
            break;
        case CTL_CALIBRATION_CHOICE:
            if (event.Type == ETYPE_CHANGE) Calibration_Chosen();
            break;
        case CTL_READOUT_SCALE_X:
            if (event.Type == ETYPE_LEFT_DOUBLE_CLICK) Stage_Zero = Stage_Position;
            break;
        case CTL_VIDEO_SETTINGS_BUTTON:
            if (!Camera_Settings_Window_Open()) Open_Camera_Settings_Window();
            break;
        case CTL_MAGNIFY:
        case CTL_PLUS_MINUS: break;  // the settings record took their state
        default:
            if (c >= CTL_THUMBNAIL_FIRST && c < CTL_THUMBNAIL_FIRST + JOB_SLOTS && event.Type == ETYPE_LEFT_CLICK)
                Thumbnail_Click(c);
            break;
    }
}
