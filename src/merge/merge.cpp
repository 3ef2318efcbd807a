#include "merge/merge.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/atomic_file.h"

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

int32_t figureSlotNamed(const std::string& name) {
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        if (sceneSlots[slot].boneCount == 0) continue;
        if (name == sceneSlots[slot].directory || name == std::to_string(slot)) return slot;
    }
    return -1;
}

MergedScript mergeTakes(std::vector<RowLine>& script, std::vector<Take>& takes,
                        const ShowSize* show) {
    MergedScript merged;
    if (show != nullptr) {
        DroppedRows dropped;
        dropRowsOutsideShow(script, *show, dropped);
        for (Take& take : takes) dropRowsOutsideShow(take.rows, *show, dropped);
        merged.notes = describeDroppedRows(dropped, *show);
    }
    for (const Take& take : takes) {
        if (take.rows.empty()) continue;
        ++merged.takeCount;
        merged.takeRows += take.rows.size();
    }
    for (const TakeOverlap& overlap : findOverlaps(takes)) {
        merged.notes.push_back(describeOverlap(takes, overlap));
    }
    merged.rows = punchTakes(script, takes);
    return merged;
}

std::string tooManyRowsWarning(size_t rows) {
    if (rows <= size_t(MAX_KEYFRAMES)) return "";
    return "warning: the script has " + std::to_string(rows) +
           " rows, and the show reads only the first " + std::to_string(MAX_KEYFRAMES);
}

std::string mergedText(const MergedScript& merged, const std::vector<RowLine>& script,
                       const std::vector<Take>& takes) {
    size_t length = 0;
    for (const RowSource& source : merged.rows) {
        length += sourceLine(script, takes, source).text.size() + 1;
    }
    std::string text;
    text.reserve(length);
    for (const RowSource& source : merged.rows) {
        text += sourceLine(script, takes, source).text;
        text += '\n';
    }
    return text;
}

bool replaceScript(const std::string& script, const std::string& text, bool keepPrevious,
                   std::string& error) {
    if (keepPrevious) {
        // The backup holds the script as it is now, byte for byte, lines that are no row
        // included.
        std::string previous;
        if (!readWholeFile(script, previous, error) ||
            !replaceFileAtomically(script + "~", previous, error)) {
            error += "; " + script + " is left as it was";
            return false;
        }
    }
    return replaceFileAtomically(script, text, error);
}

int runMerge(const MergeOptions& options) {
    const bool inPlace = options.output.empty();
    if (inPlace && options.script == "-") {
        return fail("standard input can't be rewritten in place; name the output with -o");
    }
    ShowSize show;
    std::string error;
    const bool checkShow = !options.showFolder.empty();
    if (checkShow && !readShowSize(options.showFolder, show, error)) return fail(error);

    RowFile script;
    struct stat info {};
    const bool scriptExists = options.script == "-" || stat(options.script.c_str(), &info) == 0;
    if (!scriptExists && !(errno == ENOENT && options.newScript)) {
        return fail("can't open " + options.script + ": " + std::strerror(errno) +
                    (errno == ENOENT ? " (--new starts a new script)" : ""));
    }
    if (scriptExists && !readRowFile(options.script, script, error)) return fail(error);
    tellSkipped(options.script, script);

    ClearedRows cleared;
    const bool clearing = options.clearSlot >= 0;
    if (clearing) {
        const int32_t slot = options.clearSlot;
        const std::string mesh =
            options.showFolder + "/" + sceneSlots[slot].directory + "/mesh.obj";
        RestPin pin;
        if (!readRestPin(mesh, pin, error)) {
            return fail("can't clear slot " + std::to_string(slot) + " (" +
                        sceneSlots[slot].directory + "): " + error);
        }
        cleared = clearSlotRows(script.rows, slot, pin);
        if (cleared.replaced == 0) {
            std::fprintf(stderr, "kelvaro-merge: %s has no rows of slot %d (%s) to clear%s\n",
                         options.script.c_str(), slot, sceneSlots[slot].directory,
                         options.takeFiles.empty() ? "; it is left as it was" : "");
            if (options.takeFiles.empty()) return 0;
        }
    }

    std::vector<Take> takes;
    for (const std::string& path : options.takeFiles) {
        RowFile file;
        if (!readRowFile(path, file, error)) return fail(error);
        tellSkipped(path, file);
        // A drag never runs from one file into the next.
        for (Take& take : splitTakes(file.rows)) {
            thinTake(take, options.rowsPerSecond);
            takes.push_back(std::move(take));
        }
    }

    const MergedScript merged = mergeTakes(script.rows, takes, checkShow ? &show : nullptr);
    for (const std::string& note : merged.notes) {
        std::fprintf(stderr, "kelvaro-merge: %s\n", note.c_str());
    }
    const std::string warning = tooManyRowsWarning(merged.rows.size());
    if (!warning.empty()) {
        std::fprintf(stderr,
                     "kelvaro-merge: %s; --rate N keeps at most N rows a second of each take\n",
                     warning.c_str());
    }

    const std::string text = mergedText(merged, script.rows, takes);
    const std::string& target = inPlace ? options.script : options.output;
    if (target == "-") {
        if (!writeStdout(text))
            return fail(std::string("can't write standard output: ") + std::strerror(errno));
    } else if (!replaceScript(target, text, inPlace && scriptExists, error)) {
        return fail(error);
    }
    if (clearing && cleared.replaced > 0) {
        const std::string where = target == "-" ? std::string()
                                  : inPlace     ? "; the old script is " + options.script + "~"
                                                : "; " + options.script + " is left as it was";
        std::fprintf(stderr,
                     "kelvaro-merge: %s: %s, were cleared: the figure at rest over their "
                     "span%s\n",
                     options.script.c_str(),
                     describeClearedRows(cleared, options.clearSlot).c_str(), where.c_str());
    }
    std::fprintf(stderr, "kelvaro-merge: %zu takes (%zu rows) merged; %s holds %zu rows\n",
                 merged.takeCount, merged.takeRows, target == "-" ? "the script" : target.c_str(),
                 merged.rows.size());
    return 0;
}
