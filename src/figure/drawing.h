// The author's drawing as it comes from its file: PNG or JPEG, read as RGBA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int largestDrawingSide = 8192;

struct Drawing {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;     // width * height * 4 bytes, top row first
    bool hasTransparency = false;  // some pixel has an alpha under 255
};

// False with a message in `error` for a file that can't be read, is no PNG or JPEG picture, is
// larger than largestDrawingSide a side or can't be decoded. The size is known before a pixel
// is decoded.
bool readDrawing(const std::string& path, Drawing& drawing, std::string& error);

// Writes RGB (3 channels) or grey (1 channel) pixels as a PNG file; false when it can't.
bool writePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels);
