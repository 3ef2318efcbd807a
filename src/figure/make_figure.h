// From a drawing to everything a slot folder holds: the drawing placed in the texture, its
// silhouette, the mesh, the bones and their masks, checked as the show will load them.
#pragma once

#include <string>
#include <vector>

#include "figure/bone_regions.h"
#include "figure/figure_mesh.h"
#include "figure/grid.h"
#include "figure/placement.h"
#include "figure/rig_layout.h"
#include "figure/silhouette.h"
#include "figure/skeleton.h"

struct FigureRequest {
    std::string picture;
    int bones = 1;
    double spacing = 0.0;  // 0: from the figure's area, for about two thousand vertices
    BackgroundSettings background;
    bool fillHoles = false;
    bool keepGround = false;  // bone a floor or shadow under the feet like the rest
    int slotBones = 0;        // the most bones the slot reads, for the advice; 0: no limit
};

// Islands smaller than this share of the figure are dropped; more islands than this in all
// make the drawing unusable.
constexpr double smallestIsland = 0.01;
constexpr int mostIslands = 200;

struct FigureResult {
    FigureMesh mesh;               // wound for the start camera
    std::vector<uint8_t> texture;  // RGB, figureTextureWidth x figureTextureHeight
    Grid<uint8_t> silhouette;      // texture frame
    std::vector<Grid<uint8_t>> masks;
    BoneWeights bones;
    Skeleton skeleton;         // texture frame
    RigLayout layout;          // the bones on the skeleton
    std::vector<char> ground;  // per vertex: part of a floor or shadow left to the trunk
    Placement placement;
    double spacing = 0.0;
    int holes = 0, filledHoles = 0;  // holes in the mesh; holes filled in the drawing
    size_t uncovered = 0;            // silhouette pixels whose centre lies in no face
    double reach = 0.0;              // how far past the silhouette the mesh goes, in pixels
    std::vector<std::string> notes;  // for the author: what was decided, what was dropped
};

// False with a message for a drawing that gives no usable figure.
bool makeFigure(const FigureRequest& request, FigureResult& result, std::string& error);
