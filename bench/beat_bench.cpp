// The beat analysis of a five-minute song, on one core: the studio runs it once, in the
// background, the first time the heads-up display asks for a beat grid.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "beat/beat_analysis.h"
#include "beat_song.h"

static void BM_AnalyseFiveMinuteSong(benchmark::State& state) {
    const std::vector<int16_t> song = makeBeatSong({128.0, 0.37, 300.0, 4});
    for (auto _ : state) {
        BeatGrid grid;
        std::string error;
        const bool found = analyseBeat(song.data(), song.size() / 2, 2, grid, error);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(grid.beats.data());
    }
    state.SetLabel("300 s at 128 BPM");
}
BENCHMARK(BM_AnalyseFiveMinuteSong)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
