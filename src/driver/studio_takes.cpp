#include "driver/studio_takes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "driver/keyframes.h"
#include "merge/merge.h"

namespace {

// The takes merged into the script as it is on disk, the merge's notes and warning told.
MergedScript mergeAndTell(StudioTakes& studio, const ShowSize& show) {
    const MergedScript merged = mergeTakes(studio.script.rows, studio.takes, &show);
    for (const std::string& note : merged.notes) tellStudio(note);
    const std::string warning = tooManyRowsWarning(merged.rows.size());
    if (!warning.empty()) tellStudio(warning);
    return merged;
}

std::string plural(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

void tellStudio(const std::string& text) {
    std::fprintf(stderr, "studio: %s\n", text.c_str());
}

bool takeRow(StudioTakes& studio, std::string text) {
    RowLine line;
    // The row as the merge reads it back from the console, float for float.
    if (!parseKeyframeRow(text, line.row)) return false;
    line.text = std::move(text);
    std::vector<Take>& takes = studio.takes;
    if (studio.open && !takes.empty() && continuesTake(takes.back().rows.back().row, line.row)) {
        takes.back().rows.push_back(std::move(line));
        return true;
    }
    takes.emplace_back();
    takes.back().rows.push_back(std::move(line));
    studio.open = true;
    studio.undone.clear();
    return true;
}

void closeTake(StudioTakes& studio) {
    studio.open = false;
}

bool undoTake(StudioTakes& studio) {
    closeTake(studio);
    if (studio.takes.empty()) {
        tellStudio("no take to undo");
        return false;
    }
    tellStudio("undo " + describeTake(studio.takes.back(), studio.takes.size() - 1) + ", " +
               plural(studio.takes.back().rows.size(), "row", "rows"));
    studio.undone.push_back(std::move(studio.takes.back()));
    studio.takes.pop_back();
    return true;
}

bool redoTake(StudioTakes& studio) {
    closeTake(studio);
    if (studio.undone.empty()) {
        tellStudio("no take to redo");
        return false;
    }
    studio.takes.push_back(std::move(studio.undone.back()));
    studio.undone.pop_back();
    tellStudio("redo " + describeTake(studio.takes.back(), studio.takes.size() - 1) + ", " +
               plural(studio.takes.back().rows.size(), "row", "rows"));
    return true;
}

bool refreshScript(StudioScript& script, const char* path, const ShowSize& show) {
    struct stat info {};
    const bool exists = stat(path, &info) == 0;
    const int statErrno = errno;
    const int64_t modified =
        exists ? int64_t(info.st_mtim.tv_sec) * 1000000000 + int64_t(info.st_mtim.tv_nsec) : 0;
    if (script.read && exists == script.exists && script.error.empty() &&
        (!exists ||
         (modified == script.modified && int64_t(info.st_size) == script.size &&
          uint64_t(info.st_ino) == script.inode && uint64_t(info.st_dev) == script.device))) {
        return true;
    }
    script = StudioScript{};
    script.read = true;
    script.exists = exists;
    if (!exists) {
        if (statErrno != ENOENT)
            script.error = std::string("can't read ") + path + ": " + std::strerror(statErrno);
        return false;
    }
    script.modified = modified;
    script.size = int64_t(info.st_size);
    script.inode = uint64_t(info.st_ino);
    script.device = uint64_t(info.st_dev);
    RowFile file;
    if (!readRowFile(path, file, script.error)) return false;
    script.rows = std::move(file.rows);
    DroppedRows dropped;
    dropRowsOutsideShow(script.rows, show, dropped);
    for (const std::string& line : describeDroppedRows(dropped, show)) {
        tellStudio(std::string(path) + ": " + line);
    }
    return false;
}

int32_t mergeForPreview(StudioTakes& studio, const char* path, const ShowSize& show,
                        std::vector<Keyframe>& table) {
    refreshScript(studio.script, path, show);
    if (!studio.script.error.empty()) {
        tellStudio(studio.script.error + "; the preview plays the takes alone");
    }
    const MergedScript merged = mergeAndTell(studio, show);
    table.clear();
    const size_t count = std::min(merged.rows.size(), size_t(MAX_KEYFRAMES));
    table.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        table.push_back(sourceLine(studio.script.rows, studio.takes, merged.rows[i]).row);
    }
    return int32_t(count);
}

bool keepTakes(StudioTakes& studio, const char* path, const ShowSize& show) {
    closeTake(studio);
    if (studio.takes.empty()) {
        tellStudio(std::string("no takes to keep; ") + path + " is as it was");
        return false;
    }
    refreshScript(studio.script, path, show);
    const std::string kept = plural(studio.takes.size(), "take", "takes");
    if (!studio.script.error.empty()) {
        tellStudio(studio.script.error + "; the " + kept + " stay, not kept");
        return false;
    }
    const MergedScript merged = mergeAndTell(studio, show);
    std::string error;
    const std::string text = mergedText(merged, studio.script.rows, studio.takes);
    if (!replaceScript(path, text, studio.script.exists, error)) {
        tellStudio("can't keep the takes: " + error + "; the " + kept + " stay, not kept");
        return false;
    }
    tellStudio(kept + " (" + plural(merged.takeRows, "row", "rows") + ") kept in " + path +
               ", which holds " + plural(merged.rows.size(), "row", "rows") +
               (studio.script.exists ? "; the previous script is " + std::string(path) + "~"
                                     : "; it is a new script"));
    studio.takes.clear();
    studio.undone.clear();
    // Read back at the next need, as any writer's file would be.
    studio.script = StudioScript{};
    return true;
}

size_t takeRowCount(const std::vector<Take>& takes) {
    size_t rows = 0;
    for (const Take& take : takes) rows += take.rows.size();
    return rows;
}
