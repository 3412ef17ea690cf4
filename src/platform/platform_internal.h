// Procedures shared by the two backends (defined in platform_common.cpp).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/platform.h"

// When a scripted answer is queued: fills Answer, Path and Filter_Index from
// it, records the prompt and returns true (the caller shows nothing).
// Otherwise returns false and records nothing.
bool Take_Scripted_Prompt(Prompt_Record* record);
// Appends a prompt that was really shown to the history.
void Record_Prompt(const Prompt_Record& record);
// The columns of a row text (separated by line feeds).
std::vector<std::string> Split_Columns(const std::string& text);
// The menu entries both backends record for Menu_Entries: a new bar
// forgets the window's old entries; items go under the last title.
void Note_Menu_Bar(int64_t window);
void Note_Menu_Title(int64_t window, const std::string& title);
void Note_Menu_Item(int64_t window, int64_t item, const std::string& text);

// The event queue's rules, the same in both backends. The position of the
// next event Poll_Event may hand out (queue.size() when none): close requests
// of other windows wait while the calibration input is open.
// `calibration_open` is Window_Exists(WINDOW_CALIBRATION).
size_t Next_Deliverable_Event(const std::deque<Platform_Event>& queue, bool calibration_open);
// Remove_Events on one queue.
int64_t Remove_Matching_Events(std::deque<Platform_Event>* queue, int64_t window, int64_t kind,
                               int64_t first_control, int64_t last_control);
