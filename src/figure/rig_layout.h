// Bones laid out along a skeleton tree as an animator would: the trunk holds the root bone, each
// limb, the head and a tail get a bone of their own, longest first, and bones to spare split the
// longest limbs at their middle (upper and lower arm), then the trunk.
#pragma once

#include <string>
#include <vector>

#include "figure/skeleton.h"

// A limb, the head or a tail: a part of the tree that hangs off the trunk and runs out to one
// tip (small side twigs such as fingers or ears go with it).
struct SkeletonBranch {
    int start = -1;           // its first point; its parent is on the trunk
    int tip = -1;             // the end of its main line
    double length = 0.0;      // from the trunk to the tip, along the tree
    int bone = -1;            // the bone of its first part (after the layout)
    std::vector<int> shares;  // other branches of the same bone, when bones ran short
};

// What one bone holds.
struct LaidBone {
    enum class Kind { Trunk, Branch, Extra } kind = Kind::Trunk;
    int branch = -1;  // Branch: the branch (index into the layout's branches)
    int part = 0;     // Branch: which part from the trunk out (0 when it is whole)
    int parts = 1;    // Branch: how many parts the branch has
    int tree = 0;     // which tree of the skeleton
    int place = -1;   // a point of the skeleton in its middle (the widest one for a trunk)
    int from = -1;    // Extra: the bone whose region it was made from
};

struct RigLayout {
    std::vector<SkeletonBranch> branches;  // longest first, per tree
    std::vector<LaidBone> bones;
    std::vector<int> bone;  // per skeleton point: its bone, or -1 for a point of no tree laid out
    std::vector<int> branchOf;  // per skeleton point: its branch, or -1 on a trunk
};

// Lays out `bones` bones on the trees of `skeleton` listed in `trees` with the bone count each
// may use (`budgets`, one or more each); bones are numbered in the order of the trees, the trunk
// of each first. Parts shorter than `shortest` are not split.
RigLayout layOutBones(const Skeleton& skeleton, const std::vector<int>& trees,
                      const std::vector<int>& budgets, double shortest);
