#include "figure/ground.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<int, int>> runsOf(const Grid<uint8_t>& g, int y) {
    std::vector<std::pair<int, int>> runs;
    for (int x = 0; x < g.width;) {
        if (cell(g, x, y) == 0) {
            ++x;
            continue;
        }
        const int from = x;
        while (x < g.width && cell(g, x, y) != 0) ++x;
        runs.push_back({from, x});
    }
    return runs;
}

}  // namespace

Ground findGround(const Grid<uint8_t>& silhouette) {
    Ground ground;
    const auto [left, top, right, bottom] = boxOf(silhouette);
    if (bottom - top < 10) return ground;
    const int height = bottom - top, width = right - left;
    const auto longestRun = [&](int y) {
        std::pair<int, int> best{0, 0};
        for (const auto& r : runsOf(silhouette, y))
            if (r.second - r.first > best.second - best.first) best = r;
        return best;
    };
    const int wide = (3 * width + 9) / 10;
    // From the bottom up to the first row with a wide run: toes may stick out below a floor.
    int last = bottom - 1;
    while (last >= bottom - height / 10 && last >= top) {
        const auto r = longestRun(last);
        if (r.second - r.first >= wide) break;
        --last;
    }
    if (last < bottom - height / 10 || last < top) return ground;
    int first = last, widest = 0;
    while (first >= top) {
        const auto r = longestRun(first);
        if (r.second - r.first < wide) break;
        if (r.second - r.first > widest) {
            widest = r.second - r.first;
            ground.left = r.first;
            ground.right = r.second;
        }
        --first;
        if (last - first > height / 5) return ground;  // too thick to be a floor
    }
    ++first;
    if (first <= top) return ground;
    const auto above = runsOf(silhouette, first - 1);
    const int thickness = last + 1 - first;
    if (above.size() < 2 || widest < 3 * thickness) return ground;
    const int span = above.back().second - above.front().first;
    if (widest * 10 < 11 * span) return ground;
    ground.found = true;
    ground.top = first;
    ground.bottom = last + 1;
    ground.limbs = int(above.size());
    ground.feet = above;
    ground.wide = wide;
    return ground;
}

Grid<uint8_t> groundMask(const Grid<uint8_t>& silhouette, const Ground& ground) {
    Grid<uint8_t> mask = makeGrid<uint8_t>(silhouette.width, silhouette.height, 0);
    if (!ground.found) return mask;
    const int around = (ground.bottom - ground.top) / 2;
    for (int y = ground.top; y < ground.bottom; ++y)
        for (const auto& [from, to] : runsOf(silhouette, y)) {
            if (to - from < ground.wide) continue;
            for (int x = from; x < to; ++x) {
                bool underFoot = false;
                for (const auto& [l, r] : ground.feet)
                    underFoot = underFoot || (x >= l - around && x < r + around);
                if (!underFoot) cell(mask, x, y) = 255;
            }
        }
    return mask;
}
