// The merge program as a user runs it: its help, its complaints and its output.
#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "script_rows.h"
#include "show_folder.h"

namespace {

const std::string fiveRows = script({1, 2, 3, 4, 5});

TEST(MergeProgram, HelpBadOptionsAndTheScriptOnStandardOutput) {
    TempFolder folder;
    writeTextFile(folder.file("anim.txt"), fiveRows);
    writeTextFile(folder.file("take.txt"), row(2, 1, 3, 9));
    const std::string program = KELVARO_MERGE_BIN;
    const struct {
        std::string arguments;
        int exit;
        std::string out;
        std::string err;  // a part of it
    } cases[] = {
        {"--help", 0, "Usage: kelvaro-merge [OPTION]... SCRIPT TAKE...\n", ""},
        {"--bogus anim.txt take.txt", 2, "", "unknown option --bogus"},
        {"--rate 0 anim.txt take.txt", 2, "", "--rate wants a positive number"},
        {"anim.txt", 2, "", "at least one take"},
        {"-o - anim.txt take.txt", 0, script({1}) + row(2, 1, 3, 9) + script({3, 4, 5}), ""},
    };
    for (const auto& c : cases) {
        const CommandResult result = runCommand(folder.path(), program + " " + c.arguments, 30);
        EXPECT_EQ(result.exitCode, c.exit) << c.arguments << "\n" << result.err;
        // Only the help is checked by its start; a failure prints nothing on stdout.
        const bool help = c.arguments == "--help";
        EXPECT_EQ(help ? result.out.substr(0, c.out.size()) : result.out, c.out) << c.arguments;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << c.arguments << "\n" << result.err;
    }
    EXPECT_EQ(readTextFile(folder.file("anim.txt")), fiveRows);
}

TEST(MergeProgram, ClearPutsASlotsFigureAtRestOverItsRows) {
    TempFolder folder;
    // The rest pin of this mesh is vertex 2 at (3, 0, 0), its rest rows row(t, 1, 2, 3).
    makeFolder(folder.file("show"));
    writeShowFolder(folder.file("show"), "v 0 0 0\nv 6 0 0\nv 3 0 0\nv 3 1 0\nv 3 -1 0\n");
    makeFolder(folder.file("bare"));
    writeShowFolder(folder.file("bare"), "");
    const std::string old =
        row(1, 1, 0, 0) + row(2, 1, 1, 0) + row(3, 2, 0, 7) + row(4, 1, 0, 0) + row(5, 1, 1, 0);
    const std::string take = row(1.5, 1, 3, 9) + row(1.6, 1, 3, 9);
    const std::string cleared =
        "anim.txt: the 4 rows of slot 1 (kiv), 1.00-5.00 s, were cleared: "
        "the figure at rest over their span; the old script is anim.txt~";
    const std::string program = KELVARO_MERGE_BIN;
    const struct {
        std::string arguments;
        int exit;
        std::string result;  // the script afterwards
        bool kept;           // anim.txt~ holds the old script
        std::string err;     // a part of it
    } cases[] = {
        {"--show show --clear 1 anim.txt", 0,
         row(1, 1, 2, 3) + row(2, 1, 2, 3) + row(3, 2, 0, 7) + row(4, 1, 2, 3) + row(5, 1, 2, 3),
         true, cleared},
        {"-s show -c kiv anim.txt take.txt", 0,
         row(1, 1, 2, 3) + take + row(2, 1, 2, 3) + row(3, 2, 0, 7) + row(4, 1, 2, 3) +
             row(5, 1, 2, 3),
         true, cleared},
        {"--show show --clear doranek anim.txt", 0, old, false,
         "anim.txt has no rows of slot 3 (doranek) to clear; it is left as it was"},
        {"--show show --clear 3 anim.txt take.txt", 0,
         row(1, 1, 0, 0) + take + row(2, 1, 1, 0) + row(3, 2, 0, 7) + row(4, 1, 0, 0) +
             row(5, 1, 1, 0),
         true, "1 takes (2 rows) merged"},
        {"--clear 1 anim.txt", 2, old, false, "--clear needs --show"},
        {"--show show --clear 0 anim.txt", 2, old, false, "--clear wants a figure slot"},
        {"--show show --clear logo anim.txt", 2, old, false, "--clear wants a figure slot"},
        {"--show show --clear 1", 2, old, false, "a script is needed"},
        {"--show bare --clear 1 anim.txt", 1, old, false,
         "can't clear slot 1 (kiv): bare/kiv/mesh.obj holds no vertex"},
        {"--help", 0, old, false, ""},
    };
    for (const auto& c : cases) {
        writeTextFile(folder.file("anim.txt"), old);
        writeTextFile(folder.file("take.txt"), take);
        std::remove(folder.file("anim.txt~").c_str());
        const CommandResult result = runCommand(folder.path(), program + " " + c.arguments, 30);
        EXPECT_EQ(result.exitCode, c.exit) << c.arguments << "\n" << result.err;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << c.arguments << "\n" << result.err;
        EXPECT_EQ(readTextFile(folder.file("anim.txt")), c.result) << c.arguments;
        EXPECT_EQ(readTextFile(folder.file("anim.txt~")), c.kept ? old : "") << c.arguments;
        if (c.arguments == "--help")
            EXPECT_NE(result.out.find("-c, --clear=SLOT"), std::string::npos) << result.out;
        else
            EXPECT_EQ(result.out, "") << c.arguments;
    }
}

}  // namespace
