#include "reference_solve.h"

#include <cmath>
#include <cstddef>

#include "deform/matrix_decomposition.h"
#include "deform/shape_matching.h"
#include "driver/solve.h"
#include "render/window_projection.h"

namespace reference {
namespace {

template <typename MaskValueOf>
void matchBone(std::vector<MeshVertex>& vertices, const std::vector<int32_t>& members,
               MaskValueOf valueOf) {
    MeshVertex* const v = vertices.data();
    const int32_t* const begin = members.data();
    const int32_t* const end = begin + members.size();

    // Weights are derived afresh: the driver flips handle flags between frames.
    float total = 0.0f;
    float u0x = 0.0f, u0y = 0.0f, u0z = 0.0f;
    float ux = 0.0f, uy = 0.0f, uz = 0.0f;
    for (const int32_t* it = begin; it != end; ++it) {
        MeshVertex& vertex = v[*it];
        float w = float(valueOf(it - begin, vertex)) * MASK_WEIGHT_SCALE;
        if (vertex.isHandle != 0) w = w * HANDLE_WEIGHT_FACTOR;
        vertex.weight = w;
        if (w > 0.0f) {
            total += w;
            u0x += w * vertex.restPos.x;
            u0y += w * vertex.restPos.y;
            u0z += w * vertex.restPos.z;
            ux += w * vertex.pos.x;
            uy += w * vertex.pos.y;
            uz += w * vertex.pos.z;
        }
    }
    if (!(total > 0.0f)) return;

    const float k = float(1.0 / double(total));
    const float m0x = k * u0x, m0y = k * u0y, m0z = k * u0z;
    const float mx = k * ux, my = k * uy, mz = k * uz;

    // Covariance of rest offsets (rows) against current offsets (columns): each product is
    // rounded to float before it is summed in double.
    Matrix4 a{};
    for (const int32_t* it = begin; it != end; ++it) {
        MeshVertex& vertex = v[*it];
        const float w = vertex.weight;
        if (!(w > 0.0f)) continue;
        const float qx = vertex.restPos.x - m0x;
        const float qy = vertex.restPos.y - m0y;
        const float qz = vertex.restPos.z - m0z;
        const float px = vertex.pos.x - mx;
        const float py = vertex.pos.y - my;
        const float pz = vertex.pos.z - mz;
        vertex.restOffset = Vec3f{qx, qy, qz};
        vertex.curOffset = Vec3f{px, py, pz};
        const float wx = qx * w;
        const float wy = qy * w;
        const float wz = qz * w;
        a.m[0][0] += double(wx * px);
        a.m[0][1] += double(wx * py);
        a.m[0][2] += double(wx * pz);
        a.m[1][0] += double(wy * px);
        a.m[1][1] += double(wy * py);
        a.m[1][2] += double(wy * pz);
        a.m[2][0] += double(wz * px);
        a.m[2][1] += double(wz * py);
        a.m[2][2] += double(wz * pz);
    }

    Matrix4 q;
    polarDecompose(a, q);
    Matrix4 r;
    if (invertUnlessReflection(q, r) != 0) {
        const double mdx = mx, mdy = my, mdz = mz;
        for (const int32_t* it = begin; it != end; ++it) {
            MeshVertex& vertex = v[*it];
            const float w = vertex.weight;
            if (!(w > 0.0f)) continue;
            const double qx = vertex.restOffset.x;
            const double qy = vertex.restOffset.y;
            const double qz = vertex.restOffset.z;
            const double gx = r.m[0][0] * qx + r.m[0][1] * qy + r.m[0][2] * qz + mdx;
            const double gy = r.m[1][0] * qx + r.m[1][1] * qy + r.m[1][2] * qz + mdy;
            const double gz = r.m[2][0] * qx + r.m[2][1] * qy + r.m[2][2] * qz + mdz;
            const double wd = w;
            vertex.goalSum.x = float(gx * wd + double(vertex.goalSum.x));
            vertex.goalSum.y = float(gy * wd + double(vertex.goalSum.y));
            vertex.goalSum.z = float(gz * wd + double(vertex.goalSum.z));
            vertex.weightSum += w;
        }
    } else {
        // A reflection is no motion a bone can make: it only pulls its members along.
        for (const int32_t* it = begin; it != end; ++it) {
            MeshVertex& vertex = v[*it];
            const float w = vertex.weight;
            if (!(w > 0.0f)) continue;
            vertex.goalSum.x += (vertex.restOffset.x + mx) * w;
            vertex.goalSum.y += (vertex.restOffset.y + my) * w;
            vertex.goalSum.z += (vertex.restOffset.z + mz) * w;
            vertex.weightSum += w;
        }
    }
}

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
            const uint8_t* const cached = scene.boneMemberValues[b].data();
            matchBone(vertices, members,
                      [cached](ptrdiff_t k, const MeshVertex&) { return cached[k]; });
        } else {
            const Image& mask = *scene.boneMasks[b];
            matchBone(vertices, members, [&mask](ptrdiff_t, const MeshVertex& vertex) {
                return maskWeight(vertex, mask);
            });
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
