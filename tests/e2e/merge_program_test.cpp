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

}  // namespace
