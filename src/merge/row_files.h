// Files of keyframe rows as the authoring tool prints them, and scripts: each row with its text.
#pragma once

#include <string>
#include <vector>

#include "scene/keyframe_row.h"

struct RowLine {
    Keyframe row;
    std::string text;  // the line as written, without its line feed or a carriage return
};

struct RowFile {
    std::vector<RowLine> rows;
    long cameraLines = 0;  // "fov=..." lines printed by Tab
    long otherLines = 0;   // blank lines and lines that are no row
};

// Reads every row of `path` ("-" is standard input). False with a message in `error` when the
// file can't be opened or read; nothing is kept then.
bool readRowFile(const std::string& path, RowFile& file, std::string& error);
