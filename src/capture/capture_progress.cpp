#include "capture/capture_progress.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int BAR_WIDTH = 30;

}  // namespace

void startProgress(CaptureProgress& progress, std::FILE* out, bool terminal, int64_t total) {
    progress.out = out;
    progress.terminal = terminal;
    progress.total = total;
    progress.start = std::chrono::steady_clock::now();
    progress.lastDrawn = progress.start;
    progress.started = false;
    progress.drawn = false;
}

double progressSeconds(const CaptureProgress& progress) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - progress.start).count();
}

std::string clockText(double seconds) {
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    }
    return text;
}

void showProgress(CaptureProgress& progress, int64_t done, int64_t frame, int64_t firstFrame) {
    if (!progress.terminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (!progress.started && done > 0) {
        progress.started = true;
        progress.firstDone = now;
        progress.doneAtFirst = done;
    }
    if (progress.drawn && now - progress.lastDrawn < std::chrono::milliseconds(100)) return;
    progress.lastDrawn = now;
    progress.drawn = true;
    if (!progress.started) {
        std::fprintf(progress.out, "\rworking out the frames before the span: %lld of %lld\033[K",
                     (long long)frame, (long long)firstFrame);
        std::fflush(progress.out);
        return;
    }
    const double share = progress.total > 0 ? double(done) / double(progress.total) : 0.0;
    const int filled = std::min(BAR_WIDTH, int(share * BAR_WIDTH));
    std::string bar(size_t(filled), '#');
    bar.append(size_t(BAR_WIDTH - filled), '.');
    const double elapsed = std::chrono::duration<double>(now - progress.firstDone).count();
    const double rate = elapsed > 0.5 ? double(done - progress.doneAtFirst) / elapsed : 0.0;
    const std::string left =
        rate > 0.0 ? clockText(double(progress.total - done) / rate) : std::string("?");
    std::fprintf(progress.out, "\r[%s] %lld/%lld frames  %.1f frames/s  %s left\033[K", bar.c_str(),
                 (long long)done, (long long)progress.total, rate, left.c_str());
    std::fflush(progress.out);
}

void endProgress(CaptureProgress& progress, const std::string& line) {
    if (progress.terminal && progress.drawn) std::fputs("\r\033[K", progress.out);
    std::fprintf(progress.out, "%s\n", line.c_str());
    std::fflush(progress.out);
}
