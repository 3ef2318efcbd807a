#include "figure/figure_mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>

#include "figure/start_view.h"

Vec2 restCentre(const FigureMesh& mesh) {
    float sx = 0.0f, sy = 0.0f;
    for (const Vec2& v : mesh.vertices) {
        sx += float(v.x);
        sy += float(v.y);
    }
    const float r = 1.0f / float(mesh.vertices.size());
    return {double(sx * r), double(sy * r)};
}

void windFacesForView(FigureMesh& mesh, const std::function<Vec2(Vec2)>& windowPosition) {
    for (auto& f : mesh.faces) {
        const Vec2 a = windowPosition(mesh.vertices[size_t(f[0])]);
        const Vec2 b = windowPosition(mesh.vertices[size_t(f[1])]);
        const Vec2 c = windowPosition(mesh.vertices[size_t(f[2])]);
        if (twiceArea(a, b, c) < 0.0) std::swap(f[1], f[2]);
    }
}

namespace {

std::function<Vec2(Vec2)> startWindow(const FigureMesh& mesh) {
    const Vec2 c = restCentre(mesh);
    const StartView view = startView(c.x, c.y, 0.0);
    return [view](Vec2 t) {
        const WindowPoint w = projectPoint(view, t.x, t.y, 0.0);
        return Vec2{w.x, w.y};
    };
}

}  // namespace

void windFacesForStartView(FigureMesh& mesh) {
    if (mesh.vertices.empty()) return;
    windFacesForView(mesh, startWindow(mesh));
}

bool facesStartCamera(const FigureMesh& mesh) {
    if (mesh.vertices.empty()) return true;
    const auto window = startWindow(mesh);
    for (const auto& f : mesh.faces) {
        const Vec2 a = window(mesh.vertices[size_t(f[0])]);
        const Vec2 b = window(mesh.vertices[size_t(f[1])]);
        const Vec2 c = window(mesh.vertices[size_t(f[2])]);
        if (!(twiceArea(a, b, c) > 0.0)) return false;
    }
    return true;
}

std::string objText(const FigureMesh& mesh) {
    std::string text = "# kelvaro figure mesh: x, y in texture pixels (y down), z depth\n";
    char line[96];
    for (const Vec2& v : mesh.vertices) {
        std::snprintf(line, sizeof line, "v %.3f %.3f 0.000\n", v.x, v.y);
        text += line;
    }
    for (const auto& f : mesh.faces) {
        std::snprintf(line, sizeof line, "f %d %d %d\n", f[0] + 1, f[1] + 1, f[2] + 1);
        text += line;
    }
    return text;
}

float storedCoordinate(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", value);
    return std::strtof(text, nullptr);
}

double smallestAngle(const FigureMesh& mesh, const std::array<int, 3>& face) {
    double smallest = 180.0;
    for (int k = 0; k < 3; ++k) {
        const Vec2 p = mesh.vertices[size_t(face[size_t(k)])];
        const Vec2 u = mesh.vertices[size_t(face[size_t((k + 1) % 3)])] - p;
        const Vec2 w = mesh.vertices[size_t(face[size_t((k + 2) % 3)])] - p;
        const double lengths = length(u) * length(w);
        if (!(lengths > 0.0)) return 0.0;
        const double c = std::max(-1.0, std::min(1.0, dot(u, w) / lengths));
        smallest = std::min(smallest, std::acos(c) * 180.0 / 3.14159265358979323846);
    }
    return smallest;
}

double shareOfFacesUnder(const FigureMesh& mesh, double degrees) {
    if (mesh.faces.empty()) return 0.0;
    size_t under = 0;
    for (const auto& f : mesh.faces)
        if (smallestAngle(mesh, f) < degrees) ++under;
    return double(under) / double(mesh.faces.size());
}

void sortVerticesInReadingOrder(FigureMesh& mesh) {
    std::vector<int> order(mesh.vertices.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const Vec2 pa = mesh.vertices[size_t(a)], pb = mesh.vertices[size_t(b)];
        return pa.y < pb.y - 1e-9 || (std::fabs(pa.y - pb.y) <= 1e-9 && pa.x < pb.x);
    });
    std::vector<int> rename(order.size());
    std::vector<Vec2> sorted(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        rename[size_t(order[i])] = int(i);
        sorted[i] = mesh.vertices[size_t(order[i])];
    }
    mesh.vertices = sorted;
    for (auto& f : mesh.faces)
        for (int& v : f) v = rename[size_t(v)];
}

std::set<std::pair<int, int>> outlineEdges(const FigureMesh& mesh) {
    std::set<std::pair<int, int>> once;
    for (const auto& f : mesh.faces)
        for (int k = 0; k < 3; ++k) {
            const int a = f[size_t(k)], b = f[size_t((k + 1) % 3)];
            const std::pair<int, int> e{std::min(a, b), std::max(a, b)};
            if (!once.erase(e)) once.insert(e);
        }
    return once;
}
