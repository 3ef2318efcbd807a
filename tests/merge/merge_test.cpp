#include "merge/merge.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "script_rows.h"
#include "show_folder.h"
#include "small_disk.h"

namespace {

const std::string fiveRows = script({1, 2, 3, 4, 5});

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* entry = dir != nullptr ? readdir(dir) : nullptr) {
        if (entry->d_name[0] != '.' || std::string(entry->d_name).size() > 2) {
            names.push_back(entry->d_name);
        }
    }
    if (dir != nullptr) closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Merge, TakesReplaceTheScriptOnlyWhereTheyWereRecorded) {
    const std::string bigTake = drag(10, 26.384, 0.001, 2, 1, 9);  // 16385 rows
    const std::string camera =
        "fov=15.000000; dx=1.000000; dy=2.000000; dz=3.000000; ox=20.000000; oy=20.000000; "
        "oz=20.000000; ra=-44.000000; rb=-58.000000;\n";
    // Options: "show" checks against a show whose meshes have 3 vertices, "new" allows a
    // missing script, "rate" keeps one row a second, "absent" adds a missing take file.
    const struct {
        const char* name;
        std::optional<std::string> script;  // none: no file; empty: a folder
        std::vector<std::string> takes;
        std::string options;
        int exit;
        std::string result;  // the script afterwards
        std::vector<std::string> said;
    } cases[] = {
        // clang-format off
        {"inside, bounds inclusive", fiveRows, {drag(2, 3, 0.1, 1, 3, 9)}, "", 0,
         script({1}) + drag(2, 3, 0.1, 1, 3, 9) + script({4, 5}), {"1 takes (11 rows)"}},
        {"at the start", fiveRows, {drag(0.5, 1, 0.25, 1, 3, 9)}, "", 0,
         drag(0.5, 1, 0.25, 1, 3, 9) + script({2, 3, 4, 5}), {}},
        {"at the end", fiveRows, {drag(4.9, 5.2, 0.1, 1, 3, 9)}, "", 0,
         script({1, 2, 3, 4}) + drag(4.9, 5.2, 0.1, 1, 3, 9), {}},
        // A jump of more than a quarter second ends a drag: rows 2 and 3 stay.
        {"two takes", fiveRows,
         {row(1.5, 1, 3, 9) + row(1.6, 1, 3, 9) + row(3.9, 1, 3, 8) + row(4.1, 1, 3, 8)}, "", 0,
         script({1}) + row(1.5, 1, 3, 9) + row(1.6, 1, 3, 9) + script({2, 3}) +
             row(3.9, 1, 3, 8) + row(4.1, 1, 3, 8) + script({5}),
         {"2 takes (4 rows)"}},
        // Thinning keeps the first and last row of each take, so the slot change shows.
        {"slot change, thinned", fiveRows,
         {drag(2, 2.2, 0.1, 1, 3, 9) + drag(2.3, 2.5, 0.1, 2, 3, 8)}, "rate", 0,
         script({1}) + row(2, 1, 3, 9) + row(2.2, 1, 3, 9) + row(2.3, 2, 3, 8) +
             row(2.5, 2, 3, 8) + script({3, 4, 5}),
         {"2 takes (4 rows)"}},
        // The script's own text stays; equal times keep their order; going back in time ends
        // a take.
        {"unsorted", "  3e0 1 0 7 0 0\n1 1 0 0 0 0\n3 1 0 6 0 0\n",
         {row(4, 1, 3, 9) + row(2, 1, 3, 9)}, "", 0,
         "1 1 0 0 0 0\n" + row(2, 1, 3, 9) + "  3e0 1 0 7 0 0\n3 1 0 6 0 0\n" + row(4, 1, 3, 9),
         {"2 takes"}},
        {"camera lines", fiveRows,
         {camera + row(2.5, 1, 3, 9) + "fov=16.000000;\n\nnot a row\n"}, "", 0,
         script({1, 2}) + row(2.5, 1, 3, 9) + script({3, 4, 5}),
         {"skipped 2 camera lines", "skipped 2 lines that are not rows"}},
        {"no final line feeds", "1 1 0 0 0 0\r\n2 1 0 0 0 0", {"3 1 3 9 0 0"}, "", 0,
         "1 1 0 0 0 0\n2 1 0 0 0 0\n3 1 3 9 0 0\n", {}},
        {"missing vertices", fiveRows,
         {row(6, 1, 3, 9) + row(7, 0, 0, 9) + row(8, 7, 0, 9) + row(9, 2, 1, 9)}, "show", 0,
         fiveRows + row(9, 2, 1, 9),
         {"dropped 1 rows naming a slot outside 0 to 5",
          "dropped 1 rows naming a vertex outside 0 to 2 of slot 1 (kiv)",
          "dropped 1 rows naming slot 0 (quimet), which has no mesh"}},
        // A take gives up its span only for rows that are kept.
        {"a take the show can't play replaces nothing", fiveRows, {drag(2, 3, 0.1, 1, 3, 9)},
         "show", 0, fiveRows, {"dropped 11 rows naming a vertex outside 0 to 2 of slot 1 (kiv)"}},
        {"a take of another vertex replaces the one before", fiveRows,
         {drag(2, 3, 0.1, 1, 1, 9) + drag(2.5, 3.5, 0.1, 1, 2, 8)}, "", 0,
         script({1}) + drag(2, 2.4, 0.1, 1, 1, 9) + drag(2.5, 3.5, 0.1, 1, 2, 8) + script({4, 5}),
         {"take 2 (slot 1, vertex 2, 2.50-3.50 s) replaces take 1 (slot 1, vertex 1, 2.00-3.00 s): "
          "6 of its 11 rows"}},
        {"past the table", std::nullopt, {bigTake}, "new", 0, bigTake, {"16385 rows", "--rate"}},
        {"no script", std::nullopt, {row(1, 1, 1, 9)}, "", 1, "", {"can't open", "--new"}},
        {"script is a folder", "", {row(1, 1, 1, 9)}, "", 1, "", {"can't read", std::strerror(EISDIR)}},
        {"take missing", fiveRows, {row(1, 1, 1, 9)}, "absent", 1, fiveRows,
         {"can't open absent.txt"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        WorkingDirectory inFolder(folder.path());
        MergeOptions options;
        options.script = "anim.txt";
        if (c.options == "show") {
            makeFolder("show");
            writeShowFolder("show", "v 0 0 0\nv 1 0 0\nv 0 1 0\n");
            options.showFolder = "show";
        }
        options.newScript = c.options == "new";
        options.rowsPerSecond = c.options == "rate" ? 1.0 : 0.0;
        if (c.options == "absent") options.takeFiles.push_back("absent.txt");
        if (c.script && c.script->empty()) {
            makeFolder("anim.txt");
        } else if (c.script) {
            writeTextFile("anim.txt", *c.script);
        }
        for (size_t i = 0; i < c.takes.size(); ++i) {
            const std::string name = "take" + std::to_string(i) + ".txt";
            writeTextFile(name, c.takes[i]);
            options.takeFiles.push_back(name);
        }
        testing::internal::CaptureStderr();
        const int exit = runMerge(options);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(exit, c.exit) << err;
        for (const std::string& part : c.said) {
            EXPECT_NE(err.find(part), std::string::npos) << part << "\n" << err;
        }
        if (c.script && c.script->empty()) continue;
        EXPECT_EQ(readTextFile("anim.txt"), c.result);
        // The previous script is kept beside the new one, byte for byte.
        const bool replaced = c.exit == 0 && c.script.has_value();
        EXPECT_EQ(readTextFile("anim.txt~"), replaced ? *c.script : "");
    }
}

TEST(Merge, AFailedWriteLeavesTheOldScriptAndNoTemporaryFile) {
    // Both fail for root too: a file can't be renamed over a folder.
    for (const char* folderInTheWay : {"anim.txt~", "out.txt"}) {
        SCOPED_TRACE(folderInTheWay);
        TempFolder folder;
        WorkingDirectory inFolder(folder.path());
        writeTextFile("anim.txt", fiveRows);
        writeTextFile("take.txt", row(2, 1, 3, 9));
        makeFolder(folderInTheWay);
        MergeOptions options;
        options.script = "anim.txt";
        options.takeFiles = {"take.txt"};
        if (std::string(folderInTheWay) == "out.txt") options.output = "out.txt";
        testing::internal::CaptureStderr();
        EXPECT_EQ(runMerge(options), 1);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(folderInTheWay), std::string::npos) << err;
        EXPECT_EQ(readTextFile("anim.txt"), fiveRows);
        std::vector<std::string> expected{"anim.txt", folderInTheWay, "take.txt"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(filesIn("."), expected);
    }
}

TEST(Merge, AFullDiskLeavesTheOldScriptAndSaysSo) {
    TempFolder elsewhere;
    std::string take;
    for (int i = 0; i < 1000; ++i) take += row(2.0 + 0.001 * i, 1, 3, i);
    writeTextFile(elsewhere.file("take.txt"), take);
    SmallDisk disk;
    if (!disk.mounted()) GTEST_SKIP() << "no right to mount a small file system";
    WorkingDirectory inDisk(disk.path());
    writeTextFile("anim.txt", fiveRows);
    MergeOptions options;
    options.script = "anim.txt";
    options.takeFiles = {elsewhere.file("take.txt")};
    testing::internal::CaptureStderr();
    EXPECT_EQ(runMerge(options), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("No space left on device"), std::string::npos) << err;
    EXPECT_EQ(readTextFile("anim.txt"), fiveRows);
    // The copy of the old script was written before the disk filled up.
    EXPECT_EQ(filesIn("."), (std::vector<std::string>{"anim.txt", "anim.txt~"}));
}

}  // namespace
