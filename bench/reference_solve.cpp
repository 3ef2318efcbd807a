#include "reference_solve.h"

#include <cmath>

#include "deform/shape_matching.h"
#include "driver/solve.h"
#include "render/window_projection.h"

namespace reference {
namespace {

bool isFinite(const Vec3f& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Whether q's window position, divided by its window depth, lies inside the viewport and above
// the bottom margin. A point that cannot be projected counts as outside.
bool staysInView(const Vec3f& q, const MatrixStore& matrices) {
    WindowPosition w;
    if (!projectToWindow(matrices, double(q.x), double(q.y), double(q.z), w)) return false;
    const double sx = w.x / w.z;
    const double sy = w.y / w.z;
    return sx > 0.0 && sy > SOLVE_BOTTOM_MARGIN && sx < double(matrices.viewport[2]) &&
           sy < double(matrices.viewport[3]);
}

void runBoneSteps(Scene& scene) {
    std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    // The lists are sized by the loader; a short list or a missing mask is skipped rather than
    // read past.
    size_t bones = scene.boneCount;
    if (scene.boneVertices.size() < bones) bones = scene.boneVertices.size();
    if (scene.boneMasks.size() < bones) bones = scene.boneMasks.size();
    for (size_t b = 0; b < bones; ++b) {
        if (!scene.boneMasks[b]) continue;
        const std::vector<int32_t>& members = scene.boneVertices[b];
        // The loader's cached mask values when they fit the member list, else the mask itself.
        if (b < scene.boneMemberValues.size() &&
            scene.boneMemberValues[b].size() == members.size()) {
            shapeMatchBoneCached(vertices, members, scene.boneMemberValues[b]);
        } else {
            shapeMatchBone(vertices, members, *scene.boneMasks[b]);
        }
    }
}

void clearSums(MeshVertex& v) {
    v.weightSum = 0.0f;
    v.goalSum = Vec3f{0.0f, 0.0f, 0.0f};
}

}  // namespace

void solveDeformation(Scene& scene, const Vec3f& drift, bool rawAverage,
                      const MatrixStore& matrices) {
    std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    // Local copies: stores into the vertices could otherwise alias them for the compiler.
    const Vec3f shift = drift;
    const MatrixStore store = matrices;
    for (MeshVertex& v : vertices) clearSums(v);
    for (int sweep = 0; sweep < SOLVE_SWEEPS; ++sweep) {
        runBoneSteps(scene);
        // The next sweep's sums are cleared in the same pass that reads this sweep's; the last
        // sweep's are left in place.
        const bool clear = sweep + 1 < SOLVE_SWEEPS;
        for (MeshVertex& v : vertices) {
            const float weightSum = v.weightSum;
            const Vec3f goalSum = v.goalSum;
            if (clear) clearSums(v);
            if (v.isHandle != 0) continue;
            // No bone proposes a goal: the vertex stays where it is in both modes.
            if (weightSum == 0.0f) continue;
            const float r = 1.0f / weightSum;
            const Vec3f p{goalSum.x * r, goalSum.y * r, goalSum.z * r};
            if (rawAverage) {
                if (isFinite(p)) v.pos = p;
                continue;
            }
            const Vec3f q{p.x + shift.x, p.y + shift.y, p.z + shift.z};
            if (isFinite(q) && staysInView(q, store)) v.pos = q;
        }
    }
}

}  // namespace reference
