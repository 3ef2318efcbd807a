#include "figure/slot_folder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "figure/drawing.h"
#include "scene/show_facts.h"

namespace {

// A background fills the window.
constexpr int backgroundWidth = windowWidth, backgroundHeight = windowHeight;

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool writeBytes(const std::string& path, const std::string& bytes, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "can't write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool wrote = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!wrote || !closed) error = "can't write " + path + ": " + std::strerror(errno);
    return wrote && closed;
}

bool writePicture(const std::string& path, int width, int height, int channels,
                  const uint8_t* pixels, std::string& error) {
    if (writePng(path, width, height, channels, pixels)) return true;
    error = "can't write " + path;
    return false;
}

bool writeBackground(const SlotWriting& writing, const std::string& into, std::string& error) {
    const std::string target = into + "/bkg.png";
    if (!writing.background.empty()) {
        Drawing picture;
        if (!readDrawing(writing.background, picture, error)) return false;
        std::vector<uint8_t> rgb;
        rgb.reserve(size_t(picture.width) * size_t(picture.height) * 3);
        for (size_t i = 0; i < picture.rgba.size(); i += 4)
            rgb.insert(rgb.end(), picture.rgba.begin() + long(i),
                       picture.rgba.begin() + long(i) + 3);
        return writePicture(target, picture.width, picture.height, 3, rgb.data(), error);
    }
    const std::string old = writing.folder + "/bkg.png";
    if (exists(old)) {
        std::string bytes;
        return readWholeFile(old, bytes, error) && writeBytes(target, bytes, error);
    }
    const std::vector<uint8_t> plain = plainBackground(backgroundWidth, backgroundHeight);
    return writePicture(target, backgroundWidth, backgroundHeight, 3, plain.data(), error);
}

}  // namespace

bool writeFigureFiles(const FigureResult& figure, const std::string& into, std::string& error) {
    if (!writeBytes(into + "/mesh.obj", objText(figure.mesh), error)) return false;
    if (!writePicture(into + "/tex.png", figureTextureWidth, figureTextureHeight, 3,
                      figure.texture.data(), error)) {
        return false;
    }
    for (size_t b = 0; b < figure.masks.size(); ++b) {
        char name[32];
        std::snprintf(name, sizeof name, "/bone_%02zu.png", b);
        const Grid<uint8_t>& mask = figure.masks[b];
        if (!writePicture(into + name, mask.width, mask.height, 1, mask.cells.data(), error))
            return false;
    }
    return true;
}

namespace {

bool writeFiles(const SlotWriting& writing, const FigureResult& figure, const std::string& into,
                std::string& error) {
    return writeFigureFiles(figure, into, error) && writeBackground(writing, into, error);
}

}  // namespace

bool holdsFigure(const std::string& folder) {
    return exists(folder + "/mesh.obj") || exists(folder + "/tex.png") ||
           exists(folder + "/bone_00.png");
}

bool prepareSlotFolder(const SlotWriting& writing, const FigureResult& figure,
                       PreparedSlot& prepared, std::string& error) {
    if (holdsFigure(writing.folder) && !writing.replace) {
        error = writing.folder +
                " already holds a figure: add --replace to replace it (the old "
                "files are then kept in " +
                writing.folder + "~)";
        return false;
    }
    prepared = PreparedSlot{};
    if (!beginAtomicFolder(writing.folder, prepared.folder, error)) return false;
    if (!writeFiles(writing, figure, prepared.folder.temporary, error)) {
        abandonAtomicFolder(prepared.folder);
        return false;
    }
    prepared.keep = exists(writing.folder) ? writing.folder + "~" : std::string();
    return true;
}

std::string preparedMeshPath(const PreparedSlot& prepared) {
    return prepared.folder.temporary + "/mesh.obj";
}

bool commitSlotFolder(PreparedSlot& prepared, std::string& error) {
    return commitAtomicFolder(prepared.folder, prepared.keep, error);
}

void abandonSlotFolder(PreparedSlot& prepared) {
    abandonAtomicFolder(prepared.folder);
}

bool restoreSlotFolder(const PreparedSlot& prepared, std::string& error) {
    const std::string& path = prepared.folder.path;
    std::error_code failure;
    if (prepared.keep.empty()) {
        std::filesystem::remove_all(path, failure);
        if (failure) error = "can't remove the new " + path + ": " + failure.message();
        return !failure;
    }
    // One step swaps them back, so the name never stands empty.
    if (renameat2(AT_FDCWD, prepared.keep.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) != 0) {
        error = "can't put " + prepared.keep + " back in place of " + path + ": " +
                std::strerror(errno);
        return false;
    }
    std::filesystem::remove_all(prepared.keep, failure);
    // The old figure is back all the same; only the new one lingers.
    if (failure) error = "the new figure is left in " + prepared.keep + ": " + failure.message();
    return true;
}

bool writeSlotFolder(const SlotWriting& writing, const FigureResult& figure, std::string& error) {
    PreparedSlot prepared;
    return prepareSlotFolder(writing, figure, prepared, error) && commitSlotFolder(prepared, error);
}

std::vector<uint8_t> plainBackground(int width, int height) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y) {
        const double t = double(y) / std::max(1, height - 1);
        const uint8_t c[3] = {uint8_t(24 + 30 * t), uint8_t(30 + 34 * t), uint8_t(58 + 40 * t)};
        for (int x = 0; x < width; ++x)
            std::memcpy(&rgb[(size_t(y) * size_t(width) + size_t(x)) * 3], c, 3);
    }
    return rgb;
}
