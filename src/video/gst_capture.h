// The built-in capture component: the capture-library call table fulfilled
// with GStreamer. Each opened source runs
//   <source> ! [size caps] ! decodebin ! appsink (raw video)
// at the size the source negotiates (no crop, no scaling), and the capture
// thread's isCaptureDone converts the newest frame to BGRA straight into the
// frame target while the capture state is Requested, at the frame's own size
// (Capture_Params::Next_Frame); the main loop moves it into the live picture
// once it sees Ready (Camera_Take_Frame). Camera controls go to the device
// node through V4L2 ioctls; a source without a node has none.
//
// Device numbers are indexes into the component's table of sources, which
// the open step fills (Gst_Capture_Add_Source). One source is open at a time.
#pragma once

#include <cstdint>
#include <string>

#include "video/camera_list.h"
#include "video/capture_lib.h"

const int GST_CAPTURE_VERSION = 0x300;

// isCaptureDone's answer once the pipeline reported an error or its end:
// the frame will never come (the capture thread treats it as a lost device).
const int GST_CAPTURE_LOST = -1;

Capture_Library Gst_Capture_Table();

// Enters a source with the wanted size ("1280x720"; empty: the source's own)
// and returns its device number.
int64_t Gst_Capture_Add_Source(const Camera_Info& camera, const std::string& resolution);

// Why the last initCapture failed.
enum Gst_Open_Result { GST_OPEN_OK = 0, GST_OPEN_NOT_FOUND = 1, GST_OPEN_BUSY = 2, GST_OPEN_FAILED = 3 };
Gst_Open_Result Gst_Capture_Open_Result(std::string* text = nullptr);
// The error or end that stopped the open pipeline, once (empty: none).
std::string Gst_Capture_Take_Stream_Error();

// Threads of the colour conversion (the converter's own pool). One: the
// conversion already runs beside the source's streaming thread (where an
// MJPEG frame is decoded), and on two cores a second converter thread gained
// no time per frame in bench_capture, only more CPU.
const int GST_CONVERT_THREADS = 1;

// Lab set-ups and tests: gives the element `name` of the open pipeline (a
// capsfilter) the caps `caps`, so that the running source changes its size.
// False when no pipeline is open, it has no such element, or the caps do not parse.
bool Gst_Capture_Set_Caps(const std::string& name, const std::string& caps);

// The full pipeline text of a source (for the log and the tests).
std::string Gst_Pipeline_Text(const Camera_Info& camera, const std::string& resolution);

// Benchmarks: sinks that neither wait for the clock nor drop frames.
extern bool Gst_Capture_Free_Running;
