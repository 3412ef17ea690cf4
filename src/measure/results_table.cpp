#include "measure/results_table.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include "base/image_io.h"
#include "base/unit_table.h"
#include "document/csv_export.h"
#include "document/doc_model.h"
#include "measure/units.h"
#include "platform/platform.h"

const char* const Results_Column_Names[RESULT_VALUE_COLUMNS] = {
    "length", "width",    "height", "angle_deg", "area", "perimeter", "radius", "diameter",
    "x",      "y",        "threshold_percent",   "pixels_per_mm"};

namespace {

const double Pi = 3.14159265358979323846;

std::string Kind_Name(int64_t type) {
    switch (type) {
        case TOOL_LINE: return "line";
        case TOOL_WIDTH: return "width";
        case TOOL_HEIGHT: return "height";
        case TOOL_WIDTH_HEIGHT: return "width_height";
        case TOOL_BOX: return "box";
        case TOOL_CIRCLE: return "circle";
        case TOOL_BLOB: return "blob";
        case TOOL_THRESHOLD_NOTE: return "threshold";
        default: return "unknown";
    }
}

struct Row_Builder {
    Results_Row* row;
    double per_pixel;  // unit length of one image pixel
    void Put(int column, double value) {
        row->Value[column] = value;
        row->Filled[column] = true;
    }
    void Length(int column, double pixels) { Put(column, pixels * per_pixel); }
    void Area(double square_pixels) { Put(RESULT_AREA, square_pixels * per_pixel * per_pixel); }
};

const char* const Fixed_Header = "document,file,index,kind,unit";

}  // namespace

std::string Csv_Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string Valid_Utf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const unsigned char* s = (const unsigned char*)text.data();
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const uint32_t c = s[i];
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        bool valid = length > 0 && i + length <= n;
        uint32_t code = c & (0x7F >> (length > 1 ? length : 0));
        for (size_t k = 1; valid && k < length; k++) {
            if ((s[i + k] & 0xC0) != 0x80) valid = false;
            code = (code << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode are not UTF-8 either.
        static const uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) valid = false;
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";  // U+FFFD for the one byte, then go on after it
            i++;
        }
    }
    return out;
}

std::string Csv_Text(const std::string& text) {
    std::string cell = Valid_Utf8(text);
    // Spreadsheets run a cell that begins like this as a formula.
    if (!cell.empty() && std::strchr("=+-@\t\r", cell[0])) cell = "'" + cell;
    return Csv_Field(cell);
}

std::string Csv_Number(double value) {
    if (!std::isfinite(value)) return "";
    if (value == 0.0) return "0";  // no "-0" in a table
    // to_chars never consults the locale, unlike printf under LC_NUMERIC.
    char buffer[64];
    std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    if (r.ec != std::errc()) return "";
    return std::string(buffer, r.ptr);
}

std::string Results_Unit(int64_t code) {
    const Unit_Info* unit = Unit_Info_Of(code);
    return unit ? unit->Results : "mm";  // as the conversion treats an invalid code
}

std::string Summary_File_Name(const std::string& results_name) {
    std::string stem = results_name;
    if (Ends_With_No_Case(stem, ".csv")) stem.resize(stem.size() - 4);
    return stem + "-summary.csv";
}

void Append_Results_Rows(int64_t document, const std::string& file, const Doc_Info& doc,
                         std::vector<Results_Row>* rows) {
    int64_t unit = doc.Measure_Unit;
    if (unit < 0 || unit >= UNIT_COUNT) unit = UNIT_MILLIMETRES;
    const double ppmm = (double)doc.PPMM;
    const double per_pixel = Length_In_Unit(1.0, ppmm, unit);
    for (size_t i = 0; i < doc.Tools.size(); i++) {
        const Tool& t = doc.Tools[i];
        rows->emplace_back();
        Results_Row& row = rows->back();
        row.Document = document;
        row.File = file;
        row.Index = (int64_t)i;
        row.Type = t.Type;
        row.Kind = Kind_Name(t.Type);
        row.Unit = Results_Unit(unit);
        Row_Builder b{&row, per_pixel};
        const double dx = std::fabs((double)t.X_End - t.X_Start), dy = std::fabs((double)t.Y_End - t.Y_Start);
        const double mid_x = ((double)t.X_Start + t.X_End) / 2, mid_y = ((double)t.Y_Start + t.Y_End) / 2;
        switch (t.Type) {
            case TOOL_LINE:
                b.Length(RESULT_LENGTH, t.Distance);
                b.Length(RESULT_WIDTH, dx);
                b.Length(RESULT_HEIGHT, dy);
                b.Put(RESULT_ANGLE, t.Angle);
                b.Length(RESULT_X, mid_x);
                b.Length(RESULT_Y, mid_y);
                break;
            case TOOL_WIDTH:
                b.Length(RESULT_LENGTH, t.Distance);
                b.Length(RESULT_WIDTH, t.Distance);
                b.Length(RESULT_X, mid_x);
                b.Length(RESULT_Y, mid_y);
                break;
            case TOOL_HEIGHT:
                b.Length(RESULT_LENGTH, t.Distance);
                b.Length(RESULT_HEIGHT, t.Distance);
                b.Length(RESULT_X, mid_x);
                b.Length(RESULT_Y, mid_y);
                break;
            case TOOL_BOX:
                b.Length(RESULT_WIDTH, dx);
                b.Length(RESULT_HEIGHT, dy);
                b.Area(dx * dy);
                b.Length(RESULT_PERIMETER, 2 * (dx + dy));
                b.Length(RESULT_X, mid_x);
                b.Length(RESULT_Y, mid_y);
                break;
            case TOOL_CIRCLE: {
                const double r = t.Radius;
                b.Length(RESULT_RADIUS, r);
                b.Length(RESULT_DIAMETER, 2 * r);
                b.Area(Pi * r * r);
                b.Length(RESULT_PERIMETER, 2 * Pi * r);
                b.Length(RESULT_X, t.CentreX);
                b.Length(RESULT_Y, t.CentreY);
                break;
            }
            case TOOL_BLOB:
                // Width and height are the bounding box; the area is the pixel
                // count, and stays empty for a blob whose count is not known.
                b.Length(RESULT_WIDTH, dx);
                b.Length(RESULT_HEIGHT, dy);
                if (t.Area > 0) b.Area((double)t.Area);
                b.Length(RESULT_X, mid_x);
                b.Length(RESULT_Y, mid_y);
                break;
            case TOOL_THRESHOLD_NOTE: b.Put(RESULT_THRESHOLD, t.Distance); break;
            default: break;
        }
        b.Put(RESULT_PPMM, ppmm);
        // A value that cannot be computed (no calibration) is no value.
        for (int c = 0; c < RESULT_VALUE_COLUMNS; c++)
            if (row.Filled[c] && !std::isfinite(row.Value[c])) row.Filled[c] = false;
    }
}

std::vector<Results_Row> Open_Documents_Results() {
    std::vector<Results_Row> rows;
    for (int64_t slot = 1; slot < JOB_SLOTS; slot++)
        if (Jobs[slot].In_Use) {
            // An imported picture is named by its picture file until it is saved as a document.
            const Job_Slot& job = Jobs[slot];
            Append_Results_Rows(slot, job.File_Name.empty() ? job.Picture_File : job.File_Name, job.Doc, &rows);
        }
    return rows;
}

std::string Results_Csv_Text(const std::vector<Results_Row>& rows) {
    std::string text = Fixed_Header;
    for (const char* name : Results_Column_Names) text += std::string(",") + name;
    text += '\n';
    for (const Results_Row& row : rows) {
        text += std::to_string(row.Document) + "," + Csv_Text(row.File) + "," + std::to_string(row.Index) + "," +
                Csv_Text(row.Kind) + "," + Csv_Text(row.Unit);
        for (int c = 0; c < RESULT_VALUE_COLUMNS; c++) {
            text += ',';
            if (row.Filled[c]) text += Csv_Number(row.Value[c]);
        }
        text += '\n';
    }
    return text;
}

std::string Summary_Csv_Text(const std::vector<Results_Row>& rows) {
    std::string text = "document,file,kind,unit,column,n,mean,sd,min,max\n";
    // Documents in the order of the rows, kinds in kind order inside each.
    std::vector<int64_t> documents;
    for (const Results_Row& row : rows)
        if (std::find(documents.begin(), documents.end(), row.Document) == documents.end())
            documents.push_back(row.Document);
    for (int64_t document : documents) {
        std::map<int64_t, std::vector<const Results_Row*>> kinds;
        for (const Results_Row& row : rows)
            if (row.Document == document) kinds[row.Type].push_back(&row);
        for (const auto& kind : kinds) {
            const Results_Row& first = *kind.second.front();
            for (int c = 0; c < RESULT_VALUE_COLUMNS; c++) {
                std::vector<double> values;
                for (const Results_Row* row : kind.second)
                    if (row->Filled[c]) values.push_back(row->Value[c]);
                if (values.empty()) continue;
                double sum = 0, low = values[0], high = values[0];
                for (double v : values) {
                    sum += v;
                    low = std::min(low, v);
                    high = std::max(high, v);
                }
                const double n = (double)values.size(), mean = sum / n;
                // Two passes: the squares of the deviations, not of the values.
                double squares = 0;
                for (double v : values) squares += (v - mean) * (v - mean);
                std::string sd = values.size() > 1 ? Csv_Number(std::sqrt(squares / (n - 1))) : "";
                text += std::to_string(first.Document) + "," + Csv_Text(first.File) + "," + Csv_Text(first.Kind) +
                        "," + Csv_Text(first.Unit) + "," + Results_Column_Names[c] + "," +
                        std::to_string(values.size()) + "," + Csv_Number(mean) + "," + sd + "," + Csv_Number(low) +
                        "," + Csv_Number(high) + "\n";
            }
        }
    }
    return text;
}

void Export_Results() {
    std::vector<Results_Row> rows = Open_Documents_Results();
    if (rows.empty()) {
        Message_Box("Info", "No measurements to export", MSG_ICON_INFO);
        return;
    }
    std::string name;
    int filter = 0;
    if (!Save_File_Dialog("Export results", "", "CSV|*.csv", &name, &filter)) return;
    name = Csv_File_Name(name);
    const std::string summary = Summary_File_Name(name);
    if ((File_Size(name) > 0 || File_Size(summary) > 0) &&
        Message_Box("Warning", "File already exists, overwrite?", MSG_YES_NO | MSG_ICON_WARNING) != 1)
        return;
    if (!Write_File_Atomically(name, Results_Csv_Text(rows)) ||
        !Write_File_Atomically(summary, Summary_Csv_Text(rows))) {
        Message_Box("Error", "Unable write to the selected file, is it already open in a different application?",
                    MSG_ICON_ERROR);
        return;
    }
    Message_Box("Message", "Exported results to:\n" + name + "\nand the summary to:\n" + summary, MSG_ICON_INFO);
}
