#include "deform/shape_matching.h"

void collectBoneVertices(const std::vector<MeshVertex>& /*vertices*/, const Image& /*mask*/,
                         std::vector<int32_t>& /*members*/) {}

int maskWeight(const MeshVertex& /*vertex*/, const Image& /*mask*/) {
    return 0;
}

void shapeMatchBone(std::vector<MeshVertex>& /*vertices*/, const std::vector<int32_t>& /*members*/,
                    const Image& /*mask*/) {}
