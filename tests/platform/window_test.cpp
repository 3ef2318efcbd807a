#include "platform/window.h"

#include <GL/gl.h>
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include "gl_context.h"
#include "platform/input_table.h"
#include "platform/message_box.h"
#include "platform/sdl_platform.h"
#include "scene/show_facts.h"

namespace {

// Events reach the input table the way a run's do: queued, then handled by the pump.
bool deliver(const SDL_Event& e) {
    ensureGlContext();
    SDL_Event copy = e;
    EXPECT_EQ(SDL_PushEvent(&copy), 1) << SDL_GetError();
    return testWindowPlatform().pumpMessages();
}

const InputTable& inputTable() {
    return testWindowPlatform().input();
}

SDL_Event event(Uint32 type) {
    SDL_Event e{};
    e.type = type;
    return e;
}

void sendKey(Uint32 type, SDL_Keycode key, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event e = event(type);
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    deliver(e);
}

}  // namespace

TEST(InputTable, KeysAreRecordedUnderTheirVirtualKeyCodes) {
    const struct {
        SDL_Keycode key;
        int code;
    } table[] = {
        {SDLK_TAB, 9},     {SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13}, {SDLK_LSHIFT, 16},
        {SDLK_RSHIFT, 16}, {SDLK_ESCAPE, 27}, {SDLK_SPACE, 32},    {SDLK_LEFT, 37},
        {SDLK_UP, 38},     {SDLK_RIGHT, 39},  {SDLK_DOWN, 40},     {SDLK_a, 65},
        {SDLK_d, 68},      {SDLK_f, 70},      {SDLK_r, 82},        {SDLK_s, 83},
        {SDLK_v, 86},      {SDLK_w, 87},      {SDLK_KP_PLUS, 107}, {SDLK_KP_MINUS, 109},
        {SDLK_F1, 112},    {SDLK_F6, 117},
    };
    const InputTable& input = inputTable();
    for (const auto& entry : table) {
        sendKey(SDL_KEYDOWN, entry.key);
        EXPECT_EQ(input.keys[entry.code], 1) << SDL_GetKeyName(entry.key);
        sendKey(SDL_KEYUP, entry.key);
        EXPECT_EQ(input.keys[entry.code], 0) << SDL_GetKeyName(entry.key);
    }
}

TEST(InputTable, RepeatsKeepTheKeyDownAndAltCombinationsAreNotRecorded) {
    const InputTable& input = inputTable();
    const uint32_t pressesBefore = input.presses[VK_A];
    sendKey(SDL_KEYDOWN, SDLK_a);
    sendKey(SDL_KEYDOWN, SDLK_a, KMOD_NONE, 1);
    EXPECT_EQ(input.keys[VK_A], 1);
    sendKey(SDL_KEYUP, SDLK_a);
    EXPECT_EQ(input.keys[VK_A], 0);
    // The press is counted once, repeats not, so a tap between two frames is not lost.
    EXPECT_EQ(input.presses[VK_A], pressesBefore + 1);

    sendKey(SDL_KEYDOWN, SDLK_F4, KMOD_LALT);
    EXPECT_EQ(input.keys[115], 0);
    sendKey(SDL_KEYDOWN, SDLK_r);
    sendKey(SDL_KEYUP, SDLK_r, KMOD_RALT);  // released while Alt is held: still down here
    EXPECT_EQ(input.keys[VK_R], 1);
    sendKey(SDL_KEYUP, SDLK_r);
    EXPECT_EQ(input.keys[VK_R], 0);
}

TEST(InputTable, AKeyReleasedInAnotherWindowCountsAsReleased) {
    const InputTable& input = inputTable();
    sendKey(SDL_KEYDOWN, SDLK_LEFT);
    SDL_Event focusLost = event(SDL_WINDOWEVENT);
    focusLost.window.event = SDL_WINDOWEVENT_FOCUS_LOST;
    deliver(focusLost);
    sendKey(SDL_KEYUP, SDLK_LEFT);
    EXPECT_EQ(input.keys[VK_LEFT], 0);
}

TEST(InputTable, CursorComesFromMotionOnlyAndButtonsFromButtonEvents) {
    const InputTable& input = inputTable();
    const auto send = [](Uint32 type, int x, int y, Uint8 button = 0) {
        SDL_Event e = event(type);
        if (type == SDL_MOUSEMOTION) {
            e.motion.x = x;
            e.motion.y = y;
        } else {
            e.button.button = button;
            e.button.x = x;
            e.button.y = y;
        }
        deliver(e);
    };
    send(SDL_MOUSEMOTION, 321, 123);
    send(SDL_MOUSEBUTTONDOWN, 5, 6, SDL_BUTTON_LEFT);
    send(SDL_MOUSEBUTTONDOWN, 5, 6, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(input.mouseX == 321 && input.mouseY == 123) << input.mouseX << ", " << input.mouseY;
    EXPECT_TRUE(input.mouseLeft == 1 && input.mouseRight == 1);
    send(SDL_MOUSEBUTTONUP, 7, 8, SDL_BUTTON_LEFT);
    EXPECT_TRUE(input.mouseLeft == 0 && input.mouseRight == 1);
    send(SDL_MOUSEBUTTONUP, 7, 8, SDL_BUTTON_RIGHT);
    EXPECT_EQ(input.mouseRight, 0);
}

TEST(InputTable, F10IsASystemKeyAndIsNotRecorded) {
    const InputTable& input = inputTable();
    sendKey(SDL_KEYDOWN, SDLK_F10);
    EXPECT_EQ(input.keys[121], 0);
    sendKey(SDL_KEYDOWN, SDLK_F9);  // its neighbour is an ordinary key
    EXPECT_EQ(input.keys[120], 1);
    sendKey(SDL_KEYUP, SDLK_F9);
}

TEST(Window, AFullScreenSwitchThatFailsAsksBeforeAnyGlContextAndANoEndsIt) {
    ensureGlContext();
    SDL_Window* const testWindow = SDL_GL_GetCurrentWindow();
    const SDL_GLContext testContext = SDL_GL_GetCurrentContext();
    static SDL_GLContext contextAtTheSwitch = nullptr;
    SdlPlatform platform(depthBits, [](SDL_Window*, int32_t, int32_t, int32_t) {
        contextAtTheSwitch = SDL_GL_GetCurrentContext();
        return false;
    });
    testing::internal::CaptureStderr();
    EXPECT_FALSE(
        platform.createGlWindow("kelvaro test", windowWidth, windowHeight, colorBits, true));
    const std::string err = testing::internal::GetCapturedStderr();
    // The No of a run without a display ends it with no message of its own.
    EXPECT_NE(err.find("Fullscreen: Unable to set fullscreen mode."), std::string::npos) << err;
    EXPECT_EQ(err.find("Error:"), std::string::npos) << err;
    EXPECT_EQ(contextAtTheSwitch, testContext) << "a GL context was made before the question";
    SDL_GL_MakeCurrent(testWindow, testContext);
}

TEST(Window, ResizeSetsTheViewportAndCloseIsTheQuitMessage) {
    ensureGlContext();
    EXPECT_EQ(SDL_GetWindowFlags(SDL_GL_GetCurrentWindow()) & SDL_WINDOW_FULLSCREEN, 0u);
    SDL_Event resize = event(SDL_WINDOWEVENT);
    resize.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    resize.window.data1 = 640;
    resize.window.data2 = 400;
    EXPECT_TRUE(deliver(resize));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(viewport[0] == 0 && viewport[1] == 0 && viewport[2] == 640 && viewport[3] == 400);
    resetViewport();

    SDL_Event close = event(SDL_WINDOWEVENT);
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    EXPECT_FALSE(deliver(close));
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    EXPECT_FALSE(deliver(event(SDL_QUIT)));
}

TEST(Window, PumpHandlesEveryWaitingEventAndStopsAtTheQuitMessage) {
    ensureGlContext();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    for (int i = 0; i < 500; ++i) {
        SDL_Event motion = event(SDL_MOUSEMOTION);
        motion.motion.x = i;
        motion.motion.y = 1000 - i;
        SDL_PushEvent(&motion);
    }
    EXPECT_TRUE(testWindowPlatform().pumpMessages());
    EXPECT_EQ(inputTable().mouseX, 499);
    EXPECT_EQ(inputTable().mouseY, 501);
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_MOUSEMOTION, SDL_MOUSEMOTION), 0);

    SDL_Event quit = event(SDL_QUIT);
    SDL_PushEvent(&quit);
    EXPECT_FALSE(testWindowPlatform().pumpMessages());
}

TEST(MessageBoxes, WithoutADisplayTheyTellStderrAndNeverWait) {
    testing::internal::CaptureStderr();
    showErrorBox("Window creation error!");
    EXPECT_FALSE(
        askYesNo("Fullscreen", "Unable to set fullscreen mode.\nUse windowed mode instead?"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Window creation error!"), std::string::npos) << err;
    EXPECT_NE(err.find("Unable to set fullscreen mode."), std::string::npos) << err;
}
