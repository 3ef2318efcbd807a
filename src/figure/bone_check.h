// The bones as the show will bind them, checked before a file is written: the loader's own
// membership rule and mask weights, from the deform layer, on the positions as stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "figure/figure_mesh.h"
#include "figure/grid.h"

struct BoneMembership {
    std::vector<std::vector<int32_t>> members;  // per bone, as the loader finds them
    std::vector<std::vector<int>> values;       // per bone, each member's mask value
};

BoneMembership bindFigureBones(const FigureMesh& mesh, const std::vector<Grid<uint8_t>>& masks);

// Every vertex weighs in at least one bone; every bone has three members with weight that are
// not on one line, and those members hang together by mesh edges. (A member whose mask value is
// 0 takes no part in the bone's fit, so it may lie anywhere.) Where each vertex's bone region and
// part are given, a bone may lie in as many groups as its region has parts (a floor bound to the
// trunk, branches that share a bone), each holding some of its region. False with the first
// problem.
bool checkBones(const FigureMesh& mesh, const std::vector<Grid<uint8_t>>& masks,
                std::string& problem, const std::vector<int>& region = {},
                const std::vector<int>& part = {});
