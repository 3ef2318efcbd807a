#include "figure/bone_masks.h"

#include <algorithm>
#include <cmath>

#include "deform/shape_matching.h"

namespace {

uint8_t level(float weight) {
    if (!(weight > 0.0f)) return 0;
    return uint8_t(std::max(1L, std::lround(std::min(1.0f, weight) * 255.0f)));
}

}  // namespace

void vertexPixel(Vec2 v, int& x, int& y) {
    x = int(storedCoordinate(v.x));
    y = int(storedCoordinate(v.y));
}

std::vector<Grid<uint8_t>> paintBoneMasks(const FigureMesh& mesh, const BoneWeights& weights,
                                          int width, int height) {
    const int bones = weights.bones;
    std::vector<Grid<uint8_t>> masks(size_t(bones), makeGrid<uint8_t>(width, height, 0));
    const auto weightOf = [&](int v, int b) {
        return weights.weights[size_t(v) * size_t(bones) + size_t(b)];
    };
    // Each face, grown by a pixel and a half so that the pixels of its corners on the outline
    // are painted too, with its corners' weights blended across it.
    constexpr double grow = 1.5;
    for (const auto& f : mesh.faces) {
        const Vec2 a = mesh.vertices[size_t(f[0])], b = mesh.vertices[size_t(f[1])],
                   c = mesh.vertices[size_t(f[2])];
        const double area = twiceArea(a, b, c);
        if (area == 0.0) continue;
        const double sign = area > 0.0 ? 1.0 : -1.0;
        const Vec2 corners[3] = {a, b, c};
        double edgeLength[3];
        for (int k = 0; k < 3; ++k)
            edgeLength[k] = length(corners[(k + 2) % 3] - corners[(k + 1) % 3]);
        const int x0 = std::max(0, int(std::floor(std::min({a.x, b.x, c.x}) - grow)));
        const int x1 = std::min(width - 1, int(std::ceil(std::max({a.x, b.x, c.x}) + grow)));
        const int y0 = std::max(0, int(std::floor(std::min({a.y, b.y, c.y}) - grow)));
        const int y1 = std::min(height - 1, int(std::ceil(std::max({a.y, b.y, c.y}) + grow)));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const Vec2 p{x + 0.5, y + 0.5};
                double bary[3];
                bool inside = true;
                for (int k = 0; k < 3; ++k) {
                    bary[k] = sign * twiceArea(corners[(k + 1) % 3], corners[(k + 2) % 3], p) /
                              std::fabs(area);
                    // Distance past the edge opposite corner k, in pixels.
                    if (-bary[k] * std::fabs(area) / edgeLength[k] > grow) inside = false;
                }
                if (!inside) continue;
                for (int k = 0; k < 3; ++k) bary[k] = std::max(0.0, bary[k]);
                const double sum = bary[0] + bary[1] + bary[2];
                for (int bone = 0; bone < bones; ++bone) {
                    double w = 0.0;
                    for (int k = 0; k < 3; ++k) w += bary[k] * weightOf(f[size_t(k)], bone);
                    uint8_t& m = cell(masks[size_t(bone)], x, y);
                    m = std::max(m, level(float(w / sum)));
                }
            }
        }
    }
    // A vertex's own pixel holds its own weight.
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        int x, y;
        vertexPixel(mesh.vertices[v], x, y);
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        for (int bone = 0; bone < bones; ++bone)
            cell(masks[size_t(bone)], x, y) = level(weightOf(int(v), bone));
    }
    // No pixel may be within reach of a vertex that is not the bone's.
    for (int bone = 0; bone < bones; ++bone) {
        Grid<uint8_t>& mask = masks[size_t(bone)];
        Grid<uint8_t> forbidden = makeGrid<uint8_t>(width, height, 0);
        for (size_t v = 0; v < mesh.vertices.size(); ++v) {
            if (weightOf(int(v), bone) > 0.0f) continue;
            int x, y;
            vertexPixel(mesh.vertices[v], x, y);
            for (int yy = std::max(0, y - MASK_SEARCH_RADIUS);
                 yy <= std::min(height - 1, y + MASK_SEARCH_RADIUS); ++yy)
                for (int xx = std::max(0, x - MASK_SEARCH_RADIUS);
                     xx <= std::min(width - 1, x + MASK_SEARCH_RADIUS); ++xx) {
                    cell(mask, xx, yy) = 0;
                    // The weight window stops a pixel short of the membership square.
                    if (xx < x + MASK_SEARCH_RADIUS && yy < y + MASK_SEARCH_RADIUS)
                        cell(forbidden, xx, yy) = 1;
                }
        }
        // A member whose pixels all went, because a vertex of another part lies within reach
        // across a narrow gap, gets the nearest pixel that gives that vertex no weight: one
        // outside its weight window (-7 to +6 each way), which at worst makes it a member that
        // weighs nothing and so takes no part in the bone.
        for (size_t v = 0; v < mesh.vertices.size(); ++v) {
            const float w = weightOf(int(v), bone);
            if (w < 0.25f) continue;
            int x, y;
            vertexPixel(mesh.vertices[v], x, y);
            int best = -1;
            double bestDistance = 1e30;
            bool painted = false;
            for (int dy = -MASK_SEARCH_RADIUS; dy < MASK_SEARCH_RADIUS && !painted; ++dy)
                for (int dx = -MASK_SEARCH_RADIUS; dx < MASK_SEARCH_RADIUS; ++dx) {
                    const int xx = x + dx, yy = y + dy;
                    if (xx < 0 || yy < 0 || xx >= width || yy >= height) continue;
                    if (cell(mask, xx, yy) != 0) {
                        painted = true;
                        break;
                    }
                    const double d = dx * dx + dy * dy;
                    if (cell(forbidden, xx, yy) == 0 && d < bestDistance) {
                        bestDistance = d;
                        best = yy * width + xx;
                    }
                }
            if (!painted && best >= 0) mask.cells[size_t(best)] = level(w);
        }
    }
    return masks;
}
