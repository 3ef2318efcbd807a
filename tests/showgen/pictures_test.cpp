// The small pieces the pictures are made of: light, distances to outlines, mask fall-off, the
// font and the seeded random numbers that make every build paint the same. A wrong distance
// only misshapes a figure, which no check on the finished show would notice.
#include <gtest/gtest.h>

#include "showgen/figure.h"
#include "showgen/random.h"
#include "showgen/raster.h"
#include "showgen/shapes.h"
#include "showgen/stroke_font.h"

TEST(Pictures, ColoursLightAndCoverage) {
    const Colour c = hexColour(0xff8000);
    EXPECT_TRUE(c.r == 1.0f && c.g == 128.0f / 255.0f && c.b == 0.0f);
    EXPECT_TRUE(coverage(-1.0) == 1.0f && coverage(0.0) == 0.5f && coverage(1.0) == 0.0f);
    Picture p = makePicture(2, 1, Colour{0.0f, 0.0f, 0.0f});
    screenPixel(p, 0, 0, Colour{1.0f, 1.0f, 1.0f}, 0.5f);
    screenPixel(p, 0, 0, Colour{1.0f, 1.0f, 1.0f}, 0.5f);
    EXPECT_FLOAT_EQ(at(p, 0, 0).r, 0.75f);                // light adds up without passing white
    blendPixel(p, 5, 5, Colour{1.0f, 0.0f, 0.0f}, 1.0f);  // outside: ignored
}

TEST(Pictures, ShapesMeasureDistancesToTheirOutlines) {
    const std::vector<Vec2> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    const Limb limb = smoothLimb({{0, 0}, {100, 0}, {200, 0}}, 20.0, 10.0, 4);
    const struct {
        double actual, expected;
    } cases[] = {
        {circleDistance({13.0, 4.0}, {10.0, 0.0}, 2.0), 3.0},
        {ellipseDistance({30.0, 0.0}, {0.0, 0.0}, 20.0, 10.0, 0.0), 10.0},
        {ellipseDistance({0.0, 10.0}, {0.0, 0.0}, 20.0, 10.0, 0.0), 0.0},
        {taperedSegmentDistance({5.0, 10.0}, {0, 0}, {10, 0}, 2.0, 6.0), 6.0},
        {polygonDistance({5.0, 5.0}, square), -5.0},
        {polygonDistance({13.0, 5.0}, square), 3.0},
        {limbDistance({100.0, 30.0}, limb), 15.0},
        {sampleLimb({150.0, -5.0}, limb).along, 150.0},
        {smoothUnion(0.0, 0.0, 8.0), -2.0},
        {smoothUnion(-5.0, 30.0, 8.0), -5.0},
    };
    for (const auto& c : cases) EXPECT_NEAR(c.actual, c.expected, 1e-9) << &c - cases;
    EXPECT_LT(ellipseDistance({0.0, 0.0}, {0.0, 0.0}, 20.0, 10.0, 0.0), 0.0);
    EXPECT_LT(sampleLimb({150.0, -5.0}, limb).side, 0.0);
    // Far from the limb only a lower bound of the distance is given.
    EXPECT_LE(limbDistance({1000.0, 0.0}, limb), 790.0);
    EXPECT_GT(limbDistance({1000.0, 0.0}, limb), 80.0);
}

TEST(Pictures, MasksFadeOutBeyondAPartAndTheFontMeasuresItsStrokes) {
    EXPECT_TRUE(partWeight(-10.0, 26.0) == 1.0f && partWeight(-6.0, 26.0) == 1.0f);
    EXPECT_GT(partWeight(0.0, 26.0), 0.8f);
    EXPECT_GT(partWeight(20.0, 26.0), 0.0f);
    EXPECT_EQ(partWeight(26.0, 26.0), 0.0f);
    EXPECT_EQ(designToTexture({10.0, 0.0}).x, figureTextureWidth / 2.0 - 10.0);

    // Four units wide glyphs, 1.6 units between them, six units to the cap height.
    EXPECT_DOUBLE_EQ(textWidth("I", 60.0), 40.0);
    EXPECT_DOUBLE_EQ(textWidth("I I", 60.0), 136.0);
    const TextField field = textField(100, 100, "-", 10.0, 10.0, 60.0, 20.0);
    // The dash runs from (20, 40) to (40, 40).
    EXPECT_NEAR(field.distance[40 * 100 + 30], 0.5, 1e-6);
    EXPECT_NEAR(field.distance[50 * 100 + 30], 10.5, 1e-6);
    EXPECT_EQ(field.distance[90 * 100 + 90], 20.0f);
}

TEST(Pictures, TheRandomNumbersAreTheSameEveryTime) {
    Random a(0), c(7);
    EXPECT_EQ(a.next(), 0xe220a8397b1dcdafull);
    for (int i = 0; i < 1000; ++i) {
        const double u = c.uniform();
        ASSERT_TRUE(u >= 0.0 && u < 1.0) << u;
    }
}
