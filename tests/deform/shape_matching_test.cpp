#include "deform/shape_matching.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "scene/image.h"

namespace {

struct Painted {
    int x, y;
    unsigned char value;
};

ImagePtr makeMask(int width, int height, std::vector<Painted> pixels = {}) {
    ImagePtr mask(createImage(1, width, height));
    for (const Painted& p : pixels) mask->rows[p.y][p.x] = p.value;
    return mask;
}

ImagePtr filledMask(int size, unsigned char (*value)(int x, int y)) {
    ImagePtr mask = makeMask(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) mask->rows[y][x] = value(x, y);
    }
    return mask;
}

MeshVertex vertexAt(float x, float y, float z = 0.0f) {
    MeshVertex v{};
    v.restPos = Vec3f{x, y, z};
    v.pos = v.restPos;
    return v;
}

// First non-zero pixel of the square from (x + from, y + from) to (x + to, y + to), scanned
// row by row from the top, or 0.
int scanSquare(const Image& mask, int x, int y, int from, int to) {
    for (int cy = y + from; cy <= y + to; ++cy) {
        for (int cx = x + from; cx <= x + to; ++cx) {
            if (cx >= 0 && cx < mask.width && cy >= 0 && cy < mask.height && mask.rows[cy][cx]) {
                return mask.rows[cy][cx];
            }
        }
    }
    return 0;
}

// The search as literally described: own pixel, then every full window of radius 1 to 7.
int plainMaskWeight(const MeshVertex& vertex, const Image& mask) {
    const int x = int(vertex.restPos.x), y = int(vertex.restPos.y);
    int value = scanSquare(mask, x, y, 0, 0);
    for (int r = 1; r <= 7 && value == 0; ++r) value = scanSquare(mask, x, y, -r, r - 1);
    return value;
}

bool sameBits(const MeshVertex& a, const MeshVertex& b) {
    // The record has padding after the handle flag; compare everything before it.
    return std::memcmp(&a, &b, offsetof(MeshVertex, isHandle)) == 0 && a.isHandle == b.isHandle;
}

std::vector<int32_t> everyVertex(const std::vector<MeshVertex>& vertices) {
    std::vector<int32_t> members;
    for (size_t i = 0; i < vertices.size(); ++i) members.push_back(int32_t(i));
    return members;
}

// A bone step on all members, after which every goal is the member's current position.
void expectGoalsAtCurrentPositions(std::vector<MeshVertex> vertices, const Image& mask) {
    shapeMatchBone(vertices, everyVertex(vertices), mask);
    for (const MeshVertex& v : vertices) {
        ASSERT_GT(v.weightSum, 0.0f);
        EXPECT_NEAR(v.goalSum.x / v.weightSum, v.pos.x, 2e-4f);
        EXPECT_NEAR(v.goalSum.y / v.weightSum, v.pos.y, 2e-4f);
        EXPECT_NEAR(v.goalSum.z / v.weightSum, v.pos.z, 2e-4f);
    }
}

// An irregular, non-planar shape moved by a rotation (rows) and a shift.
std::vector<MeshVertex> movedShape(const double r[3][3], double sx, double sy, double sz) {
    const float points[][3] = {{10.5f, 12.25f, 3.0f}, {40.2f, 15.7f, -6.0f}, {25.0f, 45.5f, 10.0f},
                               {50.1f, 50.9f, 0.0f},  {12.0f, 38.0f, -4.0f}, {33.3f, 30.0f, 8.0f},
                               {55.0f, 20.0f, 2.0f},  {20.0f, 25.0f, -9.0f}};
    std::vector<MeshVertex> vertices;
    for (const auto& p : points) {
        MeshVertex v = vertexAt(p[0], p[1], p[2]);
        v.pos = Vec3f{float(r[0][0] * p[0] + r[0][1] * p[1] + r[0][2] * p[2] + sx),
                      float(r[1][0] * p[0] + r[1][1] * p[1] + r[1][2] * p[2] + sy),
                      float(r[2][0] * p[0] + r[2][1] * p[1] + r[2][2] * p[2] + sz)};
        vertices.push_back(v);
    }
    return vertices;
}

// Four members with integer rest positions.
std::vector<MeshVertex> corners() {
    return {vertexAt(10, 10, 0), vertexAt(30, 12, 4), vertexAt(14, 28, -6), vertexAt(22, 20, 10)};
}

unsigned char graded(int x, int y) {
    return (unsigned char)(40 + (x * 7 + y * 3) % 200);
}

}  // namespace

TEST(MaskWeight, OwnPixelThenWindowsReachingFurtherUpAndLeft) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float x, y;
        std::vector<Painted> pixels;
        int expected;
    } cases[] = {
        // Around the pixel (20, 20).
        {20.9f, 20.5f, {{20, 20, 42}, {19, 19, 9}}, 42},
        {20.9f, 20.5f, {{19, 19, 10}, {20, 19, 200}}, 10},
        {20.9f, 20.5f, {{21, 20, 33}}, 33},
        // The window of radius 1 stops short of +1, so radius 2 finds the upper pixel first.
        {20.9f, 20.5f, {{21, 20, 6}, {18, 19, 7}}, 7},
        {20.9f, 20.5f, {{18, 18, 5}, {21, 19, 6}}, 5},
        {20.9f, 20.5f, {{27, 20, 99}}, 0},
        {20.9f, 20.5f, {{20, 27, 99}}, 0},
        {20.9f, 20.5f, {{13, 13, 31}}, 31},
        {20.9f, 20.5f, {{26, 26, 32}}, 32},
        {20.9f, 20.5f, {{26, 26, 32}, {13, 26, 3}}, 3},
        {20.9f, 20.5f, {{12, 20, 77}}, 0},
        {20.9f, 20.5f, {}, 0},
        // Column -3 is left of the picture; the window of radius 4 is the first to reach column 0.
        {-3.2f, 5.5f, {{0, 5, 77}, {1, 5, 88}}, 77},
        // Above and left of the top-left corner: the windows reach only 6 pixels down and right.
        {-6.0f, -6.0f, {{0, 0, 12}}, 12},
        {-7.0f, -6.0f, {{0, 0, 12}}, 0},
        // Truncated toward zero: x = -0.5 is column 0, whose own pixel is found first; column -1
        // would find the top-left pixel first in the window of radius 2.
        {-0.5f, 2.0f, {{0, 0, 3}, {0, 2, 150}}, 150},
        {nan, 2.0f, {{0, 2, 150}}, 0},
        {1.0f, -inf, {{0, 2, 150}}, 0},
        {3e9f, 2.0f, {{0, 2, 150}}, 0},
        {-3e9f, 2.0f, {{0, 2, 150}}, 0},
    };
    for (const auto& c : cases) {
        const ImagePtr mask = makeMask(40, 40, c.pixels);
        EXPECT_EQ(maskWeight(vertexAt(c.x, c.y), *mask), c.expected)
            << "vertex " << c.x << "," << c.y << ", " << c.pixels.size() << " pixels";
    }
}

TEST(BoneMembership, FifteenPixelSquareAroundTheRestPixelAppendedToTheList) {
    const std::vector<MeshVertex> vertices = {vertexAt(10.7f, 20.2f)};
    std::vector<int32_t> members = {100};
    collectBoneVertices(vertices, *makeMask(40, 40, {{17, 13, 1}}), members);
    EXPECT_EQ(members, (std::vector<int32_t>{100, 0}));
    members.clear();
    collectBoneVertices(vertices, *makeMask(40, 40, {{18, 20, 255}}), members);
    EXPECT_TRUE(members.empty());
}

TEST(ShapeMatching, WeightsComeFromTheMaskAndTheHandleFlag) {
    const ImagePtr mask = makeMask(10, 10, {{1, 1, 255}, {3, 1, 1}, {5, 1, 255}, {7, 1, 1}});
    std::vector<MeshVertex> vertices = {vertexAt(1, 1), vertexAt(3, 1), vertexAt(5, 1, 2),
                                        vertexAt(7, 1)};
    vertices[2].isHandle = vertices[3].isHandle = 1;
    shapeMatchBone(vertices, everyVertex(vertices), *mask);
    const float expected[] = {1.0f, 0.003921569f, 1000.0f, 0.003921569f * 1000.0f};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(vertices[i].weight, expected[i]) << i;
        EXPECT_EQ(vertices[i].weightSum, expected[i]) << i;
    }

    // A handle draws the centroid 1000/1001 of the way from the free member to itself.
    std::vector<MeshVertex> pair = {vertexAt(2, 3), vertexAt(30, 3)};
    pair[1].isHandle = 1;
    pair[0].pos = Vec3f{0.0f, 0.0f, 0.0f};
    pair[1].pos = Vec3f{1001.0f, -2002.0f, 3003.0f};
    shapeMatchBone(pair, {0, 1}, *makeMask(40, 40, {{2, 3, 255}, {30, 3, 255}}));
    EXPECT_NEAR(-pair[0].curOffset.x, 1000.0f, 1e-3f);
    EXPECT_NEAR(-pair[0].curOffset.y, -2000.0f, 1e-3f);
    EXPECT_NEAR(-pair[0].curOffset.z, 3000.0f, 1e-3f);
    EXPECT_NEAR(pair[1].curOffset.x, 1.0f, 1e-3f);
    EXPECT_NEAR(pair[0].restOffset.x, -28.0f * 1000.0f / 1001.0f, 1e-4f);
}

TEST(ShapeMatching, RigidMotionsAreFound) {
    const ImagePtr mask = filledMask(64, graded);
    const double same[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    // At rest, with a second, overlapping bone first: every goal is the rest position.
    std::vector<MeshVertex> vertices = movedShape(same, 0, 0, 0);
    shapeMatchBone(vertices, {0, 1, 2, 3, 5, 7}, *mask);
    expectGoalsAtCurrentPositions(vertices, *mask);

    const double quarterAboutZ[3][3] = {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}};
    expectGoalsAtCurrentPositions(movedShape(quarterAboutZ, 100, -20, 5), *mask);
    // About a slanted axis: a rotation with rational entries.
    const double slanted[3][3] = {
        {2 / 3.0, -1 / 3.0, 2 / 3.0}, {2 / 3.0, 2 / 3.0, -1 / 3.0}, {-1 / 3.0, 2 / 3.0, 2 / 3.0}};
    expectGoalsAtCurrentPositions(movedShape(slanted, -3, 4, 5), *mask);

    // A flat bone still finds turns about its normal.
    vertices = movedShape(same, 0, 0, 0);
    for (MeshVertex& v : vertices) {
        v.restPos.z = 5.0f;
        const double dx = v.restPos.x - 30.0, dy = v.restPos.y - 30.0;
        v.pos = Vec3f{float(std::cos(0.5) * dx - std::sin(0.5) * dy + 37.0),
                      float(std::sin(0.5) * dx + std::cos(0.5) * dy + 27.0), 16.0f};
    }
    expectGoalsAtCurrentPositions(vertices, *mask);
}

TEST(ShapeMatching, MirroredShapeOnlyMovesAlong) {
    // Weights 1 and integer corners keep both centroids exact: (19, 17.5, 2) at rest, and
    // (41, 18.5, 2) mirrored in x and moved.
    std::vector<MeshVertex> vertices = corners();
    for (MeshVertex& v : vertices)
        v.pos = Vec3f{60.0f - v.restPos.x, v.restPos.y + 1.0f, v.restPos.z};
    shapeMatchBone(vertices, everyVertex(vertices),
                   *filledMask(64, [](int, int) { return (unsigned char)255; }));
    for (const MeshVertex& v : vertices) {
        EXPECT_EQ(v.restOffset.x, v.restPos.x - 19.0f);
        EXPECT_EQ(v.restOffset.y, v.restPos.y - 17.5f);
        EXPECT_EQ(v.goalSum.x, v.restOffset.x + 41.0f);
        EXPECT_EQ(v.goalSum.y, v.restOffset.y + 18.5f);
        EXPECT_EQ(v.goalSum.z, v.restOffset.z + 2.0f);
        EXPECT_EQ(v.weightSum, 1.0f);
    }
}

// Centroids are float sums times a float reciprocal of the total weight. With a rotation each
// goal times its weight is added to the earlier sum in double and rounded once; without one
// (a reflection) goal and sum stay in float. Either other order changes some of these values.
TEST(ShapeMatching, StoredValuesFollowTheirPrecision) {
    const ImagePtr mask = filledMask(64, [](int, int) { return (unsigned char)200; });
    // On a line the covariance has rank 1, so the rotation is exactly the identity.
    std::vector<MeshVertex> line = {vertexAt(1, 0, 0), vertexAt(4, 0, 0), vertexAt(9, 0, 0)};
    for (MeshVertex& v : line) {
        v.pos = Vec3f{v.restPos.x * 1.1f + 0.3f, 0.0f, 0.0f};
        v.goalSum = Vec3f{0.1f, -0.1f, 0.5f};
        v.weightSum = 2.0f;
    }
    shapeMatchBone(line, everyVertex(line), *mask);
    // restOffset.x, curOffset.x, goalSum.x
    const float turned[3][3] = {{-0x1.d55554p+1f, -0x1.022222p+2f, 0x1.7c51acp+0f},
                                {-0x1.55555p-1f, -0x1.77777p-1f, 0x1.eb5606p+1f},
                                {0x1.155556p+2f, 0x1.311114p+2f, 0x1.f0a6p+2f}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(line[i].restOffset.x, turned[i][0]) << i;
        EXPECT_EQ(line[i].curOffset.x, turned[i][1]) << i;
        EXPECT_EQ(line[i].goalSum.x, turned[i][2]) << i;
        EXPECT_EQ(line[i].weightSum, 2.0f + 200.0f * 0.003921569f) << i;
    }

    std::vector<MeshVertex> mirrored = corners();
    for (MeshVertex& v : mirrored) {
        v.pos = Vec3f{60.3f - v.restPos.x, v.restPos.y * 1.01f, v.restPos.z};
        v.goalSum = Vec3f{0.1f, 0.1f, 0.0f};
    }
    shapeMatchBone(mirrored, everyVertex(mirrored), *mask);
    // goalSum.x, goalSum.y
    const float moved[4][2] = {{0x1.96eef2p+4f, 0x1.029294p+3f},
                               {0x1.48f4f6p+5f, 0x1.34c4c6p+3f},
                               {0x1.c92124p+4f, 0x1.632b2ep+4f},
                               {0x1.16c2c4p+5f, 0x1.fd8d9p+3f}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(mirrored[i].goalSum.x, moved[i][0]) << i;
        EXPECT_EQ(mirrored[i].goalSum.y, moved[i][1]) << i;
    }
}

TEST(ShapeMatching, MembersWithoutWeightAreLeftAlone) {
    std::vector<MeshVertex> vertices = {vertexAt(5, 5, 0), vertexAt(20, 20, 0), vertexAt(25, 8, 1),
                                        vertexAt(30, 30, 2)};
    for (MeshVertex& v : vertices) {
        v.weight = 0.5f;
        v.restOffset = Vec3f{1.5f, 2.5f, 3.5f};
        v.curOffset = Vec3f{-1.5f, -2.5f, -3.5f};
        v.goalSum = Vec3f{7.0f, 8.0f, 9.0f};
        v.weightSum = 4.0f;
        v.pos.x += 3.0f;
    }
    // Only a pixel 7 to the right of vertex 1: a member, with nothing in its windows.
    ImagePtr mask = makeMask(40, 40, {{27, 20, 120}});
    std::vector<int32_t> members;
    collectBoneVertices(vertices, *mask, members);
    ASSERT_EQ(members, std::vector<int32_t>{1});

    // An empty member list touches nothing; a member without weight gets only its weight.
    for (const std::vector<int32_t>& list : {std::vector<int32_t>{}, members}) {
        std::vector<MeshVertex> after = vertices;
        shapeMatchBone(after, list, *mask);
        EXPECT_EQ(after[1].weight, list.empty() ? 0.5f : 0.0f);
        after[1].weight = 0.5f;
        for (size_t i = 0; i < vertices.size(); ++i) EXPECT_TRUE(sameBits(after[i], vertices[i]));
    }

    // With weighted members beside it, the weightless one still keeps its fields.
    mask->rows[5][5] = 255;
    mask->rows[8][25] = 90;
    std::vector<MeshVertex> after = vertices;
    shapeMatchBone(after, {0, 1, 2}, *mask);
    after[1].weight = 0.5f;
    EXPECT_TRUE(sameBits(after[1], vertices[1]));
    EXPECT_FALSE(sameBits(after[0], vertices[0]));
    EXPECT_TRUE(sameBits(after[3], vertices[3]));
}

// Random masks, sparse and dense, and vertices in and around them: the weights and members
// are those of a plain scan of every window, and the cached values give the same bits.
TEST(ShapeMatching, RandomMasksAgreeWithAPlainScanAndTheCachedValuesWithTheMask) {
    std::mt19937 random(5u);
    for (int round = 0; round < 40; ++round) {
        const int width = 8 + int(random() % 40), height = 8 + int(random() % 40);
        ImagePtr mask = makeMask(width, height);
        for (int n = 1 + int(random() % 40); n > 0; --n) {
            mask->rows[random() % unsigned(height)][random() % unsigned(width)] =
                (unsigned char)(1 + random() % 255);
        }
        std::vector<MeshVertex> vertices;
        std::vector<int32_t> expected;
        for (int n = 0; n < 300; ++n) {
            const float x = float(int(random() % unsigned(width + 30)) - 15) + 0.25f;
            const float y = float(int(random() % unsigned(height + 30)) - 15) + 0.75f;
            MeshVertex v = vertexAt(x, y, float(random() % 9u));
            v.pos = Vec3f{y * 0.9f + 3.0f, -x + 1.5f, v.restPos.z * 1.1f};
            v.isHandle = uint8_t(n % 17 == 0);
            ASSERT_EQ(maskWeight(v, *mask), plainMaskWeight(v, *mask)) << x << "," << y;
            if (scanSquare(*mask, int(x), int(y), -7, 7) != 0) expected.push_back(n);
            vertices.push_back(v);
        }
        std::vector<int32_t> members;
        collectBoneVertices(vertices, *mask, members);
        EXPECT_EQ(members, expected);

        std::vector<uint8_t> values;
        collectMemberMaskValues(vertices, members, *mask, values);
        ASSERT_EQ(values.size(), members.size());
        std::vector<MeshVertex> fromMask = vertices, fromCache = vertices;
        shapeMatchBone(fromMask, members, *mask);
        shapeMatchBoneCached(fromCache, members, values);
        for (size_t i = 0; i < vertices.size(); ++i) {
            ASSERT_TRUE(sameBits(fromMask[i], fromCache[i]))
                << "round " << round << " vertex " << i;
        }
    }
}
