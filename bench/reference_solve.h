// The solve as it stood before its data were laid out for vector units and threads: one bone
// step (shapeMatchBone) after another over the vertex records, every sweep. Kept beside the
// benchmarks so that the speed-up is measured in the same run, on the same machine.
#pragma once

#include "render/matrix_store.h"
#include "scene/records.h"

namespace reference {

void solveDeformation(Scene& scene, const Vec3f& drift, bool rawAverage,
                      const MatrixStore& matrices);

}  // namespace reference
