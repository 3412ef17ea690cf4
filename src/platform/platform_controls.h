// The control model shared by both backends: every control's kind, place in
// the window tree, state, texts, rows, range and enable state, and every
// window's status-bar fields. The gadget procedures of platform.h that set
// or read this state are defined once, in platform_controls.cpp; a backend
// creates and forgets the records and mirrors each change into its widgets
// through the Control_Mirror hooks (the null backend has no widgets and
// leaves them unset).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

struct Control_Record {
    int64_t Number = 0;
    int64_t Window = 0;
    int64_t Kind = 0;                // Control_Kind
    int64_t Parent = -1;             // container control number, -1 for the window itself
    int X = 0, Y = 0, W = 0, H = 0;  // rectangle last asked for, logical pixels
    std::string Text;                // caption or text-input value
    std::string Tooltip;
    int64_t State = 0;               // see Set_State; -1 = none for lists, drop-downs and pages
    bool Hidden = false;
    bool Disabled = false;
    int64_t Min = 0, Max = 100;      // slider range
    int Inner_W = 0, Inner_H = 0;    // scroll area
    std::vector<std::string> Columns;
    std::vector<std::pair<std::string, int64_t>> Rows;  // list and drop-down rows with their data
};

struct Status_Record {
    std::vector<std::string> Texts;
    std::vector<int64_t> Writes;     // times each field was written
};

extern std::map<int64_t, Control_Record> Control_Table;
extern std::map<int64_t, Status_Record> Status_Table;  // by window number

// What a backend does to its widgets after the model changed. Any hook may
// be nullptr. Each runs after the record holds the new value.
struct Control_Mirror {
    void (*State)(const Control_Record& c) = nullptr;
    void (*Text)(const Control_Record& c) = nullptr;
    void (*Tooltip)(const Control_Record& c) = nullptr;
    void (*Hidden)(const Control_Record& c) = nullptr;
    void (*Disabled)(const Control_Record& c) = nullptr;
    void (*Slider_Range)(const Control_Record& c) = nullptr;
    void (*Inner_Size)(const Control_Record& c) = nullptr;
    void (*Column_Added)(const Control_Record& c, int width) = nullptr;  // the last column
    void (*Row_Added)(const Control_Record& c) = nullptr;                // the last row
    void (*Rows_Cleared)(const Control_Record& c) = nullptr;
    void (*Status_Text)(int64_t window, int field, const std::string& text) = nullptr;
};
// Set by the wx backend in Platform_Init.
extern Control_Mirror Mirror;

// ---------------------------------------------------------------- records
Control_Record* Find_Control(int64_t control);
// A new record, or nullptr when the number is taken. Lists and drop-downs
// start with no row chosen, pages with no page shown.
Control_Record* Add_Control_Record(int64_t window, int64_t control, int64_t kind, int x, int y, int w, int h,
                                   const std::string& text, int64_t parent);
// The controls inside `control` (direct children), in number order.
std::vector<int64_t> Child_Controls(int64_t control);
std::vector<int64_t> Window_Controls(int64_t window);
void Forget_Control_Record(int64_t control);
// Forgets every control, status bar and pointer move.
void Clear_Control_Model();

// ---------------------------------------------------------------- status bar
// Gives `window` `fields` empty status fields (replacing any it had).
void Add_Status_Record(int64_t window, size_t fields);
void Forget_Status_Record(int64_t window);

// ---------------------------------------------------------------- pointer
extern int64_t Pointer_Moved_Total;  // sum of |dx|+|dy| asked of Move_Pointer_By
void Count_Pointer_Move(int dx, int dy);
