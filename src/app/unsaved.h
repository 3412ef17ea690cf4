// No lost work: the question "Save changes to N documents?" (Save / Discard /
// Cancel) before anything closes documents that have unsaved changes, and
// the commands that ask it: closing the main window and Exit, "New" (close
// all) and closing the current document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The question's text for `count` documents.
std::string Unsaved_Question_Text(size_t count);
// Asks about those of `slots` that have unsaved changes (nothing is asked
// when none has). Save selects and saves each in turn, through the save
// dialog where it has no file yet. True when the caller may go on: Discard,
// or every save done. False on Cancel, on a save that was cancelled or
// failed, and when a termination request ended the question.
bool Ask_About_Unsaved(const std::vector<int64_t>& slots);

// The close box of the main window and File > Exit.
void Quit_Command();
// "New": closes every frozen document, asking about unsaved ones first
// (instead of the plain "Close all" question, which stays for saved ones).
void New_Command();
// The tool-bar's "Close selected file".
void Close_Document_Command();
