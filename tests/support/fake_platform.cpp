#include "fake_platform.h"

#include <cmath>

void FakePlatform::setClock(double seconds) {
    counter = int64_t(std::llround(seconds * frequency));
}

void FakePlatform::setClockStep(double seconds) {
    step = int64_t(std::llround(seconds * frequency));
}

void FakePlatform::record(const std::string& call) {
    if (recordCalls) calls.push_back(call);
}

bool FakePlatform::createGlWindow(const char* title, int32_t width, int32_t height, int32_t bits,
                                  bool fullscreen) {
    record(std::string("createGlWindow ") + title + " " + std::to_string(width) + "x" +
           std::to_string(height) + "x" + std::to_string(bits) +
           (fullscreen ? " fullscreen" : " windowed"));
    return windowWorks;
}

void FakePlatform::showErrorBox(const char* text) {
    record(std::string("showErrorBox ") + text);
}

void FakePlatform::killGlWindow() {
    record("killGlWindow");
}

bool FakePlatform::pumpMessages() {
    const bool quit = quitPending;
    quitPending = false;
    return !quit;
}

void FakePlatform::closeWindowAndDrain() {
    record("closeWindowAndDrain");
}

int64_t FakePlatform::readPerformanceCounter() {
    record("readCounter");
    const int64_t now = counter;
    counter += step;
    return now;
}

double FakePlatform::readPerformanceFrequency() {
    record("readFrequency");
    return frequency;
}

bool FakePlatform::musicInit() {
    record("musicInit");
    return musicWorks;
}

bool FakePlatform::musicLoad(const char* file) {
    record(std::string("musicLoad ") + file);
    return true;
}

bool FakePlatform::musicPlay(bool loop) {
    record(loop ? "musicPlay looped" : "musicPlay once");
    return true;
}

bool FakePlatform::musicSeek(double seconds) {
    record("musicSeek " + std::to_string(seconds));
    musicAt = seconds;
    return true;
}

bool FakePlatform::musicFree() {
    record("musicFree");
    return true;
}

bool FakePlatform::musicSamples(const char*, std::vector<int16_t>& samples, int& channels,
                                std::string&) {
    if (musicSamplesGiven.empty()) return false;
    samples = musicSamplesGiven;
    channels = musicChannels;
    return true;
}
