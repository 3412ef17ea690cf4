#include "app/prefs.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>

#include "analysis/threshold_methods.h"
#include "app/calibration_panel.h"
#include "app/control_ids.h"
#include "app/dispatch.h"
#include "base/app_state.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "document/doc_model.h"
#include "document/settings.h"
#include "measure/calibration_list.h"
#include "measure/snapping.h"
#include "measure/units.h"
#include "platform/platform.h"

std::string Comport_Name;
int64_t Snap_Edge_Pixels = 0;
int64_t Snap_Edge_Sensitivity = 0;

namespace {

const size_t MAX_PREFS_BYTES = 1 << 20;

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return out;
}

size_t Skip_Blanks(const std::string& s, size_t i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) i++;
    return i;
}

// Builds the file text: byte-order mark, an empty first line, the group and
// one "key = value" line per entry, every line ended by CR LF.
std::string Compose(const std::vector<Prefs_Entry>& entries) {
    std::string text = "\xEF\xBB\xBF\r\n[Global]\r\n";
    for (const Prefs_Entry& e : entries) text += e.Key + " = " + e.Value + "\r\n";
    return text;
}

std::string Float6(double v) {
    char b[64];
    snprintf(b, sizeof b, "%.6f", v);
    return b;
}

std::string Bool01(int64_t v) { return v ? "1" : "0"; }

}  // namespace

Prefs_Text Prefs_Parse_Text(const std::string& input) {
    Prefs_Text prefs;
    std::string text = input;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    // Keys before the first group line belong to an unnamed group.
    prefs.Groups.push_back(Prefs_Group());
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();  // the line end, not the value
        start = end + 1;
        size_t i = Skip_Blanks(line, 0);
        if (i >= line.size() || line[i] == ';') continue;
        if (line[i] == '[') {
            size_t close = line.find(']', i + 1);
            Prefs_Group g;
            g.Name = line.substr(i + 1, close == std::string::npos ? std::string::npos : close - i - 1);
            prefs.Groups.push_back(g);
            continue;
        }
        size_t eq = line.find('=', i);
        if (eq == std::string::npos) continue;
        Prefs_Entry e;
        e.Key = line.substr(i, eq - i);
        while (!e.Key.empty() && (e.Key.back() == ' ' || e.Key.back() == '\t')) e.Key.pop_back();
        e.Value = line.substr(Skip_Blanks(line, eq + 1));
        prefs.Groups.back().Entries.push_back(e);
    }
    return prefs;
}

bool Prefs_Find(const Prefs_Text& prefs, const std::string& group, const std::string& key, std::string* value) {
    std::string g = Lower(group), k = Lower(key);
    for (const Prefs_Group& pg : prefs.Groups) {
        if (Lower(pg.Name) != g) continue;
        for (const Prefs_Entry& e : pg.Entries) {
            if (Lower(e.Key) == k) {
                *value = e.Value;
                return true;
            }
        }
        return false;  // only the first group of that name is searched
    }
    return false;
}

int64_t Prefs_Integer(const std::string& value) {
    long long v = strtoll(value.c_str(), nullptr, 10);
    return (int64_t)v;
}

double Prefs_Float(const std::string& value) { return strtod(value.c_str(), nullptr); }

std::string Prefs_Path() { return Program_Names.Data_Folder + Program_Names.Prefs_File_Name; }

namespace {

// The keys and values of a first run, in file order.
std::vector<Prefs_Entry> Factory_Entries() {
    return {
        {"ApplicationName", Application_Name},
        {"LastDevice", ""},
        {"LastResolution", ""},
        {"PPMM", Float6(FACTORY_PPMM)},
        {"MeasureUnit", "2"},
        {"SnapToAngle", "1"},
        {"Snap_AngleTolerance", Float6(3.0)},
        {"SnapToEdge", "1"},
        {"Snap_EdgePixels", "12"},
        {"Snap_EdgeSensitivity", "64"},
        {"Snap_EdgeRadius", "12"},
    };
}

// Why the preferences file at `path` could not be read, for the message.
std::string Unreadable_Reason(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return "could not be created in " + Program_Names.Data_Folder;
    if (S_ISDIR(st.st_mode)) return "is a folder";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    if ((uint64_t)st.st_size > MAX_PREFS_BYTES) return "is larger than 1 MB";
    return "could not be read";
}

}  // namespace

void Prefs_SaveInitial() {
    Create_Folder(Program_Names.Data_Folder);
    std::string text = Compose(Factory_Entries());
    if (!Write_File_Atomically(Prefs_Path(), std::vector<uint8_t>(text.begin(), text.end()))) return;
    Log("Prefs_SaveInitial");
}

void Prefs_Load() {
    if (!File_Exists(Prefs_Path())) Prefs_SaveInitial();
    std::vector<uint8_t> bytes;
    std::string text;
    if (Read_File_Bytes(Prefs_Path(), MAX_PREFS_BYTES, &bytes)) {
        Log("Prefs_Load");
        text.assign(bytes.begin(), bytes.end());
    } else {
        // A file that cannot be read counts as missing: the factory values
        // apply (never the zeroes of an empty record), and the user is told.
        std::string reason = Unreadable_Reason(Prefs_Path());
        Log("Prefs_Load: " + Prefs_Path() + " " + reason);
        Message_Box("Warning",
                    "The preferences file " + Prefs_Path() + " " + reason + ".\nThe factory settings are used.",
                    MSG_ICON_WARNING);
        text = Compose(Factory_Entries());
    }
    Prefs_Text prefs = Prefs_Parse_Text(text);

    auto text_of = [&](const char* key, const char* fallback) {
        std::string v;
        return Prefs_Find(prefs, "Global", key, &v) ? v : std::string(fallback);
    };
    auto integer = [&](const char* key, int64_t fallback) {
        std::string v;
        return Prefs_Find(prefs, "Global", key, &v) ? Prefs_Integer(v) : fallback;
    };
    auto real = [&](const char* key, double fallback) {
        std::string v;
        return Prefs_Find(prefs, "Global", key, &v) ? Prefs_Float(v) : fallback;
    };

    // Values are kept as read (and so written back as read); each user of a
    // value limits it to the range given in prefs.h.
    Last_Device = text_of("LastDevice", "");
    Last_Resolution = text_of("LastResolution", "640x480");
    Snap_Edge_Pixels = integer("Snap_EdgePixels", 12);
    Snap_Edge_Sensitivity = integer("Snap_EdgeSensitivity", 64);
    Set_Snap_Preferences(integer("Snap_EdgeRadius", 12), (float)real("Snap_AngleTolerance", 3.0));
    Comport_Name = text_of("Comport", "COM3");
    float ppmm = (float)real("PPMM", FACTORY_PPMM);
    // A zero, negative or non-finite calibration would make every length meaningless.
    if (!std::isfinite(ppmm) || ppmm <= 0) ppmm = FACTORY_PPMM;
    Jobs[0].Doc.PPMM = ppmm;
    Jobs[0].Doc.Measure_Unit = integer("MeasureUnit", 2);
    Set_State(CTL_SNAP_ANGLE, integer("SnapToAngle", 1) ? 1 : 0);
    Set_State(CTL_SNAP_EDGES, integer("SnapToEdge", 1) ? 1 : 0);
    // A method name not known here (a newer program's) keeps the own rule.
    const std::string method = Lower(text_of("AutoThreshold", "own"));
    int64_t method_row = 0;
    for (uint8_t m = 0; m < THRESHOLD_METHODS; m++)
        if (method == Threshold_Method_Name(m)) method_row = m + 1;
    Set_State(CTL_THRESHOLD_METHOD, method_row);

    // A unit number outside the list selects nothing (lengths then read in mm).
    Set_State(CTL_UNIT_LIST, Jobs[0].Doc.Measure_Unit);
    Settings_From_Widgets();
    // The named calibrations live beside the preferences and are read with them.
    Calibration_List_Load();
    Fill_Calibration_Choice();
    Set_Text(CTL_MEASURE_FRAME, Measure_Frame_Caption());
}

void Prefs_Save() {
    std::vector<Prefs_Entry> e = {
        {"ApplicationName", Application_Name},
        {"LastDevice", Last_Device},
        {"LastResolution", Last_Resolution},
        {"MeasureUnit", std::to_string(Jobs[0].Doc.Measure_Unit)},
        {"PPMM", Float6(Jobs[0].Doc.PPMM)},
        {"SnapToAngle", Bool01(Get_State(CTL_SNAP_ANGLE))},
        {"Snap_AngleTolerance", Float6(Snap_View().Angle_Tolerance)},
        {"SnapToEdge", Bool01(Get_State(CTL_SNAP_EDGES))},
        {"Snap_EdgePixels", std::to_string(Snap_Edge_Pixels)},
        {"Snap_EdgeSensitivity", std::to_string(Snap_Edge_Sensitivity)},
        {"Snap_EdgeRadius", std::to_string(Snap_View().Edge_Radius)},
        {"Comport", Comport_Name},
        {"AutoThreshold", Settings_View().Threshold_Method == 0
                              ? std::string("own")
                              : std::string(Threshold_Method_Name((uint8_t)(Settings_View().Threshold_Method - 1)))},
    };
    // The data folder is not created here: a deleted folder makes saves fail silently.
    std::string text = Compose(e);
    if (!Write_File_Atomically(Prefs_Path(), std::vector<uint8_t>(text.begin(), text.end()))) return;
    Log("Prefs_Save");
}
