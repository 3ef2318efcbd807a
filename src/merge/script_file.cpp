#include "merge/script_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// The mode a new file gets from the process's umask.
mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool replaceFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = folder + "/." + name + ".XXXXXX";
    std::vector<char> pattern(temporary.begin(), temporary.end());
    pattern.push_back('\0');
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        error = "can't write " + path + ": can't make a temporary file in " + folder + ": " +
                std::strerror(errno);
        return false;
    }
    temporary = pattern.data();
    struct stat existing {};
    const mode_t mode =
        stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode();
    // The file must be whole on disk before its name says it is the script.
    const bool written = writeAll(fd, bytes) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    const int writeErrno = errno;
    const bool closed = close(fd) == 0;
    if (!written || !closed) {
        error = "can't write " + temporary + ": " + std::strerror(written ? errno : writeErrno);
        unlink(temporary.c_str());
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        error = "can't replace " + path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
