// The figure triangulation: it fills the outline, keeps one piece and winds the way the camera
// needs. A hole, an overlap or a stray piece would still load; only here are they seen.
#include "mesh_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

// Twice the signed area of a face under a view of texture points.
double windingArea(const MeshData& m, const std::vector<int>& f, Vec2 (*view)(Vec2)) {
    const Vec2 a = view(m.vertices[size_t(f[0])]), b = view(m.vertices[size_t(f[1])]),
               c = view(m.vertices[size_t(f[2])]);
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

Vec2 same(Vec2 t) {
    return t;
}

}  // namespace

TEST(MeshBuilder, TheLargestPieceIsFilledToItsOutlineWithEvenTriangles) {
    // A disc, and a smaller one further right that is dropped.
    const Vec2 centre{200.0, 150.0};
    const double radius = 100.0, spacing = 10.0;
    const MeshData mesh = triangulateSilhouette(
        [&](Vec2 p) {
            return std::min(circleDistance(p, centre, radius), circleDistance(p, {370, 150}, 25));
        },
        400, 300, spacing);

    double area = 0.0, outermost = 0.0;
    std::set<int> used;
    for (const auto& f : mesh.faces) {
        EXPECT_GT(windingArea(mesh, f, same), 0.0) << "all faces wind one way";
        area += windingArea(mesh, f, same) / 2;
        used.insert(f.begin(), f.end());
    }
    for (const Vec2& v : mesh.vertices) outermost = std::max(outermost, length(v - centre));
    const double disc = 3.14159265358979 * radius * radius;
    EXPECT_NEAR(area, disc, disc * 0.01);
    EXPECT_TRUE(outermost < radius + 0.01 && outermost > radius - 0.5) << outermost;
    EXPECT_EQ(used.size(), mesh.vertices.size()) << "no vertex without a face";
    // About one vertex per lattice cell.
    const double expected = disc / (spacing * spacing * std::sqrt(3.0) / 2.0);
    EXPECT_NEAR(double(mesh.vertices.size()), expected, expected * 0.2);
    // Vertices come in reading order.
    for (size_t i = 1; i < mesh.vertices.size(); ++i)
        ASSERT_GE(mesh.vertices[i].y, mesh.vertices[i - 1].y);
}

TEST(MeshBuilder, FacesAreTurnedToWindCounterClockwiseOnScreen) {
    MeshData mesh = triangulateSilhouette(
        [](Vec2 p) {
            return circleDistance(p, {50.0, 50.0}, 40.0);
        },
        100, 100, 10.0);
    // A view that mirrors x and keeps y up, as the show's camera does with y down.
    const auto view = [](Vec2 t) { return Vec2{-t.x, -t.y}; };
    windFacesForView(mesh, view);
    for (const auto& f : mesh.faces) EXPECT_GT(windingArea(mesh, f, view), 0.0);
}
