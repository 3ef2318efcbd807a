// The generator's copy of the start camera must put points exactly where the show does.
#include "start_view.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "driver/config.h"
#include "driver/matrix_store.h"
#include "gl_context.h"
#include "render/camera.h"

TEST(StartView, MatchesTheShowsCameraAndGluProject) {
    ensureGlContext();
    Mesh mesh{};
    mesh.centre.restPos = {1021.25f, 503.5f, 0.0f};
    setupCamera(mesh, startFov, startDx, startDy, startDz, eyeOffset, eyeOffset, eyeOffset, startRa,
                startRb);
    MatrixStore store{};
    readMatrixStore(store);

    const StartView view = startView(1021.25, 503.5, 0.0);
    // GL keeps its matrices in single precision; the copy is exact to that precision.
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(view.modelView[i], store.modelView[i],
                    1e-3 * (1.0 + std::fabs(store.modelView[i])))
            << "model-view " << i;
        EXPECT_NEAR(view.projection[i], store.projection[i],
                    1e-6 * (1.0 + std::fabs(store.projection[i])))
            << "projection " << i;
    }
    const std::vector<std::array<double, 3>> points = {
        {1021.25, 503.5, 0.0}, {300.0, 900.0, 0.0}, {1800.0, 100.0, 40.0}};
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

TEST(StartView, TheMeshCentreLandsRightOfMiddleAndLowAndTheTextureIsMirrored) {
    const StartView view = startView(1000.0, 500.0, 0.0);
    const WindowPoint centre = projectPoint(view, 1000.0, 500.0, 0.0);
    EXPECT_NEAR(centre.x, 725.0, 1.0);
    EXPECT_NEAR(centre.y, 288.7, 1.0);
    // Texture x to the right goes left on screen; texture y down goes down on screen.
    EXPECT_LT(projectPoint(view, 1100.0, 500.0, 0.0).x, centre.x - 70.0);
    EXPECT_LT(projectPoint(view, 1000.0, 600.0, 0.0).y, centre.y - 70.0);
}

TEST(StartView, TheSolveAreaExcludesTheEdgesAndTheBottomMargin) {
    EXPECT_TRUE(insideSolveArea({640.0, 360.0, 1.0}, 0.0));
    EXPECT_FALSE(insideSolveArea({0.0, 360.0, 1.0}, 0.0));
    EXPECT_FALSE(insideSolveArea({1280.0, 360.0, 1.0}, 0.0));
    EXPECT_FALSE(insideSolveArea({640.0, 50.0, 1.0}, 0.0));
    EXPECT_TRUE(insideSolveArea({640.0, 50.5, 1.0}, 0.0));
    EXPECT_FALSE(insideSolveArea({640.0, 720.0, 1.0}, 0.0));
    EXPECT_FALSE(insideSolveArea({640.0, 70.0, 1.0}, 30.0));
    // Window coordinates are divided by the window depth first.
    EXPECT_FALSE(insideSolveArea({640.0, 60.0, 1.25}, 0.0));
}
