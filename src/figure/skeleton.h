// The figure's skeleton: the middle lines of its silhouette, as a tree of points that carry the
// silhouette's half-width there. Limbs, the head and a tail are its branches; the trunk is what
// joins them. Bones are laid out along it the way an animator would draw them.
#pragma once

#include <cstdint>
#include <vector>

#include "figure/distance_field.h"
#include "figure/grid.h"
#include "figure/vec2.h"

struct SkeletonPoint {
    Vec2 at;              // in the field's pixel frame
    double radius = 0.0;  // distance to the outline
    int parent = -1;      // towards the tree's root; -1 for a root
};

// One tree per separate part of the silhouette. Short spurs (bumps of the outline) are pruned,
// and every loop (a hole, two limbs that touch) is cut at its narrowest link.
struct Skeleton {
    std::vector<SkeletonPoint> points;
    std::vector<int> roots;  // one per tree: its point of balance, in the thickest part
};

// The skeleton of the field's inside, worked out on a grid of `step` pixels (1 or more) to keep
// it quick on large figures.
Skeleton skeletonOf(const DistanceField& field, int step);

// Each point's children, for walking a tree from its root.
std::vector<std::vector<int>> childrenOf(const Skeleton& skeleton);

// The length along the tree from a point to its parent.
double linkLength(const Skeleton& skeleton, int point);
