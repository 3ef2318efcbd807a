// The supersampling filter against the plain mean of every block.
#include "video/box_filter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

TEST(BoxFilter, EveryPixelIsItsBlocksMean) {
    struct Case {
        int k;
        int above;  // how far the result may lie above the rounded mean, never below
    };
    const Case cases[] = {{2, 1}, {3, 0}, {4, 2}};
    // Odd sizes, so that rows and blocks that do not line up with SIMD widths show.
    const int width = 37, height = 11;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "k = " << c.k);
        std::vector<uint8_t> in(size_t(width * c.k) * size_t(height * c.k) * 4);
        std::srand(unsigned(c.k));
        for (uint8_t& byte : in) byte = uint8_t(std::rand());
        std::vector<uint8_t> out(size_t(width) * height * 4);
        boxFilterDown(in.data(), width, height, c.k, out.data());
        int worst = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int channel = 0; channel < 4; ++channel) {
                    int sum = 0;
                    for (int dy = 0; dy < c.k; ++dy)
                        for (int dx = 0; dx < c.k; ++dx)
                            sum += in[((size_t(y * c.k + dy) * size_t(width * c.k)) +
                                       size_t(x * c.k + dx)) *
                                          4 +
                                      size_t(channel)];
                    const int area = c.k * c.k;
                    const int mean = (sum + area / 2) / area;
                    const int got = out[(size_t(y) * width + size_t(x)) * 4 + size_t(channel)];
                    ASSERT_GE(got, mean) << x << ", " << y << " channel " << channel;
                    worst = std::max(worst, got - mean);
                }
        EXPECT_LE(worst, c.above);
    }
}
