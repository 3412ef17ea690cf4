// Counters the tests read back from the control model; built only into the
// test programs.
#include "platform/platform_controls.h"
#include "platform/platform_test.h"

int64_t Status_Write_Count(int64_t window, int field) {
    auto it = Status_Table.find(window);
    if (it == Status_Table.end() || field < 0 || field >= (int)it->second.Writes.size()) return 0;
    return it->second.Writes[(size_t)field];
}

int64_t Pointer_Moves_Total() { return Pointer_Moved_Total; }
