// Which pixels of a drawing are the figure: the opaque ones, or those away from the background
// colour; the islands big enough to keep; the holes big enough to stay holes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "figure/drawing.h"
#include "figure/grid.h"

struct BackgroundSettings {
    int alphaThreshold = 128;
    bool keyGiven = false;
    uint8_t key[3] = {0, 0, 0};
};

// How far (in any channel) a pixel may be from the background colour and still be background.
constexpr int keyTolerance = 32;

// The figure's pixels as 255, the rest 0. Without transparency the background is the key
// colour, or the corners' colour when they agree; false with a message when there is none.
// `how` says which rule was taken, `keyed` whether a colour was.
bool silhouetteOf(const Drawing& drawing, const BackgroundSettings& settings,
                  Grid<uint8_t>& silhouette, bool& keyed, std::string& how, std::string& error);

// On a key colour the figure's edge pixels are part background: each takes the colour of the
// nearest pixel two or more pixels inside the figure, so that no rim of the background's colour
// goes along with the figure. Lines too thin to have such pixels keep their own colours.
void cleanFringe(Drawing& drawing, const Grid<uint8_t>& figure);

struct Island {
    int pixels = 0;
    double centreX = 0.0, centreY = 0.0;  // in the grid's pixels
};

struct Islands {
    std::vector<Island> kept, dropped;
    Grid<int32_t> label;  // kept islands 1, 2, ... in order of size; 0 elsewhere
};

// Finds the islands (8-connected), keeps those of at least `share` of all the figure's pixels
// and clears the others from `silhouette`. False with a message when there are more than
// `most` islands in all, or none.
bool keepLargeIslands(Grid<uint8_t>& silhouette, double share, int most, Islands& islands,
                      std::string& error);

// `across` at this or more fills every enclosed hole.
constexpr double fillEveryHole = 1e9;

// Fills the enclosed holes that have no disc of diameter `across` in them, except slits (long,
// and from one to a few pixels wide), and says how many were filled. Returns how many holes
// stay.
int fillSmallHoles(Grid<uint8_t>& silhouette, double across, int& filled);
