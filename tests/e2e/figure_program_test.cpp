// The figure program as an author runs it: its help, a drawing made into a slot folder, and
// command lines and drawings it refuses without writing anything.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "drawings.h"
#include "scene/scene_loader.h"
#include "script_rows.h"
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

TEST(FigureProgram, ANewFigureStartsItsSlotsRowsAfresh) {
    const std::string tiny = "v 20 20 0\nv 40 20 0\nv 40 40 0\nf 1 2 3\n";
    // Slot 1 in two runs, 20-20.5 s and 22 s, the last row past any new mesh.
    const std::string old =
        row(20, 1, 0, 1) + row(20.5, 1, 5, 2) + row(21, 2, 0, 3) + row(22, 1, 99999, 4);
    const std::string program = KELVARO_FIGURE_BIN;
    const struct {
        const char* name;
        std::string arguments;
        std::string script;    // empty: none
        std::string inTheWay;  // a folder made under this name
        int exit;
        bool replaced;
        std::string err;  // a part of it; empty: stderr names no script
    } cases[] = {
        {"replaced", "--replace stick.png kiv", old, "", 0, true,
         "kelvaro-figure: anim.txt: the 3 rows of slot 1 (kiv), 20.00-22.00 s, were for the old "
         "figure: replaced by the new figure at rest; the old script is anim.txt~\n"},
        {"kept", "--replace --keep-rows stick.png kiv", old, "", 0, false,
         "anim.txt: the 3 rows of slot 1 (kiv), 20.00-22.00 s, are kept as they were "
         "(--keep-rows): they name vertices of the old mesh, which the new one numbers anew, so "
         "they will drag other points; 1 of them name a vertex past the new "},
        {"no rows for the slot", "--replace stick.png kiv", row(21, 2, 0, 3), "", 0, false, ""},
        {"no script", "--replace stick.png kiv", "", "", 0, false, ""},
        {"no slot of the show", "--bones 2 stick.png mine", old, "", 0, false, ""},
        {"the script can't be written", "--replace stick.png kiv", old, "anim.txt~", 1, false,
         "the old figure is back in kiv, so that figure and script agree"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder show;
        writeShowFolder(show.path(), tiny);
        saveDrawing(show.file("stick.png"), paintDrawing(300, 300, stickFigure(300, 6)));
        if (!c.script.empty()) writeTextFile(show.file("anim.txt"), c.script);
        if (!c.inTheWay.empty()) makeFolder(show.file(c.inTheWay));
        const CommandResult r = runCommand(show.path(), program + " " + c.arguments, 60);
        EXPECT_EQ(r.exitCode, c.exit) << r.err;
        EXPECT_EQ(r.err.find(c.err.empty() ? "anim.txt" : c.err) != std::string::npos,
                  !c.err.empty())
            << r.err;
        // The figure and the script agree: both new, or both as they were.
        const std::string folder = c.arguments.substr(c.arguments.rfind(' ') + 1);
        EXPECT_EQ(readTextFile(show.file(folder + "/mesh.obj")) == tiny, c.exit != 0);
        if (!c.replaced) {
            EXPECT_EQ(readTextFile(show.file("anim.txt")), c.script);
            EXPECT_EQ(exists(show.file("anim.txt~")), !c.inTheWay.empty());
            continue;
        }
        EXPECT_EQ(readTextFile(show.file("anim.txt~")), c.script);
        // The other slot's row stays; each run of the slot keeps its ends, at rest as the show
        // loads the new mesh.
        const std::vector<std::string> lines = linesOf(readTextFile(show.file("anim.txt")));
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(lines[2] + "\n", row(21, 2, 0, 3));
        auto scene = std::make_unique<Scene>();
        ScenePictures pictures;
        int32_t textures = 0;
        readScene(*scene, pictures, show.file("kiv").c_str(), 8, false, textures);
        const float times[] = {20.0f, 20.5f, 21.0f, 22.0f};
        for (size_t i : {0u, 1u, 3u}) {
            PrintedRow rest{};
            ASSERT_TRUE(parsePrintedRow(lines[i], rest)) << lines[i];
            EXPECT_EQ(rest.time, times[i]);
            EXPECT_EQ(rest.slot, 1);
            ASSERT_GE(rest.vertex, 0);
            ASSERT_LT(size_t(rest.vertex), scene->mesh.vertices.size());
            const Vec3f& at = scene->mesh.vertices[size_t(rest.vertex)].restPos;
            EXPECT_EQ(rest.x, at.x);
            EXPECT_EQ(rest.y, at.y);
            EXPECT_EQ(rest.z, at.z);
        }
    }
}
