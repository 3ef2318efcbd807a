// The demo show, generated once per test program into a temporary folder, and small helpers
// for looking at what the show makes of it.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "show_folder.h"
#include "show_writer.h"

// The folder of one generation, shared by every test of the program.
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

// Collects what is written to stderr (the file descriptor, so C stdio as well) while alive.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        file_ = std::tmpfile();
        saved_ = dup(2);
        if (file_ != nullptr) dup2(fileno(file_), 2);
    }
    ~StderrCapture() { restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Stops capturing and returns what was written.
    std::string text() {
        restore();
        std::string out;
        if (file_ == nullptr) return out;
        std::rewind(file_);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) out.append(buffer, n);
        return out;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    std::FILE* file_ = nullptr;
    int saved_ = -1;
};
