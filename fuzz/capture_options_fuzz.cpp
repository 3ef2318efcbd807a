// The capture's command line on any argument vector: a usable set of options within their
// limits, the help, or a command-line error with its reason; never a crash. A usable set gives
// a span of frames inside the run, or says why there is none.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_options.h"
#include "capture/capture_span.h"
#include "fuzz_support.h"
#include "video/video_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The arguments, split at NUL bytes.
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back() += char(data[i]);
        }
    }
    CaptureOptions options;
    std::string error;
    const CaptureCommand command = parseCaptureOptions(arguments, options, error);
    if (command == CaptureCommand::Bad) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    if (command == CaptureCommand::Help) return 0;
    FUZZ_CHECK(options.framesPerSecond >= 1 && options.framesPerSecond <= MAX_CAPTURE_FPS);
    FUZZ_CHECK(options.width > 0 && options.height > 0 && options.width % 2 == 0 &&
               options.height % 2 == 0 && options.width <= MAX_CAPTURE_WIDTH &&
               options.height <= MAX_CAPTURE_HEIGHT && options.width * 9 == options.height * 16);
    FUZZ_CHECK(options.supersample >= 1 && options.supersample <= MAX_SUPERSAMPLE);
    FUZZ_CHECK(options.crf >= 0 && options.crf <= MAX_CRF);
    FUZZ_CHECK(std::isfinite(options.fromSeconds) && options.fromSeconds >= 0.0);
    FUZZ_CHECK(std::isfinite(options.toSeconds));
    FUZZ_CHECK(options.toSeconds < 0.0 || options.toSeconds > options.fromSeconds);
    FUZZ_CHECK(isVideoFileName(options.outputPath));

    CaptureSpan span;
    if (captureSpan(options, builtInTimeline, span, error)) {
        FUZZ_CHECK(span.firstFrame >= 0 && span.firstFrame < span.endFrame);
        FUZZ_CHECK(span.endFrame <= wholeRunFrames(options.framesPerSecond, builtInTimeline));
    } else {
        FUZZ_CHECK(!error.empty());
    }
    return 0;
}
