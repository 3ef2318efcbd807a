// The programs that write an author's files, killed at random moments while they run: the
// name must always hold the whole old file or the whole new one, and what a killed writer
// leaves behind is only its temporary name, which the next run clears away.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "drawings.h"
#include "script_rows.h"
#include "show_folder.h"
#include "virtual_screen.h"

namespace {

using Clock = std::chrono::steady_clock;

// A file's bytes, or a folder's names and files' bytes in name order.
std::string snapshot(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return "(missing)";
    if (!S_ISDIR(info.st_mode)) return readTextFile(path);
    std::string all;
    for (const std::string& name : namesIn(path)) all += name + '\0' + snapshot(path + "/" + name);
    return all;
}

// Starts `commandLine` in `folder` as the shell's own process, its output thrown away.
pid_t start(const std::string& folder, const std::string& commandLine) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || chdir(folder.c_str()) != 0) _exit(127);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        unsetenv("DISPLAY");
        const std::string line = "exec " + commandLine;
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

int finish(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Writer {
    const char* name;
    std::function<void(const TempFolder&)> prepare;  // the folder before the run: the old file
    std::function<void(const TempFolder&)> restore;  // the old file put back between runs
    std::string command;
    std::string output;  // the file or folder the program replaces
};

const int KILLS = 50;

void killAtRandomMoments(const Writer& writer) {
    SCOPED_TRACE(writer.name);
    TempFolder folder;
    writer.prepare(folder);
    const std::set<std::string> before = namesIn(folder.path());
    const std::string oldBytes = snapshot(folder.file(writer.output));

    // One whole run: the new file, and how long a run takes.
    const Clock::time_point begun = Clock::now();
    ASSERT_EQ(finish(start(folder.path(), writer.command)), 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    const std::string newBytes = snapshot(folder.file(writer.output));
    ASSERT_NE(newBytes, oldBytes);

    std::mt19937 random(20261209);
    // A little past the whole run's length, so that kills also land while the file is put in place.
    std::uniform_real_distribution<double> moment(0.0, 1.1 * seconds);
    int old = 0, replaced = 0, leftovers = 0;
    for (int kill = 0; kill < KILLS; ++kill) {
        writer.restore(folder);
        const pid_t pid = start(folder.path(), writer.command);
        std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
        ::kill(pid, SIGKILL);
        finish(pid);
        const std::string bytes = snapshot(folder.file(writer.output));
        ASSERT_TRUE(bytes == oldBytes || bytes == newBytes)
            << "kill " << kill << " left a partial " << writer.output;
        (bytes == oldBytes ? old : replaced) += 1;
        for (const std::string& name : namesIn(folder.path())) {
            if (before.count(name) != 0 || name == writer.output + "~") continue;
            // The merge and the figure keep the previous file as NAME~, replaced the same way.
            const bool partial = name.rfind("." + writer.output + ".partial-", 0) == 0 ||
                                 name.rfind("." + writer.output + "~.partial-", 0) == 0;
            EXPECT_TRUE(partial) << name;
            ++leftovers;
        }
    }
    // The next whole run clears away what the killed ones left.
    writer.restore(folder);
    ASSERT_EQ(finish(start(folder.path(), writer.command)), 0);
    EXPECT_EQ(snapshot(folder.file(writer.output)), newBytes);
    for (const std::string& name : namesIn(folder.path())) {
        EXPECT_EQ(name.find(".partial-"), std::string::npos) << name;
    }
    std::fprintf(stderr,
                 "%s: %d kills in %.2f s runs: %d left the old file, %d the new one, %d "
                 "temporary names left behind\n",
                 writer.name, KILLS, seconds, old, replaced, leftovers);
}

std::string manyRows(int count, int vertex, double from) {
    std::string text;
    for (int i = 0; i < count; ++i) text += row(from + 0.01 * i, 1, vertex, double(i));
    return text;
}

const char* const squareMesh =
    "v 0 0 0\nv 400 0 0\nv 400 400 0\nv 0 400 0\nv 200 200 0\nf 1 2 5\nf 2 3 5\nf 3 4 5\nf 4 1 5\n";

TEST(WritersKilled, MergeLeavesTheWholeOldScriptOrTheWholeNewOne) {
    const std::string script = manyRows(3000, 0, 1.0);
    killAtRandomMoments(
        Writer{"kelvaro-merge",
               [&](const TempFolder& f) {
                   writeTextFile(f.file("anim.txt"), script);
                   writeTextFile(f.file("take.txt"), manyRows(3000, 1, 5.0));
               },
               [&](const TempFolder& f) { writeTextFile(f.file("anim.txt"), script); },
               std::string(KELVARO_MERGE_BIN) + " anim.txt take.txt", "anim.txt"});
}

TEST(WritersKilled, CaptureLeavesTheWholeOldVideoOrTheWholeNewOne) {
    killAtRandomMoments(Writer{
        "kelvaro-capture",
        [](const TempFolder& f) {
            writeShowFolder(f.path(), squareMesh);
            writeTextFile(f.file("anim.txt"), "");
            writeToneMp3(f.file("tavel.mp3"), 2.0);
            writeTextFile(f.file("out.mp4"), "an older capture");
        },
        [](const TempFolder& f) { writeTextFile(f.file("out.mp4"), "an older capture"); },
        std::string(KELVARO_CAPTURE_BIN) + " --size 64x36 --fps 10 --to 1 out.mp4", "out.mp4"});
}

TEST(WritersKilled, FigureLeavesTheWholeOldFolderOrTheWholeNewOne) {
    const auto oldFigure = [](const TempFolder& f) {
        shell("rm -rf '" + f.file("kiv") + "' '" + f.file("kiv~") + "'");
        makeFolder(f.file("kiv"));
        writeTextFile(f.file("kiv/mesh.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
        writeTextFile(f.file("kiv/bkg.png"), readTextFile(f.file("quimet/bkg.png")));
    };
    killAtRandomMoments(
        Writer{"kelvaro-figure",
               [&](const TempFolder& f) {
                   writeShowFolder(f.path(), "");
                   saveDrawing(f.file("stick.png"), paintDrawing(240, 240, stickFigure(240, 6)));
                   oldFigure(f);
               },
               oldFigure, std::string(KELVARO_FIGURE_BIN) + " --replace stick.png kiv", "kiv"});
}

TEST(WritersKilled, TheStudiosKeepLeavesTheWholeOldScriptOrTheWholeNewOne) {
    const std::string script = manyRows(3000, 0, 1.0);
    killAtRandomMoments(
        Writer{"the studio's K",
               [&](const TempFolder& f) {
                   writeShowFolder(f.path(), squareMesh);
                   writeTextFile(f.file("anim.txt"), script);
                   writeTextFile(f.file("take.txt"), manyRows(3000, 1, 5.0));
               },
               [&](const TempFolder& f) { writeTextFile(f.file("anim.txt"), script); },
               std::string(KELVARO_STUDIO_KEEP_BIN) + " take.txt", "anim.txt"});
}

}  // namespace
