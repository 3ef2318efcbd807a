#include "render/projection.h"

#include <GL/gl.h>
#include <GL/glu.h>

bool projectPoint(const MatrixStore& store, double x, double y, double z, WindowPosition& out) {
    WindowPosition w{0.0, 0.0, 0.0};
    if (gluProject(x, y, z, store.modelView, store.projection, store.viewport, &w.x, &w.y, &w.z) ==
        GL_FALSE) {
        return false;
    }
    out = w;
    return true;
}

bool unprojectPoint(const MatrixStore& store, double wx, double wy, double wz, Vec3d& out) {
    Vec3d p = out;
    const bool ok = gluUnProject(wx, wy, wz, store.modelView, store.projection, store.viewport,
                                 &p.x, &p.y, &p.z) == GL_TRUE;
    out = p;
    return ok;
}
