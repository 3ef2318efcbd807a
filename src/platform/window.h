// The one window of a run, its GL context and its event handling, over SDL.
#pragma once

#include <cstdint>

#include "platform/input_table.h"

struct SDL_Window;

// Puts a full-screen window's display into width x height at `bits` per pixel and reports
// whether the display really ended up in that size.
using DisplayModeSwitch = bool (*)(SDL_Window* window, int32_t width, int32_t height, int32_t bits);

// The real switch: asks SDL for the mode, shows the window (SDL changes the mode only then) and
// reads back the mode the display got.
bool switchDisplayMode(SDL_Window* window, int32_t width, int32_t height, int32_t bits);

struct WindowState {
    SDL_Window* window = nullptr;
    void* renderContext = nullptr;  // SDL_GLContext
    bool fullscreen = false;        // the display mode was changed and the cursor hidden
    bool videoStarted = false;
    bool contextCurrent = false;
    bool swapIntervalRefused = false;  // said once on stderr
    int32_t depthBits = 32;            // asked for first; 24 after it, as the nearest format
    DisplayModeSwitch enterFullscreen = &switchDisplayMode;
    InputTable input{};  // written only by the event handler
};

bool createGlWindow(WindowState& state, const char* title, int32_t width, int32_t height,
                    int32_t bits, bool fullscreenWish);

void killGlWindow(WindowState& state);

// Handles every waiting event. Returns false as soon as the quit message is handled.
bool pumpMessages(WindowState& state);

// Escape's close request: posts the quit message, then handles one more event.
void closeWindowAndDrain(WindowState& state);

void swapBuffers(WindowState& state);

// The virtual-key code of an SDL keycode, or 0 for a key that has none.
int virtualKeyFromKeycode(int32_t keycode);
