// Fixed numbers of the controls, menu items and timers. Control numbers are
// unique across all windows; menu items have their own number range.
#pragma once

#include <cstdint>

// ---- main window: tool bar
const int64_t CTL_OPEN_FILE = 15;
const int64_t CTL_SAVE_FILE = 16;
const int64_t CTL_CLOSE_FILE = 17;
const int64_t CTL_VIDEO_TOGGLE = 20;
const int64_t CTL_MAGNIFY = 23;
const int64_t CTL_TOOL_LINE = 128;        // Manual (Line)
const int64_t CTL_TOOL_BOX = 129;         // Manual (Box)
const int64_t CTL_TOOL_CIRCLE = 130;      // Manual (Circle)
const int64_t CTL_TOOL_WIDTH = 131;       // Auto-Measure (Width)
const int64_t CTL_TOOL_HEIGHT = 132;      // Auto-Measure (Height)
const int64_t CTL_TOOL_AXES = 133;        // Auto-Measure (Width & Height axis)
const int64_t CTL_TOOL_AUTO_BOX = 134;    // Auto-Measure (Box shape)
const int64_t CTL_TOOL_BLOB = 135;        // Auto-Measure (Blob Analysis)
const int64_t CTL_TOOL_AUTO_CIRCLE = 136; // Auto-Measure (Circle shape)

// ---- main window: body
const int64_t CTL_THUMBNAIL_FIRST = 0;    // thumbnails 0..8, one per job slot
const int64_t CTL_THUMBNAIL_SCROLL = 10;
const int64_t CTL_SIDE_PANEL = 11;
const int64_t CTL_STATUS_BAR = 12;
const int64_t CTL_PICTURE_VIEW = 108;
const int64_t CTL_PAGE_ANALYSIS = 190;    // page containers of the side panel
const int64_t CTL_PAGE_SETTINGS = 191;

// ---- page "Analysis"
const int64_t CTL_ANALYSIS_FIRST = 113;   // analysis mode buttons 113..118 (modes 0..5)
const int64_t CTL_ANALYSIS_LAST = 118;
const int64_t CTL_THRESHOLD_SLIDER = 120;
const int64_t CTL_AUTO_THRESHOLD = 121;   // "A"
const int64_t CTL_THRESHOLD_FRAME = 139;  // "Threshold [..]"
const int64_t CTL_PLUS_MINUS = 175;       // "+-"
const int64_t CTL_THRESHOLD_METHOD_LABEL = 176;  // "Automatic threshold:"
const int64_t CTL_THRESHOLD_METHOD = 177;
const int64_t CTL_BRIGHT_OBJECTS = 178;          // "Bright objects"
const int64_t CTL_MEASURE_FRAME = 142;    // "Measurements:"
const int64_t CTL_LABEL_SCALE_X = 159;
const int64_t CTL_READOUT_SCALE_X = 160;
const int64_t CTL_LABEL_SCALE_Y = 161;
const int64_t CTL_READOUT_SCALE_Y = 162;
const int64_t CTL_LABEL_SCALE_Z = 163;
const int64_t CTL_READOUT_SCALE_Z = 164;
const int64_t CTL_LABEL_LENGTH = 152;
const int64_t CTL_READOUT_LENGTH = 153;
const int64_t CTL_LABEL_ANGLE = 154;
const int64_t CTL_READOUT_ANGLE = 155;
const int64_t CTL_LABEL_THRESHOLD_PCT = 140;
const int64_t CTL_READOUT_THRESHOLD_PCT = 141;
const int64_t CTL_MEASURE_LIST = 157;

// ---- page "Settings"
const int64_t CTL_UNIT_LABEL = 145;
const int64_t CTL_UNIT_LIST = 144;
const int64_t CTL_SNAP_EDGES = 138;
const int64_t CTL_SNAP_ANGLE = 137;
const int64_t CTL_VIDEO_SETTINGS_FRAME = 192;   // "Video Settings:"
const int64_t CTL_VIDEO_SETTINGS_BUTTON = 193;
const int64_t CTL_SCALE_PORT_LABEL = 194;      // "Scale port:"
const int64_t CTL_SCALE_PORT = 195;
const int64_t CTL_CALIBRATION_LABEL = 196;     // "Calibration:"
const int64_t CTL_CALIBRATION_CHOICE = 197;
const int64_t CTL_EXPORT_SCALE_BAR = 198;      // picture export options
const int64_t CTL_EXPORT_OVERLAY = 199;

// ---- menu items
const int64_t MENU_NEW = 210;
const int64_t MENU_OPEN = 211;
const int64_t MENU_SAVE = 212;
const int64_t MENU_EXPORT_DATA = 213;
const int64_t MENU_IMPORT_IMAGE = 214;
const int64_t MENU_EXPORT_IMAGE = 215;
const int64_t MENU_EXIT = 216;
const int64_t MENU_ABOUT = 218;
const int64_t MENU_DELETE_MEASUREMENT = 222;
const int64_t MENU_CLEAR_MEASUREMENTS = 223;
const int64_t MENU_CALIBRATE = 224;
const int64_t MENU_VIDEO_SOURCE = 225;        // File > "Video source..."
const int64_t MENU_EXPORT_RESULTS = 226;      // File > "Export results..."
const int64_t MENU_EXPORT_PICTURE = 227;      // File > "Export picture..."
const int64_t MENU_KEYBOARD_SHORTCUTS = 228;  // Help > "Keyboard shortcuts"
const int64_t MENU_USER_GUIDE = 229;          // Help > "User guide"
const int64_t MENU_CLOSE_DOCUMENT = 230;

// ---- main window timers (number 0 was a 1000 ms timer that did nothing)
const int64_t TIMER_REDRAW_100 = 1;
const int64_t TIMER_REDRAW_500 = 2;
const int64_t TIMER_SCALE_330 = 3;
const int64_t TIMER_STATUS_200 = 4;

// ---- video emulator window
const int64_t CTL_EMU_PREVIOUS = 300;
const int64_t CTL_EMU_NEXT = 301;
const int64_t CTL_EMU_LABEL = 302;
const int64_t CTL_EMU_VIEW = 303;

// ---- video settings window: row i (0..17) uses base + i
const int64_t CTL_VS_LABEL = 400;
const int64_t CTL_VS_SLIDER = 420;
const int64_t CTL_VS_CHECK = 440;
const int64_t CTL_VS_VALUE = 460;
const int64_t CTL_VS_LOAD = 480;
const int64_t CTL_VS_SAVE = 481;

// ---- calibration dialog
const int64_t CTL_CAL_FRAME = 500;
const int64_t CTL_CAL_MEASURED_LABEL = 501;
const int64_t CTL_CAL_MEASURED = 502;
const int64_t CTL_CAL_MEASURED_UNIT = 503;
const int64_t CTL_CAL_ACTUAL_LABEL = 504;
const int64_t CTL_CAL_ACTUAL = 505;
const int64_t CTL_CAL_ACTUAL_UNIT = 506;
const int64_t CTL_CAL_OK = 507;
const int64_t CTL_CAL_CANCEL = 508;
const int64_t CTL_CAL_SAVE_AS_LABEL = 509;     // "Save as:"
const int64_t CTL_CAL_SAVE_AS = 510;
const int64_t CTL_CAL_NOTE = 511;              // "The circle's radius", under the fields

// ---- video source dialog: 520..539
const int64_t CTL_SRC_FIRST = 520;
const int64_t CTL_SRC_LAST = 539;

// ---- keyboard shortcuts window: 540..549
const int64_t CTL_KEYS_FIRST = 540;
const int64_t CTL_KEYS_LAST = 549;
const int64_t CTL_KEYS_LIST = 540;    // key and action columns
const int64_t CTL_KEYS_CLOSE = 541;   // "Close"
