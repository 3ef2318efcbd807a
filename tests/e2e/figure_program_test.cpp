// The figure program as an author runs it: its help, a drawing made into a slot folder, and
// command lines and drawings it refuses without writing anything.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "drawings.h"
#include "show_folder.h"

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

TEST(FigureProgram, HelpAFigureInTheShowAndRefusals) {
    TempFolder show;
    writeShowFolder(show.path(), "");
    saveDrawing(show.file("stick.png"), paintDrawing(300, 300, stickFigure(300, 6)));
    writeTextFile(show.file("words.png"), "not a picture\n");
    const std::string program = KELVARO_FIGURE_BIN;
    const struct {
        std::string arguments;
        int exit;
        std::string err;  // a part of it
    } cases[] = {
        {"--help", 0, ""},
        {"stick.png kiv", 1, "kiv already holds a figure: add --replace"},
        {"--replace --preview look.png stick.png kiv", 0, "the mesh covers every pixel"},
        {"words.png mine", 2, "--bones"},
        {"--bones 2 words.png mine", 1, "not a picture"},
        {"--bones 2 --background words.png stick.png mine", 1, "not a picture"},
    };
    for (const auto& c : cases) {
        const CommandResult r = runCommand(show.path(), program + " " + c.arguments, 60);
        EXPECT_EQ(r.exitCode, c.exit) << c.arguments << "\n" << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.arguments << "\n" << r.err;
        // Only the help goes to stdout.
        if (c.arguments == "--help")
            EXPECT_EQ(r.out.rfind("Usage: kelvaro-figure", 0), 0u) << r.out;
        else
            EXPECT_EQ(r.out, "") << c.arguments;
    }
    EXPECT_TRUE(exists(show.file("kiv/bone_07.png")));
    EXPECT_TRUE(exists(show.file("kiv~/tex.png")));
    EXPECT_TRUE(exists(show.file("look.png")));
    EXPECT_FALSE(exists(show.file("mine")));
}
