#include "scene/mesh_reader.h"

void readMesh(const char* /*path*/, Mesh& /*mesh*/, bool /*mirror*/) {}
