// Recovery of unsaved work: every 60 s, and when the program is ended by a
// termination signal, the frozen documents with unsaved changes are written
// as document files "Document N.JQV" (N = slot) into "recovery/" in the data
// folder, each through a temporary file renamed into place. A clean exit
// (every unsaved document saved or discarded) removes them. The next start
// offers "Restore N documents from the last session?" and opens them as
// frozen documents with unsaved changes (they have no file name: the
// original file, if any, may have been changed by then).
//
// Also opens the documents named on the command line after start-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const int64_t RECOVERY_INTERVAL_MS = 60000;

std::string Recovery_Folder();  // Data_Folder + "recovery/"
// The recovery files present, in name order (at most the eight that can open).
std::vector<std::string> Recovery_Files();
// Writes the unsaved documents and removes the files of documents that are
// saved or closed by now (the folder too, when nothing is left). False when
// a file could not be written.
bool Recovery_Write();
// Removes every recovery file and the folder.
void Recovery_Clear();
// The periodic write, called by every idle pass with the loop's clock: does
// the work once per interval, and only when a document changed since.
void Recovery_Tick(int64_t now_ms);
// At start-up: asks whether to restore and opens the files on Yes; on No
// they are removed. Nothing is asked when there are none.
void Recovery_Offer();
// After the main loop: `terminated` (a signal ended the program) writes the
// unsaved documents, otherwise the exit was clean and they are removed.
void Recovery_At_Exit(bool terminated);

// Opens each file as File > Open would (same messages), in order.
void Open_Start_Documents(const std::vector<std::string>& paths);
