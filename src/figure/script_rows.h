// What a new mesh means for the show's script: its rows name vertices by number, and a new
// mesh numbers its vertices anew, so the slot's old rows would drag other points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "merge/rest_rows.h"

// The script beside a slot folder, as it stands for a new figure.
struct SlotScript {
    std::string path;  // the script; empty when there is nothing to do
    int32_t slot = -1;
    ClearedRows cleared;  // the slot's old rows, and the rest rows that take their place
    size_t past = 0;      // old rows naming a vertex past the new mesh's count
    std::string text;     // the script with the slot's rows replaced
};

// Reads the script of the show that `folder` is a figure slot of. `path` stays empty when the
// folder is no figure slot, there is no script or it has no rows for the slot; otherwise
// `text` holds the script with those rows replaced by rows that hold `pin` (the new mesh's) at
// rest. False with `error` when the script is there but can't be read.
bool readSlotScript(const std::string& folder, const RestPin& pin, size_t vertices,
                    SlotScript& script, std::string& error);

// "anim.txt: the 1000 rows of slot 1 (kiv), 20.02-39.98 s, were for the old figure: ...": what
// became of the rows, replaced or, with `kept`, left as they were.
std::string slotScriptNote(const SlotScript& script, bool kept, size_t vertices);
