#include "figure/silhouette.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <opencv2/imgproc.hpp>

namespace {

int channelDistance(const uint8_t* a, const uint8_t* b) {
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

std::string hex(const uint8_t* c) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x%02x%02x", c[0], c[1], c[2]);
    return text;
}

cv::Mat matOf(Grid<uint8_t>& grid) {
    return cv::Mat(grid.height, grid.width, CV_8U, grid.cells.data());
}

}  // namespace

bool silhouetteOf(const Drawing& drawing, const BackgroundSettings& settings,
                  Grid<uint8_t>& silhouette, bool& keyed, std::string& how, std::string& error) {
    const int w = drawing.width, h = drawing.height;
    silhouette = makeGrid<uint8_t>(w, h, 0);
    const uint8_t* px = drawing.rgba.data();
    const bool useAlpha = drawing.hasTransparency;
    bool useKey = settings.keyGiven;
    uint8_t key[3] = {settings.key[0], settings.key[1], settings.key[2]};
    if (!useAlpha && !useKey) {
        const size_t corners[4] = {0, size_t(w - 1), size_t(h - 1) * size_t(w),
                                   size_t(h) * size_t(w) - 1};
        for (size_t c : corners) {
            if (channelDistance(px + corners[0] * 4, px + c * 4) > keyTolerance) {
                error =
                    "the picture has no transparency and its corners differ in colour: name the "
                    "background colour with --key RRGGBB";
                return false;
            }
        }
        std::copy(px, px + 3, key);
        useKey = true;
        how = "the background is the corners' colour " + hex(key);
    } else if (useKey) {
        how = "the background is the key colour " + hex(key);
    } else {
        how = "the figure is the pixels of alpha " + std::to_string(settings.alphaThreshold) +
              " or more";
    }
    for (size_t i = 0; i < silhouette.cells.size(); ++i) {
        const uint8_t* p = px + i * 4;
        bool figure = !useAlpha || p[3] >= settings.alphaThreshold;
        if (useKey && channelDistance(p, key) <= keyTolerance) figure = false;
        silhouette.cells[i] = figure ? 255 : 0;
    }
    keyed = useKey;
    return true;
}

void cleanFringe(Drawing& drawing, const Grid<uint8_t>& figureGrid) {
    const int w = drawing.width, h = drawing.height;
    const cv::Mat figure(h, w, CV_8U, const_cast<uint8_t*>(figureGrid.cells.data()));
    cv::Mat depth;
    cv::distanceTransform(figure, depth, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    cv::Mat notSolid(h, w, CV_8U);
    std::vector<int32_t> pixelOfLabel(1, -1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool solid = depth.at<float>(y, x) >= 2.0f;
            notSolid.at<uint8_t>(y, x) = solid ? 0 : 255;
            if (solid) pixelOfLabel.push_back(y * w + x);
        }
    if (pixelOfLabel.size() == 1) return;
    cv::Mat distance, labels;
    cv::distanceTransform(notSolid, distance, labels, cv::DIST_L2, cv::DIST_MASK_5,
                          cv::DIST_LABEL_PIXEL);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float d = distance.at<float>(y, x);
            if (figure.at<uint8_t>(y, x) == 0 || d == 0.0f || d > 3.0f) continue;
            const size_t from = size_t(pixelOfLabel[size_t(labels.at<int32_t>(y, x))]);
            std::copy_n(&drawing.rgba[from * 4], 3,
                        &drawing.rgba[(size_t(y) * size_t(w) + size_t(x)) * 4]);
        }
}

bool keepLargeIslands(Grid<uint8_t>& silhouette, double share, int most, Islands& islands,
                      std::string& error) {
    islands = Islands{};
    cv::Mat labels, stats, centroids;
    const int count =
        cv::connectedComponentsWithStats(matOf(silhouette), labels, stats, centroids, 8, CV_32S) -
        1;
    if (count == 0) {
        error = "no pixel of the picture belongs to the figure";
        return false;
    }
    if (count > most) {
        error = "the figure breaks into " + std::to_string(count) + " islands (at most " +
                std::to_string(most) +
                " can be looked at): is the background really transparent, or the key right?";
        return false;
    }
    long total = 0;
    for (int i = 1; i <= count; ++i) total += stats.at<int>(i, cv::CC_STAT_AREA);
    std::vector<int> order;
    for (int i = 1; i <= count; ++i) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return stats.at<int>(a, cv::CC_STAT_AREA) > stats.at<int>(b, cv::CC_STAT_AREA);
    });
    std::vector<int32_t> keptAs(size_t(count) + 1, 0);
    for (int i : order) {
        Island island;
        island.pixels = stats.at<int>(i, cv::CC_STAT_AREA);
        island.centreX = centroids.at<double>(i, 0) + 0.5;
        island.centreY = centroids.at<double>(i, 1) + 0.5;
        if (double(island.pixels) >= share * double(total)) {
            islands.kept.push_back(island);
            keptAs[size_t(i)] = int32_t(islands.kept.size());
        } else {
            islands.dropped.push_back(island);
        }
    }
    islands.label = makeGrid<int32_t>(silhouette.width, silhouette.height, 0);
    for (int y = 0; y < silhouette.height; ++y) {
        const int32_t* row = labels.ptr<int32_t>(y);
        for (int x = 0; x < silhouette.width; ++x) {
            const int32_t id = keptAs[size_t(row[x])];
            cell(islands.label, x, y) = id;
            if (id == 0) cell(silhouette, x, y) = 0;
        }
    }
    return true;
}

int fillSmallHoles(Grid<uint8_t>& silhouette, double across, int& filled) {
    filled = 0;
    cv::Mat figure = matOf(silhouette);
    cv::Mat background = figure == 0;
    cv::Mat labels, stats, centroids;
    const int count =
        cv::connectedComponentsWithStats(background, labels, stats, centroids, 4, CV_32S);
    // Depth of every background pixel: its distance to the figure.
    cv::Mat depth;
    cv::distanceTransform(background, depth, cv::DIST_L2, cv::DIST_MASK_PRECISE, CV_32F);
    std::vector<float> deepest(size_t(count), 0.0f);
    std::vector<bool> enclosed(size_t(count), true);
    for (int y = 0; y < figure.rows; ++y) {
        const int32_t* l = labels.ptr<int32_t>(y);
        const float* d = depth.ptr<float>(y);
        for (int x = 0; x < figure.cols; ++x) {
            if (l[x] == 0 && figure.at<uint8_t>(y, x) != 0) continue;
            deepest[size_t(l[x])] = std::max(deepest[size_t(l[x])], d[x]);
            if (x == 0 || y == 0 || x == figure.cols - 1 || y == figure.rows - 1)
                enclosed[size_t(l[x])] = false;
        }
    }
    std::vector<bool> fill(size_t(count), false);
    int kept = 0;
    for (int i = 1; i < count; ++i) {
        if (!enclosed[size_t(i)]) continue;
        // A slit a few pixels wide between two legs that meet at the feet is long and narrow:
        // it stays open when it is wider than a pixel, as the drawing meant it. (A wider hole
        // is kept or filled by the disc rule.)
        const double area = stats.at<int32_t>(i, cv::CC_STAT_AREA);
        const double along = std::max(stats.at<int32_t>(i, cv::CC_STAT_WIDTH),
                                      stats.at<int32_t>(i, cv::CC_STAT_HEIGHT));
        const bool slit =
            along >= 4.0 * (area / along) && area / along >= 1.5 && deepest[size_t(i)] <= 2.0f;
        if (2.0 * double(deepest[size_t(i)]) < across && !(slit && across < fillEveryHole)) {
            fill[size_t(i)] = true;
            ++filled;
        } else {
            ++kept;
        }
    }
    for (int y = 0; y < figure.rows; ++y) {
        const int32_t* l = labels.ptr<int32_t>(y);
        uint8_t* f = figure.ptr<uint8_t>(y);
        for (int x = 0; x < figure.cols; ++x)
            if (f[x] == 0 && fill[size_t(l[x])]) f[x] = 255;
    }
    return kept;
}
