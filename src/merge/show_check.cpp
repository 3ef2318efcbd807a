#include "merge/show_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "scene/mesh_reader.h"

bool readShowSize(const std::string& folder, ShowSize& size, std::string& error) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) {
        error = "can't use show folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        error = "can't use show folder " + folder + ": " + std::strerror(ENOTDIR);
        return false;
    }
    size = ShowSize{};
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        const SceneSlotConfig& config = sceneSlots[slot];
        if (config.boneCount == 0) continue;
        Mesh mesh{};
        readMesh((folder + "/" + config.directory + "/mesh.obj").c_str(), mesh, false);
        const size_t count = mesh.vertices.size() * (config.appendMirror ? 2 : 1);
        size.vertexCount[slot] = int32_t(std::min<size_t>(count, INT32_MAX));
    }
    return true;
}

long dropRowsOutsideShow(std::vector<RowLine>& rows, const ShowSize& size, DroppedRows& dropped) {
    long total = 0;
    const auto outside = [&](const RowLine& line) {
        const int32_t slot = line.row.scene;
        if (slot < 0 || slot >= sceneSlotCount) {
            ++dropped.noSuchSlot;
        } else if (line.row.vertex >= 0 && line.row.vertex < size.vertexCount[slot]) {
            return false;
        } else {
            ++dropped.bySlot[slot];
        }
        ++total;
        return true;
    };
    rows.erase(std::remove_if(rows.begin(), rows.end(), outside), rows.end());
    return total;
}

std::vector<std::string> describeDroppedRows(const DroppedRows& dropped, const ShowSize& size) {
    std::vector<std::string> lines;
    char text[200];
    if (dropped.noSuchSlot > 0) {
        std::snprintf(text, sizeof text, "dropped %ld rows naming a slot outside 0 to %d",
                      dropped.noSuchSlot, sceneSlotCount - 1);
        lines.push_back(text);
    }
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        const long count = dropped.bySlot[slot];
        if (count == 0) continue;
        if (size.vertexCount[slot] == 0) {
            std::snprintf(text, sizeof text,
                          "dropped %ld rows naming slot %d (%s), which has no mesh", count, slot,
                          sceneSlots[slot].directory);
        } else {
            std::snprintf(text, sizeof text,
                          "dropped %ld rows naming a vertex outside 0 to %d of slot %d (%s)", count,
                          size.vertexCount[slot] - 1, slot, sceneSlots[slot].directory);
        }
        lines.push_back(text);
    }
    return lines;
}
