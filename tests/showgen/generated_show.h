// The demo show that the tests look at: the build's own folder (the show_content target) when
// it has been made, else one generated once per test program into a temporary folder.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "show_folder.h"
#include "showgen/show_writer.h"

// The build's folder is written last of all by the generator program.
inline std::string builtShow() {
    const std::string folder = std::string(KELVARO_BINARY_DIR) + "/show";
    return std::ifstream(folder + "/.complete").good() ? folder : std::string();
}

// The folder, or an empty string when the generator failed.
inline const std::string& generatedShow() {
    static std::string root = builtShow();
    static std::unique_ptr<TempFolder> folder;
    if (root.empty() && !folder) {
        folder = std::make_unique<TempFolder>();
        if (generateShow(folder->path())) root = folder->path();
    }
    return root;
}
