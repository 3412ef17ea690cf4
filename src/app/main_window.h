// Main window: tool bar, menus and the list's context menu, status bar, the
// thumbnail column, the picture view and the side panel with its "Analysis"
// and "Settings" pages; the layout that follows the window's size.
#pragma once

// Layout constants (logical pixels).
const int TOOLBAR_HEIGHT = 40;
const int THUMB_COLUMN_WIDTH = 90;
const int SIDE_PANEL_WIDTH = 360;
const int MAIN_INITIAL_W = 1060;
const int MAIN_INITIAL_H = 600;
const int MAIN_MIN_W = 800;
const int MAIN_MIN_H = 520;

// Results of the last Layout_Main_Window.
struct Main_Layout {
    int Client_W = 0, Client_H = 0;
    int View_X = 0, View_Y = 0, View_W = 0, View_H = 0;
    int Panel_X = 0, Panel_Y = 0, Panel_H = 0;
};
extern Main_Layout Layout;

// Builds the window and runs the rest of the start-up; false when the window
// could not be made.
bool Build_Main_Window();
// Creates every control, menu and the status bar (no
// other start-up side effects).
bool Create_Main_Window_Controls();
void Layout_Main_Window();
void On_Main_Window_Resized();
