#include "deform/bone_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "deform/matrix_decomposition.h"
#include "deform/shape_matching.h"

namespace {

// The bones that the solve runs: the lists are sized by the loader; a short list or a missing
// mask is skipped rather than read past, as the bone steps do.
size_t bonesRun(const Scene& scene) {
    size_t bones = scene.boneCount;
    if (scene.boneVertices.size() < bones) bones = scene.boneVertices.size();
    if (scene.boneMasks.size() < bones) bones = scene.boneMasks.size();
    return bones;
}

// The loader's cached mask values when they fit the member list, else none.
const std::vector<uint8_t>* cachedValues(const Scene& scene, size_t bone) {
    if (bone < scene.boneMemberValues.size() &&
        scene.boneMemberValues[bone].size() == scene.boneVertices[bone].size()) {
        return &scene.boneMemberValues[bone];
    }
    return nullptr;
}

inline uint32_t bitsOf(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Compares the scene with what the lay-out was made from, or (with `keep`) keeps it. Masks are
// only read through the loader's cached values: a scene without them is laid out every frame.
bool sameInputs(const Scene& scene, BoneLayout& layout, bool keep) {
    const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    const size_t bones = bonesRun(scene);
    size_t members = 0;
    size_t entry = 0;
    const auto see = [keep, &entry](std::vector<int32_t>& list, int32_t value) {
        if (keep) {
            list.push_back(value);
            return true;
        }
        return entry < list.size() && list[entry++] == value;
    };
    if (keep) {
        layout.seenBones.clear();
        layout.seenMembers.clear();
        layout.seenValues.clear();
    }
    if (!see(layout.seenBones, int32_t(bones))) return false;
    for (size_t b = 0; b < bones; ++b) {
        const bool masked = scene.boneMasks[b] != nullptr;
        if (!see(layout.seenBones, masked ? int32_t(scene.boneVertices[b].size()) : -1))
            return false;
        if (!masked) continue;
        const std::vector<uint8_t>* values = cachedValues(scene, b);
        if (values == nullptr) return false;
        const std::vector<int32_t>& list = scene.boneVertices[b];
        if (keep) {
            layout.seenMembers.insert(layout.seenMembers.end(), list.begin(), list.end());
            layout.seenValues.insert(layout.seenValues.end(), values->begin(), values->end());
        } else if (members + list.size() > layout.seenMembers.size() ||
                   !std::equal(list.begin(), list.end(), layout.seenMembers.begin() + members) ||
                   !std::equal(values->begin(), values->end(),
                               layout.seenValues.begin() + members)) {
            return false;
        }
        members += list.size();
    }
    if (!keep && (entry != layout.seenBones.size() || members != layout.seenMembers.size()))
        return false;
    if (keep) layout.seenVertices.resize(vertices.size() * 4);
    if (layout.seenVertices.size() != vertices.size() * 4) return false;
    uint32_t* seen = layout.seenVertices.data();
    uint32_t differ = 0;
    for (const MeshVertex& v : vertices) {
        const uint32_t now[4] = {bitsOf(v.restPos.x), bitsOf(v.restPos.y), bitsOf(v.restPos.z),
                                 v.isHandle};
        for (int i = 0; i < 4; ++i) {
            if (keep) seen[i] = now[i];
            differ |= seen[i] ^ now[i];
        }
        seen += 4;
    }
    return differ == 0;
}

// Cuts the vertices into `parts` runs of about equal work (a vertex and each of its members
// one unit apiece), each but the last a whole number of cache lines of positions, and lists
// every part's members bone after bone: first those that are their vertex's first member, then
// the others.
void cutParts(BoneLayout& layout, size_t n, int32_t parts) {
    constexpr int32_t ALIGN = 16;
    const int32_t runs = 2 * int32_t(layout.scale.size());
    layout.parts = parts;
    layout.partVertexBegin.assign(size_t(parts) + 1, int32_t(n));
    layout.partVertexBegin[0] = 0;
    std::vector<int32_t>& part = layout.cursor;  // each vertex's part
    part.assign(n + 1, 0);
    if (parts > 1) {
        for (const int32_t v : layout.memberVertex) ++part[size_t(v) + 1];
        const size_t work = n + layout.memberVertex.size();
        size_t done = 0;
        int32_t next = 1;
        for (size_t v = 0; v < n && next < parts; ++v) {
            if (v % ALIGN == 0 && done * size_t(parts) >= work * size_t(next)) {
                layout.partVertexBegin[size_t(next++)] = int32_t(v);
            }
            done += 1 + size_t(part[v + 1]);
        }
        for (int32_t t = 0; t < parts; ++t) {
            for (int32_t v = layout.partVertexBegin[size_t(t)];
                 v < layout.partVertexBegin[size_t(t) + 1]; ++v) {
                part[size_t(v)] = t;
            }
        }
    }

    std::vector<int32_t>& begin = layout.partMemberBegin;
    begin.assign(size_t(parts) * size_t(runs + 1), 0);
    const auto at = [runs](int32_t t, int32_t r) {
        return size_t(t) * size_t(runs + 1) + size_t(r);
    };
    // Calls visit(member, part, run) for every member in bone order, then member order.
    const auto eachMember = [&layout, &part, n](auto visit) {
        std::vector<uint8_t>& seen = layout.values;
        seen.assign(n, 0);
        const int32_t fitted = int32_t(layout.scale.size());
        for (int32_t j = 0; j < fitted; ++j) {
            for (int32_t e = layout.memberBegin[size_t(j)]; e < layout.memberBegin[size_t(j) + 1];
                 ++e) {
                const size_t v = size_t(layout.memberVertex[size_t(e)]);
                visit(e, part[v], 2 * j + (seen[v] != 0 ? 1 : 0));
                seen[v] = 1;
            }
        }
    };
    eachMember([&](int32_t, int32_t t, int32_t r) { ++begin[at(t, r + 1)]; });
    int32_t total = 0;
    for (int32_t t = 0; t < parts; ++t) {
        for (int32_t r = 0; r <= runs; ++r) {
            total += begin[at(t, r)];
            begin[at(t, r)] = total;
        }
    }
    layout.partVertex.resize(layout.memberVertex.size());
    layout.partRest.resize(layout.memberVertex.size());
    eachMember([&](int32_t e, int32_t t, int32_t r) {
        const size_t slot = size_t(begin[at(t, r)]++);
        layout.partVertex[slot] = layout.memberVertex[size_t(e)];
        layout.partRest[slot] = layout.memberRest[size_t(e)];
    });
    // Each entry now holds where the next run starts: shifted back by one.
    for (int32_t t = parts - 1; t >= 0; --t) {
        for (int32_t r = runs; r > 0; --r) begin[at(t, r)] = begin[at(t, r - 1)];
        begin[at(t, 0)] = t == 0 ? 0 : begin[at(t - 1, runs)];
    }
}

// The units of the fit, two bones each where it can: the bones grouped by the part that holds
// most of their members, largest first within a group, and the groups' units taken in turn. A
// thread that takes its part's units then reads the places that it moved itself.
void groupFits(BoneLayout& layout) {
    const int32_t fitted = int32_t(layout.scale.size());
    const int32_t parts = layout.parts;
    std::vector<int32_t>& tally = layout.tally;
    tally.assign(size_t(fitted) * size_t(parts), 0);
    for (int32_t j = 0; j < fitted; ++j) {
        for (int32_t e = layout.memberBegin[size_t(j)]; e < layout.memberBegin[size_t(j) + 1];
             ++e) {
            ++tally[size_t(j) * size_t(parts) +
                    size_t(layout.cursor[size_t(layout.memberVertex[size_t(e)])])];
        }
    }
    const auto owner = [&tally, parts](int32_t bone) {
        const int32_t* const count = tally.data() + size_t(bone) * size_t(parts);
        return int32_t(std::max_element(count, count + parts) - count);
    };
    layout.fitOrder.clear();
    layout.partFitBegin.assign(1, 0);
    for (int32_t t = 0; t < parts; ++t) {
        for (const int32_t bone : layout.largestFirst) {
            if (owner(bone) == t) layout.fitOrder.push_back(bone);
        }
        layout.partFitBegin.push_back(int32_t(layout.fitOrder.size()));
    }
    layout.fitUnits.clear();
    for (int32_t k = 0;; k += 2) {
        bool any = false;
        for (int32_t t = 0; t < parts; ++t) {
            const int32_t first = layout.partFitBegin[size_t(t)] + k;
            const int32_t end = layout.partFitBegin[size_t(t) + 1];
            if (first >= end) continue;
            any = true;
            layout.fitUnits.push_back(first);
            layout.fitUnits.push_back(std::min(end - first, int32_t(2)));
        }
        if (!any) break;
    }
}

}  // namespace

void layBones(Scene& scene, BoneLayout& layout, int32_t parts) {
    std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    const size_t n = vertices.size();
    if (parts < 1) parts = 1;
    if (layout.reusable && layout.parts == parts && layout.finalKind.size() == n &&
        sameInputs(scene, layout, false)) {
        for (size_t v = 0; v < n; ++v) {
            const uint8_t kind = layout.finalKind[v];
            if (kind == 0) continue;
            vertices[v].weight = layout.finalWeight[v];
            if (kind == 2) vertices[v].restOffset = layout.finalRestOffset[v];
        }
        return;
    }

    layout.memberBegin.assign(1, 0);
    layout.scale.clear();
    layout.memberVertex.clear();
    layout.memberWeight.clear();
    layout.memberWeightedRest.clear();
    layout.memberRest.clear();
    layout.finalKind.assign(n, 0);
    layout.finalWeight.resize(n);
    layout.finalRestOffset.resize(n);

    const size_t bones = bonesRun(scene);
    for (size_t b = 0; b < bones; ++b) {
        if (!scene.boneMasks[b]) continue;
        const std::vector<int32_t>& members = scene.boneVertices[b];
        const std::vector<uint8_t>* values = cachedValues(scene, b);
        if (values == nullptr) {
            collectMemberMaskValues(vertices, members, *scene.boneMasks[b], layout.values);
            values = &layout.values;
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
            layout.finalWeight[size_t(members[k])] = w;
            if (layout.finalKind[size_t(members[k])] == 0) layout.finalKind[size_t(members[k])] = 1;
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
            const size_t v = size_t(layout.memberVertex[e]);
            MeshVertex& vertex = vertices[v];
            const float w = layout.memberWeight[e];
            const float qx = vertex.restPos.x - m0x;
            const float qy = vertex.restPos.y - m0y;
            const float qz = flat ? 0.0f : vertex.restPos.z - m0z;
            vertex.restOffset = Vec3f{qx, qy, qz};
            layout.finalKind[v] = 2;
            layout.finalRestOffset[v] = vertex.restOffset;
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

    layout.lastMember.assign(n, -1);
    for (size_t e = 0; e < memberCount; ++e) {
        layout.lastMember[size_t(layout.memberVertex[e])] = int32_t(e);
    }
    layout.handle.assign((n + 3) / 4 * 4, 1);
    for (size_t v = 0; v < n; ++v) layout.handle[v] = vertices[v].isHandle != 0 ? 1 : 0;
    cutParts(layout, n, parts);
    groupFits(layout);
    layout.reusable = sameInputs(scene, layout, true);
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

}  // namespace

namespace {

// A bone's member range in the lay-out.
struct MemberRange {
    int32_t begin;
    int32_t end;
};

MemberRange membersOf(const BoneLayout& layout, int32_t bone) {
    return MemberRange{layout.memberBegin[size_t(bone)], layout.memberBegin[size_t(bone) + 1]};
}

// The current centroids of `count` (1 or 2) bones: float sums in member order, each lane its
// own sum. Two bones' sums are taken in one loop so that neither waits on its own last add.
VECTOR_CLONES
void centroids(const BoneLayout& layout, const MemberRange* range, int count,
               const Float4* positions, Float4* u) {
    const int32_t* const vertex = layout.memberVertex.data();
    const float* const weight = layout.memberWeight.data();
    Float4 u0{0.0f, 0.0f, 0.0f, 0.0f};
    Float4 u1 = u0;
    int32_t e0 = range[0].begin;
    int32_t e1 = count > 1 ? range[1].begin : 0;
    if (count > 1) {
        const int32_t both = std::min(range[0].end - e0, range[1].end - e1);
        for (int32_t k = 0; k < both; ++k, ++e0, ++e1) {
            u0 = u0 + positions[vertex[e0]] * weight[e0];
            u1 = u1 + positions[vertex[e1]] * weight[e1];
        }
        for (; e1 < range[1].end; ++e1) u1 = u1 + positions[vertex[e1]] * weight[e1];
        u[1] = u1;
    }
    for (; e0 < range[0].end; ++e0) u0 = u0 + positions[vertex[e0]] * weight[e0];
    u[0] = u0;
}

#if defined(HAVE_VECTOR_UNITS)
// One member's products added into a bone's rows.
template <bool keepOffsets>
AVX2_LOOP inline void addCovarianceAvx2(const Float4& position, const __m128& centre,
                                        const Float4& wq, Float4& current, __m256d* row) {
    const __m128 p = _mm_sub_ps(__m128(position), centre);
    if (keepOffsets) current = Float4(p);
    const __m128 w = __m128(wq);
    row[0] = _mm256_add_pd(row[0], _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(w, w, 0x00))));
    row[1] = _mm256_add_pd(row[1], _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(w, w, 0x55))));
    row[2] = _mm256_add_pd(row[2], _mm256_cvtps_pd(_mm_mul_ps(p, _mm_shuffle_ps(w, w, 0xaa))));
}

// The covariance rows of `count` (1 or 2) bones, each row in one 256-bit register; two bones in
// one loop, as their centroids.
template <bool keepOffsets>
AVX2_LOOP void covariancesAvx2(BoneLayout& layout, const MemberRange* range, int count,
                               const Float4* positions, const Float4* m, Covariance* a) {
    const int32_t* const vertex = layout.memberVertex.data();
    const Float4* const weightedRest = layout.memberWeightedRest.data();
    Float4* const current = layout.memberCurrent.data();
    __m256d rows[2][3];
    for (auto& bone : rows) {
        for (__m256d& row : bone) row = _mm256_setzero_pd();
    }
    const __m128 centre0 = __m128(m[0]);
    const __m128 centre1 = count > 1 ? __m128(m[1]) : centre0;
    int32_t e0 = range[0].begin;
    int32_t e1 = count > 1 ? range[1].begin : 0;
    if (count > 1) {
        const int32_t both = std::min(range[0].end - e0, range[1].end - e1);
        for (int32_t k = 0; k < both; ++k, ++e0, ++e1) {
            addCovarianceAvx2<keepOffsets>(positions[vertex[e0]], centre0, weightedRest[e0],
                                           current[e0], rows[0]);
            addCovarianceAvx2<keepOffsets>(positions[vertex[e1]], centre1, weightedRest[e1],
                                           current[e1], rows[1]);
        }
        for (; e1 < range[1].end; ++e1) {
            addCovarianceAvx2<keepOffsets>(positions[vertex[e1]], centre1, weightedRest[e1],
                                           current[e1], rows[1]);
        }
    }
    for (; e0 < range[0].end; ++e0) {
        addCovarianceAvx2<keepOffsets>(positions[vertex[e0]], centre0, weightedRest[e0],
                                       current[e0], rows[0]);
    }
    for (int j = 0; j < count; ++j) {
        for (int i = 0; i < 3; ++i) {
            a[j].row[i][0] = Double2(_mm256_castpd256_pd128(rows[j][i]));
            a[j].row[i][1] = Double2(_mm256_extractf128_pd(rows[j][i], 1));
        }
    }
}
#endif

template <bool keepOffsets>
void covariances(BoneLayout& layout, const MemberRange* range, int count, const Float4* positions,
                 const Float4* m, Covariance* a, VectorUnit unit) {
#if defined(HAVE_VECTOR_UNITS)
    if (unit >= VectorUnit::Avx2) {
        covariancesAvx2<keepOffsets>(layout, range, count, positions, m, a);
        return;
    }
#endif
    (void)unit;
    for (int j = 0; j < count; ++j) {
        sumCovariance<keepOffsets>(layout, range[j].begin, range[j].end, positions, m[j], a[j]);
    }
}

// The rigid motion that the covariance rows `c` and the centroid `m` give.
void motionOf(const Covariance& c, const Float4& m, BoneMotion& motion) {
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

}  // namespace

namespace {

// Fits `count` (1 or 2) bones at once, storing their motions in `out`.
void fitTogether(BoneLayout& layout, const int32_t* bones, int count, const Float4* positions,
                 bool keepOffsets, BoneMotion* const* out, VectorUnit unit) {
    MemberRange range[2];
    Float4 m[2];
    Covariance c[2];
    for (int j = 0; j < count; ++j) range[j] = membersOf(layout, bones[j]);
    centroids(layout, range, count, positions, m);
    for (int j = 0; j < count; ++j) m[j] = m[j] * layout.scale[size_t(bones[j])];
    // Rows of the covariance: each product rounded to float, then summed in double in member
    // order.
    if (keepOffsets) {
        covariances<true>(layout, range, count, positions, m, c, unit);
    } else {
        covariances<false>(layout, range, count, positions, m, c, unit);
    }
    for (int j = 0; j < count; ++j) motionOf(c[j], m[j], *out[j]);
}

}  // namespace

void fitBones(BoneLayout& layout, const int32_t* bones, int32_t count, const Float4* positions,
              bool keepOffsets, BoneMotion* motions, VectorUnit unit) {
    for (int32_t first = 0; first < count; first += 2) {
        const int n = count - first < 2 ? 1 : 2;
        BoneMotion* const out[2] = {&motions[bones[first]],
                                    n > 1 ? &motions[bones[first + 1]] : nullptr};
        fitTogether(layout, bones + first, n, positions, keepOffsets, out, unit);
    }
}

void fitBone(BoneLayout& layout, int32_t bone, const Float4* positions, bool keepOffsets,
             BoneMotion& motion, VectorUnit unit) {
    BoneMotion* const out[1] = {&motion};
    fitTogether(layout, &bone, 1, positions, keepOffsets, out, unit);
}

namespace {

// Adds the goal that `motion` gives a member with rest slot `rest` (qx, qy, qz, w) into `sum`
// (goalSum x, y, z and weightSum): the goal in double, times w, added to the sum in double and
// rounded to float; translation only without a rotation, in float. A float sum rounded through
// double is the float sum, so both cases add the same way.
inline void addGoal(const BoneMotion& motion, const Float4& rest, Float4& sum) {
    if (motion.usable != 0) {
        Double4 q;
        widen(rest, q);
        Double4 goal = motion.column[0] * q[0];
        goal = goal + motion.column[1] * q[1];
        goal = goal + motion.column[2] * q[2];
        goal = goal + motion.centre;
        goal = goal * q[3];
        goal[3] = q[3];
        Double4 total;
        widen(sum, total);
        total = goal + total;
        narrow(total, sum);
    } else {
        Float4 goal = (rest + motion.centref) * rest[3];
        goal[3] = rest[3];
        sum = sum + goal;
    }
}

template <bool fresh>
inline void addGoals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                     int32_t count, Float4* sums) {
    const BoneMotion m = motion;
    for (int32_t i = 0; i < count; ++i) {
        Float4& sum = sums[vertex[i]];
        if (fresh) sum = Float4{0.0f, 0.0f, 0.0f, 0.0f};
        addGoal(m, rest[i], sum);
    }
}

#if defined(HAVE_VECTOR_UNITS)
// The motion in 256-bit registers: columns 0 to 2 and the centre.
struct MotionAvx2 {
    __m256d c0, c1, c2, centre;
};

// addGoal for one member: the same operations, lane by lane. A fresh sum starts from zero
// rather than from what it held.
template <bool fresh>
AVX2_LOOP inline void addGoalAvx2(const MotionAvx2& m, const Float4& rest, Float4& sum) {
    const __m256d q = _mm256_cvtps_pd(__m128(rest));
    __m256d goal = _mm256_mul_pd(m.c0, _mm256_permute4x64_pd(q, 0x00));
    goal = _mm256_add_pd(goal, _mm256_mul_pd(m.c1, _mm256_permute4x64_pd(q, 0x55)));
    goal = _mm256_add_pd(goal, _mm256_mul_pd(m.c2, _mm256_permute4x64_pd(q, 0xaa)));
    goal = _mm256_add_pd(goal, m.centre);
    const __m256d w = _mm256_permute4x64_pd(q, 0xff);
    goal = _mm256_blend_pd(_mm256_mul_pd(goal, w), w, 0x8);
    const __m256d before = fresh ? _mm256_setzero_pd() : _mm256_cvtps_pd(__m128(sum));
    sum = Float4(_mm256_cvtpd_ps(_mm256_add_pd(goal, before)));
}

template <bool fresh>
AVX2_LOOP void addGoalsAvx2(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                            int32_t count, Float4* sums) {
    const MotionAvx2 m{__m256d(motion.column[0]), __m256d(motion.column[1]),
                       __m256d(motion.column[2]), __m256d(motion.centre)};
    for (int32_t i = 0; i < count; ++i) addGoalAvx2<fresh>(m, rest[i], sums[vertex[i]]);
}

BEGIN_AVX512_LOOPS
// Two members a step, one in each half of a 512-bit register.
template <bool fresh>
AVX512_LOOP void addGoalsAvx512(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                                int32_t count, Float4* sums) {
    const MotionAvx2 m{__m256d(motion.column[0]), __m256d(motion.column[1]),
                       __m256d(motion.column[2]), __m256d(motion.centre)};
    const __m512d c0 = _mm512_broadcast_f64x4(m.c0);
    const __m512d c1 = _mm512_broadcast_f64x4(m.c1);
    const __m512d c2 = _mm512_broadcast_f64x4(m.c2);
    const __m512d centre = _mm512_broadcast_f64x4(m.centre);
    int32_t i = 0;
    for (; i + 1 < count; i += 2) {
        const int32_t v0 = vertex[i];
        const int32_t v1 = vertex[i + 1];
        if (v0 == v1) {
            // The second goal adds onto the first.
            addGoalAvx2<fresh>(m, rest[i], sums[v0]);
            addGoalAvx2<false>(m, rest[i + 1], sums[v1]);
            continue;
        }
        const __m512d q =
            _mm512_cvtps_pd(_mm256_loadu_ps(reinterpret_cast<const float*>(rest + i)));
        __m512d goal = _mm512_mul_pd(c0, _mm512_permutex_pd(q, 0x00));
        goal = _mm512_add_pd(goal, _mm512_mul_pd(c1, _mm512_permutex_pd(q, 0x55)));
        goal = _mm512_add_pd(goal, _mm512_mul_pd(c2, _mm512_permutex_pd(q, 0xaa)));
        goal = _mm512_add_pd(goal, centre);
        const __m512d w = _mm512_permutex_pd(q, 0xff);
        goal = _mm512_mask_blend_pd(0x88, _mm512_mul_pd(goal, w), w);
        const __m512d before =
            fresh ? _mm512_setzero_pd()
                  : _mm512_cvtps_pd(_mm256_set_m128(__m128(sums[v1]), __m128(sums[v0])));
        const __m256 total = _mm512_cvtpd_ps(_mm512_add_pd(goal, before));
        sums[v0] = Float4(_mm256_castps256_ps128(total));
        sums[v1] = Float4(_mm256_extractf128_ps(total, 1));
    }
    if (i < count) addGoalAvx2<fresh>(m, rest[i], sums[vertex[i]]);
}
END_AVX512_LOOPS
#endif

}  // namespace

namespace {

template <bool fresh>
void goalsOf(const BoneMotion& motion, const int32_t* vertex, const Float4* rest, int32_t count,
             Float4* sums, VectorUnit unit) {
#if defined(HAVE_VECTOR_UNITS)
    if (motion.usable != 0 && unit == VectorUnit::Avx512) {
        addGoalsAvx512<fresh>(motion, vertex, rest, count, sums);
        return;
    }
    if (motion.usable != 0 && unit == VectorUnit::Avx2) {
        addGoalsAvx2<fresh>(motion, vertex, rest, count, sums);
        return;
    }
#endif
    (void)unit;
    addGoals<fresh>(motion, vertex, rest, count, sums);
}

}  // namespace

void addBoneGoals(const BoneMotion& motion, const int32_t* vertex, const Float4* rest,
                  int32_t count, Float4* sums, bool fresh, VectorUnit unit) {
    if (fresh) {
        goalsOf<true>(motion, vertex, rest, count, sums, unit);
    } else {
        goalsOf<false>(motion, vertex, rest, count, sums, unit);
    }
}
