// The keyframe reader on arbitrary file contents, and playback of what it read: the table
// never outgrows its bound, every row it keeps is six finite numbers, and playing the rows at
// any time touches only vertices that the slots hold.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "driver/driver_state.h"
#include "driver/keyframes.h"
#include "fuzz_support.h"

namespace {

// Slots 1 and 2 carry small meshes, the others none, as the show's background-only slots.
void giveMeshes(DriverState& state) {
    state.scenes[1].boneCount = 1;
    state.scenes[1].mesh.vertices.assign(3, MeshVertex{});
    state.scenes[2].boneCount = 1;
    state.scenes[2].mesh.vertices.assign(1, MeshVertex{});
}

bool finite(const Vec3f& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the playback times and the slot the player left current; the rest
    // is the file.
    fuzz::ByteReader reader(data, size);
    float times[4];
    for (float& t : times) t = reader.take<float>();
    const int32_t startSlot = reader.take<int32_t>();
    const int32_t startVertex = reader.take<int32_t>();

    const std::string path = fuzz::workFolder() + "/anim.txt";
    fuzz::writeBytes(path, reader.rest(), reader.left());

    static DriverState state;
    initDriverState(state, true);
    state.keyframeCount = readKeyframes(path.c_str(), state.keyframes);
    FUZZ_CHECK(state.keyframeCount >= 0 && state.keyframeCount <= MAX_KEYFRAMES);
    FUZZ_CHECK(size_t(state.keyframeCount) == state.keyframes.size());
    for (const Keyframe& row : state.keyframes) {
        FUZZ_CHECK(std::isfinite(row.time) && std::isfinite(row.x) && std::isfinite(row.y) &&
                   std::isfinite(row.z));
    }

    giveMeshes(state);
    // F1 to F6 may have left any slot current, and the vertex picked in another slot.
    state.currentScene = int32_t(uint32_t(startSlot) % sceneSlotCount);
    state.selectedVertex = startVertex;
    for (float t : times) {
        state.showTime = t;
        applyKeyframesStepA(state);
        applyKeyframesStepB(state);
        FUZZ_CHECK(state.currentScene >= 0 && state.currentScene < sceneSlotCount);
        for (const Scene& scene : state.scenes) {
            for (const MeshVertex& v : scene.mesh.vertices) FUZZ_CHECK(finite(v.pos));
        }
    }
    return 0;
}
