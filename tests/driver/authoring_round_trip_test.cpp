// The reason the authoring tool exists: what an author drags is what the show plays back.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "console.h"
#include "driver/frame_loop.h"
#include "driver/keyframes.h"
#include "driver/load_scene.h"
#include "fake_platform.h"
#include "gl_context.h"
#include "show_folder.h"
#include "window_point.h"

namespace {

constexpr int columns = 9;
constexpr int rows = 5;
constexpr int width = 336;
constexpr int height = 176;
constexpr int32_t draggedVertex = 2 * columns + columns - 1;  // right end of the middle row

// A flat grid 40 apart in the pictures' pixel frame with two overlapping bones: the left part
// and the right part, the right one weaker.
void writeGridScene(const std::string& dir) {
    makeFolder(dir);
    std::ostringstream obj;
    for (int k = 0; k < rows * columns; ++k)
        obj << "v " << 8 + 40 * (k % columns) << ' ' << 8 + 40 * (k / columns) << " 0\n";
    for (int row = 0; row + 1 < rows; ++row) {
        for (int column = 0; column + 1 < columns; ++column) {
            const int a = row * columns + column + 1;  // vertex numbers count from 1
            const int c = a + columns;
            obj << "f " << a << ' ' << c << ' ' << a + 1 << "\nf " << a + 1 << ' ' << c << ' '
                << c + 1 << '\n';
        }
    }
    writeTextFile(dir + "/mesh.obj", obj.str());
    std::vector<unsigned char> tex(width * height * 3, 180), left(width * height, 0);
    std::vector<unsigned char> right(width * height, 0);
    for (int i = 0; i < width * height; ++i) {
        left[i] = i % width < 180 ? 255 : 0;
        right[i] = i % width >= 150 ? 200 : 0;
    }
    writePng(dir + "/tex.png", width, height, 3, tex);
    writePng(dir + "/bkg.png", width, height, 3, tex);
    writePng(dir + "/bone_00.png", width, height, 1, left);
    writePng(dir + "/bone_01.png", width, height, 1, right);
}

void runFrameAt(double seconds, DriverState& state, const InputTable& input,
                MatrixStore& matrices) {
    FakePlatform platform;
    platform.setClock(seconds);
    ASSERT_EQ(runFrame(platform, state, input, matrices), FrameOutcome::Continue);
}

double distance(const Vec3f& a, const Vec3f& b) {
    return std::hypot(double(a.x - b.x), double(a.y - b.y), double(a.z - b.z));
}

TEST(AuthoringRoundTrip, TheShowPlaysBackWhatTheAuthorDragged) {
    ensureGlContext();
    TempFolder folder;
    const std::string sceneDir = folder.file("kiv");
    writeGridScene(sceneDir);

    // The author: slot 1 comes up by time, then a drag across the window with the left button.
    int32_t textures = 0;
    DriverState author;
    initDriverState(author, false);
    CapturedConsole authorConsole;
    author.console = authorConsole.file();
    loadScene(author.scenes[1], sceneDir.c_str(), 2, false, textures);
    ASSERT_EQ(author.scenes[1].mesh.vertices.size(), size_t(columns * rows));
    ASSERT_EQ(author.scenes[1].boneVertices.size(), 2u);
    author.clock = ShowClock{0, 1e6, 0.0};
    MatrixStore authorMatrices{};
    InputTable input{};
    runFrameAt(20.5, author, input, authorMatrices);
    runFrameAt(20.55, author, input, authorMatrices);
    ASSERT_EQ(author.currentScene, 1);

    const std::vector<MeshVertex>& authorVertices = author.scenes[1].mesh.vertices;
    const Vec3f rest = authorVertices[draggedVertex].restPos;
    pointCursorAt(input, windowPointOf(authorVertices[draggedVertex].pos, authorMatrices),
                  authorMatrices);
    input.mouseLeft = 1;
    constexpr int dragFrames = 12;
    std::vector<std::vector<MeshVertex>> seen;
    for (int frame = 0; frame < dragFrames; ++frame) {
        runFrameAt(21.0 + 0.05 * frame, author, input, authorMatrices);
        seen.push_back(authorVertices);
        // The dragged vertex is where the cursor was, at the pick's depth.
        const WindowPoint point = windowPointOf(authorVertices[draggedVertex].pos, authorMatrices);
        EXPECT_NEAR(point.x, double(input.mouseX), 0.05) << frame;
        EXPECT_NEAR(point.y, double(windowHeight - input.mouseY), 0.05) << frame;
        input.mouseX += 6;
        input.mouseY -= 4;
    }
    input.mouseLeft = 0;
    runFrameAt(21.0 + 0.05 * dragFrames, author, input, authorMatrices);
    const std::string printed = authorConsole.take();
    EXPECT_EQ(authorVertices[draggedVertex].isHandle, 0);

    // With one handle and nothing else holding it, the mesh follows the drag and keeps its
    // shape, give or take what 16 sweeps a frame leave behind: the solve really ran.
    const std::vector<MeshVertex>& last = seen.back();
    EXPECT_GT(distance(last[draggedVertex].pos, rest), 60.0);
    for (size_t i = 0; i < last.size(); ++i) {
        EXPECT_GT(distance(last[i].pos, last[i].restPos), 30.0) << "vertex " << i;
    }
    EXPECT_NEAR(distance(last[0].pos, last[draggedVertex].pos), distance(last[0].restPos, rest),
                10.0);

    // What the author saved as the script.
    writeTextFile(folder.file("anim.txt"), printed);
    DriverState show;
    initDriverState(show, true);
    show.keyframeCount = readKeyframes(folder.file("anim.txt").c_str(), show.keyframes);
    ASSERT_EQ(show.keyframeCount, dragFrames) << printed;

    // The show: a fresh scene, slot 0 until the first row becomes active, then each row just
    // after its time puts the vertex at its target and the mesh where the author saw it, within
    // float tolerance: the targets went through six decimals, and the author's mesh had a few
    // solves at rest before the drag.
    CapturedConsole showConsole;
    show.console = showConsole.file();
    loadScene(show.scenes[1], sceneDir.c_str(), 2, false, textures);
    show.clock = ShowClock{0, 1e6, 0.0};
    MatrixStore showMatrices{};
    const std::vector<MeshVertex>& showVertices = show.scenes[1].mesh.vertices;
    runFrameAt(20.9, show, InputTable{}, showMatrices);
    EXPECT_EQ(show.currentScene, 0);
    for (int k = 0; k < dragFrames; ++k) {
        SCOPED_TRACE(k);
        const Keyframe& row = show.keyframes[k];
        EXPECT_EQ(row.time, float(21.0 + 0.05 * k));
        EXPECT_EQ(row.vertex, draggedVertex);
        EXPECT_LT(distance(Vec3f{row.x, row.y, row.z}, seen[k][draggedVertex].pos), 1e-4);
        runFrameAt(double(row.time) + 0.001, show, InputTable{}, showMatrices);
        EXPECT_EQ(show.currentScene, 1);
        const MeshVertex& dragged = showVertices[draggedVertex];
        // The last row only closes the one before it.
        EXPECT_EQ(int(dragged.isHandle), int(k + 1 < dragFrames));
        if (k + 1 == dragFrames) break;
        EXPECT_EQ(show.selectedVertex, draggedVertex);
        EXPECT_TRUE(dragged.pos.x == row.x && dragged.pos.y == row.y && dragged.pos.z == row.z);
        for (size_t i = 0; i < showVertices.size(); ++i) {
            EXPECT_LT(distance(showVertices[i].pos, seen[k][i].pos), 2e-3) << "vertex " << i;
        }
    }
    EXPECT_EQ(showConsole.take(), "");
}

}  // namespace
