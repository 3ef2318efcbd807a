#include "driver/studio.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "driver/keyframes.h"
#include "driver/slot_vertex.h"
#include "render/heads_up.h"
#include "render/timeline_strip.h"

namespace {

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

// The show as the tool holds it: what the takes and the script are checked against.
ShowSize loadedShowSize(const DriverState& state) {
    ShowSize size;
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        const size_t count = state.scenes[slot].mesh.vertices.size();
        size.vertexCount[slot] = int32_t(std::min<size_t>(count, INT32_MAX));
    }
    return size;
}

// The slot after the time jumped: by the music's sections when recording, by the script in the
// preview; the playback that Space switched on keeps its slot.
void putSlotInStep(DriverState& state, double showTime) {
    int32_t slot = state.currentScene;
    if (!state.playback) {
        slot = sectionAt(state.timeline, showTime);
    } else if (previewing(state.studio.mode)) {
        slot = scriptSlotAt(state, showTime);
    }
    if (slot == state.currentScene) return;
    // The handle belongs to the slot left behind, as a release or the next row would leave it;
    // a drag goes on with a fresh pick in the new slot.
    if (state.playback || (state.dragging && !state.pinOnRelease)) freeHandle(state);
    state.dragging = false;
    state.currentScene = slot;
}

// The preview's rows: the script as the show reads it while there are no takes, and with takes
// the script kelvaro-merge would write.
void fillPreview(DriverState& state) {
    StudioTakes& takes = state.studio.takes;
    if (takes.takes.empty()) {
        state.keyframeCount = readKeyframes(keyframeFileName, state.keyframes);
        tellStudio("preview of " + std::string(keyframeFileName) + ", " +
                   std::to_string(state.keyframeCount) + " rows");
        return;
    }
    state.keyframeCount =
        mergeForPreview(takes, keyframeFileName, loadedShowSize(state), state.keyframes);
    tellStudio("preview of " + std::string(keyframeFileName) + " with " +
               std::to_string(takes.takes.size()) +
               (takes.takes.size() == 1 ? " take, " : " takes, ") +
               std::to_string(state.keyframeCount) + " rows");
}

void tellKeys() {
    tellStudio(
        "Page Up/Page Down seek 5 s, Home section start, P pause, L loop, H heads-up line "
        "and timeline (off at start; a click on the timeline seeks), F12 preview with the "
        "takes, Ctrl+Z/Ctrl+Y undo/redo the last take, K keep the takes in " +
        std::string(keyframeFileName));
}

// Every change of mode after start-up: what the handle, the playback, the rows played and the
// slot need on entering `mode`, by the mode left.
void enterStudioMode(DriverState& state, StudioMode mode, double showTime) {
    Studio& studio = state.studio;
    const StudioMode from = studio.mode;
    studio.mode = mode;
    switch (mode) {
        case StudioMode::Show:
        case StudioMode::Starting:
            break;  // start-up's alone
        case StudioMode::Recording:
            // The first frame runs once everything is loaded: from here on keys are seen.
            if (from == StudioMode::Starting) {
                tellKeys();
                break;
            }
            freeHandle(state);
            state.keyframes.clear();
            state.keyframes.shrink_to_fit();
            state.keyframeCount = 0;
            state.playback = studio.playbackForGood;
            putSlotInStep(state, showTime);
            tellStudio("recording");
            break;
        case StudioMode::Preview:
            // A recording drag ends as a release would end it; a punch-in's take joins the
            // script, which takes over again from the pose the drag left.
            if (state.dragging && (from != StudioMode::Recording || !state.pinOnRelease)) {
                freeHandle(state);
            }
            state.dragging = false;
            state.playback = true;
            // Read afresh at every entry, so the script's latest edits and the takes show.
            fillPreview(state);
            if (from == StudioMode::Recording) {
                state.currentScene = scriptSlotAt(state, showTime);
            } else {
                putSlotInStep(state, showTime);
            }
            studio.stripStale = true;
            break;
        case StudioMode::PunchIn:
            // The script's handle of the last frame goes, as the script's rows go where the
            // take's begin; the figure stays in the pose they gave it.
            freeHandle(state);
            state.dragging = false;
            state.playback = false;
            tellStudio("punch-in at " + formatShowTime(showTime));
            break;
    }
}

// After a seek, a loop's jump or a click on the strip: a punch-in ends where the time broke.
void afterTimeJump(DriverState& state, double showTime) {
    if (state.studio.mode == StudioMode::PunchIn) {
        enterStudioMode(state, StudioMode::Preview, showTime);
    }
    putSlotInStep(state, showTime);
}

// The loop's jump under a held drag: the drag goes on, and its rows from here on are a new take
// (their time went back), in the preview's punch-in exactly as in recording.
void carryDragOverLoop(DriverState& state, double showTime) {
    Studio& studio = state.studio;
    tellStudio("the drag goes on over the loop's jump: take " +
               std::to_string(studio.takes.takes.size() + 1) + " from " + formatShowTime(showTime));
    studio.stripStale = true;
    if (studio.mode != StudioMode::PunchIn) putSlotInStep(state, showTime);
}

void takesChanged(DriverState& state) {
    Studio& studio = state.studio;
    studio.stripStale = true;
    // In the preview the change shows at once; a punch-in shows it when it ends.
    if (studio.mode == StudioMode::Preview) {
        enterStudioMode(state, StudioMode::Preview, double(state.showTime));
    }
}

void tellTransport(const Transport& before, const Transport& after, const TransportStep& step) {
    if (step.reposition) tellStudio("at " + formatShowTime(step.position));
    if (step.play == MusicPlay::Pause) tellStudio("paused at " + formatShowTime(step.showTime));
    if (step.play == MusicPlay::Resume) tellStudio("playing from " + formatShowTime(step.showTime));
    if (before.loop == after.loop) return;
    switch (after.loop) {
        case LoopState::StartMarked:
            tellStudio("loop from " + formatShowTime(after.loopStart));
            break;
        case LoopState::Active:
            tellStudio("loop " + formatShowTime(after.loopStart) + "-" +
                       formatShowTime(after.loopEnd));
            break;
        case LoopState::None:
            tellStudio("loop off");
            break;
    }
}

// The ticks for the script as it is on disk and the takes, the rows that a take covers greyed:
// what K would lose is in sight before it is pressed.
void layOutStrip(DriverState& state) {
    Studio& studio = state.studio;
    StudioScript& script = studio.takes.script;
    const std::vector<Take>& takes = studio.takes.takes;
    refreshScript(script, keyframeFileName, loadedShowSize(state));
    std::vector<std::vector<bool>> stands(takes.size() + 1);
    stands[0].assign(script.rows.size(), false);
    for (size_t t = 0; t < takes.size(); ++t) stands[t + 1].assign(takes[t].rows.size(), false);
    for (const RowSource& source : punchTakes(script.rows, takes)) {
        stands[size_t(source.take + 1)][size_t(source.row)] = true;
    }
    StripTicks& ticks = studio.strip;
    clearStripTicks(ticks, state.timeline);
    for (size_t r = 0; r < script.rows.size(); ++r) {
        const Keyframe& row = script.rows[r].row;
        addStripTick(ticks, row.time,
                     stands[0][r] ? StripTick::ScriptRow : StripTick::ScriptRowReplaced, row.scene);
    }
    for (size_t t = 0; t < takes.size(); ++t) {
        for (size_t r = 0; r < takes[t].rows.size(); ++r) {
            const Keyframe& row = takes[t].rows[r].row;
            addStripTick(ticks, row.time,
                         stands[t + 1][r] ? StripTick::TakeRow : StripTick::TakeRowReplaced,
                         row.scene);
        }
    }
    studio.stripStale = false;
    studio.rowsSinceLayout = false;
}

void handleTakeKeys(DriverState& state, const KeyPresses& presses) {
    if (presses.withControl[VK_Z] && undoStudioTake(state)) takesChanged(state);
    if (presses.withControl[VK_Y] && redoStudioTake(state)) takesChanged(state);
    if (presses.pressed[VK_K] && keepStudioTakes(state)) takesChanged(state);
}

// The timeline whose beat grid the studio keys and the strip follow: the show's own, or with
// the grid found in the music.
const Timeline& gridTimeline(const DriverState& state) {
    return state.studio.beatFound ? state.studio.beatTimeline : state.timeline;
}

void collectBeatSearch(DriverState& state) {
    Studio& studio = state.studio;
    if (!studio.beatSearch || !studio.beatSearch->done.load(std::memory_order_acquire)) return;
    const std::shared_ptr<BeatSearch> search = std::move(studio.beatSearch);
    if (search->found) {
        studio.beatFound = true;
        studio.beatTimeline = withFoundGrid(state.timeline, search->grid);
        tellStudio(describeFoundGrid(search->grid, musicFileName));
    } else if (!search->error.empty()) {
        tellStudio("beat: " + search->error);
    }
}

}  // namespace

double startStudioFrame(Platform& platform, DriverState& state, const InputTable& input) {
    Studio& studio = state.studio;
    const int64_t counter = platform.readPerformanceCounter();
    studio.frameStartCounter = counter;
    if (studio.mode == StudioMode::Starting) {
        enterStudioMode(state, StudioMode::Recording, 0.0);
    }
    if (input.keys[VK_SPACE] != 0) studio.playbackForGood = true;
    // A drag's rows that went on as ticks alone are laid out in full once the drag stops.
    if (studio.rowsSinceLayout && studio.rowsPrinted == studio.rowsAtFrameStart) {
        studio.stripStale = true;
    }
    studio.rowsAtFrameStart = studio.rowsPrinted;

    // Only a press made in the preview punches in: a drag held through F12 is not one.
    const bool inPreview = previewing(studio.mode);
    const bool button = input.mouseLeft != 0 || input.mouseRight != 0;
    const bool buttonWentDown = button && !studio.buttonHeld;
    // A click on the strip is often over before the next frame: the count tells it all the same.
    const bool leftClicked = (input.mouseLeft != 0 && !studio.buttonHeld) ||
                             input.mouseLeftPresses != studio.leftPressesSeen;
    studio.buttonHeld = button;
    studio.leftPressesSeen = input.mouseLeftPresses;

    const KeyPresses presses = detectPresses(studio.keys, input);
    collectBeatSearch(state);
    const Transport before = studio.transport;
    TransportStep step =
        runTransport(studio.transport, gridTimeline(state), presses, state.clock, counter);
    carryOutOnMusic(platform, studio.transport, step);
    tellTransport(before, studio.transport, step);
    if (step.looped && button && state.dragging) {
        carryDragOverLoop(state, step.showTime);
    } else if (step.reposition) {
        afterTimeJump(state, step.showTime);
    }

    const StripBox box = stripBox(windowWidth, windowHeight);
    const float mx = float(input.mouseX);
    const float my = float(input.mouseY);
    if (studio.headsUp && leftClicked && input.mouseRight == 0 && stripContains(box, mx, my)) {
        // The button, if still down, drags nothing until it is up again.
        studio.stripClick = button;
        step = seekTransport(studio.transport, state.timeline, state.clock, counter,
                             stripTimeAt(box, state.timeline, mx));
        carryOutOnMusic(platform, studio.transport, step);
        tellTransport(studio.transport, studio.transport, step);
        afterTimeJump(state, step.showTime);
    }
    if (!button) studio.stripClick = false;
    if (studio.mode == StudioMode::PunchIn && !button) {
        enterStudioMode(state, StudioMode::Preview, step.showTime);
    }

    if (presses.pressed[VK_H]) {
        studio.headsUp = !studio.headsUp;
        studio.stripStale = true;
        if (studio.headsUp && !hasBeatGrid(state.timeline) && !studio.beatSearched) {
            studio.beatSearched = true;
            studio.beatSearch = startBeatSearch(platform, musicFileName);
        }
    }
    handleTakeKeys(state, presses);
    if (presses.pressed[VK_F12]) {
        // A punch-in ends into the preview first, its take kept as a release would keep it.
        if (studio.mode == StudioMode::PunchIn) {
            enterStudioMode(state, StudioMode::Preview, step.showTime);
        }
        enterStudioMode(
            state, studio.mode == StudioMode::Preview ? StudioMode::Recording : StudioMode::Preview,
            step.showTime);
    }
    // A press in the preview punches in, but not over the closing picture, where nothing moves.
    if (inPreview && studio.mode == StudioMode::Preview && buttonWentDown && !studio.stripClick &&
        !(step.showTime > double(state.timeline.end))) {
        enterStudioMode(state, StudioMode::PunchIn, step.showTime);
    }
    if (studio.headsUp && studio.stripStale) layOutStrip(state);
    return step.showTime;
}

const InputTable& studioMouseInput(DriverState& state, const InputTable& input) {
    Studio& studio = state.studio;
    if (!studio.stripClick) return input;
    studio.mouseMasked = input;
    studio.mouseMasked.mouseLeft = 0;
    studio.mouseMasked.mouseRight = 0;
    return studio.mouseMasked;
}

void takeStudioRow(DriverState& state, std::string line) {
    Studio& studio = state.studio;
    if (!takeRow(studio.takes, std::move(line))) return;
    const Keyframe& row = studio.takes.takes.back().rows.back().row;
    // The newest take stands over all before it; what it covers is greyed when the drag stops.
    addStripTick(studio.strip, row.time, StripTick::TakeRow, row.scene);
    studio.rowsSinceLayout = true;
}

void drawStudioHeadsUp(const DriverState& state) {
    const Studio& studio = state.studio;
    if (!studioRuns(studio) || !studio.headsUp) return;
    const bool drawing = !state.playback && state.dragging;
    HeadsUpFacts facts{};
    facts.showTime = double(state.showTime);
    facts.folder = sceneSlots[state.currentScene].directory;
    facts.recording = drawing && !studio.transport.paused;
    facts.mode = studio.mode;
    facts.draggedVertex = drawing ? state.selectedVertex : -1;
    facts.rowsPrinted = studio.rowsPrinted;
    facts.takes = int32_t(studio.takes.takes.size());
    facts.hasGrid = hasBeatGrid(gridTimeline(state));
    facts.barPosition = barPositionAt(gridTimeline(state), facts.showTime);
    drawHeadsUpLine(formatHeadsUpLine(facts, studio.transport).c_str(), windowWidth, windowHeight);

    StripMarks marks{};
    marks.playhead = double(state.showTime);
    marks.loopStart = studio.transport.loopStart;
    marks.loopEnd = studio.transport.loopEnd;
    switch (studio.transport.loop) {
        case LoopState::None:
            marks.loop = StripLoop::None;
            break;
        case LoopState::StartMarked:
            marks.loop = StripLoop::StartMarked;
            break;
        case LoopState::Active:
            marks.loop = StripLoop::Active;
            break;
    }
    drawTimelineStrip(studio.strip, marks, gridTimeline(state), windowWidth, windowHeight);
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

void leaveStudio(const DriverState& state) {
    const std::vector<Take>& takes = state.studio.takes.takes;
    if (!studioRuns(state.studio) || takes.empty()) return;
    tellStudio(std::to_string(takes.size()) + (takes.size() == 1 ? " take (" : " takes (") +
               std::to_string(takeRowCount(takes)) + " rows) not written to " + keyframeFileName +
               "; their rows are on stdout, for kelvaro-merge");
}

bool undoStudioTake(DriverState& state) {
    return undoTake(state.studio.takes);
}

bool redoStudioTake(DriverState& state) {
    return redoTake(state.studio.takes);
}

bool keepStudioTakes(DriverState& state) {
    return keepTakes(state.studio.takes, keyframeFileName, loadedShowSize(state));
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
