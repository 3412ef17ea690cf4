// Recovery of unsaved work. Every running program keeps its own set of
// copies, "recovery/set-XXXXXX/" in the data folder, holding a file "lock"
// (the process id, locked with flock for the life of the process, so the
// kernel lets go of it when the program dies) and one document file
// "Document N.JQV" (N = slot) per frozen document with unsaved changes.
// Every 60 s the documents that changed since their copy are copied: the
// pixels are taken on the main thread a slice at a time, and the file is
// compressed and written by a thread of its own, through a temporary file
// renamed into place. A clean exit (every unsaved document saved or
// discarded) removes the set; a termination signal writes what is not yet
// copied and leaves it.
//
// At the next start the copies of sets whose lock can be taken (the owner is
// gone), and loose copies an older build left directly in "recovery/", are
// offered: "Restore N documents from the last session?". A restored document
// opens as a frozen document with unsaved changes and no file name (the
// original file, if any, may have been changed by then); its file moves into
// the new set. Only copies that were restored or declined are removed.
//
// Also opens the documents named on the command line after start-up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

const int64_t RECOVERY_INTERVAL_MS = 60000;

std::string Recovery_Folder();  // Program_Names.Data_Folder + "recovery/"
// This program's set folder (ends with "/"), empty until its first copy.
std::string Recovery_Set_Folder();
// The copies in this program's set, in name order.
std::vector<std::string> Recovery_Files();
// The copies the restore question would name now: those of sets nobody owns,
// in set and name order, at most the eight that can open.
std::vector<std::string> Recovery_Orphan_Files();

// Copies every unsaved document that changed since its copy and removes the
// copies of documents that are saved or closed by now, on the calling thread
// (a copy in the background is awaited first). False when a copy could not
// be written; that is logged, and told in a message once.
bool Recovery_Write();
// Removes this program's set.
void Recovery_Clear();
// The periodic copy, called by every idle pass with the loop's clock: once
// per interval it looks for work, and then moves the copies in progress on.
void Recovery_Tick(int64_t now_ms);
// True while a copy is being taken or written in the background.
bool Recovery_Busy();
// At start-up: asks whether to restore the orphaned copies and opens them on
// Yes; on No they are removed. Nothing is asked when there are none.
void Recovery_Offer();
// After the main loop: `terminated` (a signal ended the program) copies the
// unsaved documents, otherwise the exit was clean and the set is removed.
void Recovery_At_Exit(bool terminated);

// Opens each file as File > Open would (same messages), in order.
void Open_Start_Documents(const std::vector<std::string>& paths);
