// The main window's title: "Trellum - v0.241202" alone while no frozen
// document is current, else followed by " - " and the document's file name
// ("part7.JQV"), or "Document N" for one that has no file yet, with "*"
// right after the name while the document has unsaved changes.
#pragma once

#include <string>

std::string Window_Title_Text();
// Sets the title when it changed, and brings the calibration caption and
// choice up to date (both follow the current document; called every 200 ms).
void Refresh_Document_Display();
