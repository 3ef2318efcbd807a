#include "render/camera.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

#include "gl_context.h"
#include "render/matrix_store.h"
#include "scene/show_facts.h"

namespace {

struct WindowPoint {
    double x, y, z;
};

const Vec3f START{startDx, startDy, startDz};

// The camera on a mesh centred at `centre`, with the matrices read back as the driver does.
struct View {
    MatrixStore store{};
    View(Vec3f centre, Vec3f d, float ra, float rb) {
        Mesh mesh{};
        mesh.centre.restPos = centre;
        setupCamera(mesh, startFov, d.x, d.y, d.z, eyeOffset, eyeOffset, eyeOffset, ra, rb,
                    windowWidth, windowHeight);
        readMatrixStore(store);
    }
    WindowPoint project(double x, double y, double z) const {
        WindowPoint w{0.0, 0.0, 0.0};
        EXPECT_EQ(gluProject(x, y, z, store.modelView, store.projection, store.viewport, &w.x, &w.y,
                             &w.z),
                  GL_TRUE);
        return w;
    }
};

void expectSamePlace(const WindowPoint& a, const WindowPoint& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1e-3) << what;
    EXPECT_NEAR(a.y, b.y, 1e-3) << what;
}

}  // namespace

TEST(Camera, UnturnedModelLooksAlongTheDiagonalWithZUpAndTurnsXThenZ) {
    ensureGlContext();
    // The look-at point moved along the viewing line: the centre is the middle of the window.
    const Vec3f centre{400.0f, 300.0f, -20.0f}, diagonal{2000.0f, 2000.0f, 2000.0f};
    const View still(centre, diagonal, 0.0f, 0.0f);
    const WindowPoint c = still.project(400.0, 300.0, -20.0);
    expectSamePlace(c, {640.0, 360.0, 0.0}, "centre");

    // Unturned, the model's z axis stands upright and its x and y axes lie mirror-symmetric.
    const WindowPoint up = still.project(400.0, 300.0, 80.0);
    EXPECT_NEAR(up.x, c.x, 1e-3);
    EXPECT_GT(up.y, c.y + 10.0);
    const WindowPoint alongX = still.project(500.0, 300.0, -20.0);
    const WindowPoint alongY = still.project(400.0, 400.0, -20.0);
    expectSamePlace({alongX.x - c.x, alongX.y, 0.0}, {c.x - alongY.x, alongY.y, 0.0}, "mirror");
    EXPECT_GT(std::fabs(alongX.x - c.x), 10.0);

    // 90 degrees about z carries x onto y; about x, y onto z; both: x first, so z ends on x.
    expectSamePlace(View(centre, diagonal, 90.0f, 0.0f).project(500, 300, -20), alongY, "ra");
    expectSamePlace(View(centre, diagonal, 0.0f, 90.0f).project(400, 400, -20), up, "rb");
    expectSamePlace(View(centre, diagonal, 90.0f, 90.0f).project(400, 300, 80), alongX, "both");

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST(Camera, TurningNeverMovesTheCentreOnScreen) {
    ensureGlContext();
    const Vec3f centre{512.0f, 384.0f, 0.0f};
    const View still(centre, START, 0.0f, 0.0f);
    const float turns[][2] = {
        {-44.0f, -58.0f}, {180.0f, -30.0f}, {-135.0f, 45.0f}, {10.0f, 200.0f}};
    for (const auto& turn : turns) {
        const View turned(centre, START, turn[0], turn[1]);
        expectSamePlace(turned.project(512, 384, 0), still.project(512, 384, 0), "centre");
        // ...while the rest of the model does move.
        const WindowPoint a = turned.project(812, 684, 0), b = still.project(812, 684, 0);
        EXPECT_GT(std::hypot(a.x - b.x, a.y - b.y), 1.0) << turn[0] << ", " << turn[1];
    }
}

TEST(Camera, AspectAndFieldOfViewStayTheConfiguredOnesAfterAResize) {
    ensureGlContext();
    for (const auto& size : {std::make_pair(500, 700), std::make_pair(1280, 200)}) {
        glViewport(0, 0, size.first, size.second);
        const View view({0.0f, 0.0f, 0.0f}, START, 0.0f, 0.0f);
        EXPECT_EQ(view.store.viewport[2], size.first);
        EXPECT_NEAR(view.store.projection[5] / view.store.projection[0], 1280.0 / 720.0, 1e-6);
        // A 15 degree field of view: [5] is the cotangent of half of it.
        EXPECT_NEAR(view.store.projection[5], 1.0 / std::tan(7.5 * 3.14159265358979323846 / 180.0),
                    1e-5);
    }
    resetViewport();
}

TEST(Camera, StartValuesShowAFlatMeshAboveTheMarginWithXRunningRightToLeft) {
    ensureGlContext();
    const float cx = 400.0f, cy = 300.0f;
    const View view({cx, cy, 0.0f}, START, startRa, startRb);
    // A 600 x 600 grid, tested as the solve does: window coordinates over window depth.
    for (int i = 0; i <= 12; ++i) {
        for (int j = 0; j <= 12; ++j) {
            const WindowPoint w = view.project(cx - 300.0 + 50.0 * i, cy - 300.0 + 50.0 * j, 0.0);
            const double sx = w.x / w.z, sy = w.y / w.z;
            EXPECT_TRUE(sx > 0.0 && sx < 1280.0 && sy > 50.0 && sy < 720.0 && w.z > 0.0 &&
                        w.z < 1.0)
                << i << ", " << j << ": " << sx << ", " << sy << ", " << w.z;
        }
    }
    // The picture's x axis runs from right to left on screen.
    EXPECT_LT(view.project(cx + 100.0, cy, 0.0).x, view.project(cx, cy, 0.0).x - 10.0);
}
