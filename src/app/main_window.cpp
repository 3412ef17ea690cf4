#include "app/main_window.h"

#include <algorithm>
#include <cmath>

#include "analysis/threshold.h"
#include "app/analysis_panel.h"
#include "app/calibration_panel.h"
#include "app/control_ids.h"
#include "app/dispatch.h"
#include "app/icons.h"
#include "app/job_list.h"
#include "app/prefs.h"
#include "app/readout_panel.h"
#include "app/splash.h"
#include "app/status_bar.h"
#include "app/video_source.h"
#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"
#include "measure/canvas.h"
#include "measure/readouts.h"
#include "measure/snapping.h"
#include "platform/platform.h"
#include "render/font_atlas.h"
#include "render/glip.h"
#include "resources/resources.h"
#include "scale/scale_port.h"
#include "video/capture_thread.h"
#include "video/emulator.h"

Main_Layout Layout;

namespace {

const char* const CONTROL_FACE = "Segue UI";

struct Toolbar_Button {
    int64_t Control;
    int X;
    const char* Tooltip;
    bool Toggle;
    int Icon;      // stored icon, or -1
    int Vector;    // vector icon, or -1
};

// 36 x 36 buttons, 2 apart, with an extra quarter-button gap after the third and the fourth.
const Toolbar_Button Toolbar[] = {
    {CTL_OPEN_FILE, 0, "Open file...", false, ICON_OPEN, -1},
    {CTL_SAVE_FILE, 38, "Save file...", false, ICON_SAVE, -1},
    {CTL_CLOSE_FILE, 76, "Close selected file", false, ICON_CLOSE_FILE, -1},
    {CTL_VIDEO_TOGGLE, 123, "Enable / Disable Video", true, ICON_VIDEO, -1},
    {CTL_MAGNIFY, 170, "Magnify", true, -1, VECTOR_ICON_MAGNIFIER},
    {CTL_TOOL_LINE, 208, "Manual (Line)", true, -1, VECTOR_ICON_TOOL_LINE},
    {CTL_TOOL_BOX, 246, "Manual (Box)", true, -1, VECTOR_ICON_TOOL_BOX},
    {CTL_TOOL_CIRCLE, 284, "Manual (Circle)", true, -1, VECTOR_ICON_TOOL_CIRCLE},
    {CTL_TOOL_WIDTH, 322, "Auto-Measure (Width)", true, -1, VECTOR_ICON_TOOL_WIDTH},
    {CTL_TOOL_HEIGHT, 360, "Auto-Measure (Height)", true, -1, VECTOR_ICON_TOOL_HEIGHT},
    {CTL_TOOL_AXES, 398, "Auto-Measure (Width & Height axis)", true, -1, VECTOR_ICON_TOOL_AXES},
    {CTL_TOOL_AUTO_BOX, 436, "Auto-Measure (Box shape)", true, -1, VECTOR_ICON_TOOL_AUTO_BOX},
    {CTL_TOOL_AUTO_CIRCLE, 474, "Auto-Measure (Circle shape)", true, -1, VECTOR_ICON_TOOL_AUTO_CIRCLE},
    {CTL_TOOL_BLOB, 512, "Auto-Measure (Blob Analysis)", true, -1, VECTOR_ICON_TOOL_BLOB},
};

// Icons are 32 logical pixels wide: a vector icon drawn at the display scale
// has that many pixels per logical pixel, a stored one is shown as it is.
void Apply_Icon(int64_t control, const Icon_Image& icon, bool at_display_scale) {
    if (icon.Width > 0 && icon.Height > 0)
        Set_Control_Image(control, icon.Rgba.data(), icon.Width, icon.Height,
                          at_display_scale ? icon.Width / 32.0 : 1.0);
}

void Build_Toolbar(double scale) {
    for (const Toolbar_Button& b : Toolbar) {
        Create_Control(WINDOW_MAIN, b.Control, b.Toggle ? CONTROL_IMAGE_TOGGLE : CONTROL_IMAGE_BUTTON, b.X, 0, 36, 36,
                       "");
        Set_Tooltip(b.Control, b.Tooltip);
        if (b.Icon >= 0) Apply_Icon(b.Control, Load_Stored_Icon(b.Icon), false);
        if (b.Vector >= 0) Apply_Icon(b.Control, Draw_Vector_Icon(b.Vector, scale), true);
    }
    Set_State(CTL_TOOL_LINE, 1);
}

void Build_Menus() {
    Create_Menu_Bar(WINDOW_MAIN);
    Add_Menu_Title(WINDOW_MAIN, "File");
    Add_Menu_Item(WINDOW_MAIN, MENU_NEW, "New\tCtrl+N");
    Add_Menu_Item(WINDOW_MAIN, MENU_OPEN, "Open\tCtrl+O");
    Add_Menu_Item(WINDOW_MAIN, MENU_SAVE, "Save\tCtrl+S");
    Add_Menu_Separator(WINDOW_MAIN);
    Add_Menu_Item(WINDOW_MAIN, MENU_EXPORT_DATA, "Export data...");
    Add_Menu_Item(WINDOW_MAIN, MENU_EXPORT_RESULTS, "Export results...");
    Add_Menu_Item(WINDOW_MAIN, MENU_EXPORT_PICTURE, "Export picture...");
    Add_Menu_Separator(WINDOW_MAIN);
    Add_Menu_Item(WINDOW_MAIN, MENU_IMPORT_IMAGE, "Import Image");
    Add_Menu_Item(WINDOW_MAIN, MENU_VIDEO_SOURCE, "Video source...");
    Add_Menu_Item(WINDOW_MAIN, MENU_EXPORT_IMAGE, "Export Image");
    Add_Menu_Separator(WINDOW_MAIN);
    Add_Menu_Item(WINDOW_MAIN, MENU_EXIT, "Exit\tAlt+F4");
    Add_Menu_Title(WINDOW_MAIN, "Help");
    Add_Menu_Item(WINDOW_MAIN, MENU_KEYBOARD_SHORTCUTS, "Keyboard shortcuts");
    Add_Menu_Item(WINDOW_MAIN, MENU_USER_GUIDE, "User guide\tF1");
    Add_Menu_Item(WINDOW_MAIN, MENU_ABOUT, "About");
}

void Build_Analysis_Page(double scale) {
    const int page = CTL_PAGE_ANALYSIS;
    for (int k = 0; k < 6; k++) {
        int64_t b = CTL_ANALYSIS_FIRST + k;
        Create_Control(WINDOW_MAIN, b, CONTROL_IMAGE_TOGGLE, 2 + 32 * k, 2, 32, 32, "", page);
        if (k == 0)
            Apply_Icon(b, Load_Stored_Icon(ICON_MODE_0), false);
        else
            Apply_Icon(b, Draw_Vector_Icon(VECTOR_ICON_MODE_1 + (k - 1), scale), true);
    }
    Set_State(CTL_ANALYSIS_FIRST, 1);
    Create_Control(WINDOW_MAIN, CTL_THRESHOLD_FRAME, CONTROL_FRAME, 194, -1, 164, 40, "Threshold []", page);
    Create_Control(WINDOW_MAIN, CTL_THRESHOLD_SLIDER, CONTROL_SLIDER, 196, 16, 110, 20, "", page);
    Set_Slider_Range(CTL_THRESHOLD_SLIDER, 1, 255);
    Create_Control(WINDOW_MAIN, CTL_AUTO_THRESHOLD, CONTROL_BUTTON, 306, 14, 20, 24, "A", page);
    Create_Control(WINDOW_MAIN, CTL_PLUS_MINUS, CONTROL_TOGGLE_BUTTON, 326, 14, 24, 24, "+-", page);
    Create_Control(WINDOW_MAIN, CTL_THRESHOLD_METHOD_LABEL, CONTROL_LABEL, 4, 45, 160, 22, "Automatic threshold:",
                   page);
    Create_Control(WINDOW_MAIN, CTL_THRESHOLD_METHOD, CONTROL_DROPDOWN, 166, 40, 130, 26, "", page);
    for (const char* method : {"Own rule", "Otsu", "Triangle", "Li", "IsoData", "Mean"})
        Add_Row(CTL_THRESHOLD_METHOD, method);
    Set_State(CTL_THRESHOLD_METHOD, 0);
    Create_Control(WINDOW_MAIN, CTL_BRIGHT_OBJECTS, CONTROL_CHECKBOX, 4, 70, 200, 24, "Bright objects", page);
    // Everything below moves down by these two rows.
    const int below = 58;
    Create_Control(WINDOW_MAIN, CTL_MEASURE_FRAME, CONTROL_FRAME, 2, 40 + below, 400, 380, "Measurements:", page);

    struct Readout {
        int64_t Label, View;
        int X, Label_Y, Label_H, View_Y, Label_W;
        const char* Caption;
    };
    const Readout readouts[] = {
        {CTL_LABEL_SCALE_X, CTL_READOUT_SCALE_X, 12, 58, 18, 78, 94, "ScaleX:"},
        {CTL_LABEL_SCALE_Y, CTL_READOUT_SCALE_Y, 110, 58, 18, 78, 94, "ScaleY:"},
        {CTL_LABEL_SCALE_Z, CTL_READOUT_SCALE_Z, 208, 58, 18, 78, 94, "ScaleZ:"},
        {CTL_LABEL_LENGTH, CTL_READOUT_LENGTH, 12, 106, 20, 126, 94, "Length:"},
        {CTL_LABEL_ANGLE, CTL_READOUT_ANGLE, 110, 106, 20, 126, 94, "Angle:"},
        {CTL_LABEL_THRESHOLD_PCT, CTL_READOUT_THRESHOLD_PCT, 208, 106, 18, 126, 130, "Threshold %:"},
    };
    for (const Readout& r : readouts) {
        Create_Control(WINDOW_MAIN, r.Label, CONTROL_LABEL, r.X, r.Label_Y + below, r.Label_W, r.Label_H, r.Caption,
                       page);
        Create_Control(WINDOW_MAIN, r.View, CONTROL_GL_VIEW, r.X, r.View_Y + below, 94, 28, "", page);
    }
    Create_Control(WINDOW_MAIN, CTL_MEASURE_LIST, CONTROL_LIST, 4, 166 + below, 480, 140, "", page);
    Set_Control_Font(CTL_MEASURE_LIST, CONTROL_FACE, 9, false);
    Add_List_Column(CTL_MEASURE_LIST, "ID", 40);
    for (const char* title : {"Msr1", "Msr2", "Msr3", "Msr4"}) Add_List_Column(CTL_MEASURE_LIST, title, 80);
}

void Build_Settings_Page() {
    const int page = CTL_PAGE_SETTINGS;
    Create_Control(WINDOW_MAIN, CTL_UNIT_LABEL, CONTROL_LABEL, 2, 8, 150, 24, "Unit of measurment:", page);
    Create_Control(WINDOW_MAIN, CTL_UNIT_LIST, CONTROL_DROPDOWN, 152, 6, 128, 24, "", page);
    for (const char* unit : {"Microns", "Thous", "Millimetres", "Inches", "Pixels"}) Add_Row(CTL_UNIT_LIST, unit);
    Set_State(CTL_UNIT_LIST, 2);
    Create_Control(WINDOW_MAIN, CTL_SNAP_EDGES, CONTROL_CHECKBOX, 2, 36, 300, 24, "Snap to Edges", page);
    Create_Control(WINDOW_MAIN, CTL_SNAP_ANGLE, CONTROL_CHECKBOX, 2, 66, 300, 24, "Snap to Angle", page);
    Set_State(CTL_SNAP_ANGLE, 1);
    // The camera settings window is reached from here.
    Create_Control(WINDOW_MAIN, CTL_VIDEO_SETTINGS_FRAME, CONTROL_FRAME, 2, 100, 300, 64, "Video Settings:", page);
    Create_Control(WINDOW_MAIN, CTL_VIDEO_SETTINGS_BUTTON, CONTROL_IMAGE_BUTTON, 12, 122, 36, 36, "", page);
    Set_Tooltip(CTL_VIDEO_SETTINGS_BUTTON, "Video settings...");
    Apply_Icon(CTL_VIDEO_SETTINGS_BUTTON, Load_Stored_Icon(ICON_VIDEO), false);
    // Options of "Export picture...", for this run (not kept in the preferences).
    Create_Control(WINDOW_MAIN, CTL_EXPORT_SCALE_BAR, CONTROL_CHECKBOX, 2, 232, 300, 24, "Scale bar on exported pictures",
                   page);
    Set_State(CTL_EXPORT_SCALE_BAR, 1);
    Create_Control(WINDOW_MAIN, CTL_EXPORT_OVERLAY, CONTROL_CHECKBOX, 2, 262, 300, 24, "Measurements on exported pictures",
                   page);
    Set_State(CTL_EXPORT_OVERLAY, 1);
    // The stage scale's serial port; its rows are filled once the preferences are read.
    Create_Control(WINDOW_MAIN, CTL_SCALE_PORT_LABEL, CONTROL_LABEL, 2, 174, 150, 24, "Scale port:", page);
    Create_Control(WINDOW_MAIN, CTL_SCALE_PORT, CONTROL_DROPDOWN, 152, 172, 200, 24, "", page);
    Create_Calibration_Row(page);
}

}  // namespace

bool Create_Main_Window_Controls() {
    if (!Open_Window(WINDOW_MAIN, Application_Name + " - " + Application_Version, 0, 0, MAIN_INITIAL_W,
                     MAIN_INITIAL_H,
                     WINDOW_HIDDEN | WINDOW_CENTRED | WINDOW_RESIZABLE | WINDOW_CLOSE_BOX | WINDOW_ACCEPT_FILES))
        return false;
    Set_Window_Min_Size(WINDOW_MAIN, MAIN_MIN_W, MAIN_MIN_H);
    Add_Timer(WINDOW_MAIN, TIMER_REDRAW_100, 100);
    Add_Timer(WINDOW_MAIN, TIMER_REDRAW_500, 500);
    Add_Timer(WINDOW_MAIN, TIMER_SCALE_330, 330);
    Add_Timer(WINDOW_MAIN, TIMER_STATUS_200, 200);

    double scale = Display_Scale_X();
    Build_Toolbar(scale);
    Create_Status_Bar(WINDOW_MAIN, {160, 160, 180, 160, 320, 180});
    Fit_Status_Fields();
    Build_Menus();

    Layout_Main_Window();
    // The picture view comes first: its context is the one every other view shares.
    Create_Control(WINDOW_MAIN, CTL_PICTURE_VIEW, CONTROL_GL_VIEW, Layout.View_X, Layout.View_Y, Layout.View_W,
                   Layout.View_H / 2, "");
    Set_Crosshair_Cursor(CTL_PICTURE_VIEW);
    Create_Control(WINDOW_MAIN, CTL_THUMBNAIL_SCROLL, CONTROL_SCROLL_AREA, 0, TOOLBAR_HEIGHT, THUMB_COLUMN_WIDTH,
                   Layout.View_H - 4, "");
    Set_Scroll_Area_Inner_Size(CTL_THUMBNAIL_SCROLL, 66, 100);
    for (int64_t i = 0; i < JOB_SLOTS; i++) {
        Create_Control(WINDOW_MAIN, CTL_THUMBNAIL_FIRST + i, CONTROL_GL_VIEW, THUMB_X, THUMB_PARKED_Y, THUMB_W,
                       THUMB_H, "", CTL_THUMBNAIL_SCROLL);
        Jobs[i].List_View = CTL_THUMBNAIL_FIRST + i;
    }
    Create_Control(WINDOW_MAIN, CTL_SIDE_PANEL, CONTROL_PAGES, Layout.Panel_X, Layout.Panel_Y, SIDE_PANEL_WIDTH,
                   Layout.Panel_H, "");
    Add_Page(CTL_SIDE_PANEL, CTL_PAGE_ANALYSIS, "Analysis");
    Add_Page(CTL_SIDE_PANEL, CTL_PAGE_SETTINGS, "Settings");
    Build_Analysis_Page(scale);
    Build_Settings_Page();
    Set_State(CTL_SIDE_PANEL, 0);
    return true;
}

void Layout_Main_Window() {
    int w = 0, h = 0;
    Window_Size(WINDOW_MAIN, &w, &h);
    int bars = Status_Bar_Height(WINDOW_MAIN) + Menu_Bar_Height(WINDOW_MAIN);
    Layout.Client_W = w;
    Layout.Client_H = h;
    Layout.View_X = THUMB_COLUMN_WIDTH;
    Layout.View_Y = TOOLBAR_HEIGHT;
    Layout.View_W = w - (THUMB_COLUMN_WIDTH + SIDE_PANEL_WIDTH);
    Layout.View_H = h - (bars + TOOLBAR_HEIGHT);
    Layout.Panel_X = w - SIDE_PANEL_WIDTH;
    Layout.Panel_Y = TOOLBAR_HEIGHT;
    Layout.Panel_H = h;
}

void On_Main_Window_Resized() {
    Layout_Main_Window();
    Resize_Control(CTL_SIDE_PANEL, Layout.Panel_X, Layout.Panel_Y, SIDE_PANEL_WIDTH, Layout.Panel_H);
    int list_x = 0, list_y = 0;
    Control_Window_Position(CTL_MEASURE_LIST, &list_x, &list_y);
    Resize_Control(CTL_MEASURE_LIST, -1, -1, -1, Layout.Client_H - (list_y + 40));
    Resize_Control(CTL_PICTURE_VIEW, Layout.View_X, Layout.View_Y, std::max(1, Layout.View_W),
                   std::max(1, Layout.View_H));
    Resize_Control(CTL_THUMBNAIL_SCROLL, -1, -1, -1, std::max(1, Layout.View_H));
    GLip_Redraw(CTL_PICTURE_VIEW, Background_Live, FIT_CONTAIN, GLIP_SWAP, GLIP_NO_FINISH, GLIP_CLEAR, GLIP_NO_FLIP);
}

bool Build_Main_Window() {
    Log(Application_Name);
    Log(Application_Version);
    Log(Program_Names.Data_Folder);
    Build_Grey_Palette();
    if (Splash_At_Start) Show_Splash(2500);
    Start_Capture_Thread();
    if (!Create_Main_Window_Controls()) return false;
    Flush_Events();
    Request_Threshold_Label();
    Bind_Resize_Handler(WINDOW_MAIN, On_Main_Window_Resized);
    ProcessMode& live = Jobs[0].Doc.Processing;
    live.Threshold_Cyan = live.Threshold_Magenta = live.Threshold_Yellow = live.Threshold_Black = 80;
    Jobs[0].Doc.Measure_Unit = 2;
    float now = Elapsed_Ms();
    Main_Loop.Next_Timing_Log_Ms = (int64_t)std::llround(now) + 1000;
    Main_Loop.Next_Acquire_Ms = (int64_t)std::llround(now);
    Main_Loop.Acquire_Interval_Ms = 5;
    Make_Current_Job(-1);
    Clear_Capture_Device();
    Forget_Pointer();
    Attach_Picture_View(CTL_PICTURE_VIEW);
    Settings_From_Widgets();
    Prefs_Load();
    Fill_Scale_Port_Choice(Comport_Name);
    Prepare_Snap_Offsets();
    gText_Init(CTL_PICTURE_VIEW, 256);
    gText_Define_Font(0, "Digital-7 Mono", 20, 1024, " -0123456789.%");
    std::string printable;
    for (int c = 32; c <= 126; c++) printable += (char)c;
    printable += "\xC2\xB2";
    gText_Define_Font(1, "Roboto", 20, 0, printable);
    gText_Build_Atlas(256);
    Start_Startup_Video();
    Set_Magnifier_Zoom(4);
    On_Main_Window_Resized();
    Choose_Tool_Button(-1);
    Refresh_Readouts(true);
    Select_Analysis_Mode(1);
    Show_Window(WINDOW_MAIN, true);
    return true;
}
