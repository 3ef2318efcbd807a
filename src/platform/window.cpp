#include "platform/window.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/message_box.h"

namespace {

SDL_Window* makeWindow(const WindowState& state, const char* title, int32_t width, int32_t height,
                       int32_t depth) {
    // The descriptor asks for RGBA colour with no alpha bits of its own.
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    flags |= state.fullscreen ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_RESIZABLE;
    return SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                            flags);
}

// The depth buffer asked for first; the nearest that the system offers after it.
SDL_Window* makeGlWindow(const WindowState& state, const char* title, int32_t width,
                         int32_t height) {
    SDL_Window* window = makeWindow(state, title, width, height, state.depthBits);
    if (window == nullptr && state.depthBits != 24) {
        window = makeWindow(state, title, width, height, 24);
    }
    return window;
}

bool failCreation(WindowState& state, const char* text) {
    std::fprintf(stderr, "window: %s\n", SDL_GetError());
    killGlWindow(state);
    showErrorBox(text);
    return false;
}

// Returns true for the quit message.
bool windowProc(WindowState& state, const SDL_Event& event) {
    InputTable& table = state.input;
    switch (event.type) {
        case SDL_QUIT:
            return true;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            // Alt combinations and F10 are the system's keys, not the show's.
            if (event.key.keysym.mod & KMOD_ALT) return false;
            if (event.key.keysym.sym == SDLK_F10) return false;
            const int code = virtualKeyFromKeycode(event.key.keysym.sym);
            if (code <= 0 || code >= 256) return false;
            table.keys[code] = event.type == SDL_KEYDOWN ? 1 : 0;
            if (event.type == SDL_KEYDOWN && event.key.repeat == 0) {
                ++table.presses[code];
                if (event.key.keysym.mod & KMOD_CTRL) ++table.controlPresses[code];
            }
            return false;
        }
        case SDL_MOUSEMOTION:
            table.mouseX = int32_t(uint16_t(event.motion.x));
            table.mouseY = int32_t(uint16_t(event.motion.y));
            return false;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const int32_t down = event.type == SDL_MOUSEBUTTONDOWN ? 1 : 0;
            if (event.button.button == SDL_BUTTON_LEFT) {
                table.mouseLeft = down;
                table.mouseLeftPresses += uint32_t(down);
            }
            if (event.button.button == SDL_BUTTON_RIGHT) table.mouseRight = down;
            return false;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) return true;
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && state.contextCurrent) {
                glViewport(0, 0, event.window.data1, event.window.data2);
            }
            return false;
        default:
            return false;
    }
}

}  // namespace

bool switchDisplayMode(SDL_Window* window, int32_t width, int32_t height, int32_t bits) {
    SDL_DisplayMode wanted{bits >= 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565, width,
                           height, 0, nullptr};
    if (SDL_SetWindowDisplayMode(window, &wanted) != 0) return false;
    if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) return false;
    // SDL switches the display only when the window is shown; SDL picks the nearest mode it has
    // where the exact one is missing, so only the mode the display ended up in tells.
    SDL_ShowWindow(window);
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_DisplayMode got;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &got) != 0) return false;
    return got.w == width && got.h == height;
}

bool createGlWindow(WindowState& state, const char* title, int32_t width, int32_t height,
                    int32_t bits, bool fullscreenWish) {
    state.fullscreen = fullscreenWish;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "window: %s\n", SDL_GetError());
        showErrorBox("Failed to register the window class!");
        return false;
    }
    state.videoStarted = true;

    state.window = makeGlWindow(state, title, width, height);
    if (state.window == nullptr) {
        // Tell a missing GL pixel format apart from a window that can't be made at all.
        SDL_Window* plain =
            SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                             SDL_WINDOW_HIDDEN);
        if (plain == nullptr) return failCreation(state, "Window creation error!");
        SDL_DestroyWindow(plain);
        return failCreation(state, "Unable to find a suitable pixelformat!");
    }

    // The question comes before any GL context exists, so that a GL failure is only ever
    // reported after the user's answer.
    if (state.fullscreen && !state.enterFullscreen(state.window, width, height, bits)) {
        if (!askYesNo("Fullscreen", "Unable to set fullscreen mode.\nUse windowed mode instead?")) {
            killGlWindow(state);
            return false;
        }
        SDL_SetWindowFullscreen(state.window, 0);
        SDL_DestroyWindow(state.window);
        state.fullscreen = false;
        state.window = makeGlWindow(state, title, width, height);
        if (state.window == nullptr) return failCreation(state, "Window creation error!");
    }
    SDL_ShowCursor(state.fullscreen ? SDL_DISABLE : SDL_ENABLE);

    state.renderContext = SDL_GL_CreateContext(state.window);
    if (state.renderContext == nullptr) {
        return failCreation(state, "Unable to create a GL rendering context!");
    }
    if (SDL_GL_MakeCurrent(state.window, state.renderContext) != 0) {
        return failCreation(state, "Unable to activate the GL rendering context!");
    }
    state.contextCurrent = true;
    // A swap waits for the display's refresh: the loop has no pacing of its own, and without it
    // the show tears and the authoring tool prints hundreds of rows a second.
    if (SDL_GL_SetSwapInterval(1) != 0 && !state.swapIntervalRefused) {
        state.swapIntervalRefused = true;
        std::fprintf(stderr,
                     "window: the GL driver won't wait for the display's refresh (%s); frames "
                     "are not paced\n",
                     SDL_GetError());
    }

    SDL_DisableScreenSaver();
    SDL_ShowWindow(state.window);
    SDL_RaiseWindow(state.window);

    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
    glFinish();
    SDL_GL_SwapWindow(state.window);
    return true;
}

void killGlWindow(WindowState& state) {
    if (state.fullscreen) {
        if (state.window != nullptr) SDL_SetWindowFullscreen(state.window, 0);
        SDL_ShowCursor(SDL_ENABLE);
        state.fullscreen = false;
    }
    if (state.renderContext != nullptr) {
        if (SDL_GL_MakeCurrent(state.window, nullptr) != 0) {
            showErrorBox("Release of DC and RC failed!");
        }
        SDL_GL_DeleteContext(state.renderContext);
        state.renderContext = nullptr;
    }
    state.contextCurrent = false;
    if (state.window != nullptr) {
        SDL_DestroyWindow(state.window);
        state.window = nullptr;
    }
    if (state.videoStarted) {
        SDL_EnableScreenSaver();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        state.videoStarted = false;
    }
}

int virtualKeyFromKeycode(int32_t keycode) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) return VK_A + (keycode - SDLK_a);
    if (keycode >= SDLK_0 && keycode <= SDLK_9) return VK_0 + (keycode - SDLK_0);
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return VK_F1 + (keycode - SDLK_F1);
    if (keycode >= SDLK_KP_1 && keycode <= SDLK_KP_9) return VK_NUMPAD1 + (keycode - SDLK_KP_1);
    switch (keycode) {
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK_CONTROL;
        case SDLK_PAUSE:
            return VK_PAUSE;
        case SDLK_CAPSLOCK:
            return VK_CAPITAL;
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_END:
            return VK_END;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_INSERT:
            return VK_INSERT;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_KP_0:
            return VK_NUMPAD0;
        case SDLK_KP_MULTIPLY:
            return VK_MULTIPLY;
        case SDLK_KP_PLUS:
            return VK_ADD;
        case SDLK_KP_MINUS:
            return VK_SUBTRACT;
        case SDLK_KP_PERIOD:
            return VK_DECIMAL;
        case SDLK_KP_DIVIDE:
            return VK_DIVIDE;
        case SDLK_LEFTBRACKET:
            return VK_OEM_4;
        case SDLK_RIGHTBRACKET:
            return VK_OEM_6;
        default:
            return 0;
    }
}

bool pumpMessages(WindowState& state) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (windowProc(state, event)) return false;
    }
    return true;
}

void closeWindowAndDrain(WindowState& state) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    SDL_Event event;
    if (SDL_WaitEvent(&event)) windowProc(state, event);
}

void swapBuffers(WindowState& state) {
    if (state.window != nullptr) SDL_GL_SwapWindow(state.window);
}
