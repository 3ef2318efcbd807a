// Fills a figure's outline with near-equilateral triangles: the outline polygons as fixed
// points, the inside sampled at the size field's spacing, a Delaunay triangulation that keeps
// every side of the outline, and rounds of smoothing that even the triangles out.
#pragma once

#include <cstdint>
#include <string>

#include "figure/distance_field.h"
#include "figure/figure_mesh.h"
#include "figure/grid.h"
#include "figure/outline.h"

struct MeshSettings {
    double spacing = 12.0;  // edge length where the figure is wide, in texture pixels
    double smallest = 3.0;  // the shortest edge that a thin part may ask for
    OutlineBand band;       // where the mesh's outline runs, against the field
    int smoothingRounds = 14;
};

// `piece` as for traceOutlines. The mesh is empty when the field holds no inside.
FigureMesh meshFigure(const DistanceField& field, const Grid<int32_t>& piece,
                      const MeshSettings& settings);
