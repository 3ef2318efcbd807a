#include "figure/rig_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <utility>

namespace {

constexpr double never = -std::numeric_limits<double>::infinity();

struct TreeWalk {
    std::vector<int> order;  // from the root down
    std::vector<double> depth, height;
};

TreeWalk walk(const Skeleton& s, const std::vector<std::vector<int>>& children, int root) {
    TreeWalk w;
    w.depth.assign(s.points.size(), 0.0);
    w.height.assign(s.points.size(), 0.0);
    w.order.push_back(root);
    for (size_t k = 0; k < w.order.size(); ++k)
        for (int c : children[size_t(w.order[k])]) {
            w.depth[size_t(c)] = w.depth[size_t(w.order[k])] + linkLength(s, c);
            w.order.push_back(c);
        }
    for (size_t k = w.order.size(); k-- > 0;) {
        const int v = w.order[k];
        for (int c : children[size_t(v)])
            w.height[size_t(v)] =
                std::max(w.height[size_t(v)], w.height[size_t(c)] + linkLength(s, c));
    }
    return w;
}

// Distances along the tree from `from` to every point of `among` (others stay infinite).
std::vector<double> along(const Skeleton& s, const std::vector<std::vector<int>>& children,
                          const std::vector<char>& among, int from) {
    std::vector<double> d(s.points.size(), std::numeric_limits<double>::infinity());
    std::vector<int> stack{from};
    d[size_t(from)] = 0.0;
    while (!stack.empty()) {
        const int v = stack.back();
        stack.pop_back();
        const auto visit = [&](int u, double l) {
            if (among[size_t(u)] == 0 || d[size_t(u)] <= d[size_t(v)] + l) return;
            d[size_t(u)] = d[size_t(v)] + l;
            stack.push_back(u);
        };
        for (int c : children[size_t(v)]) visit(c, linkLength(s, c));
        if (s.points[size_t(v)].parent >= 0) visit(s.points[size_t(v)].parent, linkLength(s, v));
    }
    return d;
}

struct Piece {
    int branch;
    double from, to;  // along the branch's main line, from the trunk
};

}  // namespace

RigLayout layOutBones(const Skeleton& s, const std::vector<int>& trees,
                      const std::vector<int>& budgets, double shortest) {
    RigLayout layout;
    layout.bone.assign(s.points.size(), -1);
    layout.branchOf.assign(s.points.size(), -1);
    const std::vector<std::vector<int>> children = childrenOf(s);
    for (size_t t = 0; t < trees.size(); ++t) {
        const int root = s.roots[size_t(trees[t])];
        const int budget = std::max(1, budgets[t]);
        const TreeWalk w = walk(s, children, root);

        // A part that hangs off the trunk is a limb when, at each of its forks, whatever leaves
        // the main line sticks out of the fork by less than half the way from the trunk to the
        // fork: fingers on an arm, ears on a head. `worst` keeps, per point, the largest
        // 2 * sticking-out - depth of the forks below it, so that the test is one comparison.
        std::vector<double> worst(s.points.size(), never);
        for (size_t k = w.order.size(); k-- > 0;) {
            const int v = w.order[k];
            std::vector<double> reach;
            for (int c : children[size_t(v)]) {
                worst[size_t(v)] = std::max(worst[size_t(v)], worst[size_t(c)]);
                reach.push_back(w.height[size_t(c)] + linkLength(s, c));
            }
            if (reach.size() >= 2) {
                std::sort(reach.rbegin(), reach.rend());
                const double out = reach[1] - s.points[size_t(v)].radius;
                worst[size_t(v)] = std::max(worst[size_t(v)], 2.0 * out - w.depth[size_t(v)]);
            }
        }
        std::vector<char> trunk(s.points.size(), 0);
        const size_t firstBranch = layout.branches.size();
        std::vector<int> stack{root};
        trunk[size_t(root)] = 1;
        while (!stack.empty()) {
            const int v = stack.back();
            stack.pop_back();
            for (int c : children[size_t(v)]) {
                if (worst[size_t(c)] <= -w.depth[size_t(v)]) {
                    SkeletonBranch b;
                    b.start = c;
                    b.length = w.height[size_t(c)] + linkLength(s, c);
                    int tip = c;
                    while (!children[size_t(tip)].empty()) {
                        int next = children[size_t(tip)][0];
                        for (int u : children[size_t(tip)])
                            if (w.height[size_t(u)] + linkLength(s, u) >
                                w.height[size_t(next)] + linkLength(s, next))
                                next = u;
                        tip = next;
                    }
                    b.tip = tip;
                    layout.branches.push_back(b);
                } else {
                    trunk[size_t(c)] = 1;
                    stack.push_back(c);
                }
            }
        }
        std::stable_sort(
            layout.branches.begin() + long(firstBranch), layout.branches.end(),
            [](const SkeletonBranch& a, const SkeletonBranch& b) { return a.length > b.length; });
        const size_t branchCount = layout.branches.size() - firstBranch;

        // Each branch point's place along its branch's main line, measured from the trunk; the
        // stretch within the fork's own width is still the trunk's.
        std::vector<int> branchOf(s.points.size(), -1);
        std::vector<double> place(s.points.size(), 0.0);
        for (size_t b = firstBranch; b < layout.branches.size(); ++b) {
            const SkeletonBranch& br = layout.branches[b];
            std::vector<char> main(s.points.size(), 0);
            for (int v = br.tip; v != br.start; v = s.points[size_t(v)].parent) main[size_t(v)] = 1;
            main[size_t(br.start)] = 1;
            const int fork = s.points[size_t(br.start)].parent;
            const double base = w.depth[size_t(fork)];
            std::vector<int> inside{br.start};
            for (size_t k = 0; k < inside.size(); ++k) {
                const int v = inside[k];
                branchOf[size_t(v)] = int(b);
                place[size_t(v)] = main[size_t(v)] ? w.depth[size_t(v)] - base
                                                   : place[size_t(s.points[size_t(v)].parent)];
                for (int c : children[size_t(v)]) inside.push_back(c);
            }
        }

        // Bones: the trunk's, then the branches', sharing when there are too few.
        const int trunkBone = int(layout.bones.size());
        int widest = root;
        for (int v : w.order)
            if (trunk[size_t(v)] && s.points[size_t(v)].radius > s.points[size_t(widest)].radius)
                widest = v;
        LaidBone tb;
        tb.kind = LaidBone::Kind::Trunk;
        tb.tree = trees[t];
        tb.place = widest;
        layout.bones.push_back(tb);
        const int forBranches = budget - 1;
        std::vector<std::vector<int>> groups;
        for (size_t b = 0; b < branchCount; ++b) groups.push_back({int(firstBranch + b)});
        const auto groupLength = [&](const std::vector<int>& g) {
            double most = 0.0;
            for (int b : g) most = std::max(most, layout.branches[size_t(b)].length);
            return most;
        };
        const auto forkAt = [&](int b) {
            return s.points[size_t(s.points[size_t(layout.branches[size_t(b)].start)].parent)].at;
        };
        while (forBranches > 0 && int(groups.size()) > forBranches) {
            size_t shortestGroup = 0;
            for (size_t g = 1; g < groups.size(); ++g)
                if (groupLength(groups[g]) < groupLength(groups[shortestGroup])) shortestGroup = g;
            // Its neighbour: the group whose fork or tip lies nearest.
            size_t neighbour = shortestGroup == 0 ? 1 : 0;
            double nearest = std::numeric_limits<double>::infinity();
            for (size_t g = 0; g < groups.size(); ++g) {
                if (g == shortestGroup) continue;
                for (int a : groups[shortestGroup])
                    for (int b : groups[g]) {
                        const double d =
                            length(forkAt(a) - forkAt(b)) +
                            0.5 * length(s.points[size_t(layout.branches[size_t(a)].tip)].at -
                                         s.points[size_t(layout.branches[size_t(b)].tip)].at);
                        if (d < nearest) {
                            nearest = d;
                            neighbour = g;
                        }
                    }
            }
            groups[neighbour].insert(groups[neighbour].end(), groups[shortestGroup].begin(),
                                     groups[shortestGroup].end());
            groups.erase(groups.begin() + long(shortestGroup));
        }
        std::vector<Piece> pieces;
        if (forBranches > 0) {
            for (const std::vector<int>& g : groups) {
                SkeletonBranch& first = layout.branches[size_t(g[0])];
                first.bone = int(layout.bones.size());
                for (size_t k = 1; k < g.size(); ++k) {
                    layout.branches[size_t(g[k])].bone = first.bone;
                    first.shares.push_back(g[k]);
                }
                LaidBone bb;
                bb.kind = LaidBone::Kind::Branch;
                bb.branch = g[0];
                bb.tree = trees[t];
                layout.bones.push_back(bb);
                if (g.size() == 1) {
                    const int fork = s.points[size_t(first.start)].parent;
                    pieces.push_back({g[0], s.points[size_t(fork)].radius, first.length});
                }
            }
        } else {
            for (size_t b = firstBranch; b < layout.branches.size(); ++b)
                layout.branches[b].bone = trunkBone;
        }

        // Bones to spare: each long branch in two, longest first; then the trunk; then the
        // longest part of anything, again and again.
        int spare = budget - 1 - int(groups.size());
        if (forBranches <= 0) spare = 0;
        std::vector<std::vector<Piece>> split(layout.branches.size());
        for (const Piece& p : pieces) split[size_t(p.branch)].push_back(p);
        std::vector<int> trunkSeeds{widest};
        const auto splitLongest = [&](bool onlyWhole) {
            int best = -1;
            size_t bestPart = 0;
            double longest = 0.0;
            for (size_t b = 0; b < split.size(); ++b) {
                if (onlyWhole && split[b].size() != 1) continue;
                for (size_t k = 0; k < split[b].size(); ++k) {
                    const double l = split[b][k].to - split[b][k].from;
                    if (l >= shortest && l > longest) {
                        longest = l;
                        best = int(b);
                        bestPart = k;
                    }
                }
            }
            if (best < 0) return false;
            std::vector<Piece>& parts = split[size_t(best)];
            const Piece p = parts[bestPart];
            const double middle = 0.5 * (p.from + p.to);
            parts[bestPart].to = middle;
            parts.insert(parts.begin() + long(bestPart) + 1, Piece{best, middle, p.to});
            return true;
        };
        std::vector<char> trunkPoints = trunk;
        const auto splitTrunk = [&]() {
            // The trunk point farthest along the tree from every bone it has so far.
            std::vector<double> nearest(s.points.size(), std::numeric_limits<double>::infinity());
            for (int seed : trunkSeeds) {
                const std::vector<double> d = along(s, children, trunkPoints, seed);
                for (size_t v = 0; v < d.size(); ++v) nearest[v] = std::min(nearest[v], d[v]);
            }
            int far = -1;
            for (int v : w.order)
                if (trunkPoints[size_t(v)] && nearest[size_t(v)] >= shortest &&
                    (far < 0 || nearest[size_t(v)] > nearest[size_t(far)]))
                    far = v;
            if (far < 0) return false;
            trunkSeeds.push_back(far);
            return true;
        };
        for (int round = 0; spare > 0; ++round) {
            bool done = false;
            if (round == 0)
                while (spare > 0 && splitLongest(true)) --spare;
            if (spare > 0 && round == 0 && splitTrunk()) --spare, done = true;
            if (spare > 0 && round > 0) {
                done = splitLongest(false) || splitTrunk();
                if (done) --spare;
            }
            if (!done && round > 0) break;
        }

        // The parts of split branches become bones of their own, in order from the trunk out;
        // `laterParts` keeps the bone of each branch's second part, the others follow it.
        std::vector<int> laterParts(layout.branches.size(), -1);
        for (size_t b = 0; b < split.size(); ++b) {
            if (split[b].size() < 2) continue;
            const int first = layout.branches[b].bone;
            layout.bones[size_t(first)].parts = int(split[b].size());
            laterParts[b] = int(layout.bones.size());
            for (size_t k = 1; k < split[b].size(); ++k) {
                LaidBone pb = layout.bones[size_t(first)];
                pb.part = int(k);
                layout.bones.push_back(pb);
            }
        }
        // The trunk's extra bones.
        std::vector<int> trunkBones{trunkBone};
        for (size_t k = 1; k < trunkSeeds.size(); ++k) {
            LaidBone eb;
            eb.kind = LaidBone::Kind::Trunk;
            eb.tree = trees[t];
            eb.part = int(k);
            eb.place = trunkSeeds[k];
            trunkBones.push_back(int(layout.bones.size()));
            layout.bones.push_back(eb);
        }

        // Every point's bone.
        std::vector<double> nearestSeed(s.points.size(), std::numeric_limits<double>::infinity());
        for (size_t k = 0; k < trunkSeeds.size(); ++k) {
            const std::vector<double> d = along(s, children, trunkPoints, trunkSeeds[k]);
            for (int v : w.order)
                if (trunkPoints[size_t(v)] && d[size_t(v)] < nearestSeed[size_t(v)]) {
                    nearestSeed[size_t(v)] = d[size_t(v)];
                    layout.bone[size_t(v)] = trunkBones[k];
                }
        }
        for (int v : w.order) {
            if (trunk[size_t(v)]) continue;
            const int b = branchOf[size_t(v)];
            if (b < 0) continue;
            const SkeletonBranch& br = layout.branches[size_t(b)];
            const int fork = s.points[size_t(br.start)].parent;
            if (place[size_t(v)] < s.points[size_t(fork)].radius) {
                layout.branchOf[size_t(v)] = -1;
                layout.bone[size_t(v)] =
                    layout.bone[size_t(fork)] >= 0 ? layout.bone[size_t(fork)] : trunkBone;
                continue;
            }
            layout.bone[size_t(v)] = br.bone;
            layout.branchOf[size_t(v)] = b;
            const std::vector<Piece>& parts = split[size_t(b)];
            for (size_t k = 1; k < parts.size(); ++k)
                if (place[size_t(v)] >= parts[k].from)
                    layout.bone[size_t(v)] = laterParts[size_t(b)] + int(k) - 1;
        }
        // Each branch bone's place: its skeleton point nearest the middle of its stretch.
        for (size_t bone = size_t(trunkBone); bone < layout.bones.size(); ++bone) {
            LaidBone& lb = layout.bones[bone];
            if (lb.kind != LaidBone::Kind::Branch) continue;
            const SkeletonBranch& br = layout.branches[size_t(lb.branch)];
            const std::vector<Piece>& parts = split[size_t(lb.branch)];
            const int fork = s.points[size_t(br.start)].parent;
            const double from =
                parts.empty() ? s.points[size_t(fork)].radius : parts[size_t(lb.part)].from;
            const double to = parts.empty() ? br.length : parts[size_t(lb.part)].to;
            const double middle = 0.5 * (from + to);
            double off = std::numeric_limits<double>::infinity();
            for (int v = br.tip;; v = s.points[size_t(v)].parent) {
                if (std::fabs(place[size_t(v)] - middle) < off) {
                    off = std::fabs(place[size_t(v)] - middle);
                    lb.place = v;
                }
                if (v == br.start) break;
            }
        }
    }
    return layout;
}
