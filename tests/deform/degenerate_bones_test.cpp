// Bones whose covariance is singular in ways that only show in double rounding. The fuzzer found
// the first: two members on a line, with a depth of about 1e-38, gave a rotation that was no
// number, and every vertex of the bone (and of the bones sharing it) stopped moving.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "deform/matrix_decomposition.h"
#include "deform/shape_matching.h"

namespace {

bool finite(const Matrix4& m) {
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (!std::isfinite(m.m[i][j])) return false;
        }
    }
    return true;
}

}  // namespace

TEST(DegenerateBones, ParallelRowsAfterTheColumnReflectionGiveTheRankOneAnswer) {
    // Rows 0 and 1 equal, row 2 of 1e-38: singular, with cofactors of 1e-77 that lead into the
    // rank-two path, where the reflected rows 0 and 1 are equal in double precision.
    const double a = 1.0196079015731812;
    const double t = -8.9537787066037809e-39;
    Matrix4 m{};
    m.m[0][0] = a, m.m[0][1] = a, m.m[0][2] = t;
    m.m[1][0] = a, m.m[1][1] = a, m.m[1][2] = t;
    m.m[2][0] = t, m.m[2][1] = t, m.m[2][2] = 0.0;
    Matrix4 q;
    EXPECT_EQ(polarDecompose(m, q), 1);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) EXPECT_EQ(q.m[i][j], i == j ? 1.0 : 0.0) << i << ", " << j;
    }
    Matrix4 r;
    EXPECT_EQ(invertUnlessReflection(q, r), 1);
    EXPECT_TRUE(finite(r));

    // Without the depth the cofactors vanish: rank 1, the identity, as before.
    m.m[0][2] = m.m[1][2] = m.m[2][0] = m.m[2][1] = 0.0;
    EXPECT_EQ(polarDecompose(m, q), 1);
    EXPECT_EQ(q.m[0][0], 1.0);
    EXPECT_EQ(q.m[0][1], 0.0);
}

TEST(DegenerateBones, TwoMembersOnALineWithATinyDepthKeepTheirPlaces) {
    ImagePtr mask(createImage(1, 1, 1));
    mask->pixels[0] = 130;
    std::vector<MeshVertex> vertices(2);
    vertices[0].restPos = Vec3f{0.0f, 0.0f, 2.350988701644575e-38f};
    vertices[1].restPos = Vec3f{2.0f, 2.0f, 5.946707108636798e-39f};
    for (MeshVertex& v : vertices) v.pos = v.restPos;
    shapeMatchBone(vertices, {0, 1}, *mask);
    for (const MeshVertex& v : vertices) {
        ASSERT_GT(v.weightSum, 0.0f);
        ASSERT_TRUE(std::isfinite(v.goalSum.x) && std::isfinite(v.goalSum.y) &&
                    std::isfinite(v.goalSum.z));
        // At rest, every goal is the member's own place.
        EXPECT_FLOAT_EQ(v.goalSum.x / v.weightSum, v.pos.x);
        EXPECT_FLOAT_EQ(v.goalSum.y / v.weightSum, v.pos.y);
        EXPECT_NEAR(v.goalSum.z / v.weightSum, v.pos.z, 1e-37f);
    }
}
