// kelvaro-merge: puts takes printed by kelvaro-author into a keyframe script.
#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "merge/merge.h"

namespace {

const char* const usage =
    "Usage: kelvaro-merge [OPTION]... SCRIPT TAKE...\n"
    "  or:  kelvaro-merge --show=DIR --clear=SLOT [OPTION]... SCRIPT [TAKE]...\n"
    "Put the rows that kelvaro-author printed (files TAKE, - for standard input) into the\n"
    "keyframe script SCRIPT. Each drag is a take: its rows replace the script's rows from its\n"
    "first to its last time, and the rest of the script stays. The result is sorted by time.\n"
    "Without -o, SCRIPT is replaced in place and the previous one is kept as SCRIPT~.\n"
    "\n"
    "  -o, --output=FILE  write the result to FILE instead (- for standard output)\n"
    "  -s, --show=DIR     drop, and report, rows naming a slot or vertex that the show in\n"
    "                     DIR does not hold\n"
    "  -r, --rate=N       keep at most N rows a second of each take (its first and last row\n"
    "                     always stay); the show reads at most 16384 rows\n"
    "  -n, --new          a missing SCRIPT is an empty one\n"
    "  -c, --clear=SLOT   replace the rows of SLOT (1 to 4, or kiv, vastel, doranek,\n"
    "                     pilou) by rows that hold its figure in DIR at rest over their span,\n"
    "                     before any TAKE goes in: for a new figure in the slot, whose mesh\n"
    "                     numbers its vertices anew; needs --show\n"
    "  -h, --help         show this help and exit\n"
    "\n"
    "Camera lines (fov=...) and lines that are not rows are skipped and counted on stderr.\n"
    "Exit status: 0 when the script was written (or, with --clear and no TAKE, had no rows\n"
    "of SLOT), 1 on bad input, a slot without a mesh or a failed write (the old script is\n"
    "then untouched), 2 on a bad command line.\n";

int badUsage(const char* message, const char* what) {
    std::fprintf(stderr, "kelvaro-merge: %s%s\nTry 'kelvaro-merge --help' for more.\n", message,
                 what);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const option longOptions[] = {
        {"output", required_argument, nullptr, 'o'},
        {"show", required_argument, nullptr, 's'},
        {"rate", required_argument, nullptr, 'r'},
        {"new", no_argument, nullptr, 'n'},
        {"clear", required_argument, nullptr, 'c'},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    MergeOptions options;
    opterr = 0;  // the messages below say more
    int c;
    while ((c = getopt_long(argc, argv, ":o:s:r:nc:h", longOptions, nullptr)) != -1) {
        switch (c) {
            case 'o':
                options.output = optarg;
                break;
            case 's':
                options.showFolder = optarg;
                break;
            case 'r': {
                char* end = nullptr;
                errno = 0;
                const double rate = std::strtod(optarg, &end);
                if (end == optarg || *end != '\0' || errno != 0 || !std::isfinite(rate) ||
                    rate <= 0.0) {
                    return badUsage("--rate wants a positive number of rows a second, not ",
                                    optarg);
                }
                options.rowsPerSecond = rate;
                break;
            }
            case 'n':
                options.newScript = true;
                break;
            case 'c':
                options.clearSlot = figureSlotNamed(optarg);
                if (options.clearSlot < 0) {
                    return badUsage(
                        "--clear wants a figure slot, 1 to 4 or kiv, vastel, doranek or "
                        "pilou, not ",
                        optarg);
                }
                break;
            case 'h':
                std::fputs(usage, stdout);
                return std::fflush(stdout) == 0 ? 0 : 1;
            case ':':
                return badUsage("missing value for ", argv[optind - 1]);
            default: {
                const char shortOption[] = {'-', char(optopt), '\0'};
                return badUsage("unknown option ", optopt != 0 ? shortOption : argv[optind - 1]);
            }
        }
    }
    const bool clearing = options.clearSlot >= 0;
    if (clearing && options.showFolder.empty()) {
        return badUsage("--clear needs --show DIR, whose slot holds the figure to put at rest", "");
    }
    if (clearing && argc - optind < 1) return badUsage("a script is needed", "");
    if (!clearing && argc - optind < 2)
        return badUsage("a script and at least one take file are needed", "");
    options.script = argv[optind];
    options.takeFiles.assign(argv + optind + 1, argv + argc);
    return runMerge(options);
}
