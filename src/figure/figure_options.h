// The command line of kelvaro-figure.
#pragma once

#include <string>

#include "figure/silhouette.h"

struct FigureOptions {
    std::string picture;
    std::string folder;
    int bones = 0;         // 0: from the slot table, by the folder's name
    double spacing = 0.0;  // 0: from the figure's size
    BackgroundSettings background;
    bool fillHoles = false;
    bool keepGround = false;  // bone a floor or shadow under the feet like the rest
    std::string backgroundPicture;
    std::string preview;
    bool replace = false;
    bool keepRows = false;  // leave the script's rows for the slot as they are
    bool help = false;
};

// False with a message for a command line that can't be followed.
bool parseFigureOptions(int argc, const char* const* argv, FigureOptions& options,
                        std::string& error);

// The bone count of a slot folder's name in the show's table, or 0 for a name it doesn't have.
int slotBones(const std::string& folder);

// The slot index of a folder's name in the show's table, or -1.
int slotIndex(const std::string& folder);

extern const char* const figureUsage;
