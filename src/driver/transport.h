// The authoring studio's transport: seeking, pausing and looping the show clock, so that a
// passage can be worked on over and over with the music in step.
//
// Pure logic: the caller reads the counter, hands it in, and carries out what comes back on the
// music (reposition, pause, resume). Music time stays show time: every position asked for is
// the show time the clock reads from then on.
#pragma once

#include <cstdint>
#include <string>

#include "driver/show_clock.h"
#include "driver/studio_mode.h"
#include "platform/input_table.h"
#include "scene/show_facts.h"

// The studio's keys (VirtualKey codes): Page Up and Page Down seek 5 s back and forward, Home
// goes back to the start of the current section, P pauses and resumes, L marks the loop's
// start and end and clears it, H shows and hides the heads-up line, F12 previews the script,
// [ and ] step one bar back and forward when the timeline gives the music's beat grid.
constexpr double seekStep = 5.0;

enum class LoopState { None, StartMarked, Active };

struct Transport {
    bool paused;
    double pausedTime;  // what the clock reads while paused
    LoopState loop;
    double loopStart;  // from StartMarked on
    double loopEnd;    // when Active; always after loopStart
    double lastTime;   // the latest time handed out: the loop's end is passed only by playing
};

enum class MusicPlay { Unchanged, Pause, Resume };

// The show time of this frame and what the caller must do to the music for it.
struct TransportStep {
    double showTime;
    bool reposition;  // set the music's position to `position` seconds
    double position;
    MusicPlay play;
    bool looped;  // the reposition is the loop's jump alone, no seek of a key after it
};

// Keys held and key-down events counted at the previous call; zero-initialised, a key already
// down at the first call counts as pressed then.
struct KeyEdges {
    int32_t held[256];
    uint32_t presses[256];
    uint32_t controlPresses[256];
};

struct KeyPresses {
    bool pressed[256];
    bool withControl[256];  // pressed while Ctrl was down
    bool withShift[256];    // pressed while Shift was down at this call
};

// Keys that went down since the last call: a key held over several frames acts once, and a key
// pressed and released between two calls acts too, with Ctrl as it was at the press.
KeyPresses detectPresses(KeyEdges& edges, const InputTable& input);

// The clock's reading at `counter`: the paused time while paused. Sets clock.seconds.
double readTransportClock(const Transport& transport, ShowClock& clock, int64_t counter);

// The start of the section `showTime` lies in: 0, or the timeline's start of the slot the
// authoring tool shows then. A section's own start time belongs to the one before, as the
// slots move on only once the time is past it.
double sectionStartAt(const Timeline& timeline, double showTime);

// The slot the authoring tool shows at `showTime` (0 to 4) by the timeline's sections, for
// putting the scene back in step after a seek.
int32_t sectionAt(const Timeline& timeline, double showTime);

// The latest time a seek or a loop mark goes to: the end of the closing picture.
double latestStudioTime(const Timeline& timeline);

// Moves the clock to `target`, clamped to 0..latestStudioTime, so that it reads exactly the
// returned time at `counter`; while paused the clock stays paused at it. In playback, a seek to the
// end lets the closing sequence run on the next frame that reads past it.
TransportStep seekTransport(Transport& transport, const Timeline& timeline, ShowClock& clock,
                            int64_t counter, double target);

// Pause on the first call, resume on the next: the clock then goes on from the paused time.
TransportStep togglePause(Transport& transport, ShowClock& clock, int64_t counter);

// Marks the loop start, then its end, then clears the loop; a mark made after
// latestStudioTime stands there. An end before the start is taken
// as the start, with the earlier mark as the end; an end at the start itself is ignored and the
// start stays marked.
TransportStep pressLoop(Transport& transport, const Timeline& timeline, ShowClock& clock,
                        int64_t counter);

// The frame's reading: when playing past an active loop's end the clock jumps back to its start.
TransportStep advanceTransport(Transport& transport, const Timeline& timeline, ShowClock& clock,
                               int64_t counter);

// The beat grid of the timeline's tempo line: beat i at firstBeat + i · 60 / tempo, for every
// whole i (before the first beat too), bar b (from 1) starting at beat (b - 1) · beatsPerBar.
bool hasBeatGrid(const Timeline& timeline);

// The grid's beat nearest `showTime`, at 0 s or later; `showTime` itself without a grid.
double nearestBeat(const Timeline& timeline, double showTime);

// The start of the bar `bars` bars on from the one `showTime` lies in (-1: the bar before,
// 1: the next); a bar's own start lies in it. `showTime` itself without a grid.
double barStart(const Timeline& timeline, double showTime, int bars);

// Where `showTime` lies in the grid: bar 1 beat 1 at the first beat, bars before it at 0 and
// below.
struct BarPosition {
    long long bar;
    int beat;  // 1 .. beatsPerBar
};
BarPosition barPositionAt(const Timeline& timeline, double showTime);

// Marks the loop as pressLoop does, at the grid's nearest beat when `snap` and the timeline
// has a grid.
TransportStep pressLoopOnBeat(Transport& transport, const Timeline& timeline, ShowClock& clock,
                              int64_t counter, bool snap);

// One frame of the studio keys: the reading of advanceTransport, then Home, Page Up,
// Page Down, [, ], P and L in that order, each acting on the time the one before left. With a
// beat grid, [ and ] step a bar and L marks the nearest beat (Shift+L the time itself).
TransportStep runTransport(Transport& transport, const Timeline& timeline,
                           const KeyPresses& presses, ShowClock& clock, int64_t counter);

// What the heads-up line shows besides the transport's own state.
struct HeadsUpFacts {
    double showTime;
    const char* folder;  // the slot's folder name
    bool recording;      // a drag is printing rows
    StudioMode mode;
    int32_t draggedVertex;  // -1 when none
    int32_t rowsPrinted;
    int32_t takes;         // recorded and not kept
    bool hasGrid = false;  // the music's beat grid is known: the bar and beat follow the time
    BarPosition barPosition = {1, 1};
};

// e.g. "01:10.25  kiv  recording  vertex 123  rows 456  takes 2", with "bar 17.3" after the
// time when the grid is known. The states that hold are listed in the order mode, paused, loop:
// the mode by its name, recording only while a drag prints rows; the takes only when there are
// some; plain ASCII only.
std::string formatHeadsUpLine(const HeadsUpFacts& facts, const Transport& transport);

// mm:ss.cc, rounded to the nearest hundredth; negative times show as 00:00.00.
std::string formatShowTime(double seconds);
