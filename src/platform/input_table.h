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
    // Those of them made while Ctrl was down: Ctrl and the key may both be up again by the
    // next frame.
    uint32_t controlPresses[256];
    // Left-button-down events, for the same reason: a click between two frames still counts.
    uint32_t mouseLeftPresses;
};

// The virtual-key codes under which the window's event handler records keys: the one table of
// them, for the handler's mapping, the show's controls and the studio's keys alike. Letters and
// digits are their capital ASCII codes (VK_A is 'A').
enum VirtualKey : int {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_PAUSE = 19,
    VK_CAPITAL = 20,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,  // Page Up
    VK_NEXT = 34,   // Page Down
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_INSERT = 45,
    VK_DELETE = 46,
    VK_0 = 48,
    VK_9 = 57,
    VK_A = 65,
    VK_D = 68,
    VK_F = 70,
    VK_H = 72,
    VK_K = 75,
    VK_L = 76,
    VK_P = 80,
    VK_R = 82,
    VK_S = 83,
    VK_V = 86,
    VK_W = 87,
    VK_Y = 89,
    VK_Z = 90,
    VK_NUMPAD0 = 96,
    VK_NUMPAD1 = 97,
    VK_NUMPAD9 = 105,
    VK_MULTIPLY = 106,
    VK_ADD = 107,
    VK_SUBTRACT = 109,
    VK_DECIMAL = 110,
    VK_DIVIDE = 111,
    VK_F1 = 112,
    VK_F6 = 117,
    VK_F10 = 121,
    VK_F12 = 123,
    VK_OEM_4 = 219,  // [ on a US keyboard
    VK_OEM_6 = 221,  // ]
};
