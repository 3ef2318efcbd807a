// The show's timeline: when the title fades in, when each figure's section starts in the
// authoring tool, and when the closing picture comes. A show folder may carry its own in
// "timeline.txt"; without that file every time is the built-in one below, and the show is frame
// for frame the same as before the file existed.
#pragma once

#include <cstdint>
#include <string>

constexpr const char* timelineFileName = "timeline.txt";

struct Timeline {
    float fadeStart;    // the background is black until here
    float fadeEnd;      // and at full brightness from here
    float fadeRate;     // 1 / (fadeEnd - fadeStart), rounded once to float
    float sections[4];  // the starts of slots 1 to 4 in the authoring tool
    float end;          // playback puts up the closing picture once the time is past this
    double hold;        // and holds it this long before the run ends
    // The music's beat grid, when the file gives one ("tempo BPM FIRST_BEAT [BEATS_PER_BAR]"):
    // beat i at firstBeat + i · 60 / tempo, bar b starting at beat (b - 1) · beatsPerBar.
    bool hasTempo = false;
    double tempo = 0.0;      // beats a minute
    double firstBeat = 0.0;  // seconds
    int beatsPerBar = 4;
};

// The built-in times, in seconds on the show clock.
constexpr Timeline builtInTimeline = {11.0f, 14.0f, 0.33333334f, {20.0f, 40.0f, 59.0f, 78.5f},
                                      87.0f, 2.0};

// The settings' limits: the end of a show lies between these, and so do the tempo and the
// beats a bar.
constexpr double shortestShowEnd = 5.0;
constexpr double longestShowEnd = 3600.0;
constexpr double slowestTimelineTempo = 20.0, fastestTimelineTempo = 400.0;
constexpr int fewestBeatsPerBar = 2, mostBeatsPerBar = 12;

// The background's brightness at `showTime`, in float as the frame loop has always computed it;
// drawBackground clamps it to 0..1.
inline float fadeBrightness(const Timeline& timeline, float showTime) {
    return (showTime - timeline.fadeStart) * timeline.fadeRate;
}

// The last moment of a run: the end of the closing picture.
inline double runLength(const Timeline& timeline) {
    return double(timeline.end) + timeline.hold;
}

// Reads the settings of `text` over the built-in ones. One setting a line, "#" starts a comment:
//   fade START END
//   sections S1 S2 S3 S4
//   end END
//   tempo BPM FIRST_BEAT [BEATS_PER_BAR]
// False with `error` naming `name`, the line and what is wrong; `timeline` is then as it was.
bool parseTimeline(const std::string& text, const std::string& name, Timeline& timeline,
                   std::string& error);

// The timeline of the show folder `folder`: the built-in one when it holds no "timeline.txt".
// False with `error` when the file is there but can't be read or says something wrong.
bool readTimeline(const std::string& folder, Timeline& timeline, std::string& error);

// The file that gives `timeline`, every setting written out (the tempo only when it has one),
// with `comment` ("# ..." lines, or empty) in front; parseTimeline reads back exactly these
// values.
std::string formatTimeline(const Timeline& timeline, const std::string& comment);

// The same times as the built-in ones, to the bit (the beat grid, which times nothing in the
// show, aside).
bool isBuiltInTimeline(const Timeline& timeline);
