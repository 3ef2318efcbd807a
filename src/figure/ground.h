// A floor or a cast shadow painted under the feet: a flat band, wider than the feet that stand
// on it, at the bottom of the figure. Boned like a limb it would follow whichever foot is
// dragged, so it is found and left to the trunk.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "figure/grid.h"

struct Ground {
    bool found = false;
    int top = 0, bottom = 0;  // its rows (bottom exclusive): their wide runs are the ground
    int left = 0, right = 0;  // its widest row's extent (right exclusive)
    int wide = 0;             // a run at least this long is ground
    int limbs = 0;            // how many parts stand on it
    std::vector<std::pair<int, int>> feet;  // where they meet it (columns, right exclusive)
};

// The band near the bottom of `silhouette` (non-zero cells are the figure) whose every row has a
// run of at least 30 % of the figure's width, when the row above it has two or more runs (the
// limbs standing on it) and it is flat: at least three times as wide as it is thick, at most a
// fifth of the figure's height, and wider than the limbs on it.
Ground findGround(const Grid<uint8_t>& silhouette);

// The ground's cells as 255, the rest 0: those on a wide run of one of its rows and not below a
// foot (the feet that stand in a shadow stay the feet's).
Grid<uint8_t> groundMask(const Grid<uint8_t>& silhouette, const Ground& ground);
