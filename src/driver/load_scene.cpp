#include "driver/load_scene.h"

#include "deform/bone_binding.h"
#include "render/texture.h"
#include "scene/scene_loader.h"

void loadScene(Scene& scene, const char* directory, uint32_t boneCount, bool appendMirror,
               int32_t& nextTexture) {
    ScenePictures pictures;
    readScene(scene, pictures, directory, boneCount, appendMirror, nextTexture);
    if (pictures.texture) uploadTexture(*pictures.texture, scene.meshTexture, true);
    if (pictures.background) uploadTexture(*pictures.background, scene.backgroundTexture, true);
    if (boneCount != 0) bindBones(scene);
}
