// Key and mouse state as the window's event handler records it, indexed by virtual-key code.
#pragma once

#include <cstdint>

struct InputTable {
    int32_t keys[256];  // 1 while the key is down
    int32_t mouseLeft;
    int32_t mouseRight;
    int32_t mouseX;  // client pixels from the left edge, as of the last motion
    int32_t mouseY;  // client pixels from the top edge, as of the last motion
    // Key-down events per key, repeats not counted: a key pressed and released between two
    // frames never shows in `keys`, but a control that acts once per press still sees it here.
    uint32_t presses[256];
};

// The virtual-key codes that the controls read.
enum VirtualKey : int {
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_A = 65,
    VK_D = 68,
    VK_F = 70,
    VK_R = 82,
    VK_S = 83,
    VK_V = 86,
    VK_W = 87,
    VK_ADD = 107,
    VK_SUBTRACT = 109,
    VK_F1 = 112,
    VK_F6 = 117,
};
