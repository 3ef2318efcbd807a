// The authoring controls: keys move the camera and the mesh, the mouse picks and drags.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/driver_state.h"
#include "platform/input_table.h"
#include "render/matrix_store.h"

void handleKeys(DriverState& state, const InputTable& input);

// Releases, picks and drags in authoring; runs keyframe steps A and B in playback. Reads the
// matrix store back from GL before it picks or drags.
void handleMouse(DriverState& state, const InputTable& input, MatrixStore& matrices);

// The vertex nearest to the cursor in window pixels, made a handle; -1 when none is found.
// Sets pickDepth to the window depth of the vertex found.
int32_t pickNearestVertex(std::vector<MeshVertex>& vertices, float mx, float my,
                          const MatrixStore& matrices, double& pickDepth);
