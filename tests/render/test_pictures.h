// Pictures for the drawing tests, uploaded with plain GL calls the way the loader does (nearest
// filtering, repeat), so the tests see exactly the texels they put in.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver/config.h"
#include "gl_context.h"
#include "scene/records.h"

struct Rgb {
    unsigned char r, g, b;
};

constexpr Rgb RED{255, 0, 0};
constexpr Rgb GREEN{0, 255, 0};
constexpr Rgb BLUE{0, 0, 255};
constexpr Rgb WHITE{255, 255, 255};
constexpr Rgb GREY{128, 128, 128};
constexpr Rgb YELLOW{255, 255, 0};
constexpr Rgb MAGENTA{255, 0, 255};
constexpr Rgb CYAN{0, 255, 255};
constexpr Rgb BLACK{0, 0, 0};

// Rows from the top of the picture down, as the decoder delivers them.
struct Picture {
    int32_t width;
    int32_t height;
    std::vector<unsigned char> rgb;

    void set(int x, int y, Rgb c) {
        unsigned char* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
};

inline Picture solidPicture(int32_t width, int32_t height, Rgb c) {
    Picture picture{width, height, std::vector<unsigned char>(size_t(width * height) * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) picture.set(x, y, c);
    }
    return picture;
}

// Top-left red, top-right green, bottom-left blue, bottom-right white.
inline Picture quadrantPicture(int32_t width, int32_t height) {
    Picture picture = solidPicture(width, height, BLACK);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            picture.set(x, y, bottom ? (right ? WHITE : BLUE) : (right ? GREEN : RED));
        }
    }
    return picture;
}

inline void uploadPicture(const Picture& picture, int32_t textureIndex) {
    glBindTexture(GL_TEXTURE_2D, GLuint(textureIndex + 1));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, picture.width, picture.height, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, picture.rgb.data());
}

inline bool near(Pixel p, Rgb c, int tolerance = 2) {
    auto close = [tolerance](int a, int b) { return a - b <= tolerance && b - a <= tolerance; };
    return close(p.r, c.r) && close(p.g, c.g) && close(p.b, c.b);
}

inline Rgb scaled(Rgb c, float factor) {
    return Rgb{static_cast<unsigned char>(float(c.r) * factor + 0.5f),
               static_cast<unsigned char>(float(c.g) * factor + 0.5f),
               static_cast<unsigned char>(float(c.b) * factor + 0.5f)};
}

inline std::string describe(Pixel p) {
    return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) +
           ")";
}
