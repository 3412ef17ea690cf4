#include "document/doc_file.h"

#include <archive.h>
#include <archive_entry.h>

#include <cmath>
#include <cstring>
#include <ctime>

#include "base/image_io.h"
#include "base/picture.h"
#include "base/unit_table.h"
#include "document/doc_json.h"
#include "document/doc_model.h"
#include "platform/platform.h"

const char* const Image_Member_Name = "JQV Image_Main.png";
const char* const Settings_Member_Name = "JQV Doc Settings.json";

// ============================================================ names and pixels

std::string Document_File_Name(const std::string& typed) {
    if (Ends_With_No_Case(typed, ".JQV")) return typed;
    return typed + ".JQV";
}

void Image_To_Buffer(const Picture& picture) {
    if (Current_Job < 1 || Current_Job >= JOB_SLOTS) return;
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Pixels.size() != (size_t)picture.Width * (size_t)picture.Height * 4)
        return;
    Doc_Info& doc = Jobs[Current_Job].Doc;
    doc.Image_Buffer.clear();
    doc.Image_Buffer.shrink_to_fit();
    doc.Resolution.x = picture.Width;
    doc.Resolution.y = picture.Height;
    doc.Image_Buffer = picture.Pixels;
    for (size_t i = 3; i < doc.Image_Buffer.size(); i += 4) doc.Image_Buffer[i] = 255;
}

void Buffer_To_Image(Picture* out) {
    *out = Picture();
    const Job_Slot* slot = Current_Slot();
    if (!slot) return;
    const Doc_Info& doc = slot->Doc;
    if (doc.Resolution.x <= 0 || doc.Resolution.y <= 0 ||
        doc.Image_Buffer.size() != (size_t)doc.Resolution.x * (size_t)doc.Resolution.y * 4)
        return;
    out->Width = doc.Resolution.x;
    out->Height = doc.Resolution.y;
    out->Pixels = doc.Image_Buffer;
    for (size_t i = 3; i < out->Pixels.size(); i += 4) out->Pixels[i] = 255;
}

// ============================================================ writing

static la_ssize_t Append_To_Vector(struct archive*, void* client, const void* buffer, size_t length) {
    std::vector<uint8_t>* out = (std::vector<uint8_t>*)client;
    const uint8_t* bytes = (const uint8_t*)buffer;
    out->insert(out->end(), bytes, bytes + length);
    return (la_ssize_t)length;
}

bool Begin_Document_Member(struct archive* a, const char* name, uint64_t size, int64_t now) {
    struct archive_entry* entry = archive_entry_new();
    if (!entry) return false;
    archive_entry_set_pathname_utf8(entry, name);
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, (la_int64_t)size);
    archive_entry_set_mtime(entry, (time_t)now, 0);
    bool ok = archive_write_header(a, entry) == ARCHIVE_OK;
    archive_entry_free(entry);
    return ok;
}

static bool Add_Member(struct archive* a, const char* name, const uint8_t* data, size_t size, time_t now) {
    bool ok = Begin_Document_Member(a, name, size, (int64_t)now);
    size_t done = 0;
    while (ok && done < size) {
        la_ssize_t n = archive_write_data(a, data + done, size - done);
        if (n <= 0) ok = false;
        else done += (size_t)n;
    }
    return ok;
}

bool Build_Document_Archive(const Doc_Info& doc, const Picture& picture, std::vector<uint8_t>* out) {
    std::vector<uint8_t> image;
    if (!Encode_Bmp24(picture, &image)) return false;
    std::string settings = Doc_To_Json(doc);

    std::vector<uint8_t> bytes;
    struct archive* a = archive_write_new();
    if (!a) return false;
    bool ok = archive_write_set_format_zip(a) == ARCHIVE_OK &&
              archive_write_set_option(a, "zip", "compression", "deflate") == ARCHIVE_OK &&
              archive_write_set_option(a, "zip", "compression-level", "6") == ARCHIVE_OK &&
              archive_write_set_option(a, "zip", "hdrcharset", "UTF-8") == ARCHIVE_OK &&
              archive_write_set_bytes_in_last_block(a, 1) == ARCHIVE_OK &&
              archive_write_open(a, &bytes, nullptr, Append_To_Vector, nullptr) == ARCHIVE_OK;
    time_t now = time(nullptr);
    ok = ok && Add_Member(a, Image_Member_Name, image.data(), image.size(), now);
    ok = ok && Add_Member(a, Settings_Member_Name, (const uint8_t*)settings.data(), settings.size(), now);
    if (archive_write_close(a) != ARCHIVE_OK) ok = false;
    archive_write_free(a);
    if (ok) out->swap(bytes);
    return ok;
}

// ============================================================ reading

// Reads the data of the current entry, refusing more than `limit` bytes.
static bool Read_Member(struct archive* a, struct archive_entry* entry, uint64_t limit, std::vector<uint8_t>* out) {
    if (archive_entry_size_is_set(entry) && (uint64_t)archive_entry_size(entry) > limit) return false;
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        la_ssize_t n = archive_read_data(a, chunk, sizeof chunk);
        if (n < 0) return false;
        if (n == 0) break;
        if (bytes.size() + (size_t)n > limit) return false;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    out->swap(bytes);
    return true;
}

static bool Decode_Limited(const std::vector<uint8_t>& bytes, int32_t max_edge, Picture* out) {
    switch (Detect_Picture_Format(bytes.data(), bytes.size())) {
        case PICTURE_PNG: return Decode_Png(bytes.data(), bytes.size(), max_edge, out);
        case PICTURE_JPEG: return Decode_Jpeg(bytes.data(), bytes.size(), max_edge, out);
        case PICTURE_BMP: return Decode_Bmp(bytes.data(), bytes.size(), max_edge, out);
        default: return false;
    }
}

// Takes an archive opened for reading and always frees it. A picture of more
// than `max_pixel_bytes` (4 bytes a pixel) is refused before it is decoded.
static bool Read_Opened_Archive(struct archive* a, int32_t max_edge, uint64_t max_pixel_bytes, Doc_Info* doc,
                                Picture* picture, bool* over_budget) {
    std::vector<uint8_t> image, settings;
    bool have_image = false, have_settings = false, ok = true;
    struct archive_entry* entry = nullptr;
    for (;;) {
        int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
            ok = have_image && have_settings;  // a damaged tail after both members is tolerated
            break;
        }
        const char* name = archive_entry_pathname_utf8(entry);
        if (!name) name = archive_entry_pathname(entry);
        bool is_image = name && std::strcmp(name, Image_Member_Name) == 0 && !have_image;
        bool is_settings = name && std::strcmp(name, Settings_Member_Name) == 0 && !have_settings;
        if (is_image || is_settings) {
            uint64_t limit = is_image ? MAX_MEMBER_BYTES : MAX_SETTINGS_MEMBER_BYTES;
            if (archive_entry_filetype(entry) != AE_IFREG || !Read_Member(a, entry, limit, is_image ? &image : &settings)) {
                ok = false;
                break;
            }
            if (is_image) have_image = true;
            else have_settings = true;
        } else if (archive_read_data_skip(a) != ARCHIVE_OK) {
            ok = have_image && have_settings;
            break;
        }
    }
    archive_read_free(a);
    if (!ok || !have_image || !have_settings) return false;

    Doc_Info parsed;
    Picture decoded;
    std::string text(settings.begin(), settings.end());
    if (!Json_To_Doc(text, &parsed)) return false;
    int32_t w = 0, h = 0;
    if (Picture_Size(image.data(), image.size(), &w, &h) && w <= max_edge && h <= max_edge &&
        (uint64_t)w * (uint64_t)h * 4 > max_pixel_bytes) {
        if (over_budget) *over_budget = true;
        return false;
    }
    if (!Decode_Limited(image, max_edge, &decoded)) return false;
    *doc = std::move(parsed);
    *picture = std::move(decoded);
    return true;
}

bool Read_Document_Archive(const uint8_t* data, size_t size, int32_t max_edge, Doc_Info* doc, Picture* picture) {
    if (!data || size == 0) return false;
    struct archive* a = archive_read_new();
    if (!a) return false;
    archive_read_support_format_zip(a);
    if (archive_read_open_memory(a, data, size) != ARCHIVE_OK) {
        archive_read_free(a);
        return false;
    }
    return Read_Opened_Archive(a, max_edge, UINT64_MAX, doc, picture, nullptr);
}

bool Read_Document_File(const std::string& path, Doc_Info* doc, Picture* picture, bool* over_budget) {
    if (over_budget) *over_budget = false;
    struct archive* a = archive_read_new();
    if (!a) return false;
    archive_read_support_format_zip(a);
    if (archive_read_open_filename(a, path.c_str(), 65536) != ARCHIVE_OK) {
        archive_read_free(a);
        return false;
    }
    return Read_Opened_Archive(a, MAX_PICTURE_EDGE, Pixel_Budget_Left(), doc, picture, over_budget);
}

// ============================================================ user operations

void Save_Document(int flag) { Save_Job(Current_Job, flag); }

bool Save_Job(int64_t slot, int flag) {
    if (slot <= 0 || slot >= JOB_SLOTS || !Jobs[slot].In_Use) {
        Message_Box("Error", "No document selected", MSG_ICON_ERROR);
        return false;
    }
    std::string name;
    if (flag == 1 && !Jobs[slot].File_Name.empty()) {
        name = Jobs[slot].File_Name;
    } else {
        int filter = 0;
        if (!Save_File_Dialog("Please choose file to save", "", "jqv|*.jqv", &name, &filter)) return false;
    }
    name = Document_File_Name(name);
    if (File_Exists(name) && Message_Box("Error", "File already exists,overwrite?", MSG_YES_NO) != 1) return false;

    // The prompts are modal: the slot is looked up again afterwards.
    Job_Slot& job = Jobs[slot];
    if (!job.In_Use) return false;
    Picture picture;
    int64_t current = Current_Job;
    Make_Current_Job(slot);
    Buffer_To_Image(&picture);
    Make_Current_Job(current);
    std::vector<uint8_t> bytes;
    if (!Build_Document_Archive(job.Doc, picture, &bytes) || !Write_File_Atomically(name, bytes)) {
        Message_Box("Error", "Unable to create selected file", MSG_ICON_ERROR);
        return false;
    }
    job.File_Name = name;
    Mark_Document_Saved(slot);
    return true;
}

void Open_Document() {
    if (Count_Open_Jobs() >= MAX_FROZEN_JOBS) {
        Message_Box("Error", "Loaded job limit reached, close some jobs to continue.", MSG_ICON_ERROR);
        return;
    }
    std::string path;
    int filter = 0;
    if (!Open_File_Dialog("Choose file to load", "", "jqv|*.jqv", &path, &filter)) {
        Mark_Job_List_Changed();
        Mark_Measurement_List_Changed();
        return;
    }
    if (!File_Exists(path)) return;
    Open_Document_File(path);
}

bool Open_Document_File(const std::string& path, bool keep_name) {
    if (Count_Open_Jobs() >= MAX_FROZEN_JOBS) {
        Message_Box("Error", "Loaded job limit reached, close some jobs to continue.", MSG_ICON_ERROR);
        return false;
    }
    Doc_Info doc;
    Picture picture;
    bool over_budget = false;
    if (!Read_Document_File(path, &doc, &picture, &over_budget)) {
        if (over_budget)
            Message_Box("Error", Pixel_Budget_Message(), MSG_ICON_ERROR);
        else
            Message_Box("Error", "Unable to load selected file", MSG_ICON_ERROR);
        return false;
    }
    int64_t slot = First_Free_Job();
    if (slot < 1) return false;  // cannot happen after the count check
    Make_Current_Job(slot);
    Job_Slot& job = Jobs[slot];
    job.Doc = std::move(doc);
    job.Doc.Image_Buffer.clear();
    job.In_Use = 1;
    job.Image_Changed = 1;
    job.Changed = 0;
    Image_To_Buffer(picture);
    job.File_Name = keep_name ? path : std::string();
    job.Picture_File.clear();
    // A zero, negative or non-finite calibration would make every length
    // meaningless; such files open with the default of 50 pixels per mm.
    if (!(job.Doc.PPMM > 0) || !std::isfinite(job.Doc.PPMM)) job.Doc.PPMM = OPENED_DOCUMENT_PPMM;
    Mark_Job_List_Changed();
    Mark_Measurement_List_Changed();
    return true;
}
