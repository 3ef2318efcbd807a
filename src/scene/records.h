// The records that every subsystem shares: vertices, faces, meshes and scene slots.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/image.h"

struct Vec3f {
    float x;
    float y;
    float z;
};

struct Vec3d {
    double x;
    double y;
    double z;
};

// One vertex: its current, rest and working fields. Lists of these are zero-filled when sized,
// so any field that no step writes reads as zero.
struct MeshVertex {
    float weightSum;   // sum of weights over the bones of the current sweep
    float weight;      // weight in the bone being processed
    Vec3f pos;         // current, deformed position: what is drawn and picked
    Vec3f restOffset;  // restPos minus the weighted rest centroid of the bone being processed
    Vec3f goalSum;     // weighted sum of goal positions over the bones of the sweep
    Vec3f curOffset;   // pos minus the weighted current centroid of the bone being processed
    Vec3f restPos;     // rest position as read from the mesh file
    uint8_t isHandle;  // 1: placed from outside and left alone by the solve
};

struct MeshFace {
    int32_t v[3];
};

struct Mesh {
    std::vector<MeshVertex> vertices;
    std::vector<MeshFace> faces;
    MeshVertex centre;  // only restPos is set: the centroid of the rest positions
    float meanDepth;    // mean pos.z when loading finished
};

struct Scene {
    uint32_t boneCount;  // 0: a background-only slot
    Mesh mesh;
    std::vector<std::vector<int32_t>> boneVertices;  // per bone, ascending vertex indices
    std::vector<ImagePtr> boneMasks;                 // per bone, one-channel pictures
    // Per bone, the mask value of each member in member order: fixed once the scene is loaded,
    // so the solve need not search the masks in every sweep.
    std::vector<std::vector<uint8_t>> boneMemberValues;
    int32_t texWidth;
    int32_t texHeight;
    int32_t meshTexture;
    int32_t backgroundTexture;
};
