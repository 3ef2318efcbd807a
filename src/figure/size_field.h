// How long a mesh edge should be at each pixel: the mesh spacing where the figure is wide, the
// local width where a part is thinner than that, so that a thin limb still gets a row of
// triangles across it, and never changing faster than `grading` pixels per pixel.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "figure/grid.h"
#include "figure/vec2.h"

struct SizeSettings {
    double spacing = 12.0;  // the edge length where the figure is wide
    double smallest = 3.0;  // no edge is asked to be shorter
    double grading = 0.3;
};

// `region` is what the mesh fills (non-zero cells).
Grid<float> sizeField(const Grid<uint8_t>& region, const SizeSettings& settings);

// Asks for at most `value` at p, and grades the field again around it: the outline's own sides
// are short where it turns sharply, and the inside must follow.
void limitSizes(Grid<float>& size, const std::vector<std::pair<Vec2, float>>& limits,
                double grading);

// Bilinear between pixel centres, clamped to the frame.
float sampleSize(const Grid<float>& size, Vec2 p);
