#include "scene/keyframe_row.h"

#include <cmath>
#include <cstdio>

bool parseKeyframeRow(const std::string& line, Keyframe& row) {
    row = Keyframe{};
    const int fields = std::sscanf(line.c_str(), "%f %d %d %f %f %f", &row.time, &row.scene,
                                   &row.vertex, &row.x, &row.y, &row.z);
    return fields == 6 && std::isfinite(row.time) && std::isfinite(row.x) && std::isfinite(row.y) &&
           std::isfinite(row.z);
}
