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
// filling it; a file that doesn't start as a PNG never gets that far.
bool startsAsPng(std::FILE* file) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    unsigned char head[8];
    return std::fread(head, 1, sizeof head, file) == sizeof head &&
           std::memcmp(head, signature, sizeof head) == 0;
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
    if (startsAsPng(file) && std::fseek(file, 0, SEEK_SET) == 0) {
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
