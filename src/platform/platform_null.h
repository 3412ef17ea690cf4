// Controls of the null backend for tests: the asynchronous key and button
// state, and a reset of every window, control and queued event.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

void Null_Set_Key_Down(int32_t virtual_key, bool down);
void Null_Set_Left_Button(bool down);
// Forgets all windows, controls, menus, timers, events and pointer moves.
void Null_Reset();
// What Open_Url was asked to show, oldest first (Null_Reset forgets it).
const std::vector<std::string>& Null_Opened_Urls();
