#include "video/box_filter.h"

#include <libyuv/scale_argb.h>

#include <algorithm>
#include <cstddef>
#include <vector>

namespace {

void exactMean(const uint8_t* in, int width, int height, int k, uint8_t* out) {
    const size_t inRow = size_t(width) * size_t(k) * 4;
    const uint32_t area = uint32_t(k * k);
    std::vector<uint32_t> sums(size_t(width) * 4);
    for (int y = 0; y < height; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        // Whole rows at a time, so the reads run straight through memory.
        for (int dy = 0; dy < k; ++dy) {
            const uint8_t* row = in + (size_t(y) * size_t(k) + size_t(dy)) * inRow;
            for (int x = 0; x < width; ++x) {
                uint32_t* sum = &sums[size_t(x) * 4];
                for (int dx = 0; dx < k; ++dx) {
                    const uint8_t* pixel = row + (size_t(x) * size_t(k) + size_t(dx)) * 4;
                    sum[0] += pixel[0];
                    sum[1] += pixel[1];
                    sum[2] += pixel[2];
                    sum[3] += pixel[3];
                }
            }
        }
        uint8_t* target = out + size_t(y) * size_t(width) * 4;
        for (size_t i = 0; i < sums.size(); ++i) target[i] = uint8_t((sums[i] + area / 2) / area);
    }
}

}  // namespace

void boxFilterDown(const uint8_t* in, int width, int height, int k, uint8_t* out) {
    // libyuv's box filter averages whole blocks only for even factors, twenty times faster than
    // the loop below; for 3 it falls back to sampling, which would alias.
    if (k == 2 || k == 4) {
        // The channel order does not matter to a mean, so RGBA passes for libyuv's ARGB.
        libyuv::ARGBScale(in, width * k * 4, width * k, height * k, out, width * 4, width, height,
                          libyuv::kFilterBox);
        return;
    }
    exactMean(in, width, height, k, out);
}
