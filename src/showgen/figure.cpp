#include "showgen/figure.h"

#include <algorithm>
#include <cmath>

#include "figure/distance_field.h"
#include "figure/mesher.h"

float partWeight(double distance, double reach) {
    return 1.0f - smoothstep(-6.0f, float(reach), float(distance));
}

FigureDesign scaledDesign(const FigureDesign& original) {
    FigureDesign design = original;
    const double k = original.scale;
    design.scale = 1.0;
    design.silhouette = [f = original.silhouette, k](Vec2 p) { return f(p * (1.0 / k)) * k; };
    design.boneWeight = [f = original.boneWeight, k](int b, Vec2 p) { return f(b, p * (1.0 / k)); };
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
    for (int b = 0; b < design.boneCount; ++b) built.masks.push_back(makeGreyPicture(w, h));

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
                    if (s > reach) continue;
                    for (int b = 0; b < design.boneCount; ++b) {
                        const float weight = clamp01(design.boneWeight(b, p));
                        built.masks[size_t(b)].pixels[size_t(y) * size_t(w) + size_t(x)] =
                            static_cast<unsigned char>(std::lround(weight * 255.0f));
                    }
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
