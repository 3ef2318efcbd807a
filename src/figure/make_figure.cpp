#include "figure/make_figure.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <utility>

#include "figure/bone_check.h"
#include "figure/bone_masks.h"
#include "figure/distance_field.h"
#include "figure/drawing.h"
#include "figure/ground.h"
#include "figure/mesher.h"
#include "figure/rig_report.h"
#include "figure/start_view.h"
#include "scene/show_facts.h"

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

// Holes in the mesh: outline loops beyond one per separate piece.
int meshHoles(const FigureMesh& mesh) {
    const std::set<std::pair<int, int>> once = outlineEdges(mesh);
    // Outline edges and face edges joined into groups: each piece's outer loop and each hole's.
    std::vector<int> group(mesh.vertices.size());
    for (size_t i = 0; i < group.size(); ++i) group[i] = int(i);
    const auto find = [&](int a) {
        while (group[size_t(a)] != a) a = group[size_t(a)] = group[size_t(group[size_t(a)])];
        return a;
    };
    for (const auto& [a, b] : once) group[size_t(find(a))] = find(b);
    std::set<int> loops;
    for (const auto& [a, b] : once) loops.insert(find(a));
    for (const auto& f : mesh.faces)
        for (int k = 1; k < 3; ++k) group[size_t(find(f[0]))] = find(f[size_t(k)]);
    std::set<int> pieces;
    for (const auto& f : mesh.faces) pieces.insert(find(f[0]));
    return std::max(0, int(loops.size()) - int(pieces.size()));
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
    const auto [left, top, right, bottom] = boxOf(figure);
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
    const double across = request.fillHoles ? fillEveryHole : 2.0 * result.spacing / scale;
    fillSmallHoles(filled, across, result.filledHoles);
    int backgroundHoles = 0;
    if (keyed && !request.fillHoles) {
        // On paper, a hole narrower than the figure's own parts is the paper showing through
        // (white eyes on white paper), not a hole in the figure.
        const DistanceField depth = fieldOfRegion(figure);
        std::vector<float> inside;
        for (float d : depth.cells)
            if (d < 0.0f) inside.push_back(-d);
        if (!inside.empty()) {
            std::nth_element(inside.begin(), inside.begin() + long(inside.size() / 2),
                             inside.end());
            const double parts = 4.0 * inside[inside.size() / 2];
            if (parts > across) {
                fillSmallHoles(filled, parts, backgroundHoles);
                result.filledHoles += backgroundHoles;
            }
        }
    }
    if (backgroundHoles > 0)
        result.notes.push_back(
            "filled " + std::to_string(backgroundHoles) +
            (backgroundHoles == 1 ? " hole" : " holes") +
            " of the background's colour inside the figure (such as white eyes on white "
            "paper): narrower than the figure's parts, they are taken as part of it; a hole "
            "that must stay needs a transparent background");
    if (!request.fillHoles) {
        // An outline sketch: a thin line around a large inside that is not part of the figure.
        Grid<uint8_t> solid = figure;
        int all = 0;
        fillSmallHoles(solid, fillEveryHole, all);
        double solidPixels = 0.0;
        for (uint8_t c : solid.cells) solidPixels += c != 0 ? 1.0 : 0.0;
        if (all > 0 && pixels < 0.4 * solidPixels)
            result.notes.push_back(
                "hint: the figure is mostly a thin line around " + std::to_string(all) +
                (all == 1 ? " hole" : " holes") +
                " (an outline sketch?): --fill-holes makes what the line encloses part of the "
                "figure");
    }
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

    // The skeleton, without a floor or shadow the figure stands on: that moves with the trunk.
    const Ground ground = request.keepGround ? Ground{} : findGround(silhouette);
    const Grid<uint8_t> groundCells = groundMask(silhouette, ground);
    const int step = std::clamp(int(std::lround(result.spacing / 4.0)), 1, 4);
    if (ground.found) {
        Grid<uint8_t> standing = silhouette;
        for (size_t i = 0; i < standing.cells.size(); ++i)
            if (groundCells.cells[i] != 0) standing.cells[i] = 0;
        result.skeleton = skeletonOf(fieldOfRegion(standing), step);
        char text[200];
        std::snprintf(text, sizeof text,
                      "the floor or shadow under the figure (%.0f x %.0f pixels of the drawing, "
                      "%d parts stand on it) moves with the trunk, so that dragging a foot "
                      "leaves it in place; --keep-ground bones it like the rest",
                      (ground.right - ground.left) / scale, (ground.bottom - ground.top) / scale,
                      ground.limbs);
        result.notes.push_back(text);
    } else {
        result.skeleton = skeletonOf(field, step);
    }
    for (SkeletonPoint& p : result.skeleton.points)
        p.at = p.at + Vec2{double(frame.left), double(frame.top)};

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
    {
        // Softness: how many screen pixels each drawing pixel becomes under the start camera.
        const Vec2 c = restCentre(result.mesh);
        const StartView view = startView(c.x, c.y, 0.0);
        double lowest = 1e30, highest = -1e30;
        for (const Vec2& v : result.mesh.vertices) {
            const double y = projectPoint(view, v.x, v.y, 0.0).y;
            lowest = std::min(lowest, y);
            highest = std::max(highest, y);
        }
        const double onScreen = highest - lowest, drawn = bottom - top;
        if (onScreen > 1.5 * drawn) {
            char text[240];
            std::snprintf(text, sizeof text,
                          "hint: the figure is %.0f pixels tall in the drawing and about %.0f on "
                          "the show's %d-row screen, %.1f times larger, so it will look soft; a "
                          "drawing with the figure %.0f pixels tall or more would be sharp",
                          drawn, onScreen, int(windowHeight), onScreen / drawn,
                          std::ceil(onScreen));
            result.notes.push_back(text);
        }
    }
    if (!inStartView(result.mesh))
        result.notes.push_back("warning: part of the figure lies near the edge of the start view");
    windFacesForStartView(result.mesh);
    result.holes = meshHoles(result.mesh);
    result.ground.assign(result.mesh.vertices.size(), 0);
    if (ground.found)
        for (size_t v = 0; v < result.mesh.vertices.size(); ++v) {
            // A vertex on the mesh's margin reads the ground pixels next to it.
            const int x = int(result.mesh.vertices[v].x) - frame.left;
            const int y = int(result.mesh.vertices[v].y) - frame.top;
            for (int dy = -2; dy <= 2 && result.ground[v] == 0; ++dy)
                for (int dx = -2; dx <= 2 && result.ground[v] == 0; ++dx)
                    result.ground[v] = insideGrid(groundCells, x + dx, y + dy) &&
                                       cell(groundCells, x + dx, y + dy) != 0;
        }
    if (result.filledHoles > 0)
        result.notes.push_back("filled " + std::to_string(result.filledHoles) +
                               (request.fillHoles ? " holes" : " small holes"));

    if (!findBoneRegions(result.mesh, result.skeleton, result.ground, request.bones,
                         2.5 * result.spacing, result.bones, result.layout, error))
        return false;
    const Placement placement = result.placement;
    for (const std::string& line : rigReport(
             result.layout, result.skeleton, result.mesh, result.bones,
             [&](Vec2 t) { return textureToDrawing(placement, t); }, request.slotBones))
        result.notes.push_back(line);
    result.masks =
        paintBoneMasks(result.mesh, result.bones, figureTextureWidth, figureTextureHeight);
    std::string problem;
    if (!checkBones(result.mesh, result.masks, problem, result.bones.region, result.bones.part)) {
        error = "the bones don't hold together: " + problem;
        return false;
    }
    return true;
}
