// A written figure in the show: the slot loads as any other, and a script row that drags a
// limb's tip bends the figure without tearing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "drawings.h"
#include "driver/frame_loop.h"
#include "driver/keyframes.h"
#include "driver/load_scene.h"
#include "fake_platform.h"
#include "figure/make_figure.h"
#include "figure/slot_folder.h"
#include "gl_context.h"
#include "scene/show_facts.h"
#include "show_folder.h"

TEST(FigureInShow, ADraggedHandBendsTheArmAndTheFigureHoldsTogether) {
    TempFolder show;
    writeShowFolder(show.path(), "v 20 20 0\nv 40 20 0\nv 40 40 0\nf 1 2 3\n");
    saveDrawing(show.file("stick.png"), paintDrawing(400, 400, stickFigure(400, 7)));
    FigureRequest request;
    request.picture = show.file("stick.png");
    request.bones = 8;
    FigureResult figure;
    std::string error;
    ASSERT_TRUE(makeFigure(request, figure, error)) << error;
    ASSERT_TRUE(writeSlotFolder({show.file("kiv"), "", true}, figure, error)) << error;

    // The hand, the shoulder and the hips: the vertices nearest those points of the drawing.
    const auto nearest = [&](double x, double y) {
        const Vec2 t = drawingToTexture(figure.placement, {x * 4.0, y * 4.0});
        int best = 0;
        for (size_t v = 0; v < figure.mesh.vertices.size(); ++v)
            if (length(figure.mesh.vertices[v] - t) <
                length(figure.mesh.vertices[size_t(best)] - t))
                best = int(v);
        return best;
    };
    const int hand = nearest(20, 50), shoulder = nearest(50, 33), hips = nearest(50, 58);
    const Vec2 rest = figure.mesh.vertices[size_t(hand)];
    std::string rows;
    // One second of drag, then one of hold.
    for (int k = 0; k <= 100; ++k) {
        char line[128];
        const int d = std::min(k, 50);
        std::snprintf(line, sizeof line, "%f 1 %d %f %f 0\n", 20.0 + 0.02 * k, hand,
                      rest.x + 3.0 * d, rest.y - 2.0 * d);
        rows += line;
    }
    writeTextFile(show.file("anim.txt"), rows);

    ensureGlContext();
    FakePlatform platform;
    auto state = std::make_unique<DriverState>();
    initDriverState(*state, true);
    int32_t textures = 0;
    {
        WorkingDirectory here(show.path());
        state->keyframeCount = readKeyframes(keyframeFileName, state->keyframes);
        testing::internal::CaptureStderr();
        for (int slot = 0; slot < sceneSlotCount; ++slot)
            loadScene(state->scenes[slot], sceneSlots[slot].directory, sceneSlots[slot].boneCount,
                      sceneSlots[slot].appendMirror, textures);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
    const Scene& scene = state->scenes[1];
    ASSERT_EQ(scene.mesh.vertices.size(), figure.mesh.vertices.size());
    state->clock = ShowClock{0, 1e6, 0.0};
    InputTable input{};
    MatrixStore matrices{};
    for (int frame = 0; frame < 100; ++frame) {
        platform.setClock(20.01 + 0.02 * frame);
        ASSERT_EQ(runFrame(platform, *state, input, matrices), FrameOutcome::Continue);
    }

    // The hand is where the row puts it, and every position is a number.
    const MeshVertex& h = scene.mesh.vertices[size_t(hand)];
    EXPECT_GT(std::hypot(h.pos.x - h.restPos.x, h.pos.y - h.restPos.y), 150.0);
    for (const MeshVertex& v : scene.mesh.vertices)
        ASSERT_TRUE(std::isfinite(v.pos.x) && std::isfinite(v.pos.y) && std::isfinite(v.pos.z));
    // The arm turned at the shoulder against the body: the figure bent, it did not only move.
    const auto angleAtShoulder = [&](bool now) {
        const auto at = [&](int v) {
            const MeshVertex& m = scene.mesh.vertices[size_t(v)];
            return now ? Vec2{m.pos.x, m.pos.y} : Vec2{m.restPos.x, m.restPos.y};
        };
        const Vec2 arm = at(hand) - at(shoulder), body = at(hips) - at(shoulder);
        return std::acos(dot(arm, body) / (length(arm) * length(body))) * 180.0 / 3.14159265;
    };
    EXPECT_GT(std::fabs(angleAtShoulder(true) - angleAtShoulder(false)), 10.0);
    // Nothing tore: no edge grew by more than two mesh spacings.
    double worst = 0.0;
    for (const MeshFace& f : scene.mesh.faces)
        for (int k = 0; k < 3; ++k) {
            const MeshVertex& a = scene.mesh.vertices[size_t(f.v[k])];
            const MeshVertex& b = scene.mesh.vertices[size_t(f.v[(k + 1) % 3])];
            const double now = std::hypot(a.pos.x - b.pos.x, a.pos.y - b.pos.y);
            const double then = std::hypot(a.restPos.x - b.restPos.x, a.restPos.y - b.restPos.y);
            worst = std::max(worst, now - then);
        }
    EXPECT_LT(worst, 2.0 * figure.spacing);
}
