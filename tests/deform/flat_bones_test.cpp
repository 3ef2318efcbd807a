// Bones whose members share one rest depth. Their covariance has no third row, and the rank-two
// path finds their turns about the z axis; but the float rest centroid's depth can come out an
// ulp off the shared one, leaving a third row of about 1e-7 that made the fit a reflection and
// the bone a mere translation. These cases all did so.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "deform/bone_layout.h"
#include "deform/shape_matching.h"

namespace {

struct FlatCase {
    float depth;
    bool handle;  // the first member is a handle
    unsigned seed;
};

// Eight members at `depth`, each on a painted pixel of its own value, turned by 0.5 rad about the
// z axis and moved, the depth too.
Scene flatBone(const FlatCase& c) {
    Scene scene{};
    scene.boneCount = 1;
    scene.boneMasks.emplace_back(createImage(1, 64, 64));
    scene.boneVertices.emplace_back();
    std::mt19937 random(c.seed);
    const float cosine = 0.87758255f;
    const float sine = 0.47942555f;
    for (int i = 0; i < 8; ++i) {
        MeshVertex v{};
        v.restPos.x = 4.0f + float(random() % 5600) / 100.0f;
        v.restPos.y = 4.0f + float(random() % 5600) / 100.0f;
        v.restPos.z = c.depth;
        scene.boneMasks[0]->rows[int(v.restPos.y)][int(v.restPos.x)] =
            static_cast<unsigned char>(1 + random() % 255);
        v.pos = Vec3f{cosine * v.restPos.x - sine * v.restPos.y + 3.0f,
                      sine * v.restPos.x + cosine * v.restPos.y - 2.0f, c.depth + 0.5f};
        v.isHandle = c.handle && i == 0;
        scene.mesh.vertices.push_back(v);
        scene.boneVertices[0].push_back(i);
    }
    return scene;
}

const FlatCase flatCases[] = {
    {-4.775710105895996f, false, 451},
    {-4.775710105895996f, true, 41},
    {0.3f, false, 1},
    {37.25f, true, 9},
    {-1234.567f, false, 18},
    {2.5e-3f, true, 8},
};

}  // namespace

TEST(FlatBones, TurnsAboutTheDepthAxisAreFoundAtAnyDepth) {
    for (const FlatCase& c : flatCases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << " seed " << c.seed);
        // The bone step: every goal is the member's current place, with a rest offset of depth 0.
        Scene scene = flatBone(c);
        shapeMatchBone(scene.mesh.vertices, scene.boneVertices[0], *scene.boneMasks[0]);
        for (const MeshVertex& v : scene.mesh.vertices) {
            EXPECT_EQ(v.restOffset.z, 0.0f);
            EXPECT_NEAR(v.goalSum.x / v.weightSum, v.pos.x, 1e-3f);
            EXPECT_NEAR(v.goalSum.y / v.weightSum, v.pos.y, 1e-3f);
            EXPECT_NEAR(v.goalSum.z / v.weightSum, v.pos.z, 1e-3f);
        }

        // The solve's lay-out and fit: the same rotation.
        Scene laid = flatBone(c);
        BoneLayout layout;
        layBones(laid, layout);
        ASSERT_EQ(layout.scale.size(), 1u);
        std::vector<Float4> positions;
        for (const MeshVertex& v : laid.mesh.vertices) {
            EXPECT_EQ(v.restOffset.z, 0.0f);
            positions.push_back(Float4{v.pos.x, v.pos.y, v.pos.z, 0.0f});
        }
        BoneMotion motion;
        fitBone(layout, 0, positions.data(), false, motion);
        EXPECT_EQ(motion.usable, 1);
        EXPECT_NEAR(motion.column[0][0], 0.87758255, 1e-5);
        EXPECT_NEAR(motion.column[0][1], 0.47942555, 1e-5);
        EXPECT_NEAR(motion.column[2][2], 1.0, 1e-5);
    }
}
