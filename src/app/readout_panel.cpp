#include "app/readout_panel.h"

#include <array>

#include "app/control_ids.h"
#include "base/app_state.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "measure/readouts.h"
#include "platform/platform.h"
#include "render/pixel_view.h"

std::string Readout_Texts[6];

void Rebuild_Measurement_List() {
    Log("Refreshing job list for gadget: " + std::to_string(Current_Job));
    Clear_Rows(CTL_MEASURE_LIST);
    for (int64_t slot = 1; slot < JOB_SLOTS; slot++) {
        if (!Jobs[slot].In_Use) continue;
        const Doc_Info& doc = Jobs[slot].Doc;
        for (size_t i = 0; i < doc.Tools.size(); i++)
            Add_Row(CTL_MEASURE_LIST, Measurement_Row_Text(slot, (int64_t)i, doc.Tools[i], doc.PPMM), slot);
    }
}

void Delete_Selected_Measurement() {
    int64_t row = Get_State(CTL_MEASURE_LIST);
    if (row < 0 || row >= Row_Count(CTL_MEASURE_LIST)) return;
    std::string id = Get_Cell_Text(CTL_MEASURE_LIST, row, 0);
    int64_t slot = 0, position = 0;
    Log("gadget data: Line: " + std::to_string(row) + ", Handle: " + id);
    // A row whose numbers do not name an existing tool deletes nothing.
    if (!Parse_Measurement_Id(id, &slot, &position)) return;
    if (slot < 1 || slot >= JOB_SLOTS || !Jobs[slot].In_Use) return;
    std::vector<Tool>& tools = Jobs[slot].Doc.Tools;
    if (position < 0 || position >= (int64_t)tools.size()) return;
    tools.erase(tools.begin() + position);
    Mark_Document_Changed(slot);
    Rebuild_Measurement_List();
}

void Refresh_Readouts(bool full) {
    (void)full;  // every view is redrawn on every call
    float t0 = Elapsed_Ms();
    const std::array<std::string, 6> values = Readout_Values();
    for (size_t i = 0; i < values.size(); i++) Readout_Texts[i] = values[i];
    Draw_Readout(CTL_READOUT_SCALE_X, Readout_Texts[0], 1);
    Draw_Readout(CTL_READOUT_SCALE_Y, Readout_Texts[1], 1);
    Draw_Readout(CTL_READOUT_SCALE_Z, Readout_Texts[2], 1);
    Draw_Readout(CTL_READOUT_LENGTH, Readout_Texts[3], 0);
    Draw_Readout(CTL_READOUT_ANGLE, Readout_Texts[4], 0);
    Draw_Readout(CTL_READOUT_THRESHOLD_PCT, Readout_Texts[5], 2);
    GL_Make_Current(CTL_PICTURE_VIEW);
    Stage_Times.DD = Elapsed_Ms() - t0;
}

Csv_List Measurement_List_For_Csv() {
    Csv_List list;
    list.Unit = Get_Text(CTL_UNIT_LIST);
    const int64_t rows = Row_Count(CTL_MEASURE_LIST);
    const int64_t columns = List_Column_Count(CTL_MEASURE_LIST);
    for (int64_t r = 0; r < rows; r++) {
        std::vector<std::string> cells;
        for (int64_t k = 0; k < columns; k++) cells.push_back(Get_Cell_Text(CTL_MEASURE_LIST, r, k));
        list.Rows.push_back(cells);
    }
    return list;
}
