// Cost of writing captured frames as video: colour conversion and encoding per frame, speed
// against real time, and the file size a minute of capture takes.
#include <benchmark/benchmark.h>
#include <libyuv/convert.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "mp3/mp3_writer.h"
#include "video/bt709_conversion.h"
#include "video/video_writer.h"

namespace {

const int FRAMES_PER_SECOND = 30;
const int CLIP_FRAMES = 90;
const char* const PRESETS[] = {"superfast", "veryfast", "faster"};

// Something like a rendered show frame: a smooth backdrop and two textured figures that move,
// as RGBA rows bottom first. No noise: a GL rendering has none.
void drawFrame(std::vector<uint8_t>& pixels, int width, int height, int n) {
    const double t = double(n) / FRAMES_PER_SECOND;
    const double centres[2][2] = {{width * (0.35 + 0.2 * std::sin(t * 1.3)), height * 0.5},
                                  {width * (0.7 + 0.1 * std::cos(t * 2.1)), height * 0.6}};
    const double radius = height * 0.22;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &pixels[size_t(y) * size_t(width) * 4];
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = row + x * 4;
            pixel[0] = uint8_t(40 + 60 * y / height);
            pixel[1] = uint8_t(30 + 40 * x / width);
            pixel[2] = uint8_t(90 + 80 * y / height);
            pixel[3] = 255;
            for (const auto& centre : centres) {
                const double dx = x - centre[0], dy = y - centre[1];
                if (dx * dx + dy * dy > radius * radius) continue;
                const double u = dx * std::cos(t) - dy * std::sin(t);
                const double v = dx * std::sin(t) + dy * std::cos(t);
                const bool light = (int(std::floor(u / 24)) + int(std::floor(v / 24))) & 1;
                pixel[0] = uint8_t(light ? 235 : 160);
                pixel[1] = uint8_t(light ? 190 : 90);
                pixel[2] = uint8_t(light ? 120 : 60);
            }
        }
    }
}

double cpuSeconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

// One iteration writes a three-second clip with sound, from open to finish.
void BM_VideoClip(benchmark::State& state) {
    VideoOptions options;
    options.width = int(state.range(0));
    options.height = int(state.range(1));
    options.preset = PRESETS[state.range(2)];
    options.framesPerSecond = FRAMES_PER_SECOND;
    options.fromSeconds = 1.0;
    options.toSeconds = 1.0 + double(CLIP_FRAMES) / FRAMES_PER_SECOND;
    const std::string files = "/tmp/kelvaro-video-bench-" + std::to_string(getpid());
    options.musicPath = files + ".mp3";
    options.outputPath = files + ".mp4";
    writeMp3(options.musicPath, makeTone(440.0, 10.0, 44100), 44100);
    state.SetLabel(options.preset);
    std::vector<uint8_t> pixels(size_t(options.width) * size_t(options.height) * 4);
    VideoStats total;
    // Processor time of every thread, drawing left out: on a shared machine it says more than
    // the wall clock what two idle cores would manage.
    double cpu = 0.0;
    for (auto _ : state) {
        cpu -= cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        std::string error;
        VideoWriterPtr writer = openVideo(options, error);
        if (writer == nullptr) {
            state.SkipWithError(error.c_str());
            break;
        }
        for (int n = 0; n < CLIP_FRAMES; ++n) {
            state.PauseTiming();
            const double drawStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            drawFrame(pixels, options.width, options.height, n);
            cpu -= cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - drawStart;
            state.ResumeTiming();
            writeVideoFrame(*writer, pixels.data(), options.width * 4, error);
        }
        if (!finishVideo(*writer, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        cpu += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const VideoStats stats = videoStats(*writer);
        total.framesWritten += stats.framesWritten;
        total.convertSeconds += stats.convertSeconds;
        total.encodeSeconds += stats.encodeSeconds;
        total.bytesWritten += stats.bytesWritten;
    }
    unlink(options.outputPath.c_str());
    unlink(options.musicPath.c_str());
    if (total.framesWritten == 0) return;
    const double frames = total.framesWritten;
    state.counters["convert_ms"] = 1000.0 * total.convertSeconds / frames;
    state.counters["encode_ms"] = 1000.0 * total.encodeSeconds / frames;
    state.counters["cpu_ms"] = 1000.0 * cpu / frames;
    state.counters["realtime_x"] =
        (frames / FRAMES_PER_SECOND) / (total.convertSeconds + total.encodeSeconds);
    state.counters["MB_per_min"] =
        double(total.bytesWritten) / 1e6 * 60.0 / (frames / FRAMES_PER_SECOND);
}

// One show-like frame converted to yuv420p on one core, bottom row first as GL gives it:
// libyuv's BT.601 conversion (below 1280 x 720) against our BT.709 one (from there up).
void BM_ColourConversion(benchmark::State& state) {
    const int width = int(state.range(0)), height = int(state.range(1));
    const bool hd = state.range(2) != 0;
    state.SetLabel(hd ? "BT.709, ours" : "BT.601, libyuv");
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 4);
    drawFrame(pixels, width, height, 10);
    std::vector<uint8_t> y(size_t(width) * size_t(height)), u(y.size() / 4), v(y.size() / 4);
    for (auto _ : state) {
        const bool done =
            hd ? rgbToBt709I420(pixels.data(), width * 4, 4, y.data(), width, u.data(), width / 2,
                                v.data(), width / 2, width, -height)
               : libyuv::ABGRToI420(pixels.data(), width * 4, y.data(), width, u.data(), width / 2,
                                    v.data(), width / 2, width, -height) == 0;
        benchmark::DoNotOptimize(done);
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_ColourConversion)
    ->ArgsProduct({{1920}, {1080}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(1.0);
BENCHMARK(BM_VideoClip)
    ->ArgsProduct({{1280}, {720}, {0, 1, 2}})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK_MAIN();
