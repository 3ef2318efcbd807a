// The platform of the show and the authoring tool: SDL's window, events, clock and mixer.
#pragma once

#include <cstdint>

#include "platform/music.h"
#include "platform/platform.h"
#include "platform/window.h"

class SdlPlatform : public Platform {
public:
    // `depthBits` is the depth buffer the window asks for first.
    explicit SdlPlatform(int32_t depthBits, DisplayModeSwitch enterFullscreen = &switchDisplayMode);

    bool createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                        bool fullscreen) override;
    void killGlWindow() override;
    bool pumpMessages() override;
    void closeWindowAndDrain() override;
    const InputTable& input() const override;
    void swapBuffers() override;
    void showErrorBox(const char* text) override;

    int64_t readPerformanceCounter() override;
    double readPerformanceFrequency() override;
    void sleepMilliseconds(int milliseconds) override;

    bool musicInit() override;
    bool musicLoad(const char* file) override;
    bool musicPlay(bool loop) override;
    bool musicFree() override;
    bool musicSeek(double seconds) override;
    void musicPause() override;
    void musicResume() override;
    double musicPosition() override;
    bool musicSamples(const char* file, std::vector<int16_t>& samples, int& channels,
                      std::string& error) override;

private:
    WindowState window_;
    MusicState music_;
};
