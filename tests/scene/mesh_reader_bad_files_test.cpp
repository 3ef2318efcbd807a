// Mesh files that open and read fine but hold nothing usable: the reader names them, since a
// slot without its figure is otherwise easy to miss in a show.
#include <gtest/gtest.h>

#include <string>

#include "scene/mesh_reader.h"
#include "show_folder.h"

namespace {

std::string warningsFor(const std::string& bytes, Mesh& mesh) {
    TempFolder folder;
    const std::string path = folder.file("mesh.obj");
    writeTextFile(path, bytes);
    testing::internal::CaptureStderr();
    readMesh(path.c_str(), mesh, false);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(path), std::string::npos) << err;
    return err;
}

}  // namespace

TEST(MeshReaderBadFiles, FilesWithoutVertexLinesAreNamed) {
    Mesh empty{};
    EXPECT_NE(warningsFor("", empty).find("no vertex lines"), std::string::npos);
    EXPECT_TRUE(empty.vertices.empty());
    EXPECT_TRUE(empty.faces.empty());

    Mesh binary{};
    const std::string garbage("\x89\x01\xff\0\x13\nf \x02\x03\n\x7f\x45\x4c\x46", 16);
    const std::string err = warningsFor(garbage, binary);
    EXPECT_NE(err.find("no vertex lines"), std::string::npos) << err;
    EXPECT_NE(err.find("1 face lines without three vertex numbers"), std::string::npos) << err;
    EXPECT_TRUE(binary.vertices.empty());
    EXPECT_TRUE(binary.faces.empty());
    EXPECT_EQ(binary.centre.restPos.x, 0.0f);
}
