// A figure's triangle mesh in the texture's pixel frame, and what is done to it before it is
// written: winding for the start camera, the text of mesh.obj, and how good its triangles are.
#pragma once

#include <array>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "figure/vec2.h"

struct FigureMesh {
    std::vector<Vec2> vertices;             // texture pixels, z is 0
    std::vector<std::array<int, 3>> faces;  // 0-based corners
};

// The rest centre as the show computes it: single-precision sums times the reciprocal count.
Vec2 restCentre(const FigureMesh& mesh);

// Turns every face so that it winds counter-clockwise under `windowPosition` (a projection to
// window coordinates with y up): the show culls the faces that wind the other way.
void windFacesForView(FigureMesh& mesh, const std::function<Vec2(Vec2)>& windowPosition);

// windFacesForView under the start camera that the show sets up for this mesh.
void windFacesForStartView(FigureMesh& mesh);

// Whether every face winds counter-clockwise on screen under the start camera.
bool facesStartCamera(const FigureMesh& mesh);

// The mesh file's text: "v x y 0" lines with three decimals, then "f a b c" lines from 1.
std::string objText(const FigureMesh& mesh);

// A vertex position as the show reads it back from objText.
float storedCoordinate(double value);

// The edges that only one face has: the mesh's outline, each as (smaller, larger) vertex.
std::set<std::pair<int, int>> outlineEdges(const FigureMesh& mesh);

// The smallest angle of a face, in degrees.
double smallestAngle(const FigureMesh& mesh, const std::array<int, 3>& face);

// The share of faces whose smallest angle is under `degrees`.
double shareOfFacesUnder(const FigureMesh& mesh, double degrees);

// Vertices renumbered in reading order (by row, then column), faces following them: the file
// reads from the top of the figure down.
void sortVerticesInReadingOrder(FigureMesh& mesh);
