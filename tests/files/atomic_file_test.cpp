#include "files/atomic_file.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <string>

#include "show_folder.h"

namespace {

mode_t modeOf(const std::string& path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// The pid of a process that has ended.
pid_t goneProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(AtomicFile, ReplacesWholeKeepingTheModeAndLeavesNothingElse) {
    const mode_t usual = [] {
        const mode_t mask = umask(0);
        umask(mask);
        return 0666 & ~mask;
    }();
    const struct {
        const char* name;
        bool existing;
        mode_t before;
        mode_t after;
    } cases[] = {{"new file", false, 0, usual},
                 {"private file", true, 0600, 0600},
                 {"shared file", true, 0664, 0664}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const std::string path = folder.file("anim.txt");
        if (c.existing) {
            writeTextFile(path, "old\n");
            chmod(path.c_str(), c.before);
        }
        std::string error;
        ASSERT_TRUE(replaceFileAtomically(path, "new\n", error)) << error;
        EXPECT_EQ(readTextFile(path), "new\n");
        EXPECT_EQ(modeOf(path), c.after);
        EXPECT_EQ(namesIn(folder.path()), std::set<std::string>{"anim.txt"});
    }
}

TEST(AtomicFile, FailuresAndAbandonsLeaveTheOldFileAndNoTemporaryOne) {
    TempFolder folder;
    std::string error;
    EXPECT_FALSE(replaceFileAtomically(folder.file("none/anim.txt"), "x", error));
    EXPECT_NE(error.find("none/anim.txt"), std::string::npos) << error;

    // A file can't be renamed over a folder, even by root.
    makeFolder(folder.file("taken"));
    EXPECT_FALSE(replaceFileAtomically(folder.file("taken"), "x", error));
    EXPECT_NE(error.find("taken"), std::string::npos) << error;

    writeTextFile(folder.file("out.mp4"), "old");
    AtomicFile file;
    ASSERT_TRUE(beginAtomicFile(folder.file("out.mp4"), file, error)) << error;
    ASSERT_EQ(write(file.fd, "half", 4), 4);
    abandonAtomicFile(file);
    abandonAtomicFile(file);
    EXPECT_EQ(readTextFile(folder.file("out.mp4")), "old");
    EXPECT_EQ(namesIn(folder.path()), (std::set<std::string>{"out.mp4", "taken"}));
}

TEST(AtomicFile, LeftoversOfWritersThatAreGoneAreRemovedByTheNextWrite) {
    TempFolder folder;
    const std::string gone = ".anim.txt.partial-" + std::to_string(goneProcess()) + "-Ab12Cd";
    const std::string alive = ".anim.txt.partial-" + std::to_string(getppid()) + "-Ef34Gh";
    const std::string goneFolder = ".kiv.partial-" + std::to_string(goneProcess()) + "-Ij56Kl";
    for (const std::string& name : {gone, alive, std::string(".anim.txt.partial-x-1")})
        writeTextFile(folder.file(name), "half");
    makeFolder(folder.file(goneFolder));
    writeTextFile(folder.file(goneFolder + "/mesh.obj"), "half");
    // Another file's leftovers are that file's writer's business.
    writeTextFile(folder.file(".anim.txt~.partial-1-Mn78Op"), "half");

    std::string error;
    ASSERT_TRUE(replaceFileAtomically(folder.file("anim.txt"), "new\n", error)) << error;
    AtomicFolder slot;
    ASSERT_TRUE(beginAtomicFolder(folder.file("kiv"), slot, error)) << error;
    abandonAtomicFolder(slot);
    EXPECT_EQ(namesIn(folder.path()),
              (std::set<std::string>{"anim.txt", alive, ".anim.txt.partial-x-1",
                                     ".anim.txt~.partial-1-Mn78Op"}));
}

TEST(AtomicFolder, PutsTheWholeFolderInPlaceAndKeepsTheOldOneWhereAsked) {
    const struct {
        const char* name;
        bool existing;
        bool olderCopy;  // a copy kept by an earlier replacement
        const char* keepOldAs;
        std::set<std::string> after;
    } cases[] = {
        {"new", false, false, "kiv~", {"kiv"}},
        {"replaced, old kept", true, false, "kiv~", {"kiv", "kiv~"}},
        {"replaced again", true, true, "kiv~", {"kiv", "kiv~"}},
        {"replaced, old dropped", true, false, "", {"kiv"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder root;
        const std::string path = root.file("kiv");
        if (c.existing) {
            makeFolder(path);
            writeTextFile(path + "/mesh.obj", "old mesh");
            writeTextFile(path + "/bkg.png", "old picture");
        }
        if (c.olderCopy) {
            makeFolder(root.file("kiv~"));
            writeTextFile(root.file("kiv~/stale"), "older");
        }
        AtomicFolder folder;
        std::string error;
        ASSERT_TRUE(beginAtomicFolder(path, folder, error)) << error;
        writeTextFile(folder.temporary + "/mesh.obj", "new mesh");
        const std::string keep = *c.keepOldAs ? root.file(c.keepOldAs) : "";
        ASSERT_TRUE(commitAtomicFolder(folder, keep, error)) << error;
        EXPECT_EQ(namesIn(root.path()), c.after);
        EXPECT_EQ(namesIn(path), std::set<std::string>{"mesh.obj"});
        EXPECT_EQ(readTextFile(path + "/mesh.obj"), "new mesh");
        if (c.existing && !keep.empty()) {
            EXPECT_EQ(namesIn(keep), (std::set<std::string>{"bkg.png", "mesh.obj"}));
            EXPECT_EQ(readTextFile(keep + "/mesh.obj"), "old mesh");
        }
    }
}

}  // namespace
