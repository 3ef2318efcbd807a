#include "showgen/raster.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "stb_image_write.h"

float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float smoothstep(float edge0, float edge1, float v) {
    const float t = clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

Colour mix(const Colour& a, const Colour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaled(const Colour& c, float k) {
    return {c.r * k, c.g * k, c.b * k};
}

Colour added(const Colour& a, const Colour& b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}

Colour hexColour(unsigned rgb) {
    return {float((rgb >> 16) & 255u) / 255.0f, float((rgb >> 8) & 255u) / 255.0f,
            float(rgb & 255u) / 255.0f};
}

Picture makePicture(int width, int height, const Colour& fill) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(size_t(width) * size_t(height), fill);
    return picture;
}

GreyPicture makeGreyPicture(int width, int height) {
    GreyPicture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(size_t(width) * size_t(height), 0);
    return picture;
}

void blendPixel(Picture& picture, int x, int y, const Colour& colour, float opacity) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height || opacity <= 0.0f) return;
    Colour& p = at(picture, x, y);
    p = mix(p, colour, clamp01(opacity));
}

void screenPixel(Picture& picture, int x, int y, const Colour& colour, float amount) {
    if (x < 0 || y < 0 || x >= picture.width || y >= picture.height || amount <= 0.0f) return;
    Colour& p = at(picture, x, y);
    p.r = 1.0f - (1.0f - p.r) * (1.0f - clamp01(colour.r * amount));
    p.g = 1.0f - (1.0f - p.g) * (1.0f - clamp01(colour.g * amount));
    p.b = 1.0f - (1.0f - p.b) * (1.0f - clamp01(colour.b * amount));
}

namespace {

unsigned char toByte(float v) {
    return static_cast<unsigned char>(std::lround(clamp01(v) * 255.0f));
}

}  // namespace

bool writePicture(const std::string& path, const Picture& picture) {
    std::vector<unsigned char> bytes(picture.pixels.size() * 3);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        bytes[3 * i] = toByte(picture.pixels[i].r);
        bytes[3 * i + 1] = toByte(picture.pixels[i].g);
        bytes[3 * i + 2] = toByte(picture.pixels[i].b);
    }
    if (stbi_write_png(path.c_str(), picture.width, picture.height, 3, bytes.data(),
                       picture.width * 3) == 0) {
        std::fprintf(stderr, "showgen: can't write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool writeGreyPicture(const std::string& path, const GreyPicture& picture) {
    if (stbi_write_png(path.c_str(), picture.width, picture.height, 1, picture.pixels.data(),
                       picture.width) == 0) {
        std::fprintf(stderr, "showgen: can't write %s\n", path.c_str());
        return false;
    }
    return true;
}
