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
    for (int32_t slot = 0; slot < sceneSlotCount; ++slot) {
        const std::string dir = root + "/" + sceneSlots[slot].directory;
        mkdir(dir.c_str(), 0755);
        if (!writePicture(dir + "/bkg.png", slotBackground(slot))) return false;
    }
    return true;
}

}  // namespace

DemoFigure demoFigure(int slot) {
    FigureDesign (*const design[])() = {octopusDesign, plantDesign, dancerDesign, jellyDesign};
    DemoFigure figure;
    figure.slot = slot;
    figure.design = scaledDesign(design[slot - 1]());
    figure.built = buildFigure(figure.design);
    windFacesForStartView(figure.built.mesh);
    return figure;
}

bool writeDemoFigure(const std::string& folder, const DemoFigure& figure) {
    if (!writePicture(folder + "/tex.png", figure.built.texture)) return false;
    for (size_t b = 0; b < figure.built.masks.size(); ++b) {
        char name[32];
        std::snprintf(name, sizeof name, "/bone_%02zu.png", b);
        if (!writeGreyPicture(folder + name, figure.built.masks[b])) return false;
    }
    return writeText(folder + "/mesh.obj", objText(figure.built.mesh));
}

bool generateShow(const std::string& root) {
    const auto started = std::chrono::steady_clock::now();
    mkdir(root.c_str(), 0755);
    if (!writeBackgrounds(root)) return false;

    std::vector<DemoFigure> slots;
    bool sound = true;
    for (int slot = 1; slot <= 4; ++slot) {
        slots.push_back(demoFigure(slot));
        const DemoFigure& figure = slots.back();
        if (!writeDemoFigure(root + "/" + figure.design.directory, figure)) return false;
        sound = checkFigure(figure.design.directory, figure.built) && sound;
    }

    std::vector<SlotFigure> figures;
    for (const DemoFigure& slot : slots)
        figures.push_back({slot.slot, &slot.design, &slot.built.mesh});
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
