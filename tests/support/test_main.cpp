// The entry point of every test program. Tests run headless whatever the caller's environment:
// a real GL context on Mesa without a display, no sound card, and never a message box to wait on.
#include <gtest/gtest.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
