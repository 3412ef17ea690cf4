// Job list panel: the thumbnail column of the documents in use, making a
// slot current, thumbnail clicks and files dropped on the main window.
#pragma once

#include <cstdint>
#include <string>

// Thumbnail geometry inside the scroll area.
const int THUMB_X = 2;
const int THUMB_W = 64;
const int THUMB_H = 48;
const int THUMB_PARKED_Y = -1000;

void Job_Update_List();
void Select_Job(int64_t slot);
void Activate_Job(int64_t slot);
void Thumbnail_Click(int64_t control);
// Names one per line ("\n" separated).
void Import_Dropped_Files(const std::string& names);
