#include "scene/mesh_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "show_folder.h"

namespace {

Mesh readText(const std::string& text, bool mirror) {
    TempFolder folder;
    writeTextFile(folder.file("mesh.obj"), text);
    Mesh mesh{};
    readMesh(folder.file("mesh.obj").c_str(), mesh, mirror);
    return mesh;
}

// Reads while catching what the reader says on stderr.
Mesh readTextQuietly(const std::string& text, std::string& err) {
    testing::internal::CaptureStderr();
    Mesh mesh = readText(text, false);
    err = testing::internal::GetCapturedStderr();
    return mesh;
}

void expectFace(const MeshFace& face, int32_t a, int32_t b, int32_t c) {
    EXPECT_EQ(face.v[0], a);
    EXPECT_EQ(face.v[1], b);
    EXPECT_EQ(face.v[2], c);
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

const std::string nineVertices =
    "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 3 0 0\nv 4 0 0\nv 5 0 0\nv 6 0 0\nv 7 0 0\nv 8 0 0\n";

}  // namespace

TEST(MeshReaderFaces, SlashesChooseTheCornerNotation) {
    const std::string text = nineVertices +
                             "f 1/2/3 4/5/6 7/8/9\n"
                             "f 1//3 4//6 7//9\n"
                             "f 1/2 4/5 7/8\n"
                             "f 1 2 3\n"
                             "f 9/1/1 8/1/1 7/1/1\n";
    const Mesh plain = readText(text, false);
    ASSERT_EQ(plain.faces.size(), 5u);
    expectFace(plain.faces[0], 0, 3, 6);
    expectFace(plain.faces[1], 0, 3, 6);
    expectFace(plain.faces[2], 0, 3, 6);
    expectFace(plain.faces[3], 0, 1, 2);
    expectFace(plain.faces[4], 8, 7, 6);

    const Mesh mirrored = readText(text, true);
    ASSERT_EQ(mirrored.faces.size(), 5u);
    expectFace(mirrored.faces[0], 6, 3, 0);
    expectFace(mirrored.faces[1], 6, 3, 0);
    expectFace(mirrored.faces[2], 6, 3, 0);
    expectFace(mirrored.faces[3], 2, 1, 0);
    expectFace(mirrored.faces[4], 6, 7, 8);
}

TEST(MeshReaderVertices, MirrorNegatesDepthOnly) {
    const Mesh plain = readText("v 1 2 3\nv -0.5 4.25 -7\n", false);
    ASSERT_EQ(plain.vertices.size(), 2u);
    EXPECT_EQ(plain.vertices[0].restPos.x, 1.0f);
    EXPECT_EQ(plain.vertices[0].restPos.y, 2.0f);
    EXPECT_EQ(plain.vertices[0].restPos.z, 3.0f);
    EXPECT_EQ(plain.vertices[1].restPos.z, -7.0f);

    const Mesh mirrored = readText("v 1 2 3\nv -0.5 4.25 -7\n", true);
    ASSERT_EQ(mirrored.vertices.size(), 2u);
    EXPECT_EQ(mirrored.vertices[0].restPos.x, 1.0f);
    EXPECT_EQ(mirrored.vertices[0].restPos.y, 2.0f);
    EXPECT_EQ(mirrored.vertices[0].restPos.z, -3.0f);
    EXPECT_EQ(mirrored.vertices[1].restPos.x, -0.5f);
    EXPECT_EQ(mirrored.vertices[1].restPos.y, 4.25f);
    EXPECT_EQ(mirrored.vertices[1].restPos.z, 7.0f);
    EXPECT_EQ(mirrored.centre.restPos.z, 2.0f);

    // The reader sets nothing but the rest position.
    const MeshVertex& v = mirrored.vertices[0];
    EXPECT_EQ(v.pos.x, 0.0f);
    EXPECT_EQ(v.pos.z, 0.0f);
    EXPECT_EQ(v.weight, 0.0f);
    EXPECT_EQ(v.weightSum, 0.0f);
    EXPECT_EQ(v.goalSum.x, 0.0f);
    EXPECT_EQ(v.isHandle, 0);
}

TEST(MeshReaderVertices, UnusedLineKindsAreNeitherCountedNorStored) {
    const Mesh mesh = readText(
        "# a comment\n"
        "mtllib show.mtl\n"
        "o body\n"
        "g arm\n"
        "v 1 2 3\n"
        "vt 0.25 0.25\n"
        "vn 0 0 1\n"
        "\n"
        "usemtl skin\n"
        "s 1\n"
        "v 4 5 6\n"
        " v 9 9 9\n"
        "fo 1 2 3\n"
        "v 7 8 9\n"
        "f 1 2 3\n",
        false);
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[1].restPos.x, 4.0f);
    EXPECT_EQ(mesh.vertices[2].restPos.z, 9.0f);
    ASSERT_EQ(mesh.faces.size(), 1u);
    expectFace(mesh.faces[0], 0, 1, 2);
}

TEST(MeshReaderCentroid, SumsTimesTheSingleReciprocal) {
    const Mesh mesh = readText("v 0 0 0\nv 1 0 0\nv 3 3 0\n", false);
    EXPECT_EQ(mesh.centre.restPos.x, 4.0f * (1.0f / 3.0f));
    EXPECT_EQ(mesh.centre.restPos.x, 1.33333337f);
    EXPECT_EQ(mesh.centre.restPos.y, 1.0f);
    EXPECT_EQ(mesh.centre.restPos.z, 0.0f);

    // Here the reciprocal and a division part ways: 5 x (1/3) rounds up, 5 / 3 rounds down.
    const Mesh apart = readText("v 0 0 0\nv 2 0 0\nv 3 0 0\n", false);
    EXPECT_EQ(apart.centre.restPos.x, 1.66666675f);
    EXPECT_NE(apart.centre.restPos.x, 5.0f / 3.0f);

    // The sums are single precision, added in file order: 2^24 + 1 + 1 stays 2^24.
    const Mesh coarse = readText("v 0 0 16777216\nv 0 0 1\nv 0 0 1\n", true);
    EXPECT_EQ(coarse.centre.restPos.z, -5592405.5f);

    const Mesh none = readText("# nothing here\n", false);
    EXPECT_TRUE(none.vertices.empty());
    EXPECT_EQ(none.centre.restPos.x, 0.0f);
    EXPECT_EQ(none.centre.restPos.y, 0.0f);
    EXPECT_EQ(none.centre.restPos.z, 0.0f);
}

TEST(MeshReaderLines, LastLineWithoutLineFeedIsRead) {
    const Mesh face = readText("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 3 2 1", false);
    ASSERT_EQ(face.faces.size(), 1u);
    expectFace(face.faces[0], 2, 1, 0);

    const Mesh vertex = readText("v 0 0 0\nv 1 0 0\nv 0 1 5", false);
    ASSERT_EQ(vertex.vertices.size(), 3u);
    EXPECT_EQ(vertex.vertices[2].restPos.z, 5.0f);

    // Carriage returns before the line feeds do no harm.
    const Mesh dos = readText("v 1 2 3\r\nv 4 5 6\r\nv 7 8 9\r\nf 1/1 2/2 3/3\r\n", false);
    ASSERT_EQ(dos.vertices.size(), 3u);
    EXPECT_EQ(dos.vertices[2].restPos.z, 9.0f);
    ASSERT_EQ(dos.faces.size(), 1u);
    expectFace(dos.faces[0], 0, 1, 2);
}

TEST(MeshReaderLines, LongLinesAreReadWhole) {
    // Text past the 255th character of a comment is no statement of its own.
    const std::string comment = "#" + std::string(254, 'x') + "v 9 9 9" + std::string(4738, 'y');
    ASSERT_EQ(comment.size(), 5000u);
    const std::string padded = "f 1 2" + std::string(995, ' ') + "3";
    ASSERT_EQ(padded.size(), 1001u);
    const std::string vertex = "v 1" + std::string(600, ' ') + "2 3";
    const Mesh mesh =
        readText(comment + "\nv 0 0 0\nv 1 0 0\n" + vertex + "\n" + padded + "\n", false);
    ASSERT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.vertices[2].restPos.x, 1.0f);
    EXPECT_EQ(mesh.vertices[2].restPos.y, 2.0f);
    EXPECT_EQ(mesh.vertices[2].restPos.z, 3.0f);
    ASSERT_EQ(mesh.faces.size(), 1u);
    expectFace(mesh.faces[0], 0, 1, 2);
}

TEST(MeshReaderFaces, AFaceLineIsKeptWhenItsThreeVertexNumbersReadAndLieInTheList) {
    const char* const missing = "without three vertex numbers";
    const char* const outside = "outside 1 to 9";
    const struct {
        const char* line;
        int32_t v[3];         // the face kept, or -1s
        const char* warning;  // what stderr must hold, or nothing at all
    } cases[] = {
        // Texture and normal numbers are read past: missing ones cost nothing.
        {"f 1//2 3//4 5//", {0, 2, 4}, nullptr},
        {"f 1/2/3 4/5/6 7", {0, 3, 6}, nullptr},
        {"f 1/2/3 4/5/6 7/", {0, 3, 6}, nullptr},
        {"f 2//1 3//1 4//1", {1, 2, 3}, nullptr},  // a double slash wins over the count
        {"f   5 \t 6   7 8", {4, 5, 6}, nullptr},  // any white space; a fourth corner is unread
        // Four vertex/texture corners have four slashes and are read as three-number corners.
        {"f 1/1 2/2 3/3 4/4", {-1, -1, -1}, missing},
        {"f 1/2/3 4 7", {-1, -1, -1}, missing},
        {"f 1 2", {-1, -1, -1}, missing},
        {"f a b c", {-1, -1, -1}, missing},
        {"f 4294967297 1 2", {-1, -1, -1}, missing},  // would wrap around to 1 in 32 bits
        {"f 1 2 10", {-1, -1, -1}, outside},
        {"f 0 1 2", {-1, -1, -1}, outside},   // vertex numbers count from 1
        {"f -1 1 2", {-1, -1, -1}, outside},  // relative numbers are not read
    };
    for (const auto& c : cases) {
        std::string err;
        const Mesh mesh = readTextQuietly(nineVertices + c.line + "\n", err);
        if (c.v[0] < 0) {
            EXPECT_TRUE(mesh.faces.empty()) << c.line;
            EXPECT_NE(err.find(c.warning), std::string::npos) << c.line << "\n" << err;
            EXPECT_EQ(countOf(err, "\n"), 1) << err;
            EXPECT_NE(err.find("mesh.obj"), std::string::npos) << err;
        } else {
            ASSERT_EQ(mesh.faces.size(), 1u) << c.line;
            expectFace(mesh.faces[0], c.v[0], c.v[1], c.v[2]);
            EXPECT_EQ(err, "") << c.line;
        }
    }
}

TEST(MeshReaderFailures, MalformedVerticesKeepTheNumbering) {
    std::string err;
    const Mesh mesh = readTextQuietly(
        "v 1 2\n"
        "v nan 1 2\n"
        "v 4 inf 5\n"
        "v 1e39 0 0\n"
        "v 7 8 9\n"
        "v 1 1 1\n"
        "v 2 2 2\n"
        "f 5 6 7\n"
        "f 1 6 7\n"
        "f 5 2 7\n",
        err);
    ASSERT_EQ(mesh.vertices.size(), 7u);
    EXPECT_EQ(mesh.vertices[0].restPos.x, 1.0f);
    EXPECT_EQ(mesh.vertices[0].restPos.y, 2.0f);
    EXPECT_EQ(mesh.vertices[0].restPos.z, 0.0f);
    EXPECT_EQ(mesh.vertices[1].restPos.x, 0.0f);
    EXPECT_EQ(mesh.vertices[1].restPos.z, 2.0f);
    EXPECT_EQ(mesh.vertices[2].restPos.y, 0.0f);
    EXPECT_EQ(mesh.vertices[2].restPos.z, 5.0f);
    EXPECT_EQ(mesh.vertices[3].restPos.x, 0.0f);
    EXPECT_EQ(mesh.vertices[4].restPos.x, 7.0f);
    EXPECT_EQ(mesh.centre.restPos.x, 15.0f * (1.0f / 7.0f));
    EXPECT_EQ(mesh.centre.restPos.z, 19.0f * (1.0f / 7.0f));
    // The made-up numbers are finite, so the faces through them stay.
    ASSERT_EQ(mesh.faces.size(), 3u);
    expectFace(mesh.faces[1], 0, 5, 6);
    expectFace(mesh.faces[2], 4, 1, 6);
    EXPECT_NE(err.find("4 vertex lines"), std::string::npos) << err;
    EXPECT_EQ(err.find("dropped"), std::string::npos) << err;
}

TEST(MeshReaderFailures, MissingFileLeavesTheMeshEmpty) {
    TempFolder folder;
    const std::string path = folder.file("absent.obj");
    Mesh mesh{};
    testing::internal::CaptureStderr();
    readMesh(path.c_str(), mesh, false);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(mesh.vertices.empty());
    EXPECT_TRUE(mesh.faces.empty());
    EXPECT_NE(err.find(path), std::string::npos) << err;
    EXPECT_EQ(countOf(err, "\n"), 1) << err;

    // A folder opens as a file on some systems but can't be read as one.
    Mesh fromFolder{};
    testing::internal::CaptureStderr();
    readMesh(folder.path().c_str(), fromFolder, false);
    const std::string folderErr = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(fromFolder.vertices.empty());
    EXPECT_NE(folderErr.find(folder.path()), std::string::npos) << folderErr;
}
