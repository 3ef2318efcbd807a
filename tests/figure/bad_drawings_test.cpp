// Drawings that give no figure, and folders that can't take one: each gets a message that
// says what is wrong, and nothing is written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

#include "drawings.h"
#include "figure/make_figure.h"
#include "figure/slot_folder.h"
#include "show_folder.h"
#include "small_disk.h"

namespace {

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// A PNG signature and a header chunk that claims a size, and nothing more.
std::string pngHeader(uint32_t width, uint32_t height) {
    std::string bytes("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8) bytes += char((v >> shift) & 0xff);
    bytes += std::string("\x08\x06\0\0\0", 5);
    return bytes;
}

}  // namespace

TEST(BadDrawings, EachIsRefusedWithAClearMessage) {
    TempFolder folder;
    writeTextFile(folder.file("notes.png"), "these are words, not pixels\n");
    writeTextFile(folder.file("huge.png"), pngHeader(9000, 20));
    saveDrawing(folder.file("clear.png"),
                paintDrawing(50, 50, [](double, double) { return false; }));
    saveDrawing(folder.file("pixel.png"), paintDrawing(1, 1, [](double, double) { return true; }));
    // Opaque, and the corners each a different colour.
    TestDrawing corners = paintDrawing(60, 60, discShape(30, 30, 20), true, 0xffffff);
    corners.rgba[0] = 0;
    saveDrawing(folder.file("corners.png"), corners);
    // A field of specks: a background that was never taken out.
    saveDrawing(folder.file("specks.png"), paintDrawing(200, 200, [](double x, double y) {
                    return std::fmod(x, 8.0) < 3.0 && std::fmod(y, 8.0) < 3.0;
                }));
    const struct {
        const char* file;
        const char* message;  // a part of it
    } cases[] = {
        {"missing.png", "can't open"},
        {"notes.png", "is not a picture"},
        {"huge.png", "at most 8192 pixels a side"},
        {"clear.png", "no pixel of the picture belongs to the figure"},
        {"pixel.png", "too small"},
        {"corners.png", "--key"},
        {"specks.png", "breaks into 625 islands"},
    };
    for (const auto& c : cases) {
        FigureRequest request;
        request.picture = folder.file(c.file);
        request.bones = 8;
        FigureResult result;
        std::string error;
        EXPECT_FALSE(makeFigure(request, result, error)) << c.file;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.file << ": " << error;
    }
}

// A disc of one bone, made from a drawing of its own.
FigureResult discFigure() {
    TempFolder folder;
    saveDrawing(folder.file("disc.png"), paintDrawing(200, 200, discShape(100, 100, 80)));
    FigureRequest request;
    request.picture = folder.file("disc.png");
    request.bones = 1;
    FigureResult figure;
    std::string error;
    EXPECT_TRUE(makeFigure(request, figure, error)) << error;
    return figure;
}

TEST(BadDrawings, AFolderThatCantBeWrittenOrAlreadyHoldsAFigureIsLeftAsItWas) {
    TempFolder folder;
    const FigureResult figure = discFigure();
    std::string error;

    // Under a file, no folder can be made.
    writeTextFile(folder.file("plain"), "a file\n");
    EXPECT_FALSE(writeSlotFolder({folder.file("plain/pilou"), "", false}, figure, error));
    EXPECT_NE(error.find("can't write"), std::string::npos) << error;

    makeFolder(folder.file("pilou"));
    writeTextFile(folder.file("pilou/mesh.obj"), "v 1 2 0\n");
    EXPECT_FALSE(writeSlotFolder({folder.file("pilou"), "", false}, figure, error));
    EXPECT_NE(error.find("--replace"), std::string::npos) << error;
    EXPECT_EQ(readTextFile(folder.file("pilou/mesh.obj")), "v 1 2 0\n");

    // With --replace the old files are kept beside it.
    ASSERT_TRUE(writeSlotFolder({folder.file("pilou"), "", true}, figure, error)) << error;
    EXPECT_EQ(readTextFile(folder.file("pilou~/mesh.obj")), "v 1 2 0\n");
    EXPECT_TRUE(exists(folder.file("pilou/bone_00.png")));
    EXPECT_FALSE(exists(folder.file("pilou/bone_01.png")));
}

TEST(BadDrawings, AFullDiskLeavesTheOldFolderAndSaysSo) {
    const FigureResult figure = discFigure();
    std::string error;
    SmallDisk disk("64k");
    if (!disk.mounted()) GTEST_SKIP() << "no right to mount a small file system";
    makeFolder(disk.file("pilou"));
    writeTextFile(disk.file("pilou/mesh.obj"), "v 1 2 0\n");
    EXPECT_FALSE(writeSlotFolder({disk.file("pilou"), "", true}, figure, error));
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    EXPECT_EQ(namesIn(disk.path()), std::set<std::string>{"pilou"});
    EXPECT_EQ(namesIn(disk.file("pilou")), std::set<std::string>{"mesh.obj"});
}
