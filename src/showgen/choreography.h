// The keyframe script: one handle at a time, moved along smooth paths in time with the music,
// and the slot changes at the section boundaries.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "showgen/figure.h"

struct ScriptRow {
    double time;
    int slot;
    int vertex;
    double x, y, z;  // target in the mesh's model frame (texture pixels)
};

struct SlotFigure {
    int slot = 0;
    const FigureDesign* design = nullptr;  // scale folded in
    const FigureMesh* mesh = nullptr;
};

// One row every 20 ms from the first figure's entry to just past the end of the show.
std::vector<ScriptRow> choreograph(const std::vector<SlotFigure>& figures);

// Rows in the form that the authoring tool prints them.
std::string scriptText(const std::vector<ScriptRow>& rows);
