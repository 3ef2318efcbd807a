// Vertex look-up by slot and index for the indices that come from outside the mesh: keyframe
// rows, picks kept across a slot change.
#pragma once

#include <cstdint>

#include "driver/driver_state.h"

// The vertex, or nullptr when the slot or the index lies outside what the slot holds. Slots
// without a mesh hold no vertex at all.
inline MeshVertex* slotVertex(DriverState& state, int32_t slot, int32_t vertex) {
    if (slot < 0 || slot >= sceneSlotCount) return nullptr;
    std::vector<MeshVertex>& vertices = state.scenes[slot].mesh.vertices;
    if (vertex < 0 || vertex >= int32_t(vertices.size())) return nullptr;
    return &vertices[vertex];
}
