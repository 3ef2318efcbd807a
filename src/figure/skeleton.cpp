#include "figure/skeleton.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace {

// The eight neighbours in the order the thinning reads them: north, then clockwise.
constexpr int ringX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int ringY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

struct Cells {
    int width = 0, height = 0;
    std::vector<uint8_t> on;
    size_t index(int x, int y) const { return size_t(y) * size_t(width) + size_t(x); }
};

int ringMask(const Cells& c, int x, int y) {
    int mask = 0;
    for (int k = 0; k < 8; ++k)
        if (c.on[c.index(x + ringX[k], y + ringY[k])] != 0) mask |= 1 << k;
    return mask;
}

// How many separate groups the set neighbours form (8-connected among themselves).
int groupsIn(int mask) {
    int parent[8];
    std::iota(parent, parent + 8, 0);
    const auto find = [&](int a) {
        while (parent[a] != a) a = parent[a] = parent[parent[a]];
        return a;
    };
    for (int k = 0; k < 8; ++k) {
        if ((mask >> k & 1) == 0) continue;
        const int next = (k + 1) % 8;
        if (mask >> next & 1) parent[find(k)] = find(next);
        // A side neighbour touches the next side neighbour across the corner.
        const int side = (k + 2) % 8;
        if (k % 2 == 0 && (mask >> side & 1)) parent[find(k)] = find(side);
    }
    int groups = 0;
    for (int k = 0; k < 8; ++k)
        if ((mask >> k & 1) && find(k) == k) ++groups;
    return groups;
}

// Zhang and Suen's two-pass thinning, visiting only the cells on the shrinking border.
void thin(Cells& c) {
    std::vector<size_t> border;
    std::vector<uint8_t> listed(c.on.size(), 0);
    for (int y = 1; y + 1 < c.height; ++y)
        for (int x = 1; x + 1 < c.width; ++x) {
            if (c.on[c.index(x, y)] == 0 || ringMask(c, x, y) == 0xff) continue;
            border.push_back(c.index(x, y));
            listed[c.index(x, y)] = 1;
        }
    std::vector<size_t> remove;
    for (bool changed = true; changed;) {
        changed = false;
        for (int pass = 0; pass < 2; ++pass) {
            remove.clear();
            for (size_t i : border) {
                if (c.on[i] == 0) continue;
                const int x = int(i % size_t(c.width)), y = int(i / size_t(c.width));
                const int m = ringMask(c, x, y);
                const int set = __builtin_popcount(unsigned(m));
                if (set < 2 || set > 6) continue;
                int rises = 0;
                for (int k = 0; k < 8; ++k) rises += !(m >> k & 1) && (m >> ((k + 1) % 8) & 1);
                if (rises != 1) continue;
                const bool n = m & 1, e = m >> 2 & 1, s = m >> 4 & 1, w = m >> 6 & 1;
                if (pass == 0 ? (n && e && s) || (e && s && w) : (n && e && w) || (n && s && w))
                    continue;
                remove.push_back(i);
            }
            for (size_t i : remove) c.on[i] = 0;
            changed = changed || !remove.empty();
            for (size_t i : remove) {
                const int x = int(i % size_t(c.width)), y = int(i / size_t(c.width));
                for (int k = 0; k < 8; ++k) {
                    const size_t j = c.index(x + ringX[k], y + ringY[k]);
                    if (c.on[j] != 0 && listed[j] == 0) {
                        listed[j] = 1;
                        border.push_back(j);
                    }
                }
            }
            border.erase(std::remove_if(border.begin(), border.end(),
                                        [&](size_t i) { return c.on[i] == 0; }),
                         border.end());
        }
    }
    // The thinning leaves corners two cells thick where a line turns: a cell that has a free
    // side and whose neighbours hang together without it goes, so that only forks and ends are
    // left with other than two neighbours.
    for (bool changed = true; changed;) {
        changed = false;
        for (size_t i : border) {
            if (c.on[i] == 0) continue;
            const int x = int(i % size_t(c.width)), y = int(i / size_t(c.width));
            const int m = ringMask(c, x, y);
            const int set = __builtin_popcount(unsigned(m));
            const bool freeSide = (m & 0x55) != 0x55;
            if (set >= 2 && set <= 6 && freeSide && groupsIn(m) == 1) {
                c.on[i] = 0;
                changed = true;
            }
        }
    }
}

struct Link {
    int a, b;
    double narrow;  // the smaller radius of its ends
};

int findRoot(std::vector<int>& parent, int a) {
    while (parent[size_t(a)] != a) a = parent[size_t(a)] = parent[size_t(parent[size_t(a)])];
    return a;
}

double distanceBetween(const std::vector<SkeletonPoint>& p, int a, int b) {
    return length(p[size_t(a)].at - p[size_t(b)].at);
}

}  // namespace

std::vector<std::vector<int>> childrenOf(const Skeleton& skeleton) {
    std::vector<std::vector<int>> children(skeleton.points.size());
    for (size_t i = 0; i < skeleton.points.size(); ++i)
        if (skeleton.points[i].parent >= 0)
            children[size_t(skeleton.points[i].parent)].push_back(int(i));
    return children;
}

double linkLength(const Skeleton& skeleton, int point) {
    const SkeletonPoint& p = skeleton.points[size_t(point)];
    return p.parent < 0 ? 0.0 : length(p.at - skeleton.points[size_t(p.parent)].at);
}

Skeleton skeletonOf(const DistanceField& field, int step) {
    step = std::max(1, step);
    Cells c;
    c.width = (field.width + step - 1) / step + 2;
    c.height = (field.height + step - 1) / step + 2;
    c.on.assign(size_t(c.width) * size_t(c.height), 0);
    const auto centre = [step](int x, int y) {
        return Vec2{(x - 1 + 0.5) * step, (y - 1 + 0.5) * step};
    };
    // On a coarse grid the silhouette is taken a little thinner, so that a slit narrower than a
    // cell still parts the limbs on either side of it.
    const float inside = step > 1 ? -0.25f * float(step) : 0.0f;
    for (int y = 1; y + 1 < c.height; ++y)
        for (int x = 1; x + 1 < c.width; ++x)
            c.on[c.index(x, y)] = sampleField(field, centre(x, y)) < inside ? 1 : 0;
    thin(c);

    std::vector<SkeletonPoint> points;
    std::vector<int> id(c.on.size(), -1);
    for (int y = 1; y + 1 < c.height; ++y)
        for (int x = 1; x + 1 < c.width; ++x) {
            if (c.on[c.index(x, y)] == 0) continue;
            id[c.index(x, y)] = int(points.size());
            SkeletonPoint p;
            p.at = centre(x, y);
            p.radius = std::max(0.5, -double(sampleField(field, p.at)));
            points.push_back(p);
        }

    // The widest spanning forest: each loop loses its narrowest link.
    std::vector<Link> links;
    for (int y = 1; y + 1 < c.height; ++y)
        for (int x = 1; x + 1 < c.width; ++x) {
            const int a = id[c.index(x, y)];
            if (a < 0) continue;
            for (int k = 2; k <= 5; ++k) {  // east to south-west: each link once
                const int b = id[c.index(x + ringX[k], y + ringY[k])];
                if (b >= 0)
                    links.push_back(
                        {a, b, std::min(points[size_t(a)].radius, points[size_t(b)].radius)});
            }
        }
    std::stable_sort(links.begin(), links.end(),
                     [](const Link& l, const Link& r) { return l.narrow > r.narrow; });
    std::vector<int> group(points.size());
    std::iota(group.begin(), group.end(), 0);
    std::vector<std::vector<int>> next(points.size());
    for (const Link& l : links) {
        const int ga = findRoot(group, l.a), gb = findRoot(group, l.b);
        if (ga == gb) continue;
        group[size_t(ga)] = gb;
        next[size_t(l.a)].push_back(l.b);
        next[size_t(l.b)].push_back(l.a);
    }

    // Spurs: an end whose path back to a fork sticks out of the fork's width by less than its
    // own width, or by less than three cells, is a bump of the outline, not a limb. The fork
    // loses its least prominent spur at a time, as the next one may then be its main line.
    std::vector<uint8_t> gone(points.size(), 0);
    const auto degree = [&](int v) {
        int d = 0;
        for (int u : next[size_t(v)]) d += gone[size_t(u)] == 0;
        return d;
    };
    for (bool pruned = true; pruned;) {
        pruned = false;
        std::vector<std::pair<double, std::vector<int>>> best(points.size());
        std::vector<uint8_t> has(points.size(), 0);
        for (size_t s = 0; s < points.size(); ++s) {
            if (gone[s] != 0 || degree(int(s)) != 1) continue;
            std::vector<int> path{int(s)};
            int previous = -1, at = int(s);
            double along = 0.0, widths = points[s].radius;
            int fork = -1;
            while (true) {
                int onward = -1;
                for (int u : next[size_t(at)])
                    if (gone[size_t(u)] == 0 && u != previous) onward = u;
                if (onward < 0) break;  // the whole tree is one line
                along += distanceBetween(points, at, onward);
                previous = at;
                at = onward;
                if (degree(at) >= 3) {
                    fork = at;
                    break;
                }
                path.push_back(at);
                widths += points[size_t(at)].radius;
            }
            if (fork < 0) continue;
            const double stickingOut = along - points[size_t(fork)].radius;
            const double width = widths / double(path.size());
            const double least = std::max(1.2 * width, 3.0 * step);
            if (stickingOut >= least) continue;
            if (has[size_t(fork)] == 0 || stickingOut < best[size_t(fork)].first) {
                has[size_t(fork)] = 1;
                best[size_t(fork)] = {stickingOut, path};
            }
        }
        for (size_t f = 0; f < points.size(); ++f) {
            if (has[f] == 0 || degree(int(f)) < 3) continue;
            for (int v : best[f].second) gone[size_t(v)] = 1;
            pruned = true;
        }
    }

    // Keep what is left, and hang each tree from its point of balance: the point whose removal
    // leaves no part heavier than half, weighing every point by its width (the area it stands
    // for), so that the root falls in the trunk rather than in a long thin limb.
    Skeleton skeleton;
    std::vector<int> kept(points.size(), -1);
    for (size_t i = 0; i < points.size(); ++i)
        if (gone[i] == 0) {
            kept[i] = int(skeleton.points.size());
            skeleton.points.push_back(points[i]);
        }
    std::vector<std::vector<int>> adjacent(skeleton.points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        if (kept[i] < 0) continue;
        for (int u : next[i])
            if (kept[size_t(u)] >= 0) adjacent[size_t(kept[i])].push_back(kept[size_t(u)]);
    }
    std::vector<SkeletonPoint>& p = skeleton.points;
    std::vector<uint8_t> seen(p.size(), 0), placed(p.size(), 0);
    std::vector<double> below(p.size(), 0.0);
    // Hangs the tree of `from` from it, in the order it reaches the points.
    const auto hang = [&](int from, std::vector<uint8_t>& reached) {
        std::vector<int> order{from};
        reached[size_t(from)] = 1;
        p[size_t(from)].parent = -1;
        for (size_t k = 0; k < order.size(); ++k)
            for (int u : adjacent[size_t(order[k])])
                if (reached[size_t(u)] == 0) {
                    reached[size_t(u)] = 1;
                    p[size_t(u)].parent = order[k];
                    order.push_back(u);
                }
        return order;
    };
    for (size_t start = 0; start < p.size(); ++start) {
        if (seen[start] != 0) continue;
        // Order the tree from an arbitrary point, then weigh each point's side.
        const std::vector<int> order = hang(int(start), seen);
        for (size_t k = order.size(); k-- > 0;) {
            const int v = order[k];
            below[size_t(v)] += p[size_t(v)].radius;
            if (p[size_t(v)].parent >= 0) below[size_t(p[size_t(v)].parent)] += below[size_t(v)];
        }
        const double total = below[start];
        int root = int(start);
        double lightest = total;
        for (int v : order) {
            double heaviest = total - below[size_t(v)];
            for (int u : adjacent[size_t(v)])
                if (p[size_t(u)].parent == v) heaviest = std::max(heaviest, below[size_t(u)]);
            if (heaviest < lightest) {
                lightest = heaviest;
                root = v;
            }
        }
        hang(root, placed);
        skeleton.roots.push_back(root);
    }
    return skeleton;
}
