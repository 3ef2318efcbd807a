// The generated demo show as the program sees it: every slot loads cleanly, the script is
// valid and follows the music's sections, and generating again gives the same bytes.
#include "generated_show.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "driver/config.h"
#include "driver/keyframes.h"
#include "gl_context.h"
#include "scene/scene_loader.h"

namespace {

std::vector<std::string> showFiles() {
    std::vector<std::string> files = {"anim.txt", "tavel.mp3"};
    for (const SceneSlotConfig& slot : sceneSlots) {
        const std::string dir = slot.directory;
        files.push_back(dir + "/bkg.png");
        if (slot.boneCount == 0) continue;
        files.push_back(dir + "/mesh.obj");
        files.push_back(dir + "/tex.png");
        for (uint32_t b = 0; b < slot.boneCount; ++b) {
            char name[32];
            std::snprintf(name, sizeof name, "/bone_%02u.png", b);
            files.push_back(dir + name);
        }
    }
    return files;
}

bool exists(const std::string& path) {
    return std::ifstream(path).good();
}

}  // namespace

TEST(GeneratedShow, EverySlotLoadsWithoutWarningsAndEveryVertexBelongsToABone) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    for (const std::string& file : showFiles()) EXPECT_TRUE(exists(root + "/" + file)) << file;

    ensureGlContext();
    WorkingDirectory cwd(root);
    for (int32_t index = 0; index < sceneSlotCount; ++index) {
        const SceneSlotConfig& slot = sceneSlots[index];
        Scene scene{};
        StderrCapture capture;
        loadScene(scene, slot.directory, slot.boneCount, slot.appendMirror);
        EXPECT_EQ(capture.text(), "") << slot.directory;
        if (slot.boneCount == 0) continue;

        const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
        EXPECT_GE(vertices.size(), 1000u) << slot.directory;
        EXPECT_LE(vertices.size(), 4000u) << slot.directory;
        EXPECT_GT(scene.mesh.faces.size(), vertices.size()) << slot.directory;
        ASSERT_EQ(scene.boneVertices.size(), slot.boneCount);
        std::vector<int> bonesOf(vertices.size(), 0);
        for (uint32_t b = 0; b < slot.boneCount; ++b) {
            EXPECT_GT(scene.boneVertices[b].size(), 30u) << slot.directory << " bone " << b;
            for (int32_t v : scene.boneVertices[b]) ++bonesOf[size_t(v)];
        }
        size_t boneless = 0;
        for (int count : bonesOf) boneless += count == 0 ? 1 : 0;
        EXPECT_EQ(boneless, 0u) << slot.directory;
        for (const MeshFace& f : scene.mesh.faces) {
            for (int32_t corner : f.v) {
                ASSERT_GE(corner, 0);
                ASSERT_LT(size_t(corner), vertices.size());
            }
        }
        // The texture and the masks share the picture frame that the rest positions live in.
        EXPECT_EQ(scene.texWidth, scene.boneMasks[0]->width);
        EXPECT_EQ(scene.texHeight, scene.boneMasks[0]->height);
        for (const MeshVertex& v : vertices) {
            EXPECT_GE(v.restPos.x, 0.0f);
            EXPECT_GE(v.restPos.y, 0.0f);
            EXPECT_LT(v.restPos.x, float(scene.texWidth));
            EXPECT_LT(v.restPos.y, float(scene.texHeight));
        }
    }
}

TEST(GeneratedShow, TheScriptNamesRealVerticesInTimeOrderAndFollowsTheSections) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    ensureGlContext();
    WorkingDirectory cwd(root);

    std::vector<size_t> vertexCount(sceneSlotCount, 0);
    for (int32_t index = 0; index < sceneSlotCount; ++index) {
        Scene scene{};
        loadScene(scene, sceneSlots[index].directory, sceneSlots[index].boneCount, false);
        vertexCount[size_t(index)] = scene.mesh.vertices.size();
    }

    std::vector<Keyframe> rows;
    StderrCapture capture;
    const int32_t count = readKeyframes("anim.txt", rows);
    EXPECT_EQ(capture.text(), "");
    std::ifstream text("anim.txt");
    const size_t lines = size_t(
        std::count(std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>(), '\n'));
    ASSERT_EQ(size_t(count), lines);
    ASSERT_GT(count, 3000);

    std::set<int32_t> slotsSeen;
    for (int32_t i = 0; i < count; ++i) {
        const Keyframe& k = rows[size_t(i)];
        ASSERT_GE(k.scene, 1) << "row " << i;
        ASSERT_LE(k.scene, 4) << "row " << i;
        ASSERT_GE(k.vertex, 0) << "row " << i;
        ASSERT_LT(size_t(k.vertex), vertexCount[size_t(k.scene)]) << "row " << i;
        ASSERT_TRUE(std::isfinite(k.time) && std::isfinite(k.x) && std::isfinite(k.y) &&
                    std::isfinite(k.z))
            << "row " << i;
        if (i > 0) {
            ASSERT_GE(k.time, rows[size_t(i) - 1].time) << "row " << i;
            // A handle moves on every frame of the show: no row lasts longer than 20 ms.
            ASSERT_LE(k.time - rows[size_t(i) - 1].time, 0.0201f) << "row " << i;
            ASSERT_GE(k.scene, rows[size_t(i) - 1].scene) << "row " << i;
        }
        slotsSeen.insert(k.scene);
    }
    EXPECT_EQ(slotsSeen, (std::set<int32_t>{1, 2, 3, 4}));
    // Each figure enters with its section of the music, where the authoring set-up moves on.
    const float entries[4] = {20.0f, 40.0f, 59.0f, 78.5f};
    for (int32_t slot = 1; slot <= 4; ++slot) {
        const auto first = std::find_if(rows.begin(), rows.begin() + count,
                                        [slot](const Keyframe& k) { return k.scene == slot; });
        ASSERT_NE(first, rows.begin() + count);
        EXPECT_EQ(first->time, entries[slot - 1]) << "slot " << slot;
    }
    // The last row only closes the one before it, which must still be active past the end.
    EXPECT_GT(rows[size_t(count) - 2].time, 87.0f);
    EXPECT_EQ(rows[size_t(count) - 1].scene, 4);
}

TEST(GeneratedShow, GeneratingTwiceGivesTheSameBytes) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    TempFolder again;
    ASSERT_TRUE(generateShow(again.path()));
    for (const std::string& file : showFiles()) {
        const std::string first = readTextFile(root + "/" + file);
        const std::string second = readTextFile(again.file(file));
        EXPECT_FALSE(first.empty()) << file;
        EXPECT_TRUE(first == second) << file << " differs between two generations";
    }
}
