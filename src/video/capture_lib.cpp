#include "video/capture_lib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

#include "base/debug_log.h"
#include "platform/platform.h"
#include "video/capture_thread.h"

const char* const Capture_Library_File = "libtrellumcapture.so";

namespace {

// The loaded (or installed) component.
struct Capture_Library_State {
    Capture_Library Table;
    bool Loaded = false;
    // Held around every call into the component and around loading and
    // releasing it, so the capture thread never calls into a released library.
    std::mutex Table_Lock;
};
Capture_Library_State Library;

std::string Program_Folder() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return "";
    path[n] = 0;
    std::string p(path);
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? "" : p.substr(0, slash + 1);
}

template <typename F>
bool Fetch(void* handle, const char* name, F* slot) {
    *slot = reinterpret_cast<F>(dlsym(handle, name));
    return *slot != nullptr;
}

void Release_Locked() {
    if (Library.Table.Handle) dlclose(Library.Table.Handle);
    Library.Table = Capture_Library();
    Library.Loaded = false;
}

}  // namespace

Capture_Open_Status Open_Capture_Library() {
    std::unique_lock<std::mutex> lock(Library.Table_Lock);
    if (Library.Loaded) return CAPTURE_OPEN_OK;

    void* handle = dlopen((Program_Folder() + Capture_Library_File).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) handle = dlopen(Capture_Library_File, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        lock.unlock();
        Log("Unable to open escapi.dll");
        Message_Box("Error", "Unable to open escapi.dll\nCurrent Directory: " + Current_Directory(), MSG_ICON_ERROR);
        return CAPTURE_OPEN_NO_LIBRARY;
    }

    Capture_Library t;
    t.Handle = handle;
    bool all = true;
    all &= Fetch(handle, "initCapture", &t.initCapture);
    all &= Fetch(handle, "deinitCapture", &t.deinitCapture);
    all &= Fetch(handle, "doCapture", &t.doCapture);
    all &= Fetch(handle, "isCaptureDone", &t.isCaptureDone);
    all &= Fetch(handle, "countCaptureDevices", &t.countCaptureDevices);
    all &= Fetch(handle, "getCaptureDeviceName", &t.getCaptureDeviceName);
    all &= Fetch(handle, "getCapturePropertyValue", &t.getCapturePropertyValue);
    all &= Fetch(handle, "getCapturePropertyAuto", &t.getCapturePropertyAuto);
    all &= Fetch(handle, "setCaptureProperty", &t.setCaptureProperty);
    all &= Fetch(handle, "ESCAPIDLLVersion", &t.ESCAPIDLLVersion);
    all &= Fetch(handle, "initCOM", &t.initCOM);
    if (!all) {
        dlclose(handle);
        lock.unlock();
        Message_Box("Error", "Failed to get one or more function addresses in escapi.dll", MSG_ICON_ERROR);
        return CAPTURE_OPEN_MISSING_ENTRY;
    }
    int version = t.ESCAPIDLLVersion();
    if (version < CAPTURE_MIN_VERSION) {
        dlclose(handle);
        lock.unlock();
        Message_Box("Error", "ESCAPI version too low: " + std::to_string(version), MSG_ICON_ERROR);
        return CAPTURE_OPEN_OLD_VERSION;
    }
    t.initCOM();
    Library.Table = t;
    Library.Loaded = true;
    return CAPTURE_OPEN_OK;
}

bool Close_Capture_Library() {
    if (Capture_Component_In_Use()) return false;
    // The lock is held through a whole open or close on the capture thread:
    // the main thread does not wait for it, the component just stays loaded.
    std::unique_lock<std::mutex> lock(Library.Table_Lock, std::try_to_lock);
    if (!lock.owns_lock() || Capture_Component_In_Use()) return false;
    Release_Locked();
    return true;
}

bool Capture_Library_Loaded() {
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    return Library.Loaded;
}

void Install_Capture_Library(const Capture_Library& table) {
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (Library.Table.Handle) dlclose(Library.Table.Handle);
    Library.Table = table;
    Library.Table.Handle = nullptr;
    Library.Loaded = true;
}

Capture_Library Capture_Library_Table() {
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    return Library.Table;
}

// Device numbers outside the component's unsigned range are never passed on
// (checked before the lock: no device, no wait for the component).
static bool Valid_Device(int64_t device) { return device >= 0 && device <= 0xFFFFFFFFLL; }

void Capture_Do(int64_t device) {
    if (!Valid_Device(device)) return;
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (Library.Table.doCapture) Library.Table.doCapture((unsigned)device);
}

int Capture_Is_Done(int64_t device) {
    if (!Valid_Device(device)) return 0;
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (Library.Table.isCaptureDone) return Library.Table.isCaptureDone((unsigned)device);
    return 0;
}

void Capture_Deinit(int64_t device) {
    if (!Valid_Device(device)) return;
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (Library.Table.deinitCapture) Library.Table.deinitCapture((unsigned)device);
}

float Capture_Get_Property_Value(int64_t device, int property) {
    if (!Valid_Device(device)) return -1.0f;
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (Library.Table.getCapturePropertyValue)
        return Library.Table.getCapturePropertyValue((unsigned)device, property);
    return -1.0f;
}

int Capture_Get_Property_Auto(int64_t device, int property) {
    if (!Valid_Device(device)) return 0;
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (Library.Table.getCapturePropertyAuto)
        return Library.Table.getCapturePropertyAuto((unsigned)device, property);
    return 0;
}

void Capture_Set_Property(int64_t device, int property, float value, int automatic) {
    if (!Valid_Device(device)) return;
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (Library.Table.setCaptureProperty)
        Library.Table.setCaptureProperty((unsigned)device, property, value, automatic);
}

int Capture_Count_Devices() {
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    return Library.Table.countCaptureDevices ? Library.Table.countCaptureDevices() : 0;
}

std::string Capture_Device_Name(int64_t device) {
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (!Library.Table.getCaptureDeviceName || !Valid_Device(device)) return "";
    char name[256] = {0};
    Library.Table.getCaptureDeviceName((unsigned)device, name, (int)sizeof(name));
    name[sizeof(name) - 1] = 0;
    return name;
}

bool Capture_Init(int64_t device, Capture_Params* params) {
    std::lock_guard<std::mutex> lock(Library.Table_Lock);
    if (!Library.Table.initCapture || !Valid_Device(device) || !params) return false;
    return Library.Table.initCapture((unsigned)device, params) != 0;
}
