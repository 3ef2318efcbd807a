// The facts of the show that every part of the system and the demo generator must agree on:
// the window, the slot table, the camera's start values and the timeline. There is no
// configuration file, option or environment variable: the build decides the set-up per program.
#pragma once

#include <cstdint>

constexpr int32_t windowWidth = 1280;
constexpr int32_t windowHeight = 720;
constexpr int32_t colorBits = 32;
constexpr int32_t depthBits = 32;

constexpr const char* windowTitle = "KELVARO";
constexpr const char* musicFileName = "tavel.mp3";
constexpr const char* keyframeFileName = "anim.txt";

struct SceneSlotConfig {
    const char* directory;
    uint32_t boneCount;
    bool appendMirror;
};

constexpr int32_t sceneSlotCount = 6;
constexpr SceneSlotConfig sceneSlots[sceneSlotCount] = {
    {"quimet", 0, false},  {"kiv", 8, false},   {"vastel", 7, false},
    {"doranek", 8, false}, {"pilou", 1, false}, {"logo", 0, false},
};

// Camera start values.
constexpr float startFov = 15.0f;
constexpr float startDx = 2163.0f;
constexpr float startDy = 2000.0f;
constexpr float startDz = 2200.0f;
constexpr float eyeOffset = 20.0f;  // ox, oy and oz: never changed
constexpr float startRa = -44.0f;
constexpr float startRb = -58.0f;

// Show timeline, in seconds on the show clock: the title fades in, then each of the four
// figures' sections starts at its progression time, and the show ends.
constexpr float fadeStart = 11.0f;
constexpr float fadeRate = 0.33333334f;
constexpr float progressionTimes[4] = {20.0f, 40.0f, 59.0f, 78.5f};
constexpr float endOfShow = 87.0f;
constexpr double closingHold = 2.0;
constexpr int32_t closingSlot = 5;
