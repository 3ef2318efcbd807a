#include "figure/figure_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "scene/show_facts.h"

const char* const figureUsage =
    "Usage: kelvaro-figure [OPTION]... PICTURE FOLDER\n"
    "Turns a drawing (PNG or JPEG) into a slot folder that the show loads as it is: mesh.obj,\n"
    "tex.png, one bone_NN.png mask per bone, and bkg.png (kept when FOLDER has one).\n"
    "\n"
    "  --bones N         the bone count; by default the slot table's count for FOLDER's name\n"
    "                    (kiv 8, vastel 7, doranek 8, pilou 1), which is also the most the\n"
    "                    show reads there; required for any other name\n"
    "  --spacing PX      the mesh spacing in texture pixels (default: about 2,000 vertices)\n"
    "  --key RRGGBB      for a picture without transparency: the background colour\n"
    "                    (default: the corners' colour, when all four agree)\n"
    "  --alpha A         the figure is the pixels of alpha A or more (default 128)\n"
    "  --fill-holes      fill every enclosed hole (for outline sketches with a clear inside)\n"
    "  --keep-ground     bone a painted floor or shadow under the feet like the rest (by\n"
    "                    default it moves with the trunk, so that a foot drags no floor)\n"
    "  --background PIC  make bkg.png from this picture\n"
    "  --preview FILE    also write FILE (PNG): the figure with its mesh and bone regions\n"
    "  --replace         replace the figure FOLDER holds; the old files go to FOLDER~\n"
    "  --keep-rows       leave the rows that the show's anim.txt has for FOLDER's slot as they\n"
    "                    are (by default they are replaced by rows that show the new figure at\n"
    "                    rest over their span, the old script kept as anim.txt~)\n"
    "  --help            show this and exit\n"
    "\n"
    "Exit status: 0 when the folder was written, 1 when the drawing gives no usable figure or\n"
    "a file can't be read or written (nothing is written then), 2 on a bad command line.\n";

namespace {

bool number(const char* text, double low, double high, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && errno == 0 && value >= low && value <= high;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string baseName(const std::string& folder) {
    std::string name = folder;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const size_t slash = name.find_last_of('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

int slotIndex(const std::string& folder) {
    const std::string name = baseName(folder);
    for (int32_t i = 0; i < sceneSlotCount; ++i)
        if (name == sceneSlots[i].directory) return i;
    return -1;
}

int slotBones(const std::string& folder) {
    const int i = slotIndex(folder);
    return i < 0 ? 0 : int(sceneSlots[i].boneCount);
}

bool parseFigureOptions(int argc, const char* const* argv, FigureOptions& options,
                        std::string& error) {
    std::string positional[2];
    int positionals = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char*& text) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            text = argv[++i];
            return true;
        };
        const char* text = nullptr;
        double v = 0.0;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--bones") {
            if (!value(text)) return false;
            if (!number(text, 1, 64, v) || v != double(int(v))) {
                error = "--bones wants a whole number from 1 to 64, not " + std::string(text);
                return false;
            }
            options.bones = int(v);
        } else if (arg == "--spacing") {
            if (!value(text)) return false;
            if (!number(text, 3, 200, v)) {
                error =
                    "--spacing wants a number of pixels from 3 to 200, not " + std::string(text);
                return false;
            }
            options.spacing = v;
        } else if (arg == "--key") {
            if (!value(text)) return false;
            std::string hex = text;
            if (!hex.empty() && hex[0] == '#') hex.erase(0, 1);
            bool good = hex.size() == 6;
            for (int k = 0; good && k < 3; ++k) {
                const int hi = hexDigit(hex[size_t(2 * k)]), lo = hexDigit(hex[size_t(2 * k + 1)]);
                good = hi >= 0 && lo >= 0;
                if (good) options.background.key[k] = uint8_t(hi * 16 + lo);
            }
            if (!good) {
                error = "--key wants a colour as RRGGBB (six hexadecimal digits), not " +
                        std::string(text);
                return false;
            }
            options.background.keyGiven = true;
        } else if (arg == "--alpha") {
            if (!value(text)) return false;
            if (!number(text, 1, 255, v) || v != double(int(v))) {
                error = "--alpha wants a whole number from 1 to 255, not " + std::string(text);
                return false;
            }
            options.background.alphaThreshold = int(v);
        } else if (arg == "--fill-holes") {
            options.fillHoles = true;
        } else if (arg == "--keep-ground") {
            options.keepGround = true;
        } else if (arg == "--background") {
            if (!value(text)) return false;
            options.backgroundPicture = text;
        } else if (arg == "--preview") {
            if (!value(text)) return false;
            options.preview = text;
        } else if (arg == "--replace") {
            options.replace = true;
        } else if (arg == "--keep-rows") {
            options.keepRows = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            if (positionals == 2) {
                error = "one PICTURE and one FOLDER, not more";
                return false;
            }
            positional[positionals++] = arg;
        }
    }
    if (options.help) return true;
    if (positionals < 2) {
        error = "a PICTURE and a FOLDER are needed";
        return false;
    }
    options.picture = positional[0];
    options.folder = positional[1];
    while (options.folder.size() > 1 && options.folder.back() == '/') options.folder.pop_back();
    const int slot = slotBones(options.folder);
    // The show reads only the slot's own masks: more bones would be drawn but never move.
    if (slot > 0 && options.bones > slot) {
        error = std::to_string(options.bones) + " bones are more than " + baseName(options.folder) +
                " has: the show reads only its " + std::to_string(slot) +
                (slot == 1 ? " bone mask" : " bone masks") + ", so give --bones " +
                std::to_string(slot) + " or fewer";
        return false;
    }
    if (options.bones == 0) options.bones = slot;
    if (options.bones == 0) {
        error = "the slot table has no figure slot named like " + options.folder +
                ": say how many bones with --bones N";
        return false;
    }
    return true;
}
