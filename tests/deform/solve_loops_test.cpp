// Each wider unit's loops against the portable ones, bit for bit, on inputs that a painted grid
// seldom makes: odd and empty member runs, a vertex listed twice in a row, bones that only
// translate, goals that are not numbers, handles, and vertex ranges that end inside a step.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "deform/solve_kernels.h"

namespace {

class SolveLoops : public testing::TestWithParam<VectorUnit> {
protected:
    void SetUp() override {
        if (GetParam() > widestVectorUnit()) {
            GTEST_SKIP() << "this CPU lacks the " << vectorUnitName(GetParam()) << " unit";
        }
    }
    const SolveKernels& portable = solveKernels(VectorUnit::Plain);
    const SolveKernels& wide = solveKernels(GetParam());
};

template <typename T>
bool sameBits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

template <typename T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

float between(std::mt19937& random, float low, float high) {
    return low + (high - low) * float(random() % 100000) / 100000.0f;
}

Float4 place(std::mt19937& random, float size) {
    return Float4{between(random, -size, size), between(random, -size, size),
                  between(random, -size, size), 0.0f};
}

constexpr int VERTICES = 40;

}  // namespace

TEST_P(SolveLoops, FitsGiveThePortableBits) {
    std::mt19937 random(7);
    std::vector<Float4> positions;
    for (int v = 0; v < VERTICES; ++v) positions.push_back(place(random, 500.0f));
    std::vector<int32_t> vertex;
    std::vector<float> weight;
    std::vector<Float4> weightedRest;
    for (int e = 0; e < 60; ++e) {
        vertex.push_back(int32_t(random() % VERTICES));
        weight.push_back(between(random, 0.001f, 1000.0f));
        const Float4 q = place(random, 80.0f);
        weightedRest.push_back(q * weight.back());
    }
    const struct {
        int count;
        MemberRange range[2];
    } cases[] = {
        {1, {{0, 17}, {0, 0}}},  {1, {{3, 3}, {0, 0}}},     {2, {{0, 23}, {23, 60}}},
        {2, {{30, 59}, {0, 5}}}, {2, {{10, 10}, {11, 12}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.count << " bones, members " << c.range[0].begin << " to "
                     << c.range[0].end << " and " << c.range[1].begin << " to " << c.range[1].end);
        std::vector<Float4> want(vertex.size()), got(vertex.size());
        const MemberLists wantLists{vertex.data(), weight.data(), weightedRest.data(), want.data()};
        const MemberLists gotLists{vertex.data(), weight.data(), weightedRest.data(), got.data()};
        Float4 wantU[2] = {}, gotU[2] = {};
        portable.centroids(wantLists, c.range, c.count, positions.data(), wantU);
        wide.centroids(gotLists, c.range, c.count, positions.data(), gotU);
        EXPECT_TRUE(sameBits(gotU, wantU));
        const Float4 m[2] = {wantU[0] * 0.01f, wantU[1] * 0.02f};
        Covariance wantA[2] = {}, gotA[2] = {};
        portable.covariances(wantLists, c.range, c.count, positions.data(), m, wantA);
        wide.covariances(gotLists, c.range, c.count, positions.data(), m, gotA);
        EXPECT_TRUE(sameBits(gotA, wantA));
        portable.covariancesKeepingOffsets(wantLists, c.range, c.count, positions.data(), m, wantA);
        wide.covariancesKeepingOffsets(gotLists, c.range, c.count, positions.data(), m, gotA);
        EXPECT_TRUE(sameBits(gotA, wantA));
        EXPECT_TRUE(sameBits(got, want));
    }
}

TEST_P(SolveLoops, GoalsGiveThePortableBits) {
    std::mt19937 random(11);
    // Runs of members, some of them one vertex twice in a row, of odd and even lengths.
    std::vector<int32_t> vertex;
    std::vector<Float4> rest;
    for (int e = 0; e < 31; ++e) {
        vertex.push_back(e % 5 == 2 ? vertex.back() : int32_t(random() % VERTICES));
        Float4 q = place(random, 80.0f);
        q[3] = between(random, 0.001f, 1000.0f);
        rest.push_back(q);
    }
    BoneMotion turns{};
    for (int j = 0; j < 3; ++j) {
        widen(place(random, 1.0f), turns.column[j]);
    }
    turns.centref = place(random, 300.0f);
    widen(turns.centref, turns.centre);
    turns.usable = 1;
    BoneMotion slides = turns;
    slides.usable = 0;
    std::vector<Float4> before;
    for (int v = 0; v < VERTICES; ++v) {
        Float4 sum = place(random, 1e5f);
        sum[3] = between(random, 0.0f, 2000.0f);
        before.push_back(sum);
    }
    for (const BoneMotion& motion : {turns, slides}) {
        for (const int32_t count : {31, 30, 1, 0}) {
            SCOPED_TRACE(testing::Message()
                         << "usable " << motion.usable << ", " << count << " members");
            std::vector<Float4> want = before, got = before;
            portable.goals(motion, vertex.data(), rest.data(), count, want.data());
            wide.goals(motion, vertex.data(), rest.data(), count, got.data());
            EXPECT_TRUE(sameBits(got, want));
            portable.freshGoals(motion, vertex.data(), rest.data(), count, want.data());
            wide.freshGoals(motion, vertex.data(), rest.data(), count, got.data());
            EXPECT_TRUE(sameBits(got, want));
        }
    }
}

TEST_P(SolveLoops, VertexMovesGiveThePortableBits) {
    std::mt19937 random(5);
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<Float4> positions, sums;
    std::vector<int32_t> handle;
    for (int v = 0; v < VERTICES; ++v) {
        // Means from left of the view to right of it, every other one across the bottom margin.
        const Float4 mean{-150.0f + 37.0f * float(v),
                          v % 2 == 0 ? -70.0f + 3.0f * float(v) : 100.0f + 13.0f * float(v),
                          float(v % 3) * 10.0f - 10.0f, 0.0f};
        const Float4 p = mean + place(random, 5.0f);
        positions.push_back(p);
        const float w = between(random, 0.5f, 2.0f);
        Float4 goal = mean * w;
        goal[3] = w;
        if (v % 8 == 1) goal = Float4{0.0f, 0.0f, 0.0f, 0.0f};  // no goals
        if (v % 8 == 3) goal[1] = nan;
        if (v % 8 == 5) goal[0] = inf;
        if (v % 8 == 6) goal = Float4{p[0], p[1], p[2], 1.0f};  // the place it has
        sums.push_back(goal);
        handle.push_back(v % 7 == 4 ? 1 : 0);
    }
    // A 1024 x 512 view seen from 600 units in front of its middle, and seen flat.
    WindowTest perspective{};
    const double f = 1.0 / std::tan(0.5);
    const double modelView[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -512, -256, -600, 1};
    const double frustum[16] = {f / 2, 0, 0, 0, 0, f, 0, 0, 0, 0, -1.002, -1, 0, 0, -2.002, 0};
    for (int k = 0; k < 16; ++k) {
        perspective.modelView[k] = modelView[k];
        perspective.projection[k] = frustum[k];
    }
    perspective.width = 1024.0;
    perspective.height = 512.0;
    perspective.bottomMargin = 50.0;
    perspective.perspective = true;
    WindowTest flat = perspective;
    const double ortho[16] = {2.0 / 1024, 0, 0,      0, 0,  2.0 / 512, 0, 0,
                              0,          0, -0.001, 0, -1, -1,        1, 1};
    for (int k = 0; k < 16; ++k) {
        flat.modelView[k] = k % 5 == 0 ? 1.0 : 0.0;
        flat.projection[k] = ortho[k];
    }
    flat.perspective = false;
    const struct {
        const WindowTest* window;
        bool rawAverage;
        int32_t from, to;
    } cases[] = {
        {&perspective, false, 0, 37}, {&perspective, false, 16, 21}, {&perspective, true, 0, 40},
        {&flat, false, 0, 40},        {&flat, false, 8, 33},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.window->perspective ? "perspective" : "flat") << ", raw " << c.rawAverage
                     << ", vertices " << c.from << " to " << c.to);
        std::vector<Float4> want = positions, got = positions;
        VertexMove move{};
        move.sums = sums.data();
        move.handle = handle.data();
        move.window = *c.window;
        move.shift = Float4{2.5f, -1.5f, 0.25f, 0.0f};
        move.rawAverage = c.rawAverage;
        move.positions = want.data();
        portable.moveVertices(move, c.from, c.to);
        move.positions = got.data();
        wide.moveVertices(move, c.from, c.to);
        EXPECT_TRUE(sameBits(got, want));
        EXPECT_FALSE(sameBits(want, positions)) << "nothing moved: the case tests little";
    }
}

// The portable loops are the ones compared against.
INSTANTIATE_TEST_SUITE_P(, SolveLoops, testing::Values(VectorUnit::Avx2, VectorUnit::Avx512),
                         [](const testing::TestParamInfo<VectorUnit>& info) {
                             return std::string(vectorUnitName(info.param));
                         });
