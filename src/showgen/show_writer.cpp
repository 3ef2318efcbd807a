#include "showgen/show_writer.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "mp3/mp3_writer.h"
#include "scene/show_facts.h"
#include "showgen/backgrounds.h"
#include "showgen/choreography.h"
#include "showgen/figure.h"
#include "showgen/music.h"
#include "showgen/show_checks.h"

namespace {

bool writeText(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "showgen: can't write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

bool writeBackgrounds(const std::string& root) {
    // In the order of the show's slot table.
    Picture (*const paint[sceneSlotCount])() = {titleBackground,  underwaterBackground,
                                                winterBackground, stageBackground,
                                                lagoonBackground, closingBackground};
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        const std::string dir = root + "/" + sceneSlots[slot].directory;
        mkdir(dir.c_str(), 0755);
        if (!writePicture(dir + "/bkg.png", paint[slot]())) return false;
    }
    return true;
}

struct Slot {
    int index;
    FigureDesign design;
    BuiltFigure built;
};

bool writeFigure(const std::string& root, Slot& slot) {
    const std::string dir = root + "/" + slot.design.directory;
    windFacesForStartView(slot.built.mesh);
    if (!writePicture(dir + "/tex.png", slot.built.texture)) return false;
    for (size_t b = 0; b < slot.built.masks.size(); ++b) {
        char name[32];
        std::snprintf(name, sizeof name, "/bone_%02zu.png", b);
        if (!writeGreyPicture(dir + name, slot.built.masks[b])) return false;
    }
    return writeText(dir + "/mesh.obj", objText(slot.built.mesh));
}

}  // namespace

bool generateShow(const std::string& root) {
    const auto started = std::chrono::steady_clock::now();
    mkdir(root.c_str(), 0755);
    if (!writeBackgrounds(root)) return false;

    std::vector<Slot> slots;
    slots.push_back({1, scaledDesign(octopusDesign()), {}});
    slots.push_back({2, scaledDesign(plantDesign()), {}});
    slots.push_back({3, scaledDesign(dancerDesign()), {}});
    slots.push_back({4, scaledDesign(jellyDesign()), {}});
    bool sound = true;
    for (Slot& slot : slots) {
        slot.built = buildFigure(slot.design);
        if (!writeFigure(root, slot)) return false;
        sound = checkFigure(slot.design.directory, slot.built) && sound;
    }

    std::vector<SlotFigure> figures;
    for (const Slot& slot : slots) figures.push_back({slot.index, &slot.design, &slot.built.mesh});
    const std::vector<ScriptRow> rows = choreograph(figures);
    sound = checkScript(rows, figures) && sound;
    if (!writeText(root + "/anim.txt", scriptText(rows))) return false;

    const std::vector<int16_t> music = composeMusic();
    if (!writeMp3(root + "/tavel.mp3", music, 44100)) return false;

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "showgen: %zu script rows, %.1f s of music, written in %.1f s\n",
                 rows.size(), double(music.size() / 2) / 44100.0, seconds);
    return sound;
}
