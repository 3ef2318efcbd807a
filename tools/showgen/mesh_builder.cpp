#include "mesh_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

Vec2 gradient(const std::function<double(Vec2)>& f, Vec2 p) {
    const double h = 0.5;
    const double gx = f({p.x + h, p.y}) - f({p.x - h, p.y});
    const double gy = f({p.x, p.y + h}) - f({p.x, p.y - h});
    const double l = std::sqrt(gx * gx + gy * gy);
    if (l < 1e-12) return {0.0, 0.0};
    return {gx / l, gy / l};
}

double signedArea(Vec2 a, Vec2 b, Vec2 c) {
    return 0.5 * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

int findRoot(std::vector<int>& parent, int i) {
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

}  // namespace

MeshData triangulateSilhouette(const std::function<double(Vec2)>& silhouette, int width, int height,
                               double spacing) {
    const double rowStep = spacing * std::sqrt(3.0) * 0.5;
    const int columns = int(width / spacing) + 2;
    const int rows = int(height / rowStep) + 2;
    std::vector<Vec2> lattice(size_t(columns) * size_t(rows));
    std::vector<int> index(lattice.size(), -1);
    std::vector<char> inside(lattice.size(), 0);
    MeshData mesh;
    auto id = [columns](int c, int r) { return size_t(r) * size_t(columns) + size_t(c); };

    // Keep the points inside and a band just outside; pull the ones near the outline onto it.
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            Vec2 p{(c + (r % 2 == 1 ? 0.5 : 0.0)) * spacing + 1.0, r * rowStep + 1.0};
            const double d = silhouette(p);
            inside[id(c, r)] = d < 0.0 ? 1 : 0;
            if (d > 0.9 * spacing) continue;
            // Points outside, and those just inside, go onto the outline; deeper ones stay.
            if (d > -0.15 * spacing) {
                for (int k = 0; k < 4; ++k) {
                    const double dk = silhouette(p);
                    const Vec2 g = gradient(silhouette, p);
                    p = p - g * (dk + 0.3);
                }
            }
            if (p.x < 0.0 || p.y < 0.0 || p.x > width - 1.0 || p.y > height - 1.0) continue;
            lattice[id(c, r)] = p;
            index[id(c, r)] = 0;
        }
    }

    // Two triangles per lattice cell; a triangle stays when its corners are kept, its middle
    // lies in the figure, and snapping has not folded or flattened it.
    std::vector<std::vector<size_t>> candidates;
    for (int r = 0; r + 1 < rows; ++r) {
        for (int c = 0; c + 1 < columns; ++c) {
            std::vector<std::vector<size_t>> tris;
            if (r % 2 == 0) {
                tris.push_back({id(c, r), id(c + 1, r), id(c, r + 1)});
                tris.push_back({id(c + 1, r), id(c + 1, r + 1), id(c, r + 1)});
            } else {
                tris.push_back({id(c, r), id(c + 1, r + 1), id(c, r + 1)});
                tris.push_back({id(c, r), id(c + 1, r), id(c + 1, r + 1)});
            }
            for (const auto& t : tris) {
                if (index[t[0]] < 0 || index[t[1]] < 0 || index[t[2]] < 0) continue;
                const Vec2 a = lattice[t[0]], b = lattice[t[1]], cc = lattice[t[2]];
                const Vec2 middle = (a + b + cc) * (1.0 / 3.0);
                if (silhouette(middle) > 0.0) continue;
                if (inside[t[0]] + inside[t[1]] + inside[t[2]] == 0) continue;
                const double area = signedArea(a, b, cc);
                if (std::fabs(area) < 0.02 * spacing * spacing) continue;
                candidates.push_back(t);
            }
        }
    }
    // The lattice triangles all wind one way; snapping must not have flipped any.
    double total = 0.0;
    for (const auto& t : candidates)
        total += signedArea(lattice[t[0]], lattice[t[1]], lattice[t[2]]);
    std::vector<std::vector<size_t>> kept;
    for (const auto& t : candidates) {
        if (signedArea(lattice[t[0]], lattice[t[1]], lattice[t[2]]) * total > 0.0)
            kept.push_back(t);
    }

    // Largest connected piece only: a loose island would float away on its own.
    std::vector<int> parent(lattice.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (const auto& t : kept) {
        const int a = findRoot(parent, int(t[0]));
        parent[size_t(findRoot(parent, int(t[1])))] = a;
        parent[size_t(findRoot(parent, int(t[2])))] = a;
    }
    std::vector<int> pieceSize(lattice.size(), 0);
    for (const auto& t : kept) ++pieceSize[size_t(findRoot(parent, int(t[0])))];
    const int biggest =
        int(std::max_element(pieceSize.begin(), pieceSize.end()) - pieceSize.begin());

    std::fill(index.begin(), index.end(), -1);
    for (const auto& t : kept) {
        if (findRoot(parent, int(t[0])) != biggest) continue;
        std::vector<int> face;
        for (size_t corner : t) {
            if (index[corner] < 0) {
                index[corner] = int(mesh.vertices.size());
                mesh.vertices.push_back(lattice[corner]);
            }
            face.push_back(index[corner]);
        }
        mesh.faces.push_back(face);
    }
    // Vertices in reading order make the file easy to follow; faces keep lattice order.
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
    return mesh;
}

void windFacesForView(MeshData& mesh, const std::function<Vec2(Vec2)>& windowPosition) {
    for (auto& f : mesh.faces) {
        const Vec2 a = windowPosition(mesh.vertices[size_t(f[0])]);
        const Vec2 b = windowPosition(mesh.vertices[size_t(f[1])]);
        const Vec2 c = windowPosition(mesh.vertices[size_t(f[2])]);
        if (signedArea(a, b, c) < 0.0) std::swap(f[1], f[2]);
    }
}

bool writeObj(const std::string& path, const MeshData& mesh) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "showgen: can't write %s\n", path.c_str());
        return false;
    }
    std::fprintf(file, "# kelvaro figure mesh: x, y in texture pixels (y down), z depth\n");
    for (const Vec2& v : mesh.vertices) std::fprintf(file, "v %.3f %.3f 0.000\n", v.x, v.y);
    for (const auto& f : mesh.faces)
        std::fprintf(file, "f %d %d %d\n", f[0] + 1, f[1] + 1, f[2] + 1);
    const bool ok = std::fclose(file) == 0;
    if (!ok) std::fprintf(stderr, "showgen: can't write %s\n", path.c_str());
    return ok;
}
