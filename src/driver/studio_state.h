// What the authoring studio keeps from frame to frame: the transport, the key presses, the
// heads-up line and the script preview. The show has none of it.
#pragma once

#include <cstdint>

#include "driver/transport.h"

struct Studio {
    bool enabled;  // the authoring set-up
    bool started;  // the first frame has run and told the keys
    Transport transport;
    KeyEdges keys;
    bool headsUp;
    // F12: the script plays from the current time as the show plays it, the mouse records
    // nothing.
    bool preview;
    // Space has switched playback on for good: leaving the preview must not switch it off.
    bool playbackForGood;
    int64_t frameStartCounter;  // the raw counter when this frame began
    int32_t rowsPrinted;
};
