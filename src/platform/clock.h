// The high-resolution counter that times the show.
#pragma once

#include <cstdint>

int64_t readPerformanceCounter();
double readPerformanceFrequency();
void sleepMilliseconds(int milliseconds);

// Test seam: replaces the counter and its frequency (nullptr restores the real clock).
using CounterSource = int64_t (*)();
void setCounterSourceForTesting(CounterSource counter, double frequency);
