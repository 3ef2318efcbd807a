// Checking rows against a show folder: which slots and vertices the show holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "merge/row_files.h"
#include "scene/show_facts.h"

// How many vertices each slot of the show holds: 0 for a slot without a mesh.
struct ShowSize {
    int32_t vertexCount[sceneSlotCount] = {};
};

// Counts the vertices of the slots' meshes as the show loads them (the mirrored copy doubles a
// slot). False with a message in `error` when `folder` is not a folder.
bool readShowSize(const std::string& folder, ShowSize& size, std::string& error);

// What a check against the show dropped: rows naming a slot outside the table, and per slot,
// rows naming a vertex it does not hold.
struct DroppedRows {
    long noSuchSlot = 0;
    long bySlot[sceneSlotCount] = {};
};

// Drops the rows naming a slot or a vertex that the show does not hold, counting them in
// `dropped`; returns how many went.
long dropRowsOutsideShow(std::vector<RowLine>& rows, const ShowSize& size, DroppedRows& dropped);

// One line per slot concerned, without a program's name in front.
std::vector<std::string> describeDroppedRows(const DroppedRows& dropped, const ShowSize& size);
