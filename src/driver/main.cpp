// The entry point of both set-ups; the build decides which one this is.
#include "driver/startup.h"

#ifndef KELVARO_SHOW_MODE
#error "KELVARO_SHOW_MODE must be set by the build"
#endif

constexpr bool showMode = KELVARO_SHOW_MODE != 0;

int main() {
    return runProgram(showMode);
}
