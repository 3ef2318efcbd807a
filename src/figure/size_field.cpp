#include "figure/size_field.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace {

// The part of the frame that matters: the region's box and a spacing around it.
cv::Rect boxAround(const cv::Mat& region, int margin) {
    const cv::Rect box = cv::boundingRect(region);
    const cv::Rect grown(box.x - margin, box.y - margin, box.width + 2 * margin,
                         box.height + 2 * margin);
    return grown & cv::Rect(0, 0, region.cols, region.rows);
}

// The local thickness of the region, capped: the diameter of the largest disc inside it that
// holds the pixel (an opening by a disc of each radius in turn), up to `largest`.
cv::Mat localThickness(const cv::Mat& region, double largest) {
    cv::Mat depth;
    cv::distanceTransform(region, depth, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    cv::Mat thickness(region.size(), CV_32F, cv::Scalar(0.0f));
    // Pixels inside the region but in no opening are about as thick as they are deep, twice.
    for (int y = 0; y < region.rows; ++y) {
        const float* d = depth.ptr<float>(y);
        float* t = thickness.ptr<float>(y);
        for (int x = 0; x < region.cols; ++x) t[x] = 2.0f * d[x];
    }
    for (double r = 1.5; r <= largest / 2.0; r += r < 4.0 ? 0.5 : 1.0) {
        cv::Mat eroded = depth >= float(r);
        if (cv::countNonZero(eroded) == 0) break;
        cv::Mat notEroded, toEroded;
        cv::bitwise_not(eroded, notEroded);
        cv::distanceTransform(notEroded, toEroded, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
        for (int y = 0; y < region.rows; ++y) {
            const uint8_t* in = region.ptr<uint8_t>(y);
            const float* d = toEroded.ptr<float>(y);
            float* t = thickness.ptr<float>(y);
            for (int x = 0; x < region.cols; ++x)
                if (in[x] != 0 && d[x] <= float(r)) t[x] = std::max(t[x], float(2.0 * r));
        }
    }
    return thickness;
}

// A chamfer sweep down and one back up: each pixel no larger than a neighbour's size plus the
// grading times the step.
void grade(cv::Mat& h, double grading) {
    const float g = float(grading), gd = float(grading * std::sqrt(2.0));
    for (int y = 0; y < h.rows; ++y) {
        float* row = h.ptr<float>(y);
        const float* above = y > 0 ? h.ptr<float>(y - 1) : nullptr;
        for (int x = 0; x < h.cols; ++x) {
            float v = row[x];
            if (x > 0) v = std::min(v, row[x - 1] + g);
            if (above != nullptr) {
                v = std::min(v, above[x] + g);
                if (x > 0) v = std::min(v, above[x - 1] + gd);
                if (x + 1 < h.cols) v = std::min(v, above[x + 1] + gd);
            }
            row[x] = v;
        }
    }
    for (int y = h.rows - 1; y >= 0; --y) {
        float* row = h.ptr<float>(y);
        const float* below = y + 1 < h.rows ? h.ptr<float>(y + 1) : nullptr;
        for (int x = h.cols - 1; x >= 0; --x) {
            float v = row[x];
            if (x + 1 < h.cols) v = std::min(v, row[x + 1] + g);
            if (below != nullptr) {
                v = std::min(v, below[x] + g);
                if (x + 1 < h.cols) v = std::min(v, below[x + 1] + gd);
                if (x > 0) v = std::min(v, below[x - 1] + gd);
            }
            row[x] = v;
        }
    }
}

}  // namespace

Grid<float> sizeField(const Grid<uint8_t>& regionGrid, const SizeSettings& settings) {
    const float spacing = float(settings.spacing);
    Grid<float> size = makeGrid<float>(regionGrid.width, regionGrid.height, spacing);
    const cv::Mat whole(regionGrid.height, regionGrid.width, CV_8U,
                        const_cast<uint8_t*>(regionGrid.cells.data()));
    if (cv::countNonZero(whole) == 0) return size;
    const cv::Rect box = boxAround(whole, int(std::ceil(settings.spacing)) + 2);
    const cv::Mat region = whole(box) != 0;
    const cv::Mat thickness = localThickness(region, settings.spacing);

    cv::Mat h(region.size(), CV_32F);
    for (int y = 0; y < region.rows; ++y) {
        const uint8_t* in = region.ptr<uint8_t>(y);
        const float* t = thickness.ptr<float>(y);
        float* out = h.ptr<float>(y);
        for (int x = 0; x < region.cols; ++x) {
            out[x] =
                in[x] != 0 ? std::min(spacing, std::max(float(settings.smallest), t[x])) : spacing;
        }
    }
    grade(h, settings.grading);
    for (int y = 0; y < h.rows; ++y)
        for (int x = 0; x < h.cols; ++x) cell(size, box.x + x, box.y + y) = h.at<float>(y, x);
    return size;
}

float sampleSize(const Grid<float>& size, Vec2 p) {
    const double u = std::min(std::max(p.x - 0.5, 0.0), size.width - 1.0);
    const double v = std::min(std::max(p.y - 0.5, 0.0), size.height - 1.0);
    const int x = std::min(int(u), std::max(size.width - 2, 0));
    const int y = std::min(int(v), std::max(size.height - 2, 0));
    const int x1 = std::min(x + 1, size.width - 1), y1 = std::min(y + 1, size.height - 1);
    const float fx = float(u - x), fy = float(v - y);
    const float top = cell(size, x, y) * (1.0f - fx) + cell(size, x1, y) * fx;
    const float bottom = cell(size, x, y1) * (1.0f - fx) + cell(size, x1, y1) * fx;
    return top * (1.0f - fy) + bottom * fy;
}

void limitSizes(Grid<float>& size, const std::vector<std::pair<Vec2, float>>& limits,
                double grading) {
    if (limits.empty()) return;
    double minX = 1e30, minY = 1e30, maxX = -1e30, maxY = -1e30;
    float largest = 0.0f;
    for (const auto& [p, value] : limits) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    for (float v : size.cells) largest = std::max(largest, v);
    // Beyond this margin no limit can lower the field.
    const int margin = int(std::ceil(largest / float(grading))) + 1;
    const cv::Rect box =
        cv::Rect(int(minX) - margin, int(minY) - margin, int(maxX - minX) + 2 * margin + 1,
                 int(maxY - minY) + 2 * margin + 1) &
        cv::Rect(0, 0, size.width, size.height);
    cv::Mat h(box.size(), CV_32F);
    for (int y = 0; y < box.height; ++y)
        for (int x = 0; x < box.width; ++x) h.at<float>(y, x) = cell(size, box.x + x, box.y + y);
    for (const auto& [p, value] : limits) {
        const int x = int(std::floor(p.x)) - box.x, y = int(std::floor(p.y)) - box.y;
        if (x >= 0 && y >= 0 && x < box.width && y < box.height)
            h.at<float>(y, x) = std::min(h.at<float>(y, x), value);
    }
    grade(h, grading);
    for (int y = 0; y < box.height; ++y)
        for (int x = 0; x < box.width; ++x) cell(size, box.x + x, box.y + y) = h.at<float>(y, x);
}
