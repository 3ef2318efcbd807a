#include "driver/transport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace {

// A nanosecond counter, as SDL's is here, started far from 0 so that a seek that forgets the
// start shows.
constexpr double frequency = 1e9;
constexpr int64_t counterAtZero = 987654321012345;

int64_t counterAt(int64_t milliseconds) {
    return counterAtZero + milliseconds * 1000000;
}

std::string describe(const TransportStep& step) {
    std::string text;
    if (step.reposition) text += "at " + std::to_string(step.position);
    if (step.play == MusicPlay::Pause) text += "pause";
    if (step.play == MusicPlay::Resume) text += "resume";
    return text;
}

std::string at(double seconds) {
    return "at " + std::to_string(seconds);
}

struct Frame {
    int64_t wallMs;  // milliseconds on the counter since the case began
    std::initializer_list<int> held;
    double showTime;
    std::string music;
    std::initializer_list<int> tapped = {};  // pressed and released since the frame before
};

struct Case {
    const char* name;
    int64_t startMs;  // the show time the clock reads when the case begins
    std::initializer_list<Frame> frames;
    const Timeline* timeline = &builtInTimeline;
};

const int PGUP = VK_PRIOR, PGDN = VK_NEXT, HOME = VK_HOME, P = VK_P, L = VK_L;
const int BACK = VK_OEM_4, ON = VK_OEM_6, SHIFT = VK_SHIFT;

// Each case's frames through the transport, every step checked against its frame.
template <size_t count>
void runCases(const Case (&cases)[count]) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Transport transport{};
        KeyEdges edges{};
        InputTable input{};
        ShowClock clock{counterAtZero - c.startMs * 1000000, frequency, 0.0};
        for (const Frame& frame : c.frames) {
            SCOPED_TRACE(frame.wallMs);
            for (int key : frame.held) {
                if (input.keys[key] == 0) ++input.presses[key];
            }
            for (int key = 0; key < 256; ++key) input.keys[key] = 0;
            for (int key : frame.held) input.keys[key] = 1;
            for (int key : frame.tapped) ++input.presses[key];
            const int64_t counter = counterAt(frame.wallMs);
            const TransportStep step =
                runTransport(transport, *c.timeline, detectPresses(edges, input), clock, counter);
            EXPECT_EQ(step.showTime, frame.showTime);
            EXPECT_EQ(describe(step), frame.music);
            EXPECT_EQ(clock.seconds, frame.showTime);
            // Music time is show time: the position asked for is what the clock reads from now.
            if (step.reposition) {
                EXPECT_EQ(step.position, frame.showTime);
            }
            if (!transport.paused) {
                EXPECT_EQ(double(counter - clock.start) / clock.frequency, frame.showTime);
            }
        }
    }
}

// 120 beats a minute from 0.25 s, four a bar: bars start at 0.25, 2.25, 4.25 s and so on.
Timeline gridTimeline() {
    Timeline t = builtInTimeline;
    t.hasTempo = true;
    t.tempo = 120.0;
    t.firstBeat = 0.25;
    t.beatsPerBar = 4;
    return t;
}
const Timeline grid = gridTimeline();

}  // namespace

TEST(Transport, KeysSeekPauseAndLoopTheClockAndTellTheMusicWhereToBe) {
    const Case cases[] = {
        {"page down held over frames seeks once",
         12250,
         {{0, {PGDN}, 17.25, at(17.25)}, {250, {PGDN}, 17.5, ""}, {500, {}, 17.75, ""}}},
        {"page up", 12250, {{0, {PGUP}, 7.25, at(7.25)}, {250, {}, 7.5, ""}}},
        {"a tap between two frames seeks, and so does the next",
         12250,
         {{0, {}, 17.25, at(17.25), {PGDN}},
          {250, {}, 22.5, at(22.5), {PGDN}},
          {500, {PGDN}, 27.75, at(27.75)}}},
        {"page up stops at 0", 3000, {{0, {PGUP}, 0.0, at(0.0)}, {250, {}, 0.25, ""}}},
        {"page down stops at the closing picture's end", 86000, {{0, {PGDN}, 89.0, at(89.0)}}},
        {"home in the first section", 12000, {{0, {HOME}, 0.0, at(0.0)}}},
        {"home in the second", 25000, {{0, {HOME}, 20.0, at(20.0)}}},
        {"home in the third", 45000, {{0, {HOME}, 40.0, at(40.0)}}},
        {"home in the fourth", 60000, {{0, {HOME}, 59.0, at(59.0)}}},
        {"home in the last", 86000, {{0, {HOME}, 78.5, at(78.5)}}},
        {"home on a section's start goes to the one before", 40000, {{0, {HOME}, 20.0, at(20.0)}}},
        {"pause stands still, resume goes on from there",
         10000,
         {{0, {P}, 10.0, "pause"},
          {500, {}, 10.0, ""},
          {2000, {P}, 10.0, "resume"},
          {2250, {}, 10.25, ""}}},
        {"a seek while paused stays paused at the new time",
         10000,
         {{0, {P}, 10.0, "pause"},
          {500, {PGDN}, 15.0, at(15.0)},
          {1500, {P}, 15.0, "resume"},
          {1750, {}, 15.25, ""}}},
        {"loop plays back from its start once past its end; a third press clears it",
         10000,
         {{0, {L}, 10.0, ""},
          {1000, {}, 11.0, ""},
          {2000, {L}, 12.0, ""},
          {2250, {}, 10.0, at(10.0)},
          {4250, {}, 12.0, ""},
          {4500, {}, 10.0, at(10.0)},
          {4750, {L}, 10.25, ""},
          {7000, {}, 12.5, ""}}},
        {"a loop end before its start swaps the two",
         30000,
         {{0, {L}, 30.0, ""},
          {250, {PGUP}, 25.25, at(25.25)},
          {500, {L}, 25.5, ""},
          {5000, {}, 30.0, ""},
          {5250, {}, 25.5, at(25.5)}}},
        {"a loop past the show's end jumps back to its own start",
         88000,
         {{0, {L}, 88.0, ""},
          {250, {}, 88.25, ""},
          {500, {L}, 88.5, ""},
          {750, {}, 88.0, at(88.0)}}},
        {"a seek past the loop's end leaves the loop",
         10000,
         {{0, {L}, 10.0, ""},
          {1000, {L}, 11.0, ""},
          {1250, {PGDN}, 16.25, at(16.25)},
          {1500, {}, 16.5, ""}}},
    };
    runCases(cases);
}

TEST(Transport, HeadsUpLineShowsTimeSlotStatesVertexAndRows) {
    Transport playing{};
    Transport pausedInLoop{true, 67.5, LoopState::Active, 65.0, 70.0, 67.5};
    Transport loopStarted{false, 0.0, LoopState::StartMarked, 5.0, 0.0, 5.0};
    const struct {
        HeadsUpFacts facts;
        const Transport& transport;
        const char* line;
    } cases[] = {
        {{70.25, "kiv", true, StudioMode::Recording, 123, 456, 2},
         playing,
         "01:10.25  kiv  recording  vertex 123  rows 456  takes 2"},
        {{67.5, "pilou", false, StudioMode::Preview, -1, 3, 0},
         pausedInLoop,
         "01:07.50  pilou  preview  paused  loop 01:05.00-01:10.00  vertex none  rows 3"},
        // A punch-in is named as its own mode, whether or not its drag prints rows.
        {{12.0, "doranek", true, StudioMode::PunchIn, 7, 9, 1},
         playing,
         "00:12.00  doranek  punch-in  vertex 7  rows 9  takes 1"},
        // Rounded to the hundredth without ever showing 60 seconds.
        {{59.996, "vastel", false, StudioMode::Recording, 0, 0, 0},
         loopStarted,
         "01:00.00  vastel  loop 00:05.00-  vertex 0  rows 0"},
        {{-0.5, "quimet", false, StudioMode::Recording, -1, 0, 0},
         playing,
         "00:00.00  quimet  vertex none  rows 0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatHeadsUpLine(c.facts, c.transport), c.line);
    }
}

TEST(Transport, WithABeatGridBracketsStepABarAndLoopMarksSnapToTheNearestBeat) {
    const Case cases[] = {
        {"] goes to the next bar's start",
         10000,
         {{0, {ON}, 10.25, at(10.25)}, {250, {ON}, 10.5, ""}},
         &grid},
        {"[ goes to the start of the bar before", 10000, {{0, {BACK}, 6.25, at(6.25)}}, &grid},
        {"[ on a bar's own start goes to the one before",
         10250,
         {{0, {BACK}, 8.25, at(8.25)}},
         &grid},
        {"[ in the first bar stops at 0", 1000, {{0, {BACK}, 0.0, at(0.0)}}, &grid},
        {"] stops at the closing picture's end", 88500, {{0, {ON}, 89.0, at(89.0)}}, &grid},
        {"a tapped ] steps too", 10000, {{0, {}, 10.25, at(10.25), {ON}}}, &grid},
        {"L marks the nearest beats, the loop runs between them",
         10100,
         {{0, {L}, 10.1, ""},
          {1000, {}, 11.1, ""},
          {1700, {L}, 11.8, ""},
          {1800, {}, 10.25, at(10.25)}},
         &grid},
        {"Shift+L marks the time itself",
         10100,
         {{0, {SHIFT, L}, 10.1, ""},
          {1000, {SHIFT}, 11.1, ""},
          {1700, {SHIFT, L}, 11.8, ""},
          {1800, {}, 10.1, at(10.1)}},
         &grid},
        {"without a grid brackets do nothing and L marks the time",
         10100,
         {{0, {ON}, 10.1, ""},
          {250, {BACK, L}, 10.35, ""},
          {1000, {}, 11.1, ""},
          {1700, {L}, 11.8, ""},
          {1800, {}, 10.35, at(10.35)}}},
    };
    runCases(cases);
}

TEST(Transport, TheBarAndBeatFollowTheGridOnTheHeadsUpLine) {
    Timeline waltz = grid;
    waltz.beatsPerBar = 3;
    const struct {
        const Timeline& timeline;
        double time;
        long long bar;
        int beat;
    } cases[] = {
        {grid, 0.25, 1, 1}, {grid, 0.74, 1, 1},  {grid, 0.75, 1, 2},
        {grid, 2.2, 1, 4},  {grid, 2.25, 2, 1},  {grid, 33.5, 17, 3},
        {grid, 0.1, 0, 4},  {waltz, 1.75, 2, 1}, {waltz, 1.7, 1, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.time);
        const BarPosition p = barPositionAt(c.timeline, c.time);
        EXPECT_EQ(p.bar, c.bar);
        EXPECT_EQ(p.beat, c.beat);
    }
    HeadsUpFacts facts{33.5, "kiv", false, StudioMode::Recording, -1, 0, 0};
    facts.hasGrid = true;
    facts.barPosition = barPositionAt(grid, 33.5);
    EXPECT_EQ(formatHeadsUpLine(facts, Transport{}),
              "00:33.50  bar 17.3  kiv  vertex none  rows 0");
}
