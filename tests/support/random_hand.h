// The seeded hand behind the soak tests' random authors: its chances, and drags that start
// anywhere in the window or a little outside it (where a captured mouse can report), wander and
// end after a random number of frames. Each author decides the buttons and how often.
#pragma once

#include <cstdint>
#include <random>

#include "platform/input_table.h"

class RandomHand {
public:
    explicit RandomHand(unsigned seed) : random_(seed) {}

    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(random_) < p; }

    // 0 to `count` - 1.
    uint32_t below(uint32_t count) { return random_() % count; }

    // Puts the pointer somewhere in or around the window for a drag of 3 to `longest` + 2 frames;
    // the caller has pressed its buttons.
    void startDrag(InputTable& input, uint32_t longest) {
        input.mouseX = int32_t(below(1400)) - 60;
        input.mouseY = int32_t(below(840)) - 60;
        framesLeft_ = 3 + int(below(longest));
    }

    // A frame of the drag under way: false, with both buttons up, once its frames are over.
    bool dragGoesOn(InputTable& input) {
        if (--framesLeft_ > 0) return true;
        input.mouseLeft = 0;
        input.mouseRight = 0;
        return false;
    }

    // Moves the pointer up to 20 pixels each way.
    void wander(InputTable& input) {
        input.mouseX += int32_t(below(41)) - 20;
        input.mouseY += int32_t(below(41)) - 20;
    }

private:
    std::mt19937 random_;
    int framesLeft_ = 0;
};
