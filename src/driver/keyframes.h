// The keyframe script: reading "anim.txt" and applying the active rows during playback.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/driver_state.h"
#include "driver/keyframe.h"

// Reads the script into `table` (at most MAX_KEYFRAMES rows) and returns the row count.
int32_t readKeyframes(const char* path, std::vector<Keyframe>& table);

// Step A: clears the previous handle and makes the vertices of the active rows handles.
void applyKeyframesStepA(DriverState& state);

// Step B: puts the selected vertex of the current slot at the drag target.
void applyKeyframesStepB(DriverState& state);
