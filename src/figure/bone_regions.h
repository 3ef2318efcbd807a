// The figure's bones: regions of the mesh around the bones laid out on its skeleton, found by
// distance along the mesh's edges so that two legs side by side stay apart, and weights that
// ease from each region into its neighbours.
#pragma once

#include <string>
#include <vector>

#include "figure/figure_mesh.h"
#include "figure/rig_layout.h"
#include "figure/skeleton.h"

struct BoneWeights {
    int bones = 0;
    std::vector<int> region;     // per vertex, the bone whose region holds it
    std::vector<float> weights;  // per vertex, `bones` weights 0..1
    // Per vertex, which part of its bone it lies in: the parts of a bone that branches share
    // each hold together, but not with one another (0: the ground and the trunk).
    std::vector<int> part;
};

// Mesh edges as neighbour lists with their lengths.
struct MeshGraph {
    std::vector<std::vector<std::pair<int, double>>> neighbours;
};

MeshGraph graphOf(const FigureMesh& mesh);

// Splits the mesh into `bones` regions: every separate piece gets at least one bone and the
// others go by size; within a piece the bones are laid out on its skeleton (in the mesh's
// frame), and each vertex belongs to the bone of its nearest skeleton point along the mesh. A
// piece without a skeleton takes its deepest point and then, one by one, the point farthest
// along the mesh from every seed so far. Vertices marked in `ground` (a floor or a shadow the
// figure stands on) belong to their piece's trunk. Weights are 1 in a bone's region and ease to
// 0 over `reach` pixels along the mesh. False with a message when the pieces outnumber the
// bones.
bool findBoneRegions(const FigureMesh& mesh, const Skeleton& skeleton,
                     const std::vector<char>& ground, int bones, double reach, BoneWeights& result,
                     RigLayout& layout, std::string& error);
