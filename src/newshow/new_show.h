// A whole show folder made from a song: its music, a timeline fitted to it, the title and
// closing cards, the four figures (the demo's or the user's) and a script that shows each in its
// section.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "newshow/card_text.h"
#include "newshow/new_show_options.h"

// Checks the song, the pictures and the folder first, then writes the folder in one step. False
// with a message when anything can't be used or written; nothing is written then. `progress`
// hears the share of the song encoded (0 to 1) when it is encoded; `summary` gets a line for
// each thing written.
bool makeNewShow(const NewShowOptions& options, const std::function<void(double)>& progress,
                 std::vector<std::string>& summary, std::string& error);

// The lines of the title card (slot 0) or of the closing card (slot 5), as the options give
// them: the title's first line large and bold on both, the credits under it on the closing
// card; without a title, the folder's name.
std::vector<CardLine> cardLines(const NewShowOptions& options, int slot);
