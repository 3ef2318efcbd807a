#include "platform/sdl_platform.h"

#include <SDL2/SDL.h>

#include "platform/message_box.h"

SdlPlatform::SdlPlatform(int32_t depthBits, DisplayModeSwitch enterFullscreen) {
    window_.depthBits = depthBits;
    window_.enterFullscreen = enterFullscreen;
}

bool SdlPlatform::createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                                 bool fullscreen) {
    return ::createGlWindow(window_, title, width, height, bits, fullscreen);
}

void SdlPlatform::killGlWindow() {
    ::killGlWindow(window_);
}

bool SdlPlatform::pumpMessages() {
    return ::pumpMessages(window_);
}

void SdlPlatform::closeWindowAndDrain() {
    ::closeWindowAndDrain(window_);
}

const InputTable& SdlPlatform::input() const {
    return window_.input;
}

void SdlPlatform::swapBuffers() {
    ::swapBuffers(window_);
}

void SdlPlatform::showErrorBox(const char* text) {
    ::showErrorBox(text);
}

// The counter at its own rate, kept as 64 bits and the rate as a double, as the clock's
// arithmetic expects.
int64_t SdlPlatform::readPerformanceCounter() {
    return int64_t(SDL_GetPerformanceCounter());
}

double SdlPlatform::readPerformanceFrequency() {
    return double(SDL_GetPerformanceFrequency());
}

void SdlPlatform::sleepMilliseconds(int milliseconds) {
    SDL_Delay(Uint32(milliseconds));
}

bool SdlPlatform::musicInit() {
    return ::musicInit(music_);
}

bool SdlPlatform::musicLoad(const char* file) {
    return ::musicLoad(music_, file);
}

bool SdlPlatform::musicPlay(bool loop) {
    return ::musicPlay(music_, loop);
}

bool SdlPlatform::musicFree() {
    return ::musicFree(music_);
}

bool SdlPlatform::musicSeek(double seconds) {
    return ::musicSeek(music_, seconds);
}

void SdlPlatform::musicPause() {
    ::musicPause(music_);
}

void SdlPlatform::musicResume() {
    ::musicResume(music_);
}

double SdlPlatform::musicPosition() {
    return ::musicPosition(music_);
}
