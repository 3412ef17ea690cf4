// Capture-library interface: the outside camera component, loaded at run time
// and called by name through a table of entry points. Any entry point that was
// not fetched stays null and is never called; the Capture_* wrappers below
// return a neutral value instead. Tests install a fake component by filling a
// table with their own functions (Install_Capture_Library).
//
// Property numbers 0..17 follow the property order of Video_Settings
// (Brightness = 0 .. Prop_Max = 17); property values are 0.0..1.0.
#pragma once

#include <cstdint>
#include <string>

// File name searched by the dynamic loader (program folder first, then the
// loader's usual paths).
extern const char* const Capture_Library_File;
// Lowest ESCAPIDLLVersion the program works with.
const int32_t CAPTURE_MIN_VERSION = 0x200;

// Frame target handed to initCapture: the component writes every requested
// frame into Buffer, Width x Height pixels of 4 bytes (blue, green, red, alpha).
struct Capture_Params {
    int32_t* Buffer = nullptr;
    int32_t Width = 0;
    int32_t Height = 0;
    // Frames keep the size the source negotiated: before each frame the
    // component calls Next_Frame with its size (on the capture thread, under
    // the capture lock, while the frame is requested: nobody reads the
    // target then), which points Buffer at a buffer of that size and sets
    // Width and Height, or returns false: that frame is then dropped. Without
    // it every frame is scaled to Width x Height.
    bool (*Next_Frame)(Capture_Params* target, int32_t width, int32_t height) = nullptr;
};

// The call table. Device numbers are those of countCaptureDevices (0..n-1).
struct Capture_Library {
    void* Handle = nullptr;  // dlopen handle; null for an installed fake
    int (*initCapture)(unsigned int device, Capture_Params* params) = nullptr;  // 1 = opened
    void (*deinitCapture)(unsigned int device) = nullptr;
    void (*doCapture)(unsigned int device) = nullptr;       // starts one frame into the target
    int (*isCaptureDone)(unsigned int device) = nullptr;    // non-zero once that frame is complete
    int (*countCaptureDevices)() = nullptr;
    void (*getCaptureDeviceName)(unsigned int device, char* name, int name_size) = nullptr;
    float (*getCapturePropertyValue)(unsigned int device, int property) = nullptr;  // 0..1, -1 unsupported
    int (*getCapturePropertyAuto)(unsigned int device, int property) = nullptr;     // 1 = automatic
    int (*setCaptureProperty)(unsigned int device, int property, float value, int automatic) = nullptr;
    int (*ESCAPIDLLVersion)() = nullptr;
    void (*initCOM)() = nullptr;
};

// ---- loading
enum Capture_Open_Status {
    CAPTURE_OPEN_OK = 0,
    CAPTURE_OPEN_NO_LIBRARY = 1,      // the file could not be loaded
    CAPTURE_OPEN_MISSING_ENTRY = 2,   // one or more entry points are missing
    CAPTURE_OPEN_OLD_VERSION = 3,     // ESCAPIDLLVersion below CAPTURE_MIN_VERSION
};
// Loads the component (unless one is loaded or installed already), fetches
// every entry point by name, checks the version and calls initCOM. Failures
// are shown in an "Error" message box and the component is released again.
// Main thread only. Nothing calls this at start-up; a camera command would.
Capture_Open_Status Open_Capture_Library();
// Releases the component. Refused (false) while a device is open or being
// opened or closed, since the capture thread may still be calling into it;
// true when nothing is loaded afterwards.
bool Close_Capture_Library();
bool Capture_Library_Loaded();
// Replaces the table by a test component (Handle is ignored and not closed).
void Install_Capture_Library(const Capture_Library& table);
// A copy of the table as it is now.
Capture_Library Capture_Library_Table();

// ---- calls, safe from both threads while the component may be released
void Capture_Do(int64_t device);
int Capture_Is_Done(int64_t device);  // 0 when not fetched; below 0: the frame will never come
void Capture_Deinit(int64_t device);
float Capture_Get_Property_Value(int64_t device, int property);  // -1 when not fetched
int Capture_Get_Property_Auto(int64_t device, int property);     // 0 when not fetched
void Capture_Set_Property(int64_t device, int property, float value, int automatic);
int Capture_Count_Devices();                                     // 0 when not fetched
std::string Capture_Device_Name(int64_t device);                 // empty when not fetched
bool Capture_Init(int64_t device, Capture_Params* params);       // false when not fetched
