// A framebuffer of any size to draw the show into without a window, and its read-back.
#pragma once

#include <cstdint>
#include <string>

struct OffscreenTarget {
    uint32_t framebuffer = 0;
    uint32_t colour = 0;  // renderbuffer, 8 bits a channel
    uint32_t depth = 0;   // renderbuffer
    int32_t width = 0;
    int32_t height = 0;
};

// Makes a width x height framebuffer with colour and depth, binds it for all drawing from now
// on and sets the viewport to cover it. Needs a current GL context. False with the reason when
// GL can't make one that size; nothing is left bound or allocated then.
bool createOffscreenTarget(OffscreenTarget& target, int32_t width, int32_t height,
                           std::string& error);

// Gives the framebuffer back and draws into the window again.
void destroyOffscreenTarget(OffscreenTarget& target);

// The whole picture as R, G, B, A bytes, bottom row first, rows of width * 4 bytes. Drawing
// must be finished (finishFrame) before.
void readOffscreenPixels(const OffscreenTarget& target, uint8_t* pixels);
