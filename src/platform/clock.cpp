#include "platform/clock.h"

#include <SDL2/SDL.h>

namespace {
CounterSource testCounter = nullptr;
double testFrequency = 1.0;
}  // namespace

int64_t readPerformanceCounter() {
    if (testCounter != nullptr) return testCounter();
    return int64_t(SDL_GetPerformanceCounter());
}

double readPerformanceFrequency() {
    if (testCounter != nullptr) return testFrequency;
    return double(SDL_GetPerformanceFrequency());
}

void sleepMilliseconds(int milliseconds) {
    if (testCounter != nullptr) return;  // a test's clock only moves when it is read
    SDL_Delay(Uint32(milliseconds));
}

void setCounterSourceForTesting(CounterSource counter, double frequency) {
    testCounter = counter;
    testFrequency = frequency;
}
