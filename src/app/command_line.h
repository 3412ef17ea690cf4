// The program's command line: options for camera mode, the camera list,
// the batch exports and the documents to open. Parsing is separate from
// running so that both can be tested on their own.
#pragma once

#include <string>
#include <vector>

enum Command_Action {
    ACTION_RUN_WINDOW,       // the normal program (with --camera and files, if given)
    ACTION_LIST_CAMERAS,     // --list-cameras
    ACTION_EXPORT_RESULTS,   // --export-results OUT.csv|- FILE.JQV...
    ACTION_EXPORT_PICTURE,   // --export-picture OUT_FOLDER [--format png|tiff] [--overwrite] FILE.JQV...
    ACTION_SUMMARY,          // --summary FILE.JQV...
    ACTION_SHOW_HELP,        // --help / -h
    ACTION_USAGE_ERROR,      // anything else: usage on stderr, exit 2
};

struct Command_Line {
    Command_Action Action = ACTION_RUN_WINDOW;
    std::string Camera;              // --camera SOURCE
    std::string Resolution;          // --resolution WxH of that camera ("1920x1080"; empty: its own)
    std::string Output;              // the file or folder of --export-results / --export-picture
    int Format = 0;                  // --format of --export-picture: a Picture_Export_Format
    bool Overwrite = false;          // --overwrite: --export-picture may replace files it did not write
    bool No_Splash = false;          // --no-splash: the window program starts without the splash
    std::vector<std::string> Files;  // documents, in the order given
    std::string Error;               // why the line was refused (ACTION_USAGE_ERROR)
};

// Exit codes of the batch commands.
const int EXIT_BATCH_OK = 0;
const int EXIT_BATCH_FILE_FAILED = 1;  // at least one file could not be read or written
const int EXIT_USAGE = 2;

// Parses the arguments after the program name.
Command_Line Parse_Command_Line(const std::vector<std::string>& args);
// The usage text (several lines, ending in a line feed).
std::string Usage_Text();
// Hands what the window program takes from `c` to its start-up (the globals
// below and the start-up splash).
void Apply_Start_Options(const Command_Line& c);
// Runs what the command line asks for; returns the process exit code.
int Run_Command_Line(int argc, char** argv);

// What the window program takes from the command line at start-up: the
// camera source to start with (empty: none given) with its resolution, and
// the documents to open.
extern std::string Start_Camera_Source;
extern std::string Start_Camera_Resolution;
extern std::vector<std::string> Start_Documents;
