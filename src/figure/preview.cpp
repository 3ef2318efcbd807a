#include "figure/preview.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "figure/drawing.h"
#include "figure/rig_report.h"

namespace {

// Saturated colours far apart in hue: the golden angle between neighbours, and every other
// bone a little darker, so that the bones next to one another by number never look alike.
cv::Scalar boneColour(int bone) {
    const double hue = std::fmod(bone * 137.508, 360.0);
    const double value = bone % 2 == 0 ? 1.0 : 0.75;
    const double c = value, h = hue / 60.0, x = c * (1.0 - std::fabs(std::fmod(h, 2.0) - 1.0));
    double r = 0, g = 0, b = 0;
    if (h < 1)
        r = c, g = x;
    else if (h < 2)
        r = x, g = c;
    else if (h < 3)
        g = c, b = x;
    else if (h < 4)
        g = x, b = c;
    else if (h < 5)
        r = x, b = c;
    else
        r = c, b = x;
    return cv::Scalar(r * 255.0, g * 255.0, b * 255.0);  // the picture is RGB
}

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
        cv::fillConvexPoly(regions, corners, 3, boneColour(region), cv::LINE_8, 4);
        cv::fillConvexPoly(inMesh, corners, 3, cv::Scalar(255), cv::LINE_8, 4);
    }
    // The drawing in grey, light enough for the bones' colours to read over it.
    for (int y = 0; y < picture.rows; ++y)
        for (int x = 0; x < picture.cols; ++x) {
            if (inMesh.at<uint8_t>(y, x) == 0) continue;
            const cv::Vec3b t = texture.at<cv::Vec3b>(box.y + y, box.x + x);
            const cv::Vec3b r = regions.at<cv::Vec3b>(y, x);
            const double grey = 0.299 * t[0] + 0.587 * t[1] + 0.114 * t[2];
            cv::Vec3b& out = picture.at<cv::Vec3b>(y, x);
            for (int k = 0; k < 3; ++k) out[k] = uint8_t(std::lround(0.35 * grey + 0.65 * r[k]));
        }
    // Edges faint, so that the drawing still shows through a fine mesh.
    cv::Mat edges = picture.clone();
    for (const auto& f : mesh.faces)
        for (int k = 0; k < 3; ++k)
            cv::line(edges, local(mesh.vertices[size_t(f[size_t(k)])]),
                     local(mesh.vertices[size_t(f[size_t((k + 1) % 3)])]), cv::Scalar(20, 20, 20),
                     1, cv::LINE_AA, 4);
    cv::addWeighted(picture, 0.75, edges, 0.25, 0.0, picture);
    // The skeleton as a thin dark line.
    const Skeleton& skeleton = figure.skeleton;
    for (const SkeletonPoint& p : skeleton.points)
        if (p.parent >= 0)
            cv::line(picture, local(p.at), local(skeleton.points[size_t(p.parent)].at),
                     cv::Scalar(15, 15, 15), 2, cv::LINE_AA, 4);
    // The texture holds the figure mirrored; the preview shows it as it reads on screen, and the
    // numbers go on after the flip so that they read too.
    cv::Mat shown;
    cv::flip(picture, shown, 1);
    if (!figure.layout.bones.empty()) {
        const std::vector<Vec2> places = bonePlaces(figure.layout, skeleton, mesh, figure.bones);
        const double scale = std::clamp(shown.rows / 900.0, 0.5, 1.5);
        for (size_t b = 0; b < places.size(); ++b) {
            const std::string text = std::to_string(b);
            int base = 0;
            const cv::Size size = cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, scale, 2, &base);
            const cv::Point at(
                int(std::lround(box.x + box.width - 1 - places[b].x)) - size.width / 2,
                int(std::lround(places[b].y - box.y)) + size.height / 2);
            cv::putText(shown, text, at, cv::FONT_HERSHEY_SIMPLEX, scale, cv::Scalar(255, 255, 255),
                        5, cv::LINE_AA);
            cv::putText(shown, text, at, cv::FONT_HERSHEY_SIMPLEX, scale, cv::Scalar(0, 0, 0), 2,
                        cv::LINE_AA);
        }
    }
    if (!shown.isContinuous()) shown = shown.clone();
    if (!writePng(path, shown.cols, shown.rows, 3, shown.data)) {
        error = "can't write the preview " + path;
        return false;
    }
    return true;
}
