// The user's settings that the lower layers act on: the app's dispatch keeps
// them in step with the widgets that show them, and only it writes them.
// Modules below the app read this record and never a widget.
#pragma once

#include <cstdint>
#include <string>

struct User_Settings {
    int64_t Unit = 2;                // row of the unit drop-down (Unit_Code), -1 = none
    bool Snap_Edges = false;         // "Snap to Edges"
    bool Snap_Angle = true;          // "Snap to Angle"
    bool Magnify = false;            // the magnifier follows the pointer
    bool Export_Scale_Bar = true;    // scale bar on exported pictures
    bool Export_Overlay = true;      // measurements on exported pictures
    bool Invert_Hits = false;        // "+-": the threshold readout counts the misses
    // "Automatic threshold:": 0 the program's own rule, 1..5 Otsu, Triangle,
    // Li, IsoData and Mean (the analysis's Threshold_Method + 1).
    uint8_t Threshold_Method = 0;
};

const User_Settings& Settings_View();
// The app's dispatch replaces the record when a widget that shows it changes.
void Store_Settings(const User_Settings& settings);
// The start-up values (tests, and a new main window).
void Reset_Settings();
