// Everything the driver holds for the whole run.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "driver/keyframe.h"
#include "driver/show_clock.h"
#include "driver/solve_workers.h"
#include "driver/studio_state.h"
#include "scene/records.h"
#include "scene/show_facts.h"

struct DriverState {
    std::array<Scene, sceneSlotCount> scenes;
    std::vector<Keyframe> keyframes;  // at most MAX_KEYFRAMES rows
    int32_t keyframeCount;
    bool playback;
    bool running;
    int32_t currentScene;
    int32_t selectedVertex;
    bool dragging;
    bool pinOnRelease;
    bool rawAverage;
    Vec3f drift;
    Vec3d dragTarget;
    float fov, dx, dy, dz, ox, oy, oz, ra, rb;
    float showTime;
    float frameTime;
    ShowClock clock;
    double pickDepth;             // window depth of the vertex found by the last pick
    std::FILE* console = stdout;  // where the console lines go; start-up leaves it as it is
    Studio studio;                // the authoring tool's transport, heads-up line and preview
    SolveWorkers solveWorkers;    // the solve's threads and lists, for the whole run
    Timeline timeline = builtInTimeline;  // the show folder's, read first at start-up
    // Start-up went past the timeline: shutDown has a window and music to end.
    bool platformStarted = false;
    // The music could not start: its box was shown and the audio library freed, and the run
    // ends there, the window and the scenes left to the process as at the end of the show.
    bool musicFailed = false;
};

// Fills `state` with the start values of a run in the given set-up (scenes empty, no rows).
void initDriverState(DriverState& state, bool showMode);

void setCameraStartValues(DriverState& state);
