#include "render/drawing.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "gl_context.h"
#include "render/texture.h"
#include "scene/image.h"
#include "scene/show_facts.h"

namespace {

struct Rgb {
    int r, g, b;
};

constexpr Rgb RED{255, 0, 0}, GREEN{0, 255, 0}, BLUE{0, 0, 255}, WHITE{255, 255, 255},
    GREY{128, 128, 128}, YELLOW{255, 255, 0}, MAGENTA{255, 0, 255}, CYAN{0, 255, 255},
    BLACK{0, 0, 0};

enum Texture : int32_t {
    QUADRANTS = 40,  // 64 x 36, as wide as the window
    TOP_ROW,         // 16 x 16 blue with a red first row
    MESH_QUADRANTS,  // 64 x 64
    WIDE_QUADRANTS,  // 64 x 32
    MESH_CORNER,     // 64 x 64 grey with a yellow 8 x 8 bottom-right corner
    MAGENTA_BACKGROUND,
    CYAN_BACKGROUND,
    BLACK_BACKGROUND,
};

// Uploads a picture through the loader's own upload (nearest filtering, repeat), rows from the
// top as the decoder delivers them, so the tests see exactly the texels they put in.
template <typename ColourAt>
void upload(int32_t texture, int width, int height, ColourAt colourAt) {
    ImagePtr image(createImage(3, width, height));
    ASSERT_TRUE(image);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colourAt(x, y);
            unsigned char* texel = image->rows[y] + 3 * x;
            texel[0] = (unsigned char)c.r;
            texel[1] = (unsigned char)c.g;
            texel[2] = (unsigned char)c.b;
        }
    }
    uploadTexture(*image, texture, false);
}

// Top-left red, top-right green, bottom-left blue, bottom-right white.
void uploadQuadrants(int32_t texture, int width, int height) {
    upload(texture, width, height, [=](int x, int y) {
        return y >= height / 2 ? (x >= width / 2 ? WHITE : BLUE) : (x >= width / 2 ? GREEN : RED);
    });
}

Rgb scaled(Rgb c, float factor) {
    return Rgb{int(float(c.r) * factor + 0.5f), int(float(c.g) * factor + 0.5f),
               int(float(c.b) * factor + 0.5f)};
}

struct Probe {
    int x, yFromBottom;
    Rgb colour;
};

template <size_t N>
void expectPixels(const Probe (&probes)[N], float brightness = 1.0f) {
    for (const Probe& probe : probes) {
        const Pixel p = readPixel(probe.x, probe.yFromBottom);
        const Rgb c = scaled(probe.colour, brightness);
        EXPECT_TRUE(std::abs(p.r - c.r) <= 2 && std::abs(p.g - c.g) <= 2 &&
                    std::abs(p.b - c.b) <= 2)
            << "(" << probe.x << ", " << probe.yFromBottom << ") shows (" << p.r << ", " << p.g
            << ", " << p.b << ")";
    }
}

// The four quadrant colours at the middle of each quarter of a viewport and at its corners.
void expectQuadrantsFill(int w, int h, float brightness = 1.0f) {
    const Probe probes[] = {{w / 4, h * 3 / 4, RED},
                            {w * 3 / 4, h * 3 / 4, GREEN},
                            {w / 4, h / 4, BLUE},
                            {w * 3 / 4, h / 4, WHITE},
                            {0, h - 1, RED},
                            {w - 1, h - 1, GREEN},
                            {0, 0, BLUE},
                            {w - 1, 0, WHITE}};
    expectPixels(probes, brightness);
}

MeshVertex vertexAt(float restX, float restY, float x, float y, float z = 0.0f) {
    MeshVertex v{};
    v.restPos = Vec3f{restX, restY, 0.0f};
    v.pos = Vec3f{x, y, z};
    return v;
}

// A picture of w x h texels drawn upright on the window square from (100, 100) to (300, 300),
// with two faces counter-clockwise on screen.
Mesh uprightQuad(float w = 64.0f, float h = 64.0f) {
    Mesh mesh{};
    mesh.vertices = {vertexAt(0, 0, 100, 300), vertexAt(0, h, 100, 100), vertexAt(w, h, 300, 100),
                     vertexAt(w, 0, 300, 300)};
    mesh.faces = {MeshFace{{0, 1, 2}}, MeshFace{{0, 2, 3}}};
    return mesh;
}

// One frame: the background, then the mesh in window pixel coordinates (x right, y up, z
// towards the viewer).
void drawFrame(int32_t background, const Mesh& mesh, int32_t texture, int texWidth = 64,
               int texHeight = 64) {
    drawBackground(background, 1.0f, windowWidth, windowHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, double(windowWidth), 0.0, double(windowHeight), -10.0, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    drawMesh(mesh, texWidth, texHeight, texture);
}

class Drawing : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ensureGlContext();
        uploadQuadrants(QUADRANTS, 64, 36);
        upload(TOP_ROW, 16, 16, [](int, int y) { return y == 0 ? RED : BLUE; });
        uploadQuadrants(MESH_QUADRANTS, 64, 64);
        uploadQuadrants(WIDE_QUADRANTS, 64, 32);
        upload(MESH_CORNER, 64, 64,
               [](int x, int y) { return x >= 56 && y >= 56 ? YELLOW : GREY; });
        upload(MAGENTA_BACKGROUND, 8, 8, [](int, int) { return MAGENTA; });
        upload(CYAN_BACKGROUND, 8, 8, [](int, int) { return CYAN; });
        upload(BLACK_BACKGROUND, 8, 8, [](int, int) { return BLACK; });
    }
    void SetUp() override { ensureGlContext(); }
};

}  // namespace

TEST_F(Drawing, BackgroundFillsTheViewportUprightTimesTheClampedBrightness) {
    // Brighter than the picture is impossible, and below 0 the window is black.
    const float cases[][2] = {{1.0f, 1.0f}, {0.5f, 0.5f}, {3.5f, 1.0f}, {-0.75f, 0.0f}};
    for (const auto& c : cases) {
        drawBackground(QUADRANTS, c[0], windowWidth, windowHeight);
        expectQuadrantsFill(windowWidth, windowHeight, c[1]);
    }

    // The picture's only red row is its first: that row lies along the top of the window.
    drawBackground(TOP_ROW, 1.0f, windowWidth, windowHeight);
    for (int x : {0, 640, 1279}) {
        const Probe probes[] = {{x, windowHeight - 1, RED},
                                {x, windowHeight - 45, RED},
                                {x, windowHeight - 46, BLUE},
                                {x, 0, BLUE}};
        expectPixels(probes);
    }
}

TEST_F(Drawing, BackgroundStillFillsTheViewportAfterAResize) {
    drawBackground(QUADRANTS, 1.0f, windowWidth, windowHeight);
    // The viewport follows a smaller client area; the picture is stretched to it.
    glViewport(0, 0, 500, 300);
    drawBackground(QUADRANTS, 1.0f, windowWidth, windowHeight);
    expectQuadrantsFill(500, 300);
    // The clear covers the whole buffer: what the earlier, larger picture left there is gone.
    expectPixels({{900, 600, BLACK}});
    resetViewport();
}

TEST_F(Drawing, TexelsLandWhereTheRestPositionsSayAndFollowTheirVertices) {
    // Not square, so that width and height can't be mixed up unseen. Faces naming a missing
    // vertex are skipped, and the good ones drawn whole all the same.
    Mesh mesh = uprightQuad(64.0f, 32.0f);
    mesh.faces = {MeshFace{{0, 1, 4}}, MeshFace{{0, 1, 2}}, MeshFace{{-1, 2, 3}},
                  MeshFace{{0, 2, 3}}, MeshFace{{2, 3, 1 << 30}}};
    drawFrame(BLACK_BACKGROUND, mesh, WIDE_QUADRANTS, 64, 32);
    const Probe probes[] = {{150, 250, RED}, {250, 250, GREEN}, {150, 150, BLUE}, {250, 150, WHITE},
                            {102, 298, RED}, {298, 102, WHITE}, {640, 360, BLACK}};
    expectPixels(probes);

    // One corner moved: the texels at that corner of the picture go with the vertex.
    mesh = uprightQuad();
    drawFrame(BLACK_BACKGROUND, mesh, MESH_CORNER);
    expectPixels({{296, 108, YELLOW}, {488, 50, BLACK}});
    mesh.vertices[2].pos = Vec3f{500.0f, 40.0f, 0.0f};
    drawFrame(BLACK_BACKGROUND, mesh, MESH_CORNER);
    // 0.02 top-left + 0.96 bottom-right + 0.02 top-right: texel (62.7, 61.4) of the picture.
    expectPixels({{488, 50, YELLOW}, {296, 108, GREY}});
}

TEST_F(Drawing, BackFacesAreCulledAndTheNearerTriangleWins) {
    Mesh mesh{};
    mesh.vertices = {
        // Counter-clockwise on screen, all texels red; then the same shape wound clockwise.
        vertexAt(2, 2, 100, 100), vertexAt(3, 2, 300, 100), vertexAt(2, 3, 200, 300),
        vertexAt(2, 2, 500, 100), vertexAt(2, 3, 600, 300), vertexAt(3, 2, 700, 100),
    };
    mesh.faces = {MeshFace{{0, 1, 2}}, MeshFace{{3, 4, 5}}};
    drawFrame(MAGENTA_BACKGROUND, mesh, MESH_QUADRANTS);
    expectPixels({{200, 160, RED}, {600, 160, MAGENTA}});

    // A blue triangle in front and a white one behind (smaller z), in either order: blue.
    mesh.vertices = {
        vertexAt(2, 40, 100, 100, 5),   vertexAt(3, 40, 300, 100, 5),
        vertexAt(2, 41, 200, 300, 5),   vertexAt(40, 40, 100, 100, -5),
        vertexAt(41, 40, 300, 100, -5), vertexAt(40, 41, 200, 300, -5),
    };
    drawFrame(MAGENTA_BACKGROUND, mesh, MESH_QUADRANTS);
    expectPixels({{200, 160, BLUE}});
    mesh.faces = {MeshFace{{3, 4, 5}}, MeshFace{{0, 1, 2}}};
    drawMesh(mesh, 64, 64, MESH_QUADRANTS);
    expectPixels({{200, 160, BLUE}});
}

TEST_F(Drawing, UncoveredPixelsShowTheBackgroundOfTheSameFrame) {
    drawFrame(MAGENTA_BACKGROUND, uprightQuad(), MESH_QUADRANTS);
    expectPixels({{640, 360, MAGENTA}, {150, 250, RED}});

    // The next frame: another background, the same mesh in front of it.
    drawFrame(CYAN_BACKGROUND, uprightQuad(), MESH_QUADRANTS);
    // Depth from the previous frame does not hide this frame's mesh (white).
    expectPixels(
        {{640, 360, CYAN}, {99, 200, CYAN}, {301, 200, CYAN}, {150, 250, RED}, {250, 150, WHITE}});
}

TEST_F(Drawing, AnEmptyFaceListDrawsNothingButLeavesDepthTestingOn) {
    // Leave depth behind from a mesh, as an earlier frame would.
    drawFrame(QUADRANTS, uprightQuad(), MESH_QUADRANTS);
    Mesh empty{};
    empty.vertices = uprightQuad().vertices;
    drawFrame(QUADRANTS, empty, MESH_QUADRANTS);
    expectQuadrantsFill(windowWidth, windowHeight);
    expectPixels({{250, 150, BLUE}});  // the background, not the mesh

    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    float depth = 0.0f;
    glReadPixels(200, 200, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 1.0f) << "the depth buffer is cleared all the same";
}
