#include "render/frame.h"

#include <GL/gl.h>

void finishFrame() {
    glFlush();
    glFinish();
}
