// The generated demo show as the program sees it: every slot loads cleanly, the script is
// valid and follows the music's sections, and generating again gives the same bytes.
#include "generated_show.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "driver/keyframes.h"
#include "driver/load_scene.h"
#include "gl_context.h"
#include "scene/mesh_reader.h"
#include "scene/show_facts.h"

TEST(GeneratedShow, EverySlotLoadsWithoutWarningsAndEveryVertexBelongsToABone) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    ensureGlContext();
    WorkingDirectory cwd(root);
    // The loader names every file it can't load: no warning, so every slot has its files.
    int32_t textures = 0;
    for (const SceneSlotConfig& slot : sceneSlots) {
        Scene scene{};
        testing::internal::CaptureStderr();
        loadScene(scene, slot.directory, slot.boneCount, slot.appendMirror, textures);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << slot.directory;
        if (slot.boneCount == 0) continue;

        const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
        EXPECT_TRUE(vertices.size() >= 1000 && vertices.size() <= 4000) << slot.directory;
        EXPECT_GT(scene.mesh.faces.size(), vertices.size()) << slot.directory;
        ASSERT_EQ(scene.boneVertices.size(), slot.boneCount);
        std::vector<bool> inABone(vertices.size(), false);
        for (uint32_t b = 0; b < slot.boneCount; ++b) {
            EXPECT_GT(scene.boneVertices[b].size(), 30u) << slot.directory << " bone " << b;
            for (int32_t v : scene.boneVertices[b]) inABone[size_t(v)] = true;
        }
        EXPECT_EQ(std::count(inABone.begin(), inABone.end(), false), 0) << slot.directory;
        // The texture and the masks share the picture frame that the rest positions live in.
        EXPECT_EQ(scene.texWidth, scene.boneMasks[0]->width);
        EXPECT_EQ(scene.texHeight, scene.boneMasks[0]->height);
        for (const MeshVertex& v : vertices) {
            ASSERT_TRUE(v.restPos.x >= 0.0f && v.restPos.x < float(scene.texWidth) &&
                        v.restPos.y >= 0.0f && v.restPos.y < float(scene.texHeight))
                << slot.directory << ": " << v.restPos.x << ", " << v.restPos.y;
        }
    }
}

TEST(GeneratedShow, TheScriptNamesRealVerticesInTimeOrderAndFollowsTheSections) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    WorkingDirectory cwd(root);
    std::vector<size_t> vertexCount;
    for (const SceneSlotConfig& slot : sceneSlots) {
        Mesh mesh{};
        if (slot.boneCount != 0)
            readMesh((std::string(slot.directory) + "/mesh.obj").c_str(), mesh, false);
        vertexCount.push_back(mesh.vertices.size());
    }

    std::vector<Keyframe> rows;
    testing::internal::CaptureStderr();
    const int32_t count = readKeyframes("anim.txt", rows);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    std::ifstream text("anim.txt");
    ASSERT_EQ(count, std::count(std::istreambuf_iterator<char>(text), {}, '\n'));
    ASSERT_GT(count, 3000);

    std::set<int32_t> slotsSeen;
    for (int32_t i = 0; i < count; ++i) {
        const Keyframe& k = rows[size_t(i)];
        ASSERT_TRUE(k.scene >= 1 && k.scene <= 4 && k.vertex >= 0 &&
                    size_t(k.vertex) < vertexCount[size_t(k.scene)])
            << "row " << i;
        if (i > 0) {
            const Keyframe& before = rows[size_t(i) - 1];
            // A handle moves on every frame of the show: no row lasts longer than 20 ms.
            ASSERT_TRUE(k.time >= before.time && k.time - before.time <= 0.0201f &&
                        k.scene >= before.scene)
                << "row " << i;
        }
        // Each figure enters with its section of the music, where the authoring set-up moves on.
        if (slotsSeen.insert(k.scene).second) {
            const float entries[5] = {0.0f, 20.0f, 40.0f, 59.0f, 78.5f};
            EXPECT_EQ(k.time, entries[k.scene]) << "slot " << k.scene;
        }
    }
    EXPECT_EQ(slotsSeen, (std::set<int32_t>{1, 2, 3, 4}));
    // The last row only closes the one before it, which must still be active past the end.
    EXPECT_GT(rows[size_t(count) - 2].time, 87.0f);
}

// Against the build's folder this also compares the generator program with the library.
TEST(GeneratedShow, GeneratingAgainGivesTheSameBytes) {
    const std::string& root = generatedShow();
    ASSERT_FALSE(root.empty()) << "the generator failed";
    TempFolder again;
    ASSERT_TRUE(generateShow(again.path()));
    const auto files = [](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
            const std::string name = entry.path().lexically_relative(folder);
            if (entry.is_regular_file() && name != ".complete") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::vector<std::string> names = files(again.path());
    ASSERT_EQ(files(root), names);
    EXPECT_EQ(names.size(), 40u);  // script, music, six backgrounds, four meshes with their masks
    for (const std::string& name : names) {
        const std::string first = readTextFile(again.file(name));
        EXPECT_FALSE(first.empty()) << name;
        EXPECT_TRUE(first == readTextFile(root + "/" + name))
            << name << " differs from " << root << " (a stale build folder: make show_content)";
    }
}
