// The whole merge job of kelvaro-merge: takes of printed rows punched into a script.
#pragma once

#include <string>
#include <vector>

struct MergeOptions {
    std::string script;
    std::vector<std::string> takeFiles;  // "-" is standard input
    std::string output;                  // empty: the script in place, keeping SCRIPT~; "-": stdout
    std::string showFolder;              // empty: no check of slots and vertices
    double rowsPerSecond = 0.0;          // at most this many rows a second in a take; 0: all
    bool newScript = false;              // a missing script is an empty one
};

// Returns the exit status: 0 when the script was written, 1 when the input or the writing
// failed, in which case nothing was written. Diagnostics go to stderr.
int runMerge(const MergeOptions& options);
