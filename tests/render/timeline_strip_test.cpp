#include "render/timeline_strip.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

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
