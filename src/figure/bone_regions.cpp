#include "figure/bone_regions.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <queue>
#include <set>
#include <utility>

namespace {

constexpr double unreached = std::numeric_limits<double>::infinity();

// Distances along the mesh from every source (each starting at its own distance), and which
// source each vertex is nearest to. Vertices outside `allowed` (when given) are never entered.
void spread(const MeshGraph& graph, const std::vector<std::pair<int, double>>& sources,
            const std::vector<int>& sourceLabel, std::vector<double>& distance,
            std::vector<int>& nearest, const std::vector<char>* allowed = nullptr) {
    const size_t n = graph.neighbours.size();
    distance.assign(n, unreached);
    nearest.assign(n, -1);
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
    for (size_t i = 0; i < sources.size(); ++i) {
        const auto [v, d] = sources[i];
        if (d < distance[size_t(v)]) {
            distance[size_t(v)] = d;
            nearest[size_t(v)] = sourceLabel.empty() ? int(i) : sourceLabel[i];
            queue.push({d, v});
        }
    }
    while (!queue.empty()) {
        const auto [d, v] = queue.top();
        queue.pop();
        if (d > distance[size_t(v)]) continue;
        for (const auto& [u, l] : graph.neighbours[size_t(v)]) {
            if (allowed != nullptr && (*allowed)[size_t(u)] == 0) continue;
            if (d + l < distance[size_t(u)]) {
                distance[size_t(u)] = d + l;
                nearest[size_t(u)] = nearest[size_t(v)];
                queue.push({d + l, u});
            }
        }
    }
}

std::vector<double> distancesFrom(const MeshGraph& graph, const std::vector<int>& from,
                                  const std::vector<char>* allowed = nullptr) {
    std::vector<std::pair<int, double>> sources;
    for (int v : from) sources.push_back({v, 0.0});
    std::vector<double> distance;
    std::vector<int> nearest;
    spread(graph, sources, {}, distance, nearest, allowed);
    return distance;
}

// Vertices on the mesh's outline: those of an edge that only one face has.
std::vector<int> outlineVertices(const FigureMesh& mesh) {
    std::set<std::pair<int, int>> once;
    for (const auto& f : mesh.faces)
        for (int k = 0; k < 3; ++k) {
            const int a = f[size_t(k)], b = f[size_t((k + 1) % 3)];
            const std::pair<int, int> e{std::min(a, b), std::max(a, b)};
            if (!once.erase(e)) once.insert(e);
        }
    std::vector<char> on(mesh.vertices.size(), 0);
    for (const auto& [a, b] : once) on[size_t(a)] = on[size_t(b)] = 1;
    std::vector<int> list;
    for (size_t i = 0; i < on.size(); ++i)
        if (on[i] != 0) list.push_back(int(i));
    return list;
}

double faceArea(const FigureMesh& mesh, const std::array<int, 3>& f) {
    return 0.5 * std::fabs(twiceArea(mesh.vertices[size_t(f[0])], mesh.vertices[size_t(f[1])],
                                     mesh.vertices[size_t(f[2])]));
}

}  // namespace

MeshGraph graphOf(const FigureMesh& mesh) {
    MeshGraph graph;
    graph.neighbours.assign(mesh.vertices.size(), {});
    std::set<std::pair<int, int>> seen;
    for (const auto& f : mesh.faces)
        for (int k = 0; k < 3; ++k) {
            const int a = f[size_t(k)], b = f[size_t((k + 1) % 3)];
            if (!seen.insert({std::min(a, b), std::max(a, b)}).second) continue;
            const double l = length(mesh.vertices[size_t(a)] - mesh.vertices[size_t(b)]);
            graph.neighbours[size_t(a)].push_back({b, l});
            graph.neighbours[size_t(b)].push_back({a, l});
        }
    return graph;
}

bool findBoneRegions(const FigureMesh& mesh, int bones, double reach, BoneWeights& result,
                     std::string& error) {
    const size_t n = mesh.vertices.size();
    const MeshGraph graph = graphOf(mesh);

    // The separate pieces, and their areas.
    std::vector<int> piece(n, -1);
    int pieces = 0;
    for (size_t start = 0; start < n; ++start) {
        if (piece[start] >= 0) continue;
        std::vector<int> stack{int(start)};
        piece[start] = pieces;
        while (!stack.empty()) {
            const int v = stack.back();
            stack.pop_back();
            for (const auto& [u, l] : graph.neighbours[size_t(v)])
                if (piece[size_t(u)] < 0) {
                    piece[size_t(u)] = pieces;
                    stack.push_back(u);
                }
        }
        ++pieces;
    }
    if (pieces > bones) {
        error = "the figure has " + std::to_string(pieces) + " separate pieces but the slot has " +
                std::to_string(bones) +
                " bones: each piece needs a bone of its own (join the pieces in the drawing, or "
                "give more bones with --bones)";
        return false;
    }
    std::vector<double> area(size_t(pieces), 0.0);
    for (const auto& f : mesh.faces) area[size_t(piece[size_t(f[0])])] += faceArea(mesh, f);
    const double total = std::accumulate(area.begin(), area.end(), 0.0);
    // One bone each, the rest by the largest share of area still unserved.
    std::vector<int> share(size_t(pieces), 1);
    for (int left = bones - pieces; left > 0; --left) {
        size_t best = 0;
        double most = -1.0;
        for (size_t p = 0; p < share.size(); ++p) {
            const double want = area[p] / total * bones - share[p];
            if (want > most) {
                most = want;
                best = p;
            }
        }
        ++share[best];
    }

    const std::vector<int> outline = outlineVertices(mesh);
    const std::vector<double> depth = distancesFrom(graph, outline);
    std::vector<int> seeds;
    for (int p = 0; p < pieces; ++p) {
        std::vector<char> inPiece(n, 0);
        std::vector<int> members;
        for (size_t v = 0; v < n; ++v)
            if (piece[v] == p) {
                inPiece[v] = 1;
                members.push_back(int(v));
            }
        int deepest = members[0];
        for (int v : members)
            if (depth[size_t(v)] > depth[size_t(deepest)] ||
                (depth[size_t(deepest)] == unreached && depth[size_t(v)] != unreached)) {
                deepest = v;
            }
        std::vector<int> mine{deepest};
        std::vector<double> far = distancesFrom(graph, mine, &inPiece);
        while (int(mine.size()) < share[size_t(p)]) {
            int farthest = members[0];
            for (int v : members)
                if (far[size_t(v)] > far[size_t(farthest)]) farthest = v;
            mine.push_back(farthest);
            const std::vector<double> d = distancesFrom(graph, {farthest}, &inPiece);
            for (size_t v = 0; v < n; ++v) far[v] = std::min(far[v], d[v]);
        }
        seeds.insert(seeds.end(), mine.begin(), mine.end());
    }

    result.bones = bones;
    std::vector<std::pair<int, double>> sources;
    for (int s : seeds) sources.push_back({s, 0.0});
    std::vector<double> d;
    spread(graph, sources, {}, d, result.region);
    result.weights.assign(n * size_t(bones), 0.0f);
    for (int b = 0; b < bones; ++b) {
        std::vector<int> region;
        for (size_t v = 0; v < n; ++v)
            if (result.region[v] == b) region.push_back(int(v));
        const std::vector<double> away = distancesFrom(graph, region);
        for (size_t v = 0; v < n; ++v) {
            const double t = std::min(1.0, away[v] / reach);
            const double w = away[v] == unreached ? 0.0 : 1.0 - t * t * (3.0 - 2.0 * t);
            result.weights[v * size_t(bones) + size_t(b)] = float(w);
        }
    }
    return true;
}
