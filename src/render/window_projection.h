// Window positions under the matrix store, computed with exactly the arithmetic of gluProject
// (same products, same order, all in double) so that results are bit-identical to it, without
// a library call per vertex and sweep of the solve.
#pragma once

#include "render/matrix_store.h"

struct WindowPosition {
    double x;
    double y;
    double z;
};

// False, with `out` untouched, where gluProject fails: a clip-space w of exactly 0.
inline bool projectToWindow(const MatrixStore& store, double x, double y, double z,
                            WindowPosition& out) {
    const double* m = store.modelView;
    const double* p = store.projection;
    // Model-view, then projection, times the column (x, y, z, 1); each row is summed left to
    // right and the 1 makes its last product exact, as in GLU. The rows are independent, which
    // lets the compiler work on two at once.
    double e[4];
    double c[4];
    for (int i = 0; i < 4; ++i) e[i] = x * m[i] + y * m[4 + i] + z * m[8 + i] + 1.0 * m[12 + i];
    for (int i = 0; i < 4; ++i) {
        c[i] = e[0] * p[i] + e[1] * p[4 + i] + e[2] * p[8 + i] + e[3] * p[12 + i];
    }
    if (c[3] == 0.0) return false;
    double nx = c[0] / c[3];
    double ny = c[1] / c[3];
    double nz = c[2] / c[3];
    nx = nx * 0.5 + 0.5;
    ny = ny * 0.5 + 0.5;
    nz = nz * 0.5 + 0.5;
    out.x = nx * store.viewport[2] + store.viewport[0];
    out.y = ny * store.viewport[3] + store.viewport[1];
    out.z = nz;
    return true;
}
