#include "driver/keyframes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "show_folder.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct ReadResult {
    int32_t count;
    std::vector<Keyframe> table;
    std::string err;
};

ReadResult readText(const std::string& text) {
    TempFolder folder;
    writeTextFile(folder.file("anim.txt"), text);
    ReadResult result;
    result.table.push_back(Keyframe{9.0f, 9, 9, 9.0f, 9.0f, 9.0f});  // stale content goes
    CaptureStderr();
    result.count = readKeyframes(folder.file("anim.txt").c_str(), result.table);
    result.err = GetCapturedStderr();
    return result;
}

// Rows with every float in full (nine digits give a float back exactly), for comparing tables.
std::string exact(const std::vector<Keyframe>& rows) {
    std::string text;
    for (const Keyframe& r : rows) {
        char line[160];
        std::snprintf(line, sizeof line, "%.9g %d %d %.9g %.9g %.9g\n", double(r.time), r.scene,
                      r.vertex, double(r.x), double(r.y), double(r.z));
        text += line;
    }
    return text;
}

TEST(KeyframeReader, EveryLineThatStartsWithSixNumbersIsARow) {
    std::string longLine = std::string(250, ' ') + "2.5 1 7 1 2 3 ";
    longLine += std::string(300 - longLine.size(), 'x');
    const std::string five = "1 1 0 1 2 3\n2 1 1 4 5 6\n3 2 2 7 8 9\n4 3 3 1 1 1\n5 4 4 2 2 2\n";
    const std::string two = "1 1 0 1 2 3\n2 1 1 4 5 6\n";
    // The text read, and the rows it gives.
    const std::pair<std::string, std::string> cases[] = {
        {five, five},
        {"1.5e1 2 3 -2.5E2 1e-1 .5\n \t  7 1 4 8 9 10\n3.25 4 5 6 7 8 trailing words, 99 99\n",
         "15 2 3 -250 0.100000001 0.5\n7 1 4 8 9 10\n3.25 4 5 6 7 8\n"},
        {"1 1 0 1 2 3\r\n2 1 1 4 5 6\r\n", two},
        {"1 1 0 1 2 3\n2 1 1 4 5 6", two},  // editors may leave off the last line feed
        {"", ""},
        // The author's printed rows: six decimals hold each float to within its own rounding,
        // so they read back as the floats that were printed.
        {"21.500000 3 17 123.250000 -45.125000 3700.062500\n"
         "0.100000 1 0 0.200000 -0.300000 0.000001\n"
         "86.999001 4 2047 1279.999023 -0.000001 12345.677734\n",
         exact({{21.5f, 3, 17, 123.25f, -45.125f, 3700.0625f},
                {0.1f, 1, 0, 0.2f, -0.3f, 1e-6f},
                {86.999f, 4, 2047, 1279.999f, -0.000001f, 12345.678f}})},
        {"1 1 0 1 2 3\n" + longLine + "\n3 1 1 1 1 1\n",
         "1 1 0 1 2 3\n2.5 1 7 1 2 3\n3 1 1 1 1 1\n"},
    };
    for (const auto& c : cases) {
        const ReadResult result = readText(c.first);
        EXPECT_EQ(exact(result.table), c.second) << c.first;
        EXPECT_EQ(result.count, int32_t(result.table.size())) << c.first;
        EXPECT_EQ(result.err, "") << c.first;
    }
}

TEST(KeyframeReader, SkippedLinesAndFilesThatCantBeReadAreToldOnceWithTheRowsKept) {
    const std::string bad =
        "1 1 0 1 2 3\n2 1 1 4 5\n3 1 x 4 5 6\nnan 1 1 1 1 1\n5 1 1 inf 1 1\n5 1 1 1 -inf 1\n"
        "5 1 1 1 1 nan\n6 1 2 7 8 9\n";
    const struct {
        std::string text;  // written as anim.txt; empty: anim.txt is a folder
        std::string rows;
        std::vector<std::string> warnings;  // one line each, in this order
    } cases[] = {
        {bad,
         "1 1 0 1 2 3\n6 1 2 7 8 9\n",
         {"6 lines are not keyframe rows (the first is line 2); skipped"}},
        // A zero row would name slot 0 at time 0 and cut the interval of the row before it.
        {"1 1 0 1 2 3\n\n   \t\n\r\n2 1 1 4 5 6\nx\n",
         "1 1 0 1 2 3\n2 1 1 4 5 6\n",
         {"1 lines are not keyframe rows (the first is line 6)",
          "3 blank lines (the first is line 2); skipped"}},
        {"", "", {std::string("can't read "), std::strerror(EISDIR)}},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const std::string path = folder.file("anim.txt");
        if (c.text.empty()) {
            makeFolder(path);
        } else {
            writeTextFile(path, c.text);
        }
        std::vector<Keyframe> table;
        CaptureStderr();
        const int32_t count = readKeyframes(path.c_str(), table);
        const std::string err = GetCapturedStderr();
        EXPECT_EQ(exact(table), c.rows) << c.text;
        EXPECT_EQ(count, int32_t(table.size()));
        size_t at = 0;
        for (const std::string& warning : c.warnings) {
            at = err.find(warning, at);
            ASSERT_NE(at, std::string::npos) << warning << "\n" << err;
        }
        EXPECT_NE(err.find(path), std::string::npos) << err;
        const size_t lines = c.text.empty() ? 1 : c.warnings.size();
        EXPECT_EQ(size_t(std::count(err.begin(), err.end(), '\n')), lines) << err;
    }
}

TEST(KeyframeReader, StopsAtTheTableSizeWithOneWarningAndAMissingFileGivesNoRows) {
    std::string text;
    for (int i = 0; i <= MAX_KEYFRAMES; ++i) text += std::to_string(i) + " 1 0 1 2 3\n";
    const ReadResult result = readText(text);
    EXPECT_EQ(result.count, MAX_KEYFRAMES);
    ASSERT_EQ(result.table.size(), size_t(MAX_KEYFRAMES));
    EXPECT_EQ(result.table.back().time, float(MAX_KEYFRAMES - 1));
    EXPECT_NE(result.err.find("16384"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;

    // Exactly a full table is no reason to complain.
    text.erase(text.rfind(std::to_string(MAX_KEYFRAMES) + " 1 0"));
    EXPECT_EQ(readText(text).err, "");

    TempFolder folder;
    std::vector<Keyframe> table(3);
    CaptureStderr();
    EXPECT_EQ(readKeyframes(folder.file("anim.txt").c_str(), table), 0);
    const std::string err = GetCapturedStderr();
    EXPECT_TRUE(table.empty());
    EXPECT_NE(err.find("anim.txt"), std::string::npos) << err;
    EXPECT_NE(err.find(std::strerror(ENOENT)), std::string::npos) << err;
}

// A playback state with meshes of known sizes in the slots that have bones.
DriverState playbackState(std::vector<Keyframe> rows) {
    DriverState state;
    initDriverState(state, true);
    const int sizes[sceneSlotCount] = {0, 6, 10, 4, 3, 0};
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        state.scenes[slot].mesh.vertices.resize(size_t(sizes[slot]));
        for (int i = 0; i < sizes[slot]; ++i) {
            state.scenes[slot].mesh.vertices[i].pos = {float(i), float(slot), 0.0f};
        }
    }
    state.keyframeCount = int32_t(rows.size());
    state.keyframes = std::move(rows);
    return state;
}

MeshVertex& vertex(DriverState& state, int slot, int index) {
    return state.scenes[slot].mesh.vertices[index];
}

// "slot vertex | target | handles in all slots | position of the selected vertex, if any".
std::string selection(const DriverState& s) {
    int handles = 0;
    for (const Scene& scene : s.scenes) {
        for (const MeshVertex& v : scene.mesh.vertices) handles += v.isHandle;
    }
    char text[200];
    int n =
        std::snprintf(text, sizeof text, "%d %d | %.17g %.17g %.17g | %d", s.currentScene,
                      s.selectedVertex, s.dragTarget.x, s.dragTarget.y, s.dragTarget.z, handles);
    const std::vector<MeshVertex>& selected = s.scenes[s.currentScene].mesh.vertices;
    if (s.selectedVertex >= 0 && size_t(s.selectedVertex) < selected.size()) {
        const Vec3f& p = selected[size_t(s.selectedVertex)].pos;
        std::snprintf(text + n, sizeof text - size_t(n), " | %.9g %.9g %.9g", double(p.x),
                      double(p.y), double(p.z));
    }
    return text;
}

// One frame of playback at `time`: both steps.
std::string frameAt(DriverState& state, float time) {
    state.showTime = time;
    applyKeyframesStepA(state);
    applyKeyframesStepB(state);
    return selection(state);
}

TEST(KeyframePlayback, TheRowActiveIsTheOneWhoseIntervalHoldsTheTime) {
    DriverState state =
        playbackState({{1, 2, 4, 10, 20, 30}, {2, 3, 1, 40, 50, 60}, {3, 4, 2, 70, 80, 90}});
    // The start of an interval is outside it, so at 2.0 no row is active: the handle goes and
    // the target stays. The last row only closes the interval before it.
    EXPECT_EQ(frameAt(state, 1.0f), "0 0 | 0 0 0 | 0");
    EXPECT_EQ(frameAt(state, 1.5f), "2 4 | 10 20 30 | 1 | 10 20 30");
    EXPECT_EQ(frameAt(state, 2.0f), "2 4 | 10 20 30 | 0 | 10 20 30");
    EXPECT_EQ(frameAt(state, 2.5f), "3 1 | 40 50 60 | 1 | 40 50 60");
    EXPECT_EQ(vertex(state, 3, 1).isHandle, 1);
    for (float time : {3.0f, 3.5f, 1000.0f}) {
        EXPECT_EQ(frameAt(state, time), "3 1 | 40 50 60 | 0 | 40 50 60") << time;
    }

    DriverState single = playbackState({{1, 2, 4, 10, 20, 30}});
    for (float time : {0.5f, 1.0f, 1.5f, 100.0f}) {
        EXPECT_EQ(frameAt(single, time), "0 0 | 0 0 0 | 0") << time;
    }
}

TEST(KeyframePlayback, UnsortedRowsLeaveEveryActiveVertexAHandleAndTheLastDecides) {
    DriverState state = playbackState(
        {{1, 2, 1, 1, 1, 1}, {5, 2, 9, 9, 9, 9}, {2, 3, 2, 2, 2, 2}, {6, 4, 0, 6, 6, 6}});
    EXPECT_EQ(frameAt(state, 3.0f), "3 2 | 2 2 2 | 2 | 2 2 2");
    EXPECT_EQ(vertex(state, 2, 1).isHandle, 1);
    // A frame with no active row clears only the last selected vertex; the earlier one stays
    // a handle.
    EXPECT_EQ(frameAt(state, 7.0f), "3 2 | 2 2 2 | 1 | 2 2 2");
    EXPECT_EQ(vertex(state, 2, 1).isHandle, 1);
}

TEST(KeyframePlayback, StepBRunsWithoutRowsAndOnlyOutsideSlotZero) {
    DriverState state = playbackState({});
    state.dragTarget = {0.1, -7.25, 3.0000000001};
    EXPECT_EQ(frameAt(state, 30.0f), "0 0 | 0.10000000000000001 -7.25 3.0000000001 | 0");
    state.currentScene = 2;
    state.selectedVertex = 3;
    // Narrowed, not cut.
    EXPECT_EQ(frameAt(state, 30.0f),
              "2 3 | 0.10000000000000001 -7.25 3.0000000001 | 0 | 0.100000001 -7.25 3");
    EXPECT_EQ(vertex(state, 2, 2).pos.x, 2.0f);

    // A target beyond float range never reaches a vertex.
    state.dragTarget = {1e300, 0.0, 0.0};
    applyKeyframesStepB(state);
    EXPECT_EQ(vertex(state, 2, 3).pos.x, 0.1f);

    // The row's float target is widened as it is, not re-read as a decimal.
    DriverState widened = playbackState({{1, 1, 5, 0.1f, 0.2f, 0.3f}, {2, 1, 0, 0, 0, 0}});
    frameAt(widened, 1.5f);
    EXPECT_EQ(widened.dragTarget.x, double(0.1f));
}

TEST(KeyframePlayback, RowsNamingNoVertexAreSkippedWhole) {
    // A row for each (slot, vertex), with the vertex number as its target, active at 2.0 s: the
    // row after it, never active then, closes it at 9.0 s.
    const auto activeAtTwo = [](std::initializer_list<std::pair<int32_t, int32_t>> named) {
        std::vector<Keyframe> table;
        for (const auto& n : named) {
            const float v = float(n.second);
            table.push_back(Keyframe{1, n.first, n.second, v, v, v});
            table.push_back(Keyframe{9, 1, 0, 0, 0, 0});
        }
        return playbackState(table);
    };
    // The good row stands between bad ones: neither those before nor those after may stop it
    // or move the slot.
    DriverState state =
        activeAtTwo({{6, 0}, {-1, 0}, {3, 4}, {2, 7}, {3, -1}, {0, 0}, {5, 0}, {2, 10}});
    EXPECT_EQ(frameAt(state, 2.0f), "2 7 | 7 7 7 | 1 | 7 7 7");

    // Only bad rows active: nothing changes.
    DriverState bad = activeAtTwo({{5, 0}, {4, 3}});
    bad.currentScene = 1;
    bad.selectedVertex = 2;
    bad.dragTarget = {4.0, 5.0, 6.0};
    EXPECT_EQ(frameAt(bad, 2.0f), "1 2 | 4 5 6 | 0 | 4 5 6");
}

TEST(KeyframePlayback, StepAClearsThePreviousHandleWhereTheSlotStillHasIt) {
    DriverState state = playbackState({});
    vertex(state, 2, 8).isHandle = 1;
    vertex(state, 2, 1).isHandle = 1;
    state.currentScene = 2;
    state.selectedVertex = 8;
    applyKeyframesStepA(state);
    EXPECT_EQ(vertex(state, 2, 8).isHandle, 0);
    EXPECT_EQ(vertex(state, 2, 1).isHandle, 1);

    // F4 moved to a slot of four vertices while vertex 8 was selected: nothing to clear or to
    // place there.
    vertex(state, 2, 8).isHandle = 1;
    state.currentScene = 3;
    state.dragTarget = {100.0, 200.0, 300.0};
    EXPECT_EQ(frameAt(state, 1.0f), "3 8 | 100 200 300 | 2");
    for (const MeshVertex& v : state.scenes[3].mesh.vertices) EXPECT_EQ(v.pos.z, 0.0f);

    // Nor does a count beyond the table lead anywhere.
    DriverState overcounted = playbackState({{1, 2, 3, 1, 1, 1}});
    overcounted.keyframeCount = 5;
    EXPECT_EQ(frameAt(overcounted, 1.5f), "0 0 | 0 0 0 | 0");
}

}  // namespace
