#include "base/debug_log.h"

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace {
FILE* Log_File = nullptr;
std::string Log_Path;
// Lines collect here and go to the file when the buffer fills, when the
// main loop flushes (once a second) and at close.
std::string Log_Buffer;
const size_t LOG_BUFFER_SIZE = 64 * 1024;

void Write_Buffer() {
    if (Log_File && !Log_Buffer.empty()) {
        fwrite(Log_Buffer.data(), 1, Log_Buffer.size(), Log_File);  // a write error is ignored
        fflush(Log_File);
    }
    Log_Buffer.clear();
}
}  // namespace

bool Log_Open(const std::string& directory) {
    Log_Close();
    std::string folder = directory;
    if (!folder.empty() && folder.back() != '/') folder += "/";
    folder += "Logs/";
    Create_Folder(folder);
    std::string name = Format_Local_Time(Local_Time_Seconds(), "%yy%mm%dd%hh%ii") + " - " + Computer_Name() +
                       " - DebugLog.txt";
    Log_File = fopen((folder + name).c_str(), "wb");
    if (!Log_File) return false;
    Log_Path = folder + name;
    Log_Buffer.reserve(LOG_BUFFER_SIZE);
    return true;
}

void Log(const std::string& text) {
    if (!Log_File) return;
    Log_Buffer += text;
    Log_Buffer += "\r\n";
    if (Log_Buffer.size() >= LOG_BUFFER_SIZE) Write_Buffer();
}

void Log_Flush() { Write_Buffer(); }

void Log_Close() {
    if (!Log_File) return;
    Write_Buffer();
    fclose(Log_File);
    Log_File = nullptr;
    Log_Path.clear();
}

std::string Log_File_Path() { return Log_Path; }
