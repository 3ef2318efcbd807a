// The choreography on a small stand-in figure: one handle at a time that starts and ends each
// phrase where it rests, and rows printed as the authoring tool prints them. Timing and order
// of the rows are checked on the generated script itself.
#include "showgen/choreography.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Choreography, EachPhraseStartsAndEndsWithItsHandleAtRest) {
    // A square lattice in texture pixels, with handles named as the jelly's are.
    FigureDesign design;
    design.directory = "pilou";
    design.boneCount = 1;
    design.handles = {{"top", {0.0, -330.0}},
                      {"left", {-260.0, -120.0}},
                      {"right", {260.0, -120.0}},
                      {"middle", {0.0, -150.0}}};
    FigureMesh mesh;
    for (int y = 0; y <= 20; ++y)
        for (int x = 0; x <= 20; ++x)
            mesh.vertices.push_back(designToTexture({-300.0 + 30.0 * x, -400.0 + 30.0 * y}));

    const std::vector<ScriptRow> rows = choreograph({{4, &design, &mesh}});
    int phrases = 0;
    double farthest = 0.0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Vec2 rest = mesh.vertices[size_t(rows[i].vertex)];
        const double away = std::hypot(rows[i].x - rest.x, rows[i].y - rest.y);
        farthest = std::max(farthest, away);
        if (i == 0 || rows[i - 1].vertex != rows[i].vertex) {
            ++phrases;
            EXPECT_LT(away, 1e-9) << "phrase starting at " << rows[i].time;
        }
        if (i + 1 == rows.size() || rows[i + 1].vertex != rows[i].vertex) {
            EXPECT_LT(away, 3.0) << "phrase ending at " << rows[i].time;
        }
    }
    EXPECT_EQ(phrases, 3);
    // The jelly hops high enough to be seen.
    EXPECT_GT(farthest, 80.0);

    EXPECT_EQ(scriptText({{20.04, 1, 118, 1021.5, 237.424942, 0.0}, {87.0, 4, 7, -1.25, 3.0, 0.5}}),
              "20.040001 1 118 1021.500000 237.424942 0.000000\n"
              "87.000000 4 7 -1.250000 3.000000 0.500000\n");
}
