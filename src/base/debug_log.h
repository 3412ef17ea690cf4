// Debug log: one file per run under "Logs/" in the start directory, named
// "yymmddhhii - <computer name> - DebugLog.txt", UTF-8, CR LF line ends,
// buffered; written out with each once-a-second timing line, before the
// toolkit shuts down and when closed. Every part of the program writes whole
// lines through Log; when the file could not be created lines are dropped.
#pragma once

#include <string>

// Creates "Logs/" below `directory` and the log file (truncating one of the
// same name). Returns false when the file could not be created.
bool Log_Open(const std::string& directory);
void Log(const std::string& text);
// Writes the buffer out and closes the file; later Log calls are dropped.
void Log_Close();
// Path of the open log file, empty when none.
std::string Log_File_Path();
// Writes out the buffer without closing (the main loop once a second, so a
// crash loses at most the last second; tests read the file afterwards).
void Log_Flush();
