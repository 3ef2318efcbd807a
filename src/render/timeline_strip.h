// The authoring studio's timeline strip along the bottom of the window: the whole show from 0 to
// the end of its closing picture, the timeline's sections and its end, the script's rows and the
// takes as ticks, the loop and the playhead.
#pragma once

#include <cstdint>

#include "scene/timeline.h"

// The strip runs from 0 to the end of the closing picture.
double stripSeconds(const Timeline& timeline);

// Where the strip lies, in window pixels from the top-left corner.
struct StripBox {
    float left, top, right, bottom;  // the band
    float timeLeft, timeRight;       // where 0 and stripSeconds fall
};

StripBox stripBox(int32_t viewportWidth, int32_t viewportHeight);

// Whether the window point (y from the top) lies on the band.
bool stripContains(const StripBox& box, float x, float y);

// The show time at window x, within 0 … stripSeconds.
double stripTimeAt(const StripBox& box, const Timeline& timeline, float x);

enum class StripTick : uint8_t {
    ScriptRow,          // coloured by its slot
    ScriptRowReplaced,  // a take covers it
    TakeRow,            // of a take not yet kept
    TakeRowReplaced,    // a later take covers it
};

// The ticks, laid out once for a script and its takes and drawn every frame in one go: each
// lane is a row of bins, a bin the colour of the rows in its span of time. A pixel's span holds
// more rows than can be told apart anyway, and a fixed count of bins costs the same to draw
// whatever the count of rows.
constexpr int32_t stripBins = 1024;
constexpr int32_t stripLanes = 2;  // the script's rows, then the takes'

struct StripTicks {
    uint8_t colours[stripLanes][stripBins][4];  // RGBA; an empty bin is clear
    uint8_t ranks[stripLanes][stripBins];       // a row that stands shows over one replaced
    double seconds;                             // the span the bins share; 0 until cleared
};

// Empty bins over the timeline's strip.
void clearStripTicks(StripTicks& ticks, const Timeline& timeline);
// A row outside 0 … the ticks' span has no place on the strip, nor any before the first clear.
void addStripTick(StripTicks& ticks, float seconds, StripTick kind, int32_t slot);

enum class StripLoop { None, StartMarked, Active };

// What changes from frame to frame.
struct StripMarks {
    double playhead;
    StripLoop loop;
    double loopStart;
    double loopEnd;
};

// Draws the band, the timeline's marks, the loop, the playhead and the ticks over the finished
// picture. Allocates nothing. Every GL setting, the pixel store and both matrices are as they
// were on return, so the next frame's pick reads back this frame's camera.
void drawTimelineStrip(const StripTicks& ticks, const StripMarks& marks, const Timeline& timeline,
                       int32_t viewportWidth, int32_t viewportHeight);
