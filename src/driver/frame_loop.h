// The show's timeline: window events before frames, one frame at a time, and the end.
#pragma once

#include "driver/driver_state.h"
#include "platform/input_table.h"
#include "platform/platform.h"
#include "render/matrix_store.h"

enum class FrameOutcome {
    Continue,   // go on with the next frame
    Escaped,    // Escape was seen: nothing was drawn, the window is to be closed
    ShowEnded,  // playback passed the end of the show: the closing sequence is due
};

// Seconds since the clock started, as a fresh reading.
double readShowClock(Platform& platform, ShowClock& clock);

FrameOutcome runFrame(Platform& platform, DriverState& state, const InputTable& input,
                      MatrixStore& matrices);

// Frees the music, shows the closing picture at full brightness and holds it for 2 s.
void runClosingSequence(Platform& platform, DriverState& state);

enum class LoopEnd {
    Closed,     // the window was closed or Escape pressed: the run shuts down, exit code 0
    ShowEnded,  // the closing picture was held: the process ends at once with code 0
};

// Runs until the window is closed, Escape is pressed or the show has ended.
LoopEnd runFrameLoop(Platform& platform, DriverState& state);
