#include "show_folder.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "mp3/mp3_writer.h"
#include "scene/show_facts.h"
#include "stb_image_write.h"

TempFolder::TempFolder() {
    char name[] = "/tmp/kelvaro-test-XXXXXX";
    const char* made = mkdtemp(name);
    path_ = made != nullptr ? made : "";
    EXPECT_FALSE(path_.empty()) << "can't make a temporary folder";
}

TempFolder::~TempFolder() {
    if (path_.rfind("/tmp/kelvaro-test-", 0) == 0) {
        const std::string command = "rm -rf '" + path_ + "'";
        if (std::system(command.c_str()) != 0)
            std::fprintf(stderr, "can't remove %s\n", path_.c_str());
    }
}

WorkingDirectory::WorkingDirectory(const std::string& path) {
    char buffer[4096];
    previous_ = getcwd(buffer, sizeof buffer) != nullptr ? buffer : "/";
    EXPECT_EQ(chdir(path.c_str()), 0) << path;
}

WorkingDirectory::~WorkingDirectory() {
    if (chdir(previous_.c_str()) != 0)
        std::fprintf(stderr, "can't go back to %s\n", previous_.c_str());
}

void writeTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << path;
}

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void makeFolder(const std::string& path) {
    mkdir(path.c_str(), 0755);
}

void writePng(const std::string& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels) {
    ASSERT_EQ(pixels.size(), size_t(width) * size_t(height) * size_t(channels));
    ASSERT_NE(
        stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels), 0)
        << path;
}

void writeToneMp3(const std::string& path, double seconds) {
    ASSERT_TRUE(writeMp3(path, makeTone(440.0, seconds, 44100), 44100, 128));
}

void writeShowFolder(const std::string& root, const std::string& meshText) {
    for (const SceneSlotConfig& slot : sceneSlots) {
        const std::string dir = root + "/" + slot.directory;
        makeFolder(dir);
        writePng(dir + "/bkg.png", 32, 18, 3, std::vector<unsigned char>(32 * 18 * 3, 90));
        if (slot.boneCount == 0) continue;
        writePng(dir + "/tex.png", 64, 64, 3, std::vector<unsigned char>(64 * 64 * 3, 200));
        for (uint32_t bone = 0; bone < slot.boneCount; ++bone) {
            char name[32];
            std::snprintf(name, sizeof name, "/bone_%02u.png", bone);
            writePng(dir + name, 64, 64, 1, std::vector<unsigned char>(64 * 64, 255));
        }
        if (!meshText.empty()) writeTextFile(dir + "/mesh.obj", meshText);
    }
}

CommandResult runCommand(const std::string& folder, const std::string& commandLine,
                         int timeoutSeconds) {
    TempFolder capture;
    const std::string out = capture.file("out");
    const std::string err = capture.file("err");
    const std::string line =
        "cd '" + folder + "' && env -u DISPLAY -u WAYLAND_DISPLAY " +
        "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout --preserve-status -s INT -k 10 " +
        std::to_string(timeoutSeconds) + " " + commandLine + " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(line.c_str());
    CommandResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readTextFile(out);
    result.err = readTextFile(err);
    return result;
}

std::set<std::string> namesIn(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        closedir(dir);
    }
    return names;
}
