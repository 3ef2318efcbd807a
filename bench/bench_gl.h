// A GL context for the benchmarks that draw or read matrices back: the show's own window set-up
// on SDL's offscreen driver, opened once for the whole run.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>

#include "platform/sdl_platform.h"
#include "scene/show_facts.h"

inline void openGl() {
    static bool open = false;
    if (open) return;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    static SdlPlatform platform(depthBits);
    if (!platform.createGlWindow("kelvaro bench", windowWidth, windowHeight, colorBits, false)) {
        std::fprintf(stderr, "no GL context for the benchmark\n");
        std::exit(1);
    }
    open = true;
}
