#include "driver/transport.h"

#include <cmath>
#include <cstdio>

#include "scene/show_facts.h"

namespace {

// Sets the clock's start so that it reads `time` at `counter`. The start is a whole counter
// value, so the reading is the nearest the counter can give; that reading, not the wish, is
// what the clock and the music are given, so the two cannot differ by a rounding.
double placeClock(ShowClock& clock, int64_t counter, double time) {
    clock.start = counter - int64_t(std::llround(time * clock.frequency));
    clock.seconds = double(counter - clock.start) / clock.frequency;
    return clock.seconds;
}

TransportStep stay(double showTime) {
    return TransportStep{showTime, false, 0.0, MusicPlay::Unchanged, false};
}

// The later step's time and music requests win; requests it leaves alone carry over.
TransportStep then(const TransportStep& first, const TransportStep& second) {
    TransportStep merged = second;
    if (!second.reposition) {
        merged.reposition = first.reposition;
        merged.position = first.position;
    }
    if (second.play == MusicPlay::Unchanged) merged.play = first.play;
    // A seek after the loop's jump is a seek: only the jump alone carries on a held drag.
    merged.looped = second.reposition ? second.looped : first.looped;
    return merged;
}

}  // namespace

KeyPresses detectPresses(KeyEdges& edges, const InputTable& input) {
    KeyPresses presses{};
    const bool control = input.keys[VK_CONTROL] != 0;
    const bool shift = input.keys[VK_SHIFT] != 0;
    for (int key = 0; key < 256; ++key) {
        const bool wentDown = input.keys[key] != 0 && edges.held[key] == 0;
        presses.pressed[key] = wentDown || input.presses[key] != edges.presses[key];
        presses.withControl[key] =
            (wentDown && control) || input.controlPresses[key] != edges.controlPresses[key];
        presses.withShift[key] = presses.pressed[key] && shift;
        edges.held[key] = input.keys[key];
        edges.presses[key] = input.presses[key];
        edges.controlPresses[key] = input.controlPresses[key];
    }
    return presses;
}

double readTransportClock(const Transport& transport, ShowClock& clock, int64_t counter) {
    clock.seconds =
        transport.paused ? transport.pausedTime : double(counter - clock.start) / clock.frequency;
    return clock.seconds;
}

int32_t sectionAt(const Timeline& timeline, double showTime) {
    // The same float comparison as the frame loop's, so both agree at the boundaries.
    int32_t section = 0;
    for (float start : timeline.sections) {
        if (float(showTime) > start) ++section;
    }
    return section;
}

double sectionStartAt(const Timeline& timeline, double showTime) {
    const int32_t section = sectionAt(timeline, showTime);
    return section == 0 ? 0.0 : double(timeline.sections[section - 1]);
}

double latestStudioTime(const Timeline& timeline) {
    return runLength(timeline);
}

TransportStep seekTransport(Transport& transport, const Timeline& timeline, ShowClock& clock,
                            int64_t counter, double target) {
    const double latest = latestStudioTime(timeline);
    double time = target;
    if (!(time > 0.0)) time = 0.0;  // NaN as well
    if (time > latest) time = latest;
    time = placeClock(clock, counter, time);
    if (transport.paused) transport.pausedTime = time;
    transport.lastTime = time;
    return TransportStep{time, true, time, MusicPlay::Unchanged, false};
}

TransportStep togglePause(Transport& transport, ShowClock& clock, int64_t counter) {
    if (!transport.paused) {
        const double time = readTransportClock(transport, clock, counter);
        transport.paused = true;
        transport.pausedTime = time;
        transport.lastTime = time;
        return TransportStep{time, false, 0.0, MusicPlay::Pause, false};
    }
    transport.paused = false;
    const double time = placeClock(clock, counter, transport.pausedTime);
    transport.lastTime = time;
    return TransportStep{time, false, 0.0, MusicPlay::Resume, false};
}

TransportStep pressLoop(Transport& transport, const Timeline& timeline, ShowClock& clock,
                        int64_t counter) {
    return pressLoopOnBeat(transport, timeline, clock, counter, false);
}

bool hasBeatGrid(const Timeline& timeline) {
    return timeline.hasTempo && timeline.tempo > 0.0 && timeline.beatsPerBar > 0;
}

namespace {

// A time on a grid line counts as on it, whatever the last bits of its sum say.
constexpr double onTheLine = 1e-6;

double beatLength(const Timeline& timeline) {
    return 60.0 / timeline.tempo;
}

}  // namespace

double nearestBeat(const Timeline& timeline, double showTime) {
    if (!hasBeatGrid(timeline)) return showTime;
    const double step = beatLength(timeline);
    double beat = timeline.firstBeat + std::round((showTime - timeline.firstBeat) / step) * step;
    if (beat < 0.0) beat += step;
    return beat;
}

double barStart(const Timeline& timeline, double showTime, int bars) {
    if (!hasBeatGrid(timeline)) return showTime;
    const double bar = beatLength(timeline) * timeline.beatsPerBar;
    const double index = std::floor((showTime - timeline.firstBeat) / bar + onTheLine);
    return timeline.firstBeat + (index + bars) * bar;
}

BarPosition barPositionAt(const Timeline& timeline, double showTime) {
    if (!hasBeatGrid(timeline)) return BarPosition{1, 1};
    const long long beat =
        (long long)std::floor((showTime - timeline.firstBeat) / beatLength(timeline) + onTheLine);
    const long long perBar = timeline.beatsPerBar;
    const long long bar = beat >= 0 ? beat / perBar : -((-beat + perBar - 1) / perBar);
    return BarPosition{bar + 1, int(beat - bar * perBar) + 1};
}

TransportStep pressLoopOnBeat(Transport& transport, const Timeline& timeline, ShowClock& clock,
                              int64_t counter, bool snap) {
    const double time = readTransportClock(transport, clock, counter);
    const double at = snap ? nearestBeat(timeline, time) : time;
    // The time runs on past the show while recording; a loop there would jump back to where
    // no seek can go.
    const double latest = latestStudioTime(timeline);
    const double mark = at < latest ? at : latest;
    switch (transport.loop) {
        case LoopState::None:
            transport.loop = LoopState::StartMarked;
            transport.loopStart = mark;
            break;
        case LoopState::StartMarked:
            if (mark > transport.loopStart) {
                transport.loopEnd = mark;
                transport.loop = LoopState::Active;
            } else if (mark < transport.loopStart) {
                transport.loopEnd = transport.loopStart;
                transport.loopStart = mark;
                transport.loop = LoopState::Active;
            }
            break;
        case LoopState::Active:
            transport.loop = LoopState::None;
            break;
    }
    // A loop end snapped back to a beat already played is passed all the same: the next frame
    // plays the loop from its start.
    transport.lastTime = snap && transport.loop == LoopState::Active && transport.loopEnd < time
                             ? transport.loopEnd
                             : time;
    return stay(time);
}

TransportStep advanceTransport(Transport& transport, const Timeline& timeline, ShowClock& clock,
                               int64_t counter) {
    const double time = readTransportClock(transport, clock, counter);
    const bool passedLoopEnd = transport.loop == LoopState::Active && !transport.paused &&
                               transport.lastTime <= transport.loopEnd && time > transport.loopEnd;
    if (passedLoopEnd) {
        TransportStep step =
            seekTransport(transport, timeline, clock, counter, transport.loopStart);
        step.looped = true;
        return step;
    }
    transport.lastTime = time;
    return stay(time);
}

TransportStep runTransport(Transport& transport, const Timeline& timeline,
                           const KeyPresses& presses, ShowClock& clock, int64_t counter) {
    const auto seek = [&](double target) {
        return seekTransport(transport, timeline, clock, counter, target);
    };
    TransportStep step = advanceTransport(transport, timeline, clock, counter);
    if (presses.pressed[VK_HOME]) step = then(step, seek(sectionStartAt(timeline, step.showTime)));
    if (presses.pressed[VK_PRIOR]) step = then(step, seek(step.showTime - seekStep));
    if (presses.pressed[VK_NEXT]) step = then(step, seek(step.showTime + seekStep));
    if (hasBeatGrid(timeline)) {
        if (presses.pressed[VK_OEM_4])
            step = then(step, seek(barStart(timeline, step.showTime, -1)));
        if (presses.pressed[VK_OEM_6])
            step = then(step, seek(barStart(timeline, step.showTime, 1)));
    }
    if (presses.pressed[VK_P]) step = then(step, togglePause(transport, clock, counter));
    if (presses.pressed[VK_L]) {
        const bool snap = hasBeatGrid(timeline) && !presses.withShift[VK_L];
        step = then(step, pressLoopOnBeat(transport, timeline, clock, counter, snap));
    }
    return step;
}

std::string formatShowTime(double seconds) {
    const long long hundredths = seconds > 0.0 ? std::llround(seconds * 100.0) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld.%02lld", hundredths / 6000,
                  hundredths / 100 % 60, hundredths % 100);
    return text;
}

std::string formatHeadsUpLine(const HeadsUpFacts& facts, const Transport& transport) {
    std::string line = formatShowTime(facts.showTime);
    const auto field = [&line](const std::string& text) { line += "  " + text; };
    if (facts.hasGrid)
        field("bar " + std::to_string(facts.barPosition.bar) + "." +
              std::to_string(facts.barPosition.beat));
    field(facts.folder != nullptr ? facts.folder : "");
    // Recording is the tool's plain mode: an idle line would name it all the time.
    if (facts.mode != StudioMode::Recording || facts.recording) field(studioModeName(facts.mode));
    if (transport.paused) field("paused");
    if (transport.loop == LoopState::StartMarked) {
        field("loop " + formatShowTime(transport.loopStart) + "-");
    } else if (transport.loop == LoopState::Active) {
        field("loop " + formatShowTime(transport.loopStart) + "-" +
              formatShowTime(transport.loopEnd));
    }
    field(facts.draggedVertex >= 0 ? "vertex " + std::to_string(facts.draggedVertex)
                                   : std::string("vertex none"));
    field("rows " + std::to_string(facts.rowsPrinted));
    if (facts.takes > 0) field("takes " + std::to_string(facts.takes));
    return line;
}
