#include "driver/keyframes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

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

void expectRow(const Keyframe& row, float time, int32_t scene, int32_t vertex, float x, float y,
               float z) {
    EXPECT_EQ(row.time, time);
    EXPECT_EQ(row.scene, scene);
    EXPECT_EQ(row.vertex, vertex);
    EXPECT_EQ(row.x, x);
    EXPECT_EQ(row.y, y);
    EXPECT_EQ(row.z, z);
}

std::string printedRow(const Keyframe& row) {
    char line[256];
    std::snprintf(line, sizeof line, "%f %d %d %f %f %f\n", double(row.time), row.scene, row.vertex,
                  double(row.x), double(row.y), double(row.z));
    return line;
}

TEST(KeyframeReader, CountsRowsEndedByLineFeeds) {
    const ReadResult result =
        readText("1.0 1 0 1 2 3\n2.0 1 1 4 5 6\n3.0 2 2 7 8 9\n4.0 3 3 1 1 1\n5.0 4 4 2 2 2\n");
    EXPECT_EQ(result.count, 5);
    ASSERT_EQ(result.table.size(), 5u);
    expectRow(result.table[0], 1.0f, 1, 0, 1.0f, 2.0f, 3.0f);
    expectRow(result.table[4], 5.0f, 4, 4, 2.0f, 2.0f, 2.0f);
    EXPECT_EQ(result.err, "");
}

TEST(KeyframeReader, ThePrintedFormOfARowReadsBackExactly) {
    // Six decimals hold every float the author's rows carry to within the float's own
    // rounding, so the row printed from these values reads back as the same floats.
    const Keyframe rows[] = {
        {21.5f, 3, 17, 123.25f, -45.125f, 3700.0625f},
        {0.1f, 1, 0, 0.2f, -0.3f, 1e-6f},
        {86.999f, 4, 2047, 1279.999f, -0.000001f, 12345.678f},
    };
    std::string text;
    for (const Keyframe& row : rows) text += printedRow(row);
    EXPECT_EQ(printedRow(rows[0]), "21.500000 3 17 123.250000 -45.125000 3700.062500\n");

    const ReadResult result = readText(text);
    ASSERT_EQ(result.count, 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        expectRow(result.table[i], rows[i].time, rows[i].scene, rows[i].vertex, rows[i].x,
                  rows[i].y, rows[i].z);
    }
}

TEST(KeyframeReader, AcceptsWhatThePatternAccepts) {
    const ReadResult result = readText(
        "1.5e1 2 3 -2.5E2 1e-1 .5\n"
        " \t  7 1 4 8 9 10\n"
        "3.25 4 5 6 7 8 trailing words, 99 99\n"
        "4 1 2 3 4 5\r\n");
    ASSERT_EQ(result.count, 4);
    expectRow(result.table[0], 15.0f, 2, 3, -250.0f, 0.1f, 0.5f);
    expectRow(result.table[1], 7.0f, 1, 4, 8.0f, 9.0f, 10.0f);
    expectRow(result.table[2], 3.25f, 4, 5, 6.0f, 7.0f, 8.0f);
    expectRow(result.table[3], 4.0f, 1, 2, 3.0f, 4.0f, 5.0f);
    EXPECT_EQ(result.err, "");
}

TEST(KeyframeReader, CarriageReturnsAndALastLineWithoutLineFeedDoNoHarm) {
    const ReadResult crlf = readText("1.0 1 0 1 2 3\r\n2.0 1 1 4 5 6\r\n3.0 2 2 7 8 9\r\n");
    EXPECT_EQ(crlf.count, 3);
    EXPECT_EQ(crlf.err, "");
    ASSERT_EQ(crlf.table.size(), 3u);
    expectRow(crlf.table[2], 3.0f, 2, 2, 7.0f, 8.0f, 9.0f);

    // Editors that leave off the last line feed must not lose the last row.
    const ReadResult unterminated = readText("1.0 1 0 1 2 3\n2.0 1 1 4 5 6");
    EXPECT_EQ(unterminated.count, 2);
    ASSERT_EQ(unterminated.table.size(), 2u);
    expectRow(unterminated.table[1], 2.0f, 1, 1, 4.0f, 5.0f, 6.0f);
    EXPECT_EQ(readText("").count, 0);
}

TEST(KeyframeReader, LongLinesAreOneRow) {
    std::string longLine = std::string(250, ' ') + "2.5 1 7 1 2 3 ";
    longLine += std::string(300 - longLine.size(), 'x');
    ASSERT_EQ(longLine.size(), 300u);
    const ReadResult result = readText("1.0 1 0 0 0 0\n" + longLine + "\n3.0 1 1 1 1 1\n");
    ASSERT_EQ(result.count, 3);
    expectRow(result.table[1], 2.5f, 1, 7, 1.0f, 2.0f, 3.0f);
    expectRow(result.table[2], 3.0f, 1, 1, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(result.err, "");
}

TEST(KeyframeReader, BlankAndMalformedLinesAddNoRow) {
    // A zero row would name slot 0 at time 0 and cut the interval of the row before it.
    const ReadResult blank = readText("1.0 1 0 1 2 3\n\n   \t\n\r\n2.0 1 1 4 5 6\n");
    EXPECT_EQ(blank.count, 2);
    EXPECT_EQ(blank.err, "");
    ASSERT_EQ(blank.table.size(), 2u);
    expectRow(blank.table[1], 2.0f, 1, 1, 4.0f, 5.0f, 6.0f);

    const ReadResult malformed = readText(
        "1.0 1 0 1 2 3\n"
        "2.0 1 1 4 5\n"
        "3.0 1 x 4 5 6\n"
        "nan 1 1 1 1 1\n"
        "5.0 1 1 inf 1 1\n"
        "6.0 1 2 7 8 9\n");
    ASSERT_EQ(malformed.count, 2);
    expectRow(malformed.table[1], 6.0f, 1, 2, 7.0f, 8.0f, 9.0f);
    for (const char* line : {"line 2", "line 3", "line 4", "line 5"}) {
        EXPECT_NE(malformed.err.find(line), std::string::npos) << line << "\n" << malformed.err;
    }
    EXPECT_EQ(malformed.err.find("line 1 "), std::string::npos);
    EXPECT_EQ(malformed.err.find("line 6"), std::string::npos);
}

TEST(KeyframeReader, StopsAtTheTableSizeWithOneWarning) {
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
    const ReadResult full = readText(text);
    EXPECT_EQ(full.count, MAX_KEYFRAMES);
    EXPECT_EQ(full.err, "");
}

TEST(KeyframeReader, AMissingFileGivesNoRowsAndAWarning) {
    TempFolder folder;
    std::vector<Keyframe> table(3);
    CaptureStderr();
    const int32_t count = readKeyframes(folder.file("anim.txt").c_str(), table);
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(table.empty());
    EXPECT_NE(err.find("anim.txt"), std::string::npos) << err;
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

uint8_t handle(const DriverState& state, int slot, int vertex) {
    return state.scenes[slot].mesh.vertices[vertex].isHandle;
}

int handleCount(const DriverState& state) {
    int count = 0;
    for (const Scene& scene : state.scenes) {
        for (const MeshVertex& vertex : scene.mesh.vertices) count += vertex.isHandle;
    }
    return count;
}

TEST(KeyframePlayback, TheRowActiveIsTheOneWhoseIntervalHoldsTheTime) {
    DriverState state = playbackState({{1.0f, 2, 4, 10.0f, 20.0f, 30.0f},
                                       {2.0f, 3, 1, 40.0f, 50.0f, 60.0f},
                                       {3.0f, 4, 2, 70.0f, 80.0f, 90.0f}});
    state.showTime = 1.0f;  // the start of an interval is outside it
    applyKeyframesStepA(state);
    EXPECT_EQ(state.currentScene, 0);
    EXPECT_EQ(handleCount(state), 0);

    state.showTime = 1.5f;
    applyKeyframesStepA(state);
    EXPECT_EQ(state.currentScene, 2);
    EXPECT_EQ(state.selectedVertex, 4);
    EXPECT_EQ(state.dragTarget.x, 10.0);
    EXPECT_EQ(state.dragTarget.y, 20.0);
    EXPECT_EQ(state.dragTarget.z, 30.0);
    EXPECT_EQ(handle(state, 2, 4), 1);
    EXPECT_EQ(handleCount(state), 1);

    // Exactly at the second row's time neither interval holds it: the handle goes, the target
    // stays.
    state.showTime = 2.0f;
    applyKeyframesStepA(state);
    EXPECT_EQ(state.currentScene, 2);
    EXPECT_EQ(state.selectedVertex, 4);
    EXPECT_EQ(state.dragTarget.x, 10.0);
    EXPECT_EQ(handleCount(state), 0);
    applyKeyframesStepB(state);
    EXPECT_EQ(state.scenes[2].mesh.vertices[4].pos.x, 10.0f);

    state.showTime = 2.5f;
    applyKeyframesStepA(state);
    EXPECT_EQ(state.currentScene, 3);
    EXPECT_EQ(state.selectedVertex, 1);
    EXPECT_EQ(state.dragTarget.z, 60.0);
    EXPECT_EQ(handle(state, 3, 1), 1);
    EXPECT_EQ(handleCount(state), 1);

    // The last row only closes the interval before it.
    for (float time : {3.0f, 3.5f, 1000.0f}) {
        state.showTime = time;
        applyKeyframesStepA(state);
        EXPECT_EQ(state.currentScene, 3);
        EXPECT_EQ(state.selectedVertex, 1);
        EXPECT_EQ(handleCount(state), 0);
    }

    DriverState single = playbackState({{1.0f, 2, 4, 10.0f, 20.0f, 30.0f}});
    for (float time : {0.5f, 1.0f, 1.5f, 100.0f}) {
        single.showTime = time;
        applyKeyframesStepA(single);
        EXPECT_EQ(single.currentScene, 0);
        EXPECT_EQ(handleCount(single), 0);
    }
}

TEST(KeyframePlayback, UnsortedRowsLeaveEveryActiveVertexAHandleAndTheLastDecides) {
    DriverState state = playbackState({{1.0f, 2, 1, 1.0f, 1.0f, 1.0f},
                                       {5.0f, 2, 9, 9.0f, 9.0f, 9.0f},
                                       {2.0f, 3, 2, 2.0f, 2.0f, 2.0f},
                                       {6.0f, 4, 0, 6.0f, 6.0f, 6.0f}});
    state.showTime = 3.0f;
    applyKeyframesStepA(state);
    EXPECT_EQ(state.currentScene, 3);
    EXPECT_EQ(state.selectedVertex, 2);
    EXPECT_EQ(state.dragTarget.x, 2.0);
    EXPECT_EQ(handle(state, 2, 1), 1);
    EXPECT_EQ(handle(state, 3, 2), 1);
    EXPECT_EQ(handleCount(state), 2);

    // A frame with no active row clears only the last selected vertex; the earlier one stays
    // a handle.
    state.showTime = 7.0f;
    applyKeyframesStepA(state);
    EXPECT_EQ(state.currentScene, 3);
    EXPECT_EQ(handle(state, 3, 2), 0);
    EXPECT_EQ(handle(state, 2, 1), 1);
}

TEST(KeyframePlayback, StepBRunsWithoutRowsAndOnlyOutsideSlotZero) {
    DriverState state = playbackState({});
    state.showTime = 30.0f;
    state.dragTarget = {0.1, -7.25, 3.0000000001};
    applyKeyframesStepA(state);
    applyKeyframesStepB(state);
    EXPECT_EQ(state.currentScene, 0);
    EXPECT_EQ(handleCount(state), 0);

    state.currentScene = 2;
    state.selectedVertex = 3;
    applyKeyframesStepA(state);
    EXPECT_EQ(handleCount(state), 0);
    applyKeyframesStepB(state);
    const Vec3f& pos = state.scenes[2].mesh.vertices[3].pos;
    EXPECT_EQ(pos.x, 0.1f);  // narrowed, not cut
    EXPECT_EQ(pos.y, -7.25f);
    EXPECT_EQ(pos.z, 3.0f);
    EXPECT_EQ(state.scenes[2].mesh.vertices[2].pos.x, 2.0f);

    // A target beyond float range never reaches a vertex.
    state.dragTarget = {1e300, 0.0, 0.0};
    applyKeyframesStepB(state);
    EXPECT_EQ(pos.x, 0.1f);

    // The row's float target is widened as it is, not re-read as a decimal.
    DriverState widened = playbackState({{1.0f, 1, 5, 0.1f, 0.2f, 0.3f}, {2.0f, 1, 0, 0, 0, 0}});
    widened.showTime = 1.5f;
    applyKeyframesStepA(widened);
    EXPECT_EQ(widened.dragTarget.x, double(0.1f));
    EXPECT_NE(widened.dragTarget.x, 0.1);
}

// Each row of `rows` is active at 2.0 s: its successor, a row that is never active then, closes
// its interval at 9.0 s.
std::vector<Keyframe> activeAtTwo(const std::vector<Keyframe>& rows) {
    std::vector<Keyframe> table;
    for (Keyframe row : rows) {
        row.time = 1.0f;
        table.push_back(row);
        table.push_back(Keyframe{9.0f, 1, 0, 0.0f, 0.0f, 0.0f});
    }
    return table;
}

TEST(KeyframePlayback, RowsNamingNoVertexAreSkippedWhole) {
    DriverState state = playbackState(activeAtTwo({{0, 2, 7, 7.0f, 7.0f, 7.0f},
                                                   {0, 6, 0, 1.0f, 1.0f, 1.0f},
                                                   {0, -1, 0, 1.0f, 1.0f, 1.0f},
                                                   {0, 3, 4, 1.0f, 1.0f, 1.0f},
                                                   {0, 3, -1, 1.0f, 1.0f, 1.0f},
                                                   {0, 0, 0, 1.0f, 1.0f, 1.0f},
                                                   {0, 5, 0, 1.0f, 1.0f, 1.0f},
                                                   {0, 2, 10, 1.0f, 1.0f, 1.0f}}));
    state.showTime = 2.0f;
    applyKeyframesStepA(state);
    EXPECT_EQ(state.currentScene, 2);
    EXPECT_EQ(state.selectedVertex, 7);
    EXPECT_EQ(state.dragTarget.x, 7.0);
    EXPECT_EQ(handleCount(state), 1);
    applyKeyframesStepB(state);
    EXPECT_EQ(state.scenes[2].mesh.vertices[7].pos.x, 7.0f);

    // Only bad rows active: nothing changes.
    DriverState bad =
        playbackState(activeAtTwo({{0, 5, 0, 1.0f, 1.0f, 1.0f}, {0, 4, 3, 1.0f, 1.0f, 1.0f}}));
    bad.currentScene = 1;
    bad.selectedVertex = 2;
    bad.dragTarget = {4.0, 5.0, 6.0};
    bad.showTime = 2.0f;
    applyKeyframesStepA(bad);
    EXPECT_EQ(bad.currentScene, 1);
    EXPECT_EQ(bad.selectedVertex, 2);
    EXPECT_EQ(bad.dragTarget.x, 4.0);
    EXPECT_EQ(handleCount(bad), 0);
}

TEST(KeyframePlayback, StepAClearsThePreviousHandleWhereTheSlotStillHasIt) {
    DriverState state = playbackState({});
    state.scenes[2].mesh.vertices[8].isHandle = 1;
    state.scenes[2].mesh.vertices[1].isHandle = 1;
    state.currentScene = 2;
    state.selectedVertex = 8;
    applyKeyframesStepA(state);
    EXPECT_EQ(handle(state, 2, 8), 0);
    EXPECT_EQ(handle(state, 2, 1), 1);

    // F4 moved to a slot of four vertices while vertex 8 was selected: nothing to clear or to
    // place there.
    state.scenes[2].mesh.vertices[8].isHandle = 1;
    state.currentScene = 3;
    state.dragTarget = {100.0, 200.0, 300.0};
    applyKeyframesStepA(state);
    applyKeyframesStepB(state);
    EXPECT_EQ(handle(state, 2, 8), 1);
    for (const MeshVertex& vertex : state.scenes[3].mesh.vertices) EXPECT_EQ(vertex.pos.z, 0.0f);

    // Slot 0 holds nothing to clear.
    state.currentScene = 0;
    state.selectedVertex = 1;
    applyKeyframesStepA(state);
    EXPECT_EQ(handle(state, 2, 1), 1);
}

TEST(KeyframePlayback, ACountBeyondTheTableIsNotFollowed) {
    DriverState state = playbackState({{1.0f, 2, 3, 1.0f, 1.0f, 1.0f}});
    state.keyframeCount = 5;
    state.showTime = 1.5f;
    applyKeyframesStepA(state);
    EXPECT_EQ(handleCount(state), 0);
}

}  // namespace
