// An X server of the test's own (Xvfb) for running the real programs with a display, and the
// small tools for driving them: a shell, background processes, waiting on a condition.
#pragma once

#include <chrono>
#include <string>
#include <thread>

#include "show_folder.h"

int shell(const std::string& line);

// The program is on the PATH.
bool installed(const char* program);

// Polls every few milliseconds; false when `seconds` ran out first.
template <class Done>
bool waitFor(Done done, double seconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A process started in the background by the shell, ended by its own id.
struct Background {
    long pid = 0;
    bool running() const;
    void stop();
};

// Runs `commandLine` in the background; `pidFile` receives the id of the shell's last job.
Background startInBackground(const std::string& commandLine, const std::string& pidFile);

class VirtualScreen {
public:
    // A 1280 x 720 screen; its scratch files go into `scratch`.
    explicit VirtualScreen(const TempFolder& scratch);
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;
    const std::string& display() const { return display_; }  // empty when Xvfb didn't start

    void xdotool(const std::string& arguments) const;

private:
    Background xvfb_;
    std::string display_;
};
