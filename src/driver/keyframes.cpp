#include "driver/keyframes.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "driver/slot_vertex.h"

namespace {

bool isBlank(const std::string& line) {
    for (unsigned char c : line) {
        if (!std::isspace(c)) return false;
    }
    return true;
}

// Reads one line of any length; false at the end of the file. A last line without a line feed
// is still a line.
bool readLine(std::FILE* file, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(file)) != EOF) {
        if (c == '\n') return true;
        line.push_back(char(c));
    }
    return !line.empty();
}

}  // namespace

int32_t readKeyframes(const char* path, std::vector<Keyframe>& table) {
    table.clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "r"), &std::fclose);
    if (!file) {
        std::fprintf(stderr, "warning: can't read %s; the show starts with no keyframes\n", path);
        return 0;
    }
    std::string line;
    long lineNumber = 0;
    while (readLine(file.get(), line)) {
        ++lineNumber;
        if (isBlank(line)) continue;
        Keyframe row{};
        const int fields = std::sscanf(line.c_str(), "%f %d %d %f %f %f", &row.time, &row.scene,
                                       &row.vertex, &row.x, &row.y, &row.z);
        // A row that is not six finite numbers would put a handle at a made-up place.
        if (fields != 6 || !std::isfinite(row.time) || !std::isfinite(row.x) ||
            !std::isfinite(row.y) || !std::isfinite(row.z)) {
            std::fprintf(stderr, "warning: %s line %ld is not a keyframe row; skipped\n", path,
                         lineNumber);
            continue;
        }
        if (int32_t(table.size()) == MAX_KEYFRAMES) {
            std::fprintf(stderr, "warning: %s has more than %d rows; the rest is ignored\n", path,
                         MAX_KEYFRAMES);
            break;
        }
        table.push_back(row);
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
