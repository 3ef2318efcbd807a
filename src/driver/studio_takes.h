// The authoring studio's takes: every drag kept in memory as well as printed, played in the
// preview with the script, dropped and brought back, and kept in the script with K. The merge
// layer's own steps cut, punch and write them, so the studio and kelvaro-merge agree.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/keyframe.h"
#include "merge/show_check.h"
#include "merge/takes.h"

// The script as the studio last read it, and what told the file apart then: a change of any of
// them (the writers replace the file, so its inode changes too) means a fresh read.
struct StudioScript {
    bool read;
    bool exists;
    std::string error;  // why it could not be read; the rows are then empty
    int64_t modified;   // nanoseconds
    int64_t size;
    uint64_t inode;
    uint64_t device;
    std::vector<RowLine> rows;  // checked against the show
};

struct StudioTakes {
    std::vector<Take> takes;   // recorded and not kept, the latest last
    std::vector<Take> undone;  // dropped by undo, the latest last, for redo
    bool open;                 // the next row may go on the last take
    StudioScript script;
};

// Stderr, never the console: stdout carries the takes' rows.
void tellStudio(const std::string& text);

// A row just printed, in its printed text: it goes on the last take when it continues it by
// kelvaro-merge's rule, and starts a take otherwise, which drops what undo had dropped. False
// for a line that is no row to the merge either, which is left out.
bool takeRow(StudioTakes& studio, std::string text);

// The next row starts a take of its own, whatever it is.
void closeTake(StudioTakes& studio);

// Drop the last take / bring back the last one dropped, telling which on stderr. False, after
// saying so, when there is none.
bool undoTake(StudioTakes& studio);
bool redoTake(StudioTakes& studio);

// Reads `path` again unless it is the file read last time. False when it was read afresh.
bool refreshScript(StudioScript& script, const char* path, const ShowSize& show);

// The script with the takes merged in, as kelvaro-merge --show writes it, into `table` (at most
// MAX_KEYFRAMES rows); tells what the merge tells. Returns the row count.
int32_t mergeForPreview(StudioTakes& studio, const char* path, const ShowSize& show,
                        std::vector<Keyframe>& table);

// K: writes the script with the takes merged in to `path` as `kelvaro-merge --show` would, in
// one step, the previous script kept as PATH~; a missing script is started. Then the takes
// belong to the script and the lists are empty. False when nothing was written: the takes stay,
// and stderr says why.
bool keepTakes(StudioTakes& studio, const char* path, const ShowSize& show);

// The rows of all the takes, for the word on leaving.
size_t takeRowCount(const std::vector<Take>& takes);
