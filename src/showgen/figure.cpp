#include "showgen/figure.h"

#include <algorithm>
#include <cmath>

#include "figure/bone_masks.h"
#include "figure/bone_regions.h"
#include "figure/distance_field.h"
#include "figure/mesher.h"
#include "figure/skeleton.h"

float partWeight(double distance, double reach) {
    return 1.0f - smoothstep(-6.0f, float(reach), float(distance));
}

FigureDesign scaledDesign(const FigureDesign& original) {
    FigureDesign design = original;
    const double k = original.scale;
    design.scale = 1.0;
    design.silhouette = [f = original.silhouette, k](Vec2 p) { return f(p * (1.0 / k)) * k; };
    design.paint = [f = original.paint, k](Vec2 p, double s) { return f(p * (1.0 / k), s / k); };
    for (FigureHandle& h : design.handles) h.design = h.design * k;
    return design;
}

BuiltFigure buildFigure(const FigureDesign& original) {
    const FigureDesign design = scaledDesign(original);
    const int w = figureTextureWidth;
    const int h = figureTextureHeight;
    BuiltFigure built;
    built.texture = makePicture(w, h, design.edgeColour);

    // Blocks far from the figure are skipped whole: the distances are close to true ones.
    constexpr int block = 16;
    constexpr double reach = 44.0;
    for (int by = 0; by < h; by += block) {
        for (int bx = 0; bx < w; bx += block) {
            const Vec2 centre = textureToDesign({bx + block * 0.5, by + block * 0.5});
            if (design.silhouette(centre) > reach + block) continue;
            for (int y = by; y < std::min(h, by + block); ++y) {
                for (int x = bx; x < std::min(w, bx + block); ++x) {
                    const Vec2 p = textureToDesign({x + 0.5, y + 0.5});
                    const double s = design.silhouette(p);
                    if (s < 3.0) at(built.texture, x, y) = design.paint(p, s);
                }
            }
        }
    }

    MeshSettings settings;
    settings.spacing = design.meshSpacing;
    const DistanceField field =
        fieldOfFormula([&design](Vec2 t) { return design.silhouette(textureToDesign(t)); }, w, h,
                       2.0 * design.meshSpacing);
    built.mesh = meshFigure(field, {}, settings);

    // The bones as kelvaro-figure lays them out on a drawing: along the figure's skeleton.
    const int step = std::clamp(int(std::lround(design.meshSpacing / 4.0)), 1, 4);
    const Skeleton skeleton = skeletonOf(field, step);
    BoneWeights weights;
    RigLayout layout;
    std::string error;
    const std::vector<char> ground(built.mesh.vertices.size(), 0);
    if (!findBoneRegions(built.mesh, skeleton, ground, design.boneCount, 2.5 * design.meshSpacing,
                         weights, layout, error))
        return built;  // no masks: the show's checks say so
    for (const Grid<uint8_t>& mask : paintBoneMasks(built.mesh, weights, w, h)) {
        GreyPicture grey = makeGreyPicture(w, h);
        std::copy(mask.cells.begin(), mask.cells.end(), grey.pixels.begin());
        built.masks.push_back(grey);
    }
    return built;
}

int nearestVertex(const FigureMesh& mesh, Vec2 design) {
    const Vec2 t = designToTexture(design);
    int best = 0;
    double bestDistance = 1e30;
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        const double d = length(mesh.vertices[i] - t);
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}
