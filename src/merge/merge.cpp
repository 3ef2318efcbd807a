#include "merge/merge.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/atomic_file.h"
#include "merge/row_files.h"
#include "merge/show_check.h"
#include "merge/takes.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "kelvaro-merge: %s\n", message.c_str());
    return 1;
}

void tellSkipped(const std::string& path, const RowFile& file) {
    if (file.cameraLines > 0) {
        std::fprintf(stderr, "kelvaro-merge: %s: skipped %ld camera lines\n", path.c_str(),
                     file.cameraLines);
    }
    if (file.otherLines > 0) {
        std::fprintf(stderr, "kelvaro-merge: %s: skipped %ld lines that are not rows\n",
                     path.c_str(), file.otherLines);
    }
}

bool writeStdout(const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

}  // namespace

int runMerge(const MergeOptions& options) {
    const bool inPlace = options.output.empty();
    if (inPlace && options.script == "-") {
        return fail("standard input can't be rewritten in place; name the output with -o");
    }
    ShowSize show;
    std::string error;
    if (!options.showFolder.empty() && !readShowSize(options.showFolder, show, error)) {
        return fail(error);
    }

    RowFile script;
    struct stat info {};
    const bool scriptExists = options.script == "-" || stat(options.script.c_str(), &info) == 0;
    if (!scriptExists && !(errno == ENOENT && options.newScript)) {
        return fail("can't open " + options.script + ": " + std::strerror(errno) +
                    (errno == ENOENT ? " (--new starts a new script)" : ""));
    }
    if (scriptExists && !readRowFile(options.script, script, error)) return fail(error);
    tellSkipped(options.script, script);

    std::vector<Take> takes;
    size_t takeRows = 0;
    for (const std::string& path : options.takeFiles) {
        RowFile file;
        if (!readRowFile(path, file, error)) return fail(error);
        tellSkipped(path, file);
        // A drag never runs from one file into the next.
        for (Take& take : splitTakes(file.rows)) {
            thinTake(take, options.rowsPerSecond);
            takeRows += take.rows.size();
            takes.push_back(std::move(take));
        }
    }

    std::vector<RowLine> merged = applyTakes(script.rows, takes);
    if (!options.showFolder.empty()) dropRowsOutsideShow(merged, show);
    if (merged.size() > size_t(MAX_KEYFRAMES)) {
        std::fprintf(stderr,
                     "kelvaro-merge: warning: the script has %zu rows, and the show reads only "
                     "the first %d; --rate N keeps at most N rows a second of each take\n",
                     merged.size(), MAX_KEYFRAMES);
    }

    size_t length = 0;
    for (const RowLine& line : merged) length += line.text.size() + 1;
    std::string text;
    text.reserve(length);
    for (const RowLine& line : merged) {
        text += line.text;
        text += '\n';
    }
    const std::string& target = inPlace ? options.script : options.output;
    if (target == "-") {
        if (!writeStdout(text))
            return fail(std::string("can't write standard output: ") + std::strerror(errno));
    } else {
        if (inPlace && scriptExists) {
            // The backup holds the script as it is now, byte for byte, lines that are no row
            // included.
            std::string previous;
            if (!readWholeFile(options.script, previous, error) ||
                !replaceFileAtomically(options.script + "~", previous, error)) {
                return fail(error + "; " + options.script + " is left as it was");
            }
        }
        if (!replaceFileAtomically(target, text, error)) return fail(error);
    }
    std::fprintf(stderr, "kelvaro-merge: %zu takes (%zu rows) merged; %s holds %zu rows\n",
                 takes.size(), takeRows, target == "-" ? "the script" : target.c_str(),
                 merged.size());
    return 0;
}
