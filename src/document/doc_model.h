// Document model: the records of a document ("job"), the table of nine job
// slots (slot 0 the live document, 1..8 frozen documents), the current slot,
// and the operations that count, duplicate and close documents.
//
// Pixel buffers hold Resolution.x * Resolution.y pixels of 4 bytes in the
// order blue, green, red, alpha (alpha 255), rows from the top, no padding.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

const int64_t JOB_SLOTS = 9;
const int64_t MAX_FROZEN_JOBS = 8;
// Most tools a document file may hold; a file with more is refused.
const size_t MAX_DOCUMENT_TOOLS = 100000;

// Tool kinds (Tool::Type).
enum Tool_Type : int64_t {
    TOOL_LINE = 0,            // "M"
    TOOL_WIDTH = 1,           // "W"
    TOOL_HEIGHT = 2,          // "H"
    TOOL_WIDTH_HEIGHT = 3,    // "WH", nothing creates it
    TOOL_BOX = 4,             // "B"
    TOOL_CIRCLE = 5,          // "C"
    TOOL_BLOB = 6,            // "L"
    TOOL_THRESHOLD_NOTE = 7,  // no letter
};

struct POINT {
    int32_t x = 0;  // width in pixels
    int32_t y = 0;  // height in pixels
};

struct ProcessMode {
    std::string Name;              // unused, empty
    uint8_t Mode = 0;              // analysis mode 0..5
    uint8_t Threshold_Cyan = 0;    // 1..255
    uint8_t Threshold_Magenta = 0;
    uint8_t Threshold_Yellow = 0;
    uint8_t Threshold_Black = 0;
    uint8_t Use_HSVRange = 0;      // unused, 0
    // 1 = "Bright objects": the mode's hit rule is inverted (a hit is a pixel
    // whose colour value is below the threshold). Files without it read 0.
    uint8_t Bright = 0;
};

const int VIDEO_PROPERTY_COUNT = 18;

// Capture properties, each 0.0..1.0, in the capture library's property order;
// Auto_ = 1.0 when the device controls the property.
struct Video_Settings {
    std::string Name;        // device the properties were read from
    int64_t LoadedImage = 0; // unused
    std::string Device;      // device a loaded settings file was made for
    float Brightness = 0, Contrast = 0, Hue = 0, Saturation = 0, Sharpness = 0, Gamma = 0,
          ColorEnable = 0, WhiteBalance = 0, BacklightCompensation = 0, Gain = 0, Pan = 0, Tilt = 0,
          Roll = 0, Zoom = 0, Exposure = 0, Iris = 0, Focus = 0, Prop_Max = 0;
    float Auto_Brightness = 0, Auto_Contrast = 0, Auto_Hue = 0, Auto_Saturation = 0, Auto_Sharpness = 0,
          Auto_Gamma = 0, Auto_ColorEnable = 0, Auto_WhiteBalance = 0, Auto_BacklightCompensation = 0,
          Auto_Gain = 0, Auto_Pan = 0, Auto_Tilt = 0, Auto_Roll = 0, Auto_Zoom = 0, Auto_Exposure = 0,
          Auto_Iris = 0, Auto_Focus = 0, Auto_Prop_Max = 0;
};
// Property i (0..17) of a settings record, and its automatic flag.
float* Video_Property(Video_Settings* settings, int i);
float* Video_Property_Auto(Video_Settings* settings, int i);
// Field names of the properties in order ("Brightness" .. "Prop_Max").
extern const char* const Video_Property_Names[VIDEO_PROPERTY_COUNT];

// Latest automatic measurement and the manual measurement in progress;
// image pixels, origin top left, y downwards.
struct sMeasurement {
    float hfx = 0, hfy = 0;  // start of the horizontal (width) line
    float htx = 0, hty = 0;  // end of the horizontal line
    float vfx = 0, vfy = 0;  // start of the vertical (height) line
    float vtx = 0, vty = 0;  // end of the vertical line
    float cx = 0, cy = 0;    // centre of the measured shape
    float w = 0;             // pixels
    float h = 0;             // pixels
    float Area = 0;          // square pixels
    float Radius = 0;        // pixels
    float Angle = 0;         // degrees, manual line being drawn
    float Distance = 0;      // pixels, manual line being drawn
    float Hits = 0;          // percent of pixels passing the threshold
    int64_t Hit_Pixels = 0;
    uint8_t Object = 0;      // unused
    float X_Start = 0, Y_Start = 0;
    float X_End = 0, Y_End = 0;
    float Scale_Start = 0;   // stage position (image pixels) at the start of a manual measurement
    float Scale_End = 0;     // stage position at the last click
};

struct Tool {
    int64_t Type = 0;
    std::string Text;            // unused, empty
    float X_Start = 0, Y_Start = 0;  // first point (circle: centre)
    float X_End = 0, Y_End = 0;      // second point (circle: X_End radius, Y_End 0)
    float CentreX = 0, CentreY = 0;  // circle only
    float Radius = 0;                // circle only
    float Angle = 0;                 // degrees 0..<360, from the second point to the first
    float Distance = 0;              // pixels; threshold note: the percentage
    float Scale_Start = 0, Scale_End = 0;
    int32_t Colour = 0;              // red + green*256 + blue*65536 + alpha*16777216
    uint8_t Selected = 0;
    // Blob (kind 6) only: the blob's pixel count, written to the file as the
    // tool's "Area" member; 0 = not known (a file from before it was kept),
    // and the area then falls back to the bounding box.
    int64_t Area = 0;
};

struct Doc_Info {
    int64_t Type = 0;       // not interpreted, kept
    int64_t Version = 0;    // not interpreted, kept
    POINT Resolution;
    float PPMM = 0;         // image pixels per millimetre
    float Threshold_Percentage = 0;  // unused
    ProcessMode Processing;
    ::Video_Settings Video_Settings;  // carried, never filled
    int64_t Measure_Unit = 0;  // 0 microns, 1 thou, 2 mm, 3 inches, 4 pixels
    int64_t TimeStamp = 0;     // seconds since 1970 in local time; 0 for the live document
    std::string Comment;       // unused
    std::string Operator;      // unused
    float ScaleValue = 0;      // Stage_Position - Stage_Zero at the snapshot, image pixels
    sMeasurement Measure;
    std::vector<Tool> Tools;   // creation order
    int64_t Tool_Selected = 0; // unused
    std::vector<uint8_t> Image_Buffer;  // the slot's pixel buffer (empty = none)
};

// A flag byte that the capture thread sets while the main thread reads and
// clears it: atomic, yet copied with its slot like a plain byte.
struct Shared_Flag {
    std::atomic<uint8_t> Value{0};
    Shared_Flag() = default;
    Shared_Flag(uint8_t v) : Value(v) {}
    Shared_Flag(const Shared_Flag& o) : Value(o.Value.load()) {}
    Shared_Flag& operator=(const Shared_Flag& o) {
        Value = o.Value.load();
        return *this;
    }
    Shared_Flag& operator=(uint8_t v) {
        Value = v;
        return *this;
    }
    operator uint8_t() const { return Value.load(); }
};

struct Job_Slot {
    int64_t List_View = 0;      // control number of the slot's thumbnail view
    std::string File_Name;      // document file it was opened from or saved to
    std::string Picture_File;   // picture file it was imported from ("" for other documents)
    Shared_Flag Image_Changed;  // 1 = pixels changed since last shown (the capture thread sets it)
    uint8_t In_Use = 0;
    // 1 = the document changed since it was made, opened or saved (a snapshot
    // of the live picture starts changed: its picture exists nowhere else).
    uint8_t Changed = 0;
    // Document_Change_Serial at the slot's last change: tells which document
    // moved on since its recovery copy was taken.
    uint64_t Change_Serial = 0;
    Doc_Info Doc;
};

// ---- what changed, for the windows above this module. Document, video and
// measure code marks it; the main loop takes the marks and brings the windows
// up to date once per pass (Update_Windows): nothing here calls upward.
struct Window_Changes {
    bool Job_List = false;          // the thumbnail column
    bool Measurement_List = false;
    bool Job_Panels = false;        // the current slot's panels: mode, threshold, unit, lists
};
void Mark_Job_List_Changed();
void Mark_Measurement_List_Changed();
// Makes `slot` current now; its panels follow at the next window update.
void Select_Job_Later(int64_t slot);
// The marks made since the last call, cleared.
Window_Changes Take_Window_Changes();

// The slot table. doc_model.cpp owns it and alone decides which slot is
// current and which slots are in use; the modules that work on a document
// (its tools, pixels, file names) edit the slot's contents through `Jobs`.
struct Job_Table_State {
    Job_Slot Slots[JOB_SLOTS];
    int64_t Current = -1;  // -1 none, 0 live, 1..8 frozen
    // Counts every change of a frozen document (recovery copies are rewritten
    // only when it moved on).
    uint64_t Change_Serial = 0;
    Window_Changes Changes;  // what the windows have not caught up with yet
};
const Job_Table_State& Job_Table_View();
extern Job_Slot (&Jobs)[JOB_SLOTS];          // Job_Table_View().Slots, writable contents
extern const int64_t& Current_Job;           // Job_Table_View().Current
extern const uint64_t& Document_Change_Serial;  // Job_Table_View().Change_Serial

// Makes `slot` (-1 none, 0 live, 1..8 frozen) the current document, nothing
// else: the panels follow through Select_Job or the next window update.
void Make_Current_Job(int64_t slot);
// The live document was current: the lowest frozen one is now, or none.
void Leave_Live_Job();

// The current document's hit mask, written by the threshold pass and read by
// the snapping and the automatic measurements.
extern std::vector<uint8_t> Hit_Mask;  // one byte per pixel, rows from the top, 1 = hit
extern int32_t Hit_Mask_Width, Hit_Mask_Height;

// ---- slot table
// Empties every slot (start-up state), with no window changes pending;
// thumbnails get List_View = slot index.
void Reset_Jobs();
int64_t Count_Open_Jobs();  // frozen slots in use
int64_t First_Free_Job();   // lowest free slot 1..8, or -1
int64_t First_Used_Job();   // lowest used slot 1..8, or -1
// Gives the slot a zero-filled buffer of w x h pixels and sets Resolution.
void Allocate_Image(Job_Slot* slot, int32_t w, int32_t h);
// The pixels of `doc` there are to work on: w x h, or fewer when its buffer is
// shorter than its Resolution (a failed allocation).
int64_t Document_Pixel_Count(const Doc_Info& doc);
// The current slot, or nullptr when Current_Job is outside 0..8.
Job_Slot* Current_Slot();
const char* Tool_Letter(int64_t type);

// ---- pixel budget
// All documents' pixel buffers together stay within this many bytes (2 GiB):
// a picture that would pass it is refused when it is opened, imported or
// taken as a snapshot.
extern uint64_t Pixel_Budget_Bytes;
uint64_t Document_Pixel_Bytes();  // the buffers of the slots in use, live one included
uint64_t Pixel_Budget_Left();     // what one more picture may take, bytes
// The refusals' texts, naming the budget: of a file and of a snapshot.
std::string Pixel_Budget_Message();
std::string Snapshot_Budget_Message();

// ---- unsaved changes
// Marks frozen slot `slot` (1..8, in use) as changed; other slots are ignored.
void Mark_Document_Changed(int64_t slot);
void Mark_Document_Saved(int64_t slot);
// Frozen slots in use with unsaved changes, lowest first.
std::vector<int64_t> Unsaved_Jobs();

// ---- document operations
// Frozen copy of slot `source`, made current. Returns 1 for a bad index,
// 8 when all eight frozen slots are in use (silently), 2 when the copy's
// pixels would pass the pixel budget (refused with an error message, nothing
// changed), otherwise 0.
int64_t Duplicate_Job(int64_t source);
// Closes slot i, giving back its pixel buffer; the current document becomes the nearest lower slot in use
// (the live document when video runs), or none.
void Close_Job(int64_t i);
// Asks "Close all document windows, are you sure?" and closes slots 1..8 on Yes.
void Close_All_Jobs();
// Closes slots 1..8 without asking (the unsaved-changes question was
// answered), giving back their pixel buffers.
void Discard_All_Jobs();
