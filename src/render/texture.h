// Pictures handed to GL as textures.
#pragma once

#include <cstdint>

#include "scene/image.h"

// Puts a three-channel picture into the texture object named index + 1; with `makeName` one
// more texture name is generated first, as the loader does for every picture it hands out.
void uploadTexture(const Image& image, int32_t index, bool makeName);
