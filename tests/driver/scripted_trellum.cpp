// The real program with a scripted user, started by the end-to-end test.
// Once the main loop runs (its first timing line is written) it opens what
// the first argument names: "settings" the video settings window, "save"
// the error box of Save without a document, "close-all" the "Close all"
// question, "open" the open dialog, "export-image" the save dialog,
// "export-results" the results table's save dialog (with a box measured),
// "about" the about screen, "calibrate" the calibration input. When that
// is on the screen it writes the marker file named by the second argument
// (the prompt's window title, or the window's name). "measure" freezes the
// live picture with a line on it and writes "Measured"; "restore" answers
// Yes to the restore question at start-up and then writes the question,
// the number of frozen documents, and the tools and length of document 1
// ("text|documents|tools|length"). It starts without the splash; one shown
// at start all the same is the marker "Splash at start". A third
// argument ends the program as a user would: "exit" (File > Exit) or
// "close-box"; without it the test sends SIGTERM.
#include <cstdio>
#include <string>

#include "base/app_state.h"
#include "app/control_ids.h"
#include "app/help.h"
#include "app/main_loop.h"
#include "app/picture_keys.h"
#include "document/doc_model.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "measure/tools.h"
#include "platform/platform.h"
#include "platform/platform_wx_test.h"
#include "app/splash.h"

namespace {

struct Script {
    std::string What, Marker, Ending;
    int Step = 0;
    int64_t First_Timing = 0;
} S;

void Write_Marker(const std::string& text) {
    // Renamed into place, so the test never reads half a marker.
    std::string part = S.Marker + ".part";
    FILE* f = fopen(part.c_str(), "wb");
    if (!f) return;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    rename(part.c_str(), S.Marker.c_str());
}

// Answers the first prompt, the restore question, with Yes.
bool Answer_Restore(void*) {
    if (!Wx_Test_Prompt_Open()) return true;
    Wx_Test_Answer_Prompt(true);
    return false;
}

bool Watch_Prompt(void*) {
    if (!Wx_Test_Prompt_Open()) return true;
    Write_Marker(Wx_Test_Prompt_Title());
    return false;
}

void Post(int64_t kind, int64_t number) {
    Platform_Event e;
    e.Window = WINDOW_MAIN;
    e.Kind = kind;
    e.Control = number;
    e.Type = ETYPE_CHANGE;
    Post_Event(e);
}

void Script_Hook(void*) {
    switch (S.Step) {
        case 0:
            // The splash polls events, so this hook runs while it is up.
            if (Window_Exists(WINDOW_SPLASH)) {
                Write_Marker("Splash at start");
                S.Step = 3;
                return;
            }
            if (!Window_Exists(WINDOW_MAIN) || Main_Loop.Next_Timing_Log_Ms <= 0) return;
            S.First_Timing = Main_Loop.Next_Timing_Log_Ms;
            S.Step = 1;
            return;
        case 1:
            if (Main_Loop.Next_Timing_Log_Ms == S.First_Timing) return;
            S.Step = 2;
            if (S.What == "settings") {
                Post(EVENT_CONTROL, CTL_VIDEO_SETTINGS_BUTTON);
                return;
            }
            if (S.What == "about") {
                Post(EVENT_MENU, MENU_ABOUT);
                return;
            }
            if (S.What == "shortcuts") {
                Post(EVENT_MENU, MENU_KEYBOARD_SHORTCUTS);
                return;
            }
            if (S.What == "measure") {
                // On the live picture: freezes it into document 1 first.
                Add_Tool(TOOL_LINE, 100, 100, 300, 100, Manual_Tool_Colour);
                Write_Marker(Jobs[1].In_Use && Jobs[1].Changed ? "Measured" : "not measured");
                S.Step = 3;
                return;
            }
            if (S.What == "restore") {
                std::string question = Prompt_History().empty() ? "" : Prompt_History().back().Text;
                std::string length = Jobs[1].Doc.Tools.empty() ? "" : std::to_string((int)Jobs[1].Doc.Tools[0].Distance);
                Write_Marker(question + "|" + std::to_string(Count_Open_Jobs()) + "|" +
                             std::to_string(Jobs[1].Doc.Tools.size()) + "|" + length);
                S.Step = 3;
                return;
            }
            if (S.What == "calibrate") {
                // A line on a frozen document, chosen in the list.
                Add_Tool(TOOL_LINE, 100, 100, 300, 100, Manual_Tool_Colour);
                Update_Windows();  // the frozen document's panels, before a row is chosen in its list
                Select_Tool(0);
                Rebuild_Measurement_List();
                Set_State(CTL_MEASURE_LIST, 0);
                Post(EVENT_MENU, MENU_CALIBRATE);
                return;
            }
            Wx_Test_Every(50, Watch_Prompt, nullptr);
            if (S.What == "save") Post(EVENT_MENU, MENU_SAVE);
            if (S.What == "close-all") {
                Duplicate_Job(0);
                Post(EVENT_MENU, MENU_NEW);
            }
            if (S.What == "open") Post(EVENT_MENU, MENU_OPEN);
            if (S.What == "export-image") Post(EVENT_MENU, MENU_EXPORT_IMAGE);
            if (S.What == "export-results") {
                Add_Tool(TOOL_BOX, 10, 10, 60, 40, Manual_Tool_Colour);  // freezes a document with it
                Post(EVENT_MENU, MENU_EXPORT_RESULTS);
            }
            return;
        case 2: {
            // These windows run inside the program's own loops, which poll and so call this hook.
            int64_t window = S.What == "settings"    ? WINDOW_VIDEO_SETTINGS
                             : S.What == "about"     ? WINDOW_SPLASH
                             : S.What == "calibrate" ? WINDOW_CALIBRATION
                             : S.What == "shortcuts" ? WINDOW_KEYBOARD_SHORTCUTS
                                                     : WINDOW_NONE;
            if (window == WINDOW_NONE || !Window_Exists(window)) return;
            if (window == WINDOW_KEYBOARD_SHORTCUTS) {
                // Complete when the real list holds every row of the tables.
                size_t rows = Keyboard_Shortcut_Rows().size();
                Write_Marker(Row_Count(CTL_KEYS_LIST) == (int64_t)rows && rows > PICTURE_KEY_COUNT
                                 ? "Keyboard shortcuts"
                                 : "Keyboard shortcuts with " + std::to_string(Row_Count(CTL_KEYS_LIST)) +
                                       " rows of " + std::to_string(rows));
                S.Step = 3;
                return;
            }
            Write_Marker(window == WINDOW_VIDEO_SETTINGS ? "Video Settings"
                         : window == WINDOW_SPLASH       ? "About"
                                                         : "Calibration");
            S.Step = 3;
            if (S.Ending == "exit") Post(EVENT_MENU, MENU_EXIT);
            if (S.Ending == "close-box") Wx_Test_Close_Box(WINDOW_MAIN);
            return;
        }
        default: return;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: trellum_scripted settings|save|close-all|open|export-image|export-results|about|"
                        "calibrate|shortcuts|measure|restore MARKER "
                        "[exit|close-box]\n");
        return 2;
    }
    S.What = argv[1];
    S.Marker = argv[2];
    if (argc > 3) S.Ending = argv[3];
    // Started a dozen times by the tests: without the start-up splash, as
    // with --no-splash (the About box still shows it).
    Splash_At_Start = false;
    Set_Idle_Hook(Script_Hook, nullptr);
    if (S.What == "restore") Wx_Test_Every(50, Answer_Restore, nullptr);
    return Run_Program();
}
