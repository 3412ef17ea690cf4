#include "measure/calibration_list.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "base/app_state.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "base/tiff_io.h"
#include "base/unit_table.h"
#include "document/doc_json.h"
#include "document/doc_model.h"
#include "measure/calibration.h"
#include "measure/units.h"
#include "platform/platform.h"

std::vector<Named_Calibration> Calibrations;
bool Calibration_Made = false;
int32_t Live_PPMM_Width = 0;

namespace {

const char* const LIST_FILE = "calibrations.json";

// Set when the file on disk could not be read: it is moved aside before the
// list is written again, so a hand-edited file with a typo is not lost.
bool File_Was_Broken = false;

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return out;
}

// Checked as the float it is kept as, within the range picture files may
// carry: 1e-30 px/mm would make 64 pixels read as 640 km.
bool Usable_PPMM(float v) { return Plausible_Ppmm(v); }

// The parser refuses a whole text for one number beyond a double's range
// ("1e999"); such a number becomes null here, so only its entry is lost.
// Strings are copied untouched, escapes included.
std::string Without_Overflowing_Numbers(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        size_t end = i + 1;
        if (c == '"') {
            while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
            end = std::min(end + 1, text.size());
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            while (end < text.size() && text[end] != 0 && std::strchr("+-.eE0123456789", text[end])) end++;
            double value = 0;
            std::from_chars_result r = std::from_chars(text.data() + i, text.data() + end, value);
            if (r.ec == std::errc::result_out_of_range && r.ptr == text.data() + end) {
                out += "null";
                i = end;
                continue;
            }
        }
        out.append(text, i, end - i);
        i = end;
    }
    return out;
}

// Bidirectional controls would let a name show as another ("evil" as
// "live"): U+061C, U+200E, U+200F, U+202A..U+202E, U+2066..U+2069, in UTF-8.
size_t Bidi_Control_Length(const std::string& s, size_t at) {
    unsigned char a = (unsigned char)s[at];
    unsigned char b = at + 1 < s.size() ? (unsigned char)s[at + 1] : 0;
    unsigned char c = at + 2 < s.size() ? (unsigned char)s[at + 2] : 0;
    if (a == 0xD8 && b == 0x9C) return 2;
    if (a != 0xE2) return 0;
    if (b == 0x80 && (c == 0x8E || c == 0x8F || (c >= 0xAA && c <= 0xAE))) return 3;
    if (b == 0x81 && c >= 0xA6 && c <= 0xA9) return 3;
    return 0;
}

// Shortest text of a number, whatever the locale ("0.001", "1e+08").
std::string Plain_Number(double v) {
    char text[32];
    std::to_chars_result r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}

const Doc_Info& Current_Doc() {
    const Job_Slot* slot = Current_Slot();
    return slot && slot->In_Use ? slot->Doc : Jobs[0].Doc;
}

// A picture width as a file may give it: a whole number of pixels within what
// a picture may have; 0 (not known) too.
bool Usable_Width(const nlohmann::json& v, int32_t* width) {
    if (!v.is_number()) return false;
    double w = v.get<double>();
    if (!(w >= 0 && w <= MAX_PICTURE_EDGE) || w != std::floor(w)) return false;
    *width = (int32_t)w;
    return true;
}

}  // namespace

std::string Clean_Calibration_Name(const std::string& typed) {
    std::string kept;
    for (size_t i = 0; i < typed.size(); i++) {
        size_t bidi = Bidi_Control_Length(typed, i);
        if (bidi > 0) {
            i += bidi - 1;
            continue;
        }
        char c = typed[i];
        if ((unsigned char)c >= 32 && c != 127) kept += c;
    }
    size_t start = kept.find_first_not_of(' ');
    if (start == std::string::npos) return "";
    size_t end = kept.find_last_not_of(' ');
    kept = kept.substr(start, end - start + 1);
    if (kept.size() > MAX_CALIBRATION_NAME) {
        size_t cut = MAX_CALIBRATION_NAME;
        // Never in the middle of a UTF-8 sequence.
        while (cut > 0 && ((unsigned char)kept[cut] & 0xC0) == 0x80) cut--;
        kept.resize(cut);
        while (!kept.empty() && kept.back() == ' ') kept.pop_back();
    }
    return kept;
}

std::string Calibration_List_Text(const std::vector<Named_Calibration>& list, bool calibrated) {
    std::string text = "{\"Calibrated\":" + std::string(calibrated ? "1" : "0") + ",\"Calibrations\":[";
    for (size_t i = 0; i < list.size(); i++) {
        if (i > 0) text += ",";
        text += "{\"Name\":" + Json_String(list[i].Name) + ",\"PPMM\":" + Json_Number(list[i].PPMM);
        // Left out when not known, so such an entry is written as before widths were kept.
        if (list[i].Width > 0) text += ",\"Width\":" + std::to_string(list[i].Width);
        text += "}";
    }
    return text + "]}\n";
}

bool Parse_Calibration_List(const std::string& text, std::vector<Named_Calibration>* list, bool* calibrated,
                            std::vector<std::string>* skipped) {
    nlohmann::json root = nlohmann::json::parse(Without_Overflowing_Numbers(text), nullptr, false);
    if (root.is_discarded() || !root.is_object()) return false;
    std::vector<Named_Calibration> out;
    std::vector<std::string> left_out;
    bool made = false;
    auto flag = root.find("Calibrated");
    if (flag != root.end() && flag->is_number()) made = flag->get<double>() != 0;
    auto items = root.find("Calibrations");
    if (items != root.end()) {
        if (!items->is_array()) return false;
        for (const nlohmann::json& item : *items) {
            if (out.size() >= MAX_CALIBRATIONS) break;
            auto name = item.is_object() ? item.find("Name") : item.end();
            auto ppmm = item.is_object() ? item.find("PPMM") : item.end();
            std::string clean = item.is_object() && name != item.end() && name->is_string()
                                    ? Clean_Calibration_Name(name->get<std::string>())
                                    : "";
            float value = 0;
            if (item.is_object() && ppmm != item.end() && ppmm->is_number()) {
                double wide = ppmm->get<double>();
                value = std::fabs(wide) < 3.0e38 ? (float)wide : 0.0f;
            }
            int32_t width = 0;
            auto made_width = item.is_object() ? item.find("Width") : item.end();
            bool width_ok = !item.is_object() || made_width == item.end() || Usable_Width(*made_width, &width);
            if (clean.empty() || !Usable_PPMM(value) || !width_ok) {
                left_out.push_back(clean.empty() ? "(no name)" : clean);
                continue;
            }
            bool repeated = false;
            for (const Named_Calibration& c : out)
                if (Lower(c.Name) == Lower(clean)) repeated = true;
            if (repeated) continue;
            out.push_back({clean, value, width});
        }
    }
    list->swap(out);
    if (skipped) skipped->swap(left_out);
    *calibrated = made || !list->empty();
    return true;
}

std::string Calibration_List_Path() { return Program_Names.Data_Folder + LIST_FILE; }

void Calibration_List_Load() {
    Calibrations.clear();
    File_Was_Broken = false;
    // The preferences' PPMM was set for a live picture of a width not recorded.
    Live_PPMM_Width = 0;
    // A calibration from before named calibrations existed counts as made.
    bool made = Jobs[0].Doc.PPMM != FACTORY_PPMM;
    std::string path = Calibration_List_Path();
    if (!File_Exists(path)) {
        Calibration_Made = made;
        return;
    }
    std::vector<uint8_t> bytes;
    bool calibrated = false;
    std::vector<Named_Calibration> list;
    std::vector<std::string> skipped;
    if (!Read_File_Bytes(path, MAX_CALIBRATION_FILE_BYTES, &bytes) ||
        !Parse_Calibration_List(std::string(bytes.begin(), bytes.end()), &list, &calibrated, &skipped)) {
        File_Was_Broken = true;
        Calibration_Made = made;
        Log("Calibrations: " + path + " could not be read");
        Message_Box("Warning",
                    "The calibrations file " + path +
                        " could not be read.\nNo named calibrations are offered; the file is kept as " + LIST_FILE +
                        ".broken when the next one is saved.",
                    MSG_ICON_WARNING);
        return;
    }
    if (!skipped.empty()) {
        // The rest is offered; the file as written is kept aside at the next
        // save, since that save leaves the unusable entries out.
        File_Was_Broken = true;
        std::string names;
        for (size_t i = 0; i < skipped.size() && i < 5; i++) names += (i > 0 ? ", " : "") + skipped[i];
        if (skipped.size() > 5) names += ", ...";
        Log("Calibrations: " + path + ": " + std::to_string(skipped.size()) + " entries left out: " + names);
        Message_Box("Warning",
                    "The calibrations file " + path + " has " + std::to_string(skipped.size()) +
                        (skipped.size() == 1 ? " entry" : " entries") + " without a name or a value from " +
                        Plain_Number(MIN_FILE_PPMM) + " up to " + Plain_Number(MAX_FILE_PPMM) +
                        " pixels/mm, or with a picture width other than 0 to " + std::to_string(MAX_PICTURE_EDGE) +
                        " pixels: " + names + ".\nThey are not offered; the file is kept as " + LIST_FILE +
                        ".broken when the next calibration is saved.",
                    MSG_ICON_WARNING);
    }
    Calibrations.swap(list);
    Calibration_Made = made || calibrated;
}

bool Calibration_List_Save() {
    std::string path = Calibration_List_Path();
    if (File_Was_Broken) {
        std::rename(path.c_str(), (path + ".broken").c_str());
        File_Was_Broken = false;
    }
    return Write_File_Atomically(path, Calibration_List_Text(Calibrations, Calibration_Made));
}

bool Store_Named_Calibration(const std::string& typed, float ppmm, int32_t width) {
    std::string name = Clean_Calibration_Name(typed);
    if (name.empty() || !Usable_PPMM(ppmm)) return false;
    Calibration_Made = true;
    bool replaced = false;
    for (Named_Calibration& c : Calibrations)
        if (Lower(c.Name) == Lower(name)) {
            c.PPMM = ppmm;
            c.Width = width;
            replaced = true;
            break;
        }
    if (!replaced) {
        if (Calibrations.size() >= MAX_CALIBRATIONS) {
            Message_Box("Error", "Too many named calibrations: remove some from " + Calibration_List_Path() + ".",
                        MSG_ICON_ERROR);
            return false;
        }
        Calibrations.push_back({name, ppmm, width > 0 && width <= MAX_PICTURE_EDGE ? width : 0});
    }
    if (!Calibration_List_Save())
        Message_Box("Error", "Unable to save the calibration to " + Calibration_List_Path(), MSG_ICON_ERROR);
    return true;
}

void Note_Calibration_Made() {
    if (Calibration_Made) return;
    Calibration_Made = true;
    Calibration_List_Save();  // a failure only forgets the note
}

float Calibration_PPMM_At(const Named_Calibration& c, int32_t width) { return Scaled_PPMM(c.PPMM, c.Width, width); }

int64_t Find_Calibration(float ppmm, int32_t width) {
    for (size_t i = 0; i < Calibrations.size(); i++)
        if (Calibration_PPMM_At(Calibrations[i], width) == ppmm) return (int64_t)i;
    return -1;
}

void Apply_Named_Calibration(size_t i) {
    if (i >= Calibrations.size()) return;
    Live_PPMM_Width = Jobs[0].Doc.Resolution.x;
    Jobs[0].Doc.PPMM = Calibration_PPMM_At(Calibrations[i], Live_PPMM_Width);
    Mark_Prefs_Changed();
    Mark_Measurement_List_Changed();
}

void Live_Width_Changed(int32_t width) {
    if (width <= 0 || width == Live_PPMM_Width) return;
    // Found at the width the live value was set for: a value typed in the
    // calibration dialog since then matches no named one and stays.
    int64_t i = Find_Calibration(Jobs[0].Doc.PPMM, Live_PPMM_Width);
    Live_PPMM_Width = width;
    if (i < 0) return;
    float ppmm = Calibration_PPMM_At(Calibrations[(size_t)i], width);
    if (ppmm == Jobs[0].Doc.PPMM) return;
    Jobs[0].Doc.PPMM = ppmm;
    Mark_Prefs_Changed();
    Mark_Measurement_List_Changed();
}

bool Is_Uncalibrated(double ppmm) { return !Calibration_Made && ppmm == FACTORY_PPMM; }

std::string Calibration_Label(const Named_Calibration& c, int32_t width) {
    if (c.Width <= 0 || width <= 0 || c.Width == width) return c.Name;
    return c.Name + " (made at " + std::to_string(c.Width) + " px, scaled)";
}

std::string Measure_Frame_Caption() {
    std::string caption = "Measurement: " + Unit_Name(Current_Unit_Code());
    const Doc_Info& doc = Current_Doc();
    float ppmm = doc.PPMM;
    int64_t i = Find_Calibration(ppmm, doc.Resolution.x);
    if (i >= 0)
        caption += " - " + Calibration_Label(Calibrations[(size_t)i], doc.Resolution.x);
    else if (Is_Uncalibrated(ppmm))
        caption += " (uncalibrated)";
    return caption;
}
