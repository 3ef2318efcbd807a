#include "deform/bone_binding.h"

#include "deform/shape_matching.h"

void bindBones(Scene& scene) {
    const size_t bones = scene.boneMasks.size();
    scene.boneVertices.assign(bones, std::vector<int32_t>{});
    scene.boneMemberValues.assign(bones, std::vector<uint8_t>{});
    for (size_t bone = 0; bone < bones; ++bone) {
        if (!scene.boneMasks[bone]) continue;
        collectBoneVertices(scene.mesh.vertices, *scene.boneMasks[bone], scene.boneVertices[bone]);
        collectMemberMaskValues(scene.mesh.vertices, scene.boneVertices[bone],
                                *scene.boneMasks[bone], scene.boneMemberValues[bone]);
    }
}
