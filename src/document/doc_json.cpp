#include "document/doc_json.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include <nlohmann/json.hpp>

#include "document/doc_model.h"

using nlohmann::json;

// ============================================================ writer

std::string Json_Number(float value) {
    double d = (double)value;
    if (std::isnan(d) || std::isinf(d)) return "null";
    if (d == 0.0) return "0";  // also turns -0 into 0
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.32g", d);
    return buffer;
}

std::string Json_String(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 32) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", (unsigned)c);
                    out += buffer;
                } else {
                    out += (char)c;
                }
        }
    }
    out += '"';
    return out;
}

// Members are appended as "name":value with a comma before every member but
// the first of its object; `first` tracks that per object.
static void Key(std::string* out, bool* first, const char* name) {
    if (!*first) *out += ',';
    *first = false;
    *out += '"';
    *out += name;
    *out += "\":";
}

static void Put_Int(std::string* out, bool* first, const char* name, int64_t value) {
    Key(out, first, name);
    *out += std::to_string(value);
}

static void Put_Float(std::string* out, bool* first, const char* name, float value) {
    Key(out, first, name);
    *out += Json_Number(value);
}

static void Put_Text(std::string* out, bool* first, const char* name, const std::string& value) {
    Key(out, first, name);
    *out += Json_String(value);
}

static void Append_Video_Settings(std::string* out, const Video_Settings& v) {
    Video_Settings copy = v;  // Video_Property wants a mutable record
    bool first = true;
    *out += '{';
    Put_Text(out, &first, "Name", v.Name);
    Put_Int(out, &first, "LoadedImage", v.LoadedImage);
    Put_Text(out, &first, "Device", v.Device);
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++)
        Put_Float(out, &first, Video_Property_Names[i], *Video_Property(&copy, i));
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        std::string name = std::string("Auto_") + Video_Property_Names[i];
        Put_Float(out, &first, name.c_str(), *Video_Property_Auto(&copy, i));
    }
    *out += '}';
}

static void Append_Measure(std::string* out, const sMeasurement& m) {
    bool first = true;
    *out += '{';
    Put_Float(out, &first, "hfx", m.hfx);
    Put_Float(out, &first, "hfy", m.hfy);
    Put_Float(out, &first, "htx", m.htx);
    Put_Float(out, &first, "hty", m.hty);
    Put_Float(out, &first, "vfx", m.vfx);
    Put_Float(out, &first, "vfy", m.vfy);
    Put_Float(out, &first, "vtx", m.vtx);
    Put_Float(out, &first, "vty", m.vty);
    Put_Float(out, &first, "cx", m.cx);
    Put_Float(out, &first, "cy", m.cy);
    Put_Float(out, &first, "w", m.w);
    Put_Float(out, &first, "h", m.h);
    Put_Float(out, &first, "Area", m.Area);
    Put_Float(out, &first, "Radius", m.Radius);
    Put_Float(out, &first, "Angle", m.Angle);
    Put_Float(out, &first, "Distance", m.Distance);
    Put_Float(out, &first, "Hits", m.Hits);
    Put_Int(out, &first, "Hit_Pixels", m.Hit_Pixels);
    Put_Int(out, &first, "Object", m.Object);
    Put_Float(out, &first, "X_Start", m.X_Start);
    Put_Float(out, &first, "Y_Start", m.Y_Start);
    Put_Float(out, &first, "X_End", m.X_End);
    Put_Float(out, &first, "Y_End", m.Y_End);
    Put_Float(out, &first, "Scale_Start", m.Scale_Start);
    Put_Float(out, &first, "Scale_End", m.Scale_End);
    *out += '}';
}

static void Append_Tool(std::string* out, const Tool& t) {
    bool first = true;
    *out += '{';
    Put_Int(out, &first, "Type", t.Type);
    Put_Text(out, &first, "Text", t.Text);
    Put_Float(out, &first, "X_Start", t.X_Start);
    Put_Float(out, &first, "Y_Start", t.Y_Start);
    Put_Float(out, &first, "X_End", t.X_End);
    Put_Float(out, &first, "Y_End", t.Y_End);
    Put_Float(out, &first, "CentreX", t.CentreX);
    Put_Float(out, &first, "CentreY", t.CentreY);
    Put_Float(out, &first, "Radius", t.Radius);
    Put_Float(out, &first, "Angle", t.Angle);
    Put_Float(out, &first, "Distance", t.Distance);
    Put_Float(out, &first, "Scale_Start", t.Scale_Start);
    Put_Float(out, &first, "Scale_End", t.Scale_End);
    Put_Int(out, &first, "Colour", t.Colour);
    Put_Int(out, &first, "Selected", t.Selected);
    // The blob's pixel count is the one member added to a tool object: only
    // blobs with a known count carry it, so every other tool, and a blob read
    // from an older file, is written exactly as before.
    if (t.Type == TOOL_BLOB && t.Area > 0) Put_Int(out, &first, "Area", t.Area);
    *out += '}';
}

std::string Doc_To_Json(const Doc_Info& doc) {
    std::string out;
    bool first = true;
    out += '{';
    Put_Int(&out, &first, "Type", doc.Type);
    Put_Int(&out, &first, "Version", doc.Version);
    Key(&out, &first, "Resolution");
    {
        bool f = true;
        out += '{';
        Put_Int(&out, &f, "x", doc.Resolution.x);
        Put_Int(&out, &f, "y", doc.Resolution.y);
        out += '}';
    }
    Put_Float(&out, &first, "PPMM", doc.PPMM);
    Put_Float(&out, &first, "Threshold_Percentage", doc.Threshold_Percentage);
    Key(&out, &first, "Processing");
    {
        const ProcessMode& p = doc.Processing;
        bool f = true;
        out += '{';
        Put_Text(&out, &f, "Name", p.Name);
        Put_Int(&out, &f, "Mode", p.Mode);
        Put_Int(&out, &f, "Threshold_Cyan", p.Threshold_Cyan);
        Put_Int(&out, &f, "Threshold_Magenta", p.Threshold_Magenta);
        Put_Int(&out, &f, "Threshold_Yellow", p.Threshold_Yellow);
        Put_Int(&out, &f, "Threshold_Black", p.Threshold_Black);
        Put_Int(&out, &f, "Use_HSVRange", p.Use_HSVRange);
        // Written only when set, so a document that never used it keeps the
        // settings text an older program writes.
        if (p.Bright) Put_Int(&out, &f, "Bright", 1);
        out += '}';
    }
    Key(&out, &first, "Video_Settings");
    Append_Video_Settings(&out, doc.Video_Settings);
    Put_Int(&out, &first, "Measure_Unit", doc.Measure_Unit);
    Put_Int(&out, &first, "TimeStamp", doc.TimeStamp);
    Put_Text(&out, &first, "Comment", doc.Comment);
    Put_Text(&out, &first, "Operator", doc.Operator);
    Put_Float(&out, &first, "ScaleValue", doc.ScaleValue);
    Key(&out, &first, "Measure");
    Append_Measure(&out, doc.Measure);
    Key(&out, &first, "Tools");
    out += '[';
    for (size_t i = 0; i < doc.Tools.size(); i++) {
        if (i > 0) out += ',';
        Append_Tool(&out, doc.Tools[i]);
    }
    out += ']';
    Put_Int(&out, &first, "Tool_Selected", doc.Tool_Selected);
    // The pixel buffer travels in the image member; this value means nothing.
    Put_Int(&out, &first, "Image_Buffer", 0);
    out += '}';
    return out;
}

std::string Video_Settings_To_Json(const Video_Settings& settings) {
    std::string out;
    Append_Video_Settings(&out, settings);
    return out;
}

// ============================================================ reader
//
// Every getter looks the member up, checks its type and range, and leaves the
// field alone otherwise (the caller has cleared the record). A number that
// does not fit the field's width is treated like a value of the wrong type.

static const json* Member(const json& object, const char* name) {
    auto it = object.find(name);
    if (it == object.end()) return nullptr;
    return &*it;
}

static bool Integer_Value(const json& value, int64_t low, int64_t high, int64_t* out) {
    if (value.is_number_unsigned()) {
        uint64_t u = value.get<uint64_t>();
        if (u > (uint64_t)high) return false;
        *out = (int64_t)u;
        return true;
    }
    if (value.is_number_integer()) {
        int64_t i = value.get<int64_t>();
        if (i < low || i > high) return false;
        *out = i;
        return true;
    }
    // Many writers print every number as a float ("Type":5.0, "Colour":255.0).
    // An integral value within the field's range is that integer; 5.5, a value
    // beyond the range or beyond int64_t is refused like a value of the wrong
    // type. The range is tested in double before converting (high + 1 is at
    // most 2^63, exact), so the conversion never overflows.
    if (value.is_number_float()) {
        double d = value.get<double>();
        if (!std::isfinite(d) || d != std::trunc(d)) return false;
        if (d < (double)low || !(d < (double)high + 1.0)) return false;
        int64_t i = (int64_t)d;
        if (i < low || i > high) return false;
        *out = i;
        return true;
    }
    return false;
}

template <typename T>
static void Get_Int(const json& object, const char* name, T* field) {
    const json* value = Member(object, name);
    if (!value) return;
    int64_t v = 0;
    if (Integer_Value(*value, (int64_t)std::numeric_limits<T>::min(), (int64_t)std::numeric_limits<T>::max(), &v))
        *field = (T)v;
}

static void Get_Float(const json& object, const char* name, float* field) {
    const json* value = Member(object, name);
    if (!value || !value->is_number()) return;  // null (written for NaN/inf) stays 0
    double d = value->get<double>();
    if (!std::isfinite(d) || std::fabs(d) > (double)FLT_MAX) return;
    *field = (float)d;
}

static void Read_Text_Field(const json& object, const char* name, std::string* field) {
    const json* value = Member(object, name);
    if (value && value->is_string()) *field = value->get<std::string>();
}

static const json* Get_Object(const json& object, const char* name) {
    const json* value = Member(object, name);
    if (value && value->is_object()) return value;
    return nullptr;
}

static void Read_Video_Settings(const json& o, Video_Settings* v) {
    Read_Text_Field(o, "Name", &v->Name);
    Get_Int(o, "LoadedImage", &v->LoadedImage);
    Read_Text_Field(o, "Device", &v->Device);
    for (int i = 0; i < VIDEO_PROPERTY_COUNT; i++) {
        Get_Float(o, Video_Property_Names[i], Video_Property(v, i));
        std::string name = std::string("Auto_") + Video_Property_Names[i];
        Get_Float(o, name.c_str(), Video_Property_Auto(v, i));
    }
}

static void Read_Measure(const json& o, sMeasurement* m) {
    Get_Float(o, "hfx", &m->hfx);
    Get_Float(o, "hfy", &m->hfy);
    Get_Float(o, "htx", &m->htx);
    Get_Float(o, "hty", &m->hty);
    Get_Float(o, "vfx", &m->vfx);
    Get_Float(o, "vfy", &m->vfy);
    Get_Float(o, "vtx", &m->vtx);
    Get_Float(o, "vty", &m->vty);
    Get_Float(o, "cx", &m->cx);
    Get_Float(o, "cy", &m->cy);
    Get_Float(o, "w", &m->w);
    Get_Float(o, "h", &m->h);
    Get_Float(o, "Area", &m->Area);
    Get_Float(o, "Radius", &m->Radius);
    Get_Float(o, "Angle", &m->Angle);
    Get_Float(o, "Distance", &m->Distance);
    Get_Float(o, "Hits", &m->Hits);
    Get_Int(o, "Hit_Pixels", &m->Hit_Pixels);
    Get_Int(o, "Object", &m->Object);
    Get_Float(o, "X_Start", &m->X_Start);
    Get_Float(o, "Y_Start", &m->Y_Start);
    Get_Float(o, "X_End", &m->X_End);
    Get_Float(o, "Y_End", &m->Y_End);
    Get_Float(o, "Scale_Start", &m->Scale_Start);
    Get_Float(o, "Scale_End", &m->Scale_End);
}

static void Read_Tool(const json& o, Tool* t) {
    Get_Int(o, "Type", &t->Type);
    Read_Text_Field(o, "Text", &t->Text);
    Get_Float(o, "X_Start", &t->X_Start);
    Get_Float(o, "Y_Start", &t->Y_Start);
    Get_Float(o, "X_End", &t->X_End);
    Get_Float(o, "Y_End", &t->Y_End);
    Get_Float(o, "CentreX", &t->CentreX);
    Get_Float(o, "CentreY", &t->CentreY);
    Get_Float(o, "Radius", &t->Radius);
    Get_Float(o, "Angle", &t->Angle);
    Get_Float(o, "Distance", &t->Distance);
    Get_Float(o, "Scale_Start", &t->Scale_Start);
    Get_Float(o, "Scale_End", &t->Scale_End);
    // Packed colours with alpha >= 128 are negative as int32; a writer that
    // printed them unsigned is read back to the same bits.
    if (const json* c = Member(o, "Colour")) {
        int64_t v = 0;
        if (Integer_Value(*c, INT32_MIN, UINT32_MAX, &v)) t->Colour = (int32_t)(uint32_t)(uint64_t)v;
    }
    Get_Int(o, "Selected", &t->Selected);
    if (t->Type == TOOL_BLOB) {
        int64_t count = 0;
        if (const json* a = Member(o, "Area"))
            if (Integer_Value(*a, 1, INT64_MAX, &count)) t->Area = count;
    }
}

bool Json_To_Doc(const std::string& text, Doc_Info* out) {
    json root = json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object()) return false;
    Doc_Info doc;
    Get_Int(root, "Type", &doc.Type);
    Get_Int(root, "Version", &doc.Version);
    if (const json* r = Get_Object(root, "Resolution")) {
        Get_Int(*r, "x", &doc.Resolution.x);
        Get_Int(*r, "y", &doc.Resolution.y);
    }
    Get_Float(root, "PPMM", &doc.PPMM);
    Get_Float(root, "Threshold_Percentage", &doc.Threshold_Percentage);
    if (const json* p = Get_Object(root, "Processing")) {
        Read_Text_Field(*p, "Name", &doc.Processing.Name);
        Get_Int(*p, "Mode", &doc.Processing.Mode);
        Get_Int(*p, "Threshold_Cyan", &doc.Processing.Threshold_Cyan);
        Get_Int(*p, "Threshold_Magenta", &doc.Processing.Threshold_Magenta);
        Get_Int(*p, "Threshold_Yellow", &doc.Processing.Threshold_Yellow);
        Get_Int(*p, "Threshold_Black", &doc.Processing.Threshold_Black);
        Get_Int(*p, "Use_HSVRange", &doc.Processing.Use_HSVRange);
        Get_Int(*p, "Bright", &doc.Processing.Bright);
        if (doc.Processing.Bright > 1) doc.Processing.Bright = 1;
    }
    if (const json* v = Get_Object(root, "Video_Settings")) Read_Video_Settings(*v, &doc.Video_Settings);
    Get_Int(root, "Measure_Unit", &doc.Measure_Unit);
    Get_Int(root, "TimeStamp", &doc.TimeStamp);
    Read_Text_Field(root, "Comment", &doc.Comment);
    Read_Text_Field(root, "Operator", &doc.Operator);
    Get_Float(root, "ScaleValue", &doc.ScaleValue);
    if (const json* m = Get_Object(root, "Measure")) Read_Measure(*m, &doc.Measure);
    const json* tools = Member(root, "Tools");
    if (tools && tools->is_array()) {
        for (const json& item : *tools) {
            if (!item.is_object()) continue;  // a stray value is not a tool
            if (doc.Tools.size() >= MAX_DOCUMENT_TOOLS) return false;
            Tool t;
            Read_Tool(item, &t);
            doc.Tools.push_back(t);
        }
    }
    Get_Int(root, "Tool_Selected", &doc.Tool_Selected);
    *out = std::move(doc);
    return true;
}

bool Json_To_Video_Settings(const std::string& text, Video_Settings* out) {
    json root = json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object()) return false;
    Video_Settings v;
    Read_Video_Settings(root, &v);
    *out = std::move(v);
    return true;
}
