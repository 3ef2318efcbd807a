// Writes the show folder that the play command runs in.
#include <cstdio>

#include "showgen/show_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SHOW_FOLDER\n", argv[0]);
        return 2;
    }
    // A figure or a script that leaves the view is a fault of the generator: fail the build.
    return generateShow(argv[1]) ? 0 : 1;
}
