// A show clock that only moves when a test says so.
#pragma once

#include <cstdint>

// Installs the test clock (a counter at one million ticks per second) and sets it to `seconds`.
void setTestClock(double seconds);

// Makes each reading of the test clock advance by `seconds` (0: it stands still).
void setTestClockStep(double seconds);

// Puts the real clock back.
void restoreRealClock();
