#include "showgen/choreography.h"

#include <cmath>
#include <cstdio>
#include <functional>

#include "showgen/music.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int rowMilliseconds = 20;  // 50 rows a second while a handle moves

// A motion: the offset of the handle from where it rests, on screen (u right, v down, in
// figure pixels), at `beat` beats into its phrase of `beats` beats.
using Motion = std::function<Vec2(double beat, double beats)>;

struct Phrase {
    std::string handle;
    double beats;
    Motion motion;
};

// Eases a motion in and out over half a beat, so that each phrase starts and ends with the
// handle where it rests and hand-overs between handles have nothing to jump.
double envelope(double beat, double beats) {
    const double in = std::min(1.0, beat / 0.5);
    const double out = std::min(1.0, std::max(0.0, beats - beat) / 0.5);
    const double k = std::min(in, out);
    return k * k * (3.0 - 2.0 * k);
}

// Side to side, one full swing every `period` beats.
Motion sway(double amplitude, double period, double lift = 0.0) {
    return [=](double b, double n) {
        const double e = envelope(b, n);
        const double phase = 2.0 * pi * b / period;
        return Vec2{amplitude * std::sin(phase) * e, -lift * std::fabs(std::sin(phase)) * e};
    };
}

// Hops up between the beats and lands on them.
Motion bounce(double height, double sideways = 0.0) {
    return [=](double b, double n) {
        const double e = envelope(b, n);
        const double hop = std::fabs(std::sin(pi * b));
        return Vec2{sideways * std::sin(pi * b * 0.5) * e, -height * hop * e};
    };
}

// Round and round: a circle of `radius` every `period` beats, starting at the rest point and
// going up first (or down, for a point that has no room above it).
Motion circle(double radius, double period, double direction = 1.0, bool downwards = false) {
    return [=](double b, double n) {
        const double e = envelope(b, n);
        const double a = 2.0 * pi * b / period;
        const double up = downwards ? -1.0 : 1.0;
        return Vec2{direction * radius * std::sin(a) * e, -up * radius * (1.0 - std::cos(a)) * e};
    };
}

// A wave: up and down on the beat with a slower swing across.
Motion wave(double up, double across, double period) {
    return [=](double b, double n) {
        const double e = envelope(b, n);
        return Vec2{across * std::sin(2.0 * pi * b / period) * e,
                    -up * (0.5 - 0.5 * std::cos(2.0 * pi * b)) * e};
    };
}

// The phrases of each figure, in beats from the start of its section.
std::vector<Phrase> phrasesFor(const std::string& directory) {
    if (directory == "kiv") {
        // The octopus swims: it bobs by its crown, waves its outer arms, then its inner ones.
        return {{"crown", 8, bounce(90.0, 50.0)},     {"tip7", 4, circle(70.0, 2.0, 1.0)},
                {"tip0", 4, circle(70.0, 2.0, -1.0)}, {"tip6", 4, wave(130.0, 70.0, 4.0)},
                {"tip1", 4, wave(130.0, -70.0, 4.0)}, {"crown", 8, sway(130.0, 4.0, 50.0)},
                {"tip4", 2, bounce(110.0)},           {"tip3", 2, bounce(110.0)},
                {"tip5", 2, circle(100.0, 2.0, 1.0)}, {"tip2", 2, circle(100.0, 2.0, -1.0)}};
    }
    if (directory == "vastel") {
        // The fir sways from its star, and its branches swing one tier at a time.
        return {{"star", 8, sway(140.0, 4.0, 30.0)},     {"lowRight", 4, wave(120.0, 50.0, 2.0)},
                {"lowLeft", 4, wave(120.0, -50.0, 2.0)}, {"midRight", 4, bounce(110.0, 50.0)},
                {"midLeft", 4, bounce(110.0, -50.0)},    {"topRight", 2, circle(60.0, 2.0, 1.0)},
                {"topLeft", 2, circle(60.0, 2.0, -1.0)}, {"star", 10, sway(150.0, 4.0, 40.0)}};
    }
    if (directory == "doranek") {
        // The dancer waves, turns her hands in circles, swishes her skirt and bounces.
        return {{"rightHand", 8, wave(130.0, 60.0, 4.0)},
                {"leftHand", 8, circle(90.0, 4.0, -1.0, true)},
                {"rightHem", 4, sway(100.0, 2.0, 20.0)},
                {"leftHem", 4, sway(100.0, 2.0, 20.0)},
                {"head", 8, bounce(70.0, 60.0)},
                {"rightHand", 4, circle(110.0, 2.0, 1.0)},
                {"leftHand", 3, circle(80.0, 3.0, 1.0, true)}};
    }
    // The jelly hops on every beat, then rocks from side to side.
    return {{"top", 8, bounce(110.0, 50.0)},
            {"left", 4, wave(90.0, 50.0, 2.0)},
            {"right", 5, wave(90.0, -50.0, 2.0)}};
}

// Section of each figure slot: start and end in milliseconds.
struct Window {
    int startMs;
    int endMs;
};

Window sectionOf(int slot) {
    const auto ms = [](double seconds) { return int(seconds * 1000.0 + 0.5); };
    return {ms(sectionStarts[slot]), ms(sectionStarts[slot + 1])};
}

}  // namespace

std::vector<ScriptRow> choreograph(const std::vector<SlotFigure>& figures) {
    std::vector<ScriptRow> rows;
    const double msPerBeat = beatSeconds * 1000.0;
    for (const SlotFigure& figure : figures) {
        const Window window = sectionOf(figure.slot);
        // The last figure holds on until just past the end of the show, so that a row is
        // active until then.
        const int endMs = figure.slot == 4 ? window.endMs + 2 * rowMilliseconds : window.endMs;
        int phraseStartMs = window.startMs;
        for (const Phrase& phrase : phrasesFor(figure.design->directory)) {
            const FigureHandle* handle = nullptr;
            for (const FigureHandle& h : figure.design->handles)
                if (h.name == phrase.handle) handle = &h;
            if (handle == nullptr) {
                std::fprintf(stderr, "showgen: %s has no handle %s\n",
                             figure.design->directory.c_str(), phrase.handle.c_str());
                continue;
            }
            const int vertex = nearestVertex(*figure.mesh, handle->design);
            const Vec2 rest = figure.mesh->vertices[size_t(vertex)];
            const int phraseEndMs =
                std::min(endMs, phraseStartMs + int(std::lround(phrase.beats * msPerBeat)));
            for (int ms = phraseStartMs; ms < phraseEndMs; ms += rowMilliseconds) {
                const double beat = (ms - phraseStartMs) / msPerBeat;
                const Vec2 offset = phrase.motion(beat, phrase.beats) * figure.design->scale;
                // Screen right is texture left: the texture holds the figure mirrored.
                rows.push_back(
                    {ms / 1000.0, figure.slot, vertex, rest.x - offset.x, rest.y + offset.y, 0.0});
            }
            phraseStartMs = phraseEndMs;
        }
        // Whatever the phrases leave over, the last handle holds still until the section ends.
        if (!rows.empty() && phraseStartMs < endMs) {
            const ScriptRow last = rows.back();
            for (int ms = phraseStartMs; ms < endMs; ms += rowMilliseconds)
                rows.push_back({ms / 1000.0, last.slot, last.vertex, last.x, last.y, last.z});
        }
        if (figure.slot == 4 && !rows.empty()) {
            const ScriptRow last = rows.back();
            rows.push_back({endMs / 1000.0, last.slot, last.vertex, last.x, last.y, last.z});
        }
    }
    return rows;
}

std::string scriptText(const std::vector<ScriptRow>& rows) {
    std::string text;
    char line[160];
    for (const ScriptRow& r : rows) {
        std::snprintf(line, sizeof line, "%f %d %d %f %f %f\n", float(r.time), r.slot, r.vertex,
                      float(r.x), float(r.y), float(r.z));
        text += line;
    }
    return text;
}
