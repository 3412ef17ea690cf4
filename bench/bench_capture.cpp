// The camera frame path: a 1920 x 1080 YUY2 and a 1920 x 1080 MJPEG source
// through the built-in capture component (decode, BGRA conversion, copy into
// the capture thread's frame) as the capture thread drives it: doCapture,
// then isCaptureDone until the frame is in, then the main loop's
// Camera_Take_Frame into the live picture of the frame's own size.
//
// The sources replay one stored frame (multifilesrc), so the counters hold
// the path itself rather than a test pattern's drawing. cpu_ms_per_frame is
// the CPU time of the whole process (every GStreamer thread) per frame;
// wall_ms_per_frame the elapsed time; allocs_per_frame counts the C++
// allocations of our code in the loop (GStreamer's own go through GLib).
// Run with --benchmark_repetitions=5 for medians.
#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gst/gst.h>

#include "allocation_count.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "video/camera_list.h"
#include "video/camera_source.h"
#include "video/capture_lib.h"
#include "video/capture_thread.h"
#include "video/gst_capture.h"

namespace {

std::string Folder;

double Cpu_Ms() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double Wall_Ms() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Runs a pipeline to its end (writes the stored frames).
bool Run_To_End(const std::string& text) {
    GError* err = nullptr;
    GstElement* p = gst_parse_launch(text.c_str(), &err);
    if (err || !p) return false;
    gst_element_set_state(p, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(p);
    GstMessage* m = gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND,
                                               (GstMessageType)(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    bool ok = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
    if (m) gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
    return ok;
}

bool Make_Frames() {
    char pattern[] = "/tmp/trellum-bench-capture-XXXXXX";
    if (!mkdtemp(pattern)) return false;
    Folder = pattern;
    const std::string frame = "videotestsrc num-buffers=1 pattern=smpte ! video/x-raw,width=1920,height=1080";
    return Run_To_End(frame + ",format=YUY2 ! filesink location=" + Folder + "/frame.yuy2") &&
           Run_To_End(frame + " ! jpegenc quality=85 ! filesink location=" + Folder + "/frame.jpg");
}

void BM_Frame_Path(benchmark::State& state, const std::string& caps, const std::string& file) {
    Camera_Info source;
    source.Name = file;
    source.Source = "multifilesrc location=" + Folder + "/" + file + " loop=true caps=\"" + caps + "\"";
    Gst_Capture_Free_Running = true;
    Install_Capture_Library(Gst_Capture_Table());
    int64_t device = Gst_Capture_Add_Source(source, "");
    Capture_Params target = Capture_Frame_Target();
    if (!Capture_Init(device, &target)) {
        std::string why;
        Gst_Capture_Open_Result(&why);
        state.SkipWithError(("the source did not start: " + why).c_str());
        return;
    }
    Set_Capture_State(CAPTURE_REQUESTED);
    // One frame first: negotiation and the first buffers are not the steady state.
    Capture_Do(device);
    while (Capture_Is_Done(device) == 0) usleep(100);
    Camera_Take_Frame();

    int64_t frames = 0, allocations = Allocations.load();
    double cpu0 = Cpu_Ms(), wall0 = Wall_Ms();
    for (auto _ : state) {
        Capture_Do(device);
        int done;
        while ((done = Capture_Is_Done(device)) == 0) usleep(100);
        if (done < 0) {
            state.SkipWithError("the source was lost");
            break;
        }
        // As the main loop does on Ready: the frame into the live picture.
        Camera_Take_Frame();
        frames++;
    }
    double cpu = Cpu_Ms() - cpu0, wall = Wall_Ms() - wall0;
    allocations = Allocations.load() - allocations;
    Capture_Deinit(device);
    Set_Capture_State(CAPTURE_IDLE);
    if (frames == 0) return;
    state.counters["cpu_ms_per_frame"] = cpu / frames;
    state.counters["wall_ms_per_frame"] = wall / frames;
    state.counters["allocs_per_frame"] = (double)allocations / frames;
    const uint8_t* px = Jobs[0].Doc.Image_Buffer.data();
    state.counters["width"] = (double)Jobs[0].Doc.Resolution.x;
    state.counters["height"] = (double)Jobs[0].Doc.Resolution.y;
    state.SetLabel("first pixel BGRA " + std::to_string(px[0]) + "," + std::to_string(px[1]) + "," +
                   std::to_string(px[2]) + "," + std::to_string(px[3]));
}

}  // namespace

int main(int argc, char** argv) {
    if (!Gstreamer_Ready() || !Make_Frames()) {
        fprintf(stderr, "bench_capture: GStreamer or the test frames are not available\n");
        return 1;
    }
    benchmark::RegisterBenchmark("BM_Frame_Path/yuy2_1920x1080", BM_Frame_Path,
                                 std::string("video/x-raw,format=YUY2,width=1920,height=1080,framerate=30/1"),
                                 std::string("frame.yuy2"))
        ->Iterations(300)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Frame_Path/mjpeg_1920x1080", BM_Frame_Path,
                                 std::string("image/jpeg,width=1920,height=1080,framerate=30/1"),
                                 std::string("frame.jpg"))
        ->Iterations(300)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::string cleanup = "rm -rf '" + Folder + "'";
    if (system(cleanup.c_str()) != 0) return 1;
    return 0;
}
