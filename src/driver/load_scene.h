// A scene slot made ready to play: its files read, its bones bound and its pictures on GL.
#pragma once

#include <cstdint>

#include "scene/records.h"

// Texture indices are handed out from `nextTexture` in load order and never reused.
void loadScene(Scene& scene, const char* directory, uint32_t boneCount, bool appendMirror,
               int32_t& nextTexture);
