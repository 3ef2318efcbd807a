#include "render/camera.h"

void setupCamera(const Mesh& /*mesh*/, float /*fov*/, float /*dx*/, float /*dy*/, float /*dz*/,
                 float /*ox*/, float /*oy*/, float /*oz*/, float /*ra*/, float /*rb*/) {}
