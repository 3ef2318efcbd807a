#include "driver/studio.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "driver/keyframes.h"
#include "driver/slot_vertex.h"
#include "render/heads_up.h"

namespace {

// Diagnostics, not console lines: stdout holds the take.
void tell(const std::string& text) {
    std::fprintf(stderr, "studio: %s\n", text.c_str());
}

void carryOutOnMusic(Platform& platform, const Transport& transport, const TransportStep& step) {
    if (step.reposition) platform.musicSeek(step.position);
    if (step.play == MusicPlay::Pause) platform.musicPause();
    if (step.play == MusicPlay::Resume) platform.musicResume();
    // A track that had played to its end starts again when sought; paused, it must stay quiet.
    if (step.reposition && transport.paused) platform.musicPause();
}

void freeHandle(DriverState& state) {
    MeshVertex* vertex = slotVertex(state, state.currentScene, state.selectedVertex);
    if (vertex != nullptr) vertex->isHandle = 0;
}

// The slot after the time jumped: by the music's sections when recording, by the script in the
// preview; the playback that Space switched on keeps its slot.
void putSlotInStep(DriverState& state, double showTime) {
    int32_t slot = state.currentScene;
    if (!state.playback) {
        slot = sectionAt(showTime);
    } else if (state.studio.preview) {
        slot = scriptSlotAt(state, showTime);
    }
    if (slot == state.currentScene) return;
    // The handle belongs to the slot left behind, as a release or the next row would leave it;
    // a drag goes on with a fresh pick in the new slot.
    if (state.playback || (state.dragging && !state.pinOnRelease)) freeHandle(state);
    state.dragging = false;
    state.currentScene = slot;
}

void startPreview(DriverState& state, double showTime) {
    // A drag in progress ends as a release would end it.
    if (state.dragging && !state.pinOnRelease) freeHandle(state);
    state.dragging = false;
    // Read afresh at every press, so the script's latest edits show.
    state.keyframeCount = readKeyframes(keyframeFileName, state.keyframes);
    state.studio.preview = true;
    state.playback = true;
    state.currentScene = scriptSlotAt(state, showTime);
    tell("preview of " + std::string(keyframeFileName) + ", " +
         std::to_string(state.keyframeCount) + " rows");
}

void stopPreview(DriverState& state, double showTime) {
    freeHandle(state);
    state.keyframes.clear();
    state.keyframes.shrink_to_fit();
    state.keyframeCount = 0;
    state.studio.preview = false;
    state.playback = state.studio.playbackForGood;
    putSlotInStep(state, showTime);
    tell("recording");
}

void tellTransport(const Transport& before, const Transport& after, const TransportStep& step) {
    if (step.reposition) tell("at " + formatShowTime(step.position));
    if (step.play == MusicPlay::Pause) tell("paused at " + formatShowTime(step.showTime));
    if (step.play == MusicPlay::Resume) tell("playing from " + formatShowTime(step.showTime));
    if (before.loop == after.loop) return;
    switch (after.loop) {
        case LoopState::StartMarked:
            tell("loop from " + formatShowTime(after.loopStart));
            break;
        case LoopState::Active:
            tell("loop " + formatShowTime(after.loopStart) + "-" + formatShowTime(after.loopEnd));
            break;
        case LoopState::None:
            tell("loop off");
            break;
    }
}

}  // namespace

double startStudioFrame(Platform& platform, DriverState& state, const InputTable& input) {
    Studio& studio = state.studio;
    const int64_t counter = platform.readPerformanceCounter();
    studio.frameStartCounter = counter;
    if (!studio.started) {
        // The first frame runs once everything is loaded: from here on keys are seen.
        studio.started = true;
        tell(
            "Page Up/Page Down seek 5 s, Home section start, P pause, L loop, H heads-up, "
            "F12 preview");
    }
    if (input.keys[VK_SPACE] != 0) studio.playbackForGood = true;

    const KeyPresses presses = detectPresses(studio.keys, input);
    const Transport before = studio.transport;
    const TransportStep step = runTransport(studio.transport, presses, state.clock, counter);
    carryOutOnMusic(platform, studio.transport, step);
    tellTransport(before, studio.transport, step);
    if (step.reposition) putSlotInStep(state, step.showTime);

    if (presses.pressed[VK_H]) studio.headsUp = !studio.headsUp;
    if (presses.pressed[VK_F12]) {
        if (studio.preview) {
            stopPreview(state, step.showTime);
        } else {
            startPreview(state, step.showTime);
        }
    }
    return step.showTime;
}

void drawStudioHeadsUp(const DriverState& state) {
    const Studio& studio = state.studio;
    if (!studio.enabled || !studio.headsUp) return;
    const bool drawing = !state.playback && state.dragging;
    HeadsUpFacts facts{};
    facts.showTime = double(state.showTime);
    facts.folder = sceneSlots[state.currentScene].directory;
    facts.recording = drawing && !studio.transport.paused;
    facts.preview = studio.preview;
    facts.draggedVertex = drawing ? state.selectedVertex : -1;
    facts.rowsPrinted = studio.rowsPrinted;
    drawHeadsUpLine(formatHeadsUpLine(facts, studio.transport).c_str(), windowWidth, windowHeight);
}

void finishStudioFrame(Platform& platform, DriverState& state) {
    const int64_t counter = platform.readPerformanceCounter();
    const double seconds = readTransportClock(state.studio.transport, state.clock, counter);
    if (state.studio.transport.paused) {
        state.frameTime =
            float(double(counter - state.studio.frameStartCounter) / state.clock.frequency);
    } else {
        state.frameTime = float(seconds - double(state.showTime));
    }
}

int32_t scriptSlotAt(DriverState& state, double showTime) {
    const int32_t count = std::min(state.keyframeCount, int32_t(state.keyframes.size()));
    int32_t slot = 0;
    float latest = 0.0f;
    bool found = false;
    // Compared in float like the keyframe steps, so a row starting at the seek's time has not
    // played yet, as in the show.
    const float time = float(showTime);
    for (int32_t k = 0; k + 1 < count; ++k) {
        const Keyframe& row = state.keyframes[k];
        if (!(row.time < time) || (found && row.time < latest)) continue;
        if (slotVertex(state, row.scene, row.vertex) == nullptr) continue;
        slot = row.scene;
        latest = row.time;
        found = true;
    }
    return slot;
}
