// Bone membership from a mask picture, and one bone's shape-matching step.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/image.h"
#include "scene/records.h"

constexpr int MASK_SEARCH_RADIUS = 7;
constexpr float HANDLE_WEIGHT_FACTOR = 1000.0f;
constexpr float MASK_WEIGHT_SCALE = 0.003921569f;

// Appends, in ascending order, every vertex with a non-zero mask pixel within 7 pixels in
// each direction of its rest pixel.
void collectBoneVertices(const std::vector<MeshVertex>& vertices, const Image& mask,
                         std::vector<int32_t>& members);

// The mask value (0..255) that shapeMatchBone uses for a vertex.
int maskWeight(const MeshVertex& vertex, const Image& mask);

// Whether every member in `members` has the same restPos.z. Then the rest offsets' z is exactly
// 0: the float rest centroid's z can come out an ulp away from the shared depth, and the tiny
// third covariance row that follows would turn the rank-two fit into a reflection.
bool flatBone(const std::vector<MeshVertex>& vertices, const std::vector<int32_t>& members);

// Adds one bone's weighted goal positions into its members' goalSum and weightSum.
void shapeMatchBone(std::vector<MeshVertex>& vertices, const std::vector<int32_t>& members,
                    const Image& mask);

// The mask value of every member, in member order, as maskWeight gives it. A value depends
// only on the rest position and the mask, so the loader works them out once.
void collectMemberMaskValues(const std::vector<MeshVertex>& vertices,
                             const std::vector<int32_t>& members, const Image& mask,
                             std::vector<uint8_t>& values);

// shapeMatchBone with the members' mask values looked up in advance; same results. `values`
// holds one entry per member.
void shapeMatchBoneCached(std::vector<MeshVertex>& vertices, const std::vector<int32_t>& members,
                          const std::vector<uint8_t>& values);
