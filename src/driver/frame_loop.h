// The show's timeline: window events before frames, one frame at a time, and the end.
#pragma once

#include "driver/driver_state.h"
#include "driver/matrix_store.h"
#include "platform/input_table.h"

enum class FrameOutcome {
    Continue,   // go on with the next frame
    Escaped,    // Escape was seen: nothing was drawn, the window is to be closed
    ShowEnded,  // playback passed the end of the show: the closing sequence is due
};

// Seconds since the clock started, as a fresh reading.
double readShowClock(ShowClock& clock);

FrameOutcome runFrame(DriverState& state, const InputTable& input, MatrixStore& matrices);

// Frees the music, shows the closing picture at full brightness and holds it for 2 s.
void runClosingSequence(DriverState& state);

// Runs until the window is closed or Escape is pressed, and returns the exit code. At the end
// of the show it exits the process itself.
int runFrameLoop(DriverState& state);
