// The per-frame deformation solve: free vertices follow the handles while bones keep shape.
#pragma once

#include "driver/solve_workers.h"
#include "render/matrix_store.h"
#include "scene/records.h"
#include "scene/show_facts.h"

constexpr int SOLVE_SWEEPS = 16;
constexpr double RECENTRE_GAIN = 0.1;

// Below this many vertices a frame's work is too small to share between threads.
constexpr size_t SOLVE_SHARED_FROM_VERTICES = 1024;
constexpr int32_t SOLVE_MAX_THREADS = 64;

// Runs the frame's sweeps on `workers`' threads (started on first use) with its lists. The
// results are the same bits whatever the thread count.
void solveDeformation(Scene& scene, const Vec3f& drift, bool rawAverage,
                      const MatrixStore& matrices, SolveWorkers& workers);

// The same on the calling thread alone, with lists of its own.
void solveDeformation(Scene& scene, const Vec3f& drift, bool rawAverage,
                      const MatrixStore& matrices);

// Sets drift.z so that the mesh is pulled back towards the depth it had when loaded.
void recentreDepth(const Scene& scene, Vec3f& drift);
