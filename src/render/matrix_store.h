// The GL viewport and matrices read back after the camera is set; used to project and
// un-project vertices when picking, dragging and keeping the solve on screen.
#pragma once

#include <cstdint>

struct MatrixStore {
    int32_t viewport[4];    // x, y, width, height
    double modelView[16];   // as GL returns it (column-major)
    double projection[16];  // as GL returns it (column-major)
};

void readMatrixStore(MatrixStore& store);
