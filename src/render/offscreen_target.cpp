#include "render/offscreen_target.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

bool createOffscreenTarget(OffscreenTarget& target, int32_t width, int32_t height,
                           std::string& error) {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    if (width <= 0 || height <= 0 || width > largest || height > largest || width > viewport[0] ||
        height > viewport[1]) {
        error = "the GL driver can't draw " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels (at most " + std::to_string(largest) + " x " +
                std::to_string(largest) + ")";
        return false;
    }
    target = OffscreenTarget{};
    target.width = width;
    target.height = height;
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glGenRenderbuffers(1, &target.colour);
    glBindRenderbuffer(GL_RENDERBUFFER, target.colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target.colour);
    // 24 bits: the depth the window falls back to, and what every driver offers here.
    glGenRenderbuffers(1, &target.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);

    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    const GLenum failure = glGetError();
    if (status != GL_FRAMEBUFFER_COMPLETE || failure != GL_NO_ERROR) {
        error = failure == GL_OUT_OF_MEMORY
                    ? "not enough memory to draw " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels"
                    : "the GL driver can't make a framebuffer of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels";
        destroyOffscreenTarget(target);
        return false;
    }
    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

void destroyOffscreenTarget(OffscreenTarget& target) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (target.colour != 0) glDeleteRenderbuffers(1, &target.colour);
    if (target.depth != 0) glDeleteRenderbuffers(1, &target.depth);
    if (target.framebuffer != 0) glDeleteFramebuffers(1, &target.framebuffer);
    target = OffscreenTarget{};
}

void readOffscreenPixels(const OffscreenTarget& target, uint8_t* pixels) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, target.width, target.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}
