#include "document/doc_model.h"

#include <cstddef>

#include "base/app_state.h"
#include "platform/platform.h"

namespace {
Job_Table_State Job_Table;
}

Job_Slot (&Jobs)[JOB_SLOTS] = Job_Table.Slots;
const int64_t& Current_Job = Job_Table.Current;
const uint64_t& Document_Change_Serial = Job_Table.Change_Serial;

const Job_Table_State& Job_Table_View() { return Job_Table; }

void Make_Current_Job(int64_t slot) { Job_Table.Current = slot; }

void Leave_Live_Job() {
    if (Job_Table.Current == 0) Job_Table.Current = First_Used_Job();
}

std::vector<uint8_t> Hit_Mask;
int32_t Hit_Mask_Width = 0, Hit_Mask_Height = 0;

void Mark_Job_List_Changed() { Job_Table.Changes.Job_List = true; }

void Mark_Measurement_List_Changed() { Job_Table.Changes.Measurement_List = true; }

void Select_Job_Later(int64_t slot) {
    Job_Table.Current = slot;
    Job_Table.Changes.Job_Panels = true;
}

Window_Changes Take_Window_Changes() {
    Window_Changes taken = Job_Table.Changes;
    Job_Table.Changes = Window_Changes{};
    return taken;
}

const char* const Video_Property_Names[VIDEO_PROPERTY_COUNT] = {
    "Brightness", "Contrast", "Hue",  "Saturation", "Sharpness", "Gamma",    "ColorEnable", "WhiteBalance",
    "BacklightCompensation", "Gain", "Pan", "Tilt", "Roll", "Zoom", "Exposure", "Iris", "Focus", "Prop_Max"};

// The properties and their automatic flags by index: separate members, so a
// table of member pointers (walking from one member to the next would leave
// the object the pointer came from).
namespace {

typedef float Video_Settings::*Video_Field;
const Video_Field PROPERTY_FIELDS[VIDEO_PROPERTY_COUNT] = {
    &Video_Settings::Brightness, &Video_Settings::Contrast, &Video_Settings::Hue,
    &Video_Settings::Saturation, &Video_Settings::Sharpness, &Video_Settings::Gamma,
    &Video_Settings::ColorEnable, &Video_Settings::WhiteBalance, &Video_Settings::BacklightCompensation,
    &Video_Settings::Gain, &Video_Settings::Pan, &Video_Settings::Tilt,
    &Video_Settings::Roll, &Video_Settings::Zoom, &Video_Settings::Exposure,
    &Video_Settings::Iris, &Video_Settings::Focus, &Video_Settings::Prop_Max};
const Video_Field AUTO_FIELDS[VIDEO_PROPERTY_COUNT] = {
    &Video_Settings::Auto_Brightness, &Video_Settings::Auto_Contrast, &Video_Settings::Auto_Hue,
    &Video_Settings::Auto_Saturation, &Video_Settings::Auto_Sharpness, &Video_Settings::Auto_Gamma,
    &Video_Settings::Auto_ColorEnable, &Video_Settings::Auto_WhiteBalance, &Video_Settings::Auto_BacklightCompensation,
    &Video_Settings::Auto_Gain, &Video_Settings::Auto_Pan, &Video_Settings::Auto_Tilt,
    &Video_Settings::Auto_Roll, &Video_Settings::Auto_Zoom, &Video_Settings::Auto_Exposure,
    &Video_Settings::Auto_Iris, &Video_Settings::Auto_Focus, &Video_Settings::Auto_Prop_Max};

}  // namespace

float* Video_Property(Video_Settings* settings, int i) {
    if (i < 0 || i >= VIDEO_PROPERTY_COUNT) return nullptr;
    return &(settings->*PROPERTY_FIELDS[i]);
}

float* Video_Property_Auto(Video_Settings* settings, int i) {
    if (i < 0 || i >= VIDEO_PROPERTY_COUNT) return nullptr;
    return &(settings->*AUTO_FIELDS[i]);
}

static_assert(offsetof(Video_Settings, Prop_Max) - offsetof(Video_Settings, Brightness) == 17 * sizeof(float),
              "video properties must be consecutive");
static_assert(offsetof(Video_Settings, Auto_Prop_Max) - offsetof(Video_Settings, Auto_Brightness) ==
                  17 * sizeof(float),
              "automatic flags must be consecutive");

void Reset_Jobs() {
    uint64_t serial = Job_Table.Change_Serial;
    Job_Table = Job_Table_State{};
    // The serial only grows: a recovery copy taken before the reset must not look current.
    Job_Table.Change_Serial = serial;
    for (int64_t i = 0; i < JOB_SLOTS; i++) Jobs[i].List_View = i;
}

int64_t Count_Open_Jobs() {
    int64_t n = 0;
    for (int64_t i = 1; i < JOB_SLOTS; i++)
        if (Jobs[i].In_Use) n++;
    return n;
}

int64_t First_Free_Job() {
    for (int64_t i = 1; i < JOB_SLOTS; i++)
        if (!Jobs[i].In_Use) return i;
    return -1;
}

int64_t First_Used_Job() {
    for (int64_t i = 1; i < JOB_SLOTS; i++)
        if (Jobs[i].In_Use) return i;
    return -1;
}

uint64_t Pixel_Budget_Bytes = (uint64_t)2 * 1024 * 1024 * 1024;

uint64_t Document_Pixel_Bytes() {
    uint64_t total = 0;
    for (const Job_Slot& slot : Jobs)
        if (slot.In_Use) total += slot.Doc.Image_Buffer.size();
    return total;
}

uint64_t Pixel_Budget_Left() {
    uint64_t used = Document_Pixel_Bytes();
    return used < Pixel_Budget_Bytes ? Pixel_Budget_Bytes - used : 0;
}

static std::string Budget_Refusal(const char* refused) {
    return std::string(refused) + ": the pictures of all open documents would take more than " +
           std::to_string(Pixel_Budget_Bytes / (1024 * 1024)) + " MB. Close some documents to continue.";
}

std::string Pixel_Budget_Message() { return Budget_Refusal("Unable to load selected file"); }

std::string Snapshot_Budget_Message() { return Budget_Refusal("Unable to take a snapshot"); }

void Allocate_Image(Job_Slot* slot, int32_t w, int32_t h) {
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    slot->Doc.Resolution.x = w;
    slot->Doc.Resolution.y = h;
    slot->Doc.Image_Buffer.assign((size_t)w * (size_t)h * 4, 0);
}

int64_t Document_Pixel_Count(const Doc_Info& doc) {
    const int64_t w = doc.Resolution.x > 0 ? doc.Resolution.x : 0;
    const int64_t h = doc.Resolution.y > 0 ? doc.Resolution.y : 0;
    const int64_t held = (int64_t)(doc.Image_Buffer.size() / 4);
    return w * h < held ? w * h : held;
}

Job_Slot* Current_Slot() {
    if (Current_Job < 0 || Current_Job >= JOB_SLOTS) return nullptr;
    return &Jobs[Current_Job];
}

const char* Tool_Letter(int64_t type) {
    switch (type) {
        case TOOL_LINE: return "M";
        case TOOL_WIDTH: return "W";
        case TOOL_HEIGHT: return "H";
        case TOOL_WIDTH_HEIGHT: return "WH";
        case TOOL_BOX: return "B";
        case TOOL_CIRCLE: return "C";
        case TOOL_BLOB: return "L";
        default: return "";
    }
}

void Mark_Document_Changed(int64_t slot) {
    if (slot < 1 || slot >= JOB_SLOTS || !Jobs[slot].In_Use) return;
    Jobs[slot].Changed = 1;
    Jobs[slot].Change_Serial = ++Job_Table.Change_Serial;
}

void Mark_Document_Saved(int64_t slot) {
    if (slot < 0 || slot >= JOB_SLOTS) return;
    Jobs[slot].Changed = 0;
}

std::vector<int64_t> Unsaved_Jobs() {
    std::vector<int64_t> slots;
    for (int64_t i = 1; i < JOB_SLOTS; i++)
        if (Jobs[i].In_Use && Jobs[i].Changed) slots.push_back(i);
    return slots;
}

int64_t Duplicate_Job(int64_t source) {
    if (source < 0 || source >= JOB_SLOTS) return 1;
    if (!Jobs[source].In_Use) return 0;
    if (Count_Open_Jobs() >= MAX_FROZEN_JOBS) return 8;
    // Refused before anything is touched: the live picture, the current
    // document and every other slot stay as they were.
    if (Jobs[source].Doc.Image_Buffer.size() > Pixel_Budget_Left()) {
        Message_Box("Error", Snapshot_Budget_Message(), MSG_ICON_ERROR);
        return 2;
    }

    int64_t target = First_Free_Job();
    Job_Table.Current = target;
    Job_Slot& to = Jobs[target];
    // A plain copy of the record copies the texts, the tool list and the pixels.
    to.Doc = Jobs[source].Doc;
    to.In_Use = 1;
    to.Image_Changed = 1;
    to.File_Name.clear();
    to.Picture_File.clear();
    to.Doc.TimeStamp = Local_Time_Seconds();
    to.Doc.ScaleValue = Stage_Position - Stage_Zero;
    Mark_Document_Changed(target);

    Mark_Job_List_Changed();
    Mark_Measurement_List_Changed();
    return 0;
}

// The nearest slot below `i` that holds a document, or -1.
static int64_t Nearest_Lower_Used(int64_t i) {
    for (int64_t j = i - 1; j >= 0; j--)
        if (Jobs[j].In_Use) return j;
    return -1;
}

// Closing gives the pixels back at once: the budget no longer counts the
// slot, so its buffer must not go on holding the memory.
static void Empty_Slot(Job_Slot* slot) {
    slot->In_Use = 0;
    slot->Changed = 0;
    slot->Doc.Tools.clear();
    std::vector<uint8_t>().swap(slot->Doc.Image_Buffer);
    slot->Doc.Resolution = POINT{};
}

void Close_Job(int64_t i) {
    if (i < 0 || i >= JOB_SLOTS) return;
    if (Jobs[i].In_Use) Empty_Slot(&Jobs[i]);
    // The current slot must hold a document: step down to the nearest one in use.
    int64_t next = Nearest_Lower_Used(i);
    Job_Table.Current = next;
    if (next >= 0) Select_Job_Later(next);
    Mark_Job_List_Changed();
    Mark_Measurement_List_Changed();
}

void Close_All_Jobs() {
    if (Count_Open_Jobs() > 0 &&
        Message_Box("Message", "Close all document windows, are you sure?", MSG_YES_NO) == 1) {
        Discard_All_Jobs();
        return;
    }
    Mark_Job_List_Changed();
    Mark_Measurement_List_Changed();
}

void Discard_All_Jobs() {
    for (int64_t i = 1; i < JOB_SLOTS; i++) Empty_Slot(&Jobs[i]);
    Job_Table.Current = Jobs[0].In_Use ? 0 : -1;
    Mark_Job_List_Changed();
    Mark_Measurement_List_Changed();
}
