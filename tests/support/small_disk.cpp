#include "small_disk.h"

#include <sched.h>
#include <sys/mount.h>

SmallDisk::SmallDisk(const char* size) {
    const std::string options = std::string("size=") + size;
    mounted_ = unshare(CLONE_NEWNS) == 0 &&
               mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               mount("tmpfs", folder_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_) umount(folder_.path().c_str());
}
