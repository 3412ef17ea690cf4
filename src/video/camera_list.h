// The cameras this machine offers, for the command line and the source dialog:
// every "Video/Source" device of GStreamer's device monitor with the
// resolutions its caps offer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Camera_Info {
    std::string Name;     // the monitor's display name (what the user chooses by)
    std::string Node;     // V4L2 device node (/dev/video0); empty when there is none
    std::string Source;   // GStreamer description of the source element(s)
    std::vector<std::string> Resolutions;  // "1280x720", largest first
    void* Device = nullptr;  // GstDevice reference, for a device reached without a node
};

// Initialises GStreamer once (false, with the reason, when it cannot start).
// Programs that never use a camera never call it.
bool Gstreamer_Ready(std::string* error = nullptr);

// Devices of the monitor (each node once), then the test cameras.
std::vector<Camera_Info> List_Cameras();
// Tests: a camera that every list ends with (usually a gst: source).
void Add_Test_Camera(const Camera_Info& info);
void Clear_Test_Cameras();

// The camera named by a --camera SOURCE or the LastDevice key: "gst:" and a
// GStreamer source description, a device node, or a name as listed. False
// when no such camera exists (a node that is not there, a name not listed).
bool Find_Camera(const std::string& source, Camera_Info* found);

// ---- resolutions, as stored ("1920x1080") and as shown
// Largest side a camera picture may have (the picture limit of documents).
const int32_t CAMERA_MAX_SIDE = 16384;
// Reads "WIDTHxHEIGHT" (digits, "x", digits; spaces around the "x" allowed),
// each side 1..CAMERA_MAX_SIDE. False for anything else.
bool Parse_Resolution(const std::string& text, int32_t* width, int32_t* height);
// "1920 x 1080 (16:9)": the size with its aspect ratio reduced (16:10 is
// named so, not 8:5).
std::string Resolution_Caption(int32_t width, int32_t height);

// "Name (/dev/video0): 1280x720 640x480", one line of --list-cameras.
std::string Camera_Line(const Camera_Info& camera);
// --list-cameras: one device per line on stdout; returns the exit code.
int List_Cameras_Command();
