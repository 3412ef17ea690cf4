// The side panel's measurement list and read-out views: the widgets that
// show what measure/readouts.h computes.
#pragma once

#include <cstdint>
#include <string>

#include "document/csv_export.h"

void Rebuild_Measurement_List();
void Delete_Selected_Measurement();
// Recomputes and redraws the six read-out views; stores the "DD" stage time.
void Refresh_Readouts(bool full);
// Texts the read-outs showed at the last refresh (ScaleX, ScaleY, ScaleZ, Length, Angle, Threshold %).
extern std::string Readout_Texts[6];
// The unit selector's text and the measurement list's cells, as the CSV report lists them.
Csv_List Measurement_List_For_Csv();
