// kelvaro-merge on the demo script: one take of 1,000 printed rows punched into it, as the
// program does it (read, split, apply, sort, check against the show, write).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "merge/merge.h"

#ifndef KELVARO_SHOW_DIR
#error "the benchmark needs the demo show folder"
#endif

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A drag of 1,000 frames at 200 frames a second, in the middle of the demo script.
std::string thousandRowTake() {
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        char row[128];
        std::snprintf(row, sizeof row, "%f 2 40 %f %f 0.000000\n", 45.0 + i * 0.005,
                      300.0 + i * 0.1, 200.0 + i * 0.05);
        text += row;
    }
    return text;
}

void mergeIntoDemoScript(benchmark::State& state, bool inPlace, bool checkShow) {
    char folder[] = "/tmp/kelvaro-merge-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("can't make a temporary folder");
        return;
    }
    const std::string dir = folder;
    const std::string demo = readAll(std::string(KELVARO_SHOW_DIR) + "/anim.txt");
    if (demo.empty()) {
        state.SkipWithError("no demo script: build the show_content target");
        return;
    }
    writeAll(dir + "/take.txt", thousandRowTake());
    MergeOptions options;
    options.script = dir + "/anim.txt";
    options.takeFiles = {dir + "/take.txt"};
    options.output = inPlace ? "" : dir + "/out.txt";
    if (checkShow) options.showFolder = KELVARO_SHOW_DIR;
    // The program's own lines on stderr are not what is measured.
    std::fflush(stderr);
    const int savedStderr = dup(2);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, 2);
    for (auto _ : state) {
        state.PauseTiming();
        writeAll(options.script, demo);
        state.ResumeTiming();
        benchmark::DoNotOptimize(runMerge(options));
    }
    std::fflush(stderr);
    if (savedStderr >= 0) dup2(savedStderr, 2);
    if (devNull >= 0) close(devNull);
    if (savedStderr >= 0) close(savedStderr);
    const std::string command = "rm -rf '" + dir + "'";
    if (std::system(command.c_str()) != 0) state.SkipWithError("can't remove the folder");
}

void BM_MergeInPlace(benchmark::State& state) {
    mergeIntoDemoScript(state, true, false);
}
void BM_MergeToFileWithShowCheck(benchmark::State& state) {
    mergeIntoDemoScript(state, false, true);
}

}  // namespace

BENCHMARK(BM_MergeInPlace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeToFileWithShowCheck)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
