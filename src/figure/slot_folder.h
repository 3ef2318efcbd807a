// Writing a figure's slot folder in one step: every file goes into a temporary folder beside
// it, which then takes the folder's place; the folder it replaces is kept as FOLDER~.
#pragma once

#include <string>

#include "figure/make_figure.h"

struct SlotWriting {
    std::string folder;
    std::string background;  // a picture for bkg.png; empty: keep the folder's, or make one
    bool replace = false;    // needed when the folder already holds a figure
};

// Whether the folder exists and holds a figure (a mesh, a texture or a mask).
bool holdsFigure(const std::string& folder);

// False with a message when the folder holds a figure and `replace` is off, or anything
// can't be written; then nothing has changed.
bool writeSlotFolder(const SlotWriting& writing, const FigureResult& figure, std::string& error);

// Writes the figure's mesh.obj, tex.png and bone masks into the folder `into`, which must
// exist; bkg.png is left to the caller. False with a message when a file can't be written.
bool writeFigureFiles(const FigureResult& figure, const std::string& into, std::string& error);

// The plain background that a new slot gets: a dark blue fall towards the floor.
std::vector<uint8_t> plainBackground(int width, int height);
