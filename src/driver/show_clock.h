// The show clock: seconds on the performance counter since the music started.
#pragma once

#include <cstdint>

struct ShowClock {
    int64_t start;     // counter value at time 0, just after the music started
    double frequency;  // counter ticks per second
    double seconds;    // the latest reading
};
