// Scenes the solve's results are pinned on: meshes, bone masks and script rows made here, so that
// nothing the demo generator draws can move a pin, and a pin that breaks names what changed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/driver_state.h"

// Slots 1 to 4 hold the scenes, as the show's figures sit there.
constexpr int32_t pinnedSlotFirst = 1;
constexpr int32_t pinnedSlotLast = 4;

// What each slot's scene is there to exercise.
const char* pinnedSceneName(int32_t slot);

// Fills slots 1 to 4 of `state` with the scenes, bones bound as the loader binds them, and its
// script with their rows, slot after slot in time.
void loadPinnedScenes(DriverState& state);

// The time of the first row of `slot`'s rows.
double pinnedSlotStart(const DriverState& state, int32_t slot);

// Every field the solve writes, as the pins hold a vertex: the bits of weightSum, weight, pos,
// restOffset, goalSum and curOffset, in that order.
constexpr int pinnedWordCount = 14;
using PinnedWords = std::array<uint32_t, pinnedWordCount>;
PinnedWords pinnedWords(const MeshVertex& vertex);

struct PinnedSample {
    int32_t vertex;
    PinnedWords words;
};

// One slot's results: a hash of each vertex's words, and the words themselves of some vertices,
// so that a failure can show the values that were pinned.
struct PinnedResult {
    int32_t slot;
    std::vector<uint32_t> vertexHashes;
    std::vector<PinnedSample> samples;
};

// The results as pinned_results.inc holds them, slots 1 to 4.
const std::vector<PinnedResult>& pinnedResults();

// Empty when `scene` holds `pinned`'s bits; otherwise the first vertex and field that differ,
// with both values where the vertex was sampled, and the first sampled one that differs.
std::string firstPinDifference(const Scene& scene, const PinnedResult& pinned);

// The results in `state`'s slots 1 to 4 as pinned_results.inc holds them.
std::string pinnedResultsText(const DriverState& state);
