#include "app/help.h"

#include <cstdint>

#include "app/picture_keys.h"
#include "app/control_ids.h"
#include "base/debug_log.h"
#include "platform/platform.h"

std::string Key_Name(int32_t key) {
    struct Named {
        int32_t Key;
        const char* Name;
    };
    static const Named names[] = {
        {VK_SPACE_, "Space"}, {VK_ESCAPE_, "Esc"},  {VK_DELETE_, "Delete"}, {VK_LEFT_, "Left"},
        {VK_RIGHT_, "Right"}, {VK_UP_, "Up"},       {VK_DOWN_, "Down"},     {VK_MINUS_, "-"},
        {VK_EQUALS_, "="},    {VK_RETURN_, "Enter"}, {VK_TAB_, "Tab"},      {VK_BACK_, "Backspace"},
    };
    for (const Named& n : names)
        if (n.Key == key) return n.Name;
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, (char)key);
    return "Key " + std::to_string(key);
}

std::vector<std::string> Keyboard_Shortcut_Rows() {
    std::vector<std::string> rows;
    for (size_t i = 0; i < PICTURE_KEY_COUNT; i++)
        rows.push_back(Key_Name(PICTURE_KEYS[i].Key) + "\n" + PICTURE_KEYS[i].Action);
    for (const Menu_Entry& e : Menu_Entries(WINDOW_MAIN)) {
        size_t tab = e.Text.find('\t');
        if (tab == std::string::npos || tab + 1 >= e.Text.size()) continue;
        rows.push_back(e.Text.substr(tab + 1) + "\n" + e.Title + " > " + e.Text.substr(0, tab));
    }
    return rows;
}

void Open_Keyboard_Shortcuts() {
    if (Window_Exists(WINDOW_KEYBOARD_SHORTCUTS)) {
        Show_Window(WINDOW_KEYBOARD_SHORTCUTS, true);
        return;
    }
    const int w = 560, h = 600;
    if (!Open_Window(WINDOW_KEYBOARD_SHORTCUTS, "Keyboard shortcuts", 0, 0, w, h,
                     WINDOW_CENTRED | WINDOW_CLOSE_BOX | WINDOW_CHILD_OF_MAIN))
        return;
    Create_Control(WINDOW_KEYBOARD_SHORTCUTS, CTL_KEYS_LIST, CONTROL_LIST, 6, 6, w - 12, h - 50, "");
    Add_List_Column(CTL_KEYS_LIST, "Key", 90);
    Add_List_Column(CTL_KEYS_LIST, "Action", w - 120);
    for (const std::string& row : Keyboard_Shortcut_Rows()) Add_Row(CTL_KEYS_LIST, row);
    Create_Control(WINDOW_KEYBOARD_SHORTCUTS, CTL_KEYS_CLOSE, CONTROL_BUTTON, w - 96, h - 38, 90, 30, "Close");
    Show_Window(WINDOW_KEYBOARD_SHORTCUTS, true);
}

void Keyboard_Shortcuts_Event(const Platform_Event& event) {
    if (event.Kind == EVENT_CLOSE_WINDOW || (event.Kind == EVENT_CONTROL && event.Control == CTL_KEYS_CLOSE))
        Close_Window(WINDOW_KEYBOARD_SHORTCUTS);
}

std::string User_Guide_Path(const std::string& program_folder) {
    for (const std::string& path :
         {program_folder + USER_GUIDE_INSTALLED, program_folder + "/" + USER_GUIDE_NAME})
        if (File_Exists(path)) return path;
    return "";
}

void Open_User_Guide() {
    std::string folder = Running_Program_Folder();
    std::string path = User_Guide_Path(folder);
    if (path.empty()) {
        Log("User guide missing");
        Message_Box("User guide",
                    "The user guide is not installed (no " + folder + USER_GUIDE_INSTALLED +
                        "). It is the \"Using it\" part of the README.",
                    MSG_ICON_WARNING);
        return;
    }
    Log("User guide: " + path);
    if (!Open_Url(path))
        Message_Box("User guide", "No program to show the user guide was found. It is " + path + ".",
                    MSG_ICON_WARNING);
}
