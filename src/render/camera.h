// The perspective camera that looks at the current scene's mesh.
#pragma once

#include "scene/records.h"

// Loads projection and model-view; leaves GL_MODELVIEW selected.
void setupCamera(const Mesh& mesh, float fov, float dx, float dy, float dz, float ox, float oy,
                 float oz, float ra, float rb);
