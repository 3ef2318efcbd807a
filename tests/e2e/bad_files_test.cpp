// The real show program in show folders that each hold one bad file. Whatever the file, the
// program says which file is at fault on stderr and plays on with what it has, except for the
// music, without which there is no show: that ends with its message and exit code 1.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "show_folder.h"

namespace {

// Long enough to load every slot and run frames with the script's rows active, short enough for
// the whole table to stay within a minute when ctest runs two cases at a time.
constexpr int runSeconds = 3;

const char* const smallMesh = "v 20 20 0\nv 40 20 0\nv 40 40 0\nv 20 40 0\nf 1 2 3\nf 1 3 4\n";

// Rows active during the run, in slot 1 (which has a mesh from its first frame).
const char* const goodRows =
    "0.200000 1 0 22.000000 20.000000 0.000000\n"
    "1.000000 1 1 42.000000 22.000000 0.000000\n"
    "2.000000 1 2 40.000000 44.000000 0.000000\n"
    "60.000000 1 2 40.000000 40.000000 0.000000\n";

std::string randomBytes(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = char(random() & 0xff);
    return bytes;
}

std::string rowsNamingNothing() {
    // Slots and vertices outside the show's lists, between good rows, all active in the run.
    return "0.100000 9 0 1.0 1.0 1.0\n"
           "0.400000 1 999999 1.0 1.0 1.0\n"
           "0.700000 1 0 30.0 30.0 0.0\n"
           "1.000000 -1 -7 1.0 1.0 1.0\n"
           "1.300000 0 3 1.0 1.0 1.0\n"
           "1.600000 5 0 1.0 1.0 1.0\n"
           "1.900000 1 3 25.0 35.0 0.0\n"
           "60.000000 1 3 25.0 35.0 0.0\n";
}

std::string twentyThousandRows() {
    std::ostringstream rows;
    for (int i = 0; i < 20000; ++i) {
        rows << 0.001 * double(i) << ' ' << 1 + i % 4 << ' ' << i % 4 << " 30.0 30.0 0.0\n";
    }
    return rows.str();
}

std::string truncatedPng(const std::string& path) {
    const std::string whole = readTextFile(path);
    return whole.substr(0, whole.size() / 2);
}

struct BadFileCase {
    const char* name;
    // Spoils one file of a good show folder (given as its path).
    std::function<void(const std::string&)> spoil;
    int exitCode;
    // What stderr must hold, usually the name of the file at fault; empty: nothing asked.
    std::string err;
    // The count of script rows that starts stdout; -1 when the run ends before it matters.
    int rows;
};

void PrintTo(const BadFileCase& c, std::ostream* out) {
    *out << c.name;
}

void replaceFile(const std::string& path, const std::string& bytes) {
    writeTextFile(path, bytes);
}

void removeFile(const std::string& path) {
    ASSERT_EQ(std::remove(path.c_str()), 0) << path;
}

std::string firstLine(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    return line;
}

class BadFiles : public testing::TestWithParam<BadFileCase> {};

TEST_P(BadFiles, TheFileAtFaultIsNamedAndTheShowGoesOnWithoutIt) {
    const BadFileCase& c = GetParam();
    TempFolder folder;
    writeShowFolder(folder.path(), smallMesh);
    writeTextFile(folder.file("anim.txt"), goodRows);
    writeToneMp3(folder.file("tavel.mp3"), 8.0);
    c.spoil(folder.path());

    const auto start = std::chrono::steady_clock::now();
    const CommandResult run = runCommand(folder.path(), KELVARO_BIN, runSeconds);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    if (!c.err.empty()) {
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    // Sanitizer and runtime reports would mean a fault that the exit code may hide.
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Sanitizer"), std::string::npos) << run.err;
    if (c.rows >= 0) {
        EXPECT_EQ(firstLine(run.out), std::to_string(c.rows)) << run.out;
    }
    if (c.exitCode == 0) {
        // It played until it was stopped, rather than giving up early with a good exit code.
        EXPECT_GE(seconds, double(runSeconds) - 0.2);
        EXPECT_EQ(run.err.find("Error:"), std::string::npos) << run.err;
    }
}

const BadFileCase meshCases[] = {
    {"MeshMissing", [](const std::string& d) { removeFile(d + "/kiv/mesh.obj"); }, 0,
     "kiv/mesh.obj", 4},
    {"MeshEmpty", [](const std::string& d) { replaceFile(d + "/kiv/mesh.obj", ""); }, 0,
     "kiv/mesh.obj", 4},
    {"MeshBinaryGarbage",
     [](const std::string& d) { replaceFile(d + "/vastel/mesh.obj", randomBytes(4096, 7)); }, 0,
     "vastel/mesh.obj", 4},
    {"MeshFacesPastTheVertexList",
     [](const std::string& d) {
         replaceFile(d + "/kiv/mesh.obj",
                     "v 20 20 0\nv 40 20 0\nv 40 40 0\nf 1 2 3\nf 1 3 4\n"
                     "f 2 3 99999\nf 0 1 2\nf -4 1 2\n");
     },
     0, "kiv/mesh.obj", 4},
};
INSTANTIATE_TEST_SUITE_P(Mesh, BadFiles, testing::ValuesIn(meshCases),
                         [](const testing::TestParamInfo<BadFileCase>& info) {
                             return std::string(info.param.name);
                         });

const BadFileCase pictureCases[] = {
    {"TextureMissing", [](const std::string& d) { removeFile(d + "/kiv/tex.png"); }, 0,
     "kiv/tex.png", 4},
    {"TextureTruncated",
     [](const std::string& d) {
         replaceFile(d + "/kiv/tex.png", truncatedPng(d + "/kiv/tex.png"));
     },
     0, "kiv/tex.png", 4},
    {"TextureNotAPicture",
     [](const std::string& d) { replaceFile(d + "/doranek/tex.png", "no picture here\n"); }, 0,
     "doranek/tex.png", 4},
    {"TextureHeaderOfAHugePictureOfAnotherKind",
     [](const std::string& d) {
         // Read as a run-length TGA this is 30000 x 12000 pixels.
         replaceFile(
             d + "/kiv/tex.png",
             std::string("\0\0\x0a\0\0\0\0\0\0\0\0\0\x30\x75\xe0\x2e\x20\0", 18) + "not a picture");
     },
     0, "kiv/tex.png", 4},
    {"BackgroundTruncated",
     [](const std::string& d) {
         replaceFile(d + "/quimet/bkg.png", truncatedPng(d + "/quimet/bkg.png"));
     },
     0, "quimet/bkg.png", 4},
    {"MaskMissing", [](const std::string& d) { removeFile(d + "/kiv/bone_03.png"); }, 0,
     "kiv/bone_03.png", 4},
    {"MaskTruncated",
     [](const std::string& d) {
         replaceFile(d + "/pilou/bone_00.png", truncatedPng(d + "/pilou/bone_00.png"));
     },
     0, "pilou/bone_00.png", 4},
    {"MaskNotAPicture",
     [](const std::string& d) { replaceFile(d + "/kiv/bone_00.png", randomBytes(300, 3)); }, 0,
     "kiv/bone_00.png", 4},
    {"MaskSmallerThanTheTexture",
     [](const std::string& d) {
         writePng(d + "/kiv/bone_01.png", 1, 1, 1, std::vector<unsigned char>(1, 255));
         writePng(d + "/kiv/bone_02.png", 30, 5, 1, std::vector<unsigned char>(150, 255));
     },
     0, "", 4},
};
INSTANTIATE_TEST_SUITE_P(Pictures, BadFiles, testing::ValuesIn(pictureCases),
                         [](const testing::TestParamInfo<BadFileCase>& info) {
                             return std::string(info.param.name);
                         });

const BadFileCase scriptCases[] = {
    {"ScriptMissing", [](const std::string& d) { removeFile(d + "/anim.txt"); }, 0, "anim.txt", 0},
    {"ScriptEmpty", [](const std::string& d) { replaceFile(d + "/anim.txt", ""); }, 0, "", 0},
    {"ScriptBinary",
     [](const std::string& d) { replaceFile(d + "/anim.txt", randomBytes(4096, 11)); }, 0,
     "anim.txt", 0},
    {"ScriptRowsNamingNoVertex",
     [](const std::string& d) { replaceFile(d + "/anim.txt", rowsNamingNothing()); }, 0, "", 8},
    {"ScriptOfTwentyThousandRows",
     [](const std::string& d) { replaceFile(d + "/anim.txt", twentyThousandRows()); }, 0,
     "anim.txt", 16384},
};
INSTANTIATE_TEST_SUITE_P(Script, BadFiles, testing::ValuesIn(scriptCases),
                         [](const testing::TestParamInfo<BadFileCase>& info) {
                             return std::string(info.param.name);
                         });

const BadFileCase musicCases[] = {
    {"MusicMissing", [](const std::string& d) { removeFile(d + "/tavel.mp3"); }, 1,
     "Can't play tavel.mp3!", 4},
    {"MusicEmpty", [](const std::string& d) { replaceFile(d + "/tavel.mp3", ""); }, 1,
     "Can't play tavel.mp3!", 4},
    {"MusicText",
     [](const std::string& d) { replaceFile(d + "/tavel.mp3", "this is not music\n"); }, 1,
     "Can't play tavel.mp3!", 4},
    {"MusicBinaryGarbage",
     [](const std::string& d) { replaceFile(d + "/tavel.mp3", randomBytes(60000, 5)); }, 1,
     "Can't play tavel.mp3!", 4},
    {"MusicIsAPicture",
     [](const std::string& d) { replaceFile(d + "/tavel.mp3", readTextFile(d + "/kiv/tex.png")); },
     1, "Can't play tavel.mp3!", 4},
};
INSTANTIATE_TEST_SUITE_P(Music, BadFiles, testing::ValuesIn(musicCases),
                         [](const testing::TestParamInfo<BadFileCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
