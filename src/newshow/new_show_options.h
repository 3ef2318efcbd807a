// The command line of kelvaro-new.
#pragma once

#include <string>
#include <vector>

#include "scene/show_facts.h"

struct NewShowOptions {
    std::string song;
    std::string folder;
    std::string clicks;                       // with --clicks: the WAV file to write, no folder
    std::vector<std::string> title;           // the title card's lines; empty: the folder's name
    std::vector<std::string> credits;         // the closing card's lines; empty: as the title's
    std::string figures[sceneSlotCount];      // a drawing per figure slot (1 to 4), or empty
    std::string backgrounds[sceneSlotCount];  // a picture per slot (0 to 5), or empty
    bool replace = false;
    bool help = false;
};

// False with a message for a command line that can't be followed.
bool parseNewShowOptions(int argc, const char* const* argv, NewShowOptions& options,
                         std::string& error);

extern const char* const newShowUsage;
