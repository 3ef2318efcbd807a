#include "render/timeline_strip.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "render/overlay.h"
#include "stb_easy_font.h"

namespace {

constexpr float bandHeight = 44.0f;
constexpr float sideMargin = 16.0f;  // window pixels between the band's ends and the strip's
// The lanes, in pixels below the band's top: the script's rows above, the takes below.
constexpr float scriptLaneTop = 8.0f;
constexpr float scriptLaneBottom = 20.0f;
constexpr float takeLaneTop = 24.0f;
constexpr float takeLaneBottom = 36.0f;
constexpr float markTop = 2.0f;
constexpr float markBottom = 42.0f;
constexpr float barNumberTop = 37.0f;  // under the takes' lane, in the font's own 7 pixels
// Bar numbers stand at least this far apart, at every first, second, fourth, … bar.
constexpr float barNumberSpacing = 40.0f;

struct Colour {
    uint8_t r, g, b;
};

// One colour per slot, bright enough to read on the dark band.
constexpr Colour slotColours[] = {
    {200, 200, 200}, {80, 200, 255}, {120, 230, 120},
    {240, 120, 230}, {250, 220, 90}, {170, 170, 170},
};
constexpr Colour unknownSlot = {120, 120, 120};
constexpr Colour replacedScriptRow = {70, 70, 70};
constexpr Colour takeRow = {255, 150, 40};
constexpr Colour replacedTakeRow = {150, 40, 40};

// The beat grid's lines closer than this are left out: they would only grey the band.
constexpr float closestGridLines = 3.0f;

// The grid of the timeline's tempo line under the lanes: a faint line a beat, a stronger one a
// bar, each kind only where its lines lie far enough apart to be told apart.
template <typename PixelAt>
void drawBeatGrid(const Timeline& timeline, double span, float secondWidth, float top, float bottom,
                  const PixelAt& pixelAt) {
    if (!timeline.hasTempo || !(timeline.tempo > 0.0) || timeline.beatsPerBar <= 0) return;
    const double beat = 60.0 / timeline.tempo;
    const bool beats = float(beat) * secondWidth >= closestGridLines;
    const bool bars = float(beat * timeline.beatsPerBar) * secondWidth >= closestGridLines;
    if (!bars) return;
    const double step = beats ? beat : beat * timeline.beatsPerBar;
    const int perLine = beats ? 1 : timeline.beatsPerBar;
    // From the first line at or after 0 s: the beats before the first beat count too.
    long long first = (long long)std::ceil(-timeline.firstBeat / step);
    glBegin(GL_LINES);
    for (long long i = first; timeline.firstBeat + double(i) * step <= span; ++i) {
        const long long beatIndex = i * perLine;
        const bool barLine = beatIndex % timeline.beatsPerBar == 0;
        glColor4f(1.0f, 1.0f, 1.0f, barLine ? 0.3f : 0.1f);
        const float x = pixelAt(timeline.firstBeat + double(i) * step);
        glVertex2f(x, top);
        glVertex2f(x, bottom);
    }
    glEnd();
}

// Bar numbers, counted from 1 at the first beat, small and faint under the lanes: every bar
// whose number falls on a step wide enough for the numbers to stand apart.
template <typename PixelAt>
void drawBarNumbers(const Timeline& timeline, double span, float secondWidth, float top,
                    const PixelAt& pixelAt) {
    if (!timeline.hasTempo || !(timeline.tempo > 0.0) || timeline.beatsPerBar <= 0) return;
    const double barSeconds = 60.0 / timeline.tempo * timeline.beatsPerBar;
    long long every = 1;
    while (float(barSeconds * double(every)) * secondWidth < barNumberSpacing && every < (1 << 20))
        every *= 2;
    const double step = barSeconds * double(every);
    long long first = (long long)std::ceil(-timeline.firstBeat / step);
    glColor4f(1.0f, 1.0f, 1.0f, 0.6f);
    // Room for one number of up to 8 digits: the font uses far fewer quads a glyph.
    static constexpr int bufferBytes = 8 * 1024;
    float vertices[bufferBytes / sizeof(float)];
    for (long long i = first; timeline.firstBeat + double(i) * step <= span; ++i) {
        char label[24];
        std::snprintf(label, sizeof label, "%lld", i * every + 1);
        const int quads = stb_easy_font_print(0.0f, 0.0f, label, nullptr, vertices, bufferBytes);
        const float x = pixelAt(timeline.firstBeat + double(i) * step) + 2.0f;
        glBegin(GL_QUADS);
        for (int v = 0; v < quads * 4; ++v)
            glVertex2f(x + vertices[v * 4], top + vertices[v * 4 + 1]);
        glEnd();
    }
}

void quad(float left, float top, float right, float bottom) {
    glVertex2f(left, top);
    glVertex2f(right, top);
    glVertex2f(right, bottom);
    glVertex2f(left, bottom);
}

}  // namespace

double stripSeconds(const Timeline& timeline) {
    return runLength(timeline);
}

StripBox stripBox(int32_t viewportWidth, int32_t viewportHeight) {
    const float width = float(viewportWidth);
    const float height = float(viewportHeight);
    return StripBox{0.0f, height - bandHeight, width, height, sideMargin, width - sideMargin};
}

bool stripContains(const StripBox& box, float x, float y) {
    return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
}

double stripTimeAt(const StripBox& box, const Timeline& timeline, float x) {
    const double span = stripSeconds(timeline);
    const double share = double(x - box.timeLeft) / double(box.timeRight - box.timeLeft);
    if (!(share > 0.0)) return 0.0;
    return share >= 1.0 ? span : share * span;
}

void clearStripTicks(StripTicks& ticks, const Timeline& timeline) {
    std::memset(ticks.colours, 0, sizeof ticks.colours);
    std::memset(ticks.ranks, 0, sizeof ticks.ranks);
    ticks.seconds = stripSeconds(timeline);
}

void addStripTick(StripTicks& ticks, float seconds, StripTick kind, int32_t slot) {
    if (!(ticks.seconds > 0.0) || !(seconds >= 0.0f) || double(seconds) > ticks.seconds) return;
    Colour colour = unknownSlot;
    int lane = 0;
    uint8_t rank = 1;
    switch (kind) {
        case StripTick::ScriptRow:
            if (slot >= 0 && slot < int32_t(sizeof slotColours / sizeof slotColours[0])) {
                colour = slotColours[slot];
            }
            rank = 2;
            break;
        case StripTick::ScriptRowReplaced:
            colour = replacedScriptRow;
            break;
        case StripTick::TakeRow:
            colour = takeRow;
            lane = 1;
            rank = 2;
            break;
        case StripTick::TakeRowReplaced:
            colour = replacedTakeRow;
            lane = 1;
            break;
    }
    int32_t bin = int32_t(double(seconds) / ticks.seconds * stripBins);
    if (bin >= stripBins) bin = stripBins - 1;
    if (ticks.ranks[lane][bin] > rank) return;
    ticks.ranks[lane][bin] = rank;
    uint8_t* pixel = ticks.colours[lane][bin];
    pixel[0] = colour.r;
    pixel[1] = colour.g;
    pixel[2] = colour.b;
    pixel[3] = 255;
}

void drawTimelineStrip(const StripTicks& ticks, const StripMarks& marks, const Timeline& timeline,
                       int32_t viewportWidth, int32_t viewportHeight) {
    if (viewportWidth <= 0 || viewportHeight <= 0) return;
    const StripBox box = stripBox(viewportWidth, viewportHeight);
    const double span = stripSeconds(timeline);
    const float secondWidth = (box.timeRight - box.timeLeft) / float(span);
    const auto pixelAt = [&](double seconds) {
        if (seconds < 0.0) seconds = 0.0;
        if (seconds > span) seconds = span;
        return box.timeLeft + float(seconds) * secondWidth;
    };

    beginOverlay(viewportWidth, viewportHeight);
    glLineWidth(1.0f);

    // The band darkens whatever is behind it, as the heads-up line's does; the lanes show a
    // little lighter, so that they read as places even when empty.
    glBegin(GL_QUADS);
    glColor4f(0.0f, 0.0f, 0.0f, 0.65f);
    quad(box.left, box.top, box.right, box.bottom);
    glColor4f(1.0f, 1.0f, 1.0f, 0.08f);
    quad(box.timeLeft, box.top + scriptLaneTop, box.timeRight, box.top + scriptLaneBottom);
    quad(box.timeLeft, box.top + takeLaneTop, box.timeRight, box.top + takeLaneBottom);
    if (marks.loop == StripLoop::Active) {
        glColor4f(0.3f, 0.5f, 1.0f, 0.35f);
        quad(pixelAt(marks.loopStart), box.top + markTop, pixelAt(marks.loopEnd),
             box.top + markBottom);
    }
    glEnd();
    drawBeatGrid(timeline, span, secondWidth, box.top + markTop, box.top + markBottom, pixelAt);
    drawBarNumbers(timeline, span, secondWidth, box.top + barNumberTop, pixelAt);

    glDisable(GL_BLEND);
    glBegin(GL_LINES);
    glColor3f(0.55f, 0.55f, 0.55f);
    for (float section : timeline.sections) {
        glVertex2f(pixelAt(double(section)), box.top + markTop);
        glVertex2f(pixelAt(double(section)), box.top + markBottom);
    }
    glColor3f(1.0f, 0.3f, 0.2f);
    glVertex2f(pixelAt(double(timeline.end)), box.top + markTop);
    glVertex2f(pixelAt(double(timeline.end)), box.top + markBottom);
    if (marks.loop != StripLoop::None) {
        glColor3f(0.4f, 0.6f, 1.0f);
        glVertex2f(pixelAt(marks.loopStart), box.top + markTop);
        glVertex2f(pixelAt(marks.loopStart), box.top + markBottom);
    }
    glEnd();

    // Each lane's bins as one row of pixels, stretched over the lane; the clear bins let the
    // lane's own shade through.
    glEnable(GL_BLEND);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelZoom((box.timeRight - box.timeLeft) / float(stripBins),
                scriptLaneBottom - scriptLaneTop);
    glRasterPos2f(box.timeLeft, box.top + scriptLaneBottom);
    glDrawPixels(stripBins, 1, GL_RGBA, GL_UNSIGNED_BYTE, ticks.colours[0]);
    glPixelZoom((box.timeRight - box.timeLeft) / float(stripBins), takeLaneBottom - takeLaneTop);
    glRasterPos2f(box.timeLeft, box.top + takeLaneBottom);
    glDrawPixels(stripBins, 1, GL_RGBA, GL_UNSIGNED_BYTE, ticks.colours[1]);
    glDisable(GL_BLEND);

    // The playhead over everything, two pixels wide.
    const float playhead = pixelAt(marks.playhead);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    quad(playhead - 1.0f, box.top + markTop, playhead + 1.0f, box.top + markBottom);
    glEnd();

    endOverlay();
}
