// Takes: the runs of rows that one drag in the authoring tool prints, and how they punch into a
// script.
#pragma once

#include <vector>

#include "merge/row_files.h"

// Seconds between two rows beyond which they belong to different drags.
constexpr double takeGapLimit = 0.25;

// A run of rows of one slot and vertex whose times never go back and never jump further than
// takeGapLimit.
struct Take {
    std::vector<RowLine> rows;
};

// Splits rows, in file order, into takes: a new take starts where the slot or the vertex changes,
// the time goes back, or the time jumps further than takeGapLimit.
std::vector<Take> splitTakes(const std::vector<RowLine>& rows);

// Keeps at most `rowsPerSecond` rows a second of the take, always its first and last row, so
// that its span stays the same.
void thinTake(Take& take, double rowsPerSecond);

// Each take in turn replaces the rows whose time lies within its first and last time
// (inclusive): later takes win over earlier ones and over the script. The result is sorted by
// time; rows of equal time keep their order.
std::vector<RowLine> applyTakes(const std::vector<RowLine>& script, const std::vector<Take>& takes);
