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
    std::vector<char> on(mesh.vertices.size(), 0);
    for (const auto& [a, b] : outlineEdges(mesh)) on[size_t(a)] = on[size_t(b)] = 1;
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

namespace {

// The vertex nearest to each point, found through a grid of buckets.
std::vector<int> nearestVertices(const FigureMesh& mesh, const std::vector<Vec2>& points,
                                 std::vector<double>& distance) {
    constexpr double bucket = 16.0;
    double minX = 1e30, minY = 1e30, maxX = -1e30, maxY = -1e30;
    for (const Vec2& v : mesh.vertices) {
        minX = std::min(minX, v.x), maxX = std::max(maxX, v.x);
        minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
    }
    const int w = int((maxX - minX) / bucket) + 1, h = int((maxY - minY) / bucket) + 1;
    std::vector<std::vector<int>> grid(size_t(w) * size_t(h));
    const auto cellOf = [&](Vec2 p, int& x, int& y) {
        x = std::clamp(int((p.x - minX) / bucket), 0, w - 1);
        y = std::clamp(int((p.y - minY) / bucket), 0, h - 1);
    };
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        int x, y;
        cellOf(mesh.vertices[i], x, y);
        grid[size_t(y) * size_t(w) + size_t(x)].push_back(int(i));
    }
    std::vector<int> nearest(points.size(), -1);
    distance.assign(points.size(), unreached);
    for (size_t k = 0; k < points.size(); ++k) {
        int cx, cy;
        cellOf(points[k], cx, cy);
        for (int ring = 0; ring <= std::max(w, h); ++ring) {
            for (int y = cy - ring; y <= cy + ring; ++y)
                for (int x = cx - ring; x <= cx + ring; ++x) {
                    if (x < 0 || y < 0 || x >= w || y >= h) continue;
                    if (std::max(std::abs(x - cx), std::abs(y - cy)) != ring) continue;
                    for (int v : grid[size_t(y) * size_t(w) + size_t(x)]) {
                        const double d = length(mesh.vertices[size_t(v)] - points[k]);
                        if (d < distance[k]) {
                            distance[k] = d;
                            nearest[k] = v;
                        }
                    }
                }
            // Past this ring every vertex is farther than the nearest found.
            if (nearest[k] >= 0 && distance[k] <= ring * bucket) break;
        }
    }
    return nearest;
}

}  // namespace

bool findBoneRegions(const FigureMesh& mesh, const Skeleton& skeleton,
                     const std::vector<char>& ground, int bones, double reach, BoneWeights& result,
                     RigLayout& layout, std::string& error) {
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
    const auto shareOut = [](const std::vector<double>& weight, int count) {
        // One each, the rest by the largest share of weight still unserved.
        std::vector<int> share(weight.size(), 1);
        const double sum = std::accumulate(weight.begin(), weight.end(), 0.0);
        for (int left = count - int(weight.size()); left > 0; --left) {
            size_t best = 0;
            double most = -1e300;
            for (size_t p = 0; p < share.size(); ++p) {
                const double want = (sum > 0.0 ? weight[p] / sum : 0.0) * count - share[p];
                if (want > most) {
                    most = want;
                    best = p;
                }
            }
            ++share[best];
        }
        return share;
    };
    const std::vector<int> share = shareOut(area, bones);

    // The skeleton's trees, each in the piece its root lies in; a piece takes as many of its
    // trees as it has bones, the widest first.
    std::vector<Vec2> at;
    for (const SkeletonPoint& p : skeleton.points) at.push_back(p.at);
    std::vector<double> off;
    const std::vector<int> near = nearestVertices(mesh, at, off);
    std::vector<double> treeWeight(skeleton.roots.size(), 0.0);
    std::vector<int> treeOf(skeleton.points.size(), -1);
    {
        const std::vector<std::vector<int>> children = childrenOf(skeleton);
        for (size_t t = 0; t < skeleton.roots.size(); ++t) {
            std::vector<int> stack{skeleton.roots[t]};
            while (!stack.empty()) {
                const int v = stack.back();
                stack.pop_back();
                treeOf[size_t(v)] = int(t);
                treeWeight[t] += skeleton.points[size_t(v)].radius;
                for (int c : children[size_t(v)]) stack.push_back(c);
            }
        }
    }
    std::vector<std::vector<int>> treesOf(static_cast<size_t>(pieces));
    for (size_t t = 0; t < skeleton.roots.size(); ++t) {
        const int v = near.empty() ? -1 : near[size_t(skeleton.roots[t])];
        if (v >= 0) treesOf[size_t(piece[size_t(v)])].push_back(int(t));
    }
    std::vector<int> trees, budgets;
    std::vector<int> trunkOfPiece(size_t(pieces), -1);
    std::vector<int> fallback;  // pieces with no skeleton: seeded by distance alone
    for (int p = 0; p < pieces; ++p) {
        std::vector<int>& mine = treesOf[size_t(p)];
        std::stable_sort(mine.begin(), mine.end(), [&](int a, int b) {
            return treeWeight[size_t(a)] > treeWeight[size_t(b)];
        });
        if (int(mine.size()) > share[size_t(p)]) mine.resize(size_t(share[size_t(p)]));
        // Crumbs of skeleton (a toe cut off by the floor) are no trees of their own.
        while (mine.size() > 1 &&
               treeWeight[size_t(mine.back())] < 0.1 * treeWeight[size_t(mine[0])])
            mine.pop_back();
        if (mine.empty()) {
            fallback.push_back(p);
            continue;
        }
        std::vector<double> weight;
        for (int t : mine) weight.push_back(treeWeight[size_t(t)]);
        const std::vector<int> each = shareOut(weight, share[size_t(p)]);
        for (size_t k = 0; k < mine.size(); ++k) {
            trees.push_back(mine[k]);
            budgets.push_back(each[k]);
        }
    }
    layout = layOutBones(skeleton, trees, budgets, reach);
    // Bones of the skeleton's trees first, in their order, then the pieces without a skeleton.
    std::vector<std::pair<int, double>> sources;
    std::vector<int> labels, parts;
    for (size_t k = 0; k < skeleton.points.size(); ++k) {
        const int b = layout.bone[k];
        if (b < 0 || near[k] < 0 || ground[size_t(near[k])] != 0) continue;
        sources.push_back({near[k], off[k]});
        labels.push_back(b);
        parts.push_back(layout.branchOf[k] + 2);
        if (layout.bones[size_t(b)].kind == LaidBone::Kind::Trunk &&
            layout.bones[size_t(b)].part == 0 && trunkOfPiece[size_t(piece[size_t(near[k])])] < 0)
            trunkOfPiece[size_t(piece[size_t(near[k])])] = b;
    }
    const std::vector<int> outline = outlineVertices(mesh);
    const std::vector<double> depth = distancesFrom(graph, outline);
    for (int p : fallback) {
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
        trunkOfPiece[size_t(p)] = int(layout.bones.size());
        for (size_t k = 0; k < mine.size(); ++k) {
            LaidBone extra;
            extra.kind = k == 0 ? LaidBone::Kind::Trunk : LaidBone::Kind::Extra;
            extra.tree = -1;
            sources.push_back({mine[k], 0.0});
            labels.push_back(int(layout.bones.size()));
            parts.push_back(1);
            layout.bones.push_back(extra);
        }
    }

    // Bones that found no place on a skeleton (too short to split) are placed by distance below.
    while (int(layout.bones.size()) < bones) {
        LaidBone extra;
        extra.kind = LaidBone::Kind::Extra;
        extra.tree = -1;
        layout.bones.push_back(extra);
    }

    // Each vertex takes the bone of its nearest source along the mesh, never across the ground;
    // the ground, and what only the ground reaches (toes under a floor), go to the trunk.
    // `part` tells which branch (or the trunk, or the ground) it is nearest to, as a bone that
    // branches share holds together only within each branch.
    result.region.assign(n, -1);
    result.part.assign(n, 0);
    std::vector<char> walkable(n, 1);
    for (size_t v = 0; v < n; ++v) walkable[v] = ground[v] == 0;
    const auto assign = [&]() {
        std::vector<double> d;
        std::vector<int> nearest;
        spread(graph, sources, {}, d, nearest, &walkable);
        for (size_t v = 0; v < n; ++v) {
            result.region[v] = nearest[v] < 0 ? -1 : labels[size_t(nearest[v])];
            result.part[v] = nearest[v] < 0 ? 0 : parts[size_t(nearest[v])];
        }
        for (size_t v = 0; v < n; ++v)
            if (ground[v] != 0 || result.region[v] < 0) {
                const int t = trunkOfPiece[size_t(piece[v])];
                result.region[v] = t >= 0 ? t : 0;
                result.part[v] = 0;
            }
    };
    assign();
    // A bone too small to hold (fewer than four vertices) gives its vertices to its neighbours
    // and goes to the largest region instead, at its point farthest from that region's sources.
    for (int round = 0; round < 2 * bones; ++round) {
        std::vector<int> count(size_t(bones), 0);
        for (int r : result.region) ++count[size_t(r)];
        int weak = -1;
        for (int b = 0; b < int(layout.bones.size()); ++b)
            if (count[size_t(b)] < 4) weak = b;
        if (weak < 0) break;
        std::vector<std::pair<int, double>> kept;
        std::vector<int> keptLabels, keptParts;
        for (size_t k = 0; k < sources.size(); ++k)
            if (labels[k] != weak) {
                kept.push_back(sources[k]);
                keptLabels.push_back(labels[k]);
                keptParts.push_back(parts[k]);
            }
        sources = kept;
        labels = keptLabels;
        parts = keptParts;
        assign();
        std::fill(count.begin(), count.end(), 0);
        for (int r : result.region) ++count[size_t(r)];
        const int largest = int(std::max_element(count.begin(), count.end()) - count.begin());
        std::vector<char> inLargest(n, 0);
        std::vector<int> from;
        for (size_t v = 0; v < n; ++v)
            if (result.region[v] == largest) inLargest[v] = 1;
        for (size_t k = 0; k < sources.size(); ++k)
            if (labels[k] == largest) from.push_back(sources[k].first);
        if (from.empty()) break;
        const std::vector<double> d = distancesFrom(graph, from, &inLargest);
        int far = -1;
        for (size_t v = 0; v < n; ++v)
            if (inLargest[v] && d[v] != unreached && ground[v] == 0 &&
                (far < 0 || d[v] > d[size_t(far)]))
                far = int(v);
        if (far < 0) break;
        sources.push_back({far, 0.0});
        labels.push_back(weak);
        parts.push_back(1);
        LaidBone& lb = layout.bones[size_t(weak)];
        lb = LaidBone{};
        lb.kind = LaidBone::Kind::Extra;
        lb.from = largest;
        lb.tree = -1;
        assign();
    }

    result.bones = bones;
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
