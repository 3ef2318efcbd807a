// Drawings whose rig an animator would know by heart: each limb, the head and a tail get their
// own bone, bones run short only where there are more limbs than bones and then neighbours
// share, a floor under the feet moves with the trunk, and drawings that won't look or move well
// say so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "drawings.h"
#include "figure/make_figure.h"
#include "show_folder.h"

namespace {

bool makeFrom(const TestDrawing& drawing, int bones, FigureResult& r, bool keyed = false) {
    TempFolder folder;
    saveDrawing(folder.file("drawing.png"), drawing);
    FigureRequest request;
    request.picture = folder.file("drawing.png");
    request.bones = bones;
    if (keyed) {
        request.background.keyGiven = true;
        request.background.key[0] = request.background.key[1] = request.background.key[2] = 255;
    }
    std::string error;
    const bool made = makeFigure(request, r, error);
    EXPECT_TRUE(made) << error;
    return made;
}

// Each branch's tip in the drawing's frame, and the bone its region's vertices near the tip
// belong to.
struct Tip {
    Vec2 at;
    int bone;
};

std::vector<Tip> tipsOf(const FigureResult& r) {
    std::vector<Tip> tips;
    for (const SkeletonBranch& b : r.layout.branches) {
        const Vec2 t = r.skeleton.points[size_t(b.tip)].at;
        size_t nearest = 0;
        for (size_t v = 0; v < r.mesh.vertices.size(); ++v)
            if (length(r.mesh.vertices[v] - t) < length(r.mesh.vertices[nearest] - t)) nearest = v;
        tips.push_back({textureToDrawing(r.placement, t), r.bones.region[nearest]});
    }
    return tips;
}

bool hasNote(const FigureResult& r, const std::string& part) {
    for (const std::string& n : r.notes)
        if (n.find(part) != std::string::npos) return true;
    return false;
}

// A body with a head and two legs that bend in and touch at the knee.
Shape kneesTogether() {
    return unionOf({discShape(150, 40, 28), stickShape(150, 68, 150, 170, 24),
                    stickShape(130, 175, 141, 245, 13), stickShape(141, 245, 112, 330, 13),
                    stickShape(170, 175, 159, 245, 13), stickShape(159, 245, 188, 330, 13)});
}

Shape star(int points) {
    std::vector<Shape> parts{discShape(200, 200, 45)};
    for (int k = 0; k < points; ++k) {
        const double a = 2.0 * M_PI * k / points;
        parts.push_back(stickShape(200, 200, 200 + 170 * std::cos(a), 200 + 170 * std::sin(a), 9));
    }
    return unionOf(parts);
}

}  // namespace

TEST(Rig, EachLimbGetsItsOwnBoneWhileTheCountAllows) {
    const struct {
        const char* name;
        Shape shape;
        int size, bones;
        size_t branches;  // limbs, head and tail found
    } cases[] = {
        {"stick figure: head, two arms, two legs", stickFigure(600, 8), 600, 6, 5},
        {"two legs touching at the knee", kneesTogether(), 300, 4, 3},
        {"a star of six points", star(6), 400, 7, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FigureResult r;
        if (!makeFrom(paintDrawing(c.size, c.size, c.shape), c.bones, r)) continue;
        EXPECT_EQ(r.layout.branches.size(), c.branches);
        const std::vector<Tip> tips = tipsOf(r);
        std::set<int> bones;
        for (const Tip& t : tips) {
            EXPECT_NE(t.bone, 0) << "a tip at (" << t.at.x << ", " << t.at.y << ") is the trunk's";
            bones.insert(t.bone);
        }
        EXPECT_EQ(bones.size(), tips.size()) << "two tips share a bone";
        EXPECT_FALSE(hasNote(r, "share bone")) << "a warning about sharing";
    }
}

TEST(Rig, SpareBonesSplitTheLongestLimbsAtTheirMiddle) {
    FigureResult r;
    ASSERT_TRUE(makeFrom(paintDrawing(600, 600, stickFigure(600, 8)), 10, r));
    // Five limbs and the trunk take six bones; the four longest limbs get an upper and a lower.
    int split = 0;
    for (const LaidBone& b : r.layout.bones)
        split += b.kind == LaidBone::Kind::Branch && b.part == 1;
    EXPECT_EQ(split, 4);
    EXPECT_TRUE(hasNote(r, "(upper)"));
    EXPECT_TRUE(hasNote(r, "(lower)"));
}

TEST(Rig, WithMoreLimbsThanBonesOnlyNeighboursShareAndTheReportSaysHowManyWouldDo) {
    FigureResult r;
    ASSERT_TRUE(makeFrom(paintDrawing(400, 400, star(10)), 6, r));
    ASSERT_EQ(r.layout.branches.size(), 10u);
    // Around the star, every bone's points come one after another.
    std::vector<std::pair<double, int>> round;
    for (const Tip& t : tipsOf(r))
        round.push_back({std::atan2(t.at.y - 200, t.at.x - 200), t.bone});
    std::sort(round.begin(), round.end());
    int changes = 0;
    for (size_t k = 0; k < round.size(); ++k)
        changes += round[k].second != round[(k + 1) % round.size()].second;
    EXPECT_EQ(changes, 5) << "five bones over ten points, each in one run";
    EXPECT_TRUE(hasNote(r, "--bones 11 would give each branch its own"));
}

TEST(Rig, AFloorUnderTheFeetMovesWithTheTrunk) {
    const Shape onFloor = unionOf({stickFigure(600, 8), stickShape(60, 575, 540, 575, 12)});
    FigureResult r;
    ASSERT_TRUE(makeFrom(paintDrawing(600, 600, onFloor), 6, r));
    EXPECT_TRUE(hasNote(r, "moves with the trunk"));
    int groundVertices = 0, boundElsewhere = 0;
    for (size_t v = 0; v < r.mesh.vertices.size(); ++v) {
        if (r.ground[v] == 0) continue;
        ++groundVertices;
        boundElsewhere += r.bones.region[v] != 0;
    }
    EXPECT_GT(groundVertices, 50);
    EXPECT_EQ(boundElsewhere, 0);
    // The legs still get their own bones.
    std::set<int> bones;
    for (const Tip& t : tipsOf(r)) bones.insert(t.bone);
    EXPECT_EQ(bones.size(), 5u);
    EXPECT_EQ(bones.count(0), 0u);
}

TEST(Rig, DrawingsThatWontWorkWellSaySo) {
    // White eyes on white paper: holes of the paper's colour, smaller than the figure's parts.
    const Shape head = [](double x, double y) {
        return discShape(200, 200, 150)(x, y) && !discShape(150, 160, 14)(x, y) &&
               !discShape(250, 160, 14)(x, y);
    };
    const struct {
        const char* name;
        TestDrawing drawing;
        bool keyed;
        const char* note;
    } cases[] = {
        {"an outline sketch", paintDrawing(400, 400, ringShape(200, 200, 170, 185)), false,
         "--fill-holes makes what the line encloses"},
        {"a small drawing", paintDrawing(80, 80, discShape(40, 40, 35)), false, "look soft"},
        {"white eyes on white paper", paintDrawing(400, 400, head, true, 0xffffff), true,
         "holes of the background's colour"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FigureResult r;
        if (!makeFrom(c.drawing, 4, r, c.keyed)) continue;
        EXPECT_TRUE(hasNote(r, c.note));
    }
    // The hole count is the mesh's.
    FigureResult eyes;
    ASSERT_TRUE(makeFrom(paintDrawing(400, 400, head, true, 0xffffff), 4, eyes, true));
    EXPECT_EQ(eyes.holes, 0);
}
