#include "driver/solve.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "gl_context.h"
#include "render/camera.h"
#include "render/window_projection.h"
#include "scene/show_facts.h"

namespace {

// A store under which the window position of (x, y, z) is exactly (x, y) at window depth 1,
// so the on-screen test reads 0 < x < 1024 and 50 < y < 512 in model units.
MatrixStore pixelStore() {
    MatrixStore store{};
    store.viewport[2] = 1024;
    store.viewport[3] = 512;
    store.modelView[0] = store.modelView[5] = store.modelView[10] = store.modelView[15] = 1.0;
    store.projection[0] = 2.0 / 1024.0;
    store.projection[5] = 2.0 / 512.0;
    store.projection[12] = store.projection[13] = -1.0;
    store.projection[14] = store.projection[15] = 1.0;
    return store;
}

// Scene under construction: vertices first, then bones painted into masks of the given size.
struct SceneBuilder {
    Scene scene{};
    int32_t maskWidth;
    int32_t maskHeight;

    int32_t add(float x, float y, float z = 0.0f) {
        MeshVertex v{};
        v.restPos = v.pos = Vec3f{x, y, z};
        scene.mesh.vertices.push_back(v);
        return int32_t(scene.mesh.vertices.size() - 1);
    }

    // A bone whose mask holds `value` under each member's own pixel and 0 elsewhere.
    void bone(const std::vector<int32_t>& members, unsigned char value = 255) {
        ImagePtr mask(createImage(1, maskWidth, maskHeight));
        for (int32_t i : members) {
            const Vec3f& r = scene.mesh.vertices[size_t(i)].restPos;
            mask->rows[int(r.y)][int(r.x)] = value;
        }
        scene.boneVertices.push_back(members);
        scene.boneMasks.push_back(std::move(mask));
        scene.boneCount = uint32_t(scene.boneMasks.size());
    }
};

// A 13 x 13 grid over 600 x 600 around (400, 300) with three overlapping bones of different
// strengths, the way a painted picture divides a mesh.
Scene paintedGrid() {
    SceneBuilder b{Scene{}, 800, 700};
    std::vector<int32_t> left, right, bottom;
    for (int j = 0; j <= 12; ++j) {
        for (int i = 0; i <= 12; ++i) {
            const int32_t k = b.add(100.0f + 50.0f * i, 50.0f * j + 1.0f);
            if (i <= 7) left.push_back(k);
            if (i >= 5) right.push_back(k);
            if (j >= 8) bottom.push_back(k);
        }
    }
    b.bone(left, 255);
    b.bone(right, 200);
    b.bone(bottom, 77);
    return std::move(b.scene);
}

bool sameBits(const Vec3f& a, const Vec3f& b) {
    return std::memcmp(&a, &b, sizeof(Vec3f)) == 0;
}

float distance(const Vec3f& a, const Vec3f& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

}  // namespace

TEST(Solve, RestShapeWithoutDriftOrHandleStaysPut) {
    ensureGlContext();
    Scene scene = paintedGrid();
    setupCamera(scene.mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset, eyeOffset,
                startRa, startRb, windowWidth, windowHeight);
    MatrixStore store{};
    readMatrixStore(store);
    for (int frame = 0; frame < 10; ++frame) solveDeformation(scene, Vec3f{}, frame >= 5, store);
    for (const MeshVertex& v : scene.mesh.vertices) EXPECT_LT(distance(v.pos, v.restPos), 1e-3f);
}

TEST(Solve, RawAverageIsExactlyTheWeightedMeanOfTheGoals) {
    Scene scene = paintedGrid();
    scene.mesh.vertices[0].isHandle = 1;
    scene.mesh.vertices[0].pos = Vec3f{60.0f, -30.0f, 25.0f};
    scene.mesh.vertices[168].isHandle = 1;
    scene.mesh.vertices[168].pos = Vec3f{750.0f, 640.0f, -40.0f};
    Scene twin = paintedGrid();
    twin.mesh.vertices = scene.mesh.vertices;

    // Neither drift nor the window decides anything here: a store that puts every point off
    // screen and a large drift change nothing.
    solveDeformation(scene, Vec3f{0.0f, 0.0f, 0.0f}, true, pixelStore());
    solveDeformation(twin, Vec3f{500.0f, -500.0f, 90.0f}, true, MatrixStore{});

    int moved = 0;
    int divisionWouldDiffer = 0;
    for (size_t i = 0; i < scene.mesh.vertices.size(); ++i) {
        const MeshVertex& v = scene.mesh.vertices[i];
        EXPECT_TRUE(sameBits(v.pos, twin.mesh.vertices[i].pos)) << "vertex " << i;
        if (v.isHandle) continue;
        const float r = 1.0f / v.weightSum;
        EXPECT_TRUE(sameBits(v.pos, {v.goalSum.x * r, v.goalSum.y * r, v.goalSum.z * r})) << i;
        moved += !sameBits(v.pos, v.restPos);
        divisionWouldDiffer += v.goalSum.x / v.weightSum != v.pos.x ||
                               v.goalSum.y / v.weightSum != v.pos.y ||
                               v.goalSum.z / v.weightSum != v.pos.z;
    }
    EXPECT_EQ(scene.mesh.vertices[0].pos.x, 60.0f);
    EXPECT_EQ(moved, 167);
    // The data are rich enough that dividing directly would have given other floats.
    EXPECT_GT(divisionWouldDiffer, 0);
}

TEST(Solve, AHandlePullsItsBoneWhichKeepsItsShape) {
    SceneBuilder b{Scene{}, 256, 256};
    std::vector<int32_t> pulled, apart;
    for (int k = 0; k < 25; ++k)
        pulled.push_back(b.add(100.0f + 20 * (k % 5), 100.0f + 20 * (k / 5)));
    for (int i = 0; i < 4; ++i) apart.push_back(b.add(10.0f + 10 * i, 200.0f));
    b.bone(pulled);
    b.bone(apart);
    std::vector<MeshVertex>& v = b.scene.mesh.vertices;
    v[0].isHandle = 1;
    v[0].pos = Vec3f{140.0f, 130.0f, 0.0f};
    for (int frame = 0; frame < 3; ++frame) {
        solveDeformation(b.scene, Vec3f{0.0f, 0.0f, 0.0f}, false, pixelStore());
    }
    // Pinned at one corner the bone may also turn about it; either way it goes with the
    // handle: every member keeps its distance to the handle and to every other member.
    float moved = 0.0f;
    for (size_t i = 1; i < pulled.size(); ++i) {
        for (size_t k = 0; k < i; ++k) {
            EXPECT_NEAR(distance(v[i].pos, v[k].pos), distance(v[i].restPos, v[k].restPos), 1e-2f)
                << "vertices " << i << " and " << k;
        }
        EXPECT_NEAR(v[i].pos.z, 0.0f, 1e-3f);
        moved += distance(v[i].pos, v[i].restPos);
    }
    EXPECT_GT(moved / float(pulled.size() - 1), 30.0f);
    EXPECT_EQ(v[0].pos.x, 140.0f) << "the handle itself is left alone";
    for (int32_t i : apart) EXPECT_TRUE(sameBits(v[size_t(i)].pos, v[size_t(i)].restPos));
}

TEST(Solve, DriftMovesFreeVerticesUntilTheirNextStepWouldLeaveTheView) {
    // Each group is a bone of its own, lined up so that all its members reach an edge together.
    struct Case {
        const char* what;
        Vec3f drift;
        Vec3f start;
        Vec3f step;  // between members
        Vec3f end;   // of the first member
    } cases[] = {
        // 16 steps of 20 and still 30 above the margin.
        {"free to go", {0, -20, 0}, {400, 400, 5}, {10, 0, 0}, {400, 80, 5}},
        // 130 -> 110 -> 90 -> 70, and 50 is not above the margin.
        {"bottom margin", {0, -20, 0}, {400, 130, 5}, {10, 0, 0}, {400, 70, 5}},
        // Never moves: its first step would already end inside the margin.
        {"inside margin", {0, -20, 0}, {400, 60, 5}, {10, 0, 0}, {400, 60, 5}},
        {"left edge", {-20, 0, 0}, {60, 200, 0}, {0, 10, 0}, {20, 200, 0}},
        {"right edge", {20, 0, 0}, {964, 200, 0}, {0, 10, 0}, {1004, 200, 0}},
        {"top edge", {0, 20, 0}, {300, 452, 0}, {10, 0, 0}, {300, 492, 0}},
        // Depth does not matter to the window test here: 16 full steps.
        {"depth", {0, 0, -2.5f}, {300, 300, 0}, {10, 0, 0}, {300, 300, -40}},
    };
    for (const Case& c : cases) {
        SceneBuilder b{Scene{}, 1024, 512};
        std::vector<int32_t> group, other;
        // The other group starts half a frame's drift before the middle of the view, so that
        // it stays in view the whole frame.
        const Vec3f otherStart{500.0f - 8 * c.drift.x, 300.0f - 8 * c.drift.y, 0.0f};
        for (int i = 0; i < 4; ++i) {
            group.push_back(b.add(c.start.x + c.step.x * i, c.start.y + c.step.y * i,
                                  c.start.z + c.step.z * i));
            other.push_back(b.add(otherStart.x + 10 * i, otherStart.y));
        }
        b.bone(group);
        b.bone(other);
        solveDeformation(b.scene, c.drift, false, pixelStore());
        for (int i = 0; i < 4; ++i) {
            const Vec3f& p = b.scene.mesh.vertices[size_t(group[size_t(i)])].pos;
            const Vec3f& o = b.scene.mesh.vertices[size_t(other[size_t(i)])].pos;
            EXPECT_TRUE(sameBits(
                p, {c.end.x + c.step.x * i, c.end.y + c.step.y * i, c.end.z + c.step.z * i}))
                << c.what << " member " << i << ": " << p.x << ' ' << p.y << ' ' << p.z;
            EXPECT_TRUE(sameBits(o, {otherStart.x + 10 * i + 16 * c.drift.x,
                                     otherStart.y + 16 * c.drift.y, 16 * c.drift.z}))
                << c.what << " other " << i << ": " << o.x << ' ' << o.y << ' ' << o.z;
        }
    }
}

TEST(Solve, AVertexWithoutGoalsOrWithGoalsBeyondFloatKeepsItsPlace) {
    for (bool rawAverage : {false, true}) {
        SCOPED_TRACE(rawAverage ? "raw average" : "shape matching");
        SceneBuilder b{Scene{}, 128, 128};
        std::vector<int32_t> bone;
        for (int i = 0; i < 4; ++i) bone.push_back(b.add(10.0f + 10 * i, 100.0f));
        // In no bone at all; and in a bone whose mask is 0 under it and everywhere near.
        const int32_t loose = b.add(5.0f, 50.0f, 3.0f);
        const int32_t unweighted = b.add(50.0f, 50.0f, 4.0f);
        b.bone(bone);
        b.bone({unweighted}, 0);
        // Both away from rest, where nothing may pull them back.
        for (int32_t i : {loose, unweighted}) b.scene.mesh.vertices[size_t(i)].pos.x += 7.0f;
        solveDeformation(b.scene, Vec3f{1.0f, 1.0f, 0.0f}, rawAverage, pixelStore());
        for (int32_t i : {loose, unweighted}) {
            const MeshVertex& v = b.scene.mesh.vertices[size_t(i)];
            EXPECT_EQ(v.weightSum, 0.0f);
            EXPECT_TRUE(sameBits(v.pos, {v.restPos.x + 7.0f, v.restPos.y, v.restPos.z}));
        }
        // The others still move.
        EXPECT_EQ(b.scene.mesh.vertices[0].pos.x, rawAverage ? 10.0f : 26.0f);

        // Eight bones sharing members far out along x: each goal is finite, their sum is not.
        SceneBuilder far{Scene{}, 64, 64};
        std::vector<int32_t> members;
        for (const Vec3f& r :
             {Vec3f{10, 10, 0}, Vec3f{20, 10, 0}, Vec3f{10, 20, 0}, Vec3f{20, 20, 5}}) {
            members.push_back(far.add(r.x, r.y, r.z));
            far.scene.mesh.vertices.back().pos.x = 5.0e37f;
        }
        for (int k = 0; k < 8; ++k) far.bone(members);
        solveDeformation(far.scene, Vec3f{0.0f, 0.0f, 0.0f}, rawAverage, pixelStore());
        for (const MeshVertex& v : far.scene.mesh.vertices) {
            EXPECT_FALSE(std::isfinite(v.goalSum.x)) << "the case this is about";
            EXPECT_EQ(v.pos.x, 5.0e37f);
            EXPECT_TRUE(std::isfinite(v.pos.y) && std::isfinite(v.pos.z));
        }
    }
}

TEST(Solve, RecentringPullsTheMeanDepthBack) {
    Scene scene{};
    Vec3f drift{3.0f, 4.0f, 5.0f};
    // No vertices: no depth to pull towards, and nothing that is not a number.
    recentreDepth(scene, drift);
    EXPECT_TRUE(sameBits(drift, {3.0f, 4.0f, 0.0f}));

    SceneBuilder b{Scene{}, 1, 1};
    for (float z : {1.0e8f, 1.0f, -1.0e8f, 1.0f}) b.add(0, 0, z);
    // Added in float in list order the depths sum to 1, so the mean is 0.25 (not 0.5).
    b.scene.mesh.meanDepth = 0.25f;
    drift.z = 7.0f;
    recentreDepth(b.scene, drift);
    EXPECT_EQ(drift.z, 0.0f);

    // The difference is taken in float (0.05f - 0.25f = -0.200000003f), the gain applied in
    // double and the result narrowed: -0.0199999996f, where a gain of 0.1f applied in float
    // would give -0.0200000014f.
    b.scene.mesh.meanDepth = 0.05f;
    recentreDepth(b.scene, drift);
    EXPECT_EQ(drift.z, -0x1.47ae14p-6f);

    b.scene.mesh.meanDepth = -11.75f;
    recentreDepth(b.scene, drift);
    EXPECT_EQ(drift.z, -1.2f);
}

TEST(Solve, WindowProjectionIsBitIdenticalToGluProject) {
    ensureGlContext();
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> coordinate(-3000.0, 3000.0);
    std::uniform_real_distribution<double> entry(-2.0, 2.0);

    // A real camera, the pixel store, random matrices and viewports, and a projection whose w
    // row is zero, which neither can project with.
    std::vector<MatrixStore> stores(21);
    Mesh mesh{};
    mesh.centre.restPos = Vec3f{400.0f, 300.0f, -12.5f};
    setupCamera(mesh, 40.0f, -300.0f, 120.0f, 900.0f, eyeOffset, eyeOffset, eyeOffset, 17.0f,
                -123.0f, windowWidth, windowHeight);
    readMatrixStore(stores[0]);
    for (int k = 1; k <= 20; ++k) {
        for (int i = 0; i < 16; ++i) {
            stores[k].modelView[i] = entry(random);
            stores[k].projection[i] = entry(random);
        }
        const int32_t viewport[4] = {k - 10, 3 * k, 100 + 37 * k, 50 + 29 * k};
        std::memcpy(stores[k].viewport, viewport, sizeof viewport);
    }
    stores.push_back(pixelStore());
    stores.push_back(pixelStore());
    stores.back().projection[15] = 0.0;

    int compared = 0;
    for (const MatrixStore& store : stores) {
        for (int n = 0; n < 2000; ++n) {
            // Floats widened, as the solve hands them over.
            const double x = double(float(coordinate(random)));
            const double y = double(float(coordinate(random)));
            const double z = double(float(coordinate(random)));
            WindowPosition g{-1.0, -1.0, -1.0};
            const bool glu = gluProject(x, y, z, store.modelView, store.projection, store.viewport,
                                        &g.x, &g.y, &g.z) == GL_TRUE;
            WindowPosition w{-1.0, -1.0, -1.0};
            ASSERT_EQ(projectToWindow(store, x, y, z, w), glu);
            if (!glu) continue;
            ASSERT_EQ(std::memcmp(&w, &g, sizeof w), 0) << w.x << ' ' << w.y << ' ' << w.z;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 2000 * 22);
}
