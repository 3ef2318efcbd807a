// Reads a scene slot's files: mesh, pictures and bone masks.
#pragma once

#include <cstdint>

#include "scene/image.h"
#include "scene/records.h"

// The slot's pictures that go to GL as textures, under the scene's texture indices.
struct ScenePictures {
    ImagePtr texture;     // slots with a mesh only
    ImagePtr background;  // every slot
};

// Fills the slot from its directory and leaves every vertex at rest. Texture indices are handed
// out from `nextTexture` in load order (mesh texture first) and never reused. A picture that
// can't be read gets a stand-in and a warning naming the file. Bone membership is not worked out
// here: it is the deformation's business.
void readScene(Scene& scene, ScenePictures& pictures, const char* directory, uint32_t boneCount,
               bool appendMirror, int32_t& nextTexture);
