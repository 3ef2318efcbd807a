// Fills a scene slot from its directory: mesh, textures, bone masks and bone membership.
#pragma once

#include <cstdint>

#include "scene/image.h"
#include "scene/records.h"

void loadScene(Scene& scene, const char* directory, uint32_t boneCount, bool appendMirror);

// Puts a three-channel picture into the texture object named index + 1.
void uploadTexture(const Image& image, int32_t index, bool makeName);

// The process-wide texture index counter: the next index that loading hands out.
int32_t nextTextureIndex();
