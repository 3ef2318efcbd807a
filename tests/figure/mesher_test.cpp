// The mesher on a formula's field, as the demo generator uses it: the outline follows the shape
// just outside it, the inside is filled, and faces turn to whatever view asks.
#include "figure/mesher.h"

#include <gtest/gtest.h>

#include <cmath>

#include "figure/distance_field.h"

TEST(Mesher, FillsAFormulasShapeToJustPastItsOutline) {
    const Vec2 centre{200.0, 150.0};
    const double radius = 100.0;
    const DistanceField field =
        fieldOfFormula([&](Vec2 p) { return length(p - centre) - radius; }, 400, 300, 24.0);
    MeshSettings settings;
    settings.spacing = 10.0;
    FigureMesh mesh = meshFigure(field, {}, settings);
    double area = 0.0, outermost = 0.0, innermost = 1e9;
    for (const auto& f : mesh.faces)
        area += 0.5 * std::fabs(twiceArea(mesh.vertices[size_t(f[0])], mesh.vertices[size_t(f[1])],
                                          mesh.vertices[size_t(f[2])]));
    for (const Vec2& v : mesh.vertices) outermost = std::max(outermost, length(v - centre));
    // Where the outline runs: between the shape's edge and two pixels past it.
    const double disc = 3.14159265358979 * radius * radius;
    EXPECT_GT(area, disc);
    EXPECT_LT(area, 3.14159265358979 * (radius + 2.0) * (radius + 2.0));
    EXPECT_LE(outermost, radius + 2.0);
    for (const Vec2& v : mesh.vertices)
        if (length(v - centre) > radius - 3.0) innermost = std::min(innermost, length(v - centre));
    EXPECT_GE(innermost, radius - 0.01);
    EXPECT_LE(shareOfFacesUnder(mesh, 20.0), 0.02);

    // A view that mirrors x and keeps y up, as the show's camera does with y down.
    windFacesForView(mesh, [](Vec2 t) { return Vec2{-t.x, -t.y}; });
    for (const auto& f : mesh.faces)
        EXPECT_GT(twiceArea(Vec2{-mesh.vertices[size_t(f[0])].x, -mesh.vertices[size_t(f[0])].y},
                            Vec2{-mesh.vertices[size_t(f[1])].x, -mesh.vertices[size_t(f[1])].y},
                            Vec2{-mesh.vertices[size_t(f[2])].x, -mesh.vertices[size_t(f[2])].y}),
                  0.0);
}
