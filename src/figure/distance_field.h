// Signed distances to a figure's outline, one per pixel centre (pixel (i, j) has its centre at
// (i + 0.5, j + 0.5)): negative inside, zero on the outline, in pixels. The mesher reads the
// outline and its surroundings from it, whether the figure comes from a drawing or a formula.
#pragma once

#include <cstdint>
#include <functional>

#include "figure/grid.h"
#include "figure/vec2.h"

using DistanceField = Grid<float>;

// Bilinear between pixel centres; points off the frame read as far outside.
float sampleField(const DistanceField& field, Vec2 p);

// The field of a pixel region (non-zero cells are inside): the outline runs along the pixel
// edges between inside and outside, halfway between their centres.
DistanceField fieldOfRegion(const Grid<uint8_t>& inside);

// A formula's field sampled at the pixel centres. Blocks of 16 x 16 pixels whose centre lies
// further out than `reach` keep that distance, which spares the formula most of the frame.
DistanceField fieldOfFormula(const std::function<double(Vec2)>& distance, int width, int height,
                             double reach);

// The region where the field is at most `level`, as 255 and 0.
Grid<uint8_t> regionWithin(const DistanceField& field, float level);
