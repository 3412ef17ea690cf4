// Command dispatch: the main window's menu items and controls, mapped by
// number to their actions, with the confirmations asked before destructive ones.
#pragma once

struct Platform_Event;

void Menu_Command(const Platform_Event& event);
void Control_Command(const Platform_Event& event);
