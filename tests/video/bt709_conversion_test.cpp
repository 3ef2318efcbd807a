#include "video/bt709_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// The matrix in doubles, limited range.
double lumaOf(double r, double g, double b) {
    return 16.0 + 219.0 / 255.0 * (0.2126 * r + 0.7152 * g + 0.0722 * b);
}
double cbOf(double r, double g, double b) {
    return 128.0 + 224.0 / 255.0 * (b - (0.2126 * r + 0.7152 * g + 0.0722 * b)) / 1.8556;
}
double crOf(double r, double g, double b) {
    return 128.0 + 224.0 / 255.0 * (r - (0.2126 * r + 0.7152 * g + 0.0722 * b)) / 1.5748;
}

TEST(Bt709Conversion, EverySampleLiesWithinALevelOfTheMatrixInEitherRowOrder) {
    // 70 columns: the fast loop's 16 at a time and a rest of 6 for the plain one.
    const int width = 70, height = 6;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> level(0, 255);
    for (int bytesPerPixel : {3, 4})
        for (bool upwards : {false, true}) {
            SCOPED_TRACE(testing::Message() << bytesPerPixel << " bytes, upwards " << upwards);
            const int stride = width * bytesPerPixel + 2;
            std::vector<uint8_t> rgb(size_t(stride) * height);
            for (uint8_t& value : rgb) value = uint8_t(level(random));
            // Pure colours and greys at the extremes, where rounding is tightest.
            for (int c = 0; c < 3; ++c) rgb[size_t(c)] = 255;
            for (int c = 0; c < 3; ++c) rgb[size_t(bytesPerPixel + c)] = uint8_t(c == 0 ? 255 : 0);
            std::vector<uint8_t> y(size_t(width) * height), u(size_t(width / 2) * height / 2),
                v(u.size());
            ASSERT_TRUE(rgbToBt709I420(rgb.data(), stride, bytesPerPixel, y.data(), width, u.data(),
                                       width / 2, v.data(), width / 2, width,
                                       upwards ? -height : height));
            // Picture row `row` from the top, read from memory upwards or downwards.
            auto pixel = [&](int x, int row) {
                const int memoryRow = upwards ? height - 1 - row : row;
                return &rgb[size_t(memoryRow) * stride + size_t(x * bytesPerPixel)];
            };
            for (int row = 0; row < height; ++row)
                for (int x = 0; x < width; ++x) {
                    const uint8_t* p = pixel(x, row);
                    ASSERT_NEAR(y[size_t(row) * width + size_t(x)], lumaOf(p[0], p[1], p[2]), 1.0)
                        << x << ", " << row;
                }
            for (int row = 0; row < height / 2; ++row)
                for (int x = 0; x < width / 2; ++x) {
                    double mean[3] = {0, 0, 0};
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx)
                            for (int c = 0; c < 3; ++c)
                                mean[c] += pixel(2 * x + dx, 2 * row + dy)[c] / 4.0;
                    const size_t at = size_t(row) * (width / 2) + size_t(x);
                    ASSERT_NEAR(u[at], cbOf(mean[0], mean[1], mean[2]), 1.0) << x << ", " << row;
                    ASSERT_NEAR(v[at], crOf(mean[0], mean[1], mean[2]), 1.0) << x << ", " << row;
                }
        }
}

// The wide loops against the plain one, bit for bit, planes' padding included: every tail
// length of the 32- and 16-column steps, both pixel sizes and row orders, extremes and noise.
TEST(Bt709Conversion, WideLoopsGiveThePortableLoopsBytes) {
    if (widestConversionLoops() < ConversionLoops::Avx2) GTEST_SKIP() << "this CPU lacks AVX2";
    struct Case {
        int width, height, bytesPerPixel;
    };
    const Case cases[] = {{2, 2, 4},   {30, 4, 3},    {32, -4, 4},   {34, 2, 3},
                          {64, -2, 3}, {1278, 4, 4},  {1280, -2, 3}, {1920, 2, 4},
                          {2, -2, 3},  {30, -2, 4},   {32, 2, 3},    {34, -4, 4},
                          {64, 4, 4},  {1278, -2, 3}, {1280, 4, 4},  {1920, -4, 3}};
    std::mt19937 random(11);
    std::uniform_int_distribution<int> level(0, 255);
    const uint8_t extremes[][3] = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},   {0, 255, 0},
                                   {0, 0, 255}, {255, 255, 0},   {0, 255, 255}, {255, 0, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.width << " x " << c.height << ", " << c.bytesPerPixel << " bytes");
        const int rows = std::abs(c.height), stride = c.width * c.bytesPerPixel + 5;
        std::vector<uint8_t> rgb(size_t(stride) * rows);
        for (uint8_t& value : rgb) value = uint8_t(level(random));
        // Runs of one extreme colour, and single ones among noise, in every row.
        for (int row = 0; row < rows; ++row)
            for (int x = 0; x < c.width; ++x)
                if ((x / 3 + row) % 4 != 0)
                    for (int k = 0; k < 3; ++k)
                        rgb[size_t(row) * stride + size_t(x * c.bytesPerPixel + k)] =
                            extremes[(x / 5 + row) % 8][k];
        const int yStride = c.width + 3, chromaStride = c.width / 2 + 3;
        auto convert = [&](ConversionLoops loops) {
            std::vector<uint8_t> planes(size_t(yStride) * rows + 2 * size_t(chromaStride) * rows,
                                        0x5A);
            uint8_t* u = planes.data() + size_t(yStride) * rows;
            uint8_t* v = u + size_t(chromaStride) * rows;
            EXPECT_TRUE(rgbToBt709I420(rgb.data(), stride, c.bytesPerPixel, planes.data(), yStride,
                                       u, chromaStride, v, chromaStride, c.width, c.height, loops));
            return planes;
        };
        const std::vector<uint8_t> portable = convert(ConversionLoops::Portable);
        for (ConversionLoops loops : {ConversionLoops::Sse2, ConversionLoops::Avx2})
            EXPECT_EQ(convert(loops), portable) << "loops " << int(loops);
    }
}

}  // namespace
