#include "figure/drawing.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "scene/image.h"
#include "stb_image.h"
#include "stb_image_write.h"

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

bool startsWith(const unsigned char* head, size_t size, const unsigned char* magic, size_t n) {
    return size >= n && std::memcmp(head, magic, n) == 0;
}

uint32_t bigEndian(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

}  // namespace

bool readDrawing(const std::string& path, Drawing& drawing, std::string& error) {
    File file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = "can't open " + path + ": " + std::strerror(errno);
        return false;
    }
    unsigned char head[32] = {};
    const size_t got = std::fread(head, 1, sizeof head, file.get());
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    static const unsigned char jpeg[3] = {0xff, 0xd8, 0xff};
    const bool isPng = startsWith(head, got, png, sizeof png);
    if (!isPng && !startsWith(head, got, jpeg, sizeof jpeg)) {
        error = path + " is not a picture: kelvaro-figure reads PNG and JPEG files";
        return false;
    }
    // A PNG's size stands in its header chunk, right behind the signature.
    long width = 0, height = 0;
    if (isPng) {
        if (got < 24 || std::memcmp(head + 12, "IHDR", 4) != 0) {
            error = path + " is not a PNG picture that can be read";
            return false;
        }
        width = long(bigEndian(head + 16));
        height = long(bigEndian(head + 20));
    } else {
        int w = 0, h = 0, channels = 0;
        if (std::fseek(file.get(), 0, SEEK_SET) != 0 ||
            stbi_info_from_file(file.get(), &w, &h, &channels) == 0) {
            error = path + " is not a JPEG picture that can be read";
            return false;
        }
        width = w;
        height = h;
    }
    if (width > largestDrawingSide || height > largestDrawingSide) {
        error = path + " is " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels: a drawing may be at most " + std::to_string(largestDrawingSide) +
                " pixels a side";
        return false;
    }
    if (width < 1 || height < 1) {
        error = path + " has no pixels";
        return false;
    }
    if (isPng) {
        file.reset();
        // The show's own reader checks every chunk against the file's length first.
        ImagePtr image(loadImage(path.c_str(), 4));
        if (!image) {
            error = path + " is a damaged PNG file: it can't be decoded";
            return false;
        }
        drawing.width = image->width;
        drawing.height = image->height;
        drawing.rgba.assign(image->pixels,
                            image->pixels + size_t(image->width) * size_t(image->height) * 4);
    } else {
        int w = 0, h = 0, channels = 0;
        std::fseek(file.get(), 0, SEEK_SET);
        unsigned char* pixels = stbi_load_from_file(file.get(), &w, &h, &channels, 4);
        if (pixels == nullptr) {
            error = path + " is a damaged JPEG file: it can't be decoded";
            return false;
        }
        drawing.width = w;
        drawing.height = h;
        drawing.rgba.assign(pixels, pixels + size_t(w) * size_t(h) * 4);
        stbi_image_free(pixels);
    }
    drawing.hasTransparency = false;
    for (size_t i = 3; i < drawing.rgba.size(); i += 4)
        if (drawing.rgba[i] != 255) {
            drawing.hasTransparency = true;
            break;
        }
    return true;
}

bool writePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels) {
    return stbi_write_png(path.c_str(), width, height, channels, pixels, width * channels) != 0;
}
