#include "platform/window.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <cstdio>

#include "platform/input_table.h"
#include "platform/message_box.h"

namespace {

SDL_Window* window = nullptr;
SDL_GLContext renderContext = nullptr;
bool fullscreen = false;
bool videoStarted = false;
bool contextCurrent = false;

InputTable table{};

SDL_Window* makeWindow(const char* title, int32_t width, int32_t height, int32_t depth) {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depth);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    flags |= fullscreen ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_RESIZABLE;
    return SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                            flags);
}

// Switches the window's display to exactly width x height at the colour depth asked for.
bool enterFullscreen(int32_t width, int32_t height, int32_t bits) {
    SDL_DisplayMode wanted{bits >= 32 ? SDL_PIXELFORMAT_RGB888 : SDL_PIXELFORMAT_RGB565, width,
                           height, 0, nullptr};
    SDL_DisplayMode closest;
    if (SDL_GetClosestDisplayMode(0, &wanted, &closest) == nullptr) return false;
    if (closest.w != 0 && (closest.w != width || closest.h != height)) return false;
    if (SDL_SetWindowDisplayMode(window, &wanted) != 0) return false;
    return SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0;
}

bool failCreation(const char* text) {
    std::fprintf(stderr, "window: %s\n", SDL_GetError());
    killGlWindow();
    showErrorBox(text);
    return false;
}

}  // namespace

InputTable& inputTable() {
    return table;
}

bool createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                    bool fullscreenWish) {
    fullscreen = fullscreenWish;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "window: %s\n", SDL_GetError());
        showErrorBox("Failed to register the window class!");
        return false;
    }
    videoStarted = true;

    // The depth buffer asked for first; the nearest that the system offers after it.
    window = makeWindow(title, width, height, 32);
    if (window == nullptr) window = makeWindow(title, width, height, 24);
    if (window == nullptr) {
        // Tell a missing GL pixel format apart from a window that can't be made at all.
        SDL_Window* plain =
            SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                             SDL_WINDOW_HIDDEN);
        if (plain == nullptr) return failCreation("Window creation error!");
        SDL_DestroyWindow(plain);
        return failCreation("Unable to find a suitable pixelformat!");
    }

    if (fullscreen && !enterFullscreen(width, height, bits)) {
        if (!askYesNo("Fullscreen", "Unable to set fullscreen mode.\nUse windowed mode instead?")) {
            killGlWindow();
            return false;
        }
        SDL_DestroyWindow(window);
        fullscreen = false;
        window = makeWindow(title, width, height, 32);
        if (window == nullptr) window = makeWindow(title, width, height, 24);
        if (window == nullptr) return failCreation("Window creation error!");
    }
    SDL_ShowCursor(fullscreen ? SDL_DISABLE : SDL_ENABLE);

    renderContext = SDL_GL_CreateContext(window);
    if (renderContext == nullptr) return failCreation("Unable to create a GL rendering context!");
    if (SDL_GL_MakeCurrent(window, renderContext) != 0) {
        return failCreation("Unable to activate the GL rendering context!");
    }
    contextCurrent = true;

    SDL_DisableScreenSaver();
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);

    glViewport(0, 0, width, height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glFlush();
    glFinish();
    SDL_GL_SwapWindow(window);
    return true;
}

void killGlWindow() {
    if (fullscreen) {
        if (window != nullptr) SDL_SetWindowFullscreen(window, 0);
        SDL_ShowCursor(SDL_ENABLE);
        fullscreen = false;
    }
    if (renderContext != nullptr) {
        if (SDL_GL_MakeCurrent(window, nullptr) != 0) showErrorBox("Release of DC and RC failed!");
        SDL_GL_DeleteContext(renderContext);
        renderContext = nullptr;
    }
    contextCurrent = false;
    if (window != nullptr) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    if (videoStarted) {
        SDL_EnableScreenSaver();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoStarted = false;
    }
}

int virtualKeyFromKeycode(int32_t keycode) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
    if (keycode >= SDLK_0 && keycode <= SDLK_9) return '0' + (keycode - SDLK_0);
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return VK_F1 + (keycode - SDLK_F1);
    if (keycode >= SDLK_KP_1 && keycode <= SDLK_KP_9) return 97 + (keycode - SDLK_KP_1);
    switch (keycode) {
        case SDLK_BACKSPACE:
            return 8;
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
            return 17;
        case SDLK_PAUSE:
            return 19;
        case SDLK_CAPSLOCK:
            return 20;
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_PAGEUP:
            return 33;
        case SDLK_PAGEDOWN:
            return 34;
        case SDLK_END:
            return 35;
        case SDLK_HOME:
            return 36;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_INSERT:
            return 45;
        case SDLK_DELETE:
            return 46;
        case SDLK_KP_0:
            return 96;
        case SDLK_KP_MULTIPLY:
            return 106;
        case SDLK_KP_PLUS:
            return VK_ADD;
        case SDLK_KP_MINUS:
            return VK_SUBTRACT;
        case SDLK_KP_PERIOD:
            return 110;
        case SDLK_KP_DIVIDE:
            return 111;
        default:
            return 0;
    }
}

bool windowProc(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            return true;
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            // Keys pressed or released with Alt held are the system's, not the show's.
            if (event.key.keysym.mod & KMOD_ALT) return false;
            const int code = virtualKeyFromKeycode(event.key.keysym.sym);
            if (code > 0 && code < 256) table.keys[code] = event.type == SDL_KEYDOWN ? 1 : 0;
            return false;
        }
        case SDL_MOUSEMOTION:
            table.mouseX = int32_t(uint16_t(event.motion.x));
            table.mouseY = int32_t(uint16_t(event.motion.y));
            return false;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const int32_t down = event.type == SDL_MOUSEBUTTONDOWN ? 1 : 0;
            if (event.button.button == SDL_BUTTON_LEFT) table.mouseLeft = down;
            if (event.button.button == SDL_BUTTON_RIGHT) table.mouseRight = down;
            return false;
        }
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) return true;
            if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED && contextCurrent) {
                glViewport(0, 0, event.window.data1, event.window.data2);
            }
            return false;
        default:
            return false;
    }
}

bool pumpMessages() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (windowProc(event)) return false;
    }
    return true;
}

void closeWindowAndDrain() {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    SDL_Event event;
    if (SDL_WaitEvent(&event)) windowProc(event);
}

void swapBuffers() {
    if (window != nullptr) SDL_GL_SwapWindow(window);
}

bool isFullscreen() {
    return fullscreen;
}
