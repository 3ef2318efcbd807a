#include "render/drawing.h"

void drawBackground(int32_t /*textureIndex*/, float /*brightness*/) {}

void drawMesh(const Mesh& /*mesh*/, int32_t /*texWidth*/, int32_t /*texHeight*/,
              int32_t /*textureIndex*/) {}
