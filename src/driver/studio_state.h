// What the authoring studio keeps from frame to frame: the transport, the key presses, the
// heads-up display, the script preview and the takes. The show has none of it.
#pragma once

#include <cstdint>
#include <memory>

#include "driver/beat_search.h"
#include "driver/studio_mode.h"
#include "driver/studio_takes.h"
#include "driver/transport.h"
#include "platform/input_table.h"
#include "render/timeline_strip.h"

struct Studio {
    StudioMode mode;  // changed by the studio's enterStudioMode alone, after start-up
    Transport transport;
    KeyEdges keys;
    bool headsUp;  // the heads-up line and the timeline strip
    // Space has switched playback on for good: leaving the preview must not switch it off.
    bool playbackForGood;
    int64_t frameStartCounter;  // the raw counter when this frame began
    int32_t rowsPrinted;

    StudioTakes takes;
    bool buttonHeld;           // either mouse button, at the last frame
    uint32_t leftPressesSeen;  // the input's count of left-button presses then
    // The left button went down on the strip: it seeks, and the mouse drags nothing until the
    // button is up again. The controls then see `mouseMasked`, the input without its buttons.
    bool stripClick;
    InputTable mouseMasked;

    StripTicks strip;
    bool stripStale;  // the script or the takes changed since the ticks were laid out
    // A drag's rows went on as ticks alone since, with nothing they cover greyed yet: laid out
    // afresh once a frame prints none.
    bool rowsSinceLayout;
    int32_t rowsAtFrameStart;

    // Without a tempo line, the beat found in the music once the heads-up display first asks.
    std::shared_ptr<BeatSearch> beatSearch;
    bool beatSearched;  // once only, whatever it found
    bool beatFound;
    Timeline beatTimeline;  // the show's timeline with the grid found
};

// The authoring set-up, in whatever mode: the show keeps its studio untouched.
inline bool studioRuns(const Studio& studio) {
    return studio.mode != StudioMode::Show;
}
