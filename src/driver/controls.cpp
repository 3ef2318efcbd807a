#include "driver/controls.h"

#include "driver/keyframes.h"

void handleKeys(DriverState& state, const InputTable& input) {
    if (input.keys[VK_ESCAPE]) state.running = false;
}

void handleMouse(DriverState& /*state*/, const InputTable& /*input*/, MatrixStore& matrices) {
    readMatrixStore(matrices);
}

int32_t pickNearestVertex(std::vector<MeshVertex>& /*vertices*/, float /*mx*/, float /*my*/,
                          const MatrixStore& /*matrices*/, double& /*pickDepth*/) {
    return -1;
}
