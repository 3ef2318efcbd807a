#include "render/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

#include "driver/config.h"
#include "driver/matrix_store.h"
#include "gl_context.h"

namespace {

struct WindowPoint {
    double x, y, z;
};

Mesh meshCentredAt(float cx, float cy, float cz) {
    Mesh mesh{};
    mesh.centre.restPos = Vec3f{cx, cy, cz};
    return mesh;
}

WindowPoint project(const MatrixStore& store, double x, double y, double z) {
    WindowPoint w{0.0, 0.0, 0.0};
    EXPECT_EQ(
        gluProject(x, y, z, store.modelView, store.projection, store.viewport, &w.x, &w.y, &w.z),
        GL_TRUE);
    return w;
}

MatrixStore cameraMatrices(const Mesh& mesh, float dx, float dy, float dz, float ra, float rb) {
    setupCamera(mesh, startFov, dx, dy, dz, eyeOffset, eyeOffset, eyeOffset, ra, rb);
    MatrixStore store{};
    readMatrixStore(store);
    return store;
}

}  // namespace

TEST(Camera, UnturnedModelLooksAlongTheDiagonalWithZUp) {
    ensureGlContext();
    const Mesh mesh = meshCentredAt(400.0f, 300.0f, -20.0f);
    // The look-at point moved along the viewing line: the centre is the middle of the window.
    const float d = 2000.0f;
    const MatrixStore store = cameraMatrices(mesh, d, d, d, 0.0f, 0.0f);
    const WindowPoint c = project(store, 400.0, 300.0, -20.0);
    EXPECT_NEAR(c.x, 640.0, 1e-3);
    EXPECT_NEAR(c.y, 360.0, 1e-3);

    // Unturned, the model's z axis stands upright and its x and y axes lie mirror-symmetric.
    const WindowPoint up = project(store, 400.0, 300.0, 80.0);
    EXPECT_NEAR(up.x, c.x, 1e-3);
    EXPECT_GT(up.y, c.y + 10.0);
    const WindowPoint alongX = project(store, 500.0, 300.0, -20.0);
    const WindowPoint alongY = project(store, 400.0, 400.0, -20.0);
    EXPECT_NEAR(alongX.x - c.x, -(alongY.x - c.x), 1e-3);
    EXPECT_NEAR(alongX.y, alongY.y, 1e-3);
    EXPECT_GT(std::fabs(alongX.x - c.x), 10.0);

    // A turn of 90 degrees about z carries x onto y; one about x carries y onto z.
    const MatrixStore turnedZ = cameraMatrices(mesh, d, d, d, 90.0f, 0.0f);
    const WindowPoint xTurned = project(turnedZ, 500.0, 300.0, -20.0);
    EXPECT_NEAR(xTurned.x, alongY.x, 1e-3);
    EXPECT_NEAR(xTurned.y, alongY.y, 1e-3);
    const MatrixStore turnedX = cameraMatrices(mesh, d, d, d, 0.0f, 90.0f);
    const WindowPoint yTurned = project(turnedX, 400.0, 400.0, -20.0);
    EXPECT_NEAR(yTurned.x, up.x, 1e-3);
    EXPECT_NEAR(yTurned.y, up.y, 1e-3);

    // Both at once: the model is turned about x first, then about z, so z ends on x.
    const MatrixStore both = cameraMatrices(mesh, d, d, d, 90.0f, 90.0f);
    const WindowPoint zTurned = project(both, 400.0, 300.0, 80.0);
    EXPECT_NEAR(zTurned.x, alongX.x, 1e-3);
    EXPECT_NEAR(zTurned.y, alongX.y, 1e-3);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST(Camera, TurningNeverMovesTheCentreOnScreen) {
    ensureGlContext();
    const Mesh mesh = meshCentredAt(512.0f, 384.0f, 0.0f);
    const MatrixStore still = cameraMatrices(mesh, startDx, startDy, startDz, 0.0f, 0.0f);
    const WindowPoint c = project(still, 512.0, 384.0, 0.0);
    const WindowPoint corner = project(still, 812.0, 684.0, 0.0);
    const float turns[][2] = {{-44.0f, -58.0f}, {90.0f, 0.0f},    {0.0f, 90.0f},
                              {180.0f, -30.0f}, {-135.0f, 45.0f}, {10.0f, 200.0f}};
    for (const auto& turn : turns) {
        const MatrixStore store = cameraMatrices(mesh, startDx, startDy, startDz, turn[0], turn[1]);
        const WindowPoint w = project(store, 512.0, 384.0, 0.0);
        EXPECT_NEAR(w.x, c.x, 1e-3) << "ra " << turn[0] << " rb " << turn[1];
        EXPECT_NEAR(w.y, c.y, 1e-3) << "ra " << turn[0] << " rb " << turn[1];
        // ...while the rest of the model does move.
        const WindowPoint moved = project(store, 812.0, 684.0, 0.0);
        EXPECT_GT(std::hypot(moved.x - corner.x, moved.y - corner.y), 1.0);
    }
}

TEST(Camera, AspectStaysTheConfiguredOneAfterAResize) {
    ensureGlContext();
    const Mesh mesh = meshCentredAt(0.0f, 0.0f, 0.0f);
    const float aspect = float(windowWidth) / float(windowHeight);
    EXPECT_EQ(aspect, 1.7777778f);
    const int sizes[][2] = {{1280, 720}, {500, 700}, {1280, 200}};
    for (const auto& size : sizes) {
        glViewport(0, 0, size[0], size[1]);
        const MatrixStore store = cameraMatrices(mesh, startDx, startDy, startDz, 0.0f, 0.0f);
        EXPECT_EQ(store.viewport[2], size[0]);
        EXPECT_NEAR(store.projection[5] / store.projection[0], double(aspect), 1e-6);
        // A 15 degree field of view: [5] is the cotangent of half of it.
        EXPECT_NEAR(store.projection[5], 1.0 / std::tan(7.5 * 3.14159265358979323846 / 180.0),
                    1e-5);
    }
    resetViewport();
}

TEST(Camera, StartValuesShowAFlatMeshAboveTheMarginWithXRunningRightToLeft) {
    ensureGlContext();
    const float cx = 400.0f, cy = 300.0f;
    const Mesh mesh = meshCentredAt(cx, cy, 0.0f);
    setupCamera(mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset, eyeOffset, startRa,
                startRb);
    MatrixStore store{};
    readMatrixStore(store);

    // The same test the solve makes: window coordinates divided by window depth.
    double lowest = 1e9;
    for (int i = 0; i <= 12; ++i) {
        for (int j = 0; j <= 12; ++j) {
            const double x = cx - 300.0 + 50.0 * i;
            const double y = cy - 300.0 + 50.0 * j;
            const WindowPoint w = project(store, x, y, 0.0);
            const double sx = w.x / w.z;
            const double sy = w.y / w.z;
            EXPECT_GT(sx, 0.0) << x << ", " << y;
            EXPECT_LT(sx, 1280.0) << x << ", " << y;
            EXPECT_GT(sy, 50.0) << x << ", " << y;
            EXPECT_LT(sy, 720.0) << x << ", " << y;
            EXPECT_GT(w.z, 0.0);
            EXPECT_LT(w.z, 1.0);
            lowest = std::fmin(lowest, sy);
        }
    }
    EXPECT_GT(lowest, 50.0);

    // The picture's x axis runs from right to left on screen.
    const WindowPoint c = project(store, cx, cy, 0.0);
    const WindowPoint right = project(store, cx + 100.0, cy, 0.0);
    EXPECT_LT(right.x, c.x - 10.0);
}
