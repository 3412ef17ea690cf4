// Hot paths of the image analysis on a 640 x 480 live frame, a 1920 x 1080
// and a 5472 x 3648 camera picture: processing in a threshold mode (against a
// plain copy of the same bytes), the automatic threshold (against 256 full
// processing passes on the live frame), the blob fill of an object covering
// the whole picture and of a small blob, and the circle auto-measure.
//
// The first two arguments of every row are the picture's width and height.
// Every row carries x_memcpy, its CPU time over that of the copy of a picture
// of the same size in the same run (BM_Memcpy_Frame), which holds from machine
// to machine better than the times do, and the kernel level it ran as its
// label.
// --kernels=baseline|sse4.1|avx2|avx512 runs the kernels of that level instead
// of the widest one the processor has.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "allocation_count.h"
#include "app/analysis_panel.h"
#include "analysis/analysis_kernels.h"
#include "analysis/auto_measure.h"
#include "analysis/auto_threshold.h"
#include "analysis/blob.h"
#include "analysis/objects.h"
#include "analysis/threshold.h"
#include "analysis/threshold_methods.h"
#include "app/control_ids.h"
#include "document/doc_model.h"
#include "measure/canvas.h"
#include "platform/platform.h"
#include "video/emulator.h"

namespace {

const int32_t W = 640, H = 480;

// The first sample picture (stained cells with dark nuclei) from the
// start-up crop on, as the emulator cuts the live frame (columns 780 to 1419
// for 640 x 480); a larger picture repeats the sample across and down.
void Make_Stained_Cells(int32_t w = W, int32_t h = H) {
    Reset_Jobs();
    Reset_Canvas_State();
    Build_Grey_Palette();
    Jobs[0].In_Use = 1;
    Allocate_Image(&Jobs[0], w, h);
    Doc_Info& doc = Jobs[0].Doc;
    doc.Processing = ProcessMode();
    doc.Processing.Threshold_Cyan = doc.Processing.Threshold_Magenta = 80;
    doc.Processing.Threshold_Yellow = doc.Processing.Threshold_Black = 80;
    Make_Current_Job(0);
    std::string name;
    int32_t sw = 0, sh = 0;
    std::vector<uint8_t> sample;
    if (!Read_Sample(0, &name, &sw, &sh, &sample) || sw < 780 + W || sh < H) std::abort();
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            memcpy(&doc.Image_Buffer[((size_t)y * w + x) * 4], &sample[((size_t)(y % sh) * sw + (780 + x) % sw) * 4], 4);
}

// The picture sizes of the rows: live frame, full HD, 20 MP camera.
void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480})->Args({1920, 1080})->Args({5472, 3648});
}

// The threshold controls Auto_Threshold writes on the null backend.
void Make_Controls() {
    Open_Window(WINDOW_MAIN, "bench", 0, 0, 100, 100, 0);
    Create_Control(WINDOW_MAIN, CTL_THRESHOLD_SLIDER, CONTROL_SLIDER, 0, 0, 100, 20, "");
    Set_Slider_Range(CTL_THRESHOLD_SLIDER, 1, 255);
    Create_Control(WINDOW_MAIN, CTL_THRESHOLD_FRAME, CONTROL_FRAME, 0, 0, 100, 50, "");
}

void BM_Memcpy_Frame(benchmark::State& state) {
    Make_Stained_Cells((int32_t)state.range(0), (int32_t)state.range(1));
    const std::vector<uint8_t>& src = Jobs[0].Doc.Image_Buffer;
    std::vector<uint8_t> dst(src.size());
    for (auto _ : state) {
        memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)src.size());
}
BENCHMARK(BM_Memcpy_Frame)->Apply(Sizes)->Unit(benchmark::kMicrosecond);

// Args: width, height, analysis mode (0 copy, 2 magenta, 4 black, 5 any).
void BM_Process_Image(benchmark::State& state) {
    Make_Stained_Cells((int32_t)state.range(0), (int32_t)state.range(1));
    Jobs[0].Doc.Processing.Mode = (uint8_t)state.range(2);
    Process_Image();
    const int64_t before = Allocations;
    for (auto _ : state) {
        Jobs[0].Image_Changed = 1;  // a new frame each time: the pass itself is measured, not a skipped one
        Process_Image();
        benchmark::DoNotOptimize(Processed_Image.data());
        benchmark::ClobberMemory();
    }
    state.counters["allocs_per_call"] =
        benchmark::Counter((double)(Allocations - before), benchmark::Counter::kAvgIterations);
    state.counters["hits_percent"] = Jobs[0].Doc.Measure.Hits;
    state.SetLabel(Kernel_Level_Name(Kernel_Level_In_Use));
    state.SetBytesProcessed(state.iterations() * (int64_t)Jobs[0].Doc.Image_Buffer.size());
}
BENCHMARK(BM_Process_Image)
    ->ArgsProduct({{640}, {480}, {0, 2, 4, 5}})
    ->ArgsProduct({{1920}, {1080}, {0, 2, 4, 5}})
    ->ArgsProduct({{5472}, {3648}, {0, 2, 4, 5}})
    ->Unit(benchmark::kMicrosecond);

void BM_Auto_Threshold(benchmark::State& state) {
    Make_Stained_Cells((int32_t)state.range(0), (int32_t)state.range(1));
    Make_Controls();
    Jobs[0].Doc.Processing.Mode = MODE_MAGENTA;
    for (auto _ : state) {
        Auto_Threshold();
        benchmark::ClobberMemory();
    }
    state.counters["threshold"] = Jobs[0].Doc.Processing.Threshold_Magenta;
    state.SetLabel(Kernel_Level_Name(Kernel_Level_In_Use));
}
BENCHMARK(BM_Auto_Threshold)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// The literal search for comparison: 256 full processing passes.
void BM_Auto_Threshold_256_Passes(benchmark::State& state) {
    Make_Stained_Cells();
    Doc_Info& doc = Jobs[0].Doc;
    doc.Processing.Mode = MODE_MAGENTA;
    int64_t threshold = 0;
    for (auto _ : state) {
        int64_t A[AUTO_THRESHOLD_LEVELS];
        for (int i = 0; i < AUTO_THRESHOLD_LEVELS; i++) {
            doc.Processing.Threshold_Magenta = (uint8_t)(i + 1);
            Process_Image();
            A[i] = doc.Measure.Hit_Pixels == 0 ? 1 : doc.Measure.Hit_Pixels;
        }
        threshold = Auto_Threshold_Choose(A).Threshold;
        benchmark::DoNotOptimize(threshold);
    }
    state.counters["threshold"] = (double)(threshold > 255 ? 255 : threshold);
    state.SetLabel(Kernel_Level_Name(Kernel_Level_In_Use));
}
BENCHMARK(BM_Auto_Threshold_256_Passes)->Args({W, H})->Unit(benchmark::kMillisecond);

// Args: width, height, and 1 for one blob covering the whole picture, 0 for
// a blob of 2,000 pixels (50 x 40) in an otherwise empty mask, or 2 for a
// random mask of 60 % hits (one large ragged blob that fills the seed stack).
void BM_Blob_Fill(benchmark::State& state) {
    const int32_t w = (int32_t)state.range(0), h = (int32_t)state.range(1);
    Make_Stained_Cells(w, h);
    Hit_Mask_Width = w;
    Hit_Mask_Height = h;
    if (state.range(2) == 2) {
        Hit_Mask.assign((size_t)w * h, 0);
        std::mt19937 rng(5);
        for (uint8_t& m : Hit_Mask) m = rng() % 5 < 3;
    } else if (state.range(2)) {
        Hit_Mask.assign((size_t)w * h, 1);
    } else {
        Hit_Mask.assign((size_t)w * h, 0);
        for (int32_t y = 200; y < 240; y++) memset(&Hit_Mask[(size_t)y * w + 300], 1, 50);
    }
    sMeasurement box;
    Blob_Fill(&box, 320, 220);  // the work arrays are made by the first fill
    const int64_t before = Allocations;
    int64_t count = 0;
    for (auto _ : state) {
        count = Blob_Fill(&box, 320, 220);
        benchmark::DoNotOptimize(count);
    }
    state.counters["allocs_per_call"] =
        benchmark::Counter((double)(Allocations - before), benchmark::Counter::kAvgIterations);
    state.counters["pixels"] = (double)count;
}
BENCHMARK(BM_Blob_Fill)
    ->ArgsProduct({{640}, {480}, {1, 0, 2}})
    ->ArgsProduct({{1920}, {1080}, {1, 0, 2}})
    ->ArgsProduct({{5472}, {3648}, {1, 0, 2}})
    ->Unit(benchmark::kMicrosecond);

// The circle tool on a disc of radius 60 with the pointer off its centre.
void BM_Auto_Measure_Circle(benchmark::State& state) {
    Make_Stained_Cells();
    Hit_Mask.assign((size_t)W * H, 0);
    Hit_Mask_Width = W;
    Hit_Mask_Height = H;
    for (int32_t y = 0; y < H; y++)
        for (int32_t x = 0; x < W; x++)
            if ((x - 320) * (x - 320) + (y - 240) * (y - 240) <= 3600) Hit_Mask[(size_t)y * W + x] = 1;
    Canvas_State canvas = Canvas_View();
    canvas.Current_Tool = MTOOL_AUTO_CIRCLE;
    canvas.Pointer_X = 305;
    canvas.Pointer_Y = 250;
    Set_Canvas_State_For_Test(canvas);
    const int64_t before = Allocations;
    for (auto _ : state) {
        Auto_Measure();
        benchmark::ClobberMemory();
    }
    state.counters["allocs_per_call"] =
        benchmark::Counter((double)(Allocations - before), benchmark::Counter::kAvgIterations);
    state.counters["radius"] = Canvas_View().Live_Measure.Radius;
}
BENCHMARK(BM_Auto_Measure_Circle)->Args({W, H})->Unit(benchmark::kMicrosecond);

// Adds x_memcpy to every row: its CPU time per iteration over that of the
// copy of a picture of the same size, both of the same kind (one repetition,
// mean or median).
struct Ratio_Reporter : benchmark::ConsoleReporter {
    Ratio_Reporter() : benchmark::ConsoleReporter(OO_None) {}
    std::map<std::string, double> Memcpy_Seconds;
    // "median 640/480" of a row named BM_x/640/480/2.
    static std::string Key(const Run& run) {
        const std::string& args = run.run_name.args;
        const size_t first = args.find('/');
        const size_t second = first == std::string::npos ? first : args.find('/', first + 1);
        return run.aggregate_name + " " + args.substr(0, second);
    }
    void ReportRuns(const std::vector<Run>& reports) override {
        std::vector<Run> rows = reports;
        for (Run& run : rows) {
            if (run.error_occurred || run.aggregate_name == "stddev" || run.aggregate_name == "cv") continue;
            const double seconds = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_name.function_name == "BM_Memcpy_Frame") Memcpy_Seconds[Key(run)] = seconds;
            auto memcpy_row = Memcpy_Seconds.find(Key(run));
            if (memcpy_row != Memcpy_Seconds.end() && memcpy_row->second > 0)
                run.counters["x_memcpy"] = seconds / memcpy_row->second;
        }
        benchmark::ConsoleReporter::ReportRuns(rows);
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Threshold methods: the channel histogram of a full-size camera picture
// (5472 x 3648) and each method on it, against a copy of the same picture
// made in the same benchmark. x_picture_memcpy = time per call over that copy.
// Run with --benchmark_filter=Methods to see these alone; 5 repetitions,
// medians reported.
namespace {

const int32_t BIG_W = 5472, BIG_H = 3648;

// Two populations in every colour, decided per pixel by a cheap hash, so no
// level run is long and the histogram is far from flat.
const std::vector<uint8_t>& Big_Picture() {
    static std::vector<uint8_t> pixels;
    if (!pixels.empty()) return pixels;
    pixels.resize((size_t)BIG_W * BIG_H * 4);
    uint32_t x = 12345;
    for (size_t i = 0; i < pixels.size(); i += 4) {
        x = x * 1664525u + 1013904223u;
        const uint32_t noise = x >> 24;
        const bool object = (x >> 8 & 255) < 80;
        pixels[i + 0] = (uint8_t)(object ? 60 + noise / 4 : 200 + noise / 8);
        pixels[i + 1] = (uint8_t)(object ? 40 + noise / 3 : 210 + noise / 8);
        pixels[i + 2] = (uint8_t)(object ? 90 + noise / 5 : 220 + noise / 9);
        pixels[i + 3] = 255;
    }
    return pixels;
}

double Median_Memcpy_Ms(const std::vector<uint8_t>& src, std::vector<uint8_t>& dst) {
    double times[5];
    for (double& t : times) {
        const auto t0 = std::chrono::steady_clock::now();
        memcpy(dst.data(), src.data(), src.size());
        benchmark::ClobberMemory();
        t = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    }
    std::sort(times, times + 5);
    return times[2];
}

void BM_Methods_Memcpy_Picture(benchmark::State& state) {
    const std::vector<uint8_t>& src = Big_Picture();
    std::vector<uint8_t> dst(src.size(), 1);
    for (auto _ : state) {
        memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * (int64_t)src.size());
}
BENCHMARK(BM_Methods_Memcpy_Picture)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Arg: method (Threshold_Method); black mode.
void BM_Methods_Histogram_And_Method(benchmark::State& state) {
    const std::vector<uint8_t>& src = Big_Picture();
    std::vector<uint8_t> dst(src.size(), 1);
    const double memcpy_ms = Median_Memcpy_Ms(src, dst);
    const uint8_t method = (uint8_t)state.range(0);
    Slider_Choice choice;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        int64_t histogram[256];
        Mode_Histogram(src.data(), (int64_t)BIG_W * BIG_H, MODE_BLACK, histogram);
        choice = Threshold_For_Slider(method, histogram, MODE_BLACK);
        benchmark::DoNotOptimize(choice);
    }
    const double per_call_ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count() /
        (double)state.iterations();
    state.counters["slider"] = choice.Slider;
    state.counters["memcpy_ms"] = memcpy_ms;
    state.counters["x_picture_memcpy"] = memcpy_ms > 0 ? per_call_ms / memcpy_ms : 0;
    state.SetLabel(std::string(Threshold_Method_Name(method)) + " " + Kernel_Level_Name(Kernel_Level_In_Use));
}
BENCHMARK(BM_Methods_Histogram_And_Method)
    ->DenseRange(0, THRESHOLD_METHODS - 1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace
// ---------------------------------------------------------------------------

// ---- object analysis: every object of a mask with every measure, against a
// copy of the same picture's BGRA bytes timed in the same function (so the
// 5472 x 3648 row has a copy of its own size).
namespace {

// Discs of random radii, every third one a ring, on a w x h mask.
std::vector<uint8_t> Make_Object_Mask(int32_t w, int32_t h, int32_t objects, int32_t r0, int32_t r1) {
    std::vector<uint8_t> mask((size_t)w * h, 0);
    std::mt19937 rng(11);
    for (int32_t i = 0; i < objects; i++) {
        const int32_t r = r0 + (int32_t)(rng() % (uint32_t)(r1 - r0 + 1));
        const int32_t cx = r + (int32_t)(rng() % (uint32_t)(w - 2 * r)), cy = r + (int32_t)(rng() % (uint32_t)(h - 2 * r));
        for (int32_t y = cy - r; y <= cy + r; y++)
            for (int32_t x = cx - r; x <= cx + r; x++) {
                const int32_t d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                if (d2 <= r * r && (i % 3 != 0 || d2 >= r * r / 4)) mask[(size_t)y * w + x] = 1;
            }
    }
    return mask;
}

void Objects_Benchmark(benchmark::State& state, int32_t w, int32_t h, int32_t objects, int32_t r0, int32_t r1) {
    const std::vector<uint8_t> mask = Make_Object_Mask(w, h, objects, r0, r1);
    std::vector<uint8_t> bgra((size_t)w * h * 4, 7), copy(bgra.size());
    Object_Options options;
    Object_Work work;
    std::vector<Object_Measures> out;
    Measure_Objects(mask.data(), w, h, options, &work, &out);  // sizes the work memory
    const int64_t before = Allocations;
    double kernel_s = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        Measure_Objects(mask.data(), w, h, options, &work, &out);
        kernel_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.counters["allocs_per_call"] =
        benchmark::Counter((double)(Allocations - before), benchmark::Counter::kAvgIterations);
    state.counters["objects"] = (double)out.size();
    // The copy of the same bytes, as many times, right after.
    const auto t0 = std::chrono::steady_clock::now();
    for (int64_t i = 0; i < (int64_t)state.iterations(); i++) {
        memcpy(copy.data(), bgra.data(), bgra.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    const double copy_s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.counters["x_own_memcpy"] = copy_s > 0 ? kernel_s / copy_s : 0;
}

void BM_Objects_640x480(benchmark::State& state) { Objects_Benchmark(state, 640, 480, 22, 10, 30); }
BENCHMARK(BM_Objects_640x480)->Unit(benchmark::kMillisecond);
void BM_Objects_5472x3648(benchmark::State& state) { Objects_Benchmark(state, 5472, 3648, 900, 12, 45); }
BENCHMARK(BM_Objects_5472x3648)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // Takes --kernels=LEVEL out of the arguments before the library sees them.
    int kept = 1;
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg.rfind("--kernels=", 0) != 0) {
            argv[kept++] = argv[i];
            continue;
        }
        bool found = false;
        for (uint8_t level = 0; level < KERNEL_LEVELS; level++)
            if (arg.substr(10) == Kernel_Level_Name(level)) found = Set_Kernel_Level(level);
        if (!found) {
            fprintf(stderr, "%s: unknown level or not on this processor\n", arg.c_str());
            return 2;
        }
    }
    argc = kept;
    fprintf(stderr, "kernels: %s\n", Kernel_Level_Name(Kernel_Level_In_Use));
    benchmark::Initialize(&argc, argv);
    Ratio_Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
