// A scene's bones laid out for one frame of the solve: what stays fixed over the frame's sweeps
// (weights, rest centroids and rest offsets) is worked out once, in arrays that the per-sweep
// fits and goal sums read in order.
#pragma once

#include <cstdint>
#include <vector>

#include "deform/solve_kernels.h"
#include "deform/vector4.h"
#include "scene/records.h"

// Only members of positive weight take part in a fit; they are listed bone after bone, each
// bone's in member order. A bone of no positive weight has no entries at all.
struct BoneLayout {
    // Per fitted bone, in bone order; `memberBegin` has one entry more.
    std::vector<int32_t> memberBegin;
    std::vector<float> scale;           // k = 1 / W
    std::vector<int32_t> largestFirst;  // the fitted bones by member count
    // Per member.
    std::vector<int32_t> memberVertex;
    std::vector<float> memberWeight;
    std::vector<Float4> memberWeightedRest;  // (qx w, qy w, qz w, 0), rounded in float
    std::vector<Float4> memberRest;          // (qx, qy, qz, w)
    std::vector<Float4> memberCurrent;       // curOffset, written by the last sweep's fit
    // Per vertex.
    std::vector<int32_t> lastMember;  // its member in the last bone it belongs to; -1: none
    std::vector<int32_t> handle;      // 1 for a handle; padded with handles to whole fours
    // The vertices cut into `parts` runs of about equal work, one per thread, all but the last a
    // whole number of sixteen vertices. Part t owns the vertices partVertexBegin[t] up to
    // partVertexBegin[t + 1] and lists its members bone after bone, each bone's in two runs:
    // first the members that are their vertex's first, then the others, each run in member
    // order. Run r of part t (2j and 2j + 1 for bone j) starts at partMemberBegin[t * (2 bones
    // + 1) + r] and ends where the next starts. So a vertex adds the goals of its bones in bone
    // order whatever part it is in, and its first goal need not read the sum it replaces.
    int32_t parts = 0;
    std::vector<int32_t> partVertexBegin;
    std::vector<int32_t> partMemberBegin;
    std::vector<int32_t> partVertex;
    std::vector<Float4> partRest;  // (qx, qy, qz, w)
    // The fit shared out: the fitted bones grouped by the part that holds most of their members
    // (part t's are fitOrder[partFitBegin[t]] up to the next part's), and units of one or two
    // of them, a (first index in fitOrder, count) pair each, the parts' units taken in turn.
    std::vector<int32_t> fitOrder;
    std::vector<int32_t> partFitBegin;
    std::vector<int32_t> fitUnits;
    // What the bone steps leave in each vertex: its last weight and, when some bone fits it,
    // its last rest offset. A lay-out that is reused stores them again.
    std::vector<uint8_t> finalKind;  // 0: no bone; 1: a weight; 2: a weight and a rest offset
    std::vector<float> finalWeight;
    std::vector<Vec3f> finalRestOffset;
    // What the lay-out was made from: the next frame reuses it when none of it has changed.
    bool reusable = false;
    std::vector<int32_t> seenBones;      // the bone count, then per bone its member count or -1
    std::vector<int32_t> seenMembers;    // every bone's members
    std::vector<uint8_t> seenValues;     // and their mask values
    std::vector<uint32_t> seenVertices;  // per vertex the bits of restPos and isHandle
    // Working lists of the lay-out.
    std::vector<uint8_t> values;
    std::vector<int32_t> cursor;
    std::vector<int32_t> tally;
};

// Lays out the bones that the solve runs for `scene` with its vertices cut into `parts` runs,
// and stores into the vertices what the bone steps of every sweep of the frame would store
// alike: each member's `weight` and, for members of positive weight, `restOffset`. The lists
// keep their storage between frames, and the last frame's lay-out is kept when its scene has
// the same bones, members, mask values, rest positions and handles.
void layBones(Scene& scene, BoneLayout& layout, int32_t parts = 1);

// The motion of fitted bone `bone` for the positions `positions` (x, y, z, 0 per vertex). With
// `keepOffsets` the members' current offsets are kept in `memberCurrent`.
void fitBone(BoneLayout& layout, int32_t bone, const Float4* positions, bool keepOffsets,
             BoneMotion& motion, const SolveKernels& kernels = solveKernels());

// The motions of the fitted bones listed in `bones`, stored by bone number into `motions`; two
// at a time, which is quicker than one after the other.
void fitBones(BoneLayout& layout, const int32_t* bones, int32_t count, const Float4* positions,
              bool keepOffsets, BoneMotion* motions, const SolveKernels& kernels = solveKernels());
