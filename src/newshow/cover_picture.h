// A user's picture made into a background: scaled to cover the whole window and centred.
#pragma once

#include "figure/drawing.h"
#include "showgen/raster.h"

// `drawing` scaled by one factor until it covers width x height, the overhang cut off evenly on
// both sides; a transparent drawing lies on black. Shrinking averages the pixels a target pixel
// covers, enlarging interpolates between the nearest four.
Picture coverPicture(const Drawing& drawing, int width, int height);
