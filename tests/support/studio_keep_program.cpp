// The authoring tool's K on its own, for the tests that kill writers at random moments: the rows
// of the file named on the command line become the studio's takes as the tool cuts them while a
// drag prints, and K keeps them in anim.txt of the show in the current folder, exactly as the
// tool does. Exit status 0 when they were kept.
#include <cstdio>
#include <fstream>
#include <string>

#include "driver/studio_takes.h"
#include "merge/show_check.h"
#include "scene/show_facts.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: studio_keep ROWS\n");
        return 2;
    }
    ShowSize show;
    std::string error;
    if (!readShowSize(".", show, error)) {
        std::fprintf(stderr, "studio_keep: %s\n", error.c_str());
        return 1;
    }
    StudioTakes studio{};
    std::ifstream rows(argv[1]);
    for (std::string line; std::getline(rows, line);) takeRow(studio, line);
    return keepTakes(studio, keyframeFileName, show) ? 0 : 1;
}
