#include "gl_context.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "platform/sdl_platform.h"
#include "scene/show_facts.h"

namespace {
bool open = false;
}

SdlPlatform& testWindowPlatform() {
    static SdlPlatform platform(depthBits);
    return platform;
}

void ensureGlContext() {
    if (!open) {
        ASSERT_TRUE(testWindowPlatform().createGlWindow("kelvaro test", windowWidth, windowHeight,
                                                        colorBits, false));
        open = true;
    }
    resetViewport();
}

void resetViewport() {
    glViewport(0, 0, windowWidth, windowHeight);
}

Pixel readPixel(int x, int yFromBottom) {
    unsigned char rgb[3] = {0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, yFromBottom, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return Pixel{rgb[0], rgb[1], rgb[2]};
}
