// The authoring studio's takes at the size the show can hold: the preview's merge of a script of
// 16,384 rows with ten takes of 200 rows (which must take well under a frame, as F12 shows the
// takes in the frame of its press), once with the script as read before and once read afresh;
// and the timeline strip with all those rows on screen (at most 1 ms a frame on Mesa's
// llvmpipe), beside the strip with no rows. The strip is timed to glFinish, so what is measured
// is the drawing itself and not only the handing of commands to GL.
#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bench_gl.h"
#include "driver/studio_takes.h"
#include "platform/sdl_platform.h"
#include "render/timeline_strip.h"
#include "scene/show_facts.h"

namespace {

constexpr int scriptRows = MAX_KEYFRAMES;
constexpr int takeCount = 10;
constexpr int rowsPerTake = 200;

// The demo show's times, those of a show folder without timeline.txt.
const Timeline& timeline = builtInTimeline;

// The show's slots by the time of the row, as a script that follows the sections has them.
int32_t slotAt(double time) {
    int32_t slot = 1;
    for (float start : timeline.sections) {
        if (time > double(start)) ++slot;
    }
    return slot > 4 ? 4 : slot;
}

// A script over the whole show and ten drags of 200 frames at 200 frames a second, spread over
// it, each on a vertex of its own.
std::string demoScript() {
    std::string text;
    for (int i = 0; i < scriptRows; ++i) {
        const double time = 0.5 + 86.0 * i / scriptRows;
        text += formatKeyframeRow(time, slotAt(time), i % 500, 100.0 + i % 7, 50.0, 0.0) + "\n";
    }
    return text;
}

void recordTakes(StudioTakes& studio) {
    for (int t = 0; t < takeCount; ++t) {
        const double start = 22.0 + 6.0 * t;
        for (int r = 0; r < rowsPerTake; ++r) {
            takeRow(studio, formatKeyframeRow(start + r * 0.005, slotAt(start), 600 + t, 1.0 * r,
                                              2.0, 3.0));
        }
    }
}

ShowSize bigShow() {
    ShowSize show;
    for (int32_t slot = 1; slot <= 4; ++slot) show.vertexCount[slot] = 1000;
    return show;
}

// The studio's notes (a script past what the show reads) are not what is measured.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = dup(2);
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, 2);
            close(devNull);
        }
    }
    ~QuietStderr() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, 2);
            close(saved_);
        }
    }

private:
    int saved_;
};

// With `readEachTime`, every press finds the script changed on disk and reads it again.
void previewMerge(benchmark::State& state, bool readEachTime) {
    char folder[] = "/tmp/kelvaro-studio-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("can't make a temporary folder");
        return;
    }
    const std::string path = std::string(folder) + "/anim.txt";
    std::ofstream(path, std::ios::binary) << demoScript();
    StudioTakes studio{};
    recordTakes(studio);
    const ShowSize show = bigShow();
    std::vector<Keyframe> table;
    {
        QuietStderr quiet;
        // The first press reads the script; every later one finds it unchanged on disk.
        mergeForPreview(studio, path.c_str(), show, table);
        for (auto _ : state) {
            if (readEachTime) studio.script = StudioScript{};
            benchmark::DoNotOptimize(mergeForPreview(studio, path.c_str(), show, table));
        }
    }
    state.counters["rows"] = double(table.size());
    std::remove(path.c_str());
    rmdir(folder);
}

void BM_PreviewMergeOfTenTakes(benchmark::State& state) {
    previewMerge(state, false);
}
void BM_PreviewMergeOfTenTakesReadingTheScript(benchmark::State& state) {
    previewMerge(state, true);
}

void BM_TimelineStrip(benchmark::State& state) {
    openGl();
    const int rows = int(state.range(0));
    static StripTicks ticks;
    clearStripTicks(ticks, timeline);
    for (int i = 0; i < rows; ++i) {
        const float time = 0.5f + 86.0f * float(i) / float(rows);
        addStripTick(ticks, time, i % 50 == 0 ? StripTick::ScriptRowReplaced : StripTick::ScriptRow,
                     slotAt(double(time)));
    }
    for (int i = 0; i < (rows > 0 ? takeCount * rowsPerTake : 0); ++i) {
        addStripTick(ticks, 22.0f + float(i) * 0.03f,
                     i % 3 == 0 ? StripTick::TakeRowReplaced : StripTick::TakeRow, 2);
    }
    const StripMarks marks{61.25, StripLoop::Active, 60.0, 64.0};
    glViewport(0, 0, windowWidth, windowHeight);
    glFinish();
    for (auto _ : state) {
        drawTimelineStrip(ticks, marks, timeline, windowWidth, windowHeight);
        glFinish();
    }
    state.counters["rows"] = double(rows);
}

}  // namespace

BENCHMARK(BM_PreviewMergeOfTenTakes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewMergeOfTenTakesReadingTheScript)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimelineStrip)->Arg(0)->Arg(MAX_KEYFRAMES)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
