// The real programs, run as a user runs them, in a show folder.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "show_folder.h"

namespace {

const char* const smallMesh = "v 20 20 0\nv 40 20 0\nv 40 40 0\nv 20 40 0\nf 1 2 3\nf 1 3 4\n";

const char* const fiveRows =
    "20.500000 1 0 20.000000 20.000000 0.000000\n"
    "21.000000 1 0 22.000000 20.000000 0.000000\n"
    "21.500000 1 0 24.000000 20.000000 0.000000\n"
    "22.000000 1 0 26.000000 20.000000 0.000000\n"
    "22.500000 1 0 28.000000 20.000000 0.000000\n";

// A show folder with the five rows and, unless told otherwise, three seconds of music.
void writeShow(const TempFolder& folder, bool music = true) {
    writeShowFolder(folder.path(), smallMesh);
    writeTextFile(folder.file("anim.txt"), fiveRows);
    if (music) writeToneMp3(folder.file("tavel.mp3"), 3.0);
}

}  // namespace

TEST(ShowEndToEnd, TheShowPrintsItsRowCountPlaysToTheEndAndExitsWithZero) {
    TempFolder folder;
    writeShow(folder);

    const CommandResult run = runCommand(folder.path(), KELVARO_BIN, 150);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "5\n");
}

TEST(ShowEndToEnd, TheAuthoringToolPrintsNoCountLineAndQuitsCleanly) {
    TempFolder folder;
    writeShow(folder);

    // SIGINT after a few seconds becomes the quit message.
    const CommandResult run = runCommand(folder.path(), KELVARO_AUTHOR_BIN, 3);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST(ShowEndToEnd, AFailedStartUpIsNeverReportedAsSuccess) {
    TempFolder folder;
    writeShow(folder, false);  // no music file
    const CommandResult run = runCommand(folder.path(), KELVARO_BIN, 60);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Can't play tavel.mp3!"), std::string::npos) << run.err;
}

TEST(ShowEndToEnd, AShowsOwnTimelineSetsItsLengthAndABadOneEndsTheRunBeforeItStarts) {
    const char* const badLine =
        "timeline.txt:1: the last section (78.5 s, built in) must start before the end (30 s, "
        "line 1)";
    const struct {
        const char* program;
        const char* timeline;
        int exitCode;
        const char* out;
        const char* err;  // a line stderr holds
    } cases[] = {
        {KELVARO_BIN, "fade 0 1\nsections 1 2 3 4\nend 5\n", 0, "5\n", ""},
        {KELVARO_BIN, "end 30\n", 1, "", badLine},
        {KELVARO_AUTHOR_BIN, "end 30\n", 1, "", badLine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " with " + c.timeline);
        TempFolder folder;
        writeShow(folder);
        writeTextFile(folder.file("timeline.txt"), c.timeline);
        const auto started = std::chrono::steady_clock::now();
        const CommandResult run = runCommand(folder.path(), c.program, 60);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.out, c.out);
        if (c.exitCode == 0) {
            // The closing picture at 5 s, held for two: not the built-in 89 s.
            EXPECT_GT(seconds, 6.5);
            EXPECT_LT(seconds, 30.0);
            continue;
        }
        EXPECT_NE(run.err.find(std::string("Error: ") + c.err), std::string::npos) << run.err;
    }
}
