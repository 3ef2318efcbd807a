#include "scene/timeline.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

// Where each setting came from, for messages about settings that disagree.
struct Origins {
    int fade = 0, sections = 0, end = 0, tempo = 0;  // line numbers; 0: built in
};

// The fewest decimals that read back as the same number: "30", not the "3e+01" that the fewest
// significant digits would give; every significant digit where no decimals do.
template <typename Number, typename Read>
std::string fewestDecimals(Number value, int digits, Read read) {
    char text[64];
    for (int decimals = 0; decimals <= digits; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, double(value));
        if (read(text, nullptr) == value) return text;
    }
    std::snprintf(text, sizeof text, "%.*g", digits, double(value));
    return text;
}

std::string secondsText(float seconds) {
    return fewestDecimals(seconds, 9, [](const char* t, char** e) { return std::strtof(t, e); });
}

std::string numberText(double value) {
    return fewestDecimals(value, 17, [](const char* t, char** e) { return std::strtod(t, e); });
}

// The whole word as one finite number, read as `Number` is read.
template <typename Number, typename Read>
bool parseWhole(const std::string& word, Number& number, Read read) {
    errno = 0;
    char* after = nullptr;
    const Number value = read(word.c_str(), &after);
    if (after == word.c_str() || *after != '\0' || errno == ERANGE || !std::isfinite(value))
        return false;
    number = value;
    return true;
}

bool parseNumber(const std::string& word, double& number) {
    return parseWhole(word, number, [](const char* t, char** e) { return std::strtod(t, e); });
}

std::string where(const std::string& name, int line) {
    return name + ":" + std::to_string(line) + ": ";
}

std::string origin(int line) {
    return line == 0 ? ", built in" : ", line " + std::to_string(line);
}

// Splits a line into its words, the comment cut off.
std::vector<std::string> wordsOf(const std::string& line) {
    const std::string text = line.substr(0, line.find('#'));
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

bool parseSeconds(const std::string& word, float& seconds) {
    return parseWhole(word, seconds, [](const char* t, char** e) { return std::strtof(t, e); });
}

// The settings together: each time after the one before it.
bool checkOrder(const Timeline& t, const Origins& from, const std::string& name,
                std::string& error) {
    const auto fail = [&](int line, const std::string& what) {
        error = (line == 0 ? name + ": " : where(name, line)) + what;
        return false;
    };
    const int endLine = from.end;
    if (!(t.fadeStart >= 0.0f)) return fail(from.fade, "the fade can't start before 0 s");
    if (!(t.fadeEnd > t.fadeStart))
        return fail(from.fade, "the fade must end after it starts (" + secondsText(t.fadeStart) +
                                   " s, then " + secondsText(t.fadeEnd) + " s)");
    if (!(t.sections[0] >= 0.0f)) return fail(from.sections, "a section can't start before 0 s");
    for (int i = 1; i < 4; ++i) {
        if (!(t.sections[i] > t.sections[i - 1]))
            return fail(from.sections, "section " + std::to_string(i + 1) + " (" +
                                           secondsText(t.sections[i]) +
                                           " s) must start after section " + std::to_string(i) +
                                           " (" + secondsText(t.sections[i - 1]) + " s)");
    }
    if (!(t.end >= float(shortestShowEnd) && t.end <= float(longestShowEnd)))
        return fail(endLine, "the end (" + secondsText(t.end) + " s) must lie between " +
                                 secondsText(float(shortestShowEnd)) + " s and " +
                                 secondsText(float(longestShowEnd)) + " s");
    if (!(t.sections[3] < t.end)) {
        const int line = from.end > from.sections ? from.end : from.sections;
        return fail(line, "the last section (" + secondsText(t.sections[3]) + " s" +
                              origin(from.sections) + ") must start before the end (" +
                              secondsText(t.end) + " s" + origin(from.end) + ")");
    }
    if (t.hasTempo && !(t.firstBeat < double(t.end))) {
        const int line = from.end > from.tempo ? from.end : from.tempo;
        return fail(line, "the first beat (" + numberText(t.firstBeat) + " s" + origin(from.tempo) +
                              ") must come before the end (" + secondsText(t.end) + " s" +
                              origin(from.end) + ")");
    }
    if (!(t.fadeEnd <= t.end)) {
        const int line = from.end > from.fade ? from.end : from.fade;
        return fail(line, "the fade (to " + secondsText(t.fadeEnd) + " s" + origin(from.fade) +
                              ") must end by the end (" + secondsText(t.end) + " s" +
                              origin(from.end) + ")");
    }
    return true;
}

// "tempo BPM FIRST_BEAT [BEATS_PER_BAR]" into `timeline`; its order against the end is
// checked with the others.
bool parseTempo(const std::vector<std::string>& words, const std::string& at, Timeline& timeline,
                std::string& error) {
    if (words.size() != 3 && words.size() != 4) {
        error = at +
                "tempo takes the beats a minute, the first beat in seconds and optionally "
                "the beats a bar, not " +
                std::to_string(words.size() - 1) + (words.size() == 2 ? " value" : " values");
        return false;
    }
    double tempo = 0.0, firstBeat = 0.0, beatsPerBar = 4.0;
    if (!parseNumber(words[1], tempo)) {
        error = at + "\"" + words[1] + "\" is not a tempo in beats a minute";
        return false;
    }
    if (!parseNumber(words[2], firstBeat)) {
        error = at + "\"" + words[2] + "\" is not a time in seconds";
        return false;
    }
    if (words.size() == 4 &&
        (!parseNumber(words[3], beatsPerBar) || beatsPerBar != std::floor(beatsPerBar))) {
        error = at + "\"" + words[3] + "\" is not a whole number of beats a bar";
        return false;
    }
    if (!(tempo >= slowestTimelineTempo && tempo <= fastestTimelineTempo)) {
        error = at + "the tempo (" + numberText(tempo) + " beats a minute) must lie between " +
                numberText(slowestTimelineTempo) + " and " + numberText(fastestTimelineTempo);
        return false;
    }
    if (!(firstBeat >= 0.0)) {
        error = at + "the first beat can't lie before 0 s";
        return false;
    }
    if (!(beatsPerBar >= fewestBeatsPerBar && beatsPerBar <= mostBeatsPerBar)) {
        error = at + "the beats a bar (" + numberText(beatsPerBar) + ") must lie between " +
                std::to_string(fewestBeatsPerBar) + " and " + std::to_string(mostBeatsPerBar);
        return false;
    }
    timeline.hasTempo = true;
    timeline.tempo = tempo;
    timeline.firstBeat = firstBeat;
    timeline.beatsPerBar = int(beatsPerBar);
    return true;
}

}  // namespace

bool parseTimeline(const std::string& text, const std::string& name, Timeline& timeline,
                   std::string& error) {
    Timeline read = builtInTimeline;
    Origins from;
    // An editor's byte order mark is no part of the first setting's name.
    const std::string bom = "\xEF\xBB\xBF";
    std::istringstream stream(text.compare(0, bom.size(), bom) == 0 ? text.substr(bom.size())
                                                                    : text);
    int number = 0;
    for (std::string line; std::getline(stream, line);) {
        ++number;
        const std::vector<std::string> words = wordsOf(line);
        if (words.empty()) continue;
        const std::string& setting = words[0];
        size_t wanted = 0;
        int* seen = nullptr;
        if (setting == "fade") {
            wanted = 2, seen = &from.fade;
        } else if (setting == "sections") {
            wanted = 4, seen = &from.sections;
        } else if (setting == "end") {
            wanted = 1, seen = &from.end;
        } else if (setting == "tempo") {
            seen = &from.tempo;
        } else {
            error = where(name, number) + "unknown setting \"" + setting +
                    "\" (the settings are fade, sections and end)";
            return false;
        }
        if (*seen != 0) {
            error = where(name, number) + setting + " is set twice (first on line " +
                    std::to_string(*seen) + ")";
            return false;
        }
        if (setting == "tempo") {
            if (!parseTempo(words, where(name, number), read, error)) return false;
            *seen = number;
            continue;
        }
        if (words.size() - 1 != wanted) {
            error = where(name, number) + setting + " takes " + std::to_string(wanted) +
                    (wanted == 1 ? " time" : " times") + " in seconds, not " +
                    std::to_string(words.size() - 1);
            return false;
        }
        float values[4];
        for (size_t i = 0; i < wanted; ++i) {
            if (!parseSeconds(words[i + 1], values[i])) {
                error = where(name, number) + "\"" + words[i + 1] + "\" is not a time in seconds";
                return false;
            }
        }
        *seen = number;
        if (setting == "fade") {
            read.fadeStart = values[0];
            read.fadeEnd = values[1];
        } else if (setting == "sections") {
            for (int i = 0; i < 4; ++i) read.sections[i] = values[i];
        } else {
            read.end = values[0];
        }
    }
    if (!checkOrder(read, from, name, error)) return false;
    // The built-in rate is the one the show has always used; any other fade gets its own.
    read.fadeRate =
        read.fadeStart == builtInTimeline.fadeStart && read.fadeEnd == builtInTimeline.fadeEnd
            ? builtInTimeline.fadeRate
            : float(1.0 / (double(read.fadeEnd) - double(read.fadeStart)));
    timeline = read;
    return true;
}

bool readTimeline(const std::string& folder, Timeline& timeline, std::string& error) {
    const std::string path =
        folder.empty() || folder == "." ? timelineFileName : folder + "/" + timelineFileName;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (errno == ENOENT) {
            timeline = builtInTimeline;
            return true;
        }
        error = path + ": can't be read: " + std::strerror(errno);
        return false;
    }
    std::string text;
    errno = 0;
    char buffer[4096];
    size_t got;
    // A timeline is a few lines; anything far longer is no timeline.
    constexpr size_t longest = 1 << 20;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() <= longest)
        text.append(buffer, got);
    // A folder of that name opens but can't be read: errno tells why.
    const bool failed = std::ferror(file) != 0;
    const int readError = errno;
    std::fclose(file);
    if (failed) {
        error = path + ": can't be read" +
                (readError != 0 ? std::string(": ") + std::strerror(readError) : std::string());
        return false;
    }
    if (text.size() > longest) {
        error = path + ": too long for a timeline (more than 1 MiB)";
        return false;
    }
    if (text.find('\0') != std::string::npos) {
        error = path + ": is not a text file";
        return false;
    }
    return parseTimeline(text, path, timeline, error);
}

std::string formatTimeline(const Timeline& timeline, const std::string& comment) {
    std::string text = comment;
    text += "fade " + secondsText(timeline.fadeStart) + " " + secondsText(timeline.fadeEnd) + "\n";
    text += "sections";
    for (float section : timeline.sections) text += " " + secondsText(section);
    text += "\nend " + secondsText(timeline.end) + "\n";
    if (timeline.hasTempo)
        text += "tempo " + numberText(timeline.tempo) + " " + numberText(timeline.firstBeat) + " " +
                std::to_string(timeline.beatsPerBar) + "\n";
    return text;
}

bool isBuiltInTimeline(const Timeline& timeline) {
    const Timeline& b = builtInTimeline;
    for (int i = 0; i < 4; ++i)
        if (timeline.sections[i] != b.sections[i]) return false;
    return timeline.fadeStart == b.fadeStart && timeline.fadeEnd == b.fadeEnd &&
           timeline.fadeRate == b.fadeRate && timeline.end == b.end && timeline.hold == b.hold;
}
