// Counters of the platform layer for the tests (both backends); the program
// itself does not link them.
#pragma once

#include <cstdint>

// Number of times a status field was written (tests check the write cache).
int64_t Status_Write_Count(int64_t window, int field);
// Sum of |dx|+|dy| asked of Move_Pointer_By since the start or the last reset.
int64_t Pointer_Moves_Total();
