#include "figure/placement.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

Placement placeBox(int left, int top, int right, int bottom, double shrink) {
    const double width = std::max(1, right - left), height = std::max(1, bottom - top);
    Placement p;
    p.scale = std::min(figureHeight / height, widestFigure / width) * shrink;
    p.centreX = 0.5 * (left + right);
    p.bottom = bottom;
    return p;
}

Vec2 drawingToTexture(const Placement& p, Vec2 d) {
    return {middleColumn - p.scale * (d.x - p.centreX), standingRow + p.scale * (d.y - p.bottom)};
}

Vec2 textureToDrawing(const Placement& p, Vec2 t) {
    return {p.centreX - (t.x - middleColumn) / p.scale, p.bottom + (t.y - standingRow) / p.scale};
}

Frame frameAround(const Placement& placement, int left, int top, int right, int bottom,
                  int margin) {
    const Vec2 a = drawingToTexture(placement, {double(left), double(top)});
    const Vec2 b = drawingToTexture(placement, {double(right), double(bottom)});
    Frame f;
    f.left = std::max(0, int(std::floor(std::min(a.x, b.x))) - margin);
    f.top = std::max(0, int(std::floor(std::min(a.y, b.y))) - margin);
    const int r = std::min(figureTextureWidth, int(std::ceil(std::max(a.x, b.x))) + margin);
    const int d = std::min(figureTextureHeight, int(std::ceil(std::max(a.y, b.y))) + margin);
    f.width = std::max(1, r - f.left);
    f.height = std::max(1, d - f.top);
    return f;
}

PlacedDrawing placeDrawing(const Drawing& drawing, const Grid<uint8_t>& figure,
                           const Grid<uint8_t>& coloured, const Placement& placement,
                           const Frame& frame) {
    const int w = frame.width, h = frame.height;
    // Colours weighted by cover, so that the background's colour never mixes into the edge;
    // only the figure's box (and a pixel around it) is looked at.
    auto [left, top, right, bottom] = boxOf(figure);
    left = std::max(0, left - 2);
    top = std::max(0, top - 2);
    right = std::min(drawing.width, std::max(right + 2, left + 1));
    bottom = std::min(drawing.height, std::max(bottom + 2, top + 1));
    cv::Mat source(bottom - top, right - left, CV_8UC4);
    cv::Mat coverSource(bottom - top, right - left, CV_8U);
    for (int y = top; y < bottom; ++y) {
        cv::Vec4b* row = source.ptr<cv::Vec4b>(y - top);
        for (int x = left; x < right; ++x) {
            const uint8_t* p = &drawing.rgba[(size_t(y) * size_t(drawing.width) + size_t(x)) * 4];
            row[x - left] = cell(coloured, x, y) != 0 ? cv::Vec4b(p[0], p[1], p[2], 255)
                                                      : cv::Vec4b(0, 0, 0, 0);
            coverSource.at<uint8_t>(y - top, x - left) = cell(figure, x, y) != 0 ? 255 : 0;
        }
    }
    // Pixel indices of the (possibly shrunk) drawing to texture indices: the point at index i
    // is the pixel centre i + 0.5, and x runs the other way in the texture.
    const double s = placement.scale;
    const Vec2 origin = drawingToTexture(placement, {double(left), double(top)}) -
                        Vec2{double(frame.left), double(frame.top)};
    const auto mapping = [&](double sx, double sy) {
        return cv::Mat((cv::Mat_<double>(2, 3) << -sx, 0.0, origin.x - 0.5 - 0.5 * sx, 0.0, sy,
                        origin.y - 0.5 + 0.5 * sy));
    };
    const auto place = [&](const cv::Mat& from) {
        cv::Mat placed;
        if (s < 1.0) {
            // Shrinking: average over the drawing's pixels first, then move without more loss.
            cv::Mat smaller;
            cv::resize(from, smaller, cv::Size(), s, s, cv::INTER_AREA);
            const double kx = double(smaller.cols) / from.cols;
            const double ky = double(smaller.rows) / from.rows;
            cv::warpAffine(smaller, placed, mapping(s / kx, s / ky), cv::Size(w, h),
                           cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(0));
        } else {
            cv::warpAffine(from, placed, mapping(s, s), cv::Size(w, h), cv::INTER_LINEAR,
                           cv::BORDER_CONSTANT, cv::Scalar::all(0));
        }
        return placed;
    };
    const cv::Mat placed = place(source);
    const cv::Mat placedCover = place(coverSource);
    PlacedDrawing out;
    out.rgb.assign(size_t(w) * size_t(h) * 3, 0);
    out.cover = makeGrid<uint8_t>(w, h, 0);
    out.coloured = makeGrid<uint8_t>(w, h, 0);
    for (int y = 0; y < h; ++y) {
        const cv::Vec4b* row = placed.ptr<cv::Vec4b>(y);
        for (int x = 0; x < w; ++x) {
            const cv::Vec4b v = row[x];
            const int a = v[3];
            cell(out.coloured, x, y) = uint8_t(a);
            cell(out.cover, x, y) = placedCover.at<uint8_t>(y, x);
            if (a == 0) continue;
            uint8_t* c = &out.rgb[(size_t(y) * size_t(w) + size_t(x)) * 3];
            for (int k = 0; k < 3; ++k) c[k] = uint8_t(std::min(255, (v[k] * 255 + a / 2) / a));
        }
    }
    return out;
}

void bleedColours(std::vector<uint8_t>& rgb, const Grid<uint8_t>& source,
                  std::vector<int32_t>& nearest) {
    const int w = source.width, h = source.height;
    cv::Mat outside(h, w, CV_8U);
    std::vector<int32_t> pixelOfLabel(1, -1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool in = cell(source, x, y) != 0;
            outside.at<uint8_t>(y, x) = in ? 0 : 255;
            // The transform numbers the zero pixels from 1 in reading order.
            if (in) pixelOfLabel.push_back(y * w + x);
        }
    nearest.assign(size_t(w) * size_t(h), -1);
    if (pixelOfLabel.size() == 1) return;
    cv::Mat distance, labels;
    cv::distanceTransform(outside, distance, labels, cv::DIST_L2, cv::DIST_MASK_5,
                          cv::DIST_LABEL_PIXEL);
    for (int y = 0; y < h; ++y) {
        const int32_t* l = labels.ptr<int32_t>(y);
        for (int x = 0; x < w; ++x) {
            const int32_t from = pixelOfLabel[size_t(l[x])];
            const size_t at = size_t(y) * size_t(w) + size_t(x);
            nearest[at] = from;
            if (size_t(from) != at) std::copy_n(&rgb[size_t(from) * 3], 3, &rgb[at * 3]);
        }
    }
}
