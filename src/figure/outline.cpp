#include "figure/outline.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "figure/size_field.h"

namespace {

int pieceAt(const Grid<int32_t>& piece, Vec2 p) {
    if (piece.cells.empty()) return 1;
    const int x = int(std::floor(p.x)), y = int(std::floor(p.y));
    return insideGrid(piece, x, y) ? cell(piece, x, y) : 0;
}

// Walks the traced pixel chain, taking each time the longest side that the band and the size
// field allow.
std::vector<Vec2> simplifiedChain(const std::vector<Vec2>& chain, const DistanceField& field,
                                  const Grid<int32_t>& piece, int pieceId, const Grid<float>& size,
                                  const OutlineBand& band) {
    const size_t n = chain.size();
    std::vector<Vec2> points;
    size_t i = 0;
    while (i < n) {
        points.push_back(chain[i]);
        const double limit = sampleSize(size, chain[i]);
        size_t best = i + 1;
        int misses = 0;
        // A side that leaves the band may be followed by longer ones that keep to it: the
        // traced chain steps along pixels.
        for (size_t j = i + 1; j <= n && misses < 4; ++j) {
            const Vec2 b = chain[j % n];
            const double side = length(b - chain[i]);
            if (side > std::min(limit, double(sampleSize(size, b)))) break;
            if (!sideInBand(field, piece, pieceId, chain[i], b, band)) {
                ++misses;
                continue;
            }
            misses = 0;
            best = j;
        }
        i = best;
    }
    // A short last side closes the loop: drop its start when the side before can reach over.
    if (points.size() > 3) {
        const Vec2 last = points.back(), before = points[points.size() - 2];
        const double lastSide = length(points.front() - last);
        const double reach = length(points.front() - before);
        if (lastSide < 0.5 * length(last - before) && reach <= 1.2 * sampleSize(size, before) &&
            sideInBand(field, piece, pieceId, before, points.front(), band)) {
            points.pop_back();
        }
    }
    return points;
}

}  // namespace

bool sideInBand(const DistanceField& field, const Grid<int32_t>& piece, int pieceId, Vec2 a, Vec2 b,
                const OutlineBand& band) {
    const double side = length(b - a);
    const int steps = std::max(1, int(std::ceil(side / 0.5)));
    for (int k = 0; k <= steps; ++k) {
        const Vec2 p = a + (b - a) * (double(k) / steps);
        const float f = sampleField(field, p);
        if (f < band.inner || f > band.outer) return false;
        if (pieceAt(piece, p) != pieceId) return false;
    }
    return true;
}

std::vector<Outline> traceOutlines(const DistanceField& field, const Grid<int32_t>& piece,
                                   const Grid<float>& size, const OutlineBand& band) {
    std::vector<Outline> outlines;
    const Grid<uint8_t> region = regionWithin(field, band.grow);
    const cv::Mat grown(region.height, region.width, CV_8U,
                        const_cast<uint8_t*>(region.cells.data()));
    if (cv::countNonZero(grown) == 0) return outlines;
    const cv::Rect box = cv::boundingRect(grown);
    int pieces = 1;
    for (int32_t p : piece.cells) pieces = std::max(pieces, int(p));
    for (int id = 1; id <= pieces; ++id) {
        // A pixel border around the box keeps every contour off the edge of the picture.
        cv::Mat mine(box.height + 2, box.width + 2, CV_8U, cv::Scalar(0));
        bool any = false;
        for (int y = 0; y < box.height; ++y) {
            for (int x = 0; x < box.width; ++x) {
                const int gx = box.x + x, gy = box.y + y;
                if (cell(region, gx, gy) == 0) continue;
                if (!piece.cells.empty() && cell(piece, gx, gy) != id) continue;
                mine.at<uint8_t>(y + 1, x + 1) = 255;
                any = true;
            }
        }
        if (!any) continue;
        std::vector<std::vector<cv::Point>> contours;
        std::vector<cv::Vec4i> hierarchy;
        cv::findContours(mine, contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_NONE);
        for (const auto& contour : contours) {
            if (contour.size() < 3) continue;
            std::vector<Vec2> chain;
            chain.reserve(contour.size());
            for (const cv::Point& c : contour)
                chain.push_back({box.x + c.x - 1 + 0.5, box.y + c.y - 1 + 0.5});
            Outline outline;
            outline.piece = id;
            outline.points = simplifiedChain(chain, field, piece, id, size, band);
            if (outline.points.size() >= 3) outlines.push_back(outline);
        }
    }
    return outlines;
}
