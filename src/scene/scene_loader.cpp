#include "scene/scene_loader.h"

#include <cstdio>
#include <string>

#include "scene/mesh_reader.h"

namespace {

std::string fileIn(const char* directory, const char* name) {
    return std::string(directory) + "/" + name;
}

// A picture that can't be read is replaced, so that the scene still has a size and pixels to
// work with; the warning names the file.
ImagePtr loadPicture(const std::string& path, int32_t channels, int32_t fallbackWidth,
                     int32_t fallbackHeight, const char* standIn) {
    ImagePtr image(loadImage(path.c_str(), channels));
    if (image) return image;
    std::fprintf(stderr, "warning: can't load %s; %s\n", path.c_str(), standIn);
    return ImagePtr(createImage(channels, fallbackWidth, fallbackHeight));
}

// Appends the mirrored copy of `plain` (depth negated, corners 1 and 3 exchanged) behind the
// vertices and faces already in `mesh`. Mirroring the mesh already read gives what reading the
// file mirrored gives, without a second read of the file and its warnings.
void appendMirrored(Mesh& mesh, const Mesh& plain) {
    const int32_t offset = int32_t(mesh.vertices.size());
    mesh.vertices.reserve(mesh.vertices.size() + plain.vertices.size());
    for (const MeshVertex& vertex : plain.vertices) {
        MeshVertex mirrored{};
        mirrored.restPos = Vec3f{vertex.restPos.x, vertex.restPos.y, -vertex.restPos.z};
        mesh.vertices.push_back(mirrored);
    }
    mesh.faces.reserve(mesh.faces.size() + plain.faces.size());
    for (const MeshFace& face : plain.faces) {
        mesh.faces.push_back(
            MeshFace{{face.v[2] + offset, face.v[1] + offset, face.v[0] + offset}});
    }
}

}  // namespace

void readScene(Scene& scene, ScenePictures& pictures, const char* directory, uint32_t boneCount,
               bool appendMirror, int32_t& nextTexture) {
    Mesh plain{};
    if (boneCount != 0) {
        readMesh(fileIn(directory, "mesh.obj").c_str(), plain, false);
        scene.meshTexture = nextTexture++;
    }
    scene.backgroundTexture = nextTexture++;

    if (boneCount != 0) {
        pictures.texture = loadPicture(fileIn(directory, "tex.png"), 3, 1, 1,
                                       "the mesh is drawn with a 1 x 1 black texture");
        scene.texWidth = pictures.texture ? pictures.texture->width : 0;
        scene.texHeight = pictures.texture ? pictures.texture->height : 0;
    }
    pictures.background =
        loadPicture(fileIn(directory, "bkg.png"), 3, 1, 1, "a 1 x 1 black background stands in");

    scene.boneCount = boneCount;
    if (boneCount == 0) return;

    scene.boneMasks.clear();
    scene.boneMasks.resize(boneCount);
    scene.boneVertices.assign(boneCount, std::vector<int32_t>{});
    for (uint32_t bone = 0; bone < boneCount; ++bone) {
        char name[32];
        std::snprintf(name, sizeof name, "bone_%02u.png", bone);
        scene.boneMasks[bone] = loadPicture(fileIn(directory, name), 1, scene.texWidth,
                                            scene.texHeight, "that bone gets no vertices");
    }

    scene.mesh = plain;
    if (appendMirror) appendMirrored(scene.mesh, plain);

    for (MeshVertex& vertex : scene.mesh.vertices) {
        vertex.pos = vertex.restPos;
        vertex.isHandle = 0;
    }

    float depthSum = 0.0f;
    for (const MeshVertex& vertex : scene.mesh.vertices) depthSum += vertex.pos.z;
    const size_t count = scene.mesh.vertices.size();
    scene.mesh.meanDepth = count > 0 ? depthSum / float(count) : 0.0f;
}
