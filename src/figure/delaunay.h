// The Delaunay triangulation of a point set, by OpenCV's incremental subdivision.
#pragma once

#include <array>
#include <vector>

#include "figure/vec2.h"

// Triangles as indices into `points`, which must be distinct as single-precision pairs.
std::vector<std::array<int, 3>> delaunayTriangles(const std::vector<Vec2>& points);
