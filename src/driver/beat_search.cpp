#include "driver/beat_search.h"

#include <cstdio>
#include <vector>

std::shared_ptr<BeatSearch> startBeatSearch(Platform& platform, const std::string& file) {
    auto search = std::make_shared<BeatSearch>();
    BeatSearch* s = search.get();  // joined by its own destructor: outlives the thread
    s->thread = std::thread([s, &platform, file] {
        std::vector<int16_t> samples;
        int channels = 0;
        if (platform.musicSamples(file.c_str(), samples, channels, s->error)) {
            s->found = analyseBeat(samples.data(), samples.size() / size_t(channels), channels,
                                   s->grid, s->error);
            if (!s->found) s->error = file + ": " + s->error;
        }
        s->done.store(true, std::memory_order_release);
    });
    return search;
}

Timeline withFoundGrid(const Timeline& timeline, const BeatGrid& grid) {
    Timeline t = timeline;
    t.hasTempo = true;
    t.tempo = grid.tempo;
    t.firstBeat = grid.firstBeat;
    t.beatsPerBar = grid.beatsPerBar;
    return t;
}

std::string describeFoundGrid(const BeatGrid& grid, const std::string& file) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "beat: %.2f beats a minute from %.2f s, %d a bar (found in %s)", grid.tempo,
                  grid.firstBeat, grid.beatsPerBar, file.c_str());
    return text;
}
