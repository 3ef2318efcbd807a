// The figure triangulation: it fills the outline, keeps one piece, winds the way the camera
// needs, and writes files that the show's reader takes as they are.
#include "mesh_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "scene/mesh_reader.h"
#include "show_folder.h"

namespace {

double triangleArea(const MeshData& m, const std::vector<int>& f) {
    const Vec2 a = m.vertices[size_t(f[0])], b = m.vertices[size_t(f[1])],
               c = m.vertices[size_t(f[2])];
    return 0.5 * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

}  // namespace

TEST(MeshBuilder, ADiscIsFilledToItsOutlineWithEvenTriangles) {
    const Vec2 centre{200.0, 150.0};
    const double radius = 100.0, spacing = 10.0;
    const MeshData mesh = triangulateSilhouette(
        [&](Vec2 p) { return circleDistance(p, centre, radius); }, 400, 300, spacing);

    double area = 0.0, outermost = 0.0;
    std::set<int> used;
    for (const auto& f : mesh.faces) {
        const double a = triangleArea(mesh, f);
        EXPECT_GT(a, 0.0) << "all faces wind one way";
        area += a;
        used.insert(f.begin(), f.end());
    }
    for (const Vec2& v : mesh.vertices) outermost = std::max(outermost, length(v - centre));
    const double disc = 3.14159265358979 * radius * radius;
    EXPECT_NEAR(area, disc, disc * 0.01);
    EXPECT_LT(outermost, radius + 0.01);
    EXPECT_GT(outermost, radius - 0.5);
    EXPECT_EQ(used.size(), mesh.vertices.size()) << "no vertex without a face";
    // About one vertex per lattice cell.
    const double expected = disc / (spacing * spacing * std::sqrt(3.0) / 2.0);
    EXPECT_NEAR(double(mesh.vertices.size()), expected, expected * 0.2);
    // Vertices come in reading order.
    for (size_t i = 1; i < mesh.vertices.size(); ++i)
        ASSERT_GE(mesh.vertices[i].y, mesh.vertices[i - 1].y);
}

TEST(MeshBuilder, OnlyTheLargestPieceIsKept) {
    const MeshData mesh = triangulateSilhouette(
        [](Vec2 p) {
            return std::min(circleDistance(p, {100.0, 100.0}, 60.0),
                            circleDistance(p, {300.0, 100.0}, 30.0));
        },
        400, 200, 8.0);
    for (const Vec2& v : mesh.vertices) EXPECT_LT(v.x, 170.0);
}

TEST(MeshBuilder, FacesAreTurnedToWindCounterClockwiseOnScreen) {
    MeshData mesh = triangulateSilhouette(
        [](Vec2 p) {
            return circleDistance(p, {50.0, 50.0}, 40.0);
        },
        100, 100, 10.0);
    // A view that mirrors x and keeps y up, as the show's camera does with y down.
    windFacesForView(mesh, [](Vec2 t) { return Vec2{-t.x, -t.y}; });
    for (const auto& f : mesh.faces) {
        const Vec2 a = mesh.vertices[size_t(f[0])], b = mesh.vertices[size_t(f[1])],
                   c = mesh.vertices[size_t(f[2])];
        const double screen = 0.5 * ((-b.x + a.x) * (-c.y + a.y) - (-c.x + a.x) * (-b.y + a.y));
        EXPECT_GT(screen, 0.0);
    }
}

TEST(MeshBuilder, WrittenMeshesReadBackThroughTheShowsReader) {
    const MeshData mesh = triangulateSilhouette(
        [](Vec2 p) {
            return circleDistance(p, {60.0, 60.0}, 50.0);
        },
        120, 120, 12.0);
    TempFolder folder;
    ASSERT_TRUE(writeObj(folder.file("mesh.obj"), mesh));
    Mesh read{};
    readMesh(folder.file("mesh.obj").c_str(), read, false);
    ASSERT_EQ(read.vertices.size(), mesh.vertices.size());
    ASSERT_EQ(read.faces.size(), mesh.faces.size());
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        EXPECT_NEAR(read.vertices[i].restPos.x, mesh.vertices[i].x, 0.0006);
        EXPECT_NEAR(read.vertices[i].restPos.y, mesh.vertices[i].y, 0.0006);
        EXPECT_EQ(read.vertices[i].restPos.z, 0.0f);
    }
    for (size_t i = 0; i < mesh.faces.size(); ++i)
        for (int k = 0; k < 3; ++k) EXPECT_EQ(read.faces[i].v[k], mesh.faces[i][size_t(k)]);
}
