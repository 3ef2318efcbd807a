#include "figure/delaunay.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <unordered_map>

namespace {

uint64_t keyOf(float x, float y) {
    uint32_t a, b;
    std::memcpy(&a, &x, 4);
    std::memcpy(&b, &y, 4);
    return (uint64_t(a) << 32) | b;
}

}  // namespace

std::vector<std::array<int, 3>> delaunayTriangles(const std::vector<Vec2>& points) {
    std::vector<std::array<int, 3>> triangles;
    if (points.size() < 3) return triangles;
    double minX = points[0].x, maxX = minX, minY = points[0].y, maxY = minY;
    for (const Vec2& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const cv::Rect box(int(std::floor(minX)) - 2, int(std::floor(minY)) - 2,
                       int(std::ceil(maxX - minX)) + 5, int(std::ceil(maxY - minY)) + 5);
    cv::Subdiv2D subdivision(box);
    std::unordered_map<uint64_t, int> index;
    index.reserve(points.size() * 2);
    std::vector<cv::Point2f> inserted;
    inserted.reserve(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const cv::Point2f p(float(points[i].x), float(points[i].y));
        if (!index.emplace(keyOf(p.x, p.y), int(i)).second) continue;
        inserted.push_back(p);
    }
    subdivision.insert(inserted);
    std::vector<cv::Vec6f> list;
    subdivision.getTriangleList(list);
    triangles.reserve(list.size());
    for (const cv::Vec6f& t : list) {
        std::array<int, 3> face{};
        bool known = true;
        for (int k = 0; k < 3 && known; ++k) {
            const auto it = index.find(keyOf(t[2 * k], t[2 * k + 1]));
            known = it != index.end();
            if (known) face[size_t(k)] = it->second;
        }
        if (known) triangles.push_back(face);
    }
    return triangles;
}
