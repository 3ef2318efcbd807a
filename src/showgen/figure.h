// A figure of a mesh slot: its outline, its bones, how it is painted, and the points that the
// choreography holds it by. Figures are designed in screen orientation (u to the right, v
// down); the start camera shows a texture's x axis right to left, so the texture holds the
// figure mirrored and it reads the right way on screen.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "figure/figure_mesh.h"
#include "figure/placement.h"
#include "scene/show_facts.h"
#include "showgen/raster.h"
#include "showgen/shapes.h"

// The texture's size is the figure layer's (figureTextureWidth x figureTextureHeight).

// The design origin sits in the middle column, 160 rows above the stage's standing line, where
// the designs put their feet: figures reach higher above their centre than below it.
constexpr double designOriginRow = standingRow - 160.0;

inline Vec2 designToTexture(Vec2 d) {
    return {figureTextureWidth / 2.0 - d.x, designOriginRow + d.y};
}
inline Vec2 textureToDesign(Vec2 t) {
    return {figureTextureWidth / 2.0 - t.x, t.y - designOriginRow};
}

struct FigureHandle {
    std::string name;
    Vec2 design;
};

struct FigureDesign {
    std::string directory;
    int boneCount = 0;
    double meshSpacing = 12.0;
    double scale = 1.0;  // the functions below are drawn this much larger in the texture
    std::function<double(Vec2)> silhouette;     // signed distance, design frame
    std::function<Colour(Vec2, double)> paint;  // colour at a point, given the silhouette
    Colour edgeColour{0.1f, 0.05f, 0.1f};       // what lies just outside the outline
    std::vector<FigureHandle> handles;
};

struct BuiltFigure {
    Picture texture;
    std::vector<GreyPicture> masks;
    FigureMesh mesh;  // texture pixel frame
};

BuiltFigure buildFigure(const FigureDesign& design);

// The design of slot `slot` (its folder and bone count from the slot table) for a figure whose
// outline and colours are worked out from one shared record.
template <typename Figure>
FigureDesign slotDesign(int slot, double meshSpacing, Colour edgeColour,
                        std::shared_ptr<const Figure> figure,
                        double (*silhouette)(const Figure&, Vec2),
                        Colour (*paint)(const Figure&, Vec2, double)) {
    FigureDesign design;
    design.directory = sceneSlots[slot].directory;
    design.boneCount = int(sceneSlots[slot].boneCount);
    design.meshSpacing = meshSpacing;
    design.silhouette = [figure, silhouette](Vec2 p) { return silhouette(*figure, p); };
    design.paint = [figure, paint](Vec2 p, double s) { return paint(*figure, p, s); };
    design.edgeColour = edgeColour;
    return design;
}

// The same figure with its scale folded into its functions and handles (scale 1).
FigureDesign scaledDesign(const FigureDesign& design);

// A mask weight from a signed distance: 1 well inside the part, easing to 0 `reach` pixels
// outside it, so that neighbouring parts overlap at their joints.
float partWeight(double distance, double reach);

// The texture point of the vertex nearest to a design point.
int nearestVertex(const FigureMesh& mesh, Vec2 design);

FigureDesign octopusDesign();  // kiv
FigureDesign plantDesign();    // vastel
FigureDesign dancerDesign();   // doranek
FigureDesign jellyDesign();    // pilou
