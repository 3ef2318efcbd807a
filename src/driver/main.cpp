// The entry point of the show and the authoring tool; the build decides which one this is.
#include "driver/startup.h"
#include "platform/sdl_platform.h"

#ifndef KELVARO_SHOW_MODE
#error "KELVARO_SHOW_MODE must be set by the build"
#endif

constexpr bool showMode = KELVARO_SHOW_MODE != 0;

int main() {
    SdlPlatform platform(depthBits);
    return runProgram(platform, showMode);
}
