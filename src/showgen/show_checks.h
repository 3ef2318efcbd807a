// Checks that the generated show holds together under the start camera: every vertex in view
// and inside a bone, every script target and the figure it drags along kept in view.
#pragma once

#include <string>
#include <vector>

#include "showgen/choreography.h"
#include "showgen/figure.h"

struct Vec3 {
    double x, y, z;
};

// The mesh centre as the show computes it: single-precision sums times the reciprocal count.
Vec3 meshCentre(const FigureMesh& mesh);

// Reports on stderr, and returns false, when a vertex is out of view or in no bone.
bool checkFigure(const std::string& name, const BuiltFigure& figure);

// Reports on stderr, and returns false, when rows are out of order, name a missing vertex, or
// put a handle near the edge of the view.
bool checkScript(const std::vector<ScriptRow>& rows, const std::vector<SlotFigure>& figures);
