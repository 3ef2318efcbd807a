// The one window of the process, its GL context and its event handling.
#pragma once

#include <cstdint>

union SDL_Event;

// Opens the window (full screen, or windowed after a Yes to the fallback question) with a
// current double-buffered GL context, and shows a first black frame. False on failure, after
// telling the user why.
bool createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                    bool fullscreenWish);

// Leaves full screen, deletes the context, destroys the window and stops video; every step is
// attempted whatever happened before.
void killGlWindow();

// Records one event in the input table (and the viewport on a resize). Returns true for the
// quit message.
bool windowProc(const SDL_Event& event);

// Handles every waiting event. Returns false as soon as the quit message is handled.
bool pumpMessages();

// Escape's close request: posts the quit message, then handles one more event.
void closeWindowAndDrain();

void swapBuffers();

// Whether the window was made full screen (display mode changed, cursor hidden).
bool isFullscreen();

// The virtual-key code of an SDL keycode, or 0 for a key that has none.
int virtualKeyFromKeycode(int32_t keycode);
