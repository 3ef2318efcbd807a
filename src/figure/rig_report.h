// The rig in words, for the author: what each bone holds and where, and a warning for each limb
// that has to share a bone or has none, with the bone count that would give each its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "figure/bone_regions.h"
#include "figure/figure_mesh.h"
#include "figure/rig_layout.h"
#include "figure/skeleton.h"

// Where each bone is: the skeleton point the layout gave it, or the middle of its region.
std::vector<Vec2> bonePlaces(const RigLayout& layout, const Skeleton& skeleton,
                             const FigureMesh& mesh, const BoneWeights& weights);

// One line per bone ("bone 2: branch 1 (upper), around (412, 230)"), then the warnings.
// `toDrawing` takes a point of the mesh's frame to the drawing's pixels; `slotBones` is the most
// bones the slot reads (0: no limit).
std::vector<std::string> rigReport(const RigLayout& layout, const Skeleton& skeleton,
                                   const FigureMesh& mesh, const BoneWeights& weights,
                                   const std::function<Vec2(Vec2)>& toDrawing, int slotBones);
