// One line of text over the finished picture, for the authoring studio.
#pragma once

#include <cstdint>

// Draws `text` in the top-left corner of the viewport, light on a dark translucent band, at two
// screen pixels per font pixel. The size is the current viewport's, in pixels. Only printable
// ASCII is drawn (anything else shows as '?'), on one line. Every GL setting and both matrices
// are as they were on return, so the next frame's pick reads back this frame's camera.
void drawHeadsUpLine(const char* text, int32_t viewportWidth, int32_t viewportHeight);
