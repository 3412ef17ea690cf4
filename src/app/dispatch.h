// Command dispatch: the main window's menu items and controls, mapped by
// number to their actions, with the confirmations asked before destructive ones.
#pragma once

#include <cstdint>
#include <string>

struct Platform_Event;

void Menu_Command(const Platform_Event& event);
// Takes the settings the lower layers read from the widgets that show them;
// after any change of those widgets.
void Settings_From_Widgets();
// Presses tool button 128..136 (or, for -1, keeps the pressed one; the line
// when none is) and chooses its tool.
void Choose_Tool_Button(int64_t button);
// Fills the "Scale port:" drop-down with the choices for `comport` (ports
// below `root`, for tests) and selects its row.
void Fill_Scale_Port_Choice(const std::string& comport, const std::string& root = "");
void Control_Command(const Platform_Event& event);
