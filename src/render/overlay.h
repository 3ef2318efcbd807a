// Drawing over the finished picture in window pixels (origin top-left, y down), with blending
// and none of the mesh's state: the heads-up line and the timeline strip. Everything the
// overlay changes is saved first and given back at its end, so that the next frame, picking
// included, sees the GL state it would have seen without it.
#pragma once

#include <cstdint>

void beginOverlay(int32_t viewportWidth, int32_t viewportHeight);
void endOverlay();
