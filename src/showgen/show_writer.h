// The whole demo show folder: the six slot folders with their pictures, meshes and masks, the
// keyframe script and the music; and a slot's pictures or figure one at a time, for show folders
// that keep some of the demo's slots.
#pragma once

#include <string>

#include "showgen/figure.h"

// Writes everything into `root` (made if missing), the same bytes every time. False, with the
// reasons on stderr, when a file can't be written or a figure or the script would leave the
// view.
bool generateShow(const std::string& root);

// A demo figure: its design and what was built from it, the mesh wound for the start view.
struct DemoFigure {
    int slot = 0;
    FigureDesign design;
    BuiltFigure built;
};

// The demo figure of slot 1 to 4.
DemoFigure demoFigure(int slot);

// Writes the figure's tex.png, bone masks and mesh.obj into `folder`, which must exist. False,
// with the reason on stderr, when a file can't be written.
bool writeDemoFigure(const std::string& folder, const DemoFigure& figure);
