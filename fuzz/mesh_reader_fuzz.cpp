// The mesh reader on arbitrary file contents, plain and mirrored: whatever the file holds, every
// face it keeps names vertices of the list, every rest position is a number, and the mirrored
// reading is the plain one with depth negated and corners 1 and 3 exchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "scene/mesh_reader.h"

namespace {

void checkFacesInside(const Mesh& mesh) {
    const int64_t count = int64_t(mesh.vertices.size());
    for (const MeshFace& face : mesh.faces) {
        for (int32_t v : face.v) FUZZ_CHECK(v >= 0 && v < count);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzz::workFolder() + "/mesh.obj";
    fuzz::writeBytes(path, data, size);

    Mesh plain{};
    readMesh(path.c_str(), plain, false);
    Mesh mirrored{};
    readMesh(path.c_str(), mirrored, true);

    checkFacesInside(plain);
    checkFacesInside(mirrored);
    FUZZ_CHECK(plain.vertices.size() == mirrored.vertices.size());
    FUZZ_CHECK(plain.faces.size() == mirrored.faces.size());
    for (size_t i = 0; i < plain.vertices.size(); ++i) {
        const Vec3f& p = plain.vertices[i].restPos;
        const Vec3f& m = mirrored.vertices[i].restPos;
        FUZZ_CHECK(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
        FUZZ_CHECK(p.x == m.x && p.y == m.y && p.z == -m.z);
        FUZZ_CHECK(plain.vertices[i].isHandle == 0);
    }
    for (size_t j = 0; j < plain.faces.size(); ++j) {
        const MeshFace& p = plain.faces[j];
        const MeshFace& m = mirrored.faces[j];
        FUZZ_CHECK(p.v[0] == m.v[2] && p.v[1] == m.v[1] && p.v[2] == m.v[0]);
    }
    return 0;
}
