#include "capture/capture_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "video/video_writer.h"

namespace {

bool readInteger(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text[0] == '+' || text[0] == '-' || text[0] == ' ') return false;
    errno = 0;
    char* end = nullptr;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < low || number > high) return false;
    value = int(number);
    return true;
}

bool readSeconds(const std::string& text, double& value) {
    if (text.empty() || text[0] == ' ') return false;
    errno = 0;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(number) || number < 0.0) return false;
    value = number;
    return true;
}

bool readSize(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    return readInteger(text.substr(0, x), 1, MAX_CAPTURE_WIDTH, width) &&
           readInteger(text.substr(x + 1), 1, MAX_CAPTURE_HEIGHT, height);
}

// x264's presets, fastest first.
const char* const PRESETS[] = {"ultrafast", "superfast", "veryfast", "faster",   "fast",
                               "medium",    "slow",      "slower",   "veryslow", "placebo"};

bool knownPreset(const std::string& name) {
    for (const char* preset : PRESETS) {
        if (name == preset) return true;
    }
    return false;
}

std::string presetList() {
    std::string list;
    for (const char* preset : PRESETS) list += (list.empty() ? "" : ", ") + std::string(preset);
    return list;
}

CaptureCommand bad(std::string& error, const std::string& text) {
    error = text;
    return CaptureCommand::Bad;
}

}  // namespace

CaptureCommand parseCaptureOptions(const std::vector<std::string>& arguments,
                                   CaptureOptions& options, std::string& error) {
    options = CaptureOptions{};
    bool toGiven = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (name == "-h" || name == "--help") return CaptureCommand::Help;
        if (name.size() < 2 || name[0] != '-' || name == "--") {
            if (name == "--") {
                if (i + 1 >= arguments.size()) break;
                name = arguments[++i];
            }
            if (!options.outputPath.empty()) return bad(error, "only one output file, please");
            options.outputPath = name;
            continue;
        }
        std::string value;
        const size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (name == "--fps" || name == "--size" || name == "--supersample" ||
                   name == "--from" || name == "--to" || name == "--crf" || name == "--preset" ||
                   name == "--keyint-seconds") {
            if (i + 1 >= arguments.size()) return bad(error, name + " needs a value");
            value = arguments[++i];
        }
        if (name == "--fps") {
            if (!readInteger(value, 1, MAX_CAPTURE_FPS, options.framesPerSecond))
                return bad(error, "--fps takes a whole number of frames a second from 1 to " +
                                      std::to_string(MAX_CAPTURE_FPS) + ", not '" + value + "'");
        } else if (name == "--size") {
            if (!readSize(value, options.width, options.height) || options.width % 2 != 0 ||
                options.height % 2 != 0 || options.width * 9 != options.height * 16)
                return bad(error,
                           "--size takes an even 16:9 size up to 3840x2160, e.g. 1920x1080, "
                           "not '" +
                               value + "'");
        } else if (name == "--supersample") {
            if (!readInteger(value, 1, MAX_SUPERSAMPLE, options.supersample))
                return bad(error, "--supersample takes 1 to " + std::to_string(MAX_SUPERSAMPLE) +
                                      ", not '" + value + "'");
        } else if (name == "--from" || name == "--to") {
            double& seconds = name == "--from" ? options.fromSeconds : options.toSeconds;
            if (!readSeconds(value, seconds))
                return bad(error, name + " takes seconds of show time, not '" + value + "'");
            if (name == "--to") toGiven = true;
        } else if (name == "--crf") {
            if (!readInteger(value, 0, MAX_CRF, options.crf))
                return bad(error, "--crf takes a whole number from 0 (lossless) to " +
                                      std::to_string(MAX_CRF) + ", not '" + value + "'");
        } else if (name == "--preset") {
            if (!knownPreset(value))
                return bad(error,
                           "--preset takes one of " + presetList() + ", not '" + value + "'");
            options.preset = value;
        } else if (name == "--keyint-seconds") {
            if (!readSeconds(value, options.keyintSeconds) ||
                options.keyintSeconds < MIN_KEYINT_SECONDS ||
                options.keyintSeconds > MAX_KEYINT_SECONDS)
                return bad(error,
                           "--keyint-seconds takes the seconds between keyframes, from 0.5 to "
                           "10, not '" +
                               value + "'");
        } else if (name == "--verbose") {
            if (equals != std::string::npos) return bad(error, "--verbose takes no value");
            options.verbose = true;
        } else {
            return bad(error, "unknown option " + name);
        }
    }
    if (options.outputPath.empty()) return bad(error, "no output file given");
    if (!isVideoFileName(options.outputPath))
        return bad(error, "the output's name must end in " + std::string(VIDEO_FILE_ENDINGS) +
                              ", not '" + options.outputPath + "'");
    if (toGiven && !(options.toSeconds > options.fromSeconds))
        return bad(error, "--to must come after --from");
    return CaptureCommand::Capture;
}

const char* captureUsage() {
    return "Usage: kelvaro-capture [--fps N] [--size WxH] [--supersample K] [--from S] [--to S]\n"
           "                       [--crf N] [--preset NAME] [--keyint-seconds S] [--verbose]\n"
           "                       OUTPUT.mp4\n"
           "Renders the show in the current folder (anim.txt, tavel.mp3, the slot folders and\n"
           "timeline.txt if there is one) to an H.264 and AAC video, without a display or a\n"
           "sound card, from 0 to 2 s after the timeline's end. OUTPUT ends in .mp4, .m4v,\n"
           ".mov or .mkv, which picks the container.\n"
           "\n"
           "  --fps N          frames a second, 1 to 240 (default 60)\n"
           "  --size WxH       picture size, even and 16:9, at most 3840x2160 (default 1280x720)\n"
           "  --supersample K  draw K times larger each way and average down, 1 to 4 (default 1)\n"
           "  --from S         first second of show time to capture (default 0)\n"
           "  --to S           end of the span in show time (default: the end of the show, with\n"
           "                   its closing picture: the timeline's end and 2 s)\n"
           "  --crf N          quality, 0 (lossless, about 8 times larger) to 51 (default 18,\n"
           "                   which looks like the drawing itself); each 6 more about halves\n"
           "                   the file and blurs more\n"
           "  --preset NAME    how hard x264 works for that quality: ultrafast, superfast,\n"
           "                   veryfast, faster, fast, medium, slow, slower, veryslow, placebo\n"
           "                   (default veryfast); a faster one takes less time for a larger\n"
           "                   file (ultrafast: 4 times), a slower one more time for a file a\n"
           "                   little sharper\n"
           "  --keyint-seconds S\n"
           "                   at most S seconds of video from one keyframe, where a player\n"
           "                   can start or seek to, to the next: 0.5 to 10 (default 2, as\n"
           "                   upload sites ask)\n"
           "  --verbose        the closing summary also tells where the time went\n"
           "  -h, --help       this text\n"
           "\n"
           "The same folder and options give the same file every time. Time in the file is\n"
           "show time less --from.\n"
           "The output is written only when the capture is complete; an existing file is\n"
           "replaced then. Exit status 0 on success, 1 when the capture failed or was\n"
           "interrupted, 2 on a bad command line.\n";
}
