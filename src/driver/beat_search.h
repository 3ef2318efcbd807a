// The authoring studio's search for the music's beat when the timeline gives none: the music
// decoded and analysed on a thread of its own, so that no frame waits for it.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "beat/beat_analysis.h"
#include "platform/platform.h"
#include "scene/timeline.h"

struct BeatSearch {
    std::thread thread;
    std::atomic<bool> done{false};
    // Once done: the grid, or why there is none (empty when the platform can't decode music).
    bool found = false;
    BeatGrid grid;
    std::string error;
    ~BeatSearch() {
        if (thread.joinable()) thread.join();
    }
};

// Starts decoding and analysing `file` through `platform`, which outlives the search.
std::shared_ptr<BeatSearch> startBeatSearch(Platform& platform, const std::string& file);

// `timeline` with the grid found put in as its tempo line would give it.
Timeline withFoundGrid(const Timeline& timeline, const BeatGrid& grid);

// "beat: 120.00 beats a minute from 0.00 s, 4 a bar (found in tavel.mp3)"
std::string describeFoundGrid(const BeatGrid& grid, const std::string& file);
