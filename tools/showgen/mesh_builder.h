// Triangulates a figure's silhouette: a triangular lattice clipped to the shape, with the
// lattice points next to the outline pulled onto it so that the mesh edge follows the figure.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "shapes.h"

struct MeshData {
    std::vector<Vec2> vertices;           // texture pixel frame, z is 0
    std::vector<std::vector<int>> faces;  // three 0-based corners each
};

// `silhouette` gives the signed distance (negative inside) at a texture point; `spacing` is
// the lattice pitch in pixels. Only the largest connected piece is kept.
MeshData triangulateSilhouette(const std::function<double(Vec2)>& silhouette, int width, int height,
                               double spacing);

// Turns every face so that it winds counter-clockwise under `windowPosition` (a projection
// to window coordinates with y up).
void windFacesForView(MeshData& mesh, const std::function<Vec2(Vec2)>& windowPosition);

// Writes the mesh as OBJ text: "v x y z" lines, then "f a b c" lines counted from 1.
bool writeObj(const std::string& path, const MeshData& mesh);
