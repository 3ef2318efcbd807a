#include "driver/load_scene.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "gl_context.h"
#include "render/texture.h"
#include "show_folder.h"

namespace {

// The run's texture index counter, shared by every load of this program.
int32_t textureCounter = 0;

struct Size {
    int width;
    int height;
};

Size textureSize(GLuint name) {
    Size size{0, 0};
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &size.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &size.height);
    return size;
}

std::vector<unsigned char> filled(int width, int height, int channels, unsigned char value) {
    return std::vector<unsigned char>(size_t(width) * size_t(height) * size_t(channels), value);
}

std::string maskName(uint32_t bone) {
    char name[32];
    std::snprintf(name, sizeof name, "bone_%02u.png", bone);
    return name;
}

// A scene folder: a background, and for a mesh scene a texture, `bones` masks covering the
// whole picture and the mesh text.
std::string makeSceneFolder(const TempFolder& root, const std::string& name, uint32_t bones,
                            Size background, Size texture, const std::string& meshText) {
    const std::string dir = root.file(name);
    makeFolder(dir);
    writePng(dir + "/bkg.png", background.width, background.height, 3,
             filled(background.width, background.height, 3, 60));
    if (bones == 0) return dir;
    writePng(dir + "/tex.png", texture.width, texture.height, 3,
             filled(texture.width, texture.height, 3, 200));
    for (uint32_t bone = 0; bone < bones; ++bone)
        writePng(dir + "/" + maskName(bone), texture.width, texture.height, 1,
                 filled(texture.width, texture.height, 1, 255));
    writeTextFile(dir + "/mesh.obj", meshText);
    return dir;
}

const std::string triangle = "v 1 1 0\nv 5 1 0\nv 1 5 0\nf 1 2 3\n";

}  // namespace

TEST(SceneLoaderTextures, IndicesFollowLoadOrderAndNameTheirPictures) {
    ensureGlContext();
    TempFolder root;
    const uint32_t bones[6] = {0, 8, 7, 8, 1, 0};
    // Every picture has a size of its own, so that each texture object shows which it holds.
    const Size backgrounds[6] = {{11, 3}, {13, 5}, {15, 7}, {17, 9}, {19, 2}, {21, 4}};
    const Size textures[6] = {{0, 0}, {5, 6}, {7, 8}, {9, 10}, {3, 1}, {0, 0}};
    Scene scenes[6] = {};
    const int32_t base = textureCounter;
    for (int slot = 0; slot < 6; ++slot) {
        const std::string dir = makeSceneFolder(root, "slot" + std::to_string(slot), bones[slot],
                                                backgrounds[slot], textures[slot], triangle);
        loadScene(scenes[slot], dir.c_str(), bones[slot], false, textureCounter);
    }
    EXPECT_EQ(textureCounter, base + 10);
    EXPECT_EQ(scenes[0].backgroundTexture, base + 0);
    EXPECT_EQ(scenes[1].meshTexture, base + 1);
    EXPECT_EQ(scenes[1].backgroundTexture, base + 2);
    EXPECT_EQ(scenes[2].meshTexture, base + 3);
    EXPECT_EQ(scenes[2].backgroundTexture, base + 4);
    EXPECT_EQ(scenes[3].meshTexture, base + 5);
    EXPECT_EQ(scenes[3].backgroundTexture, base + 6);
    EXPECT_EQ(scenes[4].meshTexture, base + 7);
    EXPECT_EQ(scenes[4].backgroundTexture, base + 8);
    EXPECT_EQ(scenes[5].backgroundTexture, base + 9);

    for (int slot = 0; slot < 6; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(scenes[slot].boneCount, bones[slot]);
        EXPECT_EQ(scenes[slot].boneMasks.size(), size_t(bones[slot]));
        EXPECT_EQ(scenes[slot].boneVertices.size(), size_t(bones[slot]));
        const Size bg = textureSize(GLuint(scenes[slot].backgroundTexture + 1));
        EXPECT_EQ(bg.width, backgrounds[slot].width);
        EXPECT_EQ(bg.height, backgrounds[slot].height);
        if (bones[slot] == 0) continue;
        const Size tex = textureSize(GLuint(scenes[slot].meshTexture + 1));
        EXPECT_EQ(tex.width, textures[slot].width);
        EXPECT_EQ(tex.height, textures[slot].height);
        EXPECT_EQ(scenes[slot].texWidth, textures[slot].width);
        EXPECT_EQ(scenes[slot].texHeight, textures[slot].height);
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST(SceneLoaderTextures, UploadKeepsRowsAndParameters) {
    ensureGlContext();
    // An odd width makes rows of 15 bytes: only a packing of 1 keeps them apart.
    const int width = 5;
    const int height = 3;
    ImagePtr image(createImage(3, width, height));
    ASSERT_TRUE(image);
    for (int i = 0; i < width * height * 3; ++i) image->pixels[i] = (unsigned char)(i * 7 + 1);
    const int32_t index = textureCounter + 100;
    uploadTexture(*image, index, true);

    glBindTexture(GL_TEXTURE_2D, GLuint(index + 1));
    std::vector<unsigned char> back(width * height * 3, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, std::vector<unsigned char>(image->pixels, image->pixels + back.size()));

    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // A mask is no colour picture: it is refused instead of read past its end.
    ImagePtr mask(createImage(1, 2, 2));
    testing::internal::CaptureStderr();
    uploadTexture(*mask, index, true);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(textureSize(GLuint(index + 1)).width, width);
}

TEST(SceneLoaderSlots, BackgroundOnlySlotReadsNothingElse) {
    ensureGlContext();
    TempFolder root;
    const std::string dir = root.file("logo");
    makeFolder(dir);
    writePng(dir + "/bkg.png", 8, 4, 3, filled(8, 4, 3, 30));
    // Anything else in the folder is unreadable: touching it would warn.
    writeTextFile(dir + "/mesh.obj", "f 1 2 3\nv nan\n");
    writeTextFile(dir + "/tex.png", "not a picture");
    writeTextFile(dir + "/bone_00.png", "not a picture");

    Scene scene{};
    const int32_t base = textureCounter;
    testing::internal::CaptureStderr();
    loadScene(scene, dir.c_str(), 0, true, textureCounter);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "");
    EXPECT_EQ(textureCounter, base + 1);
    EXPECT_EQ(scene.backgroundTexture, base);
    EXPECT_EQ(scene.boneCount, 0u);
    EXPECT_TRUE(scene.mesh.vertices.empty());
    EXPECT_TRUE(scene.mesh.faces.empty());
    EXPECT_TRUE(scene.boneMasks.empty());
    EXPECT_TRUE(scene.boneVertices.empty());
    const Size bg = textureSize(GLuint(base + 1));
    EXPECT_EQ(bg.width, 8);
    EXPECT_EQ(bg.height, 4);
}

TEST(SceneLoaderMesh, MembershipIsTakenFromTheRestPixel) {
    ensureGlContext();
    TempFolder root;
    const std::string dir = root.file("kiv");
    makeFolder(dir);
    writePng(dir + "/bkg.png", 2, 2, 3, filled(2, 2, 3, 0));
    writePng(dir + "/tex.png", 32, 32, 3, filled(32, 32, 3, 0));
    std::vector<unsigned char> near = filled(32, 32, 1, 0);
    near[13 * 32 + 17] = 40;
    writePng(dir + "/bone_00.png", 32, 32, 1, near);
    std::vector<unsigned char> far = filled(32, 32, 1, 0);
    far[20 * 32 + 18] = 255;
    writePng(dir + "/bone_01.png", 32, 32, 1, far);
    std::vector<unsigned char> both = filled(32, 32, 1, 0);
    both[13 * 32 + 17] = 1;
    both[0] = 9;
    writePng(dir + "/bone_02.png", 32, 32, 1, both);
    writeTextFile(dir + "/mesh.obj", "v 1 1 0\nv 10.7 20.2 3\nv 2 2 0\nf 1 2 3\n");

    Scene scene{};
    loadScene(scene, dir.c_str(), 3, false, textureCounter);
    ASSERT_EQ(scene.boneVertices.size(), 3u);
    EXPECT_EQ(scene.boneVertices[0], std::vector<int32_t>({1}));
    EXPECT_EQ(scene.boneVertices[1], std::vector<int32_t>({}));
    EXPECT_EQ(scene.boneVertices[2], std::vector<int32_t>({0, 1, 2}));
    ASSERT_EQ(scene.boneMasks.size(), 3u);
    ASSERT_TRUE(scene.boneMasks[0]);
    EXPECT_EQ(scene.boneMasks[0]->channels, 1);
    EXPECT_EQ(scene.boneMasks[0]->rows[13][17], 40);
}

TEST(SceneLoaderMesh, MirrorIsAppendedBehindThePlainMesh) {
    ensureGlContext();
    TempFolder root;
    const std::string mesh =
        "v 0 0 1\nv 4 0 2\nv 4 4 3\nv 0 4 4.5\n"
        "f 1 2 3\nf 1/1/1 3/3/3 4/4/4\n";
    const std::string dir = makeSceneFolder(root, "doranek", 2, {4, 4}, {8, 8}, mesh);

    Scene plain{};
    loadScene(plain, dir.c_str(), 2, false, textureCounter);
    EXPECT_EQ(plain.mesh.vertices.size(), 4u);
    EXPECT_EQ(plain.mesh.faces.size(), 2u);
    EXPECT_EQ(plain.mesh.meanDepth, 2.625f);

    Scene scene{};
    loadScene(scene, dir.c_str(), 2, true, textureCounter);
    const std::vector<MeshVertex>& v = scene.mesh.vertices;
    const std::vector<MeshFace>& f = scene.mesh.faces;
    ASSERT_EQ(v.size(), 8u);
    ASSERT_EQ(f.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(v[4 + i].restPos.x, v[i].restPos.x);
        EXPECT_EQ(v[4 + i].restPos.y, v[i].restPos.y);
        EXPECT_EQ(v[4 + i].restPos.z, -v[i].restPos.z);
    }
    EXPECT_EQ(v[3].restPos.z, 4.5f);
    EXPECT_EQ(f[0].v[0], 0);
    EXPECT_EQ(f[0].v[1], 1);
    EXPECT_EQ(f[0].v[2], 2);
    EXPECT_EQ(f[2].v[0], 6);
    EXPECT_EQ(f[2].v[1], 5);
    EXPECT_EQ(f[2].v[2], 4);
    EXPECT_EQ(f[3].v[0], 7);
    EXPECT_EQ(f[3].v[1], 6);
    EXPECT_EQ(f[3].v[2], 4);
    // The plain mesh's centroid stays the centre; the two halves' depths cancel.
    EXPECT_EQ(scene.mesh.centre.restPos.x, 2.0f);
    EXPECT_EQ(scene.mesh.centre.restPos.z, 2.625f);
    EXPECT_EQ(scene.mesh.meanDepth, 0.0f);
    // Both halves lie inside the masks, so every bone holds all eight vertices.
    EXPECT_EQ(scene.boneVertices[1], std::vector<int32_t>({0, 1, 2, 3, 4, 5, 6, 7}));

    for (const MeshVertex& vertex : v) {
        EXPECT_EQ(vertex.pos.x, vertex.restPos.x);
        EXPECT_EQ(vertex.pos.y, vertex.restPos.y);
        EXPECT_EQ(vertex.pos.z, vertex.restPos.z);
        EXPECT_EQ(vertex.isHandle, 0);
        EXPECT_EQ(vertex.weightSum, 0.0f);
    }
}

TEST(SceneLoaderMesh, MeanDepthIsASingleSumInVertexOrder) {
    ensureGlContext();
    TempFolder root;
    const std::string dir = makeSceneFolder(root, "vastel", 1, {2, 2}, {4, 4},
                                            "v 0 0 16777216\nv 1 0 1\nv 0 1 1\nf 1 2 3\n");
    Scene scene{};
    loadScene(scene, dir.c_str(), 1, false, textureCounter);
    // 2^24 + 1 + 1 stays 2^24 in single precision; the exact mean would be 5592406.
    EXPECT_EQ(scene.mesh.meanDepth, 5592405.5f);
}

TEST(SceneLoaderFailures, UnreadablePicturesGetStandIns) {
    ensureGlContext();
    TempFolder root;
    const std::string dir = root.file("pilou");
    makeFolder(dir);
    writeTextFile(dir + "/bkg.png", "not a picture");
    writeTextFile(dir + "/mesh.obj", triangle);

    Scene scene{};
    const int32_t base = textureCounter;
    testing::internal::CaptureStderr();
    loadScene(scene, dir.c_str(), 1, false, textureCounter);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(dir + "/tex.png"), std::string::npos) << err;
    EXPECT_NE(err.find(dir + "/bkg.png"), std::string::npos) << err;
    EXPECT_NE(err.find(dir + "/bone_00.png"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 3) << err;

    EXPECT_EQ(scene.texWidth, 1);
    EXPECT_EQ(scene.texHeight, 1);
    EXPECT_EQ(textureSize(GLuint(base + 1)).width, 1);
    EXPECT_EQ(textureSize(GLuint(base + 2)).height, 1);
    unsigned char texel[3] = {9, 9, 9};
    glBindTexture(GL_TEXTURE_2D, GLuint(base + 1));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    EXPECT_EQ(texel[0] + texel[1] + texel[2], 0);
    ASSERT_TRUE(scene.boneMasks[0]);
    EXPECT_EQ(scene.boneMasks[0]->width, 1);
    EXPECT_EQ(scene.boneMasks[0]->rows[0][0], 0);
    EXPECT_EQ(scene.mesh.vertices.size(), 3u);
}

TEST(SceneLoaderFailures, MissingMasksBecomeEmptyMasksOfTheTextureSize) {
    ensureGlContext();
    TempFolder root;
    const std::string dir = root.file("kiv");
    makeFolder(dir);
    writePng(dir + "/bkg.png", 2, 2, 3, filled(2, 2, 3, 0));
    writePng(dir + "/tex.png", 16, 8, 3, filled(16, 8, 3, 0));
    // bone_00 is missing; bone_01 has a size of its own and is used as it is.
    writePng(dir + "/bone_01.png", 4, 4, 1, filled(4, 4, 1, 255));
    writeTextFile(dir + "/bone_02.png", "garbage");
    writeTextFile(dir + "/mesh.obj", triangle);

    Scene scene{};
    testing::internal::CaptureStderr();
    loadScene(scene, dir.c_str(), 3, false, textureCounter);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("bone_00.png"), std::string::npos) << err;
    EXPECT_EQ(err.find("bone_01.png"), std::string::npos) << err;
    EXPECT_NE(err.find("bone_02.png"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;

    ASSERT_EQ(scene.boneMasks.size(), 3u);
    for (int bone : {0, 2}) {
        SCOPED_TRACE(bone);
        const Image& mask = *scene.boneMasks[bone];
        EXPECT_EQ(mask.width, 16);
        EXPECT_EQ(mask.height, 8);
        EXPECT_EQ(mask.channels, 1);
        EXPECT_EQ(std::vector<unsigned char>(mask.pixels, mask.pixels + 16 * 8),
                  filled(16, 8, 1, 0));
        EXPECT_TRUE(scene.boneVertices[bone].empty());
    }
    EXPECT_EQ(scene.boneMasks[1]->width, 4);
    EXPECT_EQ(scene.boneVertices[1], std::vector<int32_t>({0, 1, 2}));
}

TEST(SceneLoaderFailures, MissingMeshLeavesAnEmptyMeshAndLoadsTheRest) {
    ensureGlContext();
    TempFolder root;
    const std::string dir = makeSceneFolder(root, "vastel", 2, {3, 3}, {6, 6}, "");
    std::remove((dir + "/mesh.obj").c_str());

    Scene scene{};
    testing::internal::CaptureStderr();
    loadScene(scene, dir.c_str(), 2, true, textureCounter);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(dir + "/mesh.obj"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_TRUE(scene.mesh.vertices.empty());
    EXPECT_TRUE(scene.mesh.faces.empty());
    EXPECT_EQ(scene.mesh.centre.restPos.x, 0.0f);
    EXPECT_EQ(scene.mesh.centre.restPos.z, 0.0f);
    EXPECT_EQ(scene.mesh.meanDepth, 0.0f);
    EXPECT_EQ(scene.texWidth, 6);
    ASSERT_EQ(scene.boneVertices.size(), 2u);
    EXPECT_TRUE(scene.boneVertices[0].empty());
    EXPECT_TRUE(scene.boneVertices[1].empty());
    EXPECT_EQ(scene.boneMasks[1]->width, 6);
}
