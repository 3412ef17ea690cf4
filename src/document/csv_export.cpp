#include "document/csv_export.h"

#include "base/app_state.h"
#include "base/image_io.h"
#include "document/doc_model.h"
#include "platform/platform.h"

std::string Csv_File_Name(const std::string& typed) {
    if (Ends_With_No_Case(typed, ".CSV")) return typed;
    return typed + ".csv";
}

std::string Csv_Report_Text(int64_t local_seconds, const Csv_List& list) {
    const std::string end = "\r\n";
    const Job_Slot* slot = Current_Slot();
    size_t entries = slot ? slot->Doc.Tools.size() : 0;
    std::string text;
    text += Application_Name + " - CSV export\t" + Application_Version + end;
    text += end;
    text += "Report Generated:\t" + Format_Local_Time(local_seconds, "%dd/%mm/%yyyy @ %hh:%ii:%ss") + end;
    text += end;
    text += "Entries:\t" + std::to_string(entries) + end;
    text += end;
    text += "Unit of Measurement:\t" + list.Unit + end;
    text += end;
    text += "ID\tLength\tAngle\tScale" + end;
    for (const std::vector<std::string>& row : list.Rows) {
        std::string line;
        for (size_t k = 0; k < row.size(); k++) {
            line += row[k];
            if (k + 1 < row.size()) line += '\t';
        }
        text += line + end;
    }
    return text;
}

static void Put_Unit(std::vector<uint8_t>* out, uint32_t unit) {
    out->push_back((uint8_t)unit);
    out->push_back((uint8_t)(unit >> 8));
}

std::vector<uint8_t> Utf8_To_Utf16le(const std::string& text) {
    std::vector<uint8_t> out = {0xFF, 0xFE};
    out.reserve(2 + text.size() * 2);
    const unsigned char* s = (const unsigned char*)text.data();
    size_t n = text.size(), i = 0;
    while (i < n) {
        uint32_t c = s[i];
        size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        uint32_t code = 0xFFFD;
        if (length == 1) {
            code = c;
        } else if (length > 1 && i + length <= n) {
            code = c & (0x7F >> length);
            bool valid = true;
            for (size_t k = 1; k < length; k++) {
                if ((s[i + k] & 0xC0) != 0x80) valid = false;
                code = (code << 6) | (s[i + k] & 0x3F);
            }
            static const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
            if (!valid || code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
                code = 0xFFFD;
                length = 1;
            }
        } else {
            length = 1;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            Put_Unit(&out, 0xD800 + (code >> 10));
            Put_Unit(&out, 0xDC00 + (code & 0x3FF));
        } else {
            Put_Unit(&out, code);
        }
        i += length;
    }
    return out;
}

void Export_Csv(const Csv_List& list) {
    if (Current_Job < 1 || Current_Job >= JOB_SLOTS) return;
    const Job_Slot& slot = Jobs[Current_Job];
    if (!slot.In_Use || slot.Doc.Tools.empty()) return;
    std::string name;
    int filter = 0;
    if (!Save_File_Dialog("Select filename", "", "CSV|*.CSV", &name, &filter)) return;
    name = Csv_File_Name(name);
    if (File_Size(name) > 0 && Message_Box("Warning", "File already exists, overwrite?", MSG_YES_NO | MSG_ICON_WARNING) != 1)
        return;
    std::vector<uint8_t> bytes = Utf8_To_Utf16le(Csv_Report_Text(Local_Time_Seconds(), list));
    if (!Write_File_Atomically(name, bytes)) {
        Message_Box("Error", "Unable write to the selected file, is it already open in a different application?",
                    MSG_ICON_ERROR);
        return;
    }
    Message_Box("Message", "Export to CSV completed.\r\n\r\n" + name, MSG_ICON_INFO);
}
