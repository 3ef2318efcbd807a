// Writes the show folder that the play command runs in: the six slot folders, the keyframe
// script and the music.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "mp3_writer.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SHOW_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string root = argv[1];
    mkdir(root.c_str(), 0755);
    for (const char* slot : {"quimet", "kiv", "vastel", "doranek", "pilou", "logo"}) {
        mkdir((root + "/" + slot).c_str(), 0755);
    }
    if (!writeMp3(root + "/tavel.mp3", makeTone(440.0, 90.0, 44100), 44100)) return 1;
    std::FILE* anim = std::fopen((root + "/anim.txt").c_str(), "w");
    if (anim == nullptr) {
        std::fprintf(stderr, "can't write %s/anim.txt\n", root.c_str());
        return 1;
    }
    std::fclose(anim);
    return 0;
}
