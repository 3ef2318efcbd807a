// The scene loader on a folder of damaged files: corrupt and truncated pictures, masks of any
// size (also smaller than the texture), a broken mesh, and any of them missing. Textures are
// uploaded to a real GL context (offscreen); the bones of what was loaded go through a sweep of
// the shape-matching step, then two frames of the solve and the drawing.
//
// Input: one byte of settings (bone count 0 to 3, mirror flag, raw average, drift), then the files
// mesh.obj, tex.png, bkg.png, bone_00.png, bone_01.png and bone_02.png in this order, separated by
// the four bytes "KVSP". A file after the last separator is missing from the folder.
#include <GL/gl.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "deform/shape_matching.h"
#include "driver/load_scene.h"
#include "driver/solve.h"
#include "fuzz_support.h"
#include "platform/sdl_platform.h"
#include "render/camera.h"
#include "render/drawing.h"
#include "render/matrix_store.h"
#include "scene/show_facts.h"

namespace {

const char* const fileNames[] = {"mesh.obj",    "tex.png",     "bkg.png",
                                 "bone_00.png", "bone_01.png", "bone_02.png"};
constexpr size_t fileCount = sizeof fileNames / sizeof fileNames[0];
const char separator[] = "KVSP";
constexpr size_t separatorSize = 4;

void writeFolder(const std::string& dir, const uint8_t* data, size_t size) {
    size_t at = 0;
    for (size_t i = 0; i < fileCount; ++i) {
        const std::string path = dir + "/" + fileNames[i];
        if (at > size) {
            fuzz::removeFile(path);
            continue;
        }
        const uint8_t* begin = data + at;
        const uint8_t* end = data + size;
        const uint8_t* found = std::search(begin, end, separator, separator + separatorSize);
        fuzz::writeBytes(path, begin, size_t(found - begin));
        at = size_t(found - data) + separatorSize;
    }
}

void deleteTexture(int32_t index) {
    const GLuint name = GLuint(index + 1);
    glDeleteTextures(1, &name);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    static SdlPlatform platform(depthBits);
    if (!platform.createGlWindow("kelvaro fuzz", 64, 64, 32, false)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint32_t boneCount = data[0] & 3u;
    const bool mirror = (data[0] & 4u) != 0;
    const std::string& dir = fuzz::workFolder();
    writeFolder(dir, data + 1, size - 1);

    Scene scene{};
    static int32_t textures = 0;
    const int32_t before = textures;
    loadScene(scene, dir.c_str(), boneCount, mirror, textures);
    FUZZ_CHECK(textures == before + (boneCount != 0 ? 2 : 1));
    FUZZ_CHECK(scene.boneCount == boneCount);
    FUZZ_CHECK(scene.boneVertices.size() == boneCount);
    FUZZ_CHECK(scene.boneMasks.size() == boneCount);

    const std::vector<MeshVertex>& vertices = scene.mesh.vertices;
    for (const MeshFace& face : scene.mesh.faces) {
        for (int32_t v : face.v) FUZZ_CHECK(v >= 0 && size_t(v) < vertices.size());
    }
    for (uint32_t b = 0; b < boneCount; ++b) {
        FUZZ_CHECK(scene.boneMasks[b] != nullptr);
        const Image& mask = *scene.boneMasks[b];
        FUZZ_CHECK(mask.channels == 1 && mask.width >= 0 && mask.height >= 0);
        const std::vector<int32_t>& members = scene.boneVertices[b];
        for (size_t k = 0; k < members.size(); ++k) {
            FUZZ_CHECK(members[k] >= 0 && size_t(members[k]) < vertices.size());
            if (k > 0) FUZZ_CHECK(members[k - 1] < members[k]);
        }
    }
    if (boneCount != 0) FUZZ_CHECK(scene.texWidth > 0 && scene.texHeight > 0);

    FUZZ_CHECK(scene.boneMemberValues.size() == boneCount);
    for (uint32_t b = 0; b < boneCount; ++b) {
        FUZZ_CHECK(scene.boneMemberValues[b].size() == scene.boneVertices[b].size());
    }

    // One sweep of the bones over the loaded masks, then again with every vertex a handle.
    for (int pass = 0; pass < 2; ++pass) {
        for (MeshVertex& v : scene.mesh.vertices) {
            v.weightSum = 0.0f;
            v.goalSum = Vec3f{0.0f, 0.0f, 0.0f};
            v.isHandle = uint8_t(pass);
        }
        for (uint32_t b = 0; b < boneCount; ++b) {
            shapeMatchBone(scene.mesh.vertices, scene.boneVertices[b], *scene.boneMasks[b]);
        }
        for (const MeshVertex& v : vertices) {
            FUZZ_CHECK(v.pos.x == v.restPos.x && v.pos.y == v.restPos.y && v.pos.z == v.restPos.z);
        }
    }

    // Then the frame's own path: camera, matrices, the solve with a pull to one side (half the
    // vertices handles), the depth re-centring and the drawing.
    if (boneCount != 0) {
        for (size_t i = 0; i < scene.mesh.vertices.size(); ++i) {
            scene.mesh.vertices[i].isHandle = uint8_t(i % 2);
        }
        const bool rawAverage = (data[0] & 8u) != 0;
        Vec3f drift{float(int8_t(data[0] & 0xf0u)) * 0.25f, 0.0f, 0.0f};
        // Close enough to the centre for a small mesh to fill the view, so that the window
        // test lets vertices move.
        setupCamera(scene.mesh, 60.0f, 0.0f, 0.0f, 0.0f, eyeOffset, eyeOffset, eyeOffset, 0.0f,
                    0.0f, windowWidth, windowHeight);
        MatrixStore matrices{};
        readMatrixStore(matrices);
        for (int frame = 0; frame < 2; ++frame) {
            solveDeformation(scene, drift, rawAverage, matrices);
            recentreDepth(scene, drift);
            FUZZ_CHECK(std::isfinite(drift.z));
            drawMesh(scene.mesh, scene.texWidth, scene.texHeight, scene.meshTexture);
        }
        for (const MeshVertex& v : vertices) {
            FUZZ_CHECK(std::isfinite(v.pos.x) && std::isfinite(v.pos.y) && std::isfinite(v.pos.z));
        }
    }

    // Texture objects live for the whole run in the program; here they would pile up.
    if (boneCount != 0) deleteTexture(scene.meshTexture);
    deleteTexture(scene.backgroundTexture);
    return 0;
}
