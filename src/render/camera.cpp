#include "render/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "scene/show_facts.h"

void setupCamera(const Mesh& mesh, float fov, float dx, float dy, float dz, float ox, float oy,
                 float oz, float ra, float rb, int32_t windowWidth, int32_t windowHeight) {
    // The aspect follows the configured window, not the client size: a resized window shows the
    // same picture stretched.
    const float aspect = float(windowWidth) / float(windowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(double(fov), double(aspect), cameraNearPlane, cameraFarPlane);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    const Vec3f& c = mesh.centre.restPos;
    const float eyeX = (c.x + ox) + dx;
    const float eyeY = (c.y + oy) + dy;
    const float eyeZ = (c.z + oz) + dz;
    const float atX = c.x + dx;
    const float atY = c.y + dy;
    const float atZ = c.z + dz;
    gluLookAt(eyeX, eyeY, eyeZ, atX, atY, atZ, 0.0, 0.0, 1.0);

    // The turns pivot on the rest centroid, so the look-at offset keeps its meaning however the
    // model is turned.
    glTranslatef(c.x, c.y, c.z);
    glRotatef(ra, 0.0f, 0.0f, 1.0f);
    glRotatef(rb, 1.0f, 0.0f, 0.0f);
    glTranslatef(-c.x, -c.y, -c.z);
}
