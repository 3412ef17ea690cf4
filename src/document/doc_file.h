// Document file: a frozen document saved to and opened from a ".JQV" ZIP
// archive holding the picture as a 24-bit BMP under "JQV Image_Main.png" and
// the Doc_Info record as JSON under "JQV Doc Settings.json". Both members
// are built and read in memory; a save goes through a temporary file renamed
// over the old one. An archive whose members are missing, damaged or too
// large is refused without touching any slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct Doc_Info;
struct Picture;
struct archive;

extern const char* const Image_Member_Name;     // "JQV Image_Main.png"
extern const char* const Settings_Member_Name;  // "JQV Doc Settings.json"
// Largest image member read out of an archive, bytes.
const uint64_t MAX_MEMBER_BYTES = (uint64_t)512 * 1024 * 1024;
// Largest settings member: a document at the tool limit is a few tens of MB.
const uint64_t MAX_SETTINGS_MEMBER_BYTES = (uint64_t)64 * 1024 * 1024;

// ---- user operations (tool-bar "Save file..." and "Open file...")
// flag 1: reuse the document's File_Name when it has one.
void Save_Document(int flag);
void Open_Document();
// Saves frozen slot `slot` as Save_Document does for the current one; true
// when the file was written (false: cancelled, refused or failed, with the
// same messages).
bool Save_Job(int64_t slot, int flag);
// Opens `path` into a new frozen document, made current, with the messages
// of Open_Document; true when it was opened. The document starts unchanged
// and, when `keep_name` is false, without a file name (a recovery copy).
bool Open_Document_File(const std::string& path, bool keep_name = true);

// ---- pixel buffer <-> picture of the current document
// Fills the current frozen document's pixel buffer and Resolution (alpha 255).
void Image_To_Buffer(const Picture& picture);
// 24-bit picture of the current document (alpha set to 255). Empty when none.
void Buffer_To_Image(Picture* out);

// ---- the archive in memory (also the fuzzing entry points)
// The name with ".JQV" appended unless it already ends so, in any case.
std::string Document_File_Name(const std::string& typed);
// Builds the archive bytes for `doc` with `picture` as its image member.
bool Build_Document_Archive(const Doc_Info& doc, const Picture& picture, std::vector<uint8_t>* out);
// Starts a member of `size` bytes in a document archive being written (a
// regular file, mode 0644, modified at `now` in seconds since the epoch); the
// caller writes its data. For writers that stream the members themselves.
bool Begin_Document_Member(struct archive* a, const char* name, uint64_t size, int64_t now);
// Reads an archive held in memory or in a file. `max_edge` limits the
// picture's sides. On failure `doc` and `picture` are unchanged.
bool Read_Document_Archive(const uint8_t* data, size_t size, int32_t max_edge, Doc_Info* doc, Picture* picture);
// The file reader also refuses a picture whose pixels would pass the
// documents' pixel budget (Pixel_Budget_Left), before decoding it, and then
// sets *over_budget (when given) so that the caller can say why.
bool Read_Document_File(const std::string& path, Doc_Info* doc, Picture* picture, bool* over_budget = nullptr);
