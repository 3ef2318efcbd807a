// Drawings with known answers, each made into a figure: the mesh covers the silhouette and
// stays close to it, its triangles are even and face the start camera, every vertex weighs in
// a bone and no bone reaches across a gap into a part that is not its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "drawings.h"
#include "figure/bone_check.h"
#include "figure/bone_regions.h"
#include "figure/make_figure.h"
#include "show_folder.h"

namespace {

// Silhouette pixels whose centre no face holds; `fringe` counts the pixels that a face holds
// whose colour is not the figure's own.
size_t uncoveredPixels(const FigureResult& r, size_t& fringe) {
    Grid<uint8_t> covered = makeGrid<uint8_t>(r.silhouette.width, r.silhouette.height, 0);
    for (const auto& f : r.mesh.faces) {
        const Vec2 a = r.mesh.vertices[size_t(f[0])], b = r.mesh.vertices[size_t(f[1])],
                   c = r.mesh.vertices[size_t(f[2])];
        const double area = twiceArea(a, b, c);
        for (int y = int(std::min({a.y, b.y, c.y})); y <= int(std::max({a.y, b.y, c.y})); ++y)
            for (int x = int(std::min({a.x, b.x, c.x})); x <= int(std::max({a.x, b.x, c.x})); ++x) {
                const Vec2 p{x + 0.5, y + 0.5};
                if (twiceArea(b, c, p) / area >= 0 && twiceArea(c, a, p) / area >= 0 &&
                    twiceArea(a, b, p) / area >= 0 && insideGrid(covered, x, y))
                    cell(covered, x, y) = 1;
            }
    }
    size_t missing = 0;
    fringe = 0;
    for (size_t i = 0; i < covered.cells.size(); ++i) {
        missing += r.silhouette.cells[i] != 0 && covered.cells[i] == 0;
        fringe += covered.cells[i] != 0 && !figureTone(&r.texture[i * 3]);
    }
    return missing;
}

int pieces(const FigureMesh& mesh) {
    const MeshGraph graph = graphOf(mesh);
    std::vector<int> seen(mesh.vertices.size(), 0);
    int count = 0;
    for (size_t s = 0; s < seen.size(); ++s) {
        if (seen[s]) continue;
        ++count;
        std::vector<int> stack{int(s)};
        seen[s] = 1;
        while (!stack.empty()) {
            const int v = stack.back();
            stack.pop_back();
            for (const auto& [u, l] : graph.neighbours[size_t(v)])
                if (!seen[size_t(u)]) seen[size_t(u)] = 1, stack.push_back(u);
        }
    }
    return count;
}

struct Case {
    const char* name;
    TestDrawing drawing;
    int bones;
    int holes;
    int pieces;
    bool key = false;  // name the background with --key
    bool fillHoles = false;
};

}  // namespace

TEST(SyntheticDrawings, EachGivesACoveringEvenMeshWithSoundBones) {
    const Case cases[] = {
        {"disc", paintDrawing(400, 400, discShape(200, 200, 150)), 8, 0, 1},
        {"ring", paintDrawing(400, 400, ringShape(200, 200, 70, 150)), 8, 1, 1},
        {"ring, holes filled", paintDrawing(400, 400, ringShape(200, 200, 70, 150)), 8, 0, 1, false,
         true},
        {"smooth edge", paintDrawing(400, 400, discShape(200, 200, 150), false, 0, true), 8, 0, 1},
        {"two islands",
         paintDrawing(500, 300, unionOf({discShape(130, 150, 100), discShape(380, 170, 80)})), 4, 0,
         2},
        {"thin stick figure", paintDrawing(600, 600, stickFigure(600, 4)), 8, 0, 1},
        // Two legs with a gap of three drawing pixels, about seven in the texture.
        {"legs side by side",
         paintDrawing(200, 300,
                      unionOf({stickShape(60, 30, 140, 30, 20), stickShape(77, 30, 77, 280, 15),
                               stickShape(123, 30, 123, 280, 15)})),
         3, 0, 1},
        // A slit two drawing pixels wide between the legs stays open all the way up.
        {"legs two pixels apart",
         paintDrawing(200, 300,
                      unionOf({stickShape(60, 30, 140, 30, 20), stickShape(84, 30, 84, 280, 15),
                               stickShape(116, 30, 116, 280, 15)})),
         3, 0, 1},
        {"legs two pixels apart, joined at the feet",
         paintDrawing(
             200, 300,
             unionOf({stickShape(60, 30, 140, 30, 20), stickShape(84, 30, 84, 280, 15),
                      stickShape(116, 30, 116, 280, 15), stickShape(70, 280, 130, 280, 12)})),
         3, 1, 1},
        {"corners' colour, no alpha",
         paintDrawing(400, 400, discShape(200, 220, 150), true, 0x20c040), 8, 0, 1},
        {"key colour, no alpha",
         paintDrawing(400, 400, unionOf({discShape(200, 220, 150), discShape(0, 0, 30)}), true,
                      0x20c040),
         8, 0, 1, true},
        {"smooth edge on a key colour",
         paintDrawing(400, 400, discShape(200, 220, 150), true, 0x20c040, true), 8, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        saveDrawing(folder.file("drawing.png"), c.drawing);
        FigureRequest request;
        request.picture = folder.file("drawing.png");
        request.bones = c.bones;
        request.fillHoles = c.fillHoles;
        if (c.key) {
            request.background.keyGiven = true;
            request.background.key[0] = 0x20;
            request.background.key[1] = 0xc0;
            request.background.key[2] = 0x40;
        }
        FigureResult r;
        std::string error;
        ASSERT_TRUE(makeFigure(request, r, error)) << error;

        size_t fringe = 0;
        EXPECT_EQ(uncoveredPixels(r, fringe), 0u);
        // The margin past the outline and the edge show the figure's colours, not the
        // background's.
        EXPECT_EQ(fringe, 0u);
        EXPECT_LE(r.reach, 2.0);
        EXPECT_LE(shareOfFacesUnder(r.mesh, 20.0), 0.02);
        EXPECT_TRUE(facesStartCamera(r.mesh));
        EXPECT_EQ(r.holes, c.holes);
        EXPECT_EQ(pieces(r.mesh), c.pieces);
        EXPECT_TRUE(r.mesh.vertices.size() >= 1000 && r.mesh.vertices.size() <= 3000)
            << r.mesh.vertices.size();

        // As the show will bind them: every vertex weighs in a bone, and only in bones whose
        // region or overlap it is in.
        const BoneMembership bound = bindFigureBones(r.mesh, r.masks);
        ASSERT_EQ(bound.members.size(), size_t(c.bones));
        std::vector<int> weighs(r.mesh.vertices.size(), 0);
        int strays = 0;
        for (int b = 0; b < c.bones; ++b)
            for (size_t k = 0; k < bound.members[size_t(b)].size(); ++k) {
                if (bound.values[size_t(b)][k] == 0) continue;
                const int v = bound.members[size_t(b)][k];
                weighs[size_t(v)] = 1;
                strays += r.bones.weights[size_t(v) * size_t(c.bones) + size_t(b)] == 0.0f;
            }
        EXPECT_EQ(std::count(weighs.begin(), weighs.end(), 0), 0);
        EXPECT_EQ(strays, 0);
    }
}

TEST(SyntheticDrawings, TheDrawingReadsTheRightWayRoundOnScreen) {
    // The left half of the drawing is red: under the start camera, which shows the texture's x
    // axis right to left, the red half must be on the left of the screen, i.e. at larger x.
    TempFolder folder;
    saveDrawing(folder.file("drawing.png"), paintDrawing(300, 300, discShape(150, 150, 120)));
    FigureRequest request;
    request.picture = folder.file("drawing.png");
    request.bones = 1;
    FigureResult r;
    std::string error;
    ASSERT_TRUE(makeFigure(request, r, error)) << error;
    double redX = 0.0, blueX = 0.0, red = 0.0, blue = 0.0;
    for (const Vec2& v : r.mesh.vertices) {
        const uint8_t* p = &r.texture[(size_t(v.y) * figureTextureWidth + size_t(v.x)) * 3];
        if (p[0] > 150) redX += v.x, red += 1.0;
        if (p[2] > 150) blueX += v.x, blue += 1.0;
    }
    ASSERT_GT(red, 0.0);
    ASSERT_GT(blue, 0.0);
    EXPECT_GT(redX / red, blueX / blue);
    // Upright: the figure stands on the demo figures' line.
    double lowest = 0.0;
    for (const Vec2& v : r.mesh.vertices) lowest = std::max(lowest, v.y);
    EXPECT_NEAR(lowest, standingRow, 4.0);
}
