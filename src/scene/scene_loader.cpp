#include "scene/scene_loader.h"

#include <GL/gl.h>

#include <cstdio>
#include <string>

#include "deform/shape_matching.h"
#include "scene/mesh_reader.h"

namespace {

// Texture indices are handed out in load order for the whole process and never reused.
int32_t textureCounter = 0;

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

void loadScene(Scene& scene, const char* directory, uint32_t boneCount, bool appendMirror) {
    Mesh plain{};
    if (boneCount != 0) {
        readMesh(fileIn(directory, "mesh.obj").c_str(), plain, false);
        scene.meshTexture = textureCounter++;
    }
    scene.backgroundTexture = textureCounter++;

    if (boneCount != 0) {
        ImagePtr texture = loadPicture(fileIn(directory, "tex.png"), 3, 1, 1,
                                       "the mesh is drawn with a 1 x 1 black texture");
        scene.texWidth = texture ? texture->width : 0;
        scene.texHeight = texture ? texture->height : 0;
        if (texture) uploadTexture(*texture, scene.meshTexture, true);
    }
    {
        ImagePtr background = loadPicture(fileIn(directory, "bkg.png"), 3, 1, 1,
                                          "a 1 x 1 black background stands in");
        if (background) uploadTexture(*background, scene.backgroundTexture, true);
    }

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

    scene.boneMemberValues.assign(boneCount, std::vector<uint8_t>{});
    for (uint32_t bone = 0; bone < boneCount; ++bone) {
        if (scene.boneMasks[bone]) {
            collectBoneVertices(scene.mesh.vertices, *scene.boneMasks[bone],
                                scene.boneVertices[bone]);
            collectMemberMaskValues(scene.mesh.vertices, scene.boneVertices[bone],
                                    *scene.boneMasks[bone], scene.boneMemberValues[bone]);
        }
    }

    float depthSum = 0.0f;
    for (const MeshVertex& vertex : scene.mesh.vertices) depthSum += vertex.pos.z;
    const size_t count = scene.mesh.vertices.size();
    scene.mesh.meanDepth = count > 0 ? depthSum / float(count) : 0.0f;
}

void uploadTexture(const Image& image, int32_t index, bool makeName) {
    // The pixels are handed over as tightly packed RGB rows; anything else would be read past.
    if (image.channels != 3 || image.pixels == nullptr) {
        std::fprintf(stderr, "warning: texture %d is not a three-channel picture; not uploaded\n",
                     index);
        return;
    }
    if (makeName) {
        GLuint unused = 0;
        glGenTextures(1, &unused);
    }
    glBindTexture(GL_TEXTURE_2D, GLuint(index + 1));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, GL_RGB, GL_UNSIGNED_BYTE,
                 image.pixels);
}

int32_t nextTextureIndex() {
    return textureCounter;
}
