// A full disk on demand: a tiny file system mounted where only this test process sees it (a
// mount namespace of its own). Needs the right to mount, which root has, as in CI.
#pragma once

#include <string>

#include "show_folder.h"

class SmallDisk {
public:
    explicit SmallDisk(const char* size = "16k");
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }  // false: skip the test
    const std::string& path() const { return folder_.path(); }
    std::string file(const std::string& name) const { return folder_.file(name); }

private:
    TempFolder folder_;
    bool mounted_ = false;
};
