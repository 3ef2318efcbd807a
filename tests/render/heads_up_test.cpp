#include "render/heads_up.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <vector>

#include "gl_context.h"
#include "render/timeline_strip.h"
#include "scene/show_facts.h"

namespace {

// The settings the frame leaves current and the next frame relies on, as one list of numbers:
// viewport, both matrices, matrix mode and stack depths, bound texture, depth and blend
// functions, current colour, then the enable bits.
std::vector<double> snapshot() {
    std::vector<double> values;
    GLint ints[4];
    GLdouble matrix[16];
    GLfloat colour[4];
    glGetIntegerv(GL_VIEWPORT, ints);
    values.insert(values.end(), ints, ints + 4);
    for (GLenum which : {GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX}) {
        glGetDoublev(which, matrix);
        values.insert(values.end(), matrix, matrix + 16);
    }
    for (GLenum which : {GL_MATRIX_MODE, GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH,
                         GL_TEXTURE_BINDING_2D, GL_DEPTH_FUNC, GL_BLEND_SRC, GL_BLEND_DST,
                         GL_UNPACK_ALIGNMENT, GL_UNPACK_ROW_LENGTH}) {
        glGetIntegerv(which, ints);
        values.push_back(ints[0]);
    }
    glGetFloatv(GL_CURRENT_COLOR, colour);
    values.insert(values.end(), colour, colour + 4);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, colour);
    values.insert(values.end(), colour, colour + 4);
    for (GLenum which : {GL_ZOOM_X, GL_ZOOM_Y, GL_LINE_WIDTH}) {
        glGetFloatv(which, colour);
        values.push_back(colour[0]);
    }
    for (GLenum bit : {GL_DEPTH_TEST, GL_CULL_FACE, GL_TEXTURE_2D, GL_BLEND}) {
        values.push_back(glIsEnabled(bit));
    }
    return values;
}

std::vector<unsigned char> readFrame() {
    std::vector<unsigned char> rgb(size_t(windowWidth) * windowHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

}  // namespace

TEST(HeadsUp, LeavesViewportMatricesAndDrawingStateAsItFoundThem) {
    static StripTicks ticks;
    clearStripTicks(ticks, builtInTimeline);
    addStripTick(ticks, 30.0f, StripTick::ScriptRow, 1);
    addStripTick(ticks, 31.0f, StripTick::TakeRow, 1);
    const struct {
        const char* name;
        void (*draw)();
    } drawings[] = {
        {"line",
         [] { drawHeadsUpLine("01:10.25  kiv  recording  vertex 123  rows 456", 300, 200); }},
        {"strip",
         [] {
             drawTimelineStrip(ticks, StripMarks{40.0, StripLoop::Active, 35.0, 45.0},
                               builtInTimeline, 300, 200);
         }},
    };
    for (const auto& drawing : drawings) {
        SCOPED_TRACE(drawing.name);
        ensureGlContext();
        glViewport(10, 20, 300, 200);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glTranslated(3.0, -4.0, -50.0);
        glRotated(30.0, 1.0, 2.0, 3.0);
        // The projection stack is left current, not where the camera leaves it, so a function that
        // restores "the usual" mode instead of the one it found is caught.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-1.0, 1.5, -0.75, 1.0, 2.0, 900.0);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
        glBindTexture(GL_TEXTURE_2D, 7);
        glDepthFunc(GL_LEQUAL);
        glColor4f(0.25f, 0.5f, 0.75f, 0.125f);
        const std::vector<double> before = snapshot();

        drawing.draw();

        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_EQ(snapshot(), before);

        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
        glBlendFunc(GL_ONE, GL_ZERO);
        glDepthFunc(GL_LESS);
        glMatrixMode(GL_MODELVIEW);
        resetViewport();
    }
}

TEST(HeadsUp, DrawsLightTextOnADarkBandInTheTopLeftCornerOnly) {
    ensureGlContext();
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    const std::vector<unsigned char> before = readFrame();

    const char* text = "00:59.50  kiv  paused";
    drawHeadsUpLine(text, windowWidth, windowHeight);
    const std::vector<unsigned char> after = readFrame();

    // At two pixels per font pixel each character is at most 14 wide and the line 24 high;
    // the band adds a little padding.
    const int bandRight = 14 * int(std::strlen(text)) + 16, bandBottom = 40;
    int darkened = 0, light = 0;
    for (int y = 0; y < windowHeight; ++y) {
        for (int x = 0; x < windowWidth; ++x) {
            const size_t i = (size_t(y) * windowWidth + x) * 3;
            const int fromTop = windowHeight - 1 - y;
            const bool changed = after[i] != before[i] || after[i + 1] != before[i + 1] ||
                                 after[i + 2] != before[i + 2];
            if (fromTop >= bandBottom || x >= bandRight) {
                ASSERT_FALSE(changed) << "(" << x << ", " << fromTop << " from the top)";
            } else if (after[i] < 80) {
                ++darkened;
            } else if (after[i] > 200 && after[i + 2] > 180) {
                ++light;
            }
        }
    }
    EXPECT_GT(darkened, 1000);  // the band, behind and around the glyphs
    EXPECT_GT(light, 200);      // the glyphs, lighter than the grey picture
    // The corner pixel is band, not picture.
    const Pixel corner = readPixel(1, windowHeight - 2);
    EXPECT_LT(corner.r, 80);
}
