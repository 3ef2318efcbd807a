#include "render/timeline_strip.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gl_context.h"
#include "scene/show_facts.h"

TEST(TimelineStrip, DrawsEachRowInItsLaneAtItsTimeAndTheMarksOverThem) {
    ensureGlContext();
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    static StripTicks ticks;
    clearStripTicks(ticks, builtInTimeline);
    addStripTick(ticks, 30.0f, StripTick::ScriptRow, 1);
    addStripTick(ticks, 30.0f, StripTick::ScriptRowReplaced, 3);  // the standing row shows
    addStripTick(ticks, 50.0f, StripTick::TakeRow, 2);
    addStripTick(ticks, 70.0f, StripTick::TakeRowReplaced, 2);
    addStripTick(ticks, 95.0f, StripTick::ScriptRow, 1);  // past the strip's end: nowhere
    drawTimelineStrip(ticks, StripMarks{10.0, StripLoop::None, 0.0, 0.0}, builtInTimeline,
                      windowWidth, windowHeight);

    const StripBox box = stripBox(windowWidth, windowHeight);
    const auto at = [&](double seconds, float belowTop) {
        const float x = box.timeLeft + float(seconds / stripSeconds(builtInTimeline)) *
                                           (box.timeRight - box.timeLeft);
        return readPixel(int(x), int(std::lround(windowHeight - box.top - belowTop)));
    };
    const struct {
        const char* what;
        double seconds;
        float belowTop;  // pixels under the band's top
        int r, g, b;
    } pixels[] = {
        {"script row of slot 1", 30.0, 14, 80, 200, 255}, {"take row", 50.0, 30, 255, 150, 40},
        {"replaced take row", 70.0, 30, 150, 40, 40},     {"playhead", 10.0, 30, 255, 255, 255},
        {"end of the show", 87.0, 30, 255, 76, 51},
    };
    for (const auto& p : pixels) {
        SCOPED_TRACE(p.what);
        const Pixel pixel = at(p.seconds, p.belowTop);
        EXPECT_NEAR(pixel.r, p.r, 2);
        EXPECT_NEAR(pixel.g, p.g, 2);
        EXPECT_NEAR(pixel.b, p.b, 2);
    }
}

TEST(TimelineStrip, TheBeatGridLiesUnderTheLanesStrongerOnTheBars) {
    ensureGlContext();
    Timeline timeline = builtInTimeline;
    timeline.hasTempo = true;
    timeline.tempo = 120.0;  // 7 pixels a beat over the strip
    timeline.firstBeat = 0.25;
    timeline.beatsPerBar = 4;
    static StripTicks ticks;
    const StripBox box = stripBox(windowWidth, windowHeight);
    // The brightest pixel within one of the time, a little under the band's top, above the lanes.
    const auto brightest = [&](double seconds) {
        const float x =
            box.timeLeft + float(seconds / stripSeconds(timeline)) * (box.timeRight - box.timeLeft);
        int most = 0;
        for (int dx = -1; dx <= 1; ++dx)
            most = std::max(most, readPixel(int(x) + dx, int(windowHeight - box.top - 5)).r);
        return most;
    };
    const struct {
        const char* what;
        bool tempo;
        double bar, beat, between;
    } cases[] = {{"with a tempo line", true, 8.25, 8.75, 8.5}, {"without", false, 8.25, 8.75, 8.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        timeline.hasTempo = c.tempo;
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        clearStripTicks(ticks, timeline);
        drawTimelineStrip(ticks, StripMarks{30.0, StripLoop::None, 0.0, 0.0}, timeline, windowWidth,
                          windowHeight);
        const int bar = brightest(c.bar), beat = brightest(c.beat), gap = brightest(c.between);
        // The number of bar 1, just right of its line under the lanes.
        const float one = box.timeLeft + float(timeline.firstBeat / stripSeconds(timeline)) *
                                             (box.timeRight - box.timeLeft);
        int number = 0;
        for (int dy = 37; dy <= 43; ++dy)
            for (int dx = 2; dx <= 8; ++dx)
                number =
                    std::max(number, readPixel(int(one) + dx, int(windowHeight - box.top - dy)).r);
        if (c.tempo) {
            EXPECT_GT(bar, beat + 20);
            EXPECT_GT(beat, gap + 5);
            EXPECT_GT(number, 150);
        } else {
            EXPECT_LT(number, 100);
            EXPECT_EQ(bar, gap);
            EXPECT_EQ(beat, gap);
        }
    }
}
