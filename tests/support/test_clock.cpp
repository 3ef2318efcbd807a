#include "test_clock.h"

#include <cmath>

#include "platform/clock.h"

namespace {

constexpr double ticksPerSecond = 1e6;
int64_t counter = 0;
int64_t step = 0;

int64_t readTestCounter() {
    const int64_t now = counter;
    counter += step;
    return now;
}

}  // namespace

void setTestClock(double seconds) {
    counter = int64_t(std::llround(seconds * ticksPerSecond));
    setCounterSourceForTesting(&readTestCounter, ticksPerSecond);
}

void setTestClockStep(double seconds) {
    step = int64_t(std::llround(seconds * ticksPerSecond));
}

void restoreRealClock() {
    step = 0;
    setCounterSourceForTesting(nullptr, 1.0);
}
