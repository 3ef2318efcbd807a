// The generated show played in-process through the real start-up, frame loop, deformation and
// drawing, on a clock that the test moves: screenshots at fixed times, written into the build
// tree, and what a viewer should see in them.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <complex>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "console.h"
#include "driver/frame_loop.h"
#include "driver/startup.h"
#include "fake_platform.h"
#include "generated_show.h"
#include "gl_context.h"
#include "render/drawing.h"
#include "stb_image_write.h"

namespace {

struct Shot {
    std::vector<unsigned char> rgb;  // top row first
    double luminance(int x0 = 0, int y0 = 0, int x1 = windowWidth, int y1 = windowHeight) const {
        double sum = 0.0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                const unsigned char* p = &rgb[(size_t(y) * windowWidth + size_t(x)) * 3];
                sum += 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
            }
        }
        return sum / double((x1 - x0) * (y1 - y0));
    }
};

// The back buffer, and a copy of it as a PNG in the build tree when a name is given.
Shot grab(const std::string& name = "") {
    std::vector<unsigned char> raw(size_t(windowWidth) * windowHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, windowWidth, windowHeight, GL_RGB, GL_UNSIGNED_BYTE, raw.data());
    Shot shot{std::vector<unsigned char>(raw.size())};
    const size_t row = size_t(windowWidth) * 3;
    for (size_t y = 0; y < size_t(windowHeight); ++y)
        std::copy_n(&raw[(windowHeight - 1 - y) * row], row, &shot.rgb[y * row]);
    if (!name.empty()) {
        const std::string dir = std::string(KELVARO_BINARY_DIR) + "/screenshots";
        mkdir(dir.c_str(), 0755);
        stbi_write_png((dir + "/" + name).c_str(), windowWidth, windowHeight, 3, shot.rgb.data(),
                       int(row));
    }
    return shot;
}

// The share of the window where two pictures differ clearly.
double changedShare(const Shot& a, const Shot& b) {
    size_t changed = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        const int d = std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) +
                      std::abs(a.rgb[i + 2] - b.rgb[i + 2]);
        changed += d > 40;
    }
    return double(changed) / double(a.rgb.size() / 3);
}

// How far the mesh is from a rigid move of its rest shape: the root mean square distance, in
// picture pixels, left after the best turn and shift in the picture plane.
double bend(const Mesh& mesh) {
    using Point = std::complex<double>;
    const double n = double(mesh.vertices.size());
    Point rest, now, turn;
    for (const MeshVertex& v : mesh.vertices) {
        rest += Point(v.restPos.x, v.restPos.y) / n;
        now += Point(v.pos.x, v.pos.y) / n;
    }
    for (const MeshVertex& v : mesh.vertices)
        turn += std::conj(Point(v.restPos.x, v.restPos.y) - rest) * (Point(v.pos.x, v.pos.y) - now);
    turn /= std::abs(turn);
    double sum = 0.0;
    for (const MeshVertex& v : mesh.vertices)
        sum += std::norm(Point(v.pos.x, v.pos.y) - now -
                         turn * (Point(v.restPos.x, v.restPos.y) - rest));
    return std::sqrt(sum / n);
}

// The share of a mesh's vertices pressed against the edges of the area in which the solve
// moves vertices (within 2 window pixels of them): there the figure would flatten and tear.
double shareAtEdges(const Mesh& mesh, const MatrixStore& m) {
    size_t pressed = 0;
    for (const MeshVertex& v : mesh.vertices) {
        double wx, wy, wz;
        gluProject(v.pos.x, v.pos.y, v.pos.z, m.modelView, m.projection, m.viewport, &wx, &wy, &wz);
        const double sx = wx / wz, sy = wy / wz;
        pressed += std::min({sx, m.viewport[2] - sx, sy - 50.0, m.viewport[3] - sy}) < 2.0;
    }
    return double(pressed) / double(mesh.vertices.size());
}

}  // namespace

TEST(ShowScreenshots, TheTitleFadesInTheFiguresDanceBentAndTheClosingPictureEndsTheShow) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    ensureGlContext();
    WorkingDirectory cwd(root);

    // The show's own start-up, with the test's window and clock and without a sound card.
    FakePlatform platform;
    CapturedConsole console;
    DriverState state;
    state.console = console.file();
    ASSERT_TRUE(startUp(platform, state, true, realStartupSteps()));

    const InputTable idle{};
    MatrixStore matrices{};
    const std::set<int> shotTimes = {5000, 13000, 15000, 30000, 50000, 70000, 84000};
    std::map<int, Shot> shots;
    std::map<int, double> coverage, bendAt;
    double mostBent[5] = {}, mostPressed[5] = {};

    // The title: a frame every half second. The figures: 50 frames a second, one per row, as the
    // show plays them. A frame that no screenshot is taken of is drawn into a one-pixel scissor
    // box: the frame loop runs unchanged, but the software rasteriser has next to nothing to do.
    int ms = 0;
    FrameOutcome outcome = FrameOutcome::Continue;
    for (;; ms += ms < 19500 ? 500 : 20) {
        const bool shot = shotTimes.count(ms) != 0;
        if (!shot) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, 0, 1, 1);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
        platform.setClock(ms / 1000.0 + 0.001);
        outcome = runFrame(platform, state, idle, matrices);
        if (outcome != FrameOutcome::Continue) break;
        const int slot = state.currentScene;
        const Scene& scene = state.scenes[size_t(slot)];
        if (slot >= 1 && slot <= 4) {
            mostBent[slot] = std::max(mostBent[slot], bend(scene.mesh));
            mostPressed[slot] = std::max(mostPressed[slot], shareAtEdges(scene.mesh, matrices));
        }
        if (!shot) continue;
        shots[ms] = grab("show_" + std::string(ms < 10000 ? "0" : "") + std::to_string(ms / 1000) +
                         "s.png");
        if (slot >= 1 && slot <= 4) {
            bendAt[ms] = bend(scene.mesh);
            // The same frame's background alone shows where the figure covers it.
            drawBackground(scene.backgroundTexture, 1.0f, windowWidth, windowHeight);
            coverage[ms] = changedShare(shots[ms], grab());
        }
    }
    glDisable(GL_SCISSOR_TEST);
    ASSERT_EQ(outcome, FrameOutcome::ShowEnded);
    EXPECT_TRUE(ms >= 87000 && ms < 87100) << ms;
    platform.setClockStep(0.05);
    runClosingSequence(platform, state);
    const Shot closing = grab("show_88s.png");

    // Black before the fade, part way at 13 s, full from 14 s.
    EXPECT_LT(shots[5000].luminance(), 1.0);
    EXPECT_GT(shots[13000].luminance(), 5.0);
    EXPECT_LT(shots[13000].luminance(), shots[15000].luminance() * 0.8);
    EXPECT_LT(shots[13000].luminance(), shots[30000].luminance());
    // The title's name is in the upper middle: much brighter than the corners.
    EXPECT_GT(shots[15000].luminance(400, 220, 880, 400),
              2.0 * shots[15000].luminance(0, 0, 200, 120));

    for (int t : {30000, 50000, 70000, 84000})
        EXPECT_GT(coverage[t], 0.12) << "the figure at " << t / 1000 << " s covers too little";
    EXPECT_GT(std::max({bendAt[30000], bendAt[50000], bendAt[70000]}), 2.0);
    for (int slot = 1; slot <= 3; ++slot) EXPECT_GT(mostBent[slot], 6.0) << "slot " << slot;
    for (int slot = 1; slot <= 4; ++slot) EXPECT_LT(mostPressed[slot], 0.01) << "slot " << slot;

    // The closing picture: the logo slot's background as drawn at full brightness, with its
    // bright lettering in the middle.
    EXPECT_GT(closing.luminance(300, 200, 980, 330), 2.0 * closing.luminance(0, 600, 300, 720));
    drawBackground(state.scenes[closingSlot].backgroundTexture, 1.0f, windowWidth, windowHeight);
    EXPECT_LT(changedShare(closing, grab()), 0.001);
}
