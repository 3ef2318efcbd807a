// Filters a supersampled picture down: every output pixel is the mean of its k x k block.
#pragma once

#include <cstdint>

// `in` holds (width * k) x (height * k) RGBA pixels, `out` width x height; rows packed, in the
// same order (either end first). Rounds to nearest, but for k = 2 and 4, whose means come from
// halvings that each round half up: up to 1 (k = 2) or 2 (k = 4) above the exact mean.
void boxFilterDown(const uint8_t* in, int width, int height, int k, uint8_t* out);
