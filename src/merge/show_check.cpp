#include "merge/show_check.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

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

long dropRowsOutsideShow(std::vector<RowLine>& rows, const ShowSize& size) {
    // Per slot named, how many rows went; slots outside the table are told together.
    std::map<int32_t, long> dropped;
    long noSuchSlot = 0;
    const auto outside = [&](const RowLine& line) {
        const int32_t slot = line.row.scene;
        if (slot < 0 || slot >= sceneSlotCount) {
            ++noSuchSlot;
            return true;
        }
        if (line.row.vertex >= 0 && line.row.vertex < size.vertexCount[slot]) return false;
        ++dropped[slot];
        return true;
    };
    rows.erase(std::remove_if(rows.begin(), rows.end(), outside), rows.end());
    if (noSuchSlot > 0) {
        std::fprintf(stderr, "kelvaro-merge: dropped %ld rows naming a slot outside 0 to %d\n",
                     noSuchSlot, sceneSlotCount - 1);
    }
    long total = noSuchSlot;
    for (const auto& [slot, count] : dropped) {
        total += count;
        if (size.vertexCount[slot] == 0) {
            std::fprintf(stderr,
                         "kelvaro-merge: dropped %ld rows naming slot %d (%s), which has "
                         "no mesh\n",
                         count, slot, sceneSlots[slot].directory);
        } else {
            std::fprintf(stderr,
                         "kelvaro-merge: dropped %ld rows naming a vertex outside 0 to %d "
                         "of slot %d (%s)\n",
                         count, size.vertexCount[slot] - 1, slot, sceneSlots[slot].directory);
        }
    }
    return total;
}
