// The per-frame deformation solve: free vertices follow the handles while bones keep shape.
#pragma once

#include "render/matrix_store.h"
#include "scene/records.h"

constexpr int SOLVE_SWEEPS = 16;
constexpr double SOLVE_BOTTOM_MARGIN = 50.0;
constexpr double RECENTRE_GAIN = 0.1;

void solveDeformation(Scene& scene, const Vec3f& drift, bool rawAverage,
                      const MatrixStore& matrices);

// Sets drift.z so that the mesh is pulled back towards the depth it had when loaded.
void recentreDepth(const Scene& scene, Vec3f& drift);
