#include "render/texture.h"

#include <GL/gl.h>

#include <cstdio>

void uploadTexture(const Image& image, int32_t index, bool makeName) {
    // The pixels are handed over as tightly packed RGB rows; anything else would be read past.
    if (image.channels != 3 || image.pixels == nullptr) {
        std::fprintf(stderr, "warning: texture %d is not a three-channel picture; not uploaded\n",
                     index);
        return;
    }
    if (makeName) {
        GLuint unused = 0;
        glGenTextures(1, &unused);
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(index + 1));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image.pixels);
}
