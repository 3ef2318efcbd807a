// The facts of the show that every part of the system and the demo generator must agree on:
// the window, the slot table and the camera's start values. The timeline has a file of its own
// (scene/timeline.h); nothing else here is set by a file, an option or the environment.
#pragma once

#include <cstdint>

#include "scene/timeline.h"

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

// The camera's near and far planes, for the show and for whatever works out where the show's
// camera puts a point.
constexpr double cameraNearPlane = 0.01;
constexpr double cameraFarPlane = 8000.0;

// Vertices stop this many window pixels above the bottom edge: the solve's window test, and the
// figure tool's check that a figure stays clear of it.
constexpr double SOLVE_BOTTOM_MARGIN = 50.0;

// Camera start values.
constexpr float startFov = 15.0f;
constexpr float startDx = 2163.0f;
constexpr float startDy = 2000.0f;
constexpr float startDz = 2200.0f;
constexpr float eyeOffset = 20.0f;  // ox, oy and oz: never changed
constexpr float startRa = -44.0f;
constexpr float startRb = -58.0f;

// The slot whose background is the closing picture.
constexpr int32_t closingSlot = 5;
