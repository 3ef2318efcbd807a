#include "driver/keyframes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "driver/slot_vertex.h"
#include "scene/text_lines.h"

namespace {

bool isBlank(const std::string& line) {
    for (unsigned char c : line) {
        if (!std::isspace(c)) return false;
    }
    return true;
}

// Skipped lines of one kind, told in one warning per file: a script of printed rows can hold
// thousands of them.
struct SkippedLines {
    long count = 0;
    long first = 0;

    void add(long lineNumber) {
        if (count++ == 0) first = lineNumber;
    }
};

}  // namespace

int32_t readKeyframes(const char* path, std::vector<Keyframe>& table) {
    table.clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "r"), &std::fclose);
    if (!file) {
        std::fprintf(stderr, "warning: can't open %s (%s); the show starts with no keyframes\n",
                     path, std::strerror(errno));
        return 0;
    }
    std::string line;
    long lineNumber = 0;
    SkippedLines blank;
    SkippedLines notRows;
    LineRead read;
    while ((read = readTextLine(file.get(), line, false)) == LineRead::line) {
        ++lineNumber;
        // A zero row would name slot 0 at time 0 and cut the interval of the row before it.
        if (isBlank(line)) {
            blank.add(lineNumber);
            continue;
        }
        Keyframe row{};
        if (!parseKeyframeRow(line, row)) {
            notRows.add(lineNumber);
            continue;
        }
        if (int32_t(table.size()) == MAX_KEYFRAMES) {
            std::fprintf(stderr, "warning: %s has more than %d rows; the rest is ignored\n", path,
                         MAX_KEYFRAMES);
            break;
        }
        table.push_back(row);
    }
    if (read == LineRead::error) {
        std::fprintf(stderr,
                     "warning: can't read %s after line %ld (%s); the show keeps the %d rows "
                     "read before\n",
                     path, lineNumber, std::strerror(errno), int(table.size()));
    }
    if (notRows.count > 0) {
        std::fprintf(stderr,
                     "warning: %s: %ld lines are not keyframe rows (the first is line %ld); "
                     "skipped\n",
                     path, notRows.count, notRows.first);
    }
    if (blank.count > 0) {
        std::fprintf(stderr, "warning: %s: %ld blank lines (the first is line %ld); skipped\n",
                     path, blank.count, blank.first);
    }
    return int32_t(table.size());
}

void applyKeyframesStepA(DriverState& state) {
    // The handle of the previous frame; the slot may have changed under it since (F1 to F6).
    if (state.currentScene != 0) {
        MeshVertex* previous = slotVertex(state, state.currentScene, state.selectedVertex);
        if (previous != nullptr) previous->isHandle = 0;
    }
    // A row is active strictly between its own time and the next row's; the last row only
    // closes the interval before it. Rows are not sorted, so every active row is applied and
    // the last one in table order decides.
    const int32_t count = std::min(state.keyframeCount, int32_t(state.keyframes.size()));
    for (int32_t k = 0; k + 1 < count; ++k) {
        const Keyframe& row = state.keyframes[k];
        if (!(row.time < state.showTime && state.showTime < state.keyframes[k + 1].time)) continue;
        MeshVertex* vertex = slotVertex(state, row.scene, row.vertex);
        if (vertex == nullptr) continue;  // names nothing the show holds
        state.currentScene = row.scene;
        state.selectedVertex = row.vertex;
        state.dragTarget = {double(row.x), double(row.y), double(row.z)};
        vertex->isHandle = 1;
    }
}

void applyKeyframesStepB(DriverState& state) {
    if (state.currentScene == 0) return;
    MeshVertex* vertex = slotVertex(state, state.currentScene, state.selectedVertex);
    if (vertex == nullptr) return;
    const Vec3f target{float(state.dragTarget.x), float(state.dragTarget.y),
                       float(state.dragTarget.z)};
    // A target that does not fit in a float (an un-projection far off) would poison the mesh.
    if (!std::isfinite(target.x) || !std::isfinite(target.y) || !std::isfinite(target.z)) return;
    vertex->pos = target;
}
