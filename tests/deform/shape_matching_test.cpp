#include "deform/shape_matching.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "scene/image.h"

namespace {

ImagePtr makeMask(int width, int height) {
    return ImagePtr(createImage(1, width, height));
}

void setPixel(Image& mask, int x, int y, unsigned char value) {
    mask.rows[y][x] = value;
}

MeshVertex vertexAt(float x, float y, float z) {
    MeshVertex v{};
    v.restPos = Vec3f{x, y, z};
    v.pos = v.restPos;
    return v;
}

// The search as literally described: own pixel, then every full window of radius 1 to 7.
int plainMaskWeight(const MeshVertex& vertex, const Image& mask) {
    const int x = int(vertex.restPos.x);
    const int y = int(vertex.restPos.y);
    auto inside = [&](int cx, int cy) {
        return cx >= 0 && cx < mask.width && cy >= 0 && cy < mask.height;
    };
    if (inside(x, y) && mask.rows[y][x] != 0) return mask.rows[y][x];
    for (int r = 1; r <= 7; ++r) {
        for (int dy = -r; dy <= r - 1; ++dy) {
            for (int dx = -r; dx <= r - 1; ++dx) {
                if (inside(x + dx, y + dy) && mask.rows[y + dy][x + dx] != 0) {
                    return mask.rows[y + dy][x + dx];
                }
            }
        }
    }
    return 0;
}

bool plainMembership(const MeshVertex& vertex, const Image& mask) {
    const int x = int(vertex.restPos.x);
    const int y = int(vertex.restPos.y);
    for (int dy = -7; dy <= 7; ++dy) {
        for (int dx = -7; dx <= 7; ++dx) {
            const int cx = x + dx, cy = y + dy;
            if (cx >= 0 && cx < mask.width && cy >= 0 && cy < mask.height &&
                mask.rows[cy][cx] != 0) {
                return true;
            }
        }
    }
    return false;
}

bool sameBits(const MeshVertex& a, const MeshVertex& b) {
    return std::memcmp(&a.weightSum, &b.weightSum, sizeof(float)) == 0 &&
           std::memcmp(&a.weight, &b.weight, sizeof(float)) == 0 &&
           std::memcmp(&a.pos, &b.pos, sizeof(Vec3f)) == 0 &&
           std::memcmp(&a.restOffset, &b.restOffset, sizeof(Vec3f)) == 0 &&
           std::memcmp(&a.goalSum, &b.goalSum, sizeof(Vec3f)) == 0 &&
           std::memcmp(&a.curOffset, &b.curOffset, sizeof(Vec3f)) == 0 &&
           std::memcmp(&a.restPos, &b.restPos, sizeof(Vec3f)) == 0 && a.isHandle == b.isHandle;
}

// An irregular, non-planar shape inside a 64 x 64 mask whose values (and so weights) vary.
std::vector<MeshVertex> solidShape() {
    const float points[][3] = {{10.5f, 12.25f, 3.0f}, {40.2f, 15.7f, -6.0f}, {25.0f, 45.5f, 10.0f},
                               {50.1f, 50.9f, 0.0f},  {12.0f, 38.0f, -4.0f}, {33.3f, 30.0f, 8.0f},
                               {55.0f, 20.0f, 2.0f},  {20.0f, 25.0f, -9.0f}};
    std::vector<MeshVertex> vertices;
    for (const auto& p : points) vertices.push_back(vertexAt(p[0], p[1], p[2]));
    return vertices;
}

ImagePtr gradedMask() {
    ImagePtr mask = makeMask(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x)
            setPixel(*mask, x, y, (unsigned char)(40 + (x * 7 + y * 3) % 200));
    }
    return mask;
}

std::vector<int32_t> everyVertex(const std::vector<MeshVertex>& vertices) {
    std::vector<int32_t> members;
    for (size_t i = 0; i < vertices.size(); ++i) members.push_back(int32_t(i));
    return members;
}

void expectGoalsAtCurrentPositions(const std::vector<MeshVertex>& vertices, float tolerance) {
    for (const MeshVertex& v : vertices) {
        ASSERT_GT(v.weightSum, 0.0f);
        EXPECT_NEAR(v.goalSum.x / v.weightSum, v.pos.x, tolerance);
        EXPECT_NEAR(v.goalSum.y / v.weightSum, v.pos.y, tolerance);
        EXPECT_NEAR(v.goalSum.z / v.weightSum, v.pos.z, tolerance);
    }
}

}  // namespace

TEST(MaskWeight, OwnPixelThenWindowsReachingFurtherUpAndLeft) {
    // Each case: non-zero pixels relative to the vertex's pixel (20, 20), and the value.
    struct Pixel {
        int dx, dy;
        unsigned char value;
    };
    const struct {
        std::vector<Pixel> pixels;
        int expected;
    } cases[] = {
        {{{0, 0, 42}, {-1, -1, 9}}, 42},
        {{{-1, -1, 10}, {0, -1, 200}}, 10},
        {{{1, 0, 33}}, 33},
        // The window of radius 1 stops short of +1, so radius 2 finds the upper pixel first.
        {{{1, 0, 6}, {-2, -1, 7}}, 7},
        {{{-2, -2, 5}, {1, -1, 6}}, 5},
        {{{7, 0, 99}}, 0},
        {{{0, 7, 99}}, 0},
        {{{-7, -7, 31}}, 31},
        {{{6, 6, 32}}, 32},
        {{{6, 6, 32}, {-7, 6, 3}}, 3},
        {{{-8, 0, 77}}, 0},
        {{}, 0},
    };
    for (const auto& c : cases) {
        ImagePtr mask = makeMask(40, 40);
        for (const Pixel& p : c.pixels) setPixel(*mask, 20 + p.dx, 20 + p.dy, p.value);
        EXPECT_EQ(maskWeight(vertexAt(20.9f, 20.5f, 0.0f), *mask), c.expected)
            << "first pixel at " << (c.pixels.empty() ? 0 : c.pixels[0].dx) << ","
            << (c.pixels.empty() ? 0 : c.pixels[0].dy);
    }
}

TEST(MaskWeight, PixelsOutsideThePictureAreSkipped) {
    ImagePtr mask = makeMask(20, 20);
    setPixel(*mask, 0, 5, 77);
    setPixel(*mask, 1, 5, 88);
    // Column -3 is left of the picture; the window of radius 4 is the first to reach column 0.
    EXPECT_EQ(maskWeight(vertexAt(-3.2f, 5.5f, 0.0f), *mask), 77);
    // Above and left of the top-left corner: the windows reach only 6 pixels down and right.
    ImagePtr corner = makeMask(20, 20);
    setPixel(*corner, 0, 0, 12);
    EXPECT_EQ(maskWeight(vertexAt(-6.0f, -6.0f, 0.0f), *corner), 12);
    EXPECT_EQ(maskWeight(vertexAt(-7.0f, -6.0f, 0.0f), *corner), 0);

    // Pixel coordinates truncate toward zero: x = -0.5 is column 0, not column -1 (which
    // would find the top-left pixel first in the window of radius 2).
    ImagePtr edge = makeMask(10, 10);
    setPixel(*edge, 0, 0, 3);
    setPixel(*edge, 0, 2, 150);
    EXPECT_EQ(maskWeight(vertexAt(-0.5f, 2.0f, 0.0f), *edge), 150);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(maskWeight(vertexAt(nan, 2.0f, 0.0f), *edge), 0);
    EXPECT_EQ(maskWeight(vertexAt(1.0f, -inf, 0.0f), *edge), 0);
    EXPECT_EQ(maskWeight(vertexAt(3e9f, 2.0f, 0.0f), *edge), 0);
    EXPECT_EQ(maskWeight(vertexAt(-3e9f, 2.0f, 0.0f), *edge), 0);
}

TEST(MaskWeight, AgreesWithAPlainScanOfEveryWindow) {
    std::mt19937 random(5u);
    for (int round = 0; round < 40; ++round) {
        const int width = 8 + int(random() % 30), height = 8 + int(random() % 30);
        ImagePtr mask = makeMask(width, height);
        const int painted = 1 + int(random() % 6);
        for (int n = 0; n < painted; ++n) {
            setPixel(*mask, int(random() % unsigned(width)), int(random() % unsigned(height)),
                     (unsigned char)(1 + random() % 255));
        }
        for (int n = 0; n < 400; ++n) {
            const float x = float(int(random() % unsigned(width + 20)) - 10) + 0.25f;
            const float y = float(int(random() % unsigned(height + 20)) - 10) + 0.75f;
            const MeshVertex v = vertexAt(x, y, 0.0f);
            ASSERT_EQ(maskWeight(v, *mask), plainMaskWeight(v, *mask)) << x << "," << y;
        }
    }
}

TEST(BoneMembership, FifteenPixelSquareAroundTheRestPixel) {
    const std::vector<MeshVertex> vertices = {vertexAt(10.7f, 20.2f, 0.0f)};
    ImagePtr near = makeMask(40, 40);
    setPixel(*near, 17, 13, 1);
    ImagePtr far = makeMask(40, 40);
    setPixel(*far, 18, 20, 255);
    std::vector<int32_t> members;
    collectBoneVertices(vertices, *near, members);
    EXPECT_EQ(members, std::vector<int32_t>{0});
    members.clear();
    collectBoneVertices(vertices, *far, members);
    EXPECT_TRUE(members.empty());

    // Left of the picture, reaching column 0; and members are appended in vertex order.
    ImagePtr column = makeMask(20, 20);
    setPixel(*column, 0, 5, 9);
    const std::vector<MeshVertex> row = {vertexAt(-3.0f, 5.0f, 0.0f), vertexAt(-8.0f, 5.0f, 0.0f),
                                         vertexAt(7.0f, 12.0f, 0.0f), vertexAt(7.0f, 13.0f, 0.0f),
                                         vertexAt(-7.9f, -1.5f, 0.0f)};
    members = {100};
    collectBoneVertices(row, *column, members);
    EXPECT_EQ(members, (std::vector<int32_t>{100, 0, 2, 4}));
}

TEST(BoneMembership, AgreesWithAPlainScanOfTheSquare) {
    std::mt19937 random(11u);
    for (int round = 0; round < 30; ++round) {
        const int width = 5 + int(random() % 40), height = 5 + int(random() % 40);
        ImagePtr mask = makeMask(width, height);
        for (int n = 0; n < 3; ++n) {
            setPixel(*mask, int(random() % unsigned(width)), int(random() % unsigned(height)), 200);
        }
        std::vector<MeshVertex> vertices;
        std::vector<int32_t> expected;
        for (int n = 0; n < 300; ++n) {
            const float x = float(int(random() % unsigned(width + 30)) - 15) + 0.5f;
            const float y = float(int(random() % unsigned(height + 30)) - 15) + 0.5f;
            vertices.push_back(vertexAt(x, y, 0.0f));
            if (plainMembership(vertices.back(), *mask)) expected.push_back(n);
        }
        std::vector<int32_t> members;
        collectBoneVertices(vertices, *mask, members);
        EXPECT_EQ(members, expected);
    }
}

TEST(ShapeMatching, WeightsComeFromTheMaskAndTheHandleFlag) {
    ImagePtr mask = makeMask(10, 10);
    setPixel(*mask, 1, 1, 255);
    setPixel(*mask, 3, 1, 1);
    setPixel(*mask, 5, 1, 255);
    setPixel(*mask, 7, 1, 1);
    std::vector<MeshVertex> vertices = {vertexAt(1, 1, 0), vertexAt(3, 1, 0), vertexAt(5, 1, 2),
                                        vertexAt(7, 1, 0)};
    vertices[2].isHandle = 1;
    vertices[3].isHandle = 1;
    shapeMatchBone(vertices, everyVertex(vertices), *mask);
    EXPECT_EQ(vertices[0].weight, 1.0f);
    EXPECT_EQ(vertices[1].weight, 0.003921569f);
    EXPECT_EQ(vertices[2].weight, 1000.0f);
    EXPECT_EQ(vertices[3].weight, 0.003921569f * 1000.0f);
    for (const MeshVertex& v : vertices) EXPECT_EQ(v.weightSum, v.weight);
}

TEST(ShapeMatching, HandleDrawsTheCentroidToItself) {
    ImagePtr mask = makeMask(40, 40);
    setPixel(*mask, 2, 3, 255);
    setPixel(*mask, 30, 3, 255);
    std::vector<MeshVertex> vertices = {vertexAt(2, 3, 0), vertexAt(30, 3, 0)};
    vertices[1].isHandle = 1;
    vertices[0].pos = Vec3f{0.0f, 0.0f, 0.0f};
    vertices[1].pos = Vec3f{1001.0f, -2002.0f, 3003.0f};
    shapeMatchBone(vertices, {0, 1}, *mask);
    // The current centroid is 1000/1001 of the way from the free member to the handle.
    EXPECT_NEAR(-vertices[0].curOffset.x, 1000.0f, 1e-3f);
    EXPECT_NEAR(-vertices[0].curOffset.y, -2000.0f, 1e-3f);
    EXPECT_NEAR(-vertices[0].curOffset.z, 3000.0f, 1e-3f);
    EXPECT_NEAR(vertices[1].curOffset.x, 1.0f, 1e-3f);
    // Likewise at rest.
    EXPECT_NEAR(vertices[0].restOffset.x, -28.0f * 1000.0f / 1001.0f, 1e-4f);
}

TEST(ShapeMatching, RigidMotionsAreFound) {
    const ImagePtr mask = gradedMask();
    {
        // At rest, two overlapping bones: every goal is the rest position.
        std::vector<MeshVertex> vertices = solidShape();
        shapeMatchBone(vertices, {0, 1, 2, 3, 5, 7}, *mask);
        shapeMatchBone(vertices, {1, 2, 4, 5, 6, 7}, *mask);
        expectGoalsAtCurrentPositions(vertices, 2e-4f);
    }
    {
        // Turned 90 degrees about z and moved.
        std::vector<MeshVertex> vertices = solidShape();
        for (MeshVertex& v : vertices)
            v.pos = Vec3f{100.0f - v.restPos.y, v.restPos.x - 20.0f, v.restPos.z + 5.0f};
        shapeMatchBone(vertices, everyVertex(vertices), *mask);
        expectGoalsAtCurrentPositions(vertices, 2e-4f);
    }
    {
        // Turned about a slanted axis.
        std::vector<MeshVertex> vertices = solidShape();
        const double angle = 2.3, c = std::cos(angle), s = std::sin(angle);
        const double x = 2 / 3.0, y = -1 / 3.0, z = 2 / 3.0, t = 1 - c;
        const double r[3][3] = {{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
                                {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
                                {t * x * z - s * y, t * y * z + s * x, t * z * z + c}};
        for (MeshVertex& v : vertices) {
            const double p[3] = {v.restPos.x, v.restPos.y, v.restPos.z};
            v.pos = Vec3f{float(r[0][0] * p[0] + r[0][1] * p[1] + r[0][2] * p[2] - 3),
                          float(r[1][0] * p[0] + r[1][1] * p[1] + r[1][2] * p[2] + 4),
                          float(r[2][0] * p[0] + r[2][1] * p[1] + r[2][2] * p[2] + 5)};
        }
        shapeMatchBone(vertices, everyVertex(vertices), *mask);
        expectGoalsAtCurrentPositions(vertices, 2e-4f);
    }
}

TEST(ShapeMatching, FlatBoneStillFindsTurnsAboutItsNormal) {
    const ImagePtr mask = gradedMask();
    std::vector<MeshVertex> vertices = solidShape();
    const double angle = 0.5, c = std::cos(angle), s = std::sin(angle);
    for (MeshVertex& v : vertices) {
        v.restPos.z = 5.0f;
        const double x = v.restPos.x - 30.0, y = v.restPos.y - 30.0;
        v.pos = Vec3f{float(c * x - s * y + 37.0), float(s * x + c * y + 27.0), 16.0f};
    }
    shapeMatchBone(vertices, everyVertex(vertices), *mask);
    expectGoalsAtCurrentPositions(vertices, 2e-4f);
}

TEST(ShapeMatching, MirroredShapeOnlyMovesAlong) {
    ImagePtr mask = makeMask(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) setPixel(*mask, x, y, 255);
    }
    // Weights 1 and integer corners keep both centroids exact: (19, 17.5, 2) at rest.
    std::vector<MeshVertex> vertices = {vertexAt(10, 10, 0), vertexAt(30, 12, 4),
                                        vertexAt(14, 28, -6), vertexAt(22, 20, 10)};
    for (MeshVertex& v : vertices)
        v.pos = Vec3f{60.0f - v.restPos.x, v.restPos.y + 1.0f, v.restPos.z};
    shapeMatchBone(vertices, everyVertex(vertices), *mask);
    const Vec3f current{41.0f, 18.5f, 2.0f};
    for (const MeshVertex& v : vertices) {
        EXPECT_EQ(v.restOffset.x, v.restPos.x - 19.0f);
        EXPECT_EQ(v.restOffset.y, v.restPos.y - 17.5f);
        EXPECT_EQ(v.goalSum.x, v.restOffset.x + current.x);
        EXPECT_EQ(v.goalSum.y, v.restOffset.y + current.y);
        EXPECT_EQ(v.goalSum.z, v.restOffset.z + current.z);
        EXPECT_EQ(v.weightSum, 1.0f);
    }
}

TEST(ShapeMatching, StoredValuesFollowTheirPrecision) {
    ImagePtr mask = makeMask(64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) setPixel(*mask, x, y, 200);
    }
    const float w = 200.0f * 0.003921569f;
    {
        // Three members on a line: the covariance has rank 1, so the rotation is exactly the
        // identity, and the goals are offset plus centroid.
        std::vector<MeshVertex> vertices = {vertexAt(1, 0, 0), vertexAt(4, 0, 0),
                                            vertexAt(9, 0, 0)};
        for (MeshVertex& v : vertices) {
            v.pos = Vec3f{v.restPos.x * 1.1f + 0.3f, 0.0f, 0.0f};
            v.goalSum = Vec3f{0.1f, -0.1f, 0.5f};
            v.weightSum = 2.0f;
        }
        const std::vector<MeshVertex> before = vertices;
        shapeMatchBone(vertices, everyVertex(vertices), *mask);

        // Centroid: float sums times a float reciprocal of the total weight.
        const float total = w + w + w;
        const float k = float(1.0 / double(total));
        float restSum = 0.0f, curSum = 0.0f;
        for (const MeshVertex& v : before) {
            restSum += w * v.restPos.x;
            curSum += w * v.pos.x;
        }
        const float m0 = k * restSum, m = k * curSum;
        EXPECT_NE(m0, restSum / total);
        EXPECT_NE(m, curSum / total);
        int discriminating = 0;
        for (size_t i = 0; i < vertices.size(); ++i) {
            const MeshVertex& v = vertices[i];
            const float q = before[i].restPos.x - m0;
            EXPECT_EQ(v.restOffset.x, q);
            EXPECT_EQ(v.curOffset.x, before[i].pos.x - m);
            // Goal times weight plus the earlier sum, in double, rounded once.
            const float expected =
                float((double(q) + double(m)) * double(w) + double(before[i].goalSum.x));
            EXPECT_EQ(v.goalSum.x, expected);
            discriminating += expected != before[i].goalSum.x + (q + m) * w;
            EXPECT_EQ(v.weightSum, 2.0f + w);
        }
        EXPECT_GT(discriminating, 0);
    }
    {
        // Mirrored, so without rotation: goal and sum stay in float.
        std::vector<MeshVertex> vertices = {vertexAt(10, 10, 0), vertexAt(30, 12, 4),
                                            vertexAt(14, 28, -6), vertexAt(22, 20, 10)};
        for (MeshVertex& v : vertices) {
            v.pos = Vec3f{60.3f - v.restPos.x, v.restPos.y * 1.01f, v.restPos.z};
            v.goalSum = Vec3f{0.1f, 0.1f, 0.0f};
        }
        const std::vector<MeshVertex> before = vertices;
        shapeMatchBone(vertices, everyVertex(vertices), *mask);
        const float k = float(1.0 / double(w + w + w + w));
        float curSum = 0.0f;
        for (const MeshVertex& v : before) curSum += w * v.pos.x;
        const float m = k * curSum;
        int discriminating = 0;
        for (size_t i = 0; i < vertices.size(); ++i) {
            const float q = vertices[i].restOffset.x;
            const float expected = before[i].goalSum.x + (q + m) * w;
            EXPECT_EQ(vertices[i].goalSum.x, expected);
            discriminating += expected != float((double(q) + double(m)) * double(w) +
                                                double(before[i].goalSum.x));
        }
        EXPECT_GT(discriminating, 0);
    }
}

TEST(ShapeMatching, MembersWithoutWeightAreLeftAlone) {
    ImagePtr mask = makeMask(40, 40);
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
    setPixel(*mask, 27, 20, 120);
    std::vector<int32_t> members;
    collectBoneVertices(vertices, *mask, members);
    ASSERT_EQ(members, std::vector<int32_t>{1});

    // An empty member list touches nothing.
    std::vector<MeshVertex> untouched = vertices;
    shapeMatchBone(untouched, {}, *mask);
    for (size_t i = 0; i < vertices.size(); ++i) EXPECT_TRUE(sameBits(untouched[i], vertices[i]));

    // Every member without weight: only the weights change.
    std::vector<MeshVertex> after = vertices;
    shapeMatchBone(after, members, *mask);
    EXPECT_EQ(after[1].weight, 0.0f);
    after[1].weight = 0.5f;
    for (size_t i = 0; i < vertices.size(); ++i) EXPECT_TRUE(sameBits(after[i], vertices[i]));

    // With weighted members beside it, the weightless one still keeps its fields.
    setPixel(*mask, 5, 5, 255);
    setPixel(*mask, 25, 8, 90);
    after = vertices;
    shapeMatchBone(after, {0, 1, 2}, *mask);
    after[1].weight = 0.5f;
    EXPECT_TRUE(sameBits(after[1], vertices[1]));
    EXPECT_FALSE(sameBits(after[0], vertices[0]));
    EXPECT_TRUE(sameBits(after[3], vertices[3]));
}

TEST(ShapeMatching, CachedMaskValuesGiveTheSameBitsAsTheMask) {
    std::mt19937 random(11u);
    for (int round = 0; round < 20; ++round) {
        // Sparse masks, so that many members take their values from the window search.
        ImagePtr mask = makeMask(48, 48);
        for (int n = 0; n < 60; ++n) {
            setPixel(*mask, int(random() % 48u), int(random() % 48u),
                     (unsigned char)(1 + random() % 255));
        }
        std::vector<MeshVertex> vertices;
        for (int n = 0; n < 80; ++n) {
            MeshVertex v = vertexAt(float(random() % 4800u) / 100.0f,
                                    float(random() % 4800u) / 100.0f, float(random() % 9u));
            v.pos = Vec3f{v.restPos.y * 0.9f + 3.0f, -v.restPos.x + 1.5f, v.restPos.z * 1.1f};
            v.isHandle = uint8_t(n % 17 == 0);
            vertices.push_back(v);
        }
        std::vector<int32_t> members;
        collectBoneVertices(vertices, *mask, members);
        std::vector<uint8_t> values;
        collectMemberMaskValues(vertices, members, *mask, values);
        ASSERT_EQ(values.size(), members.size());
        for (size_t k = 0; k < members.size(); ++k) {
            ASSERT_EQ(values[k], maskWeight(vertices[size_t(members[k])], *mask));
        }

        std::vector<MeshVertex> fromMask = vertices;
        std::vector<MeshVertex> fromCache = vertices;
        shapeMatchBone(fromMask, members, *mask);
        shapeMatchBoneCached(fromCache, members, values);
        for (size_t i = 0; i < vertices.size(); ++i) {
            ASSERT_TRUE(sameBits(fromMask[i], fromCache[i]))
                << "round " << round << " vertex " << i;
        }
    }
}
