#include "render/matrix_store.h"

#include <GL/gl.h>

void readMatrixStore(MatrixStore& store) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    for (int i = 0; i < 4; ++i) store.viewport[i] = viewport[i];
    glGetDoublev(GL_MODELVIEW_MATRIX, store.modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, store.projection);
}
