// Rows that hold a slot's figure at rest: the show turns to the slot when a row names it, and a
// handle put at its own rest place leaves the figure as it was drawn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "merge/row_files.h"
#include "scene/records.h"

// The vertex that holds a figure at rest, and its rest place in the mesh's model coordinates.
struct RestPin {
    int32_t vertex = -1;
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// The vertex nearest the mesh's centroid; vertex -1 for a mesh without vertices.
RestPin restPinOf(const Mesh& mesh);

// The rest pin of the mesh in `meshPath` as the show reads it. False with `error` when the file
// holds no vertex.
bool readRestPin(const std::string& meshPath, RestPin& pin, std::string& error);

// The row that puts `pin` at rest at `time`, as the authoring tool would print it.
RowLine restRow(float time, int32_t slot, const RestPin& pin);

// What clearing a slot's rows did.
struct ClearedRows {
    size_t replaced = 0;              // rows of the slot that went
    size_t written = 0;               // rest rows that took their place
    float first = 0.0f, last = 0.0f;  // the times of the first and the last of them
};

// Replaces the rows of `slot` by rows that hold `pin` at rest: each run of the slot's rows in
// a row gives way to a row at its first time and one at its last, so that the show turns to
// the slot and away from it exactly when it did. The other slots' rows stay as they are.
ClearedRows clearSlotRows(std::vector<RowLine>& script, int32_t slot, const RestPin& pin);

// "the 1000 rows of slot 1 (kiv), 20.02-39.98 s", for notes about cleared rows.
std::string describeClearedRows(const ClearedRows& cleared, int32_t slot);
