#include "scene/scene_loader.h"

namespace {
int32_t textureCounter = 0;
}

void loadScene(Scene& scene, const char* /*directory*/, uint32_t boneCount, bool /*appendMirror*/) {
    if (boneCount != 0) scene.meshTexture = textureCounter++;
    scene.backgroundTexture = textureCounter++;
}

void uploadTexture(const Image& /*image*/, int32_t /*index*/, bool /*makeName*/) {}

int32_t nextTextureIndex() {
    return textureCounter;
}
