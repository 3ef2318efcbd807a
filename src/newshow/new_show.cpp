#include "newshow/new_show.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>

#include "figure/drawing.h"
#include "figure/make_figure.h"
#include "figure/slot_folder.h"
#include "files/atomic_file.h"
#include "merge/rest_rows.h"
#include "mp3/mp3_writer.h"
#include "newshow/card_picture.h"
#include "newshow/cover_picture.h"
#include "newshow/song_timeline.h"
#include "showgen/backgrounds.h"
#include "showgen/show_writer.h"
#include "video/song_decoder.h"

namespace {

constexpr int cardWidth = backgroundWidth, cardHeight = backgroundHeight;
constexpr int songKilobits = 192;

bool exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string minutesText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%d:%04.1f", int(seconds / 60.0),
                  seconds - 60.0 * std::floor(seconds / 60.0));
    return text;
}

bool writeBytes(const std::string& path, const std::string& bytes, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fflush(file.get()) != 0) {
        error = "can't write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Everything that goes into the folder, made and checked before a file is written.
struct Plan {
    Song song;
    SongFit fit;
    Timeline timeline{};
    Picture backgrounds[sceneSlotCount];
    std::unique_ptr<FigureResult> figures[sceneSlotCount];  // the user's, by slot
};

bool planBackgrounds(const NewShowOptions& options, Plan& plan, std::string& error) {
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        const std::string& path = options.backgrounds[slot];
        if (!path.empty()) {
            Drawing drawing;
            if (!readDrawing(path, drawing, error)) {
                error =
                    "the background of " + std::string(sceneSlots[slot].directory) + ": " + error;
                return false;
            }
            plan.backgrounds[slot] = coverPicture(drawing, cardWidth, cardHeight);
        } else if (slot == 0) {
            plan.backgrounds[slot] = titleBackdrop();
        } else if (slot == sceneSlotCount - 1) {
            plan.backgrounds[slot] = closingBackdrop();
        } else {
            plan.backgrounds[slot] = slotBackground(slot);
        }
    }
    for (int slot : {0, sceneSlotCount - 1}) {
        TextCoverage text;
        if (!renderCardText(cardLines(options, slot), cardWidth, cardHeight, text, error))
            return false;
        layCardText(plan.backgrounds[slot], text, slot == 0 ? titleCardStyle : closingCardStyle);
    }
    return true;
}

bool planFigures(const NewShowOptions& options, Plan& plan, std::string& error) {
    for (int slot = 1; slot <= 4; ++slot) {
        if (options.figures[slot].empty()) continue;
        FigureRequest request;
        request.picture = options.figures[slot];
        request.bones = int(sceneSlots[slot].boneCount);
        request.slotBones = request.bones;
        plan.figures[slot] = std::make_unique<FigureResult>();
        if (!makeFigure(request, *plan.figures[slot], error)) {
            error = "the figure of " + std::string(sceneSlots[slot].directory) + " from " +
                    request.picture + ": " + error;
            return false;
        }
    }
    return true;
}

bool planSong(const NewShowOptions& options, Plan& plan, std::string& error) {
    if (!decodeSong(options.song, plan.song, error)) return false;
    if (plan.song.seconds < shortestSong) {
        error = "the song " + options.song + " lasts " + secondsText(plan.song.seconds) +
                " s: a show needs at least " + secondsText(shortestSong) + " s of music";
        return false;
    }
    if (plan.song.seconds > longestSong) {
        error = "the song " + options.song + " lasts " + minutesText(plan.song.seconds) +
                ": a show ends within " + minutesText(longestSong);
        return false;
    }
    plan.fit =
        fitSongTimeline(plan.song.samples.data(), plan.song.samples.size() / 2, plan.song.seconds);
    plan.timeline = plan.fit.timeline;
    return true;
}

// The four figures written side by side, the demo's built first for the slots without a
// drawing: each takes seconds, most of it in compressing its PNG files.
bool writeFigures(const Plan& plan, const std::string& into, size_t (&vertices)[sceneSlotCount],
                  std::string& error) {
    std::future<std::string> written[sceneSlotCount];
    for (int slot = 1; slot <= 4; ++slot) {
        const std::string folder = into + "/" + sceneSlots[slot].directory;
        const FigureResult* drawn = plan.figures[slot].get();
        written[slot] = std::async(std::launch::async, [folder, slot, drawn, &vertices] {
            std::string failure;
            if (drawn != nullptr) {
                vertices[slot] = drawn->mesh.vertices.size();
                writeFigureFiles(*drawn, folder, failure);
                return failure;
            }
            const DemoFigure figure = demoFigure(slot);
            vertices[slot] = figure.built.mesh.vertices.size();
            if (!writeDemoFigure(folder, figure))
                failure = "can't write the figure of " + std::string(sceneSlots[slot].directory);
            return failure;
        });
    }
    error.clear();
    for (int slot = 1; slot <= 4; ++slot) {
        const std::string failure = written[slot].get();
        if (error.empty()) error = failure;
    }
    return error.empty();
}

bool writeSlots(const NewShowOptions& options, const Plan& plan, const std::string& into,
                RestPin (&pins)[sceneSlotCount], std::vector<std::string>& summary,
                std::string& error) {
    for (int slot = 0; slot < sceneSlotCount; ++slot) {
        const std::string folder = into + "/" + sceneSlots[slot].directory;
        if (mkdir(folder.c_str(), 0755) != 0) {
            error = "can't make " + folder + ": " + std::strerror(errno);
            return false;
        }
        if (!writePicture(folder + "/bkg.png", plan.backgrounds[slot])) {
            error = "can't write " + folder + "/bkg.png";
            return false;
        }
    }
    size_t vertices[sceneSlotCount] = {};
    if (!writeFigures(plan, into, vertices, error)) return false;
    for (int slot = 1; slot <= 4; ++slot) {
        const std::string name = sceneSlots[slot].directory;
        const std::string folder = into + "/" + name;
        if (plan.figures[slot])
            for (const std::string& note : plan.figures[slot]->notes)
                summary.push_back(name + "/: " + note);
        const std::string made =
            plan.figures[slot]
                ? std::to_string(vertices[slot]) + " vertices from " + options.figures[slot]
                : "the demo's figure, " + std::to_string(vertices[slot]) + " vertices";
        if (!readRestPin(folder + "/mesh.obj", pins[slot], error)) return false;
        summary.push_back(name + "/: " + made + ", on stage from " +
                          secondsText(plan.timeline.sections[slot - 1]) + " s");
    }
    return true;
}

// The sections' starts, each with its bar when it is on one.
std::string sectionsText(const SongFit& fit) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += (i == 0 ? "" : ", ") + secondsText(fit.timeline.sections[i]);
        if (fit.bars[i] > 0) text += " (bar " + std::to_string(fit.bars[i]) + ")";
    }
    return text + " s";
}

std::string beatText(const SongFit& fit) {
    const Timeline& t = fit.timeline;
    if (!fit.onBeat)
        return "beat: none found (" + fit.noBeat + "): no tempo line, the figures at even places";
    char text[160];
    std::snprintf(text, sizeof text, "beat: %.2f beats a minute from %.3f s, %d a bar", t.tempo,
                  t.firstBeat, t.beatsPerBar);
    int onBars = 0;
    for (int bar : fit.bars) onBars += bar > 0 ? 1 : 0;
    const std::string found = std::string(text) + " (the tempo line of timeline.txt): ";
    if (onBars == 4) return found + "every figure starts on a bar";
    if (onBars > 0)
        return found + std::to_string(onBars) +
               " of the figures start on a bar, the others at even places (no bar fits them)";
    return found + "the figures at even places (its bars are too long against the time " +
           "between the figures, or none fits)";
}

// One row a figure slot at its section's start, holding it at rest, and one at the end that
// closes the last.
std::string restScript(const Timeline& timeline, const RestPin (&pins)[sceneSlotCount]) {
    std::string text;
    for (int slot = 1; slot <= 4; ++slot)
        text += restRow(timeline.sections[slot - 1], slot, pins[slot]).text + "\n";
    return text + restRow(timeline.end, 4, pins[4]).text + "\n";
}

bool writeSong(const NewShowOptions& options, const Plan& plan, const std::string& into,
               const std::function<void(double)>& progress, std::vector<std::string>& summary,
               std::string& error) {
    const std::string target = into + "/tavel.mp3";
    const std::string length = minutesText(plan.song.seconds);
    if (plan.song.mp3) {
        std::string bytes;
        if (!readWholeFile(options.song, bytes, error) || !writeBytes(target, bytes, error))
            return false;
        summary.push_back("tavel.mp3: the song as it is, " + length);
        return true;
    }
    if (!writeMp3(target, plan.song.samples, songSampleRate, songKilobits, progress)) {
        error = "can't encode the song into " + target;
        return false;
    }
    summary.push_back("tavel.mp3: the song encoded at " + std::to_string(songKilobits) +
                      " kbit/s, " + length);
    return true;
}

bool writeFolder(const NewShowOptions& options, const Plan& plan, const std::string& into,
                 const std::function<void(double)>& progress, std::vector<std::string>& summary,
                 std::string& error) {
    // The song is encoded while the figures are written.
    std::vector<std::string> songSummary;
    std::string songError;
    std::future<bool> song = std::async(std::launch::async, [&] {
        return writeSong(options, plan, into, progress, songSummary, songError);
    });
    RestPin pins[sceneSlotCount];
    summary.push_back("quimet/, logo/: the title card and the closing card");
    const bool slots = writeSlots(options, plan, into, pins, summary, error);
    if (!song.get()) {
        if (slots) error = songError;
        return false;
    }
    if (!slots) return false;
    const Timeline& t = plan.timeline;
    const std::string comment = "# Fitted by kelvaro-new to " + baseName(options.song) + " (" +
                                secondsText(plan.song.seconds) + " s)\n";
    if (!writeBytes(into + "/" + timelineFileName, formatTimeline(t, comment), error) ||
        !writeBytes(into + "/anim.txt", restScript(t, pins), error))
        return false;
    summary.push_back(std::string(timelineFileName) + ": title fades in over 0-1 s, figures at " +
                      sectionsText(plan.fit) + ", closing card at " + secondsText(t.end) + " s");
    summary.push_back(beatText(plan.fit));
    summary.push_back("anim.txt: 5 rows, each figure at rest in its section");
    summary.insert(summary.end(), songSummary.begin(), songSummary.end());
    return true;
}

}  // namespace

std::vector<CardLine> cardLines(const NewShowOptions& options, int slot) {
    if (options.title.empty() && (slot == 0 || options.credits.empty()))
        return {{baseName(options.folder), 120.0f, true}};
    std::vector<CardLine> lines;
    if (slot == 0) {
        for (size_t i = 0; i < options.title.size(); ++i)
            lines.push_back({options.title[i], i == 0 ? 120.0f : 48.0f, i == 0});
        return lines;
    }
    // The closing card names the show again above its credits.
    if (!options.title.empty() && options.credits.empty())
        return {{options.title.front(), 110.0f, true}};
    if (!options.title.empty()) lines.push_back({options.title.front(), 84.0f, true});
    if (!options.title.empty()) lines.push_back({"", 20.0f, false});
    for (const std::string& line : options.credits) lines.push_back({line, 48.0f, false});
    return lines;
}

bool makeNewShow(const NewShowOptions& options, const std::function<void(double)>& progress,
                 std::vector<std::string>& summary, std::string& error) {
    const bool there = exists(options.folder);
    if (there && !options.replace) {
        error = options.folder + " is there already: add --replace to replace it (the old one " +
                "is then kept as " + options.folder + "~)";
        return false;
    }
    Plan plan;
    if (!planSong(options, plan, error) || !planFigures(options, plan, error) ||
        !planBackgrounds(options, plan, error))
        return false;

    AtomicFolder folder;
    if (!beginAtomicFolder(options.folder, folder, error)) return false;
    if (!writeFolder(options, plan, folder.temporary, progress, summary, error)) {
        abandonAtomicFolder(folder);
        return false;
    }
    const std::string keep = there ? options.folder + "~" : std::string();
    if (!commitAtomicFolder(folder, keep, error)) return false;
    if (there) summary.push_back("what was there is kept as " + keep);
    return true;
}
