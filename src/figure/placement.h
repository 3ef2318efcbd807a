// Where a figure stands in its texture: the frame the show's mesh slots share, the stage every
// figure stands on, and the mirroring that the start camera needs (it shows the texture's x axis
// right to left, so the texture holds the figure mirrored).
#pragma once

#include <cstdint>
#include <vector>

#include "figure/drawing.h"
#include "figure/grid.h"
#include "figure/vec2.h"

constexpr int figureTextureWidth = 2048;
constexpr int figureTextureHeight = 1024;
// The stage: a figure stands on `standingRow` in `middleColumn`, at most `figureHeight` rows tall
// and `widestFigure` wide. The demo generator designs its figures on the same line; kelvaro-figure
// scales a drawing to the box, then shrinks it until the start camera shows its outline clear of
// the solve area's edges.
constexpr double figureHeight = 700.0;
constexpr double widestFigure = 1200.0;
constexpr double standingRow = 780.0;
constexpr double middleColumn = figureTextureWidth / 2.0;

struct Placement {
    double scale = 1.0;                  // texture pixels per drawing pixel
    double centreX = 0.0, bottom = 0.0;  // the drawing point that goes to (middle, standing)
};

// Scales the figure's box (drawing pixels, right and bottom exclusive) to the demo figures'
// height, or less when it would be wider than the widest of them; `shrink` scales it further.
Placement placeBox(int left, int top, int right, int bottom, double shrink);

Vec2 drawingToTexture(const Placement& placement, Vec2 d);
Vec2 textureToDrawing(const Placement& placement, Vec2 t);

// A window of the texture: the work is done in the part that holds the figure.
struct Frame {
    int left = 0, top = 0, width = 0, height = 0;
};

// The window around the texture box that the drawing's box goes to, `margin` pixels wider on
// every side, within the texture.
Frame frameAround(const Placement& placement, int left, int top, int right, int bottom, int margin);

// The drawing in a window of the texture: colour, how much of each pixel the figure covers, and
// how much of it has a colour of the figure's own.
struct PlacedDrawing {
    std::vector<uint8_t> rgb;  // frame width x height x 3
    Grid<uint8_t> cover;       // 0..255
    Grid<uint8_t> coloured;    // 0..255
};

// `figure` marks the drawing's pixels that belong to the figure, `coloured` those whose colour
// counts (non-zero).
PlacedDrawing placeDrawing(const Drawing& drawing, const Grid<uint8_t>& figure,
                           const Grid<uint8_t>& coloured, const Placement& placement,
                           const Frame& frame);

// Every pixel outside `source` takes the colour of the nearest pixel inside it, so that the
// mesh's margin beyond the outline shows the figure's own edge colour; `nearest` receives the
// index (y * width + x) of that pixel for every pixel.
void bleedColours(std::vector<uint8_t>& rgb, const Grid<uint8_t>& source,
                  std::vector<int32_t>& nearest);
