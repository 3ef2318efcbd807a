// The program's own picture record, with a row table for direct pixel access.
#pragma once

#include <cstdint>
#include <memory>

struct Image {
    int32_t width;
    int32_t height;
    int32_t channels;       // bytes per pixel: 3 for colour pictures, 1 for masks
    unsigned char* pixels;  // width * height * channels bytes, top row first, rows packed
    unsigned char** rows;   // rows[y] points at row y inside pixels
};

// Allocates the record together with its row table, and a zero-filled pixel block.
Image* createImage(int32_t channels, int32_t width, int32_t height);

// Decodes a PNG file asking for exactly `channels` bytes per pixel; nullptr when the file
// can't be opened, is no PNG or can't be decoded.
Image* loadImage(const char* path, int32_t channels);

void releaseImage(Image* image);

struct ImageRelease {
    void operator()(Image* image) const { releaseImage(image); }
};
using ImagePtr = std::unique_ptr<Image, ImageRelease>;
