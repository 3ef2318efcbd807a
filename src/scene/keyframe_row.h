// One row of the keyframe script, the bounds of the table, and how a line of text becomes a
// row: shared by the show, which reads the script, and the tools that write it.
#pragma once

#include <cstdint>
#include <string>

struct Keyframe {
    float time;
    int32_t scene;
    int32_t vertex;
    float x;
    float y;
    float z;
};

constexpr int32_t MAX_KEYFRAMES = 16384;

// Reads "time slot vertex x y z" from the start of `line` (anything after the sixth number is
// ignored). False, with `row` in an unspecified state, unless all six fields are there and the
// time and the target are finite: such a row would put a handle at a made-up place.
bool parseKeyframeRow(const std::string& line, Keyframe& row);

// The row as the authoring tool prints it, "%f %d %d %f %f %f", without the line feed: the one
// place that writes the format, so that the console and the studio's takes hold the same bytes.
std::string formatKeyframeRow(double time, int32_t scene, int32_t vertex, double x, double y,
                              double z);
