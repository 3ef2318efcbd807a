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

std::string formatKeyframeRow(double time, int32_t scene, int32_t vertex, double x, double y,
                              double z) {
    char text[128];
    const int length =
        std::snprintf(text, sizeof text, "%f %d %d %f %f %f", time, scene, vertex, x, y, z);
    if (length < 0) return std::string();
    if (size_t(length) < sizeof text) return std::string(text, size_t(length));
    // A target far off the screen prints hundreds of digits.
    std::string line(size_t(length), '\0');
    std::snprintf(&line[0], line.size() + 1, "%f %d %d %f %f %f", time, scene, vertex, x, y, z);
    return line;
}
