// Procedures shared by the two backends (defined in platform_common.cpp).
#pragma once

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
