#include "driver/controls.h"

#include <cstdio>
#include <string>
#include <utility>

#include "driver/keyframes.h"
#include "driver/slot_vertex.h"
#include "driver/studio.h"
#include "render/projection.h"

namespace {

bool down(const InputTable& input, int key) {
    return input.keys[key] != 0;
}

// Without Shift a drift key replaces the whole vector, so of several held keys the last one
// tested decides; with Shift it moves the camera instead.
void driftOrCamera(DriverState& state, bool shift, float& cameraValue, float cameraStep,
                   const Vec3f& drift) {
    if (shift) {
        cameraValue += cameraStep;
    } else {
        state.drift = drift;
    }
}

void resetScene(DriverState& state) {
    state.drift = {0.0f, 0.0f, 0.0f};
    for (MeshVertex& vertex : state.scenes[state.currentScene].mesh.vertices) {
        vertex.pos = vertex.restPos;
        vertex.isHandle = 0;
    }
}

// Every console line is flushed as it is printed: an author's take survives a crash of the
// tool, and a reader following the file sees whole lines.
void printCamera(const DriverState& state) {
    std::fprintf(state.console, "fov=%f; dx=%f; dy=%f; dz=%f; ox=%f; oy=%f; oz=%f; ra=%f; rb=%f;\n",
                 double(state.fov), double(state.dx), double(state.dy), double(state.dz),
                 double(state.ox), double(state.oy), double(state.oz), double(state.ra),
                 double(state.rb));
    std::fflush(state.console);
}

// The end of a drag: the button held in its last frame decides whether the vertex stays put.
void release(DriverState& state) {
    if (state.dragging && !state.pinOnRelease) {
        MeshVertex* vertex = slotVertex(state, state.currentScene, state.selectedVertex);
        if (vertex != nullptr) vertex->isHandle = 0;
    }
    state.dragging = false;
}

// Brings the cursor back into the model at the depth of the pick: the exact inverse of the
// window position divided by depth that the pick measures with.
void followCursor(DriverState& state, float mx, float my, const MatrixStore& matrices) {
    const double depth = state.pickDepth;
    const double h = double(float(matrices.viewport[3]) - my);
    unprojectPoint(matrices, double(mx) * depth, h * depth, depth, state.dragTarget);
}

}  // namespace

void handleKeys(DriverState& state, const InputTable& input) {
    const float a = 100.0f * state.frameTime;
    const bool shift = down(input, VK_SHIFT);

    for (int key = VK_F1; key <= VK_F6; ++key) {
        if (down(input, key)) state.currentScene = key - VK_F1;
    }
    if (down(input, VK_SPACE)) state.playback = true;
    if (down(input, VK_RETURN)) state.rawAverage = shift;
    if (down(input, VK_R)) resetScene(state);
    if (down(input, VK_LEFT)) driftOrCamera(state, shift, state.dx, a, {a, 0.0f, 0.0f});
    if (down(input, VK_RIGHT)) driftOrCamera(state, shift, state.dx, -a, {-a, 0.0f, 0.0f});
    if (down(input, VK_F)) driftOrCamera(state, shift, state.dy, a, {0.0f, 0.0f, a});
    if (down(input, VK_V)) driftOrCamera(state, shift, state.dy, -a, {0.0f, 0.0f, -a});
    if (down(input, VK_UP)) driftOrCamera(state, shift, state.dz, -a, {0.0f, -a, 0.0f});
    if (down(input, VK_DOWN)) driftOrCamera(state, shift, state.dz, a, {0.0f, a, 0.0f});
    if (down(input, VK_A)) state.ra += a;
    if (down(input, VK_D)) state.ra -= a;
    if (down(input, VK_S)) state.rb += a;
    if (down(input, VK_W)) state.rb -= a;
    if (down(input, VK_ADD)) state.fov += a;
    if (down(input, VK_SUBTRACT)) state.fov -= a;
    if (down(input, VK_ESCAPE)) state.running = false;
    if (down(input, VK_TAB)) printCamera(state);
}

void handleMouse(DriverState& state, const InputTable& input, MatrixStore& matrices) {
    const bool button = input.mouseLeft != 0 || input.mouseRight != 0;
    if (!state.playback && !button) {
        release(state);
        return;
    }
    const float mx = float(input.mouseX);
    const float my = float(input.mouseY);
    if (state.playback) applyKeyframesStepA(state);
    state.pinOnRelease = input.mouseRight != 0;
    // The camera of this frame is not set yet: picking and dragging see the previous one.
    readMatrixStore(matrices);

    if (!state.playback) {
        if (!state.dragging) {
            const int32_t picked = pickNearestVertex(state.scenes[state.currentScene].mesh.vertices,
                                                     mx, my, matrices, state.pickDepth);
            // Nothing under the cursor to take hold of: no drag, no row, and the last target
            // must not be written into a vertex that may have relaxed since.
            if (picked < 0) return;
            state.dragging = true;
            state.selectedVertex = picked;
        }
        followCursor(state, mx, my, matrices);
        // While the studio is paused every row would have the same time, and such rows never
        // play: the drag poses the mesh without recording.
        if (!state.studio.transport.paused) {
            std::string line =
                formatKeyframeRow(double(state.showTime), state.currentScene, state.selectedVertex,
                                  state.dragTarget.x, state.dragTarget.y, state.dragTarget.z);
            std::fprintf(state.console, "%s\n", line.c_str());
            std::fflush(state.console);
            ++state.studio.rowsPrinted;
            if (studioRuns(state.studio)) takeStudioRow(state, std::move(line));
        }
    }
    applyKeyframesStepB(state);
}

int32_t pickNearestVertex(std::vector<MeshVertex>& vertices, float mx, float my,
                          const MatrixStore& matrices, double& pickDepth) {
    double best = 1e16;
    int32_t result = -1;
    // The cursor's y turned bottom-up, as GL counts window rows.
    const double cursorY = double(float(matrices.viewport[3]) - my);
    for (int32_t i = 0; i < int32_t(vertices.size()); ++i) {
        const Vec3f& p = vertices[i].pos;
        WindowPosition w;
        if (!projectPoint(matrices, double(p.x), double(p.y), double(p.z), w)) continue;
        const double wz = w.z;
        const double s = 1.0 / wz;
        const double ex = s * w.x - double(mx);
        const double ey = s * w.y - cursorY;
        const double d = ex * ex + ey * ey;
        if (d < best) {
            best = d;
            result = i;
            pickDepth = wz;
        }
    }
    if (result >= 0) vertices[result].isHandle = 1;
    return result;
}
