// The studio's takes: undo and redo over the list, the preview against kelvaro-merge, and K.
#include "driver/studio_takes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "merge/merge.h"
#include "script_rows.h"
#include "show_folder.h"
#include "small_disk.h"

namespace {

// A take of three rows from 10 s plus its vertex on, printed as the tool prints them.
void record(StudioTakes& studio, int vertex) {
    for (int i = 0; i < 3; ++i) {
        const double time = 10.0 + vertex + 0.01 * i;
        ASSERT_TRUE(takeRow(studio, formatKeyframeRow(time, 1, vertex, vertex, 0.0, 0.0)));
    }
}

std::string vertices(const std::vector<Take>& takes) {
    std::string names;
    for (const Take& take : takes) names += std::to_string(take.rows.front().row.vertex);
    return names;
}

// A show whose meshes hold 30 vertices each, in the current folder.
ShowSize thirtyVertexShow() {
    std::string mesh;
    for (int i = 0; i < 30; ++i) mesh += "v " + std::to_string(i) + " 0 0\n";
    writeShowFolder(".", mesh);
    ShowSize size;
    std::string error;
    EXPECT_TRUE(readShowSize(".", size, error)) << error;
    return size;
}

}  // namespace

TEST(StudioTakes, UndoDropsTheLastTakeAndRedoBringsItBackUntilANewTake) {
    TempFolder folder;
    WorkingDirectory here(folder.path());
    writeTextFile("anim.txt", script({1, 90}));
    const ShowSize show = thirtyVertexShow();
    StudioTakes studio{};
    const struct {
        const char* step;
        std::string takes;
        std::string undone;  // the next redo brings back the last
        std::string said;
    } steps[] = {
        {"record 1", "1", "", ""},
        {"record 2", "12", "", ""},
        {"record 3", "123", "", ""},
        {"undo", "12", "3", "undo take 3 (slot 1, vertex 3, 13.00-13.02 s), 3 rows"},
        {"redo", "123", "", "redo take 3 (slot 1, vertex 3"},
        {"undo", "12", "3", ""},
        {"undo", "1", "32", "undo take 2 (slot 1, vertex 2"},
        {"redo", "12", "3", ""},
        {"record 4", "124", "", ""},
        {"redo", "124", "", "no take to redo"},
        {"keep", "", "", "3 takes (9 rows) kept in anim.txt"},
        {"undo", "", "", "no take to undo"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        const std::string step = s.step;
        testing::internal::CaptureStderr();
        if (step.rfind("record ", 0) == 0) record(studio, step.back() - '0');
        if (step == "undo") undoTake(studio);
        if (step == "redo") redoTake(studio);
        if (step == "keep") {
            EXPECT_TRUE(keepTakes(studio, "anim.txt", show));
        }
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(vertices(studio.takes), s.takes);
        EXPECT_EQ(vertices(studio.undone), s.undone);
        EXPECT_NE(said.find(s.said), std::string::npos) << said;
    }
}

TEST(StudioTakes, ThePreviewPlaysWhatKelvaroMergeWrites) {
    TempFolder folder;
    WorkingDirectory here(folder.path());
    const ShowSize show = thirtyVertexShow();
    // Rows the show can't play, in the script and in a take, and takes over takes.
    const std::string printed = drag(3, 4, 0.01, 1, 5, 1) + drag(3.5, 5, 0.01, 2, 6, 2) +
                                drag(8, 9, 0.01, 1, 99, 3) + drag(3.2, 3.6, 0.01, 1, 7, 4);
    writeTextFile("anim.txt", script({1, 2, 3.3, 4, 7, 8.5, 10}) + row(6, 1, 40, 0));
    writeTextFile("rows.txt", printed);

    // The studio cuts the printed rows into the takes the merge finds in them.
    StudioTakes studio{};
    RowFile rows;
    std::string error;
    ASSERT_TRUE(readRowFile("rows.txt", rows, error));
    for (const RowLine& line : rows.rows) takeRow(studio, line.text);
    ASSERT_EQ(studio.takes.size(), 4u);
    std::vector<Keyframe> preview;
    testing::internal::CaptureStderr();
    const int32_t count = mergeForPreview(studio, "anim.txt", show, preview);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("replaces take 2"), std::string::npos) << said;

    MergeOptions options;
    options.script = "anim.txt";
    options.takeFiles = {"rows.txt"};
    options.output = "merged.txt";
    options.showFolder = ".";
    testing::internal::CaptureStderr();
    ASSERT_EQ(runMerge(options), 0);
    testing::internal::GetCapturedStderr();
    RowFile merged;
    ASSERT_TRUE(readRowFile("merged.txt", merged, error));
    ASSERT_EQ(size_t(count), merged.rows.size());
    for (size_t i = 0; i < merged.rows.size(); ++i) {
        const Keyframe& a = preview[i];
        const Keyframe& b = merged.rows[i].row;
        EXPECT_TRUE(a.time == b.time && a.scene == b.scene && a.vertex == b.vertex && a.x == b.x &&
                    a.y == b.y && a.z == b.z)
            << "row " << i << ": " << merged.rows[i].text;
    }
}

TEST(StudioTakes, KeepWritesTheScriptInOneStepAndAFailedWriteKeepsTheTakes) {
    const std::string before = script({1, 5});
    const struct {
        const char* name;
        bool script;           // anim.txt is there
        const char* inTheWay;  // a folder of that name
        bool kept;
        std::string said;
    } cases[] = {
        {"in place, the previous script kept", true, nullptr, true,
         "1 take (3 rows) kept in anim.txt, which holds 5 rows; the previous script is anim.txt~"},
        {"a new script", false, nullptr, true, "it is a new script"},
        {"the backup can't be written", true, "anim.txt~", false, "the 1 take stay, not kept"},
        {"the script can't be read", false, "anim.txt", false, "can't read anim.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        WorkingDirectory here(folder.path());
        const ShowSize show = thirtyVertexShow();
        if (c.script) writeTextFile("anim.txt", before);
        if (c.inTheWay != nullptr) makeFolder(c.inTheWay);
        StudioTakes studio{};
        record(studio, 3);
        const std::string take = studio.takes[0].rows[0].text + "\n" +
                                 studio.takes[0].rows[1].text + "\n" +
                                 studio.takes[0].rows[2].text + "\n";
        testing::internal::CaptureStderr();
        EXPECT_EQ(keepTakes(studio, "anim.txt", show), c.kept);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(studio.takes.size(), c.kept ? 0u : 1u);
        if (c.inTheWay != nullptr && std::string(c.inTheWay) == "anim.txt") continue;
        EXPECT_EQ(readTextFile("anim.txt"), !c.kept ? before : c.script ? before + take : take);
        EXPECT_EQ(readTextFile("anim.txt~"), c.kept && c.script ? before : "");
    }
}

TEST(StudioTakes, KeepOnAFullDiskKeepsTheTakesAndTheOldScript) {
    TempFolder folder;
    WorkingDirectory here(folder.path());
    const ShowSize show = thirtyVertexShow();
    StudioTakes studio{};
    for (int i = 0; i < 1000; ++i) {
        ASSERT_TRUE(takeRow(studio, formatKeyframeRow(10.0 + 0.01 * i, 1, 3, i, 0.0, 0.0)));
    }
    SmallDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << "no right to mount a small file system";
    const std::string before = script({1, 5});
    writeTextFile(disk.file("anim.txt"), before);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(keepTakes(studio, disk.file("anim.txt").c_str(), show));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("No space left on device"), std::string::npos) << said;
    EXPECT_EQ(studio.takes.size(), 1u);
    EXPECT_EQ(readTextFile(disk.file("anim.txt")), before);
    EXPECT_EQ(namesIn(disk.path()), (std::set<std::string>{"anim.txt", "anim.txt~"}));
}
