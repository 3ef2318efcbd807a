// Files and folders replaced so that their name always holds either the whole old content or
// the whole new one: the new content is written under a temporary name beside the final one,
// made durable, and renamed over it.
//
// A temporary name is ".NAME.partial-PID-XXXXXX" in the folder of NAME. Only a writer that was
// killed leaves one behind; the next writer of the same name removes those whose process is
// gone.
#pragma once

#include <string>

// Reads the whole file. False with a message in `error` when it can't be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes, std::string& error);

// A file being written under its temporary name.
struct AtomicFile {
    std::string path;       // the name it gets when committed
    std::string temporary;  // where it is written until then
    int fd = -1;            // open for writing on `temporary`; -1 once closed
};

// Makes the temporary file, with the permissions of the file it will replace (or those a new
// file gets). Whoever writes by name rather than through `fd` may close it first. On failure
// errno still says why.
bool beginAtomicFile(const std::string& path, AtomicFile& file, std::string& error);

// Puts the temporary file in place: on disk first, then renamed, then the rename itself made
// durable. On failure the temporary file is gone and `path` is untouched.
bool commitAtomicFile(AtomicFile& file, std::string& error);

// Removes the temporary file; `path` is untouched. Safe to call more than once.
void abandonAtomicFile(AtomicFile& file);

// Writes `bytes` to `path` as one atomic replacement. On failure `path` is untouched, the
// temporary file is gone, and `error` says why.
bool replaceFileAtomically(const std::string& path, const std::string& bytes, std::string& error);

// A folder being filled under its temporary name.
struct AtomicFolder {
    std::string path;
    std::string temporary;
};

// Makes the temporary folder beside `path`.
bool beginAtomicFolder(const std::string& path, AtomicFolder& folder, std::string& error);

// Makes every file in the temporary folder durable and puts the folder in place in one step.
// A folder that was there is kept under `keepOldAs` (replacing what that held) or removed when
// `keepOldAs` is empty. On failure the temporary folder is gone and `path` is untouched.
bool commitAtomicFolder(AtomicFolder& folder, const std::string& keepOldAs, std::string& error);

// Removes the temporary folder and all it holds. Safe to call more than once.
void abandonAtomicFolder(AtomicFolder& folder);
