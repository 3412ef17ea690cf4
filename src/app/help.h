// Help menu: the keyboard shortcuts window, listed from the picture view's
// key table and the menu bar's accelerators as they stand, and the user
// guide (the README's usage part as HTML) shown in the desktop's browser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Platform_Event;

const char* const USER_GUIDE_NAME = "user-guide.html";
// Where the installed guide lies relative to the program's folder.
const char* const USER_GUIDE_INSTALLED = "/../share/doc/trellum/user-guide.html";

// ---- keyboard shortcuts
// The name shown for a virtual-key code ("A", "Space", "Delete", "-").
std::string Key_Name(int32_t key);
// The window's rows, "key\naction": every key of the picture view's table,
// then every menu item of the main window that has an accelerator.
std::vector<std::string> Keyboard_Shortcut_Rows();
// Opens the window (or brings it forward when it is open).
void Open_Keyboard_Shortcuts();
void Keyboard_Shortcuts_Event(const Platform_Event& event);

// ---- user guide
// The guide installed beside `program_folder`, else the build tree's copy in
// that folder itself; empty when neither exists.
std::string User_Guide_Path(const std::string& program_folder);
// Shows the guide in the desktop's browser, or says why it cannot.
void Open_User_Guide();
