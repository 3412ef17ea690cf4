#include "app/command_line.h"

#include <cstdio>

#include "app/batch.h"
#include "app/main_loop.h"
#include "app/picture_export.h"  // the formats of --format
#include "app/splash.h"
#include "video/camera_list.h"

std::string Start_Camera_Source;
std::string Start_Camera_Resolution;
std::vector<std::string> Start_Documents;

namespace {

Command_Line Refuse(const std::string& why) {
    Command_Line c;
    c.Action = ACTION_USAGE_ERROR;
    c.Error = why;
    return c;
}

bool Set_Action(Command_Line* c, Command_Action action) {
    if (c->Action != ACTION_RUN_WINDOW) return false;
    c->Action = action;
    return true;
}

}  // namespace

Command_Line Parse_Command_Line(const std::vector<std::string>& args) {
    Command_Line c;
    bool options_done = false, format_given = false;
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        if (options_done || a.empty() || a[0] != '-' || a == "-") {
            c.Files.push_back(a);
            continue;
        }
        if (a == "--") {
            options_done = true;
        } else if (a == "--help" || a == "-h") {
            if (!Set_Action(&c, ACTION_SHOW_HELP)) return Refuse(a + " cannot be combined with another command");
        } else if (a == "--camera") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return Refuse("--camera needs a SOURCE");
            if (!c.Camera.empty()) return Refuse("--camera given twice");
            c.Camera = args[++i];
        } else if (a == "--resolution") {
            if (i + 1 >= args.size()) return Refuse("--resolution needs WIDTHxHEIGHT, such as 1920x1080");
            if (!c.Resolution.empty()) return Refuse("--resolution given twice");
            const std::string& r = args[++i];
            int32_t w = 0, h = 0;
            if (!Parse_Resolution(r, &w, &h))
                return Refuse("--resolution takes WIDTHxHEIGHT (1 to " + std::to_string(CAMERA_MAX_SIDE) +
                              " each), such as 1920x1080, not \"" + r + "\"");
            c.Resolution = std::to_string(w) + "x" + std::to_string(h);
        } else if (a == "--list-cameras") {
            if (!Set_Action(&c, ACTION_LIST_CAMERAS)) return Refuse(a + " cannot be combined with another command");
        } else if (a == "--export-results" || a == "--export-picture") {
            if (!Set_Action(&c, a == "--export-results" ? ACTION_EXPORT_RESULTS : ACTION_EXPORT_PICTURE))
                return Refuse(a + " cannot be combined with another command");
            if (i + 1 >= args.size() || args[i + 1].empty()) return Refuse(a + " needs an output name");
            c.Output = args[++i];
        } else if (a == "--format") {
            if (format_given) return Refuse("--format given twice");
            if (i + 1 >= args.size()) return Refuse("--format needs png or tiff");
            const std::string& f = args[++i];
            if (f == "png") {
                c.Format = PICTURE_EXPORT_PNG;
            } else if (f == "tiff" || f == "tif") {
                c.Format = PICTURE_EXPORT_TIFF;
            } else {
                return Refuse("--format takes png or tiff, not " + f);
            }
            format_given = true;
        } else if (a == "--no-splash") {
            // Taken by every command, so that a script may always pass it.
            c.No_Splash = true;
        } else if (a == "--overwrite") {
            c.Overwrite = true;
        } else if (a == "--summary") {
            if (!Set_Action(&c, ACTION_SUMMARY)) return Refuse(a + " cannot be combined with another command");
        } else {
            return Refuse("unknown option " + a);
        }
    }
    if (!c.Resolution.empty() && c.Camera.empty()) return Refuse("--resolution goes with --camera only");
    if (c.Action != ACTION_EXPORT_PICTURE && (format_given || c.Overwrite))
        return Refuse(std::string(format_given ? "--format" : "--overwrite") + " goes with --export-picture only");
    switch (c.Action) {
        case ACTION_EXPORT_RESULTS:
        case ACTION_EXPORT_PICTURE:
        case ACTION_SUMMARY:
            if (c.Files.empty()) return Refuse("no document files given");
            if (!c.Camera.empty()) return Refuse("--camera does not go with a batch command");
            if (c.Action == ACTION_EXPORT_PICTURE && c.Output == "-")
                return Refuse("--export-picture needs a folder, not the standard output");
            break;
        case ACTION_LIST_CAMERAS:
        case ACTION_SHOW_HELP:
            if (!c.Files.empty() || !c.Camera.empty())
                return Refuse("this command takes no files and no --camera");
            break;
        default: break;
    }
    return c;
}

std::string Usage_Text() {
    return "usage: trellum [--no-splash] [--camera SOURCE [--resolution WxH]] [FILE.JQV...]\n"
           "       trellum --list-cameras\n"
           "       trellum --export-results OUT.csv|- FILE.JQV...\n"
           "       trellum --export-picture OUT_FOLDER [--format png|tiff] [--overwrite] FILE.JQV...\n"
           "       trellum --summary FILE.JQV...\n"
           "SOURCE is a device node (/dev/video0), a camera name as listed, or gst: and a GStreamer source.\n"
           "--resolution asks the camera for one of its modes (as --list-cameras lists them, such as\n"
           "1920x1080); without it the camera's own. The live picture has the size the camera gives.\n"
           "OUT.csv may be - for the standard output. An output that is one of the input files is refused.\n"
           "--export-picture writes OUT_FOLDER/NAME.png (NAME.tif with --format tiff) and replaces no\n"
           "file it did not write in this run unless --overwrite is given.\n"
           "--no-splash starts the window without the splash screen.\n";
}

void Apply_Start_Options(const Command_Line& c) {
    Start_Camera_Source = c.Camera;
    Start_Camera_Resolution = c.Resolution;
    Start_Documents = c.Files;
    Splash_At_Start = !c.No_Splash;
}

int Run_Command_Line(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) args.push_back(argv[i]);
    Command_Line c = Parse_Command_Line(args);
    switch (c.Action) {
        case ACTION_USAGE_ERROR:
            fprintf(stderr, "trellum: %s\n%s", c.Error.c_str(), Usage_Text().c_str());
            return EXIT_USAGE;
        case ACTION_SHOW_HELP: fputs(Usage_Text().c_str(), stdout); return 0;
        case ACTION_LIST_CAMERAS: return List_Cameras_Command();
        case ACTION_EXPORT_RESULTS: return Batch_Export_Results(c.Output, c.Files);
        case ACTION_SUMMARY: return Batch_Summary(c.Files);
        case ACTION_EXPORT_PICTURE: return Batch_Export_Pictures(c.Output, c.Files, c.Format, c.Overwrite);
        case ACTION_RUN_WINDOW: break;
    }
    Apply_Start_Options(c);
    return Run_Program();
}
