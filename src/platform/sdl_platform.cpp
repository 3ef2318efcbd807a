#include "platform/sdl_platform.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

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

bool SdlPlatform::musicSamples(const char* file, std::vector<int16_t>& samples, int& channels,
                               std::string& error) {
    int rate = 0, count = 0;
    Uint16 format = 0;
    if (Mix_QuerySpec(&rate, &format, &count) == 0) {
        error = "the sound isn't open";
        return false;
    }
    if (rate != 44100 || format != AUDIO_S16SYS || count < 1) {
        error = "the sound device plays " + std::to_string(rate) +
                " Hz, not 16-bit samples at 44100 Hz";
        return false;
    }
    // Decoded into the device's own format, the one checked above.
    Mix_Chunk* chunk = Mix_LoadWAV(file);
    if (chunk == nullptr) {
        error = std::string(file) + ": " + Mix_GetError();
        return false;
    }
    const int16_t* first = reinterpret_cast<const int16_t*>(chunk->abuf);
    samples.assign(first, first + chunk->alen / sizeof(int16_t));
    channels = count;
    Mix_FreeChunk(chunk);
    return true;
}
