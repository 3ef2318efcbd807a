#include "deform/bone_layout.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

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

// Fits `count` (1 or 2) bones at once, storing their motions in `out`.
void fitTogether(BoneLayout& layout, const int32_t* bones, int count, const Float4* positions,
                 bool keepOffsets, BoneMotion* const* out, const SolveKernels& kernels) {
    const MemberLists lists{layout.memberVertex.data(), layout.memberWeight.data(),
                            layout.memberWeightedRest.data(), layout.memberCurrent.data()};
    MemberRange range[2];
    Float4 m[2];
    Covariance c[2];
    for (int j = 0; j < count; ++j) {
        range[j] = MemberRange{layout.memberBegin[size_t(bones[j])],
                               layout.memberBegin[size_t(bones[j]) + 1]};
    }
    kernels.centroids(lists, range, count, positions, m);
    for (int j = 0; j < count; ++j) m[j] = m[j] * layout.scale[size_t(bones[j])];
    (keepOffsets ? kernels.covariancesKeepingOffsets : kernels.covariances)(lists, range, count,
                                                                            positions, m, c);
    for (int j = 0; j < count; ++j) motionOf(c[j], m[j], *out[j]);
}

}  // namespace

void fitBones(BoneLayout& layout, const int32_t* bones, int32_t count, const Float4* positions,
              bool keepOffsets, BoneMotion* motions, const SolveKernels& kernels) {
    for (int32_t first = 0; first < count; first += 2) {
        const int n = count - first < 2 ? 1 : 2;
        BoneMotion* const out[2] = {&motions[bones[first]],
                                    n > 1 ? &motions[bones[first + 1]] : nullptr};
        fitTogether(layout, bones + first, n, positions, keepOffsets, out, kernels);
    }
}

void fitBone(BoneLayout& layout, int32_t bone, const Float4* positions, bool keepOffsets,
             BoneMotion& motion, const SolveKernels& kernels) {
    BoneMotion* const out[1] = {&motion};
    fitTogether(layout, &bone, 1, positions, keepOffsets, out, kernels);
}
