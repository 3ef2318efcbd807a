#include "deform/bone_layout.h"

#include <algorithm>
#include <cstddef>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "deform/matrix_decomposition.h"
#include "deform/shape_matching.h"

void layBones(Scene& scene, BoneLayout& layout) {
    std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    layout.memberBegin.assign(1, 0);
    layout.scale.clear();
    layout.memberVertex.clear();
    layout.memberWeight.clear();
    layout.memberWeightedRest.clear();
    layout.memberRest.clear();

    // The lists are sized by the loader; a short list or a missing mask is skipped rather than
    // read past, as the bone steps do.
    size_t bones = scene.boneCount;
    if (scene.boneVertices.size() < bones) bones = scene.boneVertices.size();
    if (scene.boneMasks.size() < bones) bones = scene.boneMasks.size();
    for (size_t b = 0; b < bones; ++b) {
        if (!scene.boneMasks[b]) continue;
        const std::vector<int32_t>& members = scene.boneVertices[b];
        // The loader's cached mask values when they fit the member list, else the mask itself.
        const std::vector<uint8_t>* values = &layout.values;
        if (b < scene.boneMemberValues.size() &&
            scene.boneMemberValues[b].size() == members.size()) {
            values = &scene.boneMemberValues[b];
        } else {
            collectMemberMaskValues(vertices, members, *scene.boneMasks[b], layout.values);
        }

        // Step 1 of the bone step, with the same float sums in member order.
        const size_t first = layout.memberVertex.size();
        float total = 0.0f;
        float u0x = 0.0f, u0y = 0.0f, u0z = 0.0f;
        for (size_t k = 0; k < members.size(); ++k) {
            MeshVertex& vertex = vertices[size_t(members[k])];
            float w = float((*values)[k]) * MASK_WEIGHT_SCALE;
            if (vertex.isHandle != 0) w = w * HANDLE_WEIGHT_FACTOR;
            vertex.weight = w;
            if (w > 0.0f) {
                total += w;
                u0x += w * vertex.restPos.x;
                u0y += w * vertex.restPos.y;
                u0z += w * vertex.restPos.z;
                layout.memberVertex.push_back(members[k]);
                layout.memberWeight.push_back(w);
            }
        }
        if (!(total > 0.0f)) {
            layout.memberVertex.resize(first);
            layout.memberWeight.resize(first);
            continue;
        }
        const float k = float(1.0 / double(total));
        const float m0x = k * u0x, m0y = k * u0y, m0z = k * u0z;
        const bool flat = flatBone(vertices, members);
        for (size_t e = first; e < layout.memberVertex.size(); ++e) {
            MeshVertex& vertex = vertices[size_t(layout.memberVertex[e])];
            const float w = layout.memberWeight[e];
            const float qx = vertex.restPos.x - m0x;
            const float qy = vertex.restPos.y - m0y;
            const float qz = flat ? 0.0f : vertex.restPos.z - m0z;
            vertex.restOffset = Vec3f{qx, qy, qz};
            layout.memberWeightedRest.push_back(Float4{qx * w, qy * w, qz * w, 0.0f});
            layout.memberRest.push_back(Float4{qx, qy, qz, w});
        }
        layout.scale.push_back(k);
        layout.memberBegin.push_back(int32_t(layout.memberVertex.size()));
    }
    const int32_t fitted = int32_t(layout.scale.size());
    const size_t memberCount = layout.memberVertex.size();
    layout.memberCurrent.resize(memberCount);

    // An insertion sort: a scene has a handful of bones, and it allocates nothing.
    const std::vector<int32_t>& begin = layout.memberBegin;
    const auto size = [&begin](int32_t bone) {
        return begin[size_t(bone) + 1] - begin[size_t(bone)];
    };
    layout.largestFirst.resize(size_t(fitted));
    for (int32_t j = 0; j < fitted; ++j) {
        int32_t k = j;
        for (; k > 0 && size(layout.largestFirst[size_t(k) - 1]) < size(j); --k) {
            layout.largestFirst[size_t(k)] = layout.largestFirst[size_t(k) - 1];
        }
        layout.largestFirst[size_t(k)] = j;
    }

    // Each vertex's members, bone after bone: a counting sort of the member list.
    const size_t n = vertices.size();
    layout.slotBegin.assign(n + 1, 0);
    for (const int32_t v : layout.memberVertex) ++layout.slotBegin[size_t(v) + 1];
    for (size_t v = 0; v < n; ++v) layout.slotBegin[v + 1] += layout.slotBegin[v];
    layout.cursor.assign(layout.slotBegin.begin(), layout.slotBegin.end() - 1);
    layout.slotBone.resize(memberCount);
    layout.slotMember.resize(memberCount);
    layout.slotRest.resize(memberCount);
    for (int32_t j = 0; j < fitted; ++j) {
        for (int32_t e = begin[size_t(j)]; e < begin[size_t(j) + 1]; ++e) {
            const int32_t v = layout.memberVertex[size_t(e)];
            const size_t slot = size_t(layout.cursor[size_t(v)]++);
            layout.slotBone[slot] = j;
            layout.slotMember[slot] = e;
            layout.slotRest[slot] = layout.memberRest[size_t(e)];
        }
    }

    int32_t layers = 0;
    for (size_t v = 0; v < n; ++v) {
        layers = std::max(layers, layout.slotBegin[v + 1] - layout.slotBegin[v]);
    }
    layout.layerBegin.assign(size_t(layers) + 1, 0);
    for (size_t v = 0; v < n; ++v) {
        for (int32_t k = layout.slotBegin[v]; k < layout.slotBegin[v + 1]; ++k) {
            ++layout.layerBegin[size_t(k - layout.slotBegin[v]) + 1];
        }
    }
    for (int32_t k = 0; k < layers; ++k)
        layout.layerBegin[size_t(k) + 1] += layout.layerBegin[size_t(k)];
    layout.cursor.assign(layout.layerBegin.begin(), layout.layerBegin.end() - 1);
    layout.layerVertex.resize(memberCount);
    for (size_t v = 0; v < n; ++v) {
        for (int32_t k = 0; k < layout.slotBegin[v + 1] - layout.slotBegin[v]; ++k) {
            layout.layerVertex[size_t(layout.cursor[size_t(k)]++)] = int32_t(v);
        }
    }

    layout.handle.assign((n + 3) / 4 * 4, 1);
    for (size_t v = 0; v < n; ++v) layout.handle[v] = vertices[v].isHandle != 0 ? 1 : 0;
}

namespace {

// The covariance rows as pairs of doubles, so that the sums stay in registers on every target.
struct Covariance {
    Double2 row[3][2];
};

// Inlined, so that it is built for the caller's instruction set.
template <bool keepOffsets>
inline __attribute__((always_inline)) void sumCovariance(BoneLayout& layout, int32_t begin,
                                                         int32_t end, const Float4* positions,
                                                         const Float4& m, Covariance& a) {
    const int32_t* const vertex = layout.memberVertex.data();
    const Float4* const weightedRest = layout.memberWeightedRest.data();
    Float4* const current = layout.memberCurrent.data();
    const Double2 zero{0.0, 0.0};
    Double2 a00 = zero, a02 = zero, a10 = zero, a12 = zero, a20 = zero, a22 = zero;
    for (int32_t e = begin; e < end; ++e) {
        const Float4 p = positions[vertex[e]] - m;
        if (keepOffsets) current[e] = p;
        const Float4 wq = weightedRest[e];
        const Float4 p0 = p * wq[0];
        const Float4 p1 = p * wq[1];
        const Float4 p2 = p * wq[2];
        a00 = a00 + widenLow(p0);
        a02 = a02 + widenHigh(p0);
        a10 = a10 + widenLow(p1);
        a12 = a12 + widenHigh(p1);
        a20 = a20 + widenLow(p2);
        a22 = a22 + widenHigh(p2);
    }
    a.row[0][0] = a00, a.row[0][1] = a02;
    a.row[1][0] = a10, a.row[1][1] = a12;
    a.row[2][0] = a20, a.row[2][1] = a22;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define AVX2_COVARIANCE 1

// The same sums with each row in one 256-bit register, where the CPU has AVX2.
template <bool keepOffsets>
__attribute__((target("avx2"))) void sumCovarianceAvx2(BoneLayout& layout, int32_t begin,
                                                       int32_t end, const Float4* positions,
                                                       const Float4& m, Covariance& a) {
    const int32_t* const vertex = layout.memberVertex.data();
    const Float4* const weightedRest = layout.memberWeightedRest.data();
    Float4* const current = layout.memberCurrent.data();
    const __m128 centre = __m128(m);
    __m256d row0 = _mm256_setzero_pd();
    __m256d row1 = row0;
    __m256d row2 = row0;
    for (int32_t e = begin; e < end; ++e) {
        const __m128 p = _mm_sub_ps(__m128(positions[vertex[e]]), centre);
        if (keepOffsets) current[e] = Float4(p);
        const __m128 wq = __m128(weightedRest[e]);
        row0 = _mm256_add_pd(row0, _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(wq, wq, 0x00))));
        row1 = _mm256_add_pd(row1, _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(wq, wq, 0x55))));
        row2 = _mm256_add_pd(row2, _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(wq, wq, 0xaa))));
    }
    const __m256d rows[3] = {row0, row1, row2};
    for (int i = 0; i < 3; ++i) {
        a.row[i][0] = Double2(_mm256_castpd256_pd128(rows[i]));
        a.row[i][1] = Double2(_mm256_extractf128_pd(rows[i], 1));
    }
}
#endif

template <bool keepOffsets>
void covariance(BoneLayout& layout, int32_t begin, int32_t end, const Float4* positions,
                const Float4& m, Covariance& a) {
#if defined(AVX2_COVARIANCE)
    if (__builtin_cpu_supports("avx2")) {
        sumCovarianceAvx2<keepOffsets>(layout, begin, end, positions, m, a);
        return;
    }
#endif
    sumCovariance<keepOffsets>(layout, begin, end, positions, m, a);
}

}  // namespace

VECTOR_CLONES
void fitBone(BoneLayout& layout, int32_t bone, const Float4* positions, bool keepOffsets,
             BoneMotion& motion) {
    const int32_t begin = layout.memberBegin[size_t(bone)];
    const int32_t end = layout.memberBegin[size_t(bone) + 1];
    const int32_t* const vertex = layout.memberVertex.data();
    const float* const weight = layout.memberWeight.data();

    // The current centroid: float sums in member order, each lane its own sum.
    Float4 u{0.0f, 0.0f, 0.0f, 0.0f};
    for (int32_t e = begin; e < end; ++e) u = u + positions[vertex[e]] * weight[e];
    const Float4 m = u * layout.scale[size_t(bone)];

    // Rows of the covariance: each product rounded to float, then summed in double in member
    // order.
    Covariance c;
    if (keepOffsets) {
        covariance<true>(layout, begin, end, positions, m, c);
    } else {
        covariance<false>(layout, begin, end, positions, m, c);
    }
    Matrix4 a{};
    for (int i = 0; i < 3; ++i) {
        a.m[i][0] = c.row[i][0][0];
        a.m[i][1] = c.row[i][0][1];
        a.m[i][2] = c.row[i][1][0];
    }
    Matrix4 q;
    polarDecompose(a, q);
    Matrix4 r{};
    motion.usable = invertUnlessReflection(q, r);
    for (int j = 0; j < 3; ++j) {
        motion.column[j] = Double4{r.m[0][j], r.m[1][j], r.m[2][j], 0.0};
    }
    motion.centref = m;
    widen(m, motion.centre);
}
