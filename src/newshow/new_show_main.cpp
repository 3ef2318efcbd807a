// kelvaro-new: a song in, a whole show folder out. Stdout carries nothing but the help; the
// progress, the summary and every error go to stderr.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "newshow/beat_clicks.h"
#include "newshow/new_show.h"
#include "newshow/new_show_options.h"

namespace {

// A bar redrawn in place on a terminal; elsewhere a line at each quarter.
struct Progress {
    bool terminal = isatty(STDERR_FILENO) == 1;
    int shown = -1;

    void operator()(double share) {
        if (terminal) {
            const int percent = int(share * 100.0);
            if (percent == shown) return;
            shown = percent;
            const int filled = percent * 30 / 100;
            std::fprintf(stderr, "\rkelvaro-new: encoding the song [%s%s] %3d %%",
                         std::string(size_t(filled), '#').c_str(),
                         std::string(size_t(30 - filled), ' ').c_str(), percent);
            if (percent == 100) std::fputc('\n', stderr);
        } else {
            const int quarter = int(share * 4.0);
            if (quarter == shown || quarter == 0) return;
            shown = quarter;
            std::fprintf(stderr, "kelvaro-new: encoding the song, %d %%\n", quarter * 25);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    NewShowOptions options;
    std::string error;
    if (!parseNewShowOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "kelvaro-new: %s\nTry 'kelvaro-new --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(newShowUsage, stdout);
        return 0;
    }
    if (!options.clicks.empty()) {
        std::string summary;
        if (!writeClickTrack(options.song, options.clicks, summary, error)) {
            std::fprintf(stderr, "kelvaro-new: %s; nothing was written\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "kelvaro-new: wrote %s: %s\n", options.clicks.c_str(),
                     summary.c_str());
        return 0;
    }
    Progress progress;
    std::vector<std::string> summary;
    if (!makeNewShow(
            options, [&progress](double share) { progress(share); }, summary, error)) {
        std::fprintf(stderr, "kelvaro-new: %s; nothing was written\n", error.c_str());
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "kelvaro-new: wrote the show %s in %.1f s:\n", options.folder.c_str(),
                 seconds);
    for (const std::string& line : summary) std::fprintf(stderr, "  %s\n", line.c_str());
    return 0;
}
