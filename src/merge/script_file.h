// Replacing a script on disk so that a reader sees either the old or the new file, never half.
#pragma once

#include <string>

// Reads the whole file. False with a message in `error` when it can't be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Writes `bytes` to a temporary file in the folder of `path` and renames it to `path`, which
// keeps its permissions if it exists. On failure `path` is untouched, the temporary file is
// gone, and `error` says why.
bool replaceFileAtomically(const std::string& path, const std::string& bytes, std::string& error);
