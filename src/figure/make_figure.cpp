#include "figure/make_figure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "figure/bone_check.h"
#include "figure/bone_masks.h"
#include "figure/distance_field.h"
#include "figure/drawing.h"
#include "figure/mesher.h"
#include "figure/start_view.h"

namespace {

// About two thousand vertices for a figure of this many pixels.
double spacingFor(double pixels) {
    return std::min(40.0, std::max(5.0, std::sqrt(pixels / (0.866 * 1800.0))));
}

// The figure must stay inside the area where the solve moves vertices, with room to spare.
bool inStartView(const FigureMesh& mesh) {
    const Vec2 c = restCentre(mesh);
    const StartView view = startView(c.x, c.y, 0.0);
    for (const Vec2& v : mesh.vertices)
        if (!insideSolveArea(projectPoint(view, v.x, v.y, 0.0), 30.0)) return false;
    return true;
}

// Which silhouette pixels lie in no face, and how far the faces reach past the silhouette.
void measureCoverage(FigureResult& r, const Grid<uint8_t>& silhouette, const DistanceField& field) {
    const int w = silhouette.width, h = silhouette.height;
    Grid<uint8_t> covered = makeGrid<uint8_t>(w, h, 0);
    r.reach = 0.0;
    for (const auto& f : r.mesh.faces) {
        const Vec2 a = r.mesh.vertices[size_t(f[0])], b = r.mesh.vertices[size_t(f[1])],
                   c = r.mesh.vertices[size_t(f[2])];
        const double area = twiceArea(a, b, c);
        if (area == 0.0) continue;
        const int x0 = std::max(0, int(std::floor(std::min({a.x, b.x, c.x}))));
        const int x1 = std::min(w - 1, int(std::ceil(std::max({a.x, b.x, c.x}))));
        const int y0 = std::max(0, int(std::floor(std::min({a.y, b.y, c.y}))));
        const int y1 = std::min(h - 1, int(std::ceil(std::max({a.y, b.y, c.y}))));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const Vec2 p{x + 0.5, y + 0.5};
                const double u = twiceArea(b, c, p) / area, v = twiceArea(c, a, p) / area,
                             t = twiceArea(a, b, p) / area;
                if (u < 0.0 || v < 0.0 || t < 0.0) continue;
                cell(covered, x, y) = 1;
                r.reach = std::max(r.reach, double(cell(field, x, y)));
            }
    }
    r.uncovered = 0;
    for (size_t i = 0; i < covered.cells.size(); ++i)
        if (silhouette.cells[i] != 0 && covered.cells[i] == 0) ++r.uncovered;
}

// Pixels on the figure's outline in the drawing (at most a few thousand), and the middle of
// all its pixels: enough to tell where the start camera will show it.
void outlineSamples(const Grid<uint8_t>& figure, std::vector<Vec2>& outline, Vec2& middle) {
    double sx = 0.0, sy = 0.0, count = 0.0;
    std::vector<Vec2> all;
    for (int y = 0; y < figure.height; ++y)
        for (int x = 0; x < figure.width; ++x) {
            if (cell(figure, x, y) == 0) continue;
            sx += x + 0.5;
            sy += y + 0.5;
            count += 1.0;
            const bool edge = x == 0 || y == 0 || x + 1 == figure.width || y + 1 == figure.height ||
                              cell(figure, x - 1, y) == 0 || cell(figure, x + 1, y) == 0 ||
                              cell(figure, x, y - 1) == 0 || cell(figure, x, y + 1) == 0;
            if (edge) all.push_back({x + 0.5, y + 0.5});
        }
    middle = {sx / count, sy / count};
    const size_t step = std::max<size_t>(1, all.size() / 4000);
    for (size_t i = 0; i < all.size(); i += step) outline.push_back(all[i]);
}

bool fitsStartView(const Placement& placement, const std::vector<Vec2>& outline, Vec2 middle) {
    const Vec2 c = drawingToTexture(placement, middle);
    const StartView view = startView(c.x, c.y, 0.0);
    for (const Vec2& p : outline) {
        const Vec2 t = drawingToTexture(placement, p);
        if (!insideSolveArea(projectPoint(view, t.x, t.y, 0.0), 32.0)) return false;
    }
    return true;
}

std::string pixelsText(double pixels) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", pixels);
    return text;
}

}  // namespace

bool makeFigure(const FigureRequest& request, FigureResult& result, std::string& error) {
    result = FigureResult{};
    Drawing drawing;
    if (!readDrawing(request.picture, drawing, error)) return false;
    if (drawing.width < 2 || drawing.height < 2) {
        error = request.picture + " is " + std::to_string(drawing.width) + " x " +
                std::to_string(drawing.height) + " pixels: too small to hold a figure";
        return false;
    }
    Grid<uint8_t> figure;
    std::string how;
    bool keyed = false;
    if (!silhouetteOf(drawing, request.background, figure, keyed, how, error)) return false;
    result.notes.push_back(how);
    Islands islands;
    if (!keepLargeIslands(figure, smallestIsland, mostIslands, islands, error)) {
        error = request.picture + ": " + error;
        return false;
    }
    // The largest few by name and place; a crowd of specks in one line.
    constexpr size_t named = 5;
    long rest = 0;
    for (size_t k = 0; k < islands.dropped.size(); ++k) {
        const Island& i = islands.dropped[k];
        if (k >= named) {
            rest += i.pixels;
            continue;
        }
        result.notes.push_back("warning: dropped an island of " + std::to_string(i.pixels) +
                               " pixels at (" + pixelsText(i.centreX) + ", " +
                               pixelsText(i.centreY) +
                               ") in the drawing: it is under 1 % of the figure");
    }
    if (islands.dropped.size() > named) {
        result.notes.push_back("warning: dropped " +
                               std::to_string(islands.dropped.size() - named) + " more islands, " +
                               std::to_string(rest) + " pixels in all");
    }
    int left = figure.width, top = figure.height, right = 0, bottom = 0;
    for (int y = 0; y < figure.height; ++y)
        for (int x = 0; x < figure.width; ++x)
            if (cell(figure, x, y) != 0) {
                left = std::min(left, x);
                right = std::max(right, x + 1);
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
    if (right - left < 3 || bottom - top < 3) {
        error = "the figure in " + request.picture + " is only " + std::to_string(right - left) +
                " x " + std::to_string(bottom - top) + " pixels: too small to mesh";
        return false;
    }

    // A figure whose outline would leave the start view is placed smaller.
    std::vector<Vec2> outline;
    Vec2 middle{0.0, 0.0};
    outlineSamples(figure, outline, middle);
    double shrink = 1.0;
    while (shrink > 0.3 &&
           !fitsStartView(placeBox(left, top, right, bottom, shrink), outline, middle)) {
        shrink *= 0.95;
    }
    result.placement = placeBox(left, top, right, bottom, shrink);

    // Small holes are filled in the drawing: in a drawing on paper they keep the paper's colour,
    // in one with transparency they take the colours around them.
    double pixels = 0.0;
    for (uint8_t c : figure.cells) pixels += c != 0 ? 1.0 : 0.0;
    const double scale = result.placement.scale;
    result.spacing = request.spacing > 0.0 ? request.spacing : spacingFor(pixels * scale * scale);
    Grid<uint8_t> filled = figure;
    result.holes = fillSmallHoles(filled, request.fillHoles ? 1e9 : 2.0 * result.spacing / scale,
                                  result.filledHoles);
    if (keyed) cleanFringe(drawing, filled);
    const Grid<uint8_t>& coloured = keyed ? filled : figure;

    // The work is done in the part of the texture that holds the figure.
    const Frame frame = frameAround(result.placement, left, top, right, bottom, 48);
    PlacedDrawing placed = placeDrawing(drawing, filled, coloured, result.placement, frame);
    Grid<uint8_t> silhouette = placed.cover;
    for (uint8_t& c : silhouette.cells) c = c >= 128 ? 255 : 0;
    Islands placedIslands;
    if (!keepLargeIslands(silhouette, smallestIsland, mostIslands, placedIslands, error))
        return false;
    Grid<uint8_t> colours = placed.coloured;
    for (uint8_t& c : colours.cells) c = c >= 128 ? 255 : 0;
    std::vector<int32_t> nearest;
    bleedColours(placed.rgb, colours, nearest);
    Grid<int32_t> pieces = makeGrid<int32_t>(silhouette.width, silhouette.height, 0);
    for (size_t i = 0; i < nearest.size(); ++i)
        pieces.cells[i] = nearest[i] < 0 ? 0 : placedIslands.label.cells[size_t(nearest[i])];
    const DistanceField field = fieldOfRegion(silhouette);
    MeshSettings settings;
    settings.spacing = result.spacing;
    result.mesh = meshFigure(field, pieces, settings);
    if (result.mesh.faces.empty()) {
        error = "the figure in " + request.picture + " gave no mesh";
        return false;
    }
    measureCoverage(result, silhouette, field);

    // From the frame to the whole texture.
    for (Vec2& v : result.mesh.vertices) v = v + Vec2{double(frame.left), double(frame.top)};
    result.texture.assign(size_t(figureTextureWidth) * figureTextureHeight * 3, 0);
    result.silhouette = makeGrid<uint8_t>(figureTextureWidth, figureTextureHeight, 0);
    for (int y = 0; y < frame.height; ++y) {
        std::copy_n(&placed.rgb[size_t(y) * size_t(frame.width) * 3], size_t(frame.width) * 3,
                    &result.texture[(size_t(frame.top + y) * figureTextureWidth + frame.left) * 3]);
        std::copy_n(&silhouette.cells[size_t(y) * size_t(frame.width)], size_t(frame.width),
                    &cell(result.silhouette, frame.left, frame.top + y));
    }
    if (!inStartView(result.mesh))
        result.notes.push_back("warning: part of the figure lies near the edge of the start view");
    windFacesForStartView(result.mesh);
    if (result.filledHoles > 0)
        result.notes.push_back("filled " + std::to_string(result.filledHoles) +
                               (request.fillHoles ? " holes" : " small holes"));

    if (!findBoneRegions(result.mesh, request.bones, 2.5 * result.spacing, result.bones, error))
        return false;
    result.masks =
        paintBoneMasks(result.mesh, result.bones, figureTextureWidth, figureTextureHeight);
    std::string problem;
    if (!checkBones(result.mesh, result.masks, problem)) {
        error = "the bones don't hold together: " + problem;
        return false;
    }
    return true;
}
