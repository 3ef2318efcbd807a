// RGB to limited-range yuv420p with BT.709's matrix, the one HD video is expected to carry.
// libyuv converts from RGB with BT.601's matrix only (or full range), so this is our own.
#pragma once

#include <cstdint>

// The conversion's loops, narrowest first. Each gives the same bytes: the wider ones do the
// plain loop's integer sums on more pixels at once.
enum class ConversionLoops : int32_t {
    Portable = 0,  // plain C++ alone
    Sse2 = 1,      // 16 pixels a step
    Avx2 = 2,      // 32 pixels a step, and 3-byte pixels widened in registers
};

// The widest loops this build and CPU can run, found once.
ConversionLoops widestConversionLoops();

// Converts `width` x |height| pixels of 3 or 4 bytes (R, G, B(, A) in memory order) into the
// three planes; a negative height reads the rows upwards, as glReadPixels lays them out. Each
// chroma sample is the mean of its 2 x 2 block. Width and height must be even. Every result lies
// within a level of the exact matrix; the same input gives the same output on every machine.
// False when a size or a stride makes no sense. `widest` caps the loops used (the CPU's widest
// is taken when it is narrower); the default is the fastest this machine has.
bool rgbToBt709I420(const uint8_t* rgb, int rgbStride, int bytesPerPixel, uint8_t* y, int yStride,
                    uint8_t* u, int uStride, uint8_t* v, int vStride, int width, int height,
                    ConversionLoops widest = ConversionLoops::Avx2);
