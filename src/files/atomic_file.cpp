#include "files/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

bool readWholeFile(const std::string& path, std::string& bytes, std::string& error) {
    bytes.clear();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        error = "can't open " + path + ": " + std::strerror(errno);
        return false;
    }
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, n);
    if (std::ferror(file.get())) {
        error = "can't read " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

namespace {

const char PARTIAL[] = ".partial-";

struct Place {
    std::string folder;  // "." for a bare name
    std::string name;
};

Place placeOf(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const size_t slash = trimmed.rfind('/');
    if (slash == std::string::npos) return Place{".", trimmed};
    return Place{slash == 0 ? "/" : trimmed.substr(0, slash), trimmed.substr(slash + 1)};
}

// "FOLDER/.NAME.partial-PID-"
std::string partialPrefix(const Place& place) {
    return "." + place.name + PARTIAL;
}

// A writer killed half-way leaves its temporary name behind. Those of processes that are gone
// are removed; a live process may still be writing its own.
void removeLeftovers(const Place& place) {
    DIR* dir = opendir(place.folder.c_str());
    if (dir == nullptr) return;
    const std::string prefix = partialPrefix(place);
    std::vector<std::string> gone;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (end == name.c_str() + prefix.size() || *end != '-' || pid <= 0) continue;
        if (kill(pid_t(pid), 0) != 0 && errno == ESRCH) gone.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : gone) {
        std::error_code ignored;
        std::filesystem::remove_all(place.folder + "/" + name, ignored);
    }
}

std::vector<char> temporaryPattern(const Place& place) {
    const std::string name =
        place.folder + "/" + partialPrefix(place) + std::to_string(long(getpid())) + "-XXXXXX";
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    return pattern;
}

// The mode a new file gets from the process's umask.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool syncPath(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    const int syncErrno = errno;
    close(fd);
    errno = syncErrno;
    return synced;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

}  // namespace

bool beginAtomicFile(const std::string& path, AtomicFile& file, std::string& error) {
    abandonAtomicFile(file);
    const Place place = placeOf(path);
    removeLeftovers(place);
    std::vector<char> pattern = temporaryPattern(place);
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        const int failure = errno;
        error = "can't write " + path + ": can't make a temporary file in " + place.folder + ": " +
                std::strerror(failure);
        errno = failure;
        return false;
    }
    file.path = path;
    file.temporary = pattern.data();
    file.fd = fd;
    // mkstemp makes the file private; the new file gets the old one's mode, or the usual one.
    struct stat existing {};
    const mode_t mode =
        stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
    if (fchmod(fd, mode) != 0) {
        const int failure = errno;
        error = "can't write " + file.temporary + ": " + std::strerror(failure);
        abandonAtomicFile(file);
        errno = failure;
        return false;
    }
    return true;
}

bool commitAtomicFile(AtomicFile& file, std::string& error) {
    if (file.temporary.empty()) {
        error = "can't write " + file.path + ": it was not begun";
        return false;
    }
    // The content must be whole on disk before its name says it is the file.
    int failure = 0;
    if (file.fd >= 0) {
        if (fsync(file.fd) != 0) failure = errno;
        // A failed close can be the first word of a failed write; the first failure says why.
        if (close(file.fd) != 0 && failure == 0) failure = errno;
        file.fd = -1;
    } else if (!syncPath(file.temporary, 0)) {
        failure = errno;
    }
    if (failure != 0) {
        error = "can't write " + file.temporary + ": " + std::strerror(failure);
        abandonAtomicFile(file);
        return false;
    }
    if (std::rename(file.temporary.c_str(), file.path.c_str()) != 0) {
        error = "can't replace " + file.path + ": " + std::strerror(errno);
        abandonAtomicFile(file);
        return false;
    }
    file.temporary.clear();
    // The rename lives in the folder: without this a crash could bring the old file back.
    syncPath(placeOf(file.path).folder, O_DIRECTORY);
    return true;
}

void abandonAtomicFile(AtomicFile& file) {
    if (file.fd >= 0) close(file.fd);
    file.fd = -1;
    if (!file.temporary.empty()) unlink(file.temporary.c_str());
    file.temporary.clear();
}

bool replaceFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    AtomicFile file;
    if (!beginAtomicFile(path, file, error)) return false;
    if (!writeAll(file.fd, bytes)) {
        error = "can't write " + file.temporary + ": " + std::strerror(errno);
        abandonAtomicFile(file);
        return false;
    }
    return commitAtomicFile(file, error);
}

bool beginAtomicFolder(const std::string& path, AtomicFolder& folder, std::string& error) {
    abandonAtomicFolder(folder);
    const Place place = placeOf(path);
    removeLeftovers(place);
    std::vector<char> pattern = temporaryPattern(place);
    if (mkdtemp(pattern.data()) == nullptr) {
        error = "can't write " + path + ": can't make a temporary folder in " + place.folder +
                ": " + std::strerror(errno);
        return false;
    }
    folder.path = path;
    folder.temporary = pattern.data();
    // mkdtemp makes the folder private; the finished one gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    chmod(folder.temporary.c_str(), 0777 & ~mask);
    return true;
}

namespace {

bool syncFolderContents(const std::string& path) {
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return false;
    bool synced = true;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string inner = path + "/" + name;
        struct stat info {};
        if (lstat(inner.c_str(), &info) != 0) {
            synced = false;
        } else if (S_ISDIR(info.st_mode)) {
            synced = syncFolderContents(inner) && synced;
        } else if (S_ISREG(info.st_mode)) {
            synced = syncPath(inner, 0) && synced;
        }
        if (!synced) break;
    }
    const int readErrno = errno;
    closedir(dir);
    errno = readErrno;
    return synced && syncPath(path, O_DIRECTORY);
}

}  // namespace

bool commitAtomicFolder(AtomicFolder& folder, const std::string& keepOldAs, std::string& error) {
    if (folder.temporary.empty()) {
        error = "can't write " + folder.path + ": it was not begun";
        return false;
    }
    if (!syncFolderContents(folder.temporary)) {
        error = "can't write " + folder.temporary + ": " + std::strerror(errno);
        abandonAtomicFolder(folder);
        return false;
    }
    const std::string parent = placeOf(folder.path).folder;
    struct stat existing {};
    if (lstat(folder.path.c_str(), &existing) != 0) {
        if (std::rename(folder.temporary.c_str(), folder.path.c_str()) != 0) {
            error = "can't put " + folder.path + " in place: " + std::strerror(errno);
            abandonAtomicFolder(folder);
            return false;
        }
        folder.temporary.clear();
        syncPath(parent, O_DIRECTORY);
        return true;
    }
    // The copy kept of the folder before this one makes way first, so that nothing can fail
    // once the new folder is in place.
    if (!keepOldAs.empty()) {
        std::error_code failure;
        std::filesystem::remove_all(keepOldAs, failure);
        if (failure) {
            error = "can't make way for " + keepOldAs + ": " + failure.message();
            abandonAtomicFolder(folder);
            return false;
        }
    }
    // One step swaps the old folder for the new, so the name never stands empty; the old one
    // is then under the temporary name.
    if (renameat2(AT_FDCWD, folder.temporary.c_str(), AT_FDCWD, folder.path.c_str(),
                  RENAME_EXCHANGE) != 0) {
        error = "can't put " + folder.path + " in place: " + std::strerror(errno);
        abandonAtomicFolder(folder);
        return false;
    }
    syncPath(parent, O_DIRECTORY);
    if (keepOldAs.empty()) {
        abandonAtomicFolder(folder);
        return true;
    }
    const bool kept = std::rename(folder.temporary.c_str(), keepOldAs.c_str()) == 0;
    if (!kept) {
        // The new folder is in place; the old one is not lost, only not where it was asked.
        error = "the old " + folder.path + " could not be kept as " + keepOldAs + ": " +
                std::strerror(errno) + "; it is in " + folder.temporary;
    }
    folder.temporary.clear();
    syncPath(placeOf(keepOldAs).folder, O_DIRECTORY);
    return kept;
}

void abandonAtomicFolder(AtomicFolder& folder) {
    if (!folder.temporary.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder.temporary, ignored);
    }
    folder.temporary.clear();
}
