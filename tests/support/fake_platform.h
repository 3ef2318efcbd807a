// A platform for tests: a clock that moves only as the test says, an input table the test
// fills, quiet music, and a record of the start-up calls. Drawing goes to the one real GL
// context of the test program (gl_context.h), which the test opens itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

class FakePlatform : public Platform {
public:
    // The counter runs at `frequency` ticks a second and advances by `step` ticks at every
    // reading.
    int64_t counter = 0;
    int64_t step = 0;
    double frequency = 1e6;
    void setClock(double seconds);
    void setClockStep(double seconds);

    InputTable table{};
    bool quitPending = false;  // the next pump handles a quit message
    bool windowWorks = true;
    bool musicWorks = true;
    int swaps = 0;

    // With `recordCalls`, the start-up operations are written to `calls` as they happen.
    bool recordCalls = false;
    std::vector<std::string> calls;

    bool createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                        bool fullscreen) override;
    void killGlWindow() override;
    bool pumpMessages() override;
    void closeWindowAndDrain() override;
    const InputTable& input() const override { return table; }
    void swapBuffers() override { ++swaps; }
    // Recorded as "showErrorBox TEXT"; never waits.
    void showErrorBox(const char* text) override;
    FramePlan plan;  // what every frame is asked to be
    FramePlan planFrame() override { return plan; }

    int64_t readPerformanceCounter() override;
    double readPerformanceFrequency() override;
    void sleepMilliseconds(int) override {}  // the clock moves only when it is read

    bool musicInit() override;
    bool musicLoad(const char* file) override;
    bool musicPlay(bool loop) override;
    bool musicFree() override;
    // The music's place follows the seeks and stands still otherwise.
    double musicAt = 0.0;
    bool musicPaused = false;
    bool musicSeek(double seconds) override;
    void musicPause() override { musicPaused = true; }
    void musicResume() override { musicPaused = false; }
    double musicPosition() override { return musicAt; }
    // The music's samples for the studio's beat search: none, as a platform that can't decode.
    std::vector<int16_t> musicSamplesGiven;
    int musicChannels = 2;
    bool musicSamples(const char* file, std::vector<int16_t>& samples, int& channels,
                      std::string& error) override;

private:
    void record(const std::string& call);
};
