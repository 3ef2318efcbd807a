// One real GL context for the whole test program (offscreen under the test environment).
#pragma once

class SdlPlatform;

// The SDL platform that owns the test program's window.
SdlPlatform& testWindowPlatform();

// Opens the windowed 1280 x 720 GL window once; later calls only make sure it is current.
void ensureGlContext();

// Sets the viewport back to the configured window size.
void resetViewport();

// Reads the whole back buffer as RGB rows, bottom row first (as GL returns them).
struct Pixel {
    int r, g, b;
};
Pixel readPixel(int x, int yFromBottom);
