// The timeline reader on arbitrary text: either a message that names the file, or times that
// go up as a show needs them, which written out and read again are the very same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scene/timeline.h"

namespace {

bool same(const Timeline& a, const Timeline& b) {
    for (int i = 0; i < 4; ++i)
        if (a.sections[i] != b.sections[i]) return false;
    return a.fadeStart == b.fadeStart && a.fadeEnd == b.fadeEnd && a.fadeRate == b.fadeRate &&
           a.end == b.end && a.hold == b.hold && a.hasTempo == b.hasTempo &&
           (!a.hasTempo ||
            (a.tempo == b.tempo && a.firstBeat == b.firstBeat && a.beatsPerBar == b.beatsPerBar));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Timeline timeline = builtInTimeline;
    std::string error;
    if (!parseTimeline(text, "timeline.txt", timeline, error)) {
        if (error.rfind("timeline.txt", 0) != 0) std::abort();
        if (!isBuiltInTimeline(timeline)) std::abort();  // a refused file changes nothing
        return 0;
    }
    if (!(timeline.fadeStart >= 0.0f && timeline.fadeEnd > timeline.fadeStart &&
          timeline.fadeEnd <= timeline.end))
        std::abort();
    for (int i = 1; i < 4; ++i)
        if (!(timeline.sections[i] > timeline.sections[i - 1])) std::abort();
    if (!(timeline.sections[0] >= 0.0f && timeline.sections[3] < timeline.end &&
          timeline.end >= float(shortestShowEnd) && timeline.end <= float(longestShowEnd)))
        std::abort();
    Timeline again = builtInTimeline;
    if (!parseTimeline(formatTimeline(timeline, "# again\n"), "again", again, error) ||
        !same(timeline, again))
        std::abort();
    return 0;
}
