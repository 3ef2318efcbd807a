// Takes: the runs of rows that one drag in the authoring tool prints, and how they punch into a
// script.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "merge/row_files.h"

// Seconds between two rows beyond which they belong to different drags.
constexpr double takeGapLimit = 0.25;

// A run of rows of one slot and vertex whose times never go back and never jump further than
// takeGapLimit.
struct Take {
    std::vector<RowLine> rows;
};

// Whether `next`, printed right after `last`, goes on the same drag. The authoring studio cuts
// its takes by this rule as the rows come, so that its takes are the ones splitTakes finds in
// what it printed.
bool continuesTake(const Keyframe& last, const Keyframe& next);

// Splits rows, in file order, into takes: a new take starts where the slot or the vertex changes,
// the time goes back, or the time jumps further than takeGapLimit.
std::vector<Take> splitTakes(const std::vector<RowLine>& rows);

// Keeps at most `rowsPerSecond` rows a second of the take, always its first and last row, so
// that its span stays the same.
void thinTake(Take& take, double rowsPerSecond);

// Where a row of a merged script comes from: row `row` of take `take`, or of the script when
// `take` is scriptSource.
constexpr int32_t scriptSource = -1;
struct RowSource {
    int32_t take;
    int32_t row;
};

// Each take in turn replaces the rows whose time lies within its first and last time
// (inclusive): later takes win over earlier ones and over the script. The result is sorted by
// time; rows of equal time keep their order, the script's before the takes'. Only sources are
// handed out, so that a caller that needs the rows' times alone copies no text.
std::vector<RowSource> punchTakes(const std::vector<RowLine>& script,
                                  const std::vector<Take>& takes);

inline const RowLine& sourceLine(const std::vector<RowLine>& script, const std::vector<Take>& takes,
                                 RowSource source) {
    return source.take == scriptSource ? script[size_t(source.row)]
                                       : takes[size_t(source.take)].rows[size_t(source.row)];
}

// punchTakes with the rows themselves.
std::vector<RowLine> applyTakes(const std::vector<RowLine>& script, const std::vector<Take>& takes);

// A later take whose span covers rows of an earlier one. The show plays one row at a time, so
// the covered rows are lost whatever vertex either take moves. Each covered row counts for the
// first later take that covers it: the one that replaced it when it was made.
struct TakeOverlap {
    size_t earlier;
    size_t later;
    size_t rows;  // of the earlier take's rows
};

std::vector<TakeOverlap> findOverlaps(const std::vector<Take>& takes);

// "take 2 (slot 1, vertex 7, 57.00-61.00 s)", numbered from 1.
std::string describeTake(const Take& take, size_t index);

// "take 2 (...) replaces take 1 (...)", with how many of its rows when not all.
std::string describeOverlap(const std::vector<Take>& takes, const TakeOverlap& overlap);
