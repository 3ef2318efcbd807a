// The start camera and the solve's window test, as the figures are placed and wound with them,
// must agree with the show, or a figure would face away or leave the view the show has.
#include "figure/start_view.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <cmath>

#include "gl_context.h"
#include "render/camera.h"
#include "render/matrix_store.h"
#include "scene/show_facts.h"

TEST(StartView, MatchesTheShowsCameraAndGluProject) {
    ensureGlContext();
    Mesh mesh{};
    mesh.centre.restPos = {1021.25f, 503.5f, 0.0f};
    setupCamera(mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset, eyeOffset, startRa,
                startRb, windowWidth, windowHeight);
    MatrixStore store{};
    readMatrixStore(store);

    const StartView view = startView(1021.25, 503.5, 0.0);
    // GL keeps its matrices in single precision; the copy is exact to that precision.
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(view.modelView[i], store.modelView[i],
                    1e-3 * (1 + std::fabs(store.modelView[i])))
            << i;
        EXPECT_NEAR(view.projection[i], store.projection[i],
                    1e-6 * (1 + std::fabs(store.projection[i])))
            << i;
    }
    const double points[][3] = {{1021.25, 503.5, 0.0}, {300.0, 900.0, 0.0}, {1800.0, 100.0, 40.0}};
    for (const auto& p : points) {
        double wx, wy, wz;
        ASSERT_TRUE(gluProject(p[0], p[1], p[2], view.modelView, view.projection, view.viewport,
                               &wx, &wy, &wz));
        const WindowPoint w = projectPoint(view, p[0], p[1], p[2]);
        EXPECT_NEAR(w.x, wx, 1e-9);
        EXPECT_NEAR(w.y, wy, 1e-9);
        EXPECT_NEAR(w.depth, wz, 1e-12);
    }
}

TEST(StartView, TheSolveAreaExcludesTheEdgesAndTheBottomMargin) {
    const struct {
        WindowPoint p;
        double margin;
        bool inside;
    } cases[] = {
        {{640.0, 360.0, 1.0}, 0.0, true},
        {{0.0, 360.0, 1.0}, 0.0, false},
        {{1280.0, 360.0, 1.0}, 0.0, false},
        {{640.0, 50.0, 1.0}, 0.0, false},
        {{640.0, 50.5, 1.0}, 0.0, true},
        {{640.0, 720.0, 1.0}, 0.0, false},
        {{640.0, 70.0, 1.0}, 30.0, false},
        // Window coordinates are divided by the window depth first.
        {{640.0, 60.0, 1.25}, 0.0, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(insideSolveArea(c.p, c.margin), c.inside) << c.p.x << ", " << c.p.y;
    }
}
