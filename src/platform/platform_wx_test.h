// Test entry points of the wx backend (platform_wx_test.cpp, built only into
// the test programs): toolkit events fed straight into a control's or a
// window's handlers, and the key translation tables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum Wx_Test_Mouse { WX_TEST_LEFT_DOWN = 1, WX_TEST_LEFT_UP, WX_TEST_LEFT_DCLICK, WX_TEST_RIGHT_DOWN,
                     WX_TEST_RIGHT_UP, WX_TEST_MOTION, WX_TEST_WHEEL };

int32_t Wx_Key_To_Virtual(int key);   // 0 when the key has no virtual-key code
int Virtual_To_Wx_Key(int32_t vk);    // 0 when none
// `what` is a Wx_Test_Mouse.
bool Wx_Test_Mouse_Event(int64_t control, int what, int x, int y, int wheel_rotation);
bool Wx_Test_Key_Event(int64_t control, int wx_key_code, bool down, bool control_down = false,
                       bool alt_down = false);
bool Wx_Test_User_Select(int64_t control, int64_t row);
bool Wx_Test_Close_Box(int64_t window);
bool Wx_Test_Drop_Files(int64_t window, const std::vector<std::string>& names);
// What the widget itself shows (past the control model), and a change made
// to the widget as the user makes it, with its change event.
bool Wx_Test_Widget_Shows(int64_t control, int64_t* state, std::string* text);
bool Wx_Test_User_Sets(int64_t control, int64_t state, const std::string& text = "");
// 1 when a status field's or list cell's text is cut short, 0 when whole, -1 for none.
int Wx_Test_Status_Field_Cut(int64_t window, int field);
int Wx_Test_List_Cell_Cut(int64_t control, int64_t row, int64_t column);
// The picture an image button shows (see platform_wx_test.cpp).
bool Wx_Test_Button_Picture(int64_t control, int* logical_w, int* logical_h, std::vector<uint8_t>* drawn,
                            int* drawn_w, int* drawn_h);

// Prompts: message boxes and file dialogs run their own modal loop, and a
// test acts inside it from a time-out, as a person would.
// Calls fn(user) every `ms` milliseconds, also inside modal loops, until it returns false.
void Wx_Test_Every(int ms, bool (*fn)(void*), void* user);
bool Wx_Test_Prompt_Open();
// The title the open prompt's window carries ("" when none is open).
std::string Wx_Test_Prompt_Title();
// Presses OK / Yes (accept) or Cancel / No in the open prompt.
bool Wx_Test_Answer_Prompt(bool accept);
// The open file dialog's filters: how many (-1 without a file dialog), the
// name of one, and whether one lists a file of this name (1, 0; -1 none).
int Wx_Test_Prompt_Filter_Count();
std::string Wx_Test_Prompt_Filter_Name(int index);
int Wx_Test_Prompt_Filter_Shows(int index, const std::string& file_name);
