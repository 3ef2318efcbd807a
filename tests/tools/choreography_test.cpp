// The choreography on a small stand-in figure: rows every 20 ms in time order, one handle at a
// time that starts and ends each phrase where it rests, and rows printed as the authoring tool
// prints them.
#include "choreography.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

// A square lattice in texture pixels, with handles named as the jelly's are.
struct StandIn {
    FigureDesign design;
    MeshData mesh;
    StandIn() {
        design.directory = "pilou";
        design.boneCount = 1;
        design.handles = {{"top", {0.0, -330.0}},
                          {"left", {-260.0, -120.0}},
                          {"right", {260.0, -120.0}},
                          {"middle", {0.0, -150.0}}};
        for (int y = 0; y <= 20; ++y)
            for (int x = 0; x <= 20; ++x)
                mesh.vertices.push_back(designToTexture({-300.0 + 30.0 * x, -400.0 + 30.0 * y}));
    }
};

}  // namespace

TEST(Choreography, RowsComeEveryTwentyMillisecondsFromTheFiguresEntryToPastTheEnd) {
    StandIn figure;
    const std::vector<ScriptRow> rows = choreograph({{4, &figure.design, &figure.mesh}});
    ASSERT_FALSE(rows.empty());
    EXPECT_DOUBLE_EQ(rows.front().time, 78.5);
    EXPECT_DOUBLE_EQ(rows.back().time, 87.04);
    EXPECT_GT(rows[rows.size() - 2].time, 87.0);
    for (size_t i = 1; i < rows.size(); ++i) {
        ASSERT_NEAR(rows[i].time - rows[i - 1].time, 0.02, 1e-9) << "row " << i;
        EXPECT_EQ(rows[i].slot, 4);
        EXPECT_EQ(rows[i].z, 0.0);
    }
}

TEST(Choreography, EachPhraseStartsAndEndsWithItsHandleAtRest) {
    StandIn figure;
    const std::vector<ScriptRow> rows = choreograph({{4, &figure.design, &figure.mesh}});
    int phrases = 0;
    double farthest = 0.0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Vec2 rest = figure.mesh.vertices[size_t(rows[i].vertex)];
        const double away = std::hypot(rows[i].x - rest.x, rows[i].y - rest.y);
        farthest = std::max(farthest, away);
        const bool first = i == 0 || rows[i - 1].vertex != rows[i].vertex;
        const bool last = i + 1 == rows.size() || rows[i + 1].vertex != rows[i].vertex;
        if (first) {
            ++phrases;
            EXPECT_LT(away, 1e-9) << "phrase starting at " << rows[i].time;
        }
        if (last) {
            EXPECT_LT(away, 3.0) << "phrase ending at " << rows[i].time;
        }
    }
    EXPECT_EQ(phrases, 3);
    // The jelly hops high enough to be seen.
    EXPECT_GT(farthest, 80.0);
}

TEST(Choreography, RowsArePrintedAsTheAuthoringToolPrintsThem) {
    const std::vector<ScriptRow> rows = {{20.04, 1, 118, 1021.5, 237.424942, 0.0},
                                         {87.0, 4, 7, -1.25, 3.0, 0.5}};
    EXPECT_EQ(scriptText(rows),
              "20.040001 1 118 1021.500000 237.424942 0.000000\n"
              "87.000000 4 7 -1.250000 3.000000 0.500000\n");
}
