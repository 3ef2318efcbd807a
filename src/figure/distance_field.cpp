#include "figure/distance_field.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace {

constexpr float farOutside = 1e6f;

cv::Mat matOf(const Grid<uint8_t>& grid) {
    return cv::Mat(grid.height, grid.width, CV_8U, const_cast<uint8_t*>(grid.cells.data()));
}

}  // namespace

float sampleField(const DistanceField& field, Vec2 p) {
    const double u = p.x - 0.5, v = p.y - 0.5;
    if (!(u >= 0.0 && v >= 0.0 && u <= field.width - 1.0 && v <= field.height - 1.0)) {
        return farOutside;
    }
    const int x = std::min(int(u), field.width - 2 < 0 ? 0 : field.width - 2);
    const int y = std::min(int(v), field.height - 2 < 0 ? 0 : field.height - 2);
    const int x1 = std::min(x + 1, field.width - 1), y1 = std::min(y + 1, field.height - 1);
    const float fx = float(u - x), fy = float(v - y);
    const float top = cell(field, x, y) * (1.0f - fx) + cell(field, x1, y) * fx;
    const float bottom = cell(field, x, y1) * (1.0f - fx) + cell(field, x1, y1) * fx;
    return top * (1.0f - fy) + bottom * fy;
}

DistanceField fieldOfRegion(const Grid<uint8_t>& inside) {
    const cv::Mat in = matOf(inside) != 0;
    cv::Mat out;
    cv::bitwise_not(in, out);
    // Each transform gives the distance to the nearest zero cell: from outside cells to the
    // region, and from region cells to the outside.
    cv::Mat toRegion, toOutside;
    cv::distanceTransform(out, toRegion, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    cv::distanceTransform(in, toOutside, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    DistanceField field = makeGrid<float>(inside.width, inside.height, 0.0f);
    for (int y = 0; y < field.height; ++y) {
        const uint8_t* i = in.ptr<uint8_t>(y);
        const float* a = toRegion.ptr<float>(y);
        const float* b = toOutside.ptr<float>(y);
        for (int x = 0; x < field.width; ++x)
            cell(field, x, y) = i[x] != 0 ? 0.5f - b[x] : a[x] - 0.5f;
    }
    return field;
}

DistanceField fieldOfFormula(const std::function<double(Vec2)>& distance, int width, int height,
                             double reach) {
    DistanceField field = makeGrid<float>(width, height, 0.0f);
    constexpr int block = 16;
    for (int by = 0; by < height; by += block) {
        for (int bx = 0; bx < width; bx += block) {
            const double middle = distance({bx + block * 0.5, by + block * 0.5});
            const bool far = middle > reach + block;
            for (int y = by; y < std::min(height, by + block); ++y)
                for (int x = bx; x < std::min(width, bx + block); ++x)
                    cell(field, x, y) = far ? float(middle) : float(distance({x + 0.5, y + 0.5}));
        }
    }
    return field;
}

Grid<uint8_t> regionWithin(const DistanceField& field, float level) {
    Grid<uint8_t> region = makeGrid<uint8_t>(field.width, field.height, 0);
    for (size_t i = 0; i < field.cells.size(); ++i)
        region.cells[i] = field.cells[i] <= level ? 255 : 0;
    return region;
}
