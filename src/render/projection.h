// Projection and un-projection of single points under the matrix store, through GLU: what the
// pick measures with and what a drag brings the cursor back through.
#pragma once

#include "render/matrix_store.h"
#include "render/window_projection.h"
#include "scene/records.h"

// GLU's window position of a point; false where GLU fails (a clip-space w of exactly 0).
bool projectPoint(const MatrixStore& store, double x, double y, double z, WindowPosition& out);

// GLU's inverse: the model point at window position (wx, wy, wz). False where the matrices
// can't be inverted; `out` is then left as it was.
bool unprojectPoint(const MatrixStore& store, double wx, double wy, double wz, Vec3d& out);
