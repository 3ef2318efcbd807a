// Pictures that aren't PNG files. The decoder would take some of them for pictures of another
// format: a few bytes that read as the header of a run-length TGA of 30000 x 12000 pixels made
// it fill 1.4 GB for seconds, and the show used the result as its texture.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "scene/image.h"
#include "scene/scene_loader.h"
#include "show_folder.h"

namespace {

// An 18-byte TGA header (no colour map, the given image type, width, height and bits per
// pixel) followed by `rest`.
std::string tga(uint8_t type, uint16_t width, uint16_t height, uint8_t bits,
                const std::string& rest) {
    std::string bytes(18, '\0');
    bytes[2] = char(type);
    bytes[12] = char(width & 0xff);
    bytes[13] = char(width >> 8);
    bytes[14] = char(height & 0xff);
    bytes[15] = char(height >> 8);
    bytes[16] = char(bits);
    return bytes + rest;
}

// The most address space the process has held so far (kB), which a reservation raises even
// when the decoder never touches the memory.
long peakVirtualKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = -1;
    while (status >> key) {
        if (key == "VmPeak:") {
            status >> value;
            break;
        }
        status.ignore(1 << 16, '\n');
    }
    return value;
}

}  // namespace

TEST(ImageBadFiles, OnlyPngFilesAreDecoded) {
    TempFolder folder;
    writeTextFile(folder.file("huge.png"), tga(10, 30000, 12000, 32, "not a picture"));
    EXPECT_FALSE(loadImage(folder.file("huge.png").c_str(), 3));
    EXPECT_FALSE(loadImage(folder.file("huge.png").c_str(), 1));

    // Even a well-formed picture of another format is not taken for a PNG.
    writeTextFile(folder.file("small.png"),
                  tga(2, 2, 1, 24, std::string("\x0a\x14\x1e\x28\x32\x3c")));
    EXPECT_FALSE(loadImage(folder.file("small.png").c_str(), 3));

    // A PNG cut after its signature is still no picture.
    writePng(folder.file("good.png"), 2, 2, 3, std::vector<unsigned char>(12, 77));
    const std::string good = readTextFile(folder.file("good.png"));
    writeTextFile(folder.file("cut.png"), good.substr(0, 8));
    EXPECT_FALSE(loadImage(folder.file("cut.png").c_str(), 3));
    ImagePtr decoded(loadImage(folder.file("good.png").c_str(), 3));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 2);
    EXPECT_EQ(decoded->pixels[11], 77);
}

TEST(ImageBadFiles, TheLoaderNamesATextureThatIsNoPngAndUsesItsStandIns) {
    TempFolder folder;
    const std::string dir = folder.file("slot");
    makeFolder(dir);
    writePng(dir + "/bkg.png", 4, 4, 3, std::vector<unsigned char>(48, 60));
    writeTextFile(dir + "/tex.png", tga(10, 30000, 12000, 32, "not a picture"));
    writeTextFile(dir + "/mesh.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");

    Scene scene{};
    ScenePictures pictures;
    int32_t textures = 0;
    testing::internal::CaptureStderr();
    readScene(scene, pictures, dir.c_str(), 2, false, textures);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(dir + "/tex.png"), std::string::npos) << err;
    EXPECT_EQ(scene.texWidth, 1);
    EXPECT_EQ(scene.texHeight, 1);
    // The missing masks stand in at the texture's size, not at the size the file claimed.
    ASSERT_EQ(scene.boneMasks.size(), 2u);
    ASSERT_TRUE(scene.boneMasks[1]);
    EXPECT_EQ(scene.boneMasks[1]->width, 1);
    EXPECT_EQ(scene.boneMasks[1]->height, 1);
}

// A PNG cut short inside a chunk that claims 1.25 GB: the decoder would reserve room for the
// whole chunk (2 GB after its doubling) before finding that the file ends. Such a file is
// refused before it is decoded. A file that lacks only the checksum of its end marker holds
// every pixel, and still decodes.
TEST(ImageBadFiles, AChunkLongerThanTheRestOfTheFileIsRefusedBeforeDecoding) {
    TempFolder folder;
    writePng(folder.file("good.png"), 8, 8, 1, std::vector<unsigned char>(64, 200));
    const std::string good = readTextFile(folder.file("good.png"));
    const size_t iend = good.size() - 12;
    ASSERT_EQ(good.substr(iend + 4, 4), "IEND");
    const std::string hugeChunk = std::string("\x50\x00\x00\x10IDAT", 8) + std::string(24, 'x');
    writeTextFile(folder.file("claims.png"), good.substr(0, iend) + hugeChunk + good.substr(iend));

    const long before = peakVirtualKiB();
    ASSERT_GT(before, 0);
    EXPECT_FALSE(loadImage(folder.file("claims.png").c_str(), 1));
    EXPECT_LT(peakVirtualKiB() - before, 256L * 1024) << "the decoder reserved the claimed size";

    writeTextFile(folder.file("short.png"), good.substr(0, good.size() - 4));
    for (const char* name : {"good.png", "short.png"}) {
        ImagePtr decoded(loadImage(folder.file(name).c_str(), 1));
        ASSERT_TRUE(decoded) << name;
        EXPECT_EQ(decoded->pixels[63], 200) << name;
    }
}
