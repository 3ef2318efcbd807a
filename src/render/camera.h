// The perspective camera that looks at the current scene's mesh.
#pragma once

#include <cstdint>

#include "scene/records.h"

// Loads projection and model-view; leaves GL_MODELVIEW selected. The aspect is that of the
// configured window size, whatever the viewport.
void setupCamera(const Mesh& mesh, float fov, float dx, float dy, float dz, float ox, float oy,
                 float oz, float ra, float rb, int32_t windowWidth, int32_t windowHeight);
