// RGB to limited-range yuv420p with BT.709's matrix, the one HD video is expected to carry.
// libyuv converts from RGB with BT.601's matrix only (or full range), so this is our own.
#pragma once

#include <cstdint>

// Converts `width` x |height| pixels of 3 or 4 bytes (R, G, B(, A) in memory order) into the
// three planes; a negative height reads the rows upwards, as glReadPixels lays them out. Each
// chroma sample is the mean of its 2 x 2 block. Width and height must be even. Every result lies
// within a level of the exact matrix; the same input gives the same output on every machine.
// False when a size or a stride makes no sense.
bool rgbToBt709I420(const uint8_t* rgb, int rgbStride, int bytesPerPixel, uint8_t* y, int yStride,
                    uint8_t* u, int uStride, uint8_t* v, int vStride, int width, int height);
