// One full idle pass of the program (image processing, rendering of every
// view, read-outs) on the live 640 x 480 picture in a 1060 x 600 main
// window. Needs a display: run it under Xvfb.
//
// CPU is the main thread's time (the one the user waits for); the _process
// rows count every thread of the process, the GL driver's workers as well.
// Counters: process_ms and blob_pixels of the last pass, and the kernel level
// of the analysis as the label.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/analysis_panel.h"
#include "analysis/analysis_kernels.h"
#include "analysis/blob.h"
#include "analysis/threshold.h"
#include "app/dispatch.h"
#include "app/job_list.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/renderer.h"
#include "base/app_state.h"
#include "app/control_ids.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "app/readout_panel.h"
#include "measure/readouts.h"
#include "platform/platform.h"
#include "render/glip.h"
#include "video/camera_source.h"
#include "video/capture_thread.h"

bool World_Ready = false;

namespace {

bool Build_World() {
    if (World_Ready) return true;
    char pattern[] = "/tmp/trellum-bench-XXXXXX";
    const char* folder = mkdtemp(pattern);
    if (!folder) return false;
    Startup_Shared_State();
    Program_Names.Data_Folder = std::string(folder) + "/";
    if (!Platform_Init() || !Build_Main_Window()) return false;
    Resize_Window(WINDOW_MAIN, 1060, 600);
    float until = Elapsed_Ms() + 1000;
    while (Elapsed_Ms() < until) Main_Loop_Pass(false);
    World_Ready = true;
    return true;
}

// The redraw the main loop runs for a requested frame, with the pointer over
// the picture and the given analysis button and tool. With `on_object` the
// pointer rests on the largest object of the mask found on a coarse grid, so
// that the blob tool floods it on every pass.
void Full_Pass(benchmark::State& state, int64_t analysis_button, int64_t tool_button, bool on_object = false) {
    if (!Build_World()) {
        state.SkipWithError("no display");
        return;
    }
    Select_Job(0);
    Select_Analysis_Mode(analysis_button);
    Choose_Tool_Button(tool_button);
    Canvas_State canvas = Canvas_View();
    canvas.Pointer_Inside = 1;
    canvas.Pointer_X = 300;
    canvas.Pointer_Y = 200;
    Set_Canvas_State_For_Test(canvas);
    Apply_Threshold();
    if (on_object) {
        Process_Image();
        int64_t largest = 0;
        for (int32_t y = 4; y < Hit_Mask_Height; y += 8)
            for (int32_t x = 4; x < Hit_Mask_Width; x += 8) {
                if (!Hit_Mask[(size_t)y * Hit_Mask_Width + x]) continue;
                sMeasurement box;
                const int64_t count = Blob_Fill(&box, x, y);
                if (count > largest) largest = count, canvas.Pointer_X = (float)x, canvas.Pointer_Y = (float)y;
            }
    }
    Set_Canvas_State_For_Test(canvas);
    for (auto _ : state) {
        Jobs[0].Image_Changed = 1;  // a new live frame every pass
        Request_Redraw();
        Process_Image();
        Render_Frame();
        Refresh_Readouts(false);
        Take_Redraw_Request();
    }
    state.counters["process_ms"] = Stage_Times.Process;
    state.counters["blob_pixels"] = Canvas_View().Live_Measure.Area;
    state.SetLabel(Kernel_Level_Name(Kernel_Level_In_Use));
}

void BM_Idle_Pass_No_Processing(benchmark::State& state) { Full_Pass(state, 1, CTL_TOOL_LINE); }
void BM_Idle_Pass_Magenta_Blob(benchmark::State& state) { Full_Pass(state, 3, CTL_TOOL_BLOB); }

// A still frozen document redrawn: its texture is kept and its threshold
// pass remembered, so a large picture costs neither an upload nor a pass per
// frame. Arguments: width, height.
void BM_Idle_Pass_Still_Document(benchmark::State& state) {
    if (!Build_World()) {
        state.SkipWithError("no display");
        return;
    }
    Jobs[1].In_Use = 1;
    Jobs[1].Image_Changed = 1;
    Jobs[1].Doc.PPMM = 100;
    Allocate_Image(&Jobs[1], (int32_t)state.range(0), (int32_t)state.range(1));
    Select_Job(1);
    Select_Analysis_Mode(3);
    Apply_Threshold();
    Process_Image();
    Render_Frame();  // the one upload
    const int64_t uploads = GLip_Texture_Uploads;
    for (auto _ : state) {
        Request_Redraw();
        Process_Image();
        Render_Frame();
        Take_Redraw_Request();
    }
    state.counters["uploads"] = (double)(GLip_Texture_Uploads - uploads);
    state.counters["process_ms"] = Stage_Times.Process;
    Jobs[1] = Job_Slot();
    Jobs[1].List_View = 1;
    Select_Job(0);
}

double Process_Cpu_Ms() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The real main loop, waiting for events as the program does, with a
// 16384 x 16384 document current under a threshold and nothing happening:
// counter cpu_percent is the whole process's CPU over the wall time.
void BM_Idle_Loop_Huge_Document(benchmark::State& state) {
    if (!Build_World()) {
        state.SkipWithError("no display");
        return;
    }
    Disable_Video();
    Jobs[1].In_Use = 1;
    Jobs[1].Image_Changed = 1;
    Jobs[1].Doc.PPMM = 100;
    Allocate_Image(&Jobs[1], 16384, 16384);
    Select_Job(1);
    Select_Analysis_Mode(3);
    Apply_Threshold();
    // The first passes upload and process it once; then it is left alone.
    float settle = Elapsed_Ms() + 3000;
    while (Elapsed_Ms() < settle) Main_Loop_Pass(true);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double c0 = Process_Cpu_Ms();
        const float w0 = Elapsed_Ms();
        while (Elapsed_Ms() - w0 < 10000) Main_Loop_Pass(true);
        cpu += Process_Cpu_Ms() - c0;
        wall += Elapsed_Ms() - w0;
    }
    state.counters["cpu_percent"] = wall > 0 ? cpu / wall * 100.0 : 0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_rss_mb"] = (double)usage.ru_maxrss / 1024.0;
    Jobs[1] = Job_Slot();
    Jobs[1].List_View = 1;
    Select_Job(0);
}

double Thread_Cpu_Ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The real main loop on a live 1920 x 1080 test source at 30 frames a second
// under a threshold: counters fps (frames taken into the live picture and
// drawn, per second) and main_cpu_percent (the main thread's CPU over the
// wall time). Skipped when the camera does not start.
void BM_Live_View_Camera(benchmark::State& state) {
    if (!Build_World()) {
        state.SkipWithError("no display");
        return;
    }
    const std::string source =
        "gst:videotestsrc is-live=true pattern=ball ! video/x-raw,width=1920,height=1080,framerate=30/1";
    if (!Start_Video_Source(source, "")) {
        state.SkipWithError("camera did not start");
        return;
    }
    float until = Elapsed_Ms() + 20000;
    while (Elapsed_Ms() < until && (Camera_Starting() || Main_Loop.Frames_Total < 10)) Main_Loop_Pass(true);
    if (Video_Mode != VIDEO_CAMERA || Main_Loop.Frames_Total < 10) {
        state.SkipWithError("no frames");
        return;
    }
    Select_Job(0);
    Select_Analysis_Mode(5);
    Apply_Threshold();
    double cpu = 0, wall = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        const double c0 = Thread_Cpu_Ms();
        const float w0 = Elapsed_Ms();
        const int64_t f0 = Main_Loop.Frames_Total;
        while (Elapsed_Ms() - w0 < 10000) Main_Loop_Pass(true);
        cpu += Thread_Cpu_Ms() - c0;
        wall += Elapsed_Ms() - w0;
        frames += Main_Loop.Frames_Total - f0;
    }
    state.counters["fps"] = wall > 0 ? frames / wall * 1000.0 : 0;
    state.counters["main_cpu_percent"] = wall > 0 ? cpu / wall * 100.0 : 0;
    state.counters["width"] = (double)Jobs[0].Doc.Resolution.x;
    state.counters["height"] = (double)Jobs[0].Doc.Resolution.y;
    Start_Video_Source("", "");
}

// The measurement list rebuilt for one document of n tools (the file limit
// is 100,000): the time should grow linearly with n.
void BM_Measurement_List_Rebuild(benchmark::State& state) {
    if (!Build_World()) {
        state.SkipWithError("no display");
        return;
    }
    Jobs[1].In_Use = 1;
    Jobs[1].Doc.PPMM = 100;
    Jobs[1].Doc.Tools.assign((size_t)state.range(0), Tool());
    for (size_t i = 0; i < Jobs[1].Doc.Tools.size(); i++) Jobs[1].Doc.Tools[i].Distance = (float)i;
    for (auto _ : state) Rebuild_Measurement_List();
    state.SetComplexityN(state.range(0));
    Jobs[1] = Job_Slot();
    Jobs[1].List_View = 1;
    Rebuild_Measurement_List();
}

BENCHMARK(BM_Idle_Pass_No_Processing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle_Pass_Magenta_Blob)->Unit(benchmark::kMillisecond);
void BM_Idle_Pass_Magenta_Blob_Process(benchmark::State& state) { Full_Pass(state, 3, CTL_TOOL_BLOB); }
BENCHMARK(BM_Idle_Pass_Magenta_Blob_Process)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
void BM_Idle_Pass_Magenta_Blob_On_Object(benchmark::State& state) { Full_Pass(state, 3, CTL_TOOL_BLOB, true); }
BENCHMARK(BM_Idle_Pass_Magenta_Blob_On_Object)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle_Pass_Still_Document)->Args({640, 480})->Args({4096, 4096})->Args({5472, 3648})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Idle_Loop_Huge_Document)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Live_View_Camera)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Measurement_List_Rebuild)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (World_Ready) Shutdown_Program();  // lets the capture thread go and releases the views
    return 0;
}
