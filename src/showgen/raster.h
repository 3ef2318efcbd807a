// Pictures as the generator paints them: linear float RGB or grey, written out as 8-bit PNG.
#pragma once

#include <string>
#include <vector>

struct Colour {
    float r, g, b;
};

Colour mix(const Colour& a, const Colour& b, float t);
Colour scaled(const Colour& c, float k);
Colour added(const Colour& a, const Colour& b);
Colour hexColour(unsigned rgb);

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<Colour> pixels;  // top row first
};

struct GreyPicture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;  // top row first
};

Picture makePicture(int width, int height, const Colour& fill);
GreyPicture makeGreyPicture(int width, int height);

inline Colour& at(Picture& picture, int x, int y) {
    return picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)];
}

// Lays `colour` over the pixel with the given opacity (0..1).
void blendPixel(Picture& picture, int x, int y, const Colour& colour, float opacity);

// Adds light: the pixel grows towards `colour` by `amount` without passing white.
void screenPixel(Picture& picture, int x, int y, const Colour& colour, float amount);

// Writes 8-bit RGB or grey PNGs; false (with a message on stderr) on failure.
bool writePicture(const std::string& path, const Picture& picture);
bool writeGreyPicture(const std::string& path, const GreyPicture& picture);

float clamp01(float v);
float smoothstep(float edge0, float edge1, float v);
