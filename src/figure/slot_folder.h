// Writing a figure's slot folder in one step: every file goes into a temporary folder beside
// it, which then takes the folder's place; the folder it replaces is kept as FOLDER~.
#pragma once

#include <string>

#include "figure/make_figure.h"
#include "files/atomic_file.h"

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

// A slot folder filled under its temporary name, not yet in place: whatever else must change
// with the figure can be made ready before anything is renamed.
struct PreparedSlot {
    AtomicFolder folder;
    std::string keep;  // where the folder it replaces goes (FOLDER~); empty when there is none
};

// Fills the temporary folder. False with a message, and nothing changed, as writeSlotFolder.
bool prepareSlotFolder(const SlotWriting& writing, const FigureResult& figure,
                       PreparedSlot& prepared, std::string& error);

// The mesh file as it will be read once the folder is in place.
std::string preparedMeshPath(const PreparedSlot& prepared);

// Puts the prepared folder in place. False with a message when it could not be.
bool commitSlotFolder(PreparedSlot& prepared, std::string& error);

// Drops a prepared folder that was not committed.
void abandonSlotFolder(PreparedSlot& prepared);

// Undoes a commit: the folder it replaced takes its place again (from FOLDER~, which is then
// gone) and the new figure is dropped; without a folder before it, the new one is removed.
// True when the old state is back, `error` then telling only of a new figure it could not
// remove; false with a message when the new figure stays in place.
bool restoreSlotFolder(const PreparedSlot& prepared, std::string& error);

// Writes the figure's mesh.obj, tex.png and bone masks into the folder `into`, which must
// exist; bkg.png is left to the caller. False with a message when a file can't be written.
bool writeFigureFiles(const FigureResult& figure, const std::string& into, std::string& error);

// The plain background that a new slot gets: a dark blue fall towards the floor.
std::vector<uint8_t> plainBackground(int width, int height);
