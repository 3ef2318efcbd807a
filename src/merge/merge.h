// The whole merge job of kelvaro-merge: takes of printed rows punched into a script. The
// authoring studio keeps its takes with the same steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "merge/rest_rows.h"
#include "merge/row_files.h"
#include "merge/show_check.h"
#include "merge/takes.h"

struct MergeOptions {
    std::string script;
    std::vector<std::string> takeFiles;  // "-" is standard input
    std::string output;                  // empty: the script in place, keeping SCRIPT~; "-": stdout
    std::string showFolder;              // empty: no check of slots and vertices
    double rowsPerSecond = 0.0;          // at most this many rows a second in a take; 0: all
    bool newScript = false;              // a missing script is an empty one
    int32_t clearSlot = -1;  // a figure slot whose rows give way to its figure at rest; needs
                             // showFolder, and then no take is needed
};

// The figure slot named by its number (1 to 4) or its folder's name, or -1.
int32_t figureSlotNamed(const std::string& name);

// Returns the exit status: 0 when the script was written, 1 when the input or the writing
// failed, in which case nothing was written. Diagnostics go to stderr.
int runMerge(const MergeOptions& options);

// Takes punched into a script.
struct MergedScript {
    std::vector<RowSource> rows;     // into the script and the takes as checked, sorted by time
    std::vector<std::string> notes;  // for the author, without a program's name in front
    size_t takeCount = 0;            // takes that kept rows through the check
    size_t takeRows = 0;
};

// With `show`, the rows naming what it does not hold are dropped from `script` and `takes`
// first, so that a take replaces rows only with rows that are kept; the takes keep their places
// and numbers. The notes tell the rows dropped and each take that replaces rows of an earlier
// one.
MergedScript mergeTakes(std::vector<RowLine>& script, std::vector<Take>& takes,
                        const ShowSize* show);

// The warning for a script longer than the show reads, or an empty string.
std::string tooManyRowsWarning(size_t rows);

// The merged script as it is written: each row's own text and a line feed.
std::string mergedText(const MergedScript& merged, const std::vector<RowLine>& script,
                       const std::vector<Take>& takes);

// Replaces `script` by `text` in one step; with `keepPrevious`, what it holds is first kept as
// SCRIPT~, byte for byte. False with `error` when either write failed: the script is then as
// it was.
bool replaceScript(const std::string& script, const std::string& text, bool keepPrevious,
                   std::string& error);
