// One row of the keyframe script, and the bounds of the table.
#pragma once

#include <cstdint>

struct Keyframe {
    float time;
    int32_t scene;
    int32_t vertex;
    float x;
    float y;
    float z;
};

constexpr int32_t MAX_KEYFRAMES = 16384;
