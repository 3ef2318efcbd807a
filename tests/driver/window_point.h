// Where picking and dragging see a model point, and the cursor that points at it.
#pragma once

#include <GL/glu.h>

#include <cmath>

#include "platform/input_table.h"
#include "render/matrix_store.h"
#include "scene/records.h"

// The window position divided by the window depth, y counted from the bottom edge.
struct WindowPoint {
    double x;
    double y;
    double depth;
};

inline WindowPoint windowPointOf(const Vec3f& p, const MatrixStore& matrices) {
    double wx = 0.0;
    double wy = 0.0;
    double wz = 0.0;
    gluProject(double(p.x), double(p.y), double(p.z), matrices.modelView, matrices.projection,
               matrices.viewport, &wx, &wy, &wz);
    return WindowPoint{wx / wz, wy / wz, wz};
}

// The client pixel nearest to the window point, y from the top edge as the input table has it.
inline void pointCursorAt(InputTable& input, const WindowPoint& point,
                          const MatrixStore& matrices) {
    input.mouseX = int32_t(std::lround(point.x));
    input.mouseY = int32_t(std::lround(double(matrices.viewport[3]) - point.y));
}
