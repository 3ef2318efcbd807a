// The authoring studio's frame steps: the transport keys on the show clock and the music, the
// heads-up display, the script preview and the takes. Only the authoring set-up runs them.
#pragma once

#include <string>

#include "driver/driver_state.h"
#include "platform/input_table.h"
#include "platform/platform.h"

// The clock reading at the start of a frame, through the transport, after the studio keys
// pressed since the last frame have acted (seek, section start, pause, loop, heads-up display,
// undo, redo, keep, preview) and a click on the strip has sought. A seek moves the music with
// the clock and puts the slot back in step with the time.
double startStudioFrame(Platform& platform, DriverState& state, const InputTable& input);

// What the mouse controls are to see: the input itself, or without its buttons while a click on
// the strip holds them.
const InputTable& studioMouseInput(DriverState& state, const InputTable& input);

// A row the controls just printed, in its printed text, for the takes.
void takeStudioRow(DriverState& state, std::string line);

// The heads-up line and the timeline strip over the finished picture, while H has them on.
void drawStudioHeadsUp(const DriverState& state);

// The clock reading at the end of the frame and the frame time. While paused the clock stands
// still but the frame time is the counter's, so the keys and the solve go on moving things.
void finishStudioFrame(Platform& platform, DriverState& state);

// The word on leaving the tool: takes that were not kept.
void leaveStudio(const DriverState& state);

// The slot the show would be on at `showTime` with the current script: that of the latest row
// played before then (the last row never plays), 0 before the first.
int32_t scriptSlotAt(DriverState& state, double showTime);

// Ctrl+Z, Ctrl+Y and K, as their presses do them; true when the takes changed.
bool undoStudioTake(DriverState& state);
bool redoStudioTake(DriverState& state);
bool keepStudioTakes(DriverState& state);
