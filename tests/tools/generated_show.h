// The demo show, generated once per test program into a temporary folder shared by every test.
#pragma once

#include <memory>
#include <string>

#include "show_folder.h"
#include "show_writer.h"

// The folder, or an empty string when the generator failed.
inline const std::string& generatedShow() {
    static std::unique_ptr<TempFolder> folder;
    static bool generated = false;
    if (!folder) {
        folder = std::make_unique<TempFolder>();
        generated = generateShow(folder->path());
    }
    static const std::string failed;
    return generated ? folder->path() : failed;
}
