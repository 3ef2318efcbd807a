#include "scene/image.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "stb_image.h"

Image* createImage(int32_t channels, int32_t width, int32_t height) {
    if (channels <= 0 || width < 0 || height < 0) return nullptr;
    const size_t bytes = size_t(width) * size_t(height) * size_t(channels);
    // The row table lives right behind the record, so both come and go in one piece.
    void* block = std::malloc(sizeof(Image) + sizeof(unsigned char*) * size_t(height));
    if (block == nullptr) return nullptr;
    Image* image = static_cast<Image*>(block);
    image->width = width;
    image->height = height;
    image->channels = channels;
    image->rows = reinterpret_cast<unsigned char**>(static_cast<char*>(block) + sizeof(Image));
    image->pixels = static_cast<unsigned char*>(std::calloc(bytes > 0 ? bytes : 1, 1));
    if (image->pixels == nullptr) {
        std::free(block);
        return nullptr;
    }
    const size_t stride = size_t(width) * size_t(channels);
    for (int32_t y = 0; y < height; ++y) image->rows[y] = image->pixels + stride * size_t(y);
    return image;
}

namespace {

// The show's pictures are PNG files. The decoder also knows formats without a signature (TGA
// among them), which take a few bytes of text for a picture of gigabytes and spend seconds
// filling it; a file that doesn't start as a PNG never gets that far. The decoder also reserves
// room for each data chunk at the length the chunk claims, before reading it: a file of a few
// bytes that claims a chunk of a gigabyte would cost that much. So every chunk up to the end
// marker must fit in the file before the decoder sees it.
bool holdsWholePng(std::FILE* file) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    unsigned char head[8];
    if (std::fread(head, 1, sizeof head, file) != sizeof head ||
        std::memcmp(head, signature, sizeof head) != 0) {
        return false;
    }
    if (std::fseek(file, 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file);
    long at = sizeof signature;
    while (size >= 0 && size - at >= 8) {
        if (std::fseek(file, at, SEEK_SET) != 0 || std::fread(head, 1, 8, file) != 8) return false;
        const unsigned long length = (unsigned long)head[0] << 24 | (unsigned long)head[1] << 16 |
                                     (unsigned long)head[2] << 8 | (unsigned long)head[3];
        // The end marker's own checksum is never read: every pixel came before it.
        if (std::memcmp(head + 4, "IEND", 4) == 0) return true;
        // The data and its 4-byte checksum; the format caps a length at 2^31 - 1.
        if (length > 0x7fffffffUL || (unsigned long)(size - at - 8) < length + 4) return false;
        at += 8 + long(length) + 4;
    }
    return false;
}

}  // namespace

Image* loadImage(const char* path, int32_t channels) {
    // The decoder gives up the process on any other request instead of failing.
    if (channels < 1 || channels > 4) return nullptr;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return nullptr;
    int width = 0;
    int height = 0;
    int inFile = 0;
    unsigned char* decoded = nullptr;
    if (holdsWholePng(file) && std::fseek(file, 0, SEEK_SET) == 0) {
        decoded = stbi_load_from_file(file, &width, &height, &inFile, channels);
    }
    std::fclose(file);
    if (decoded == nullptr) return nullptr;
    Image* image = createImage(channels, width, height);
    if (image != nullptr) {
        std::memcpy(image->pixels, decoded, size_t(width) * size_t(height) * size_t(channels));
    }
    stbi_image_free(decoded);
    return image;
}

void releaseImage(Image* image) {
    if (image == nullptr) return;
    std::free(image->pixels);
    std::free(image);
}
