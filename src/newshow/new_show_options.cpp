#include "newshow/new_show_options.h"

#include <cstring>

const char* const newShowUsage =
    "Usage: kelvaro-new [options] SONG FOLDER\n"
    "       kelvaro-new --clicks FILE.wav SONG\n"
    "Makes a whole show folder from a song: its music, a timeline that fits the song, a title\n"
    "card, the four figures each in its section, a closing card and a script that shows them\n"
    "all. The show, the authoring tool and the capture play the folder as it is.\n"
    "\n"
    "  SONG                    MP3 (copied as it is), Ogg Vorbis, FLAC, WAV, M4A/AAC or any\n"
    "                          other sound FFmpeg reads (encoded to MP3); at least 30 s long;\n"
    "                          the figures' sections start on its bars when it has a beat\n"
    "  FOLDER                  the show folder to write\n"
    "  --title TEXT            a line of the title card (again for more lines; the first is\n"
    "                          the largest); by default the folder's name\n"
    "  --credits TEXT          a line of the closing card (again for more lines); by default\n"
    "                          the title's first line\n"
    "  --figure SLOT=PICTURE   the figure of SLOT (kiv, vastel, doranek, pilou or 1 to 4)\n"
    "                          made from a drawing, as kelvaro-figure makes it; the others\n"
    "                          keep the demo show's figures\n"
    "  --background SLOT=PICTURE\n"
    "                          the background of SLOT (quimet, kiv, vastel, doranek, pilou,\n"
    "                          logo or 0 to 5) from a picture, scaled to cover 1280x720; the\n"
    "                          cards' words go over it on slots 0 and 5\n"
    "  --replace               replace a folder that is there (the old one is kept as FOLDER~)\n"
    "  --clicks FILE.wav       write no show: write the song with a click on every beat found\n"
    "                          in it, a stronger one on each bar, to FILE.wav (16-bit\n"
    "                          stereo), to hear whether the grid sits on the beat\n"
    "  --help                  this text\n"
    "\n"
    "Exit status: 0 when the folder (or FILE.wav) was written, 1 when the song, a picture or the\n"
    "folder can't be used or the song tells no beat for --clicks (nothing is written then), 2 for\n"
    "a bad command line.\n";

namespace {

// The slot a name or a number stands for, within first..last; -1 for none.
int slotNamed(const std::string& name, int first, int last) {
    for (int slot = first; slot <= last; ++slot)
        if (name == sceneSlots[slot].directory || name == std::to_string(slot)) return slot;
    return -1;
}

bool slotPicture(const std::string& option, const std::string& value, int first, int last,
                 std::string (&pictures)[sceneSlotCount], std::string& error) {
    const size_t equals = value.find('=');
    std::string names;
    for (int slot = first; slot <= last; ++slot)
        names += std::string(slot == first ? "" : ", ") + sceneSlots[slot].directory;
    if (equals == std::string::npos || equals + 1 == value.size()) {
        error = option + " wants SLOT=PICTURE, not '" + value + "'";
        return false;
    }
    const int slot = slotNamed(value.substr(0, equals), first, last);
    if (slot < 0) {
        error = option + ": no slot '" + value.substr(0, equals) + "' (" + names + " or " +
                std::to_string(first) + " to " + std::to_string(last) + ")";
        return false;
    }
    if (!pictures[slot].empty()) {
        error = option + " names slot " + sceneSlots[slot].directory + " twice";
        return false;
    }
    pictures[slot] = value.substr(equals + 1);
    return true;
}

}  // namespace

bool parseNewShowOptions(int argc, const char* const* argv, NewShowOptions& options,
                         std::string& error) {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        const size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
            hasValue = true;
        }
        const bool wantsValue = arg == "--title" || arg == "--credits" || arg == "--figure" ||
                                arg == "--background" || arg == "--clicks";
        if (wantsValue && !hasValue) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!wantsValue && hasValue) {
            error = arg + " takes no value";
            return false;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        } else if (arg == "--replace") {
            options.replace = true;
        } else if (arg == "--clicks") {
            if (value.empty()) {
                error = "--clicks needs a FILE.wav";
                return false;
            }
            options.clicks = value;
        } else if (arg == "--title") {
            options.title.push_back(value);
        } else if (arg == "--credits") {
            options.credits.push_back(value);
        } else if (arg == "--figure") {
            if (!slotPicture(arg, value, 1, 4, options.figures, error)) return false;
        } else if (arg == "--background") {
            if (!slotPicture(arg, value, 0, sceneSlotCount - 1, options.backgrounds, error))
                return false;
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (!options.clicks.empty()) {
        bool showOptions = options.replace || !options.title.empty() || !options.credits.empty();
        for (int slot = 0; slot < sceneSlotCount; ++slot)
            showOptions =
                showOptions || !options.figures[slot].empty() || !options.backgrounds[slot].empty();
        if (showOptions) {
            error = "--clicks writes no show: give it a SONG alone";
            return false;
        }
        if (positional.size() != 1) {
            error = positional.empty() ? "--clicks FILE.wav needs a SONG"
                                       : "--clicks FILE.wav takes one SONG and no FOLDER";
            return false;
        }
        options.song = positional[0];
        return true;
    }
    if (positional.size() != 2) {
        error = positional.size() < 2 ? "give a SONG and a FOLDER"
                                      : "too many arguments: give one SONG and one FOLDER";
        return false;
    }
    options.song = positional[0];
    options.folder = positional[1];
    while (options.folder.size() > 1 && options.folder.back() == '/') options.folder.pop_back();
    if (options.folder.empty() || options.folder == "/" || options.folder == "." ||
        options.folder == "..") {
        error = "'" + options.folder + "' can't be a new show's folder";
        return false;
    }
    return true;
}
