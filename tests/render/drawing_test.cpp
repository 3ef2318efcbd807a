#include "render/drawing.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "driver/config.h"
#include "gl_context.h"
#include "test_pictures.h"

namespace {

constexpr int32_t QUADRANTS = 40;
constexpr int32_t TOP_ROW = 41;
constexpr int32_t MAGENTA_BACKGROUND = 42;
constexpr int32_t CYAN_BACKGROUND = 43;
constexpr int32_t MESH_QUADRANTS = 44;
constexpr int32_t MESH_CORNER = 45;
constexpr int32_t BLACK_BACKGROUND = 46;

// The four quadrant colours seen at the middle of each quarter of a viewport, and its four
// corner pixels.
void expectQuadrantsFill(int width, int height, Rgb tl, Rgb tr, Rgb bl, Rgb br) {
    const struct {
        int x, y;
        Rgb colour;
        const char* where;
    } probes[] = {
        {width / 4, height * 3 / 4, tl, "top-left quarter"},
        {width * 3 / 4, height * 3 / 4, tr, "top-right quarter"},
        {width / 4, height / 4, bl, "bottom-left quarter"},
        {width * 3 / 4, height / 4, br, "bottom-right quarter"},
        {0, height - 1, tl, "top-left corner"},
        {width - 1, height - 1, tr, "top-right corner"},
        {0, 0, bl, "bottom-left corner"},
        {width - 1, 0, br, "bottom-right corner"},
    };
    for (const auto& probe : probes) {
        const Pixel p = readPixel(probe.x, probe.y);
        EXPECT_TRUE(near(p, probe.colour)) << probe.where << " shows " << describe(p);
    }
}

// Pixel coordinates for the mesh: window x to the right, window y up, z towards the viewer.
void pixelCamera() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, double(windowWidth), 0.0, double(windowHeight), -10.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

MeshVertex vertexAt(float restX, float restY, float x, float y, float z = 0.0f) {
    MeshVertex v{};
    v.restPos = Vec3f{restX, restY, 0.0f};
    v.pos = Vec3f{x, y, z};
    return v;
}

// A picture of w x h texels drawn upright on the window square from (left, bottom) to
// (left + size, bottom + size): the picture's top-left corner goes to the square's top-left.
Mesh uprightQuad(float left, float bottom, float size, float w = 64.0f, float h = 64.0f) {
    Mesh mesh{};
    mesh.vertices = {
        vertexAt(0, 0, left, bottom + size),        // top-left
        vertexAt(0, h, left, bottom),               // bottom-left
        vertexAt(w, h, left + size, bottom),        // bottom-right
        vertexAt(w, 0, left + size, bottom + size)  // top-right
    };
    // Both counter-clockwise on screen.
    mesh.faces = {MeshFace{{0, 1, 2}}, MeshFace{{0, 2, 3}}};
    return mesh;
}

}  // namespace

TEST(Background, FillsTheViewportUprightAtFullBrightness) {
    ensureGlContext();
    uploadPicture(quadrantPicture(64, 36), QUADRANTS);
    drawBackground(QUADRANTS, 1.0f);
    expectQuadrantsFill(windowWidth, windowHeight, RED, GREEN, BLUE, WHITE);

    // A picture whose only red row is its first: that row lies along the top of the window.
    Picture topRow = solidPicture(16, 16, BLUE);
    for (int x = 0; x < 16; ++x) topRow.set(x, 0, RED);
    uploadPicture(topRow, TOP_ROW);
    drawBackground(TOP_ROW, 1.0f);
    for (int x : {0, 640, 1279}) {
        EXPECT_TRUE(near(readPixel(x, windowHeight - 1), RED)) << "top edge at x " << x;
        EXPECT_TRUE(near(readPixel(x, windowHeight - 45), RED)) << "first sixteenth at x " << x;
        EXPECT_TRUE(near(readPixel(x, windowHeight - 46), BLUE)) << "below the first row";
        EXPECT_TRUE(near(readPixel(x, 0), BLUE)) << "bottom edge at x " << x;
    }
}

TEST(Background, BrightnessScalesTheColoursAndIsClamped) {
    ensureGlContext();
    const Picture picture = quadrantPicture(64, 36);
    uploadPicture(picture, QUADRANTS);

    drawBackground(QUADRANTS, 0.5f);
    expectQuadrantsFill(windowWidth, windowHeight, scaled(RED, 0.5f), scaled(GREEN, 0.5f),
                        scaled(BLUE, 0.5f), scaled(WHITE, 0.5f));

    // Brighter than the picture is impossible: anything above 1 draws it as stored.
    drawBackground(QUADRANTS, 3.5f);
    expectQuadrantsFill(windowWidth, windowHeight, RED, GREEN, BLUE, WHITE);

    // Below 0 the window is black, not a negative colour.
    drawBackground(QUADRANTS, -0.75f);
    expectQuadrantsFill(windowWidth, windowHeight, BLACK, BLACK, BLACK, BLACK);

    // The fade of the show: (12.5 - 11) / 3 is half way.
    drawBackground(QUADRANTS, (12.5f - fadeStart) * fadeRate);
    EXPECT_TRUE(near(readPixel(320, 540), scaled(RED, 0.5f)));
}

TEST(Background, StillFillsTheViewportAfterAResize) {
    ensureGlContext();
    uploadPicture(quadrantPicture(64, 36), QUADRANTS);
    drawBackground(QUADRANTS, 1.0f);

    // The viewport follows a smaller client area; the picture is stretched to it.
    glViewport(0, 0, 500, 300);
    drawBackground(QUADRANTS, 1.0f);
    expectQuadrantsFill(500, 300, RED, GREEN, BLUE, WHITE);
    // The clear covers the whole buffer: what the earlier, larger picture left there is gone.
    EXPECT_TRUE(near(readPixel(900, 600), BLACK)) << describe(readPixel(900, 600));

    glViewport(0, 0, 1000, 700);
    drawBackground(QUADRANTS, 1.0f);
    expectQuadrantsFill(1000, 700, RED, GREEN, BLUE, WHITE);
    resetViewport();
}

TEST(Mesh, TexelsLandWhereTheRestPositionsSayAndFollowTheirVertices) {
    ensureGlContext();
    uploadPicture(solidPicture(8, 8, BLACK), BLACK_BACKGROUND);
    // Not square, so that width and height can't be mixed up unseen.
    uploadPicture(quadrantPicture(64, 32), MESH_QUADRANTS);

    drawBackground(BLACK_BACKGROUND, 1.0f);
    pixelCamera();
    Mesh mesh = uprightQuad(100.0f, 100.0f, 200.0f, 64.0f, 32.0f);
    drawMesh(mesh, 64, 32, MESH_QUADRANTS);
    EXPECT_TRUE(near(readPixel(150, 250), RED)) << describe(readPixel(150, 250));
    EXPECT_TRUE(near(readPixel(250, 250), GREEN)) << describe(readPixel(250, 250));
    EXPECT_TRUE(near(readPixel(150, 150), BLUE)) << describe(readPixel(150, 150));
    EXPECT_TRUE(near(readPixel(250, 150), WHITE)) << describe(readPixel(250, 150));
    EXPECT_TRUE(near(readPixel(102, 298), RED));
    EXPECT_TRUE(near(readPixel(298, 102), WHITE));

    // The whole quad moved: the picture goes with it.
    for (MeshVertex& v : mesh.vertices) v.pos.x += 600.0f;
    drawBackground(BLACK_BACKGROUND, 1.0f);
    pixelCamera();
    drawMesh(mesh, 64, 32, MESH_QUADRANTS);
    EXPECT_TRUE(near(readPixel(150, 250), BLACK));
    EXPECT_TRUE(near(readPixel(750, 250), RED));
    EXPECT_TRUE(near(readPixel(850, 150), WHITE));

    // One corner moved: the texels at that corner of the picture go with the vertex.
    Picture corner = solidPicture(64, 64, GREY);
    for (int y = 56; y < 64; ++y) {
        for (int x = 56; x < 64; ++x) corner.set(x, y, YELLOW);
    }
    uploadPicture(corner, MESH_CORNER);
    mesh = uprightQuad(100.0f, 100.0f, 200.0f);
    drawBackground(BLACK_BACKGROUND, 1.0f);
    pixelCamera();
    drawMesh(mesh, 64, 64, MESH_CORNER);
    EXPECT_TRUE(near(readPixel(296, 108), YELLOW)) << describe(readPixel(296, 108));
    EXPECT_TRUE(near(readPixel(488, 50), BLACK));

    mesh.vertices[2].pos = Vec3f{500.0f, 40.0f, 0.0f};
    drawBackground(BLACK_BACKGROUND, 1.0f);
    pixelCamera();
    drawMesh(mesh, 64, 64, MESH_CORNER);
    // 0.02 top-left + 0.96 bottom-right + 0.02 top-right: texel (62.7, 61.4) of the picture.
    EXPECT_TRUE(near(readPixel(488, 50), YELLOW)) << describe(readPixel(488, 50));
    EXPECT_TRUE(near(readPixel(296, 108), GREY)) << describe(readPixel(296, 108));
}

TEST(Mesh, BackFacesAreCulledAndTheNearerTriangleWins) {
    ensureGlContext();
    uploadPicture(solidPicture(8, 8, MAGENTA), MAGENTA_BACKGROUND);
    uploadPicture(quadrantPicture(64, 64), MESH_QUADRANTS);
    drawBackground(MAGENTA_BACKGROUND, 1.0f);
    pixelCamera();

    Mesh mesh{};
    mesh.vertices = {
        // Counter-clockwise on screen, all texels red.
        vertexAt(2, 2, 100, 100),
        vertexAt(3, 2, 300, 100),
        vertexAt(2, 3, 200, 300),
        // The same shape wound clockwise, further right.
        vertexAt(2, 2, 500, 100),
        vertexAt(2, 3, 600, 300),
        vertexAt(3, 2, 700, 100),
    };
    mesh.faces = {MeshFace{{0, 1, 2}}, MeshFace{{3, 4, 5}}};
    drawMesh(mesh, 64, 64, MESH_QUADRANTS);
    EXPECT_TRUE(near(readPixel(200, 160), RED)) << describe(readPixel(200, 160));
    EXPECT_TRUE(near(readPixel(600, 160), MAGENTA)) << describe(readPixel(600, 160));

    // A white triangle behind (smaller z) drawn after a blue one in front: blue stays.
    mesh.vertices = {
        vertexAt(2, 40, 100, 100, 5),   vertexAt(3, 40, 300, 100, 5),
        vertexAt(2, 41, 200, 300, 5),   vertexAt(40, 40, 100, 100, -5),
        vertexAt(41, 40, 300, 100, -5), vertexAt(40, 41, 200, 300, -5),
    };
    drawBackground(MAGENTA_BACKGROUND, 1.0f);
    pixelCamera();
    mesh.faces = {MeshFace{{0, 1, 2}}, MeshFace{{3, 4, 5}}};
    drawMesh(mesh, 64, 64, MESH_QUADRANTS);
    EXPECT_TRUE(near(readPixel(200, 160), BLUE)) << describe(readPixel(200, 160));
    // Drawn in the other order the result is the same.
    mesh.faces = {MeshFace{{3, 4, 5}}, MeshFace{{0, 1, 2}}};
    drawMesh(mesh, 64, 64, MESH_QUADRANTS);
    EXPECT_TRUE(near(readPixel(200, 160), BLUE)) << describe(readPixel(200, 160));
}

TEST(Mesh, UncoveredPixelsShowTheBackgroundOfTheSameFrame) {
    ensureGlContext();
    uploadPicture(solidPicture(8, 8, MAGENTA), MAGENTA_BACKGROUND);
    uploadPicture(solidPicture(8, 8, CYAN), CYAN_BACKGROUND);
    uploadPicture(quadrantPicture(64, 64), MESH_QUADRANTS);
    const Mesh mesh = uprightQuad(100.0f, 100.0f, 200.0f);

    drawBackground(MAGENTA_BACKGROUND, 1.0f);
    pixelCamera();
    drawMesh(mesh, 64, 64, MESH_QUADRANTS);
    EXPECT_TRUE(near(readPixel(640, 360), MAGENTA));
    EXPECT_TRUE(near(readPixel(99, 200), MAGENTA));
    EXPECT_TRUE(near(readPixel(150, 250), RED));

    // The next frame: another background, the same mesh in front of it.
    drawBackground(CYAN_BACKGROUND, 1.0f);
    pixelCamera();
    drawMesh(mesh, 64, 64, MESH_QUADRANTS);
    EXPECT_TRUE(near(readPixel(640, 360), CYAN)) << describe(readPixel(640, 360));
    EXPECT_TRUE(near(readPixel(301, 200), CYAN));
    EXPECT_TRUE(near(readPixel(150, 250), RED));
    // Depth from the previous frame does not hide this frame's mesh.
    EXPECT_TRUE(near(readPixel(250, 150), WHITE));
}

TEST(Mesh, AnEmptyFaceListDrawsNothingButLeavesDepthTestingOn) {
    ensureGlContext();
    uploadPicture(quadrantPicture(64, 36), QUADRANTS);
    uploadPicture(quadrantPicture(64, 64), MESH_QUADRANTS);
    drawBackground(QUADRANTS, 1.0f);
    pixelCamera();
    // Leave depth behind from a mesh, as an earlier frame would.
    drawMesh(uprightQuad(100.0f, 100.0f, 200.0f), 64, 64, MESH_QUADRANTS);

    drawBackground(QUADRANTS, 1.0f);
    pixelCamera();
    Mesh empty{};
    empty.vertices = uprightQuad(100.0f, 100.0f, 200.0f).vertices;
    drawMesh(empty, 64, 64, MESH_QUADRANTS);
    expectQuadrantsFill(windowWidth, windowHeight, RED, GREEN, BLUE, WHITE);
    EXPECT_TRUE(near(readPixel(250, 150), BLUE)) << "the background, not the mesh";

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LESS);
    float depth = 0.0f;
    glReadPixels(200, 200, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 1.0f) << "the depth buffer is cleared all the same";
}

TEST(Mesh, AFaceNamingAMissingVertexIsSkippedAndTheRestDrawn) {
    ensureGlContext();
    uploadPicture(solidPicture(8, 8, MAGENTA), MAGENTA_BACKGROUND);
    uploadPicture(quadrantPicture(64, 64), MESH_QUADRANTS);
    drawBackground(MAGENTA_BACKGROUND, 1.0f);
    pixelCamera();

    Mesh mesh = uprightQuad(100.0f, 100.0f, 200.0f);
    mesh.faces = {MeshFace{{0, 1, 4}}, MeshFace{{0, 1, 2}}, MeshFace{{-1, 2, 3}},
                  MeshFace{{0, 2, 3}}, MeshFace{{2, 3, 1 << 30}}};
    drawMesh(mesh, 64, 64, MESH_QUADRANTS);
    // Both good triangles are drawn whole, with their own texels.
    EXPECT_TRUE(near(readPixel(150, 250), RED)) << describe(readPixel(150, 250));
    EXPECT_TRUE(near(readPixel(250, 250), GREEN)) << describe(readPixel(250, 250));
    EXPECT_TRUE(near(readPixel(150, 150), BLUE)) << describe(readPixel(150, 150));
    EXPECT_TRUE(near(readPixel(250, 150), WHITE)) << describe(readPixel(250, 150));
    EXPECT_TRUE(near(readPixel(640, 360), MAGENTA));
}
