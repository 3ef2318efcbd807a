// Temporary folders and files for tests: show folders, pictures and music.
#pragma once

#include <set>
#include <string>
#include <vector>

// A fresh empty folder under the system's temporary directory, removed with its contents when
// the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Changes the working directory for the life of the object.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path);
    ~WorkingDirectory();
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::string previous_;
};

void writeTextFile(const std::string& path, const std::string& text);
std::string readTextFile(const std::string& path);
void makeFolder(const std::string& path);
// The names in a folder, hidden ones included, without "." and "..".
std::set<std::string> namesIn(const std::string& folder);

// Writes a PNG; `pixels` holds width * height * channels bytes, top row first.
void writePng(const std::string& path, int width, int height, int channels,
              const std::vector<unsigned char>& pixels);

// A short real MP3 of a tone, for the music tests.
void writeToneMp3(const std::string& path, double seconds);

// The six slot folders of the built-in table, each with a background picture, a 64 x 64
// texture and masks for the mesh slots, and a mesh file when `meshText` is given.
void writeShowFolder(const std::string& root, const std::string& meshText);

struct CommandResult {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs a command line in `folder` with the headless test environment, with a time limit.
CommandResult runCommand(const std::string& folder, const std::string& commandLine,
                         int timeoutSeconds);
