#include "figure/preview.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "figure/drawing.h"

namespace {

const cv::Vec3b regionColours[] = {
    {230, 25, 75},  {60, 180, 75},   {255, 225, 25},  {0, 130, 200},
    {245, 130, 48}, {145, 30, 180},  {70, 240, 240},  {240, 50, 230},
    {210, 245, 60}, {250, 190, 212}, {0, 128, 128},   {220, 190, 255},
    {170, 110, 40}, {128, 0, 0},     {170, 255, 195}, {128, 128, 0},
};

}  // namespace

bool writePreview(const std::string& path, const FigureResult& figure, std::string& error) {
    const FigureMesh& mesh = figure.mesh;
    double minX = 1e30, minY = 1e30, maxX = -1e30, maxY = -1e30;
    for (const Vec2& v : mesh.vertices) {
        minX = std::min(minX, v.x);
        maxX = std::max(maxX, v.x);
        minY = std::min(minY, v.y);
        maxY = std::max(maxY, v.y);
    }
    const int margin = 12;
    const cv::Rect box =
        cv::Rect(int(minX) - margin, int(minY) - margin, int(maxX - minX) + 2 * margin + 1,
                 int(maxY - minY) + 2 * margin + 1) &
        cv::Rect(0, 0, figureTextureWidth, figureTextureHeight);
    const cv::Mat texture(figureTextureHeight, figureTextureWidth, CV_8UC3,
                          const_cast<uint8_t*>(figure.texture.data()));
    // A light chequer where the mesh isn't, as painting programs show transparency.
    cv::Mat picture(box.size(), CV_8UC3);
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.cols; ++x) {
            const uint8_t v = ((x / 8 + y / 8) % 2 == 0) ? 235 : 210;
            picture.at<cv::Vec3b>(y, x) = cv::Vec3b(v, v, v);
        }
    cv::Mat regions = picture.clone();
    const auto local = [&](Vec2 v) {
        return cv::Point(int(std::lround((v.x - box.x) * 16.0)),
                         int(std::lround((v.y - box.y) * 16.0)));
    };
    cv::Mat inMesh(box.size(), CV_8U, cv::Scalar(0));
    for (const auto& f : mesh.faces) {
        const cv::Point corners[3] = {local(mesh.vertices[size_t(f[0])]),
                                      local(mesh.vertices[size_t(f[1])]),
                                      local(mesh.vertices[size_t(f[2])])};
        int votes[3] = {figure.bones.region[size_t(f[0])], figure.bones.region[size_t(f[1])],
                        figure.bones.region[size_t(f[2])]};
        const int region = votes[1] == votes[2] ? votes[1] : votes[0];
        const cv::Vec3b c = regionColours[size_t(region) % std::size(regionColours)];
        cv::fillConvexPoly(regions, corners, 3, cv::Scalar(c[0], c[1], c[2]), cv::LINE_8, 4);
        cv::fillConvexPoly(inMesh, corners, 3, cv::Scalar(255), cv::LINE_8, 4);
    }
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.cols; ++x) {
            if (inMesh.at<uint8_t>(y, x) == 0) continue;
            const cv::Vec3b t = texture.at<cv::Vec3b>(box.y + y, box.x + x);
            const cv::Vec3b r = regions.at<cv::Vec3b>(y, x);
            cv::Vec3b& out = picture.at<cv::Vec3b>(y, x);
            for (int k = 0; k < 3; ++k) out[k] = uint8_t((t[k] + r[k]) / 2);
        }
    // Edges half seen, so that the drawing still shows through a fine mesh.
    cv::Mat edges = picture.clone();
    for (const auto& f : mesh.faces)
        for (int k = 0; k < 3; ++k)
            cv::line(edges, local(mesh.vertices[size_t(f[size_t(k)])]),
                     local(mesh.vertices[size_t(f[size_t((k + 1) % 3)])]), cv::Scalar(20, 20, 20),
                     1, cv::LINE_AA, 4);
    cv::addWeighted(picture, 0.45, edges, 0.55, 0.0, picture);
    // The texture holds the figure mirrored; the preview shows it as it reads on screen.
    cv::Mat shown;
    cv::flip(picture, shown, 1);
    if (!shown.isContinuous()) shown = shown.clone();
    if (!writePng(path, shown.cols, shown.rows, 3, shown.data)) {
        error = "can't write the preview " + path;
        return false;
    }
    return true;
}
