// The bone masks: each bone's weights painted over the mesh in the texture frame, then cleared
// wherever the loader's membership rule (a non-zero pixel within 7 pixels each way) would take
// in a vertex that is not the bone's, such as one on the other side of a narrow gap.
#pragma once

#include <cstdint>
#include <vector>

#include "figure/bone_regions.h"
#include "figure/figure_mesh.h"
#include "figure/grid.h"

std::vector<Grid<uint8_t>> paintBoneMasks(const FigureMesh& mesh, const BoneWeights& weights,
                                          int width, int height);

// The pixel that the show reads for a vertex: its stored position, truncated.
void vertexPixel(Vec2 v, int& x, int& y);
