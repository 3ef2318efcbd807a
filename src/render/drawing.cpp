#include "render/drawing.h"

#include <GL/gl.h>

#include <cstddef>

void drawBackground(int32_t textureIndex, float brightness, int32_t windowWidth,
                    int32_t windowHeight) {
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClear(GL_COLOR_BUFFER_BIT);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Pixel coordinates of the configured window (origin top-left, y down) onto the whole
    // normalised square, so the picture fills any viewport.
    glTranslatef(-1.0f, 1.0f, 0.0f);
    const double scaleX = 2.0 / double(windowWidth);
    const double scaleY = -2.0 / double(windowHeight);
    glScalef(float(scaleX), float(scaleY), 1.0f);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, GLuint(textureIndex + 1));

    float b = brightness;
    if (b > 1.0f) {
        b = 1.0f;
    } else if (b < 0.0f) {
        b = 0.0f;
    }
    // The texture environment stays at modulate: the colour scales the picture.
    glColor3f(b, b, b);

    const float w = float(windowWidth);
    const float h = float(windowHeight);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(w, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(w, h);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, h);
    glEnd();

    glDisable(GL_TEXTURE_2D);
}

void drawMesh(const Mesh& mesh, int32_t texWidth, int32_t texHeight, int32_t textureIndex) {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDepthFunc(GL_LESS);
    // Only depth: the background drawn before stays in the colour buffer.
    glClear(GL_DEPTH_BUFFER_BIT);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, GLuint(textureIndex + 1));
    glColor3f(1.0f, 1.0f, 1.0f);

    const float w = float(texWidth);
    const float h = float(texHeight);
    const std::vector<MeshVertex>& vertices = mesh.vertices;
    const size_t count = vertices.size();
    glBegin(GL_TRIANGLES);
    for (const MeshFace& face : mesh.faces) {
        // A face naming a vertex outside the list is dropped whole rather than read past the
        // end; sending only some of its corners would shift every later triangle.
        bool inside = true;
        for (int j = 0; j < 3; ++j) {
            if (face.v[j] < 0 || size_t(face.v[j]) >= count) inside = false;
        }
        if (!inside) continue;
        for (int j = 0; j < 3; ++j) {
            const MeshVertex& p = vertices[size_t(face.v[j])];
            glTexCoord2f(p.restPos.x / w, p.restPos.y / h);
            glVertex3f(p.pos.x, p.pos.y, p.pos.z);
        }
    }
    glEnd();

    glDisable(GL_TEXTURE_2D);
}
