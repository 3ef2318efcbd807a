// The figure's bones: regions of the mesh found by distance along its edges, so that two legs
// side by side stay apart, and weights that ease from each region into its neighbours.
#pragma once

#include <string>
#include <vector>

#include "figure/figure_mesh.h"

struct BoneWeights {
    int bones = 0;
    std::vector<int> region;     // per vertex, the bone whose region holds it
    std::vector<float> weights;  // per vertex, `bones` weights 0..1
};

// Mesh edges as neighbour lists with their lengths.
struct MeshGraph {
    std::vector<std::vector<std::pair<int, double>>> neighbours;
};

MeshGraph graphOf(const FigureMesh& mesh);

// Splits the mesh into `bones` regions: every separate piece gets at least one bone and the
// others go by size; within a piece, the seeds are its deepest point and then, one by one, the
// point farthest along the mesh from every seed so far, which finds the tips of the limbs and
// the head first; each vertex belongs to its nearest seed along the mesh. Weights are 1 in a bone's
// region and ease to 0 over `reach` pixels along the mesh. False with a message when the pieces
// outnumber the bones.
bool findBoneRegions(const FigureMesh& mesh, int bones, double reach, BoneWeights& result,
                     std::string& error);
